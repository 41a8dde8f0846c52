// The host's SQL client: path, plan, request and cursor objects over the
// store, with the operation tables the modules call.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host_state.h"
#include "vxrhost/scripted_store.h"

namespace vxrhost {

const char* sqlOpName(SqlOp op) {
  switch (op) {
    case SqlOp::CreatePath:
      return "sql1cpth";
    case SqlOp::CreateRequest:
      return "CreateRequest";
    case SqlOp::GetInputSqlda:
      return "GetInputSQLDA";
    case SqlOp::GetOutputSqlda:
      return "GetOutputSQLDA";
    case SqlOp::CloseRequest:
      return "CloseRequest";
    case SqlOp::DropPath:
      return "DropPath";
    case SqlOp::DropPlan:
      return "DropPlan";
    case SqlOp::DropRequest:
      return "DropRequest";
  }
  return "?";
}

namespace detail {
namespace {

// Output descriptor, beyond the fields the modules read: eye-catcher at 0,
// total size (int32) at 8, column count at 12 and again at 14; per entry the
// SQL type (int16, 452 CHAR, 496 INTEGER) at 0, the length at 2, the declared
// width (int16) at 4, the data address at 16, the name length (int16) at 26
// and up to 30 name bytes at 28.
constexpr size_t kEntryTypeOffset = 0;
constexpr size_t kEntryWidthOffset = 4;
constexpr size_t kEntryNameLengthOffset = 26;
constexpr size_t kEntryNameOffset = 28;
constexpr size_t kEntryNameMax = 30;
constexpr int16_t kTypeChar = 452;
constexpr int16_t kTypeInteger = 496;

constexpr char kServerName[] = "SRVR01";
const char kClientList[16] = "SQL1CLIENTLIST";

void put16(unsigned char* at, int16_t value) {
  std::memcpy(at, &value, sizeof value);
}
void put32(unsigned char* at, int32_t value) {
  std::memcpy(at, &value, sizeof value);
}
void putAddress(unsigned char* at, const void* value) {
  std::memcpy(at, &value, sizeof value);
}

std::string format(const char* fmt, auto... args) {
  char buffer[768];
  std::snprintf(buffer, sizeof buffer, fmt, args...);
  return buffer;
}

// One call of the store for the request running on this thread. A request
// with a store of its own (a server worker's connection) calls it without the
// host's store lock; the host's shared store is used by one caller at a time.
// The time spent goes to the request's account and to the host's total (a
// plain 64-bit word guarded by the store lock: 32-bit targets have no
// lock-free 64-bit atomics without libatomic).
class StoreCall {
 public:
  explicit StoreCall(HostState& s)
      : s_(s), run_(currentRun()), begin_(std::chrono::steady_clock::now()) {
    if (run_ == nullptr || run_->store == nullptr) lock_ = std::unique_lock(s_.storeMutex);
  }
  ~StoreCall() {
    auto spent = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now() - begin_);
    if (run_ != nullptr) run_->storeTime += spent;
    if (!lock_.owns_lock()) lock_ = std::unique_lock(s_.storeMutex);
    s_.storeNanoseconds += spent.count();
  }
  StoreCall(const StoreCall&) = delete;
  StoreCall& operator=(const StoreCall&) = delete;
  // The store this request's SQL goes to (null when the host has none).
  Store* store() const {
    return run_ != nullptr && run_->store != nullptr ? run_->store : s_.store;
  }

 private:
  HostState& s_;
  RunContext* run_;
  std::chrono::steady_clock::time_point begin_;
  std::unique_lock<std::mutex> lock_;
};

// Hands an opened member statement to a reader thread, unless the request
// reads serially or no reader is free. A request without a store of its own
// shares the host's, which the reader then holds while it reads.
void startReadAhead(HostState& s, SqlRequestState& r) {
  RunContext* run = currentRun();
  bool wanted =
      r.member && s.readAhead.load(std::memory_order_relaxed) && (run == nullptr || run->readAhead);
  if (!wanted) return;
  bool ownStore = run != nullptr && run->store != nullptr;
  r.readAhead.channel = s.readers.start(*r.rows, ownStore ? nullptr : &s.storeMutex);
}

// One row (or the final status) of an open request: from its reader when it
// has one, else from the store on this thread.
int32_t nextRow(HostState& s, SqlRequestState& r, std::vector<std::string>& cells,
                std::string& error) {
  int32_t status = sqlstatus::kOk;
  if (r.readAhead.channel != nullptr) {
    switch (r.readAhead.channel->take(cells, status, error)) {
      case RowChannel::Take::Row:
        return sqlstatus::kOk;
      case RowChannel::Take::Ended:
        // Later fetches ask the store itself, which repeats its failure.
        noteStoreTime(s, r.readAhead.reset());
        return status;
      case RowChannel::Take::Detached:
        noteStoreTime(s, r.readAhead.reset());
        break;
    }
  }
  StoreCall call(s);
  return r.rows->next(cells, error);
}

int32_t injected(HostState& s, SqlOp op, const std::string& route) {
  if (s.faults == nullptr) return 0;
  int32_t status = s.faults->clientFault(op, route);
  if (status != 0) {
    s.hostLine(sqlOpName(op),
               format("injected failure with %d (route \"%s\")", status, route.c_str()));
  }
  return status;
}

template <class T>
T* resolveAs(HostState* s, uint16_t id, void* object, ObjectKind kind, int32_t& status) {
  if (s == nullptr) {
    status = hoststatus::kNoHost;
    return nullptr;
  }
  void* state = nullptr;
  status = s->resolve(id, object, {kind}, &state);
  return status == 0 ? static_cast<T*>(state) : nullptr;
}

void buildOutputDescriptor(SqlRequestState& r) {
  const auto& columns = r.statement->columns();
  size_t n = std::min<size_t>(columns.size(), std::numeric_limits<int16_t>::max());
  r.outputSize = kSqldaFirstEntryOffset + n * kSqldaEntrySize;
  r.output = std::make_unique<unsigned char[]>(r.outputSize);
  unsigned char* d = r.output.get();
  std::memcpy(d, "SQLDA   ", 8);
  put32(d + 8, static_cast<int32_t>(r.outputSize));
  put16(d + kSqldaCountOffset, static_cast<int16_t>(n));
  put16(d + 14, static_cast<int16_t>(n));
  for (size_t i = 0; i < n; ++i) {
    unsigned char* e = d + kSqldaFirstEntryOffset + i * kSqldaEntrySize;
    const ColumnInfo& c = columns[i];
    put16(e + kEntryTypeOffset, c.type == ColumnType::Int32 ? kTypeInteger : kTypeChar);
    put16(e + kEntryWidthOffset, static_cast<int16_t>(c.width));
    size_t nameLength = std::min(c.name.size(), kEntryNameMax);
    put16(e + kEntryNameLengthOffset, static_cast<int16_t>(nameLength));
    std::memcpy(e + kEntryNameOffset, c.name.data(), nameLength);
  }
  std::memcpy(r.input, "SQLDA   ", 8);
}

// Clears the data areas: no stale row stays reachable from the descriptor.
void clearRow(SqlRequestState& r) {
  size_t n = (r.outputSize - kSqldaFirstEntryOffset) / kSqldaEntrySize;
  for (size_t i = 0; i < n; ++i) {
    unsigned char* e = r.output.get() + kSqldaFirstEntryOffset + i * kSqldaEntrySize;
    put16(e + kSqldaLengthOffset, 0);
    putAddress(e + kSqldaDataOffset, nullptr);
  }
  r.cells.clear();
}

// Under the address sanitizer each cell gets an area of exactly its bytes, so
// that a module reading past a column's length is caught; otherwise the
// descriptor points at the fetched cells themselves, which stay as they are
// until the next fetch.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCellAreas = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCellAreas = true;
#else
constexpr bool kCellAreas = false;
#endif
#else
constexpr bool kCellAreas = false;
#endif

int32_t fillRow(HostState& s, SqlRequestState& r, const std::vector<std::string>& cells) {
  size_t n = (r.outputSize - kSqldaFirstEntryOffset) / kSqldaEntrySize;
  if (cells.size() != n) {
    s.hostLine("Fetch", format("row of route \"%s\" has %zu cells for %zu columns", r.route.c_str(),
                               cells.size(), n));
  }
  for (size_t i = 0; i < n; ++i) {
    size_t length = i < cells.size() ? cells[i].size() : 0;
    if (length > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
      s.hostLine("Fetch",
                 format("cell %zu of %zu bytes does not fit a descriptor entry", i, length));
      clearRow(r);
      return sqlstatus::kStoreFailure;
    }
  }
  r.cells.clear();
  static const char kNoCell = 0;  // the address of a column the row has no cell for
  for (size_t i = 0; i < n; ++i) {
    unsigned char* e = r.output.get() + kSqldaFirstEntryOffset + i * kSqldaEntrySize;
    size_t length = i < cells.size() ? cells[i].size() : 0;
    const char* area = i < cells.size() ? cells[i].data() : &kNoCell;
    if (kCellAreas) {
      r.cells.push_back(std::make_unique<char[]>(length));
      if (length != 0) std::memcpy(r.cells.back().get(), area, length);
      area = r.cells.back().get();
    }
    put16(e + kSqldaLengthOffset, static_cast<int16_t>(length));
    putAddress(e + kSqldaDataOffset, area);
  }
  return sqlstatus::kOk;
}

// --- Path --------------------------------------------------------------------

int32_t pathDrop(uint16_t id, void* object) {
  HostState* s = currentState();
  int32_t status;
  auto* path = resolveAs<PathState>(s, id, object, ObjectKind::Path, status);
  if (path == nullptr) return status;
  if (int32_t f = injected(*s, SqlOp::DropPath, path->route)) return f;
  s->forget(object);
  return 0;
}

int32_t pathCreateAccessPlan(uint16_t id, void* object, const char* sql, HDL1_CommonHandle* plan) {
  HostState* s = currentState();
  int32_t status;
  auto* path = resolveAs<PathState>(s, id, object, ObjectKind::Path, status);
  if (path == nullptr) return status;
  if (sql == nullptr || plan == nullptr) {
    s->hostLine("CreateAccessPlan", "called without SQL text or plan handle address");
    return hoststatus::kNullArgument;
  }
  std::string text(sql);
  AtClause at = findAtClause(text);
  if (RunContext* run = currentRun()) {
    ++run->texts;
    if (at.present) ++run->memberRequests[fromTable(text)];
  }
  if (s->keepLogs.load(std::memory_order_relaxed)) {
    std::lock_guard lock(s->logMutex);
    s->sqlTexts.push_back(text);
    if (at.present) ++s->memberRequests[fromTable(text)];
  }
  std::string route = at.node;
  path->route = route;
  std::string memberName;
  if (at.present) {
    memberName = originNodeOf(text);
    if (memberName.empty()) memberName = route;
  }
  std::unique_ptr<PreparedStatement> statement;
  std::string error;
  if (StoreCall call(*s); call.store() == nullptr) {
    status = sqlstatus::kStoreFailure;
    error = "the host has no store";
  } else {
    status = call.store()->prepare(text, statement, error);
    if (status == 0 && statement == nullptr) {
      status = sqlstatus::kStoreFailure;
      error = "the store returned no statement";
    }
  }
  if (status != 0) {
    s->hostLine("CreateAccessPlan", format("prepare failed with %d (%s): %s", status,
                                           hoststatus::text(status), error.c_str()));
    if (at.present) noteMemberFailure({memberName, "prepare", status, error, 0, route});
    return status;
  }
  auto state = std::make_shared<PlanState>();
  state->path = object;
  state->statement = std::move(statement);
  state->route = route;
  state->member = at.present;
  state->memberName = std::move(memberName);
  *plan = s->registerObject(state->shell, ObjectKind::Plan, state.get(), state);
  return 0;
}

int32_t pathCreateRequest(uint16_t id, void* object, HDL1_CommonHandle* request, int32_t, int32_t,
                          int32_t, int32_t, int32_t planCount, HDL1_CommonHandle* plan,
                          HDL1_CommonHandle** handleList, int32_t) {
  HostState* s = currentState();
  int32_t status;
  auto* path = resolveAs<PathState>(s, id, object, ObjectKind::Path, status);
  if (path == nullptr) return status;
  if (request == nullptr || plan == nullptr || handleList == nullptr || *handleList == nullptr) {
    s->hostLine("CreateRequest", "called with a null handle address");
    return hoststatus::kNullArgument;
  }
  if (planCount != 1) {
    s->hostLine("CreateRequest", format("plan count %d, not 1", planCount));
    return hoststatus::kBadArgument;
  }
  auto* planState = resolveAs<PlanState>(s, plan->id, plan->object, ObjectKind::Plan, status);
  if (planState == nullptr) {
    s->hostLine("CreateRequest", format("plan handle rejected with %d", status));
    return status;
  }
  if (planState->path != object) {
    s->hostLine("CreateRequest", "the plan belongs to another path");
    return hoststatus::kBadArgument;
  }
  if (int32_t f = injected(*s, SqlOp::CreateRequest, planState->route)) return f;
  auto req = std::make_shared<SqlRequestState>();
  req->statement = planState->statement;
  req->route = planState->route;
  req->member = planState->member;
  req->memberName = planState->memberName;
  buildOutputDescriptor(*req);
  auto cursor = std::make_shared<CursorState>();
  cursor->request = req.get();
  req->cursor = &cursor->shell;
  HDL1_CommonHandle reqHandle =
      s->registerObject(req->shell, ObjectKind::SqlRequest, req.get(), req);
  HDL1_CommonHandle cursorHandle =
      s->registerObject(cursor->shell, ObjectKind::Cursor, cursor.get(), cursor);
  *request = reqHandle;
  **handleList = cursorHandle;
  return 0;
}

// --- Plan --------------------------------------------------------------------

int32_t planDrop(uint16_t id, void* object) {
  HostState* s = currentState();
  int32_t status;
  auto* plan = resolveAs<PlanState>(s, id, object, ObjectKind::Plan, status);
  if (plan == nullptr) return status;
  if (int32_t f = injected(*s, SqlOp::DropPlan, plan->route)) return f;
  s->forget(object);
  return 0;
}

// --- Request -----------------------------------------------------------------

int32_t requestDrop(uint16_t id, void* object) {
  HostState* s = currentState();
  int32_t status;
  auto* req = resolveAs<SqlRequestState>(s, id, object, ObjectKind::SqlRequest, status);
  if (req == nullptr) return status;
  if (int32_t f = injected(*s, SqlOp::DropRequest, req->route)) return f;
  const void* cursor = req->cursor;
  s->forget(cursor);
  s->forget(object);
  return 0;
}

int32_t requestOpen(uint16_t id, void* object, void*) {
  HostState* s = currentState();
  int32_t status;
  auto* req = resolveAs<SqlRequestState>(s, id, object, ObjectKind::SqlRequest, status);
  if (req == nullptr) return status;
  if (req->open) {
    s->hostLine("OpenRequest", "the request is already open");
    return sqlstatus::kBadState;
  }
  std::string error;
  {
    StoreCall call(*s);
    status = req->statement->open(req->rows, error);
    if (status == 0 && req->rows == nullptr) {
      status = sqlstatus::kStoreFailure;
      error = "the store returned no rows";
    }
  }
  if (status != 0) {
    req->rows.reset();
    s->hostLine("OpenRequest", format("open failed with %d (%s) for route \"%s\": %s", status,
                                      hoststatus::text(status), req->route.c_str(), error.c_str()));
    if (req->member) noteMemberFailure({req->memberName, "open", status, error, 0, req->route});
    return status;
  }
  startReadAhead(*s, *req);
  req->open = true;
  req->ended = false;
  req->rowsFetched = 0;
  req->failureNoted = false;
  return 0;
}

int32_t requestClose(uint16_t id, void* object) {
  HostState* s = currentState();
  int32_t status;
  auto* req = resolveAs<SqlRequestState>(s, id, object, ObjectKind::SqlRequest, status);
  if (req == nullptr) return status;
  if (int32_t f = injected(*s, SqlOp::CloseRequest, req->route)) return f;
  if (!req->open) {
    s->hostLine("CloseRequest", "the request is not open");
    return sqlstatus::kBadState;
  }
  req->open = false;
  noteStoreTime(*s, req->readAhead.reset());
  {
    StoreCall call(*s);
    req->rows.reset();
  }
  clearRow(*req);
  return 0;
}

int32_t requestGetInput(uint16_t id, void* object, void** field) {
  HostState* s = currentState();
  int32_t status;
  auto* req = resolveAs<SqlRequestState>(s, id, object, ObjectKind::SqlRequest, status);
  if (req == nullptr) return status;
  if (field == nullptr) return hoststatus::kNullArgument;
  if (int32_t f = injected(*s, SqlOp::GetInputSqlda, req->route)) return f;
  *field = req->input;
  return 0;
}

// --- Cursor ------------------------------------------------------------------

int32_t cursorFetch(uint16_t id, void* object, void* output) {
  HostState* s = currentState();
  int32_t status;
  auto* cursor = resolveAs<CursorState>(s, id, object, ObjectKind::Cursor, status);
  if (cursor == nullptr) return status;
  SqlRequestState& req = *cursor->request;
  if (output != req.output.get()) {
    s->hostLine("Fetch", "the descriptor is not this request's output descriptor");
    return hoststatus::kBadArgument;
  }
  if (!req.open) {
    s->hostLine("Fetch", "the request is not open");
    return sqlstatus::kBadState;
  }
  if (req.ended) return sqlstatus::kEndOfData;
  std::vector<std::string>& cells = req.fetched;
  std::string error;
  status = nextRow(*s, req, cells, error);
  if (status == sqlstatus::kEndOfData) {
    req.ended = true;
    clearRow(req);
    return status;
  }
  if (status != 0) {
    clearRow(req);
    s->hostLine("Fetch", format("fetch failed with %d (%s) for route \"%s\": %s", status,
                                hoststatus::text(status), req.route.c_str(), error.c_str()));
    if (req.member && !req.failureNoted) {
      req.failureNoted = true;
      noteMemberFailure({req.memberName, "fetch", status, error, req.rowsFetched, req.route});
    }
    return status;
  }
  ++req.rowsFetched;
  noteRowFetched();
  return fillRow(*s, req, cells);
}

int32_t cursorGetOutput(uint16_t id, void* object, void** field) {
  HostState* s = currentState();
  int32_t status;
  auto* cursor = resolveAs<CursorState>(s, id, object, ObjectKind::Cursor, status);
  if (cursor == nullptr) return status;
  if (field == nullptr) return hoststatus::kNullArgument;
  if (int32_t f = injected(*s, SqlOp::GetOutputSqlda, cursor->request->route)) return f;
  *field = cursor->request->output.get();
  return 0;
}

template <class F>
HDL1_Operation op(F f) {
  return reinterpret_cast<HDL1_Operation>(f);
}

const HDL1_Operation kPathOperations[10] = {nullptr,
                                            op(&pathDrop),
                                            nullptr,
                                            nullptr,
                                            nullptr,
                                            nullptr,
                                            op(&pathCreateRequest),
                                            op(&pathCreateAccessPlan),
                                            nullptr,
                                            nullptr};
const HDL1_Operation kPlanOperations[10] = {nullptr, op(&planDrop)};
const HDL1_Operation kRequestOperations[10] = {
    nullptr,           op(&requestDrop),     nullptr, nullptr, nullptr, nullptr, op(&requestOpen),
    op(&requestClose), op(&requestGetInput), nullptr};
const HDL1_Operation kCursorOperations[10] = {
    nullptr, nullptr, nullptr,          nullptr, nullptr,
    nullptr, nullptr, op(&cursorFetch), nullptr, op(&cursorGetOutput)};

const HDL1_ClassRecord kPathClass{11, kPathOperations, 0, nullptr};
const HDL1_ClassRecord kPlanClass{12, kPlanOperations, 0, nullptr};
const HDL1_ClassRecord kSqlRequestClass{13, kRequestOperations, 0, nullptr};
const HDL1_ClassRecord kCursorClass{14, kCursorOperations, 0, nullptr};

}  // namespace

const HDL1_ClassRecord* sqlClassRecordOf(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Path:
      return &kPathClass;
    case ObjectKind::Plan:
      return &kPlanClass;
    case ObjectKind::SqlRequest:
      return &kSqlRequestClass;
    case ObjectKind::Cursor:
      return &kCursorClass;
    default:
      return nullptr;
  }
}

}  // namespace detail
}  // namespace vxrhost

// --- Host functions -----------------------------------------------------------

extern "C" void* sql1cpli(void) {
  return const_cast<char*>(vxrhost::detail::kClientList);
}

extern "C" int32_t sql1cpth(const char* server, void* clientList, HDL1_CommonHandle* path) {
  using namespace vxrhost;
  using namespace vxrhost::detail;
  HostState* s = currentState();
  if (s == nullptr) return hoststatus::kNoHost;
  if (path == nullptr) {
    s->hostLine("sql1cpth", "called without a path handle address");
    return hoststatus::kNullArgument;
  }
  if (server == nullptr || std::strcmp(server, kServerName) != 0) {
    s->hostLine("sql1cpth", format("unknown SQL server \"%s\"", server ? server : "(null)"));
    return hoststatus::kUnknownServer;
  }
  if (clientList != kClientList) {
    s->hostLine("sql1cpth", "the client list is not the one sql1cpli returns");
    return hoststatus::kBadArgument;
  }
  if (int32_t f = injected(*s, SqlOp::CreatePath, "")) return f;
  auto state = std::make_shared<PathState>();
  *path = s->registerObject(state->shell, ObjectKind::Path, state.get(), state);
  return 0;
}
