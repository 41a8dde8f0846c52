// VXRGBPCL: group buffer pool connections.
//
// One row for each connection of a system to a group buffer pool structure
// of a data sharing group. Every online member agent is asked for the
// connections it sees in its VXR.LGBP_CONN rows (one SELECT per member,
// routed AT its thru node, with no IDNAME condition: every member's
// connections are asked for); several members see the same connection, and
// the rows are merged into one per group, structure and system.
//
// Filters (operator "equals" only):
//   IDNAME      keeps only the member rows of that IDNAME (all 8
//               characters compared); the member queries stay the same
//   ORIGINNODE  names every row; the IDNAME is derived from it when no
//               IDNAME filter came, so only the named group's connections
//               carry its name
//
// Merge rule: key DSGROUPN, STRUCTN and SYSID. The first row of a key (from
// the member queried first) is copied whole: CONSTAT, DSGROUPE, CF_NAME,
// JOBNAME, RX4ID and IDNAME stand. Later rows only lower the TIMESTAMP, so
// the earliest time stamp may come from another member than the other
// fields. Rows come out newest key first.
#include "vxrgbpcl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GbpcWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* groupTable;
  GbpcRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(int32_t);
};

constexpr int32_t kWorkAreaSize = 244;
constexpr int32_t kGroupElementSize = vxr::elementSize<GbpcRow>();
#if VXR_ILP32
static_assert(sizeof(GbpcWork) <= kWorkAreaSize);
static_assert(offsetof(GbpcWork, row) == 32);
static_assert(offsetof(GbpcWork, rowsEmitted) == 164);
static_assert(offsetof(GbpcWork, idnameHost) == 176);
static_assert(offsetof(GbpcWork, idname) == 180);
static_assert(offsetof(GbpcWork, originHost) == 192);
static_assert(offsetof(GbpcWork, origin) == 196);
static_assert(kGroupElementSize == 140);
#endif

constexpr auto work = vxr::workOf<GbpcWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,CONSTAT,STRUCTN,DSGROUPN,DSGROUPE,CF_NAME,JOBNAME,RX4ID,"
    "IDNAME";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGbpcRowAttributes, 11);

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GbpcRow, DSGROUPN), VXR_KEY(GbpcRow, STRUCTN),
                                   VXR_KEY(GbpcRow, SYSID)};
constexpr vxr::MergeRule kMerge = {.timestamp = offsetof(GbpcRow, TIMESTAMP)};

void buildMemberSql(void*, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGBP_CONN", " AT('", node, " WHERE ORIGINNODE ='");
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Request program

// Under an IDNAME (or ORIGINNODE) filter only that IDNAME's rows are kept,
// so that no other group's connection is named by the requested group.
bool keepRequestedGroup(void* workArea, const Trace&) {
  const GbpcWork& w = work(workArea);
  return !w.idnameFlag || std::memcmp(w.row.IDNAME, w.idname, sizeof w.idname) == 0;
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPConnData");
VXR_NAMED_ANCHOR(kCollect, "collectGBPConndata");

constexpr vxr::TableSpec kGroupTable =
    VXR_TABLE(GbpcWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n");

constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .prepare = keepRequestedGroup,
                                       .summary = &kGroupTable,
                                       .idnameFilters = true};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GbpcWork, kFamily>(vxr::quietTraces({
    .eyeCatcher = "GBPCWORK",
    .workAreaSize = vxr::workAreaSize<GbpcWork>(kWorkAreaSize),
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgbpcsr, xrgbpcpr, xrgbpcts);
VXR_MODULE(VXRGBPCL, xrgbpcsr, xrgbpcpr, xrgbpcts, "level200", vxrBuildDate, vxrBuildTime);
