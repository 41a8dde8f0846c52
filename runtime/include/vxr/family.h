// What the group modules share beyond the request loop: the group and
// origin-node filter slots, the traces most of them write around a request,
// and the member family: one query per online member, every fetched row
// assembled into the work area's row, named by its group (or the ORIGINNODE
// filter) and filed into the summary table. A merging module files each row
// into the newest element of its key; a listing module files every row as an
// element of its own.
//
// A module of the family declares a MemberFamily (its columns, its member
// SQL, its key and merge rule, and the names its traced functions carry) and
// builds its program with familyProgram<Work, kFamily>(...). The work area
// stays the module's own; the family reads these members of it by name:
//   summaryList (the list of the summary table), emissionCursor, nodeList,
//   nodeCursor, nodeTable, rowsEmitted, row, originFlag, origin (and
//   row.ORIGINNODE, row.IDNAME).
#pragma once

#include <span>

#include "vxr/chars.h"
#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"

// An anchor on the module's own unit for a shared routine that traces under
// one of the module's function names, e.g.
//   VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPoolData");
#define VXR_NAMED_ANCHOR(variable, functionName) \
  VXR_ANCHOR_ON(variable, vxrOwnUnit, vxrOwnUnitSync, functionName)

namespace vxr {

// ---------------------------------------------------------------------------
// Filter slots of the group and the origin node

// The IDNAME and ORIGINNODE filter fields of a work area, flags first, the
// terminator members of type EndType.
#define VXR_IDNAME_ORIGIN_FIELDS(EndType) \
  int32_t idnameFlag;                     \
  int32_t originFlag;                     \
  VXR_SLOT_FIELDS(idname, 8, EndType);    \
  VXR_SLOT_FIELDS(origin, 32, EndType)

// The DSGROUP, IDNAME and ORIGINNODE slot fields that end the work areas of
// the volume and object tables (their flags are declared with the others).
#define VXR_GROUP_SLOT_FIELDS        \
  VXR_SLOT_FIELDS(dsgroup, 8, char); \
  VXR_SLOT_FIELDS(idname, 8, char);  \
  VXR_SLOT_FIELDS(origin, 32, char)

// The IDNAME and ORIGINNODE slots of work area W (members idnameFlag,
// idnameHost, idname and originFlag, originHost, origin), the rules that
// fill them (whole column names), and the group derivation: without an
// IDNAME filter the IDNAME is the group the ORIGINNODE filter names.
template <typename W>
struct IdnameSlots {
  static constexpr FilterSlot idname = VXR_SLOT(W, idnameFlag, idnameHost, idname);
  static constexpr FilterSlot origin = VXR_SLOT(W, originFlag, originHost, origin);
  static constexpr FilterSlot cleared[] = {idname, origin};
  static constexpr FilterRule idnameRule = {.column = "IDNAME", .slots = {idname}};
  static constexpr FilterRule originRule = {.column = "ORIGINNODE", .slots = {origin}};
  static constexpr FilterRule rules[] = {idnameRule, originRule};
  static void derive(void* workArea, const Trace&) { deriveGroupFilter(workArea, origin, idname); }
};

// As IdnameSlots, with the DSGROUP slot (dsgroupFlag, dsgroupHost, dsgroup)
// first among the cleared ones, and the prefix rules of the volume tables:
// DSGROUP (7 characters) and IDNAME (6 characters).
template <typename W>
struct GroupSlots : IdnameSlots<W> {
  using IdnameSlots<W>::idname;
  using IdnameSlots<W>::origin;
  static constexpr FilterSlot dsgroup = VXR_SLOT(W, dsgroupFlag, dsgroupHost, dsgroup);
  static constexpr FilterSlot cleared[] = {dsgroup, idname, origin};
  static constexpr FilterRule dsgroupRule = {
      .column = "DSGROUP", .match = prefix(7), .slots = {dsgroup}};
  // IDNAME fills the IDNAME slot alone, or the DSGROUP slot as well.
  static constexpr FilterRule idnamePrefixRule = {
      .column = "IDNAME", .match = prefix(6), .slots = {idname}};
  static constexpr FilterRule idnameGroupRule = {
      .column = "IDNAME", .match = prefix(6), .slots = {dsgroup, idname}};
};

// The group a member query is narrowed to: the DSGROUP filter's, else the
// IDNAME filter's, else none (null).
template <typename W>
const char* queryGroup(const W& w) {
  return w.dsgroupFlag ? w.dsgroup : w.idnameFlag ? w.idname : nullptr;
}

// ---------------------------------------------------------------------------
// Program pieces

// The filter loop of the modules that trace every filter at SQL level (the
// line ends in a blank).
constexpr FilterLoop sqlTracedFilters(std::span<const FilterRule> rules) {
  return {.rules = rules, .filterTrace = "Index Filter %d %s %s \n", .filterTraceLevel = kTraceSql};
}

// `program` with the quiet request traces: the table name at SQL level, the
// emitted element at row level as "filt Anchor ...", no end-of-data and no
// exit-status lines.
constexpr ModuleProgram quietTraces(ModuleProgram program) {
  program.invoked = {kTraceSql, "Invoked for table %s\n"};
  program.emitted = {kTraceRow, "filt Anchor at %8X. filtlm link at %8x.\n"};
  program.endOfData = {};
  program.exitStatus = {};
  return program;
}

// `program` with the step-by-step request traces (each step at detail
// level, the table name at SQL level); the module gives its start banner
// and its emitted line.
constexpr ModuleProgram stepTraces(ModuleProgram program) {
  program.invoked = {kTraceSql, "Invoked for table %s\n"};
  program.gettingStorage = {kTraceDetail, "Get view storage\n"};
  program.storageFailed = {kTraceError, "Unable to get view storage\n"};
  program.processBanner = {kTraceDetail, "Initialize Process Routine\n"};
  program.firstCall = {kTraceDetail, "First call (rowCnt=0)\n"};
  program.nextRow = {kTraceDetail, "Get NextInChain\n"};
  program.endOfData = {kTraceDetail, "EOD in Process Rtn\n"};
  program.exitStatus = {};
  program.teardown = {kTraceDetail, "Teardown\n"};
  return program;
}

// ---------------------------------------------------------------------------
// Filing

// Detail lines of a filing: `merging` when the row merges into the element
// of its key, `filing` before a new element is filed, `filed` after a new
// element was filed.
struct FilingTexts {
  const char* merging = nullptr;
  const char* filing = nullptr;
  const char* filed = nullptr;
};

// The lines of the modules that trace their filing step by step.
inline constexpr FilingTexts kGroupRecordTexts = {.merging = "Add up total columns\n",
                                                  .filing = "Get new group record\n"};

// Files `row` into `table`. With a key, into the newest element whose data
// agrees over it (merged by `rule`, when given), else into a new element
// entered under the key; with an empty key, into a new element. A new
// element takes the row whole, the rule's maximaFrom seeds and a count of 1
// in the rule's rowsMerged field. Null when no element could be had
// ("Unable to obtain group result record " traced at error level);
// `created` (when given) tells whether the element is new.
void* fileRow(const Trace& trace, VXR_ResultTable* table, const void* row, size_t size,
              MergeKey key, const MergeRule* rule, const FilingTexts& texts = {},
              bool* created = nullptr);

// fileRow as a traced function of its own, under the module's name
// (`anchor`): entry, the filing, exit. False when the row was lost.
bool fileRowTraced(RAS1_Anchor* anchor, VXR_ResultTable* table, const void* row, size_t size,
                   MergeKey key, const MergeRule* rule, const FilingTexts& texts = {});

// Which member reported which database of a group: one element per group,
// database and member, counted per group and database.
struct DatabaseMember {
  char group[8];
  char database[8];
  char member[4];
};
inline constexpr ByteRange kDatabaseMemberKey[] = {{offsetof(DatabaseMember, group), 8},
                                                   {offsetof(DatabaseMember, database), 8},
                                                   {offsetof(DatabaseMember, member), 4}};
inline constexpr MergeKey kMembersOfDatabase(kDatabaseMemberKey, 2);

// Notes that `member` (4 characters) reported `database` of `group` (8
// each), once; false when no element could be had (traced as fileRow does).
bool noteDatabaseMember(const Trace& trace, VXR_ResultTable* table, const char* group,
                        const char* database, const char* member);
// The same as a traced function of its own, under the module's name.
bool noteDatabaseMemberTraced(RAS1_Anchor* anchor, VXR_ResultTable* table, const char* group,
                              const char* database, const char* member);

// ---------------------------------------------------------------------------
// The member family

// The detail lines of the modules that trace their fetch loop.
inline constexpr QueryTexts kFetchLoopTexts = {.requestOpened = "Entering SQL while...\n",
                                               .afterFetch = "While complete.\n"};

using MemberSql = void (*)(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                           SqlText& sql);

struct MemberFamily {
  RAS1_Anchor* file;     // the module's filing function
  RAS1_Anchor* collect;  // the module's collection function
  std::span<const ColumnField> columns = {};
  const VersionedLayouts* layouts = nullptr;  // or columns by the member's agent version
  int32_t mismatchLevel = kTraceAlways;       // of the column-count mismatch line
  std::span<const uint16_t> zeroFilled = {};  // character fields kept as delivered
  MemberSql buildSql = nullptr;
  const QueryTexts* queryTexts = nullptr;
  // Merging: the key and rule (an empty key lists every row by itself).
  MergeKey key = {};
  const MergeRule* merge = nullptr;
  FilingTexts texts = {};
  // The key of the row about to be filed, chosen by the request's filters
  // (traced under the filing function); null: always `key`.
  MergeKey (*keyFor)(const void* workArea, const Trace& trace) = nullptr;
  // What the module does to a named row before it is filed (traced under
  // the collection); false drops the row, and the collection goes on.
  bool (*prepare)(void* workArea, const Trace& trace) = nullptr;
  // What else the module keeps of a filed row; false when it could not be
  // kept. Run whether or not the filing kept the row.
  bool (*alsoFile)(void* workArea) = nullptr;
  // The summary table; with it a program that names no tables has this one
  // and the node table, created and destroyed in that order.
  const TableSpec* summary = nullptr;
  // The filters are IDNAME and ORIGINNODE (IdnameSlots of the work area),
  // traced at SQL level: a program that names no cleared slots, rules or
  // derivation has theirs.
  bool idnameFilters = false;
};

// Files the row of work area W under F (see MemberFamily): false when it
// could not be kept.
template <typename W, const MemberFamily& F>
bool familyFile(W& w) {
  const Trace trace = traceEnter(F.file);
  MergeKey key = F.key;
  if constexpr (F.keyFor != nullptr) key = F.keyFor(&w, trace);
  const bool kept = fileRow(trace, tableOf(w.summaryList), &w.row, sizeof w.row, key, F.merge,
                            F.texts) != nullptr;
  traceExitVoid(trace, __LINE__);
  return kept;
}

// One fetched member row: assembled (by the layout of the member's agent
// version when there are layouts), named, prepared and filed.
template <typename W, const MemberFamily& F>
bool familyRow(void* workArea, const Trace& trace, const void* sqlda) {
  W& w = *static_cast<W*>(workArea);
  std::span<const ColumnField> columns = F.columns;
  if constexpr (F.layouts != nullptr) columns = F.layouts->of(nodeOf(w.nodeCursor)).columns;
  if (!assembleRow(trace, sqlda, columns, &w.row, F.mismatchLevel, F.zeroFilled)) return false;
  setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  if constexpr (F.prepare != nullptr) {
    if (!F.prepare(workArea, trace)) return true;
  }
  bool kept = familyFile<W, F>(w);
  if constexpr (F.alsoFile != nullptr) kept = F.alsoFile(workArea) && kept;
  return kept;
}

// A collection under the module's name (`anchor`) over the node list and
// cursor of work area W: every member queried with buildSql, each fetched
// row handed to onRow with the work area. 1 when every query succeeded and
// every row was taken, else 0.
template <typename W>
int32_t collectTraced(RAS1_Anchor* anchor, W& w, MemberSql buildSql, RowHandler onRow,
                      const QueryTexts* texts = nullptr) {
  const Trace trace = traceEnter(anchor);
  const MemberCollection collection{.nodes = w.nodeList,
                                    .nodeCursor = &w.nodeCursor,
                                    .context = &w,
                                    .buildSql = buildSql,
                                    .onRow = onRow,
                                    .texts = texts};
  return traceExit(trace, __LINE__, collectMembers(trace, collection));
}

// The collection of the family: every row filed by familyRow.
template <typename W, const MemberFamily& F>
int32_t familyCollect(void* workArea, const Trace&) {
  return collectTraced(F.collect, *static_cast<W*>(workArea), F.buildSql, familyRow<W, F>,
                       F.queryTexts);
}

// The summary and node tables of a family module.
template <typename W, const MemberFamily& F>
struct FamilyTables {
  static constexpr TableSpec tables[] = {*F.summary, VXR_NODE_TABLE(W)};
  static constexpr uint8_t destroyOrder[] = {0, 1};
};

// A module's program with the family's parts filled in: the work-area
// fields and the collection, and what the program leaves out of the tables
// and the filters (see MemberFamily::summary and idnameFilters).
template <typename W, const MemberFamily& F>
constexpr ModuleProgram familyProgram(ModuleProgram program) {
  program = withWorkFields<W>(program);
  program.collect = familyCollect<W, F>;
  if constexpr (F.summary != nullptr) {
    if (program.tables.empty()) {
      program.tables = FamilyTables<W, F>::tables;
      program.nodeTable = 1;
      program.destroyOrder = FamilyTables<W, F>::destroyOrder;
    }
  }
  if constexpr (F.idnameFilters) {
    using Slots = IdnameSlots<W>;
    if (program.clearedSlots.empty()) program.clearedSlots = Slots::cleared;
    if (program.filters.rules.empty()) program.filters = sqlTracedFilters(Slots::rules);
    if (program.derive == nullptr) program.derive = Slots::derive;
  }
  return program;
}

}  // namespace vxr
