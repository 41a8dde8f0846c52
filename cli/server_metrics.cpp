#include "server_metrics.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace vxrhost::cli {
namespace {

double nowEpoch() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// A label value as the exposition format quotes it.
std::string label(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

void header(std::ostringstream& out, const char* name, const char* type, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

std::string trimmed(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return text.substr(0, end == std::string::npos ? 0 : end + 1);
}

long residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int openDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    --count;  // the directory's own descriptor
  }
  return count;
}

}  // namespace

Metrics::Metrics() : startEpoch_(nowEpoch()) {}

void Metrics::request(const std::string& table, const Outcome& o) {
  std::string status = o.cancelled ? "cancelled" : std::to_string(o.finalStatus);
  double seconds = o.milliseconds / 1000;
  std::lock_guard lock(mutex_);
  ++requests_[{table, status}];
  Histogram& h = durations_[table];
  size_t b = 0;
  while (b < kBuckets.size() && seconds > kBuckets[b]) ++b;
  if (b < kBuckets.size()) ++h.counts[b];
  ++h.count;
  h.sum += seconds;
  rows_[table] += o.rowCount;
  memberRequests_ += o.sql.memberRequests;
}

void Metrics::heartbeat(const Outcome& o, bool applied, double endEpochSeconds,
                        const NodeStatusTable* nodes) {
  std::map<std::pair<std::string, std::string>, int64_t> counts;
  if (nodes != nullptr) {
    size_t online = nodes->columns.size(), type = nodes->columns.size();
    for (size_t c = 0; c < nodes->columns.size(); ++c) {
      if (nodes->columns[c].name == "Q7ONLINE") online = c;
      if (nodes->columns[c].name == "NODETYPE") type = c;
    }
    for (const auto& row : nodes->rows) {
      std::string state = online < row.size() && trimmed(row[online]) == "Y" ? "online" : "offline";
      std::string kind = type < row.size() ? trimmed(row[type]) : "";
      ++counts[{state, kind}];
    }
  }
  std::lock_guard lock(mutex_);
  ++heartbeats_[o.failed ? "failed" : applied ? "applied" : "not_applied"];
  if (applied) {
    lastHeartbeatSuccess_ = endEpochSeconds;
    for (const NodeStatusUpdate& u : o.nodeStatusChanges)
      ++nodeUpdates_[u.online == "Y" ? "true" : "false"];
  }
  if (nodes != nullptr) nodes_ = std::move(counts);
}

void Metrics::groupMembers(std::map<std::pair<std::string, std::string>, int64_t> counts) {
  std::lock_guard lock(mutex_);
  members_ = std::move(counts);
}

void Metrics::inFlight(int delta) {
  std::lock_guard lock(mutex_);
  inFlight_ += delta;
}

void Metrics::http(int code) {
  std::lock_guard lock(mutex_);
  ++httpCodes_[code];
}

std::string Metrics::exposition() const {
  std::ostringstream out;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  long resident = residentBytes();
  int descriptors = openDescriptors();
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);

  std::lock_guard lock(mutex_);
  header(out, "vxrhost_build_info", "gauge", "The vxrhost build.");
  out << "vxrhost_build_info{version=\"" << VXRHOST_VERSION << "\"} 1\n";
  header(out, "vxrhost_requests_total", "counter", "Table requests by final status.");
  for (const auto& [key, n] : requests_) {
    out << "vxrhost_requests_total{table=\"" << label(key.first) << "\",status=\""
        << label(key.second) << "\"} " << n << '\n';
  }
  header(out, "vxrhost_request_duration_seconds", "histogram",
         "Time of table requests (module and member SQL, not the sending of rows).");
  for (const auto& [table, h] : durations_) {
    uint64_t cumulative = 0;
    for (size_t b = 0; b < kBuckets.size(); ++b) {
      cumulative += h.counts[b];
      out << "vxrhost_request_duration_seconds_bucket{table=\"" << label(table) << "\",le=\""
          << number(kBuckets[b]) << "\"} " << cumulative << '\n';
    }
    out << "vxrhost_request_duration_seconds_bucket{table=\"" << label(table) << "\",le=\"+Inf\"} "
        << h.count << '\n';
    out << "vxrhost_request_duration_seconds_sum{table=\"" << label(table) << "\"} "
        << number(h.sum) << '\n';
    out << "vxrhost_request_duration_seconds_count{table=\"" << label(table) << "\"} " << h.count
        << '\n';
  }
  header(out, "vxrhost_rows_total", "counter", "Rows handed out by table.");
  for (const auto& [table, n] : rows_)
    out << "vxrhost_rows_total{table=\"" << label(table) << "\"} " << n << '\n';
  header(out, "vxrhost_member_requests_total", "counter",
         "SQL requests that table requests sent to member agents.");
  out << "vxrhost_member_requests_total " << memberRequests_ << '\n';
  header(out, "vxrhost_heartbeats_total", "counter",
         "Heartbeats by result (applied, not_applied, failed).");
  for (const auto& [result, n] : heartbeats_)
    out << "vxrhost_heartbeats_total{result=\"" << result << "\"} " << n << '\n';
  header(out, "vxrhost_heartbeat_last_success_timestamp_seconds", "gauge",
         "When the last applied heartbeat ended (0: none yet).");
  out << "vxrhost_heartbeat_last_success_timestamp_seconds " << number(lastHeartbeatSuccess_)
      << '\n';
  header(out, "vxrhost_node_status_updates_total", "counter",
         "Node-status updates applied by heartbeats, by the online state they set.");
  for (const auto& [online, n] : nodeUpdates_)
    out << "vxrhost_node_status_updates_total{online=\"" << online << "\"} " << n << '\n';
  header(out, "vxrhost_nodes", "gauge", "Nodes of the node-status table after the last heartbeat.");
  for (const auto& [key, n] : nodes_) {
    out << "vxrhost_nodes{state=\"" << key.first << "\",type=\"" << label(key.second) << "\"} " << n
        << '\n';
  }
  header(out, "vxrhost_group_members", "gauge",
         "Members of each group by state, from the member-status rows.");
  for (const auto& [key, n] : members_) {
    out << "vxrhost_group_members{group=\"" << label(key.first) << "\",state=\""
        << label(key.second) << "\"} " << n << '\n';
  }
  header(out, "vxrhost_http_requests_total", "counter", "HTTP requests answered, by status code.");
  for (const auto& [code, n] : httpCodes_)
    out << "vxrhost_http_requests_total{code=\"" << code << "\"} " << n << '\n';
  header(out, "vxrhost_in_flight_requests", "gauge", "HTTP requests being served.");
  out << "vxrhost_in_flight_requests " << inFlight_ << '\n';
  header(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
  out << "process_resident_memory_bytes " << resident << '\n';
  header(out, "process_cpu_seconds_total", "counter", "User and system CPU time in seconds.");
  out << "process_cpu_seconds_total " << number(cpu) << '\n';
  header(out, "process_open_fds", "gauge", "Open file descriptors.");
  out << "process_open_fds " << descriptors << '\n';
  header(out, "process_max_fds", "gauge", "The limit of open file descriptors.");
  out << "process_max_fds " << files.rlim_cur << '\n';
  header(out, "process_start_time_seconds", "gauge", "Start time of the process (Unix epoch).");
  out << "process_start_time_seconds " << number(startEpoch_) << '\n';
  return out.str();
}

}  // namespace vxrhost::cli
