// The Host: its lifetime as the current host, requests and the driver that
// runs a module's entries, the logs, and kfastinh.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "host_state.h"

namespace vxrhost {

namespace {
std::atomic<detail::HostState*> g_state{nullptr};
std::atomic<Host*> g_host{nullptr};

// The node-status updates of the request that this thread is running: kfastinh
// collects them, and the store applies them together when the request ends.
struct NodeStatusBatch {
  std::vector<NodeStatusUpdate> updates;
  std::vector<size_t> calls;  // their entries in HostState::nodeCalls
};
thread_local NodeStatusBatch* t_nodeStatusBatch = nullptr;
thread_local detail::RunContext* t_run = nullptr;
// The member SQL failures of the request that this thread is running.
thread_local std::vector<MemberFailure>* t_memberFailures = nullptr;
// Rows fetched by the request that this thread is running.
thread_local size_t t_rowsFetched = 0;

// 4000 as "4,000".
std::string grouped(size_t n) {
  std::string digits = std::to_string(n);
  for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}
}  // namespace

void detail::noteRowFetched() {
  ++t_rowsFetched;
}

void detail::noteStoreTime(HostState& s, std::chrono::nanoseconds spent) {
  if (spent.count() == 0) return;
  if (t_run != nullptr) t_run->storeTime += spent;
  std::lock_guard lock(s.storeMutex);
  s.storeNanoseconds += spent.count();
}

void detail::noteMemberFailure(MemberFailure failure) {
  if (t_memberFailures != nullptr) t_memberFailures->push_back(std::move(failure));
}

std::string memberFailureText(const MemberFailure& f) {
  std::string text = "member " + controlEscaped(f.node) + ": " + f.operation + " failed";
  if (f.operation == "fetch") {
    text += " after " + grouped(f.rowsFetched) + (f.rowsFetched == 1 ? " row" : " rows");
  }
  return text + ": " + controlEscaped(f.message);
}

detail::HostState* detail::currentState() {
  return g_state.load();
}

detail::RunContext* detail::currentRun() {
  return t_run;
}

Host::Host(Store& store) : Host() {
  state_->store = &store;
  state_->faults = dynamic_cast<SqlClientFaults*>(&store);
}

Host::Host() : state_(std::make_shared<detail::HostState>()) {
  Host* expected = nullptr;
  if (!g_host.compare_exchange_strong(expected, this)) {
    throw std::logic_error("another vxrhost::Host exists; only one may live at a time");
  }
  g_state.store(state_.get());
}

Host::~Host() {
  // SQL objects first: they hold statements of the store.
  std::unordered_map<const void*, detail::ObjectEntry> objects;
  {
    std::lock_guard lock(state_->objectMutex);
    objects.swap(state_->objects);
  }
  objects.clear();
  state_->readers.shutdown();
  while (!state_->modules.empty()) unload(state_->modules.back());
  // Units that outlive this host (those linked into the executable) cached
  // this host's levels; move their counters so that the next host is asked.
  {
    std::lock_guard lock(state_->traceMutex);
    for (auto& [name, byAddress] : state_->counters) {
      for (auto& [counter, base] : byAddress) std::atomic_ref<int32_t>(*counter).fetch_add(1);
    }
  }
  g_state.store(nullptr);
  g_host.store(nullptr);
}

Host* Host::current() {
  return g_host.load();
}
Store* Host::store() const {
  return state_->store;
}

std::vector<std::string> Host::sqlTexts() const {
  std::lock_guard lock(state_->logMutex);
  return state_->sqlTexts;
}

size_t Host::sqlTextCount() const {
  std::lock_guard lock(state_->logMutex);
  return state_->sqlTexts.size();
}

SqlActivity Host::sqlActivity() const {
  SqlActivity a;
  std::lock_guard lock(state_->logMutex);
  a.texts = state_->sqlTexts.size();
  for (const auto& [table, count] : state_->memberRequests) {
    a.memberRequests += count;
    a.membersQueried = std::max(a.membersQueried, count);
  }
  std::lock_guard storeLock(state_->storeMutex);
  a.storeTime = std::chrono::nanoseconds(state_->storeNanoseconds);
  return a;
}

void Host::keepLogs(bool on) {
  state_->keepLogs.store(on);
}

void Host::overlapMemberSql(bool on) {
  state_->readAhead.store(on);
}

void Host::clearSqlTexts() {
  std::lock_guard lock(state_->logMutex);
  state_->sqlTexts.clear();
  state_->memberRequests.clear();
  std::lock_guard storeLock(state_->storeMutex);
  state_->storeNanoseconds = 0;
}

int32_t readNodeStatus(Store& store, NodeStatusTable& table, Error& error) {
  table = NodeStatusTable{};
  error.clear();
  std::string sql = "SELECT ";
  for (const char* column : nodestatus::kColumns) {
    if (sql.size() > 7) sql += ", ";
    sql += column;
  }
  sql += std::string(" FROM ") + nodestatus::kTable + ";";
  const std::string what = std::string("cannot read the node-status table ") + nodestatus::kTable;
  std::unique_ptr<PreparedStatement> statement;
  std::string why;
  int32_t status = store.prepare(sql, statement, why);
  if (status == sqlstatus::kOk && statement == nullptr) status = sqlstatus::kStoreFailure;
  if (status != sqlstatus::kOk) return error.set(status, what, controlEscaped(why));
  std::unique_ptr<ResultSet> rows;
  status = statement->open(rows, why);
  if (status == sqlstatus::kOk && rows == nullptr) status = sqlstatus::kStoreFailure;
  if (status != sqlstatus::kOk) return error.set(status, what, controlEscaped(why));
  table.columns = statement->columns();
  std::vector<std::string> cells;
  while ((status = rows->next(cells, why)) == sqlstatus::kOk) table.rows.push_back(cells);
  if (status != sqlstatus::kEndOfData) {
    table.rows.clear();
    return error.set(status, what, controlEscaped(why));
  }
  return sqlstatus::kOk;
}

std::vector<Host::NodeStatusCall> Host::nodeStatusCalls() const {
  std::lock_guard lock(state_->logMutex);
  return state_->nodeCalls;
}

// --- Requests ----------------------------------------------------------------

Request::Request(std::unique_ptr<detail::RequestState> state) : state_(std::move(state)) {}

Request::~Request() {
  state_->host->forget(&state_->requestShell);
  state_->host->forget(&state_->storageShell);
}

HDL1_CommonHandle Request::handle() const {
  return state_->requestHandle;
}
HDL1_CommonHandle Request::storageHandle() const {
  return state_->storageHandle;
}
unsigned char* Request::parameterList() {
  return state_->parm;
}
void* Request::workArea() const {
  return state_->workArea;
}
const std::vector<std::string>& Request::rows() const {
  return state_->rows;
}
const std::vector<int32_t>& Request::storageSizes() const {
  return state_->storageSizes;
}
size_t Request::filtersRead() const {
  return state_->nextFilter;
}
void Request::failGetStorage(bool on) {
  state_->failStorage = on;
}
void Request::nullParameterList(bool on) {
  state_->nullParm = on;
}

void Request::mismatchStorageId(bool on) {
  uint16_t id = static_cast<uint16_t>(state_->storageShell.header.id);
  state_->storageHandle.id = on ? static_cast<uint16_t>(id + 1) : id;
}

std::unique_ptr<Request> Host::newRequest(const std::string& table,
                                          const std::vector<Filter>& filters, size_t rowSize) {
  if (table.size() >= kParmTableNameSize) {
    throw std::invalid_argument("table name \"" + table + "\" is longer than " +
                                std::to_string(kParmTableNameSize - 1) + " characters");
  }
  auto state = std::make_unique<detail::RequestState>();
  state->host = state_.get();
  state->keepHost = state_;
  state->rowSize = rowSize;
  std::memcpy(state->parm + kParmTableNameOffset, table.c_str(), table.size() + 1);
  for (const Filter& f : filters) {
    if (f.column.size() > kFilterColumnWidth) {
      throw std::invalid_argument("filter column \"" + f.column + "\" is longer than " +
                                  std::to_string(kFilterColumnWidth) + " characters");
    }
    if (f.value.size() > static_cast<size_t>(INT16_MAX)) {
      throw std::invalid_argument("filter value of column " + f.column + " is too long");
    }
    auto record = std::make_unique<detail::FilterRecord>();
    std::memset(record->bytes, 0, sizeof record->bytes);
    int16_t op = f.op;
    int16_t length = static_cast<int16_t>(f.value.size());
    std::memcpy(record->bytes + kFilterOperatorOffset, &op, sizeof op);
    std::memcpy(record->bytes + kFilterLengthOffset, &length, sizeof length);
    std::memset(record->bytes + kFilterColumnOffset, ' ', kFilterColumnWidth);
    std::memcpy(record->bytes + kFilterColumnOffset, f.column.data(), f.column.size());
    record->bytes[kFilterColumnOffset + kFilterColumnWidth] = 0;
    record->value = std::make_unique<char[]>(f.value.size());
    std::memcpy(record->value.get(), f.value.data(), f.value.size());
    const void* address = record->value.get();
    std::memcpy(record->bytes + kFilterValueOffset, &address, sizeof address);
    state->filters.push_back(std::move(record));
  }
  state->requestHandle =
      state_->registerObject(state->requestShell, ObjectKind::Request, state.get(), nullptr);
  state->storageHandle =
      state_->registerObject(state->storageShell, ObjectKind::Storage, state.get(), nullptr);
  const void* storageHandleAddress = &state->storageHandle;
  std::memcpy(state->parm + kParmStorageHandleOffset, &storageHandleAddress,
              sizeof storageHandleAddress);
  return std::unique_ptr<Request>(new Request(std::move(state)));
}

RunResult Host::run(const Module& module, const std::string& table,
                    const std::vector<Filter>& filters, size_t rowSize, const RunOptions& options) {
  return run(module, table, filters, rowSize, options, RowSink());
}

RunResult Host::run(const Module& module, const std::string& table,
                    const std::vector<Filter>& filters, size_t rowSize, const RunOptions& options,
                    const RowSink& sink) {
  RequestCursor cursor(*this, module, table, filters, rowSize, options, sink);
  while (cursor.step()) {
  }
  return std::move(cursor.finish());
}

// --- Request cursor ----------------------------------------------------------

struct RequestCursor::State {
  detail::HostState* host = nullptr;
  const Module* module = nullptr;
  RunOptions options;
  RowSink sink;  // the request points at it
  std::unique_ptr<Request> request;
  HDL1_CommonHandle handle{};
  NodeStatusBatch batch;
  detail::RunContext run;  // the store this request's SQL goes to, and its account
  RunResult result;
  size_t rowsFetched = 0;  // member rows fetched so far, for the runaway guard
  bool proceed = false;    // process and terminate are called
  bool ended = false;
  bool finished = false;

  // Runs one entry call of the request on this thread with the request's own
  // context in place: its store and SQL account (RunOptions::store), its
  // node-status batch collecting kfastinh and its list of member failures
  // collecting the SQL client's. The previous context is put back afterwards,
  // since a cursor's steps may be interleaved with another request's on the
  // same thread (two group tables of one SQL statement).
  template <class Call>
  auto collecting(Call call) {
    NodeStatusBatch* outerBatch = t_nodeStatusBatch;
    detail::RunContext* outerRun = t_run;
    std::vector<MemberFailure>* outerFailures = t_memberFailures;
    t_nodeStatusBatch = &batch;
    t_run = &run;
    t_memberFailures = &result.memberFailures;
    size_t outerRows = t_rowsFetched;
    t_rowsFetched = rowsFetched;
    auto status = call();
    rowsFetched = t_rowsFetched;
    t_nodeStatusBatch = outerBatch;
    t_run = outerRun;
    t_memberFailures = outerFailures;
    t_rowsFetched = outerRows;
    return status;
  }
};

RequestCursor::RequestCursor(Host& host, const Module& module, const std::string& table,
                             const std::vector<Filter>& filters, size_t rowSize,
                             const RunOptions& options, RowSink sink)
    : s_(std::make_unique<State>()) {
  State& s = *s_;
  s.host = &host.state();
  s.module = &module;
  s.options = options;
  s.sink = std::move(sink);
  s.run.store = options.store;
  s.run.readAhead = options.overlapMemberSql;
  s.request = host.newRequest(table, filters, rowSize);
  detail::RequestState& r = *s.request->state_;
  r.failStorage = options.failGetStorage;
  r.onRow = &s.sink;
  s.request->mismatchStorageId(options.mismatchStorageId);
  s.handle = s.request->handle();
  if (options.mismatchRequestId) s.handle.id = static_cast<uint16_t>(s.handle.id + 1);
  if (!options.skipStart) {
    r.nullParm = (options.nullParameterList & kPhaseStart) != 0;
    s.result.started = true;
    s.result.startStatus = s.collecting([&] { return module.start()(s.handle); });
  }
  s.proceed = !(options.stopAfterFailedStart && s.result.started && s.result.startStatus != 0);
  s.ended = !s.proceed;
  if (s.proceed) r.nullParm = (options.nullParameterList & kPhaseProcess) != 0;
}

RequestCursor::~RequestCursor() {
  finish();
}

bool RequestCursor::ended() const {
  return s_->ended;
}

const RunResult& RequestCursor::result() const {
  return s_->result;
}

bool RequestCursor::step() {
  State& s = *s_;
  if (s.ended) return false;
  bool runaway = s.options.processCallsBeyondRows >= 0
                     ? s.result.processCalls >
                           static_cast<int64_t>(s.rowsFetched) + s.options.processCallsBeyondRows
                     : s.result.processCalls >= s.options.maxProcessCalls;
  if (runaway) {
    s.result.hitProcessLimit = true;
    s.ended = true;
    return false;
  }
  if (s.options.cancel != nullptr && s.options.cancel->load()) {
    s.result.cancelled = true;
    s.ended = true;
    return false;
  }
  int32_t status = s.collecting([&] { return s.module->process()(s.handle); });
  ++s.result.processCalls;
  s.result.processStatuses.push_back(status);
  s.ended = status != 0;
  return !s.ended;
}

RunResult& RequestCursor::finish() {
  State& s = *s_;
  RunResult& result = s.result;
  if (s.finished) return result;
  s.finished = true;
  detail::RequestState& r = *s.request->state_;
  if (s.proceed) {
    // The extra calls after the end are for a request that reached it.
    for (int i = 0; s.ended && i < s.options.extraProcessCalls; ++i) {
      result.processStatuses.push_back(s.collecting([&] { return s.module->process()(s.handle); }));
      ++result.processCalls;
    }
    s.ended = true;
    if (!s.options.skipTerminate) {
      r.nullParm = (s.options.nullParameterList & kPhaseTerminate) != 0;
      result.terminated = true;
      result.terminateStatus = s.collecting([&] { return s.module->terminate()(s.handle); });
    }
  }
  result.sql.texts = s.run.texts;
  for (const auto& [table, count] : s.run.memberRequests) {
    result.sql.memberRequests += count;
    result.sql.membersQueried = std::max(result.sql.membersQueried, count);
  }
  result.sql.storeTime = s.run.storeTime;
  result.rowsFetched = s.rowsFetched;
  NodeStatusBatch& batch = s.batch;
  if (!batch.updates.empty()) {
    std::string error = "the host has no store";
    int32_t status = sqlstatus::kStoreFailure;
    if (s.options.store != nullptr) {
      error.clear();
      status = s.options.store->applyNodeStatusBatch(batch.updates, error);
    } else if (s.host->store != nullptr) {
      std::lock_guard lock(s.host->storeMutex);
      error.clear();
      status = s.host->store->applyNodeStatusBatch(batch.updates, error);
    }
    if (status != 0) {
      s.host->hostLine("kfastinh", std::to_string(batch.updates.size()) +
                                       " node status updates failed with " +
                                       std::to_string(status) + ": " + error);
    }
    std::lock_guard lock(s.host->logMutex);
    for (size_t i : batch.calls) s.host->nodeCalls[i].status = status;
    result.nodeStatusUpdates = batch.updates.size();
    result.nodeStatusStatus = status;
    result.nodeStatusError = error;
    result.nodeStatusBatch = std::move(batch.updates);
  }
  result.rows = std::move(r.rows);
  result.rowCount = r.rowCount;
  result.workArea = r.workArea;
  result.storageSizes = r.storageSizes;
  for (const auto& block : r.storage) {
    if (block.bytes.get() == r.workArea) {
      result.workAreaBytes.assign(reinterpret_cast<const char*>(block.bytes.get()), block.size);
    }
  }
  r.onRow = nullptr;
  s.host->flushTrace();  // the request's trace lines, before anything else is printed
  return result;
}

}  // namespace vxrhost

// --- Host function -----------------------------------------------------------

extern "C" int32_t kfastinh(const char* node, const char* parent, const char* online,
                            const char* type, const char* product, const char* version,
                            const char* affinity, const char* level) {
  using namespace vxrhost;
  auto* s = detail::currentState();
  if (s == nullptr) return hoststatus::kNoHost;
  auto str = [](const char* p) { return p ? std::string(p) : std::string(); };
  NodeStatusUpdate update{str(node),    str(parent),  str(online),   str(type),
                          str(product), str(version), str(affinity), str(level)};
  if (t_nodeStatusBatch != nullptr) {
    // Applied with the request's other updates when it ends (RequestCursor::finish).
    t_nodeStatusBatch->updates.push_back(update);
    if (s->keepLogs.load(std::memory_order_relaxed)) {
      std::lock_guard lock(s->logMutex);
      t_nodeStatusBatch->calls.push_back(s->nodeCalls.size());
      s->nodeCalls.push_back(Host::NodeStatusCall{std::move(update), 0});
    }
    return 0;
  }
  int32_t status = sqlstatus::kStoreFailure;
  std::string error = "the host has no store";
  if (s->store != nullptr) {
    std::lock_guard lock(s->storeMutex);
    error.clear();
    status = s->store->updateNodeStatus(update, error);
  }
  if (status != 0) {
    s->hostLine("kfastinh", "node status update of \"" + update.node + "\" failed with " +
                                std::to_string(status) + ": " + error);
  }
  if (s->keepLogs.load(std::memory_order_relaxed)) {
    std::lock_guard lock(s->logMutex);
    s->nodeCalls.push_back(Host::NodeStatusCall{std::move(update), status});
  }
  return status;
}
