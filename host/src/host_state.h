// Inner state of the Host, shared by its sources and the host functions.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "read_ahead.h"
#include "vxr/abi.h"
#include "vxrhost/host.h"

namespace vxrhost::detail {

// What a module sees of a host object: the three words of HDL1_Object. The
// Shell is the object address handed out; the C++ state lives beside it.
struct Shell {
  HDL1_Object header;
};

constexpr uintptr_t kObjectMarker = 0x48444C31;  // "HDL1"

// Class records, one per kind.
const HDL1_ClassRecord* classRecordOf(ObjectKind kind);

struct StorageBlock {
  std::unique_ptr<unsigned char[]> bytes;
  size_t size = 0;
};

struct FilterRecord {
  alignas(16) unsigned char bytes[kFilterSize];
  std::unique_ptr<char[]> value;  // exactly the value's bytes
};

struct RequestState {
  HostState* host = nullptr;
  std::shared_ptr<HostState> keepHost;  // a Request may outlive its Host
  Shell requestShell{};
  Shell storageShell{};
  HDL1_CommonHandle requestHandle{};
  HDL1_CommonHandle storageHandle{};  // the parameter list points here
  alignas(16) unsigned char parm[kParmSize]{};
  std::vector<std::unique_ptr<FilterRecord>> filters;
  size_t nextFilter = 0;
  std::vector<StorageBlock> storage;
  std::vector<int32_t> storageSizes;
  std::vector<std::string> rows;
  size_t rowSize = 0;
  size_t rowCount = 0;
  const std::function<void(std::string_view)>* onRow = nullptr;  // else rows are kept
  void* workArea = nullptr;
  bool failStorage = false;
  bool nullParm = false;
};

struct PreparedHolder;
struct SqlRequestState;

struct PathState {
  Shell shell{};
  std::string route;  // of the last plan made on it
};

struct PlanState {
  Shell shell{};
  const void* path = nullptr;
  std::shared_ptr<PreparedStatement> statement;
  std::string route;
  bool member = false;     // routed to a member agent by an AT clause
  std::string memberName;  // the member agent it asks
};

struct CursorState;

struct SqlRequestState {
  Shell shell{};
  std::shared_ptr<PreparedStatement> statement;
  std::string route;
  bool member = false;           // routed to a member agent by an AT clause
  std::string memberName;        // the member agent it asks
  bool failureNoted = false;     // a failed fetch was recorded (it repeats on a retry)
  const void* cursor = nullptr;  // its cursor object
  bool open = false;
  bool ended = false;
  std::unique_ptr<ResultSet> rows;
  ReadAhead readAhead;  // a reader of the rows, stopped before they close
  alignas(16) unsigned char input[16]{};
  std::unique_ptr<unsigned char[]> output;  // the output descriptor
  size_t outputSize = 0;
  size_t rowsFetched = 0;
  std::vector<std::string> fetched;            // the current row's cells, reused row after row
  std::vector<std::unique_ptr<char[]>> cells;  // or copies, each in its own area (sanitizers)
};

struct CursorState {
  Shell shell{};
  SqlRequestState* request = nullptr;  // dropped with it
};

struct ObjectEntry {
  ObjectKind kind;
  void* state;                  // RequestState*, PathState*, ...
  std::shared_ptr<void> owner;  // null for objects owned elsewhere (requests)
};

struct SeenUnit {
  const RAS1_UnitBlock* block = nullptr;
  const void* base = nullptr;  // load address of the object file holding it
  std::string name;
};

struct ModuleState {
  HostState* host = nullptr;
  void* handle = nullptr;
  std::string name;
  std::string path;
  const CNT1_MountBlock* mount = nullptr;
  const CNT1_Entry* entry = nullptr;
  const PRB1_Vector* vector = nullptr;
  const void* base = nullptr;
};

// The account of the request that this thread is running (Host::run): the
// store its SQL goes to and what that SQL cost. Only this thread touches it.
struct RunContext {
  Store* store = nullptr;  // the request's own store, or null for the host's
  size_t texts = 0;
  std::map<std::string, size_t> memberRequests;  // per base table
  std::chrono::nanoseconds storeTime{0};
  bool readAhead = true;  // member statements are read on a reader thread
};
RunContext* currentRun();

struct HostState {
  Store* store = nullptr;
  SqlClientFaults* faults = nullptr;

  // Objects.
  mutable std::mutex objectMutex;
  std::unordered_map<const void*, ObjectEntry> objects;
  uint16_t lastId = 0;
  std::set<ObjectKind> mismatchNext;
  uint16_t nextId();
  // Registers the shell and returns the handle to give out.
  HDL1_CommonHandle registerObject(Shell& shell, ObjectKind kind, void* state,
                                   std::shared_ptr<void> owner);
  void forget(const void* object);
  // Finds a live object of one of the kinds; checks the id. Status 0, 2 or
  // kBadObject.
  int32_t resolve(uint16_t id, const void* object, std::initializer_list<ObjectKind> kinds,
                  void** state, ObjectKind* kind = nullptr) const;

  // Store calls are serialised.
  std::mutex storeMutex;

  // Logs. A long-running host keeps none (each request's account is in its
  // RunResult), so that they do not grow without end.
  std::atomic<bool> keepLogs{true};
  mutable std::mutex logMutex;
  std::vector<std::string> sqlTexts;
  std::map<std::string, size_t> memberRequests;  // per base table
  int64_t storeNanoseconds = 0;                  // time in store calls; storeMutex held
  std::vector<Host::NodeStatusCall> nodeCalls;

  // Tracing.
  mutable std::mutex traceMutex;
  std::map<std::string, int32_t> levels;
  int32_t defaultLevel = 0;
  std::map<std::string, std::map<int32_t*, const void*>> counters;  // address -> file base
  std::map<const RAS1_UnitBlock*, SeenUnit> units;
  enum class Sink { Memory, Stderr, File } sink = Sink::Memory;
  // The trace file (Sink::File): a descriptor opened for appending, whether
  // it is a terminal (its lines are escaped then, as on stderr), and the
  // reason of the first line that could not be written.
  struct TraceFile {
    int fd = -1;
    bool terminal = false;
    std::string path;
    std::string failure;
    ~TraceFile() { close(); }
    void close();
  } file;
  std::vector<TraceLine> lines;
  // Lines for stderr or the trace file not yet written. While a module's
  // entry call runs they are collected here and written when this fills and
  // when the request ends (flushTrace), so that a module tracing a line per
  // row does not cost a write per line; any line traced outside a request
  // writes everything collected first, so the order is always the order the
  // lines were traced in.
  std::string pending;
  static constexpr size_t kPendingLimit = 16 * 1024;
  int32_t levelOf(const std::string& unit) const;
  void noteUnit(const RAS1_UnitBlock* unit);  // traceMutex held
  void emit(TraceLine line);
  // Files one line for the current sink; traceMutex held.
  void emitLocked(std::string_view unit, std::string_view function, std::string_view text,
                  int32_t line);
  void flushTrace();
  void flushTraceLocked();
  ~HostState() { flushTraceLocked(); }
  void hostLine(const std::string& function, const std::string& text);
  void forgetUnitsOf(const void* base);

  // Modules.
  std::vector<Module*> modules;

  // Reader threads of member statements (Host::overlapMemberSql); on by
  // default unless the build says otherwise (the VXR_READ_AHEAD option).
  std::atomic<bool> readAhead{VXR_READ_AHEAD != 0};
  ReaderPool readers;
};

HostState* currentState();
// Records a failed member SQL operation in the request this thread runs
// (Host::run); outside a run it is only traced.
void noteMemberFailure(MemberFailure failure);
// Counts a row fetched from the store for the request this thread runs.
void noteRowFetched();
// Adds time a reader thread spent in the store to the request this thread
// runs and to the host's total.
void noteStoreTime(HostState& s, std::chrono::nanoseconds spent);
std::string unitName(const RAS1_UnitBlock* unit);

}  // namespace vxrhost::detail
