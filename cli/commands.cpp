#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>

#include "failure.h"
#include "filters.h"
#include "paths.h"
#include "requests.h"
#include "vxrhost/scripted_store.h"

namespace fs = std::filesystem;

namespace vxrhost::cli {
namespace {

Format formatOf(const Options& options) {
  auto format = parseFormat(options.format);
  if (!format) {
    throw Failure{kExitUsage,
                  "unknown format " + inQuotes(options.format) + " (table, csv or json)"};
  }
  return *format;
}

std::string trimmed(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return text.substr(0, end == std::string::npos ? 0 : end + 1);
}

// Labels of the build-information strings, in their order.
constexpr const char* kInfoLabels[] = {
    "build date", "build time", "build source", "",        "platform",    "platform",
    "builder",    "os release", "os version",   "os name", "build host",  "machine",
    "platform",   "platform",   "build number", "product", "build level", "version id"};
constexpr const char* kCommentLabels[] = {"compiler", "options", "compiler", "options",
                                          "macros",   "notice",  "notice",   ""};

void printBuildInfo(const BuildInfo& info) {
  auto print = [](const std::vector<std::string>& values, const char* const* labels, size_t count) {
    std::map<std::string, std::string> shown;
    for (size_t i = 0; i < values.size(); ++i) {
      std::string label = i < count && labels[i][0] ? labels[i] : "item " + std::to_string(i + 1);
      if (values[i].empty() || shown[label] == values[i]) continue;
      shown[label] = values[i];
      std::cout << "  " << label << std::string(label.size() < 13 ? 13 - label.size() : 0, ' ')
                << ' ' << escaped(values[i]) << '\n';
    }
  };
  print(info.info, kInfoLabels, std::size(kInfoLabels));
  print(info.comments, kCommentLabels, std::size(kCommentLabels));
}

std::vector<fs::path> moduleFiles(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    throw Failure{kExitModule, "module directory " + inQuotes(dir) + " does not exist"};
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".so" && entry.is_regular_file(ec))
      files.push_back(entry.path());
  }
  if (ec) {
    throw Failure{kExitModule,
                  "cannot list module directory " + inQuotes(dir) + ": " + ec.message()};
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    throw Failure{kExitModule, "module directory " + inQuotes(dir) + " holds no modules (*.so)"};
  }
  return files;
}

// Lists the modules; with details, the file and the build information too.
// The build information is read through the module's own trace unit, which
// the host knows once the module has traced: one request against a store
// that answers nothing (it ends at once, with no rows) does that.
int listModules(const Options& options, bool details) {
  std::string dir = modulesDir(options.modules);
  std::vector<fs::path> files = moduleFiles(dir);
  ScriptedStore nothing;
  Host host(nothing);
  host.traceToMemory();
  int failures = 0;
  std::string firstError;
  for (const fs::path& file : files) {
    Error error;
    Module* module = host.load(file.string(), &error);
    std::string stem = file.stem().string();
    if (module == nullptr) {
      std::cout << stem << std::string(stem.size() < 8 ? 8 - stem.size() : 0, ' ')
                << "  cannot load: " << error.text() << '\n';
      if (failures++ == 0) firstError = error.text();
      continue;
    }
    CompileDate date = module->compileDate();
    auto tables = catalogTablesOfModule(module->name());
    std::string served;
    for (const CatalogTable* table : tables) {
      if (!served.empty()) served += ',';
      served += table->name;
    }
    char line[256];
    std::snprintf(line, sizeof line, "%-8s  %s  %s %s  %s\n", module->name().c_str(),
                  date.version ? date.version : "?", date.date ? date.date : "?",
                  date.time ? date.time : "?",
                  served.empty() ? "(no table in the catalog)" : served.c_str());
    std::cout << line;
    if (!details) continue;
    std::cout << "  file          " << escaped(file.string()) << '\n';
    const CatalogTable* probe = tables.empty() ? nullptr : tables.front();
    host.run(*module, probe ? probe->name : "PROBE", {}, probe ? probe->rowSize : 1024);
    if (auto info = module->buildInfo()) printBuildInfo(*info);
  }
  finishOutput();
  if (failures > 0) {
    throw Failure{
        kExitModule,
        firstError + (failures > 1 ? " (and " + std::to_string(failures - 1) + " more)" : "")};
  }
  return kExitOk;
}

}  // namespace

std::vector<Filter> parseFilters(const CatalogTable& table, const std::vector<FilterArg>& args) {
  std::vector<Filter> filters;
  for (const FilterArg& arg : args)
    filters.push_back(parseFilter(table, arg.text, arg.withOperator));
  return filters;
}

TableHost::TableHost(const Options& options, const CatalogTable& table)
    : dir(modulesDir(options.modules)),
      store(openDatabase(options.db, options.dbGiven)),
      host(*store) {
  host.overlapMemberSql(!options.serialSql);
  configureTrace(host, options.trace, options.traceFile);
  module = loadModule(host, dir, table.module);
}

int commandQuery(const Options& options, const std::string& tableName,
                 const std::vector<FilterArg>& filterArgs) {
  const CatalogTable& table = tableNamed(tableName);
  std::vector<Filter> filters = parseFilters(table, filterArgs);
  Format format = formatOf(options);
  TableHost on(options, table);
  Host& host = on.host;
  Module* module = on.module;
  std::vector<OutputColumn> columns;
  for (const vxr::ColumnField* field : table.attributes())
    columns.push_back({field->name, field->type == vxr::FieldType::Int32});
  // CSV and JSON are printed as the rows come; the aligned table needs
  // every row for its widths, so its rows are kept until the end.
  if (format == Format::Table) {
    Outcome o = runRequest(host, *module, table, filters);
    if (!o.failed || o.rowCount > 0) printOutput(std::cout, columns, rowsOf(table, o), format);
    finishOutput();
    return finishRequest(table, o);
  }
  RowStream stream(std::cout, columns, format);
  // The sink runs inside the module's process call: nothing may unwind
  // through the module, so the writer keeps a failure for finish() to raise
  // after the request (a failed output is finishOutput's to report).
  RowWriter writer(stream, table);
  RowSink print = [&](std::string_view row) { writer.add(row); };
  Outcome o = runRequest(host, *module, table, filters, &print);
  writer.finish();
  if (!o.failed || o.rowCount > 0) stream.finish();
  finishOutput();
  return finishRequest(table, o);
}

int commandHeartbeat(const Options& options) {
  const CatalogTable& table = tableNamed("MEMBERSTATUS");
  TableHost on(options, table);
  Host& host = on.host;
  Module* module = on.module;
  Outcome o = runRequest(host, *module, table, {Filter{kFilterEquals, "IDNAME", "*NOFETCH"}});
  auto calls = host.nodeStatusCalls();
  size_t failedUpdates = 0;
  for (const auto& call : calls) {
    const NodeStatusUpdate& u = call.update;
    std::cout << (u.online == "Y" ? "online   " : "offline  ") << escaped(trimmed(u.node))
              << " (parent " << escaped(u.parent) << ")";
    if (call.status != 0) {
      std::cout << "  failed with " << call.status << " (" << hoststatus::text(call.status) << ")";
      ++failedUpdates;
    }
    std::cout << '\n';
  }
  finishOutput();
  if (calls.empty()) std::cerr << "vxrhost: the heartbeat set no node online or offline\n";
  int status = finishRequest(table, o);
  if ((status == kExitOk || status == kExitMember) && failedUpdates > 0) {
    std::cerr << "vxrhost: " << failedUpdates << " of " << calls.size()
              << " node-status updates failed\n";
    if (o.nodeStatusStatus != 0)
      std::cerr << "vxrhost: the heartbeat was not applied: " << controlEscaped(o.nodeStatusError)
                << '\n';
    return kExitRequest;
  }
  return status;
}

OutputTable nodeStatusOutput(const NodeStatusTable& nodes) {
  OutputTable out;
  for (const ColumnInfo& column : nodes.columns)
    out.columns.push_back({column.name, column.type == ColumnType::Int32});
  for (const auto& cells : nodes.rows) {
    auto& row = out.rows.emplace_back();
    for (size_t i = 0; i < cells.size() && i < nodes.columns.size(); ++i) {
      vxr::ColumnField field{nodes.columns[i].name.c_str(), 0,
                             static_cast<uint16_t>(cells[i].size()),
                             nodes.columns[i].type == ColumnType::Int32 ? vxr::FieldType::Int32
                                                                        : vxr::FieldType::Chars};
      row.push_back(decodeField(field, cells[i]));
    }
  }
  return out;
}

int commandNodes(const Options& options) {
  Format format = formatOf(options);
  auto store = openDatabase(options.db, options.dbGiven);
  NodeStatusTable nodes;
  Error error;
  if (readNodeStatus(*store, nodes, error) != sqlstatus::kOk) {
    std::string name = describeDatabase(databaseOf(options.db, options.dbGiven));
    throw Failure{kExitDatabase, error.message + " of " + name + ": " + error.detail + " (status " +
                                     std::to_string(error.status) + ")"};
  }
  OutputTable out = nodeStatusOutput(nodes);
  printOutput(std::cout, out, format);
  finishOutput();
  return kExitOk;
}

int commandTables(const Options& options, const std::string& columnsOf) {
  Format format = formatOf(options);
  OutputTable out;
  if (!columnsOf.empty()) {
    const CatalogTable& table = tableNamed(columnsOf);
    out.columns = {{"ATTRIBUTE", false}, {"OFFSET", true}, {"WIDTH", true},
                   {"TYPE", false},      {"MERGE", false}, {"FILTER", false}};
    for (const vxr::ColumnField* field : table.attributes()) {
      ColumnRole role = columnRole(table, field->name);
      out.rows.push_back({std::string(field->name), int32_t{field->offset}, int32_t{field->width},
                          std::string(fieldTypeName(field->type)), std::move(role.merge),
                          std::move(role.filter)});
    }
  } else {
    out.columns = {{"TABLE", false},
                   {"MODULE", false},
                   {"ROWSIZE", true},
                   {"ATTRIBUTES", true},
                   {"DESCRIPTION", false}};
    for (const CatalogTable& table : catalogTables()) {
      out.rows.push_back(
          {std::string(table.name), std::string(table.module), static_cast<int32_t>(table.rowSize),
           static_cast<int32_t>(table.attributes().size()), std::string(table.description)});
    }
  }
  printOutput(std::cout, out, format);
  finishOutput();
  return kExitOk;
}

int commandModules(const Options& options) {
  return listModules(options, true);
}

int commandResetSample() {
  resetSample(std::cout);
  finishOutput();
  return kExitOk;
}

int commandVersion(const Options& options, bool modules) {
  std::cout << "vxrhost " << VXRHOST_VERSION << '\n';
  if (!modules) {
    finishOutput();
    return kExitOk;
  }
  return listModules(options, false);
}

}  // namespace vxrhost::cli
