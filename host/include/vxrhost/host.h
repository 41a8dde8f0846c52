// The host stand-in: loads table-provider modules, drives their requests and
// serves their calls (request items, storage, SQL client, node-status updates,
// tracing). One Host exists at a time; the host functions that the modules
// import (kglcnmnt, sql1cpth, RAS1_Sync, ...) reach it as the current host.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vxr/abi.h"
#include "vxrhost/error.h"
#include "vxrhost/sql_client.h"
#include "vxrhost/status.h"
#include "vxrhost/store.h"
#include "vxrhost/trace.h"

namespace vxrhost {

namespace detail {
struct HostState;
struct ModuleState;
struct RequestState;
}  // namespace detail

// One index filter of a request: operator code (1 = equals), column name (at
// most 10 characters) and the value bytes.
struct Filter {
  int16_t op = kFilterEquals;
  std::string column;
  std::string value;
};

// What the compile-date entry handed out: the strings themselves, not copies.
struct CompileDate {
  const char* version = nullptr;
  const char* date = nullptr;
  const char* time = nullptr;
  bool returnedFirstArgument = false;
};

// A trace unit block as the host has seen it.
struct UnitInfo {
  const RAS1_UnitBlock* block = nullptr;
  int32_t marker = 0;
  int32_t kind = 0;
  std::string name;
  std::string date;
  std::string time;
  std::string level;
  std::string className;
};

// Build information read through a unit block's accessor.
struct BuildInfo {
  std::string unit;  // the unit whose accessor was called
  int32_t infoCount = 0;
  int32_t commentCount = 0;
  std::vector<std::string> info;
  std::vector<std::string> comments;
};

// A loaded module. Owned by the Host that loaded it; valid until unloaded.
class Module {
 public:
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module();

  const std::string& name() const;
  const std::string& path() const;
  const CNT1_MountBlock& mountBlock() const;
  const CNT1_Entry& entry() const;
  const PRB1_Vector& vector() const;

  PRB1_RequestEntry start() const;
  PRB1_RequestEntry process() const;
  PRB1_RequestEntry terminate() const;
  PRB1_CompileDateEntry compileDateEntry() const;

  // Calls the compile-date entry.
  CompileDate compileDate() const;
  // Trace units of this module that have called the trace services.
  std::vector<UnitInfo> units() const;
  // Build information through the module's own unit block (the unit of kind
  // 0x8000, else the one named like the module); empty until that unit has
  // called the trace services.
  std::optional<BuildInfo> buildInfo() const;

 private:
  friend class Host;
  explicit Module(std::unique_ptr<detail::ModuleState> state);
  std::unique_ptr<detail::ModuleState> state_;
};

// Request phases, for options that apply to some of them.
enum Phase : unsigned { kPhaseStart = 1, kPhaseProcess = 2, kPhaseTerminate = 4, kPhaseAll = 7 };

struct RunOptions {
  bool skipStart = false;
  bool skipTerminate = false;
  bool stopAfterFailedStart = false;  // default: process and terminate follow anyway
  int extraProcessCalls = 0;          // calls of process after it returned non-zero
  int maxProcessCalls = 100000;       // guard against a module that never ends
  // When set (>= 0), the guard is relative instead: a request stops once its
  // process calls exceed the member rows fetched so far by this many, so it
  // cannot cut an answer (a module hands out at most one row per row it
  // fetched, plus the end of data), however large.
  int64_t processCallsBeyondRows = -1;
  bool failGetStorage = false;
  unsigned nullParameterList = 0;  // phases in which item 23 yields null
  bool mismatchRequestId = false;  // the entries get a request handle with a wrong id
  bool mismatchStorageId = false;  // the storage handle in the parameter list has a wrong id
  // A store for this request alone (a server worker's own connection): its
  // SQL and node-status updates go there instead of to the host's store, and
  // the host does not serialise its calls with other requests'. It must be
  // used by the calling thread only while the request runs.
  Store* store = nullptr;
  // Checked before each process call: once set, the module is asked for no
  // further row and terminate follows (a client that went away).
  const std::atomic<bool>* cancel = nullptr;
  // Member statements are read ahead on a reader thread while the module
  // works (when the host allows it too: Host::overlapMemberSql). Off, every
  // store call is made on the calling thread at the module's call, in order.
  // What the module sees is the same either way.
  bool overlapMemberSql = true;
};

// A member SQL operation (one routed to a member agent by an AT clause) that
// the store failed. The module cannot tell such a failure from the end of
// the member's data; the host records it so that the answer can be reported
// incomplete.
struct MemberFailure {
  std::string node;        // the member agent asked (ORIGINNODE), else the route
  std::string operation;   // "prepare", "open" or "fetch"
  int32_t status = 0;      // the store's status
  std::string message;     // the store's reason
  size_t rowsFetched = 0;  // rows the member delivered before a fetch failed
  std::string route;       // the AT clause's node (the thru node)
};

// One line: "member WNRX4:RXA2:SYSB: fetch failed after 4,000 rows: database
// disk image is malformed"; "prepare failed" and "open failed" name no rows.
// Control characters in the node and the message are escaped.
std::string memberFailureText(const MemberFailure& failure);

// Takes each row as the module hands it out (rowSize bytes, valid during
// the call).
using RowSink = std::function<void(std::string_view row)>;

// The SQL that requests sent since the last clearSqlTexts().
struct SqlActivity {
  size_t texts = 0;           // every text that reached CreateAccessPlan
  size_t memberRequests = 0;  // texts routed to a member agent by an AT clause
  // Members queried: the most member requests sent for any one base table
  // (a module sends each member one SELECT per base table it reads).
  size_t membersQueried = 0;
  std::chrono::nanoseconds storeTime{0};  // spent in the store: prepare, open, fetch
};

struct RunResult {
  bool started = false;
  int32_t startStatus = 0;
  std::vector<int32_t> processStatuses;
  bool terminated = false;
  int32_t terminateStatus = 0;
  int processCalls = 0;
  bool hitProcessLimit = false;
  size_t rowsFetched = 0;             // rows the store delivered to the request's fetches
  bool cancelled = false;             // stopped by RunOptions::cancel
  size_t rowCount = 0;                // rows handed out (kept, or given to a RowSink)
  std::vector<std::string> rows;      // each rowSize bytes, in the order handed out
  const void* workArea = nullptr;     // the anchor from PutItem item 3 (storage now freed)
  std::string workAreaBytes;          // the work area's storage as it was after terminate
  std::vector<int32_t> storageSizes;  // every GetStorage request
  // The request's node-status updates (the heartbeat's), applied together
  // when it ended: how many, and the status of applying them (all or none).
  size_t nodeStatusUpdates = 0;
  int32_t nodeStatusStatus = 0;
  std::string nodeStatusError;
  std::vector<NodeStatusUpdate> nodeStatusBatch;  // the updates themselves, in order
  // This request's own SQL (whatever other threads ran meanwhile).
  SqlActivity sql;
  // Every member SQL operation that failed during the request, in order.
  std::vector<MemberFailure> memberFailures;

  int32_t lastProcessStatus() const { return processStatuses.empty() ? 0 : processStatuses.back(); }
  // Row i copied into a T (T must be trivially copyable and at most rowSize bytes).
  template <class T>
  T row(size_t i) const {
    T value{};
    std::memcpy(&value, rows.at(i).data(), std::min(sizeof(T), rows.at(i).size()));
    return value;
  }
};

class RequestCursor;

// One request as the host sees it, for tests that call the entries
// themselves. Its handles work only while its Host exists.
class Request {
 public:
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request();

  HDL1_CommonHandle handle() const;         // the handle the entries take
  HDL1_CommonHandle storageHandle() const;  // the one the parameter list points to
  unsigned char* parameterList();
  void* workArea() const;  // the anchor as the module put it, or null
  const std::vector<std::string>& rows() const;
  const std::vector<int32_t>& storageSizes() const;
  size_t filtersRead() const;  // filters handed out through item 28 so far

  void failGetStorage(bool on);
  void nullParameterList(bool on);
  void mismatchStorageId(bool on);

 private:
  friend class Host;
  friend class RequestCursor;
  explicit Request(std::unique_ptr<detail::RequestState> state);
  std::unique_ptr<detail::RequestState> state_;
};

// The node-status table's columns, in the host's order, and its rows (one
// cell per column, as the store delivers them).
struct NodeStatusTable {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<std::string>> rows;
};

// Reads the node-status table through the store. Only the columns the host
// knows are selected, so extra columns of any name do not get in the way.
int32_t readNodeStatus(Store& store, NodeStatusTable& table, Error& error);

class Host {
 public:
  // The store answers the SQL texts and node-status updates; it must outlive
  // the Host. Without a store every SQL request fails.
  explicit Host(Store& store);
  Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  ~Host();

  static Host* current();
  Store* store() const;

  // Modules. load returns null when the module does not load, with `error`
  // naming the module and the defect (status kModuleMissing or
  // kModuleDefect); without `error` the failure becomes a HOST trace line.
  Module* load(const std::string& path, Error* error = nullptr);
  void unload(Module* module);

  // Requests.
  RunResult run(const Module& module, const std::string& table, const std::vector<Filter>& filters,
                size_t rowSize, const RunOptions& options = {});
  // The same, with every row given to `sink` instead of kept in the result.
  RunResult run(const Module& module, const std::string& table, const std::vector<Filter>& filters,
                size_t rowSize, const RunOptions& options, const RowSink& sink);
  std::unique_ptr<Request> newRequest(const std::string& table, const std::vector<Filter>& filters,
                                      size_t rowSize);

  // Tracing. Levels are per unit; a unit without its own level has the
  // default level (0 unless set). Changing a level advances the unit's
  // synchronisation counters.
  void setTraceLevel(const std::string& unit, int32_t mask);
  // "UNIT=MASK[,UNIT=MASK]"; nothing is set when any item is malformed.
  int32_t setTraceLevels(std::string_view spec, Error& error);
  void setDefaultTraceLevel(int32_t mask);
  int32_t traceLevel(const std::string& unit) const;
  void traceToMemory();  // the default
  void traceToStderr();
  // Appends to the file; when it cannot be opened, traces go to stderr and
  // the status is kFileFailed.
  int32_t traceToFile(const std::string& path, Error& error);
  // "cannot write trace file "PATH": <reason>" once a line could not be
  // written to the trace file (the later lines are lost too), else "".
  std::string traceFileFailure() const;
  std::vector<TraceLine> traceLines() const;
  std::vector<std::string> traceText() const;  // rendered lines
  bool traceContains(std::string_view text) const;
  void clearTrace();
  // A line under the unit "HOST".
  void hostTrace(const std::string& function, const std::string& text);

  // Every SQL text exactly as it reached CreateAccessPlan, in order.
  std::vector<std::string> sqlTexts() const;
  size_t sqlTextCount() const;  // sqlTexts().size(), without the copy
  SqlActivity sqlActivity() const;
  void clearSqlTexts();  // and the activity
  // Whether the host keeps the logs of SQL texts, SQL activity and
  // node-status calls (it does by default). A long-running host turns them
  // off: every RunResult still carries its own request's account.
  void keepLogs(bool on);
  // Whether member statements (SQL routed to a member by an AT clause) are
  // read ahead: once opened, a reader thread of the host steps the statement
  // and hands its rows to the module's fetches through a small buffer, so
  // that the store reads while the module merges. On by default; a request
  // can refuse it (RunOptions::overlapMemberSql). Fetch statuses, rows,
  // failures and trace lines are the same either way; the time in the store
  // (SqlActivity::storeTime) then runs alongside the module's.
  void overlapMemberSql(bool on);
  // Every kfastinh call, in order, with its status. During Host::run the
  // calls are collected and applied together when the request ends; each
  // then carries the status of the whole batch.
  struct NodeStatusCall {
    NodeStatusUpdate update;
    int32_t status = 0;
  };
  std::vector<NodeStatusCall> nodeStatusCalls() const;

  // Host objects. SQL objects still alive (not dropped); the Host frees them
  // when it goes.
  size_t liveSqlObjects() const;
  size_t liveSqlObjects(ObjectKind kind) const;
  // The next object of that kind is handed out with a handle whose id
  // differs from the object's own id.
  void mismatchNextHandle(ObjectKind kind);
  // Changes the id stored in a live host object, so that every handle of it
  // mismatches. Returns false when the address is not a live host object.
  bool corruptObjectId(const void* object);

  // For the host's own sources.
  detail::HostState& state() { return *state_; }

 private:
  Module* loadModule(const std::string& path, Error& error);
  std::shared_ptr<detail::HostState> state_;
};

// One request of a module run a step at a time, as Host::run runs it: the
// constructor calls start, each step() makes one process call, and finish()
// calls terminate and applies the request's node-status updates. The
// destructor finishes a request that was not finished, so a reader that
// stops early (a LIMIT) still ends the module's request. Rows go to the sink
// as the module hands them out, or are kept in the result when it is empty.
// Every entry call runs with the request's own context on the calling
// thread (RunOptions::store, its SQL account, node-status batch and member
// failures), so cursors of several requests may be stepped in turn on one
// thread, and requests on several threads at once. The cursor and the
// module must not outlive the Host.
class RequestCursor {
 public:
  RequestCursor(Host& host, const Module& module, const std::string& table,
                const std::vector<Filter>& filters, size_t rowSize, const RunOptions& options = {},
                RowSink sink = {});
  RequestCursor(const RequestCursor&) = delete;
  RequestCursor& operator=(const RequestCursor&) = delete;
  ~RequestCursor();

  // One process call; false (and no call) once the request has ended: a
  // non-zero status, the process-call limit, or a start that stopped it.
  bool step();
  bool ended() const;
  // Terminates the request (once) and returns its result; later calls
  // return the same result.
  RunResult& finish();
  const RunResult& result() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace vxrhost
