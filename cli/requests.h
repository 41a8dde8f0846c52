// One request of a table through the host core: the module, tracing, the
// run itself and the summary line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "output.h"
#include "vxrhost/catalog.h"
#include "vxrhost/host.h"

namespace vxrhost::cli {

// Loads the table's module from `dir`; a module failure otherwise.
Module* loadModule(Host& host, const std::string& dir, const std::string& name);

// Trace levels (--trace) and where lines go (--trace-file, else stderr).
void configureTrace(Host& host, const std::string& levels, const std::string& file);

// The runaway guard: a request stops once its process calls exceed the rows
// the store delivered by this many.
inline constexpr int64_t kRunawayCallsBeyondRows = 100000;

struct Outcome {
  std::string rows;  // the rows kept, rowSize bytes each, back to back
  size_t rowCount = 0;
  int32_t finalStatus = 0;
  bool failed = false;
  bool hitProcessLimit = false;
  bool cancelled = false;  // the caller's cancel flag stopped it
  int processCalls = 0;
  size_t rowsFetched = 0;  // member rows the store delivered
  std::string where;       // " at start" when start failed
  SqlActivity sql;
  size_t nodeUpdates = 0;        // node-status updates the request made (heartbeat)
  int32_t nodeStatusStatus = 0;  // status of applying them (one transaction)
  std::string nodeStatusError;
  std::vector<MemberFailure> memberFailures;  // member SQL that failed: the answer is incomplete
  std::string traceFailure;                   // trace lines lost: Host::traceFileFailure
  double milliseconds = 0;
  std::vector<NodeStatusUpdate> nodeStatusChanges;  // the updates themselves, in order
};

// Runs one request of the table. With `print`, each row goes to it as the
// module hands it out and the outcome keeps none; else the outcome keeps them.
// `options` may name the request's own store and a cancel flag; the rest is
// set here.
Outcome runRequest(Host& host, const Module& module, const CatalogTable& table,
                   const std::vector<Filter>& filters, const RowSink* print = nullptr,
                   RunOptions options = {});

// The rows of an outcome as the printers read them.
RowSource rowsOf(const CatalogTable& table, const Outcome& outcome);

// Writes the summary line to stderr (after the output is finished); returns
// the command's exit status.
int finishRequest(const CatalogTable& table, const Outcome& outcome);

// The summary line itself (without a line end).
std::string summaryLine(const CatalogTable& table, const Outcome& outcome);

// The same summary as a JSON object: table, rows, membersQueried,
// memberRequests, status, meaning, nodeStatusUpdates, milliseconds,
// memberSqlMilliseconds, moduleMilliseconds, and memberFailures (node,
// operation, status, message, rowsFetched, text), with complete false when
// any member request failed.
nlohmann::ordered_json summaryJson(const CatalogTable& table, const Outcome& outcome);

}  // namespace vxrhost::cli
