// What the group modules share beyond the table declaration: the group and
// origin-node filter slots of the modules that keep their own work area, the
// quiet request traces, the filing of a row into a summary table (merged into
// the newest element of its key, or listed), the database-member counts and
// a traced collection over the node list.
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

// ---------------------------------------------------------------------------
// Program pieces

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
// Collection

// The detail lines of the modules that trace their fetch loop.
inline constexpr QueryTexts kFetchLoopTexts = {.requestOpened = "Entering SQL while...\n",
                                               .afterFetch = "While complete.\n"};

// Builds the member query of one node.
using MemberSql = void (*)(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                           SqlText& sql);

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

}  // namespace vxr
