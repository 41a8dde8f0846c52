// VXRGVTAL: group volume thread activity.
//
// Shows the I/O of the threads (plan, authorization id, correlation id) of
// the members of a data sharing group by volume. Every online member agent
// is asked for its VXR.LGOAVTA rows (one SELECT per member, routed AT its
// thru node). Without a volume filter the rows of a group and volume are
// merged into one summary element; with one, every member row is an
// element of its own, so the threads on that volume are listed one by one.
// Each element is finished (averages) just before it is handed to the host,
// newest first.
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; adds the group condition to every member query
//   IDNAME*     the group as well (it fills the DSGROUP filter too)
//   JVTVOL*     the volume; no merging, and together with a group filter a
//               volume condition of exactly six characters, blanks included
//   ORIGINNODE  the group's managed-system name; the group is derived from
//               it when no group filter came, and it names every row
//
// Merge rule (no volume filter): key DSGROUP and JVTVOL. The first row of a
// key is copied whole, its plan, authorization and correlation ids included;
// later rows add the three I/O counts, the three rates and the volume use,
// raise JVTMTIOR, JVTMRIOR and JVTMWIOR (the largest rate of any merged
// row), keep the earliest TIMESTAMP and count themselves in NUMRX4. On
// emission the rates and the use are averaged over the merged rows.
#include "vxrgvtal.h"

#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GvtaWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* summaryTable;
  GvtaRow row;
  int32_t rowsEmitted;
  int32_t jvtvolFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  const char* jvtvolHost;
  char jvtvol[8];
  const char* dsgroupHost;
  char dsgroup[8];
  char dsgroupEnd;
  const char* idnameHost;
  char idname[8];
  char idnameEnd;
  const char* originHost;
  char origin[32];
  char originEnd;
};

constexpr int32_t kWorkAreaSize = 300;
constexpr int32_t kSummaryElementSize = vxr::elementSize<GvtaRow>();
#if VXR_ILP32
static_assert(sizeof(GvtaWork) <= kWorkAreaSize);
static_assert(offsetof(GvtaWork, row) == 32);
static_assert(offsetof(GvtaWork, rowsEmitted) == 184);
static_assert(offsetof(GvtaWork, jvtvol) == 208);
static_assert(offsetof(GvtaWork, dsgroup) == 220);
static_assert(offsetof(GvtaWork, idname) == 236);
static_assert(offsetof(GvtaWork, origin) == 252);
static_assert(kSummaryElementSize == 160);
#endif

// The volume condition takes exactly this many characters of the slot.
constexpr size_t kVolumeChars = 6;

GvtaWork& work(void* workArea) {
  return *static_cast<GvtaWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,JVTAUID,JVTCRID,"
    "JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GvtaRow, ORIGINNODE), VXR_FIELD(GvtaRow, TIMESTAMP), VXR_FIELD(GvtaRow, SYSID),
    VXR_FIELD(GvtaRow, RX4ID),      VXR_FIELD(GvtaRow, IDNAME),    VXR_FIELD(GvtaRow, DSGROUP),
    VXR_FIELD(GvtaRow, JVTVOL),     VXR_FIELD(GvtaRow, JVTPLNM),   VXR_FIELD(GvtaRow, JVTAUID),
    VXR_FIELD(GvtaRow, JVTCRID),    VXR_FIELD(GvtaRow, JVTVUSE),   VXR_FIELD(GvtaRow, JVTTIO),
    VXR_FIELD(GvtaRow, JVTRIO),     VXR_FIELD(GvtaRow, JVTWIO),    VXR_FIELD(GvtaRow, JVTTIOR),
    VXR_FIELD(GvtaRow, JVTRIOR),    VXR_FIELD(GvtaRow, JVTWIOR),
};
static_assert(std::size(kColumns) == 17);
static_assert(vxr::selectMatches(kSelect, kColumns));

// The correlation id is kept as delivered: zeros past a shorter value.
constexpr uint16_t kZeroFilled[] = {offsetof(GvtaRow, JVTCRID)};

// The volume condition is sent only with a group condition.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  GvtaWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOAVTA", " AT ('", node, " WHERE ORIGINNODE ='");
  const char* group = w.dsgroupFlag ? w.dsgroup : w.idnameFlag ? w.idname : nullptr;
  if (group != nullptr) {
    vxr::sqlCondition(sql, " AND       LGOAVTA.DSGROUP = '", group, 8);
    if (w.jvtvolFlag) {
      vxr::sqlConditionWidth(sql, " AND   LGOAVTA.JVTVOL  = '", w.jvtvol, kVolumeChars);
    }
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Summarisation

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GvtaRow, DSGROUP), VXR_KEY(GvtaRow, JVTVOL)};
constexpr uint16_t kSums[] = {offsetof(GvtaRow, JVTTIO),  offsetof(GvtaRow, JVTRIO),
                              offsetof(GvtaRow, JVTWIO),  offsetof(GvtaRow, JVTTIOR),
                              offsetof(GvtaRow, JVTRIOR), offsetof(GvtaRow, JVTWIOR),
                              offsetof(GvtaRow, JVTVUSE)};
// Every row carries its own three rates in the maxima, so the maxima merge
// field by field.
constexpr uint16_t kMaxima[] = {offsetof(GvtaRow, JVTMTIOR), offsetof(GvtaRow, JVTMRIOR),
                                offsetof(GvtaRow, JVTMWIOR)};
constexpr vxr::MergeRule kMerge = {.sums = kSums,
                                   .maxima = kMaxima,
                                   .timestamp = offsetof(GvtaRow, TIMESTAMP),
                                   .rowsMerged = offsetof(GvtaRow, NUMRX4)};
constexpr uint16_t kAveraged[] = {offsetof(GvtaRow, JVTTIOR), offsetof(GvtaRow, JVTRIOR),
                                  offsetof(GvtaRow, JVTWIOR), offsetof(GvtaRow, JVTVUSE)};

extern "C" bool summarizeVTA(GvtaWork* w, GvtaRow* row) {
  VXR_FUNCTION("summarizeVTA");
  row->NUMRX4 = 1;
  row->JVTMTIOR = row->JVTTIOR;
  row->JVTMRIOR = row->JVTRIOR;
  row->JVTMWIOR = row->JVTWIOR;
  void* kept = nullptr;
  bool created = true;
  if (w->jvtvolFlag) {
    VXR_TRACE(trace, kTraceDetail, "Volume supplied, No Summary\n");
    VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
    kept = vxr::fileCopy(w->summaryTable, w->summaryList, row, sizeof *row);
  } else {
    VXR_TRACE(trace, kTraceDetail, "summarizeVTA filterJVTVOL\n");
    if (VXR_ListLinks* match = vxr::findKeyed(w->summaryTable, row, kKey)) {
      kept = vxr::elementData(match);
      created = false;
    } else {
      VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
      kept = vxr::fileKeyed(w->summaryTable, row, sizeof *row, kKey);
    }
  }
  if (kept == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  } else if (!created) {
    vxr::mergeRow(kept, row, kMerge);
  }
  vxr::traceExitVoid(trace, __LINE__);
  return kept != nullptr;
}

extern "C" void calcVTArate(GvtaRow* row) {
  VXR_FUNCTION("calcVTArate");
  vxr::averageFields(row, kAveraged, row->NUMRX4);
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Collection

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GvtaWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways, kZeroFilled)) {
    return false;
  }
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  // A row that cannot be kept makes the collection false.
  return summarizeVTA(&w, &w.row);
}

extern "C" int32_t collectLGOAVTA(GvtaWork* w) {
  VXR_FUNCTION("collectLGOAVTA");
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
  return collectLGOAVTA(&work(workArea));
}
void beforeEmit(void*, const Trace&, void* row) {
  calcVTArate(static_cast<GvtaRow*>(row));
}

constexpr vxr::FilterSlot kJvtvol = VXR_SLOT(GvtaWork, jvtvolFlag, jvtvolHost, jvtvol);
constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GvtaWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kIdname = VXR_SLOT(GvtaWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GvtaWork, originFlag, originHost, origin);
// The volume slot starts cleared in the zeroed work area.
constexpr vxr::FilterSlot kClearedSlots[] = {kDsgroup, kIdname, kOrigin};

// Without a group filter the group is the one the ORIGINNODE filter names.
void deriveGroup(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, kOrigin, kDsgroup, &kIdname);
}

constexpr vxr::FilterRule kFilterRules[] = {
    {.column = "DSGROUP", .match = vxr::prefix(7), .slots = {kDsgroup}},
    {.column = "IDNAME", .match = vxr::prefix(6), .slots = {kDsgroup, kIdname}},
    {.column = "JVTVOL", .match = vxr::prefix(6), .slots = {kJvtvol}},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};

enum Table : uint8_t { kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GvtaWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GVTA result\n"),
    VXR_TABLE(GvtaWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GVTAWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GvtaWork)} ? kWorkAreaSize : int32_t{sizeof(GvtaWork)},
    .rowsEmitted = offsetof(GvtaWork, rowsEmitted),
    .summaryList = offsetof(GvtaWork, summaryList),
    .emissionCursor = offsetof(GvtaWork, emissionCursor),
    .nodeList = offsetof(GvtaWork, nodeList),
    .emitted = {kTraceDetail, "GVTA Anchor at %8X. VTAL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveGroup,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectLGOAVTA returned FALSE, EOD no data\n"},
    .beforeEmit = beforeEmit,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgvtasr, xrgvtapr, xrgvtats);
VXR_MODULE(VXRGVTAL, xrgvtasr, xrgvtapr, xrgvtats, "level200", vxrBuildDate, vxrBuildTime);
