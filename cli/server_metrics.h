// The server's Prometheus metrics: counters and gauges kept as requests and
// heartbeats end, written out in the text exposition format (0.0.4) without
// running any module request. Labels take few values only: catalog table
// names, request statuses, HTTP codes, node states and types.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "requests.h"

namespace vxrhost::cli {

class Metrics {
 public:
  Metrics();
  // A table request that ended (its final status, rows, time).
  void request(const std::string& table, const Outcome& outcome);
  // A heartbeat that ended; `nodes` is the node-status table after it (null
  // when it could not be read: the last figures stay).
  void heartbeat(const Outcome& outcome, bool applied, double endEpochSeconds,
                 const NodeStatusTable* nodes);
  // Members of each group by state, from member-status rows.
  void groupMembers(std::map<std::pair<std::string, std::string>, int64_t> counts);
  void inFlight(int delta);
  void http(int code);
  std::string exposition() const;

  static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                      0.1,   0.25,   0.5,   1,    2.5,   5};

 private:
  struct Histogram {
    std::array<uint64_t, kBuckets.size()> counts{};  // per bucket, not cumulative
    uint64_t count = 0;
    double sum = 0;
  };
  mutable std::mutex mutex_;
  double startEpoch_;
  std::map<std::pair<std::string, std::string>, uint64_t> requests_;  // table, status
  std::map<std::string, Histogram> durations_;                        // table
  std::map<std::string, uint64_t> rows_;                              // table
  uint64_t memberRequests_ = 0;
  std::map<std::string, uint64_t> heartbeats_;  // result
  double lastHeartbeatSuccess_ = 0;
  std::map<std::string, uint64_t> nodeUpdates_;                     // online
  std::map<std::pair<std::string, std::string>, int64_t> nodes_;    // state, type
  std::map<std::pair<std::string, std::string>, int64_t> members_;  // group, state
  std::map<int, uint64_t> httpCodes_;
  int64_t inFlight_ = 0;
};

}  // namespace vxrhost::cli
