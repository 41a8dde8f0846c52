#include "requests.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "failure.h"
#include "vxrhost/vtab.h"

namespace fs = std::filesystem;

namespace vxrhost::cli {

namespace {

std::string plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

double sqlMilliseconds(const Outcome& o) {
  return std::chrono::duration<double, std::milli>(o.sql.storeTime).count();
}

double moduleMilliseconds(const Outcome& o) {
  double sqlMs = sqlMilliseconds(o);
  return o.milliseconds > sqlMs ? o.milliseconds - sqlMs : 0;
}

std::string milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

}  // namespace

Module* loadModule(Host& host, const std::string& dir, const std::string& name) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    throw Failure{kExitModule, "module directory " + inQuotes(dir) + " does not exist"};
  }
  std::string path = (fs::path(dir) / (name + ".so")).string();
  Error error;
  Module* module = host.load(path, &error);
  if (module == nullptr) throw Failure{kExitModule, error.text()};
  return module;
}

void configureTrace(Host& host, const std::string& levels, const std::string& file) {
  Error error;
  if (!levels.empty() && host.setTraceLevels(levels, error) != hoststatus::kOk) {
    throw Failure{kExitUsage, "--trace: " + error.text()};
  }
  // Trace lines go to the trace file when one is given, else to stderr: with
  // no levels set that leaves only the host's own failure lines and the
  // modules' lines that are written at every level.
  if (file.empty()) {
    host.traceToStderr();
  } else if (host.traceToFile(file, error) != hoststatus::kOk) {
    throw Failure{kExitUsage, "--trace-file: " + error.text()};
  }
}

Outcome runRequest(Host& host, const Module& module, const CatalogTable& table,
                   const std::vector<Filter>& filters, const RowSink* print, RunOptions options) {
  using Clock = std::chrono::steady_clock;
  Outcome o;
  options.stopAfterFailedStart = true;  // no work area: nothing to process
  // A guard against a module that never ends, which no answer can reach: a
  // module hands out at most one row per member row it fetched.
  options.processCallsBeyondRows = kRunawayCallsBeyondRows;
  // The rows are printed as they come, or kept back to back (exactly their
  // own bytes); the time spent printing is not the request's.
  Clock::duration printing{};
  RowSink take = [&](std::string_view row) {
    if (print == nullptr) {
      o.rows.append(row);
      return;
    }
    auto start = Clock::now();
    (*print)(row);
    printing += Clock::now() - start;
  };
  auto begin = Clock::now();
  RunResult r = host.run(module, table.name, filters, table.rowSize, options, take);
  o.milliseconds =
      std::chrono::duration<double, std::milli>(Clock::now() - begin - printing).count();
  o.rowCount = r.rowCount;
  o.hitProcessLimit = r.hitProcessLimit;
  o.cancelled = r.cancelled;
  o.processCalls = r.processCalls;
  o.rowsFetched = r.rowsFetched;
  if (r.started && r.startStatus != 0) {
    o.finalStatus = r.startStatus;
    o.where = " at start";
  } else {
    o.finalStatus = r.lastProcessStatus();
  }
  o.failed = o.finalStatus != 62 || r.hitProcessLimit;
  o.sql = r.sql;
  o.nodeUpdates = r.nodeStatusUpdates;
  o.nodeStatusStatus = r.nodeStatusStatus;
  o.nodeStatusError = r.nodeStatusError;
  o.nodeStatusChanges = std::move(r.nodeStatusBatch);
  o.memberFailures = std::move(r.memberFailures);
  o.traceFailure = host.traceFileFailure();
  return o;
}

RowSource rowsOf(const CatalogTable& table, const Outcome& outcome) {
  return RowSource{outcome.rowCount, [&table, &outcome](size_t i, std::vector<CatalogValue>& v) {
                     v = decodeRow(
                         table,
                         std::string_view(outcome.rows).substr(i * table.rowSize, table.rowSize));
                   }};
}

std::string summaryLine(const CatalogTable& table, const Outcome& o) {
  std::string line = std::string(table.name) + ": " + plural(o.rowCount, "row", "rows") + ", " +
                     plural(o.sql.membersQueried, "member", "members") + " queried";
  if (o.sql.memberRequests != o.sql.membersQueried) {
    line += " (" + plural(o.sql.memberRequests, "member request", "member requests") + ")";
  }
  line += ", status " + std::to_string(o.finalStatus) + " (" + requestStatusText(o.finalStatus) +
          ")" + o.where;
  if (!o.memberFailures.empty()) {
    line +=
        ", " + plural(o.memberFailures.size(), "member request failed", "member requests failed");
  }
  if (o.nodeUpdates > 0 && o.nodeStatusStatus != 0) {
    // Applied all or none: none was.
    line += ", node status unchanged (" + plural(o.nodeUpdates, "update failed", "updates failed") +
            ")";
  } else if (o.nodeUpdates > 0) {
    line += ", node status changed (" + plural(o.nodeUpdates, "update", "updates") + ")";
  }
  line += ", " + milliseconds(o.milliseconds) + " (member SQL " + milliseconds(sqlMilliseconds(o)) +
          ", module " + milliseconds(moduleMilliseconds(o)) + ")";
  return line;
}

nlohmann::ordered_json summaryJson(const CatalogTable& table, const Outcome& o) {
  nlohmann::ordered_json failures = nlohmann::ordered_json::array();
  for (const MemberFailure& f : o.memberFailures) {
    failures.push_back({{"node", f.node},
                        {"operation", f.operation},
                        {"status", f.status},
                        {"message", f.message},
                        {"rowsFetched", f.rowsFetched},
                        {"text", memberFailureText(f)}});
  }
  return {{"table", table.name},
          {"rows", o.rowCount},
          {"membersQueried", o.sql.membersQueried},
          {"memberRequests", o.sql.memberRequests},
          {"status", o.finalStatus},
          {"meaning", std::string(requestStatusText(o.finalStatus)) + o.where},
          {"complete", o.memberFailures.empty()},
          {"memberFailures", std::move(failures)},
          {"nodeStatusUpdates", o.nodeUpdates},
          {"nodeStatusApplied", o.nodeUpdates > 0 && o.nodeStatusStatus == 0},
          {"milliseconds", o.milliseconds},
          {"memberSqlMilliseconds", sqlMilliseconds(o)},
          {"moduleMilliseconds", moduleMilliseconds(o)}};
}

int finishRequest(const CatalogTable& table, const Outcome& o) {
  std::cerr << summaryLine(table, o) << '\n';
  for (const MemberFailure& f : o.memberFailures) {
    std::cerr << "vxrhost: " << memberFailureText(f) << '\n';
  }
  if (!o.traceFailure.empty()) std::cerr << "vxrhost: " << o.traceFailure << '\n';
  if (o.hitProcessLimit) {
    std::cerr << "vxrhost: request for " << table.name << " stopped after " << o.processCalls
              << " process calls without end of data (" << o.rowsFetched
              << " member rows fetched)\n";
    return kExitRequest;
  }
  if (o.failed) {
    std::cerr << "vxrhost: request for " << table.name << " ended with status " << o.finalStatus
              << " (" << requestStatusText(o.finalStatus) << ")" << o.where << '\n';
    return kExitRequest;
  }
  if (!o.memberFailures.empty()) return kExitMember;
  if (!o.traceFailure.empty()) return kExitOutput;
  return kExitOk;
}

}  // namespace vxrhost::cli
