// VXRGBPPL: group buffer pools.
//
// One row for each cache structure of a data sharing group. Every online
// member agent is asked for the cache structures it is connected to in its
// VXR.LGB_POOL rows (one SELECT per member, routed AT its thru node); the
// same structure comes back from several members, and the rows are merged
// into one per group and structure.
//
// Filters (operator "equals" only):
//   IDNAME      adds the IDNAME condition (8 characters, trailing blanks
//               kept) to every member query
//   ORIGINNODE  names every row; the IDNAME is derived from it when no
//               IDNAME filter came
//
// Merge rule: key DSGROUP and STRUCTN. The first row of a key (from the
// member queried first) is copied whole: its measures, SMFID, STRUCTST,
// STRUCTT and IDNAME stand, nothing is added up. Later rows only lower the
// TIMESTAMP, so the earliest time stamp may come from another member than
// the figures. Rows come out newest key first.
#include "vxrgbppl.h"

#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GbppWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* groupTable;
  GbppRow row;
  int32_t rowsEmitted;
  int32_t idnameFlag;
  int32_t originFlag;
  const char* idnameHost;
  char idname[8];
  int32_t idnameEnd;
  const char* originHost;
  char origin[32];
  int32_t originEnd;
};

constexpr int32_t kWorkAreaSize = 248;
constexpr int32_t kGroupElementSize = vxr::elementSize<GbppRow>();
#if VXR_ILP32
static_assert(sizeof(GbppWork) <= kWorkAreaSize);
static_assert(offsetof(GbppWork, row) == 32);
static_assert(offsetof(GbppWork, rowsEmitted) == 168);
static_assert(offsetof(GbppWork, idnameHost) == 180);
static_assert(offsetof(GbppWork, idname) == 184);
static_assert(offsetof(GbppWork, originHost) == 196);
static_assert(offsetof(GbppWork, origin) == 200);
static_assert(kGroupElementSize == 144);
#endif

GbppWork& work(void* workArea) {
  return *static_cast<GbppWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,DATAPG,STRUCTS,"
    "CONNECT,SMFID,STRUCTN,DSGROUP,TIMESTAMP,STRUCTST,STRUCTT,IDNAME";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GbppRow, ORIGINNODE), VXR_FIELD(GbppRow, RD_COUNT),  VXR_FIELD(GbppRow, RD_HIT_CNT),
    VXR_FIELD(GbppRow, RD_HIT_PCT), VXR_FIELD(GbppRow, XI_COUNT),  VXR_FIELD(GbppRow, XI_RATE),
    VXR_FIELD(GbppRow, DIRENT),     VXR_FIELD(GbppRow, DATAPG),    VXR_FIELD(GbppRow, STRUCTS),
    VXR_FIELD(GbppRow, CONNECT),    VXR_FIELD(GbppRow, SMFID),     VXR_FIELD(GbppRow, STRUCTN),
    VXR_FIELD(GbppRow, DSGROUP),    VXR_FIELD(GbppRow, TIMESTAMP), VXR_FIELD(GbppRow, STRUCTST),
    VXR_FIELD(GbppRow, STRUCTT),    VXR_FIELD(GbppRow, IDNAME),
};
static_assert(std::size(kColumns) == 17);
static_assert(vxr::selectMatches(kSelect, kColumns));

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GbppRow, DSGROUP), VXR_KEY(GbppRow, STRUCTN)};
constexpr vxr::MergeRule kMerge = {.timestamp = offsetof(GbppRow, TIMESTAMP)};

// Only cache structures are asked for.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const GbppWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGB_POOL", " AT('", node,
                      " WHERE STRUCTT = 'CACHE' AND ORIGINNODE ='");
  if (w.idnameFlag) vxr::sqlConditionWidth(sql, " AND IDNAME ='", w.idname, sizeof w.idname);
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Collection

// Merges the row into the element of its key, or files it as a new one;
// false when no element can be had (the key would be lost).
extern "C" bool summarizeGBPoolData(GbppWork* w, const GbppRow* row) {
  VXR_FUNCTION("summarizeGBPoolData");
  bool created = false;
  void* kept = vxr::findOrFileKeyed(w->groupTable, row, sizeof *row, kKey, &created);
  if (kept == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  } else if (!created) {
    vxr::mergeRow(kept, row, kMerge);
  }
  vxr::traceExitVoid(trace, __LINE__);
  return kept != nullptr;
}

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GbppWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  return summarizeGBPoolData(&w, &w.row);
}

extern "C" int32_t collectGBPooldata(GbppWork* w) {
  VXR_FUNCTION("collectGBPooldata");
  const vxr::MemberCollection collection{.nodes = w->nodeList,
                                         .nodeCursor = &w->nodeCursor,
                                         .context = w,
                                         .buildSql = buildMemberSql,
                                         .onRow = fileMemberRow};
  VXR_RETURN(vxr::collectMembers(trace, collection));
}

// ---------------------------------------------------------------------------
// Request program

int32_t collect(void* workArea, const Trace&) {
  return collectGBPooldata(&work(workArea));
}

constexpr vxr::FilterSlot kIdname = VXR_SLOT(GbppWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GbppWork, originFlag, originHost, origin);
constexpr vxr::FilterSlot kClearedSlots[] = {kIdname, kOrigin};

void deriveIdname(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, kOrigin, kIdname);
}

constexpr vxr::FilterRule kFilterRules[] = {
    {.column = "IDNAME", .match = vxr::exact(), .slots = {kIdname}},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};

enum Table : uint8_t { kGroupTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GbppWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n"),
    VXR_TABLE(GbppWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kGroupTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GBPPWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GbppWork)} ? kWorkAreaSize : int32_t{sizeof(GbppWork)},
    .rowsEmitted = offsetof(GbppWork, rowsEmitted),
    .summaryList = offsetof(GbppWork, summaryList),
    .emissionCursor = offsetof(GbppWork, emissionCursor),
    .nodeList = offsetof(GbppWork, nodeList),
    .invoked = {kTraceSql, "Invoked for table %s\n"},
    .emitted = {kTraceRow, "filt Anchor at %8X. filtlm link at %8x.\n"},
    .endOfData = {},
    .exitStatus = {},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules,
                .filterTrace = "Index Filter %d %s %s \n",
                .filterTraceLevel = kTraceSql},
    .derive = deriveIdname,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgbppsr, xrgbpppr, xrgbppts);
VXR_MODULE(VXRGBPPL, xrgbppsr, xrgbpppr, xrgbppts, "level200", vxrBuildDate, vxrBuildTime);
