// VXRGGVSL: group volume summary.
//
// Shows the volumes the members of a data sharing group use, one row per
// group and volume. Every online member agent is asked for its VXR.LGOAVOL
// rows (one SELECT per member, routed AT its thru node); rows of the same
// group and volume are merged into one summary element, which is finished
// (averages and ratios) just before it is handed to the host, newest volume
// first.
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; adds the group condition to every member query
//   IDNAME*     the group as well, when no DSGROUP filter came
//   ORIGINNODE  the group's managed-system name; the group is derived from
//               it when no IDNAME filter came, and it names every row
//
// Merge rule: key DSGROUP and JVSVOLN. The first row of a key is copied
// whole; later rows add utilization, response time, I/O counts and rates,
// data sets, extents and use, raise JVSMVRESP and JVSMDBIR (the largest
// response time and database I/O rate of any member), keep the earliest
// TIMESTAMP and count themselves in NUMRX4. On emission utilization,
// response time, the two rates and use are averaged over NUMRX4, while the
// I/O, data-set and extent counts stay the group's sums; JVSDBSHR is the
// database share of the volume's I/O in per mille and JVSEXTR the extents
// per data set in tenths, both 0 when their divisor is 0.
#include "vxrggvsl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GgvsWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  GgvsRow row;
  int32_t rowsEmitted;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  VXR_GROUP_SLOT_FIELDS;
};

constexpr int32_t kWorkAreaSize = 268;
constexpr int32_t kSummaryElementSize = vxr::elementSize<GgvsRow>();
#if VXR_ILP32
static_assert(sizeof(GgvsWork) <= kWorkAreaSize);
static_assert(offsetof(GgvsWork, row) == 32);
static_assert(offsetof(GgvsWork, rowsEmitted) == 168);
static_assert(offsetof(GgvsWork, dsgroup) == 188);
static_assert(offsetof(GgvsWork, idname) == 204);
static_assert(offsetof(GgvsWork, origin) == 220);
static_assert(kSummaryElementSize == 144);
#endif

constexpr auto work = vxr::workOf<GgvsWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVSVOLN,JVSVUTIL,JVSVRESP,JVSTIO,"
    "JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGgvsRowAttributes, 16);

void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOAVOL", " AT ('", node, " WHERE ORIGINNODE ='");
  if (const char* group = vxr::queryGroup(work(workArea))) {
    vxr::sqlCondition(sql, " AND       LGOAVOL.DSGROUP = '", group, 8);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Summarisation

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GgvsRow, DSGROUP), VXR_KEY(GgvsRow, JVSVOLN)};
constexpr uint16_t kSums[] = {
    offsetof(GgvsRow, JVSVUTIL), offsetof(GgvsRow, JVSVRESP), offsetof(GgvsRow, JVSTIO),
    offsetof(GgvsRow, JVSDBIO),  offsetof(GgvsRow, JVSTIOR),  offsetof(GgvsRow, JVSDBIR),
    offsetof(GgvsRow, JVSDSNS),  offsetof(GgvsRow, JVSEXTS),  offsetof(GgvsRow, JVSVUSE),
};
// The two maxima: the largest response time and database I/O rate of the
// merged rows.
constexpr vxr::FieldFrom kLargest[] = {{offsetof(GgvsRow, JVSMVRESP), offsetof(GgvsRow, JVSVRESP)},
                                       {offsetof(GgvsRow, JVSMDBIR), offsetof(GgvsRow, JVSDBIR)}};
constexpr vxr::MergeRule kMerge = {.sums = kSums,
                                   .timestamp = offsetof(GgvsRow, TIMESTAMP),
                                   .rowsMerged = offsetof(GgvsRow, NUMRX4),
                                   .maximaFrom = kLargest};
constexpr uint16_t kAveraged[] = {offsetof(GgvsRow, JVSVUTIL), offsetof(GgvsRow, JVSVRESP),
                                  offsetof(GgvsRow, JVSTIOR), offsetof(GgvsRow, JVSDBIR),
                                  offsetof(GgvsRow, JVSVUSE)};

extern "C" void calcGVSrate(GgvsRow* row) {
  VXR_FUNCTION("calcGVSrate");
  row->JVSDBSHR = vxr::ratioOverPositive(row->JVSDBIO, 1000, row->JVSTIO);
  vxr::averageFields(row, kAveraged, row->NUMRX4);
  row->JVSEXTR = vxr::ratioOverPositive(row->JVSEXTS, 10, row->JVSDSNS);
  VXR_RETURN_VOID();
}

// The spare bytes of a row stay zero.
bool clearSpare(void* workArea, const Trace&) {
  GgvsRow& row = work(workArea).row;
  std::memset(row.SPARE, 0, sizeof row.SPARE);
  return true;
}

// ---------------------------------------------------------------------------
// Request program

constexpr vxr::TableSpec kSummaryTable =
    VXR_TABLE(GgvsWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GGVS result\n");

VXR_NAMED_ANCHOR(kSummarize, "summarizeGVS");
VXR_NAMED_ANCHOR(kCollect, "collectGOAVOLS");

// A row that cannot be kept makes the collection false.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .prepare = clearSpare,
                                       .summary = &kSummaryTable};

void beforeEmit(void*, const Trace&, void* row) {
  calcGVSrate(static_cast<GgvsRow*>(row));
}

// Without an IDNAME filter the group is the one the ORIGINNODE filter names.
using Slots = vxr::GroupSlots<GgvsWork>;
constexpr vxr::FilterRule kFilterRules[] = {Slots::dsgroupRule, Slots::idnamePrefixRule,
                                            Slots::originRule};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GgvsWork, kFamily>({
    .eyeCatcher = "GGVSWORK",
    .workAreaSize = vxr::workAreaSize<GgvsWork>(kWorkAreaSize),
    .emitted = {kTraceDetail, "GGVS Anchor at %8X. GVSL link at %8x.\n"},
    .clearedSlots = Slots::cleared,
    .filters = {.rules = kFilterRules},
    .derive = Slots::derive,
    .collectFailed = {kTraceDetail, "collectGOAVOLS returned FALSE, EOD no data\n"},
    .beforeEmit = beforeEmit,
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrggvssr, xrggvspr, xrggvsts);
VXR_MODULE(VXRGGVSL, xrggvssr, xrggvspr, xrggvsts, "level200", vxrBuildDate, vxrBuildTime);
