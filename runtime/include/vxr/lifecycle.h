// The request lifecycle every module follows: start (work area obtained and
// anchored), process (collect everything on the first call, then hand out
// one summary row per call, newest first, until end of data) and terminate
// (result tables destroyed). A module describes what is particular to its
// table in a ModuleProgram; the request loop itself exists once, here.
#pragma once

#include <span>
#include <type_traits>

#include "vxr/filters.h"
#include "vxr/host_services.h"
#include "vxr/nodes.h"
#include "vxr/trace.h"

namespace vxr {

// Entry statuses.
constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusNoTable = 50;
constexpr int32_t kStatusNoParameterList = 60;
constexpr int32_t kStatusEndOfData = 62;
constexpr int32_t kStatusNoStorage = 64;
constexpr int32_t kStatusNoWorkArea = 71;

// One result table of the work area.
struct TableSpec {
  uint16_t anchor = kNoField;  // offset of the anchor variable (VXR_ResultTable*)
  uint16_t list = kNoField;    // offset of the list-header address, or kNoField
  int32_t elementSize = 0;
  int32_t perBlock = 10;
  TraceText failure = {};  // traced when the table cannot be created
};

// A table of work area W: its anchor variable and list-header member (the
// member types are checked).
template <typename Anchor, typename List>
constexpr TableSpec checkedTable(size_t anchor, size_t list, int32_t elementSize, int32_t perBlock,
                                 TraceText failure) {
  static_assert(std::is_same_v<Anchor, VXR_ResultTable*>, "a table's anchor variable");
  static_assert(std::is_same_v<List, VXR_ListHeader*>, "a table's list-header address");
  return {static_cast<uint16_t>(anchor), static_cast<uint16_t>(list), elementSize, perBlock,
          failure};
}
#define VXR_TABLE(W, anchor, list, elementSize, perBlock, ...)       \
  ::vxr::checkedTable<decltype(W::anchor), decltype(W::list)>(       \
      offsetof(W, anchor), offsetof(W, list), elementSize, perBlock, \
      ::vxr::TraceText{__VA_ARGS__})

// The fields a work area starts with: its eye-catcher, the summary list the
// rows are handed out from and the emission cursor on it.
#define VXR_WORK_HEADER        \
  char eyeCatcher[8];          \
  VXR_ListHeader* summaryList; \
  VXR_ListLinks* emissionCursor

// The node table of work area W (members nodeTable, nodeList).
#define VXR_NODE_TABLE(W)                                                                        \
  VXR_TABLE(W, nodeTable, nodeList, ::vxr::elementSize<VXR_NodeRecord>(), ::vxr::kNodesPerBlock, \
            ::vxr::kTraceAlways, "Unable to allocate Storage for AtNode result\n")

// What the request loop needs of a module. Every member has a default, so a
// module lists only what its table has.
struct ModuleProgram {
  const char* eyeCatcher = nullptr;  // 8 characters: table code and "WORK"
  int32_t workAreaSize = 0;          // the size asked of GetStorage

  // Work-area fields the lifecycle reads and writes (offsets).
  uint16_t rowsEmitted = kNoField;
  uint16_t summaryList = kNoField;
  uint16_t emissionCursor = kNoField;
  uint16_t nodeList = kNoField;

  // Start request.
  TraceText startBanner = {};
  TraceText invoked = {kTraceDetail, "Invoked for table %s\n"};  // with the table name
  TraceText gettingStorage = {};
  TraceText storageFailed = {};

  // Process request.
  TraceText processBanner = {};  // every call
  TraceText firstCall = {};
  TraceText nextRow = {};  // every call, before the next element is taken
  TraceText emitted = {};  // with the list header and the element
  TraceText endOfData = {kTraceDetail, "EOD with %i rows emitted\n"};  // with the rows emitted
  TraceText exitStatus = {kTraceDetail, "Exit process routine with status %i\n"};

  // First process call of a request.
  void (*reset)(void* workArea) = nullptr;        // clears the module's own state, first of all
  std::span<const FilterSlot> clearedSlots = {};  // cleared before the filter loop
  FilterLoop filters = {};
  void (*derive)(void* workArea, const Trace& trace) = nullptr;  // after the filter loop
  std::span<const TableSpec> tables = {};                        // in order of creation
  // The tables the first call creates, in order (empty: every one); the
  // others are created by the steps that use them.
  std::span<const uint8_t> createOrder = {};
  int32_t nodeTable = 0;  // index of the node table in `tables`
  int32_t (*collect)(void* workArea, const Trace& trace) = nullptr;
  TraceText collectFailed = {};
  void (*afterCollect)(void* workArea, const Trace& trace) = nullptr;
  // A further collection after afterCollect: 0 to go on to the emission,
  // else the status of the call.
  int32_t (*furtherCollection)(void* workArea, const Trace& trace) = nullptr;

  // Emission: finishes a row just before it is handed out, or null.
  void (*beforeEmit)(void* workArea, const Trace& trace, void* row) = nullptr;

  // Terminate request.
  TraceText teardown = {};
  std::span<const uint8_t> destroyOrder = {};  // indices into `tables`
};

// The work area a request entry is handed, as its module's type.
template <typename W>
W& workOf(void* workArea) {
  return *static_cast<W*>(workArea);
}

// The size asked for a work area W: its fields, or `least` when larger.
template <typename W>
constexpr int32_t workAreaSize(int32_t least = 0) {
  return least > int32_t{sizeof(W)} ? least : int32_t{sizeof(W)};
}

// `program` with the work-area fields the lifecycle uses taken from W
// (rowsEmitted, summaryList, emissionCursor, nodeList).
template <typename W>
constexpr ModuleProgram withWorkFields(ModuleProgram program) {
  program.rowsEmitted = offsetof(W, rowsEmitted);
  program.summaryList = offsetof(W, summaryList);
  program.emissionCursor = offsetof(W, emissionCursor);
  program.nodeList = offsetof(W, nodeList);
  return program;
}

int32_t startRequest(const ModuleProgram& program, RAS1_Anchor* anchor, HDL1_CommonHandle request);
int32_t processRequest(const ModuleProgram& program, RAS1_Anchor* anchor,
                       HDL1_CommonHandle request);
int32_t terminateRequest(const ModuleProgram& program, RAS1_Anchor* anchor,
                         HDL1_CommonHandle request);

// Pieces of the first call, also used by the steps of a further collection.
// `text` is taken by value: va_start must not name a reference parameter.
void traceText(const Trace& trace, TraceText text, ...);
// Creates table `index`; 0, or 50 after tracing its failure line.
int32_t createTableOf(const ModuleProgram& program, void* workArea, int32_t index,
                      const Trace& trace);
void destroyTableOf(const ModuleProgram& program, void* workArea, int32_t index);
// Fills the node table's list with the online member agents; 0, or 62.
int32_t listMembers(const ModuleProgram& program, void* workArea, const Trace& trace);

// A module serving several tables: the program of each table, chosen by
// the table name of the request's parameter list.
struct TableChoice {
  const char* name;  // compared over its own length with the start of the table name
  const ModuleProgram* program;
};
// The program of the first choice whose name starts the request's table
// name, else `otherwise` (also when the request has no parameter list: the
// lifecycle then ends the call as it does for every module).
const ModuleProgram& programForRequest(HDL1_CommonHandle request,
                                       std::span<const TableChoice> choices,
                                       const ModuleProgram& otherwise);

template <typename T>
T& field(void* workArea, uint16_t offset) {
  return *reinterpret_cast<T*>(static_cast<char*>(workArea) + offset);
}

}  // namespace vxr

// Defines a module's three request entries on its program.
#define VXR_REQUEST_ENTRIES(PROGRAM, START, PROCESS, TERMINATE)         \
  extern "C" int32_t START(HDL1_CommonHandle request) {                 \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #START);     \
    return ::vxr::startRequest(PROGRAM, &entryAnchor, request);         \
  }                                                                     \
  extern "C" int32_t PROCESS(HDL1_CommonHandle request) {               \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #PROCESS);   \
    return ::vxr::processRequest(PROGRAM, &entryAnchor, request);       \
  }                                                                     \
  extern "C" int32_t TERMINATE(HDL1_CommonHandle request) {             \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #TERMINATE); \
    return ::vxr::terminateRequest(PROGRAM, &entryAnchor, request);     \
  }                                                                     \
  static_assert(true, "")

// The three request entries of a module that serves several tables: each
// call runs the program that programForRequest chooses.
#define VXR_REQUEST_ENTRIES_BY_TABLE(CHOICES, OTHERWISE, START, PROCESS, TERMINATE)       \
  extern "C" int32_t START(HDL1_CommonHandle request) {                                   \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #START);                       \
    return ::vxr::startRequest(::vxr::programForRequest(request, CHOICES, OTHERWISE),     \
                               &entryAnchor, request);                                    \
  }                                                                                       \
  extern "C" int32_t PROCESS(HDL1_CommonHandle request) {                                 \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #PROCESS);                     \
    return ::vxr::processRequest(::vxr::programForRequest(request, CHOICES, OTHERWISE),   \
                                 &entryAnchor, request);                                  \
  }                                                                                       \
  extern "C" int32_t TERMINATE(HDL1_CommonHandle request) {                               \
    VXR_ANCHOR_ON(entryAnchor, vxrOwnUnit, vxrOwnUnitSync, #TERMINATE);                   \
    return ::vxr::terminateRequest(::vxr::programForRequest(request, CHOICES, OTHERWISE), \
                                   &entryAnchor, request);                                \
  }                                                                                       \
  static_assert(true, "")
