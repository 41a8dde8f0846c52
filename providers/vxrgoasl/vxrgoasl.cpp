// VXRGOASL: object space summaries, two tables from one collection.
//
// Every online member agent is asked for its VXR.LOBJECTS rows (one SELECT
// per member, routed AT its thru node: one row per database and space with
// the space's volumes, data sets and extents). The table the request names
// decides what is kept of them:
//
//   GOBJECTA   the database summary: one row per group and database with the
//              number of distinct spaces (SPNCount, of which IXCount are index
//              spaces, type INDX or PTIX, and TSCount the others), of distinct
//              members (NUMRX4), the volumes, data sets and extents added over
//              every member row (a space shared by several members counts
//              once in SPNCount but each member's row adds to the sums), the
//              extents per data set in tenths (JAPEXTR) and the largest
//              extent count.
//   any other  the space summary: one row per group, database and space, the
//              first member's figures, NUMRX4 the number of member rows
//              merged, the earliest TIMESTAMP and the largest JAPMEXT.
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; also fills the IDNAME value
//   IDNAME*     the group, when no DSGROUP filter came
//   JAPDB*      the database, added to the member query under a group filter
//   JAPSPN*     the space, likewise; the space summary then merges nothing
//   ORIGINNODE  the group's managed-system name; the group is derived from
//               it when no DSGROUP filter came, and it names every row
//
// Merge rule: rows merge newest key first by group, database and space
// (space summary) or by group and database (database summary). The counts
// are distinct counts over the space names and members seen, filled in
// after the collection; JAPEXTR is computed in 64 bits and saturated.
#include "vxrgoasl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct SpaceName {
  char DSGROUP[8];
  char JAPDB[8];
  char JAPSPN[8];
  char JAPTYPE[4];
};

struct GoasWork {
  char eyeCatcher[8];
  VXR_ListHeader* spaceList;
  VXR_ListLinks* spaceCursor;
  VXR_ListHeader* databaseList;
  VXR_ListLinks* databaseCursor;
  VXR_ListHeader* spaceNameList;
  VXR_ListLinks* spaceNameUnused;
  VXR_ListHeader* memberList;
  VXR_ListLinks* memberUnused;
  VXR_NODE_FIELDS;
  VXR_ResultTable* spaceTable;
  VXR_ResultTable* databaseTable;
  VXR_ResultTable* spaceNameTable;
  VXR_ResultTable* memberTable;
  GoasRow row;
  int32_t rowsEmitted;
  int32_t japdbFlag;
  int32_t japspnFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  int32_t databaseMode;
  VXR_SLOT_FIELDS(japdb, 8, char);
  VXR_SLOT_FIELDS(japspn, 8, char);
  VXR_GROUP_SLOT_FIELDS;
};

constexpr int32_t kWorkAreaSize = 332;
constexpr int32_t kSpaceElementSize = vxr::elementSize<GoasRow>();
constexpr int32_t kDatabaseElementSize = vxr::elementSize<GoadRow>();
constexpr int32_t kSpaceNameElementSize = vxr::elementSize<SpaceName>();
constexpr int32_t kMemberElementSize = vxr::elementSize<vxr::DatabaseMember>();
#if VXR_ILP32
static_assert(sizeof(GoasWork) <= kWorkAreaSize);
static_assert(offsetof(GoasWork, nodeTable) == 48);
static_assert(offsetof(GoasWork, row) == 68);
static_assert(offsetof(GoasWork, rowsEmitted) == 188);
static_assert(offsetof(GoasWork, databaseMode) == 212);
static_assert(kSpaceElementSize == 128);
static_assert(kDatabaseElementSize == 124);
static_assert(kSpaceNameElementSize == 36);
static_assert(kMemberElementSize == 28);
#endif

constexpr auto work = vxr::workOf<GoasWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JAPDB,JAPSPN,JAPTYPE,JAPBP,JAPVOLS,"
    "JAPDSNS,JAPEXTS,JAPEXTR,JAPMEXT";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGoasRowAttributes, 15);

// The database and space conditions come only with a group condition.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  GoasWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LOBJECTS", " AT ('", node, " WHERE ORIGINNODE ='");
  if (w.dsgroupFlag) {
    vxr::sqlCondition(sql, " AND LOBJECTS.DSGROUP = '", w.dsgroup, 8);
    if (w.japdbFlag) vxr::sqlCondition(sql, " AND LOBJECTS.JAPDB = '", w.japdb, 8);
    if (w.japspnFlag) vxr::sqlCondition(sql, " AND LOBJECTS.JAPSPN = '", w.japspn, 8);
  } else if (w.idnameFlag) {
    vxr::sqlCondition(sql, " AND LOBJECTS.DSGROUP = '", w.idname, 8);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Space summary

constexpr vxr::ByteRange kSpaceKey[] = {VXR_KEY(GoasRow, DSGROUP), VXR_KEY(GoasRow, JAPDB),
                                        VXR_KEY(GoasRow, JAPSPN)};
constexpr uint16_t kSpaceMaxima[] = {offsetof(GoasRow, JAPMEXT)};
constexpr vxr::MergeRule kSpaceMerge = {.maxima = kSpaceMaxima,
                                        .timestamp = offsetof(GoasRow, TIMESTAMP),
                                        .rowsMerged = offsetof(GoasRow, NUMRX4)};

extern "C" bool summarizeGOAS(GoasWork* w, const GoasRow* row) {
  VXR_FUNCTION("summarizeGOAS");
  vxr::MergeKey key = kSpaceKey;
  if (w->japspnFlag) {
    VXR_TRACE(trace, kTraceDetail, "Filtering - pOAS set to null\n");
    key = {};
  }
  const bool kept =
      vxr::fileRow(trace, w->spaceTable, row, sizeof *row, key, &kSpaceMerge) != nullptr;
  vxr::traceExitVoid(trace, __LINE__);
  return kept;
}

// ---------------------------------------------------------------------------
// Database summary

constexpr vxr::ByteRange kDatabaseKey[] = {VXR_KEY(GoadRow, DSGROUP), VXR_KEY(GoadRow, JAPDB)};
constexpr uint16_t kDatabaseSums[] = {offsetof(GoadRow, JAPVOLS), offsetof(GoadRow, JAPDSNS),
                                      offsetof(GoadRow, JAPEXTS)};
constexpr uint16_t kDatabaseMaxima[] = {offsetof(GoadRow, JAPMEXT)};
constexpr vxr::MergeRule kDatabaseMerge = {
    .sums = kDatabaseSums, .maxima = kDatabaseMaxima, .timestamp = offsetof(GoadRow, TIMESTAMP)};

extern "C" bool summarizeGOAD(GoasWork* w, const GoasRow* row) {
  VXR_FUNCTION("summarizeGOAD");
  GoadRow first;
  std::memset(&first, 0, sizeof first);
  std::memcpy(first.ORIGINNODE, row->ORIGINNODE, offsetof(GoasRow, NUMRX4));  // through DSGROUP
  std::memcpy(first.JAPDB, row->JAPDB, sizeof first.JAPDB);
  first.JAPVOLS = row->JAPVOLS;
  first.JAPDSNS = row->JAPDSNS;
  first.JAPEXTS = row->JAPEXTS;
  first.JAPMEXT = row->JAPMEXT;
  const bool kept = vxr::fileRow(trace, w->databaseTable, &first, sizeof first, kDatabaseKey,
                                 &kDatabaseMerge) != nullptr;
  vxr::traceExitVoid(trace, __LINE__);
  return kept;
}

constexpr vxr::ByteRange kSpaceNameKey[] = {VXR_KEY(SpaceName, DSGROUP), VXR_KEY(SpaceName, JAPDB),
                                            VXR_KEY(SpaceName, JAPSPN)};

// Notes the row's space and member, each once per group and database.
extern "C" bool sumSpaceName(GoasWork* w, const GoasRow* row) {
  VXR_FUNCTION("sumSpaceName");
  SpaceName space;
  std::memcpy(space.DSGROUP, row->DSGROUP, 8);
  std::memcpy(space.JAPDB, row->JAPDB, 8);
  std::memcpy(space.JAPSPN, row->JAPSPN, 8);
  std::memcpy(space.JAPTYPE, row->JAPTYPE, 4);
  const bool filed =
      vxr::fileRow(trace, w->spaceNameTable, &space, sizeof space, kSpaceNameKey, nullptr) &&
      vxr::noteDatabaseMember(trace, w->memberTable, row->DSGROUP, row->JAPDB, row->RX4ID);
  vxr::traceExitVoid(trace, __LINE__);
  return filed;
}

// Where the database row holds the group and database of the counted
// elements.
constexpr uint16_t kRowGroupDatabase[] = {offsetof(GoadRow, DSGROUP), offsetof(GoadRow, JAPDB)};
constexpr vxr::MergeKey kSpacesOfDatabase(kSpaceNameKey, 2);
constexpr const char* kIndexKinds[] = {"INDX", "PTIX"};

extern "C" void updateSPNCount(GoasWork* w) {
  VXR_FUNCTION("updateSPNCount");
  const vxr::ByteRange kind = VXR_KEY(SpaceName, JAPTYPE);
  const vxr::KeyedCount counts[] = {
      {w->spaceNameTable, kSpacesOfDatabase, kRowGroupDatabase, offsetof(GoadRow, SPNCount)},
      {w->spaceNameTable, kSpacesOfDatabase, kRowGroupDatabase, offsetof(GoadRow, TSCount), kind,
       kIndexKinds, true},
      {w->spaceNameTable, kSpacesOfDatabase, kRowGroupDatabase, offsetof(GoadRow, IXCount), kind,
       kIndexKinds},
      {w->memberTable, vxr::kMembersOfDatabase, kRowGroupDatabase, offsetof(GoadRow, NUMRX4)},
  };
  vxr::fillCounts(w->databaseList, counts);
  for (VXR_ListLinks* element : vxr::walk(w->databaseList)) {
    auto* row = static_cast<GoadRow*>(vxr::elementData(element));
    const auto db = vxr::terminated(row->JAPDB);
    VXR_TRACE(trace, kTraceDetail, "SPNCount for DB %s is %d\n", db.text, row->SPNCount);
    VXR_TRACE(trace, kTraceDetail, "NUMRX4  for DB %s is %d\n", db.text, row->NUMRX4);
    row->JAPEXTR =
        row->JAPDSNS == 0 ? 0 : vxr::saturate32(int64_t{row->JAPEXTS} * 10 / int64_t{row->JAPDSNS});
  }
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Collection

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GoasWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  // A row that cannot be kept whole makes the collection false.
  if (!w.databaseMode) return summarizeGOAS(&w, &w.row);
  return summarizeGOAD(&w, &w.row) && sumSpaceName(&w, &w.row);
}

// ---------------------------------------------------------------------------
// Request programs: the space summary, and the database summary GOBJECTA

VXR_NAMED_ANCHOR(kCollect, "collectOBJECTS");

int32_t collect(void* workArea, const Trace&) {
  return vxr::collectTraced(&kCollect, work(workArea), buildMemberSql, fileMemberRow);
}
void afterCollect(void* workArea, const Trace&) {
  updateSPNCount(&work(workArea));
}

constexpr vxr::FilterSlot kJapdb = VXR_SLOT(GoasWork, japdbFlag, japdbHost, japdb);
constexpr vxr::FilterSlot kJapspn = VXR_SLOT(GoasWork, japspnFlag, japspnHost, japspn);
constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GoasWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kIdname = VXR_SLOT(GoasWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GoasWork, originFlag, originHost, origin);
constexpr vxr::FilterSlot kClearedSlots[] = {kJapdb, kJapspn, kDsgroup, kIdname, kOrigin};

// Without a group filter the group is the one the ORIGINNODE filter names.
void deriveSpaces(void* workArea, const Trace&) {
  work(workArea).databaseMode = 0;
  vxr::deriveGroupFilter(workArea, kOrigin, kDsgroup, &kIdname);
}
void deriveDatabases(void* workArea, const Trace&) {
  work(workArea).databaseMode = 1;
  vxr::deriveGroupFilter(workArea, kOrigin, kDsgroup, &kIdname);
}

// The IDNAME flag a DSGROUP filter sets with its value is read only where no
// group filter came, so it changes nothing.
constexpr FilterRule kFilterRules[] = {
    {.column = "JAPDB", .match = vxr::prefix(5), .slots = {kJapdb}},
    {.column = "JAPSPN", .match = vxr::prefix(6), .slots = {kJapspn}},
    {.column = "DSGROUP", .match = vxr::prefix(7), .slots = {kDsgroup, kIdname}},
    {.column = "IDNAME", .match = vxr::prefix(6), .slots = {kIdname}},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};

constexpr char kAllocDatabase[] = "Unable to allocate Storage for GOAD result\n";

enum SpaceTable : uint8_t { kSpaceTable, kSpaceNodeTable };
constexpr vxr::TableSpec kSpaceTables[] = {
    VXR_TABLE(GoasWork, spaceTable, spaceList, kSpaceElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GOAS result\n"),
    VXR_NODE_TABLE(GoasWork),
};
constexpr uint8_t kSpaceDestroyOrder[] = {kSpaceTable, kSpaceNodeTable};

enum DatabaseTable : uint8_t { kDatabaseTable, kSpaceNameTable, kMemberTable, kDatabaseNodeTable };
constexpr vxr::TableSpec kDatabaseTables[] = {
    VXR_TABLE(GoasWork, databaseTable, databaseList, kDatabaseElementSize, 10, vxr::kTraceAlways,
              kAllocDatabase),
    VXR_TABLE(GoasWork, spaceNameTable, spaceNameList, kSpaceNameElementSize, 30, vxr::kTraceAlways,
              kAllocDatabase),
    VXR_TABLE(GoasWork, memberTable, memberList, kMemberElementSize, 10, vxr::kTraceAlways,
              kAllocDatabase),
    VXR_NODE_TABLE(GoasWork),
};
constexpr uint8_t kDatabaseDestroyOrder[] = {kDatabaseTable, kSpaceNameTable, kMemberTable,
                                             kDatabaseNodeTable};

constexpr vxr::ModuleProgram kSpaceProgram = {
    .eyeCatcher = "GOASWORK",
    .workAreaSize = vxr::workAreaSize<GoasWork>(kWorkAreaSize),
    .rowsEmitted = offsetof(GoasWork, rowsEmitted),
    .summaryList = offsetof(GoasWork, spaceList),
    .emissionCursor = offsetof(GoasWork, spaceCursor),
    .nodeList = offsetof(GoasWork, nodeList),
    .emitted = {kTraceDetail, "GOAS Anchor at %8X. GOASL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveSpaces,
    .tables = kSpaceTables,
    .nodeTable = kSpaceNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectOBJECTS returned FALSE, EOD no data\n"},
    .destroyOrder = kSpaceDestroyOrder,
};

constexpr vxr::ModuleProgram kDatabaseProgram = {
    .eyeCatcher = "GOASWORK",
    .workAreaSize = kSpaceProgram.workAreaSize,
    .rowsEmitted = offsetof(GoasWork, rowsEmitted),
    .summaryList = offsetof(GoasWork, databaseList),
    .emissionCursor = offsetof(GoasWork, databaseCursor),
    .nodeList = offsetof(GoasWork, nodeList),
    .emitted = {kTraceDetail, "GOAD Anchor at %8X. GOADL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveDatabases,
    .tables = kDatabaseTables,
    .nodeTable = kDatabaseNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectOBJECTS returned FALSE, EOD no data\n"},
    .afterCollect = afterCollect,
    .destroyOrder = kDatabaseDestroyOrder,
};

constexpr vxr::TableChoice kChoices[] = {{kGoadTableName, &kDatabaseProgram}};

}  // namespace

VXR_REQUEST_ENTRIES_BY_TABLE(kChoices, kSpaceProgram, xrgoassr, xrgoaspr, xrgoasts);
VXR_MODULE(VXRGOASL, xrgoassr, xrgoaspr, xrgoasts, "level200", vxrBuildDate, vxrBuildTime);
