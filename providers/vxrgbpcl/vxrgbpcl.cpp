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

#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GbpcWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* groupTable;
  GbpcRow row;
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

GbpcWork& work(void* workArea) {
  return *static_cast<GbpcWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,CONSTAT,STRUCTN,DSGROUPN,DSGROUPE,CF_NAME,JOBNAME,RX4ID,"
    "IDNAME";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GbpcRow, ORIGINNODE), VXR_FIELD(GbpcRow, TIMESTAMP), VXR_FIELD(GbpcRow, SYSID),
    VXR_FIELD(GbpcRow, CONSTAT),    VXR_FIELD(GbpcRow, STRUCTN),   VXR_FIELD(GbpcRow, DSGROUPN),
    VXR_FIELD(GbpcRow, DSGROUPE),   VXR_FIELD(GbpcRow, CF_NAME),   VXR_FIELD(GbpcRow, JOBNAME),
    VXR_FIELD(GbpcRow, RX4ID),      VXR_FIELD(GbpcRow, IDNAME),
};
static_assert(std::size(kColumns) == 11);
static_assert(vxr::selectMatches(kSelect, kColumns));

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GbpcRow, DSGROUPN), VXR_KEY(GbpcRow, STRUCTN),
                                   VXR_KEY(GbpcRow, SYSID)};
constexpr vxr::MergeRule kMerge = {.timestamp = offsetof(GbpcRow, TIMESTAMP)};

void buildMemberSql(void*, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGBP_CONN", " AT('", node, " WHERE ORIGINNODE ='");
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Collection

// Merges the row into the element of its key, or files it as a new one;
// false when no element can be had (the key would be lost).
extern "C" bool summarizeGBPConnData(GbpcWork* w, const GbpcRow* row) {
  VXR_FUNCTION("summarizeGBPConnData");
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
  GbpcWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  // Under an IDNAME (or ORIGINNODE) filter only that IDNAME's rows are kept,
  // so that no other group's connection is named by the requested group.
  if (w.idnameFlag && std::memcmp(w.row.IDNAME, w.idname, sizeof w.idname) != 0) return true;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  return summarizeGBPConnData(&w, &w.row);
}

extern "C" int32_t collectGBPConndata(GbpcWork* w) {
  VXR_FUNCTION("collectGBPConndata");
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
  return collectGBPConndata(&work(workArea));
}

constexpr vxr::FilterSlot kIdname = VXR_SLOT(GbpcWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GbpcWork, originFlag, originHost, origin);
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
    VXR_TABLE(GbpcWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n"),
    VXR_TABLE(GbpcWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kGroupTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GBPCWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GbpcWork)} ? kWorkAreaSize : int32_t{sizeof(GbpcWork)},
    .rowsEmitted = offsetof(GbpcWork, rowsEmitted),
    .summaryList = offsetof(GbpcWork, summaryList),
    .emissionCursor = offsetof(GbpcWork, emissionCursor),
    .nodeList = offsetof(GbpcWork, nodeList),
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

VXR_REQUEST_ENTRIES(kProgram, xrgbpcsr, xrgbpcpr, xrgbpcts);
VXR_MODULE(VXRGBPCL, xrgbpcsr, xrgbpcpr, xrgbpcts, "level200", vxrBuildDate, vxrBuildTime);
