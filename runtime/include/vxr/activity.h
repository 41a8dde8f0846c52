// What the object-activity tables share: the group totals of getpages and
// I/O against which each row's shares are computed, the finishing of a
// summary row (averaged rates, the getpage-per-read ratio, the shares), and
// the whole request around them: member queries, filing of each member row,
// filter rules for the group and origin node, the group derivation.
//
// A module of the family declares an ActivityModule (see the end of this
// file) and builds its program with activityProgram<kModule>(...); what it
// writes itself is its row, its work area and what only its table does.
#pragma once

#include <array>

#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"

namespace vxr {

// Getpage and I/O totals of a group, or of a group and database.
// The two sums are doubles kept as bytes (loadDouble/storeDouble), so that
// the element needs no more alignment than a block gives.
struct GetpTotals {
  char group[8];
  char database[8];
  char getpages[8];  // double
  char io[8];        // double
};

// Where an object-activity row keeps what the shared routines use.
struct ActivityLayout {
  uint16_t origin = 0;  // ORIGINNODE, 32 characters
  uint16_t idname = 0;  // IDNAME, 8 characters
  uint16_t group;       // DSGROUP, 8 characters
  uint16_t database;    // 8 characters
  uint16_t space;       // 8 characters
  uint16_t timestamp;
  MergeRule merge;  // counts and rates added, earliest time stamp, rows merged
  std::span<const uint16_t> rates;
  std::span<const uint16_t> reads;  // fields whose sum is the read count
  std::span<const uint16_t> io;     // fields whose sum is the I/O count
  uint16_t getpages;
  uint16_t ratio;         // getpages per read, in tenths
  uint16_t getpageShare;  // of the totals, in tenths of a percent
  uint16_t ioShare;
};

// How rows merge into the summary list.
enum class MergeScope {
  None,           // every row is a summary row of its own
  DatabaseSpace,  // keyed by group, database and space
  Database,       // keyed by group and database
};

// Merges a member row into the summary list of `table`: into the newest
// element of its key, or into a new element filed as the newest (rows
// merged 1). Returns the element's data, or null when no element could be
// had (traced); `created` tells which.
void* mergeActivityRow(const Trace& trace, VXR_ResultTable* table, const void* row, size_t rowSize,
                       const ActivityLayout& layout, MergeScope scope, const char* mergedText,
                       bool* created);

// Finishes a summary row just before it is handed out: rates averaged over
// the merged rows, getpages per read, and the shares of the totals (when
// there are totals for the row).
void finishActivityRow(void* row, const ActivityLayout& layout, const GetpTotals* totals);

// How rows are added into the totals.
enum class TotalsScope {
  PerRow,       // no search: every row starts a totals element of its own
  PerDatabase,  // keyed by group and database
  PerGroup,     // keyed by group
};

// Adds one row's counts into the totals of `table` (a new element when no
// key matches or the scope is PerRow). False, traced at error level, when
// no element could be had.
bool addToTotals(const Trace& trace, VXR_ResultTable* table, TotalsScope scope, const char* group,
                 const char* database, int32_t getpages, int64_t io);

// Trace texts of the four cases that choose the totals scope from the
// request's filters.
struct ScopeTexts {
  const char* space;     // a space filter: no totals
  const char* database;  // a database filter: per group and database
  const char* group;     // a group filter: per group
  const char* none;      // none of these: no totals
};
TotalsScope chooseTotalsScope(const Trace& trace, bool spaceFilter, bool databaseFilter,
                              bool groupFilter, const ScopeTexts& texts);

// Adds one member row of the given layout into the totals; false when an
// element was lost.
bool addRowToTotals(const Trace& trace, VXR_ResultTable* table, TotalsScope scope, const void* row,
                    const ActivityLayout& layout);

// The totals element for a row, or null.
const GetpTotals* findTotals(VXR_ResultTable* table, TotalsScope scope, const char* group,
                             const char* database);

// Each rate divided by the rows merged, truncated toward zero (rows > 1).
void averageRates(void* row, std::span<const uint16_t> rateOffsets, int32_t rowsMerged);

// (getpages x 10) / reads, truncated, when reads is above 0; else `kept`.
inline int32_t getpagesPerRead(int32_t getpages, int64_t reads, int32_t kept) {
  if (reads <= 0) return kept;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 10) /
                    static_cast<double>(reads));
}

// Shares in tenths of a percent of the totals; 0 against a total of 0.
inline double totalGetpages(const GetpTotals& totals) {
  return loadDouble(&totals, offsetof(GetpTotals, getpages));
}
inline double totalIo(const GetpTotals& totals) {
  return loadDouble(&totals, offsetof(GetpTotals, io));
}
inline int32_t getpageShare(int32_t getpages, const GetpTotals& totals) {
  const double total = totalGetpages(totals);
  if (!(total > 0.0)) return 0;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 1000) / total);
}
inline int32_t ioShare(int64_t io, const GetpTotals& totals) {
  const double total = totalIo(totals);
  if (!(total > 0.0)) return 0;
  return truncate32(static_cast<double>(io) * 1000.0 / total);
}

// ---------------------------------------------------------------------------
// The family's request

// Work-area fields the shared request uses (offsets). A work area of the
// family names them as activityWork<W>() reads them; the layout (and so
// where they lie) stays the module's own.
struct ActivityWork {
  uint16_t rowsEmitted;
  uint16_t summaryList;
  uint16_t emissionCursor;
  uint16_t nodeList;
  uint16_t nodeCursor;
  uint16_t summaryTable;
  uint16_t getpTable;
  uint16_t row;  // the member row being assembled
  // group, idname, origin (cleared before each filter loop), database, space
  std::array<FilterSlot, 5> slots;

  constexpr const FilterSlot& group() const { return slots[0]; }
  constexpr const FilterSlot& idname() const { return slots[1]; }
  constexpr const FilterSlot& origin() const { return slots[2]; }
  constexpr const FilterSlot& database() const { return slots[3]; }
  constexpr const FilterSlot& space() const { return slots[4]; }
};

template <typename W>
constexpr ActivityWork activityWork() {
  return {offsetof(W, rowsEmitted),
          offsetof(W, summaryList),
          offsetof(W, emissionCursor),
          offsetof(W, nodeList),
          offsetof(W, nodeCursor),
          offsetof(W, summaryTable),
          offsetof(W, getpTable),
          offsetof(W, row),
          {VXR_SLOT(W, dsgroupFlag, dsgroupHost, dsgroup),
           VXR_SLOT(W, idnameFlag, idnameHost, idname), VXR_SLOT(W, originFlag, originHost, origin),
           VXR_SLOT(W, databaseFlag, databaseHost, database),
           VXR_SLOT(W, spaceFlag, spaceHost, space)}};
}

// The totals and summary tables of work area W (its node table is
// VXR_NODE_TABLE(W)).
template <typename W>
constexpr TableSpec totalsTableOf(int32_t elementSize, int32_t perBlock) {
  return VXR_TABLE(W, getpTable, getpList, elementSize, perBlock, kTraceAlways,
                   "Unable to allocate Storage for RX4count Result\n");
}
template <typename W>
constexpr TableSpec summaryTableOf(int32_t perBlock, const char* failure) {
  return VXR_TABLE(W, summaryTable, summaryList, elementSize<decltype(W::row)>(), perBlock,
                   kTraceAlways, failure);
}

// The member query: "<select><from> AT ('<thru>') WHERE ORIGINNODE ='<origin>'"
// and the conditions of the filters that came, then ";".
struct ActivityQuery {
  const char* select = nullptr;
  std::span<const ColumnField> columns = {};  // where the SELECT list lands in the row
  const char* from = nullptr;
  const char* groupCondition = nullptr;  // each ends with the opening quote
  const char* databaseCondition = nullptr;
  const char* spaceCondition = nullptr;
  uint8_t nameChars = 8;        // characters of a database or space value at most
  bool namesNeedGroup = false;  // database and space conditions only with a group filter
};

// How member rows merge into the summary list under the filters that came:
// the first that applies of space, database, idname, none of them.
struct MergeChoice {
  MergeScope scope = MergeScope::None;
  const char* text = nullptr;  // traced at detail level
};
struct MergeChoices {
  MergeChoice space, database, idname, none;
};

// Trace anchors of the shared routines, on the module's own unit and with
// the module's function names (see VXR_ACTIVITY_ANCHORS).
struct ActivityAnchors {
  RAS1_Anchor* summarize;
  RAS1_Anchor* totals;
  RAS1_Anchor* rate;
  RAS1_Anchor* collect;
};

#define VXR_ACTIVITY_ANCHORS(variable, summarize, totals, rate, collect)                \
  VXR_ANCHOR_ON(variable##Summarize, vxrOwnUnit, vxrOwnUnitSync, #summarize);           \
  VXR_ANCHOR_ON(variable##Totals, vxrOwnUnit, vxrOwnUnitSync, #totals);                 \
  VXR_ANCHOR_ON(variable##Rate, vxrOwnUnit, vxrOwnUnitSync, #rate);                     \
  VXR_ANCHOR_ON(variable##Collect, vxrOwnUnit, vxrOwnUnitSync, #collect);               \
  constexpr ::vxr::ActivityAnchors variable = {&variable##Summarize, &variable##Totals, \
                                               &variable##Rate, &variable##Collect}

// The filter rules of the family: DSGROUP* (the group), IDNAME* (the group
// and the idname), the module's database and space rules (their slots
// filled here), ORIGINNODE (exact).
constexpr std::array<FilterRule, 5> activityRules(const ActivityWork& work, FilterRule database,
                                                  FilterRule space) {
  database.slots[0] = work.database();
  space.slots[0] = work.space();
  return {FilterRule{.column = "DSGROUP",
                     .match = prefix(7),
                     .slots = {work.group()},
                     .matchTrace = "DSGROUP match Index Filter %d %s %s \n"},
          FilterRule{.column = "IDNAME",
                     .match = prefix(6),
                     .slots = {work.group(), work.idname()},
                     .matchTrace = "IDNAME match Index Filter %d %s %s \n"},
          database, space,
          FilterRule{.column = "ORIGINNODE",
                     .match = exact(),
                     .slots = {work.origin()},
                     .matchTrace = "ORIGINNODE match Index Filter %d %s %s \n"}};
}

// Everything the shared request needs of a module of the family.
struct ActivityModule {
  ActivityWork work;
  ActivityLayout layout;
  size_t rowSize;
  ActivityQuery query;
  std::array<FilterRule, 5> rules;
  ActivityAnchors anchors;
  MergeChoices merge;
  const char* mergedText;           // traced when a row merges into its element
  ScopeTexts totalsTexts;           // when a row's counts go into the totals
  ScopeTexts rateTexts;             // when a row is finished
  uint16_t memberCount = kNoField;  // set to 1 in a new summary element
  // Files what else the module keeps of a member row; false when it could
  // not be kept.
  bool (*alsoFile)(void* workArea, const void* row) = nullptr;
};

// The shared routines, on the module's anchors.
int32_t collectActivity(const ActivityModule& module, void* workArea);
void finishActivity(const ActivityModule& module, void* workArea, void* row);
void deriveActivityGroup(const ActivityModule& module, void* workArea);

template <const ActivityModule& M>
int32_t activityCollect(void* workArea, const Trace&) {
  return collectActivity(M, workArea);
}
template <const ActivityModule& M>
void activityFinish(void* workArea, const Trace&, void* row) {
  finishActivity(M, workArea, row);
}
template <const ActivityModule& M>
void activityDerive(void* workArea, const Trace&) {
  deriveActivityGroup(M, workArea);
}

// A module's program with the family's parts filled in: the work-area
// fields, the cleared slots, the filter rules, the group derivation, the
// collection and the finishing of each row.
template <const ActivityModule& M>
constexpr ModuleProgram activityProgram(ModuleProgram program) {
  program.rowsEmitted = M.work.rowsEmitted;
  program.summaryList = M.work.summaryList;
  program.emissionCursor = M.work.emissionCursor;
  program.nodeList = M.work.nodeList;
  program.clearedSlots = std::span<const FilterSlot>(M.work.slots).first(3);
  program.filters.rules = M.rules;
  program.derive = activityDerive<M>;
  program.collect = activityCollect<M>;
  program.beforeEmit = activityFinish<M>;
  return program;
}
}  // namespace vxr

#if VXR_ILP32
static_assert(sizeof(vxr::Element<vxr::GetpTotals>) == 40);
#endif
