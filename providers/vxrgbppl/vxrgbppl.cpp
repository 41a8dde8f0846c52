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

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GbppWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* groupTable;
  GbppRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(int32_t);
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

constexpr auto work = vxr::workOf<GbppWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,DATAPG,STRUCTS,"
    "CONNECT,SMFID,STRUCTN,DSGROUP,TIMESTAMP,STRUCTST,STRUCTT,IDNAME";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGbppRowAttributes, 17);

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
// Request program

VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPoolData");
VXR_NAMED_ANCHOR(kCollect, "collectGBPooldata");

constexpr vxr::TableSpec kGroupTable =
    VXR_TABLE(GbppWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n");

constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .summary = &kGroupTable,
                                       .idnameFilters = true};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GbppWork, kFamily>(vxr::quietTraces({
    .eyeCatcher = "GBPPWORK",
    .workAreaSize = vxr::workAreaSize<GbppWork>(kWorkAreaSize),
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgbppsr, xrgbpppr, xrgbppts);
VXR_MODULE(VXRGBPPL, xrgbppsr, xrgbpppr, xrgbppts, "level200", vxrBuildDate, vxrBuildTime);
