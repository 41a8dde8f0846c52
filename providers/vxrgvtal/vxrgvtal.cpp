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

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GvtaWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  GvtaRow row;
  int32_t rowsEmitted;
  int32_t jvtvolFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  const char* jvtvolHost;
  char jvtvol[8];
  VXR_GROUP_SLOT_FIELDS;
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

constexpr auto work = vxr::workOf<GvtaWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,JVTAUID,JVTCRID,"
    "JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGvtaRowAttributes, 17);

// The correlation id is kept as delivered: zeros past a shorter value.
constexpr uint16_t kZeroFilled[] = {offsetof(GvtaRow, JVTCRID)};

// The volume condition is sent only with a group condition.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const GvtaWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOAVTA", " AT ('", node, " WHERE ORIGINNODE ='");
  if (const char* group = vxr::queryGroup(w)) {
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
// The three maxima: the largest rates of the merged rows.
constexpr vxr::FieldFrom kLargest[] = {{offsetof(GvtaRow, JVTMTIOR), offsetof(GvtaRow, JVTTIOR)},
                                       {offsetof(GvtaRow, JVTMRIOR), offsetof(GvtaRow, JVTRIOR)},
                                       {offsetof(GvtaRow, JVTMWIOR), offsetof(GvtaRow, JVTWIOR)}};
constexpr vxr::MergeRule kMerge = {.sums = kSums,
                                   .timestamp = offsetof(GvtaRow, TIMESTAMP),
                                   .rowsMerged = offsetof(GvtaRow, NUMRX4),
                                   .maximaFrom = kLargest};
constexpr uint16_t kAveraged[] = {offsetof(GvtaRow, JVTTIOR), offsetof(GvtaRow, JVTRIOR),
                                  offsetof(GvtaRow, JVTWIOR), offsetof(GvtaRow, JVTVUSE)};

// With a volume filter every row is filed by itself.
vxr::MergeKey keyFor(const void* workArea, const Trace& trace) {
  if (static_cast<const GvtaWork*>(workArea)->jvtvolFlag) {
    VXR_TRACE(trace, kTraceDetail, "Volume supplied, No Summary\n");
    return {};
  }
  VXR_TRACE(trace, kTraceDetail, "summarizeVTA filterJVTVOL\n");
  return kKey;
}

extern "C" void calcVTArate(GvtaRow* row) {
  VXR_FUNCTION("calcVTArate");
  vxr::averageFields(row, kAveraged, row->NUMRX4);
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Request program

constexpr vxr::TableSpec kSummaryTable =
    VXR_TABLE(GvtaWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GVTA result\n");

VXR_NAMED_ANCHOR(kSummarize, "summarizeVTA");
VXR_NAMED_ANCHOR(kCollect, "collectLGOAVTA");

// A row that cannot be kept makes the collection false.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .zeroFilled = kZeroFilled,
                                       .buildSql = buildMemberSql,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .texts = {.filing = "Add new record to group\n"},
                                       .keyFor = keyFor,
                                       .summary = &kSummaryTable};

void beforeEmit(void*, const Trace&, void* row) {
  calcVTArate(static_cast<GvtaRow*>(row));
}

using Slots = vxr::GroupSlots<GvtaWork>;
// The volume slot is not among the cleared ones: it starts cleared in the
// zeroed work area.
constexpr vxr::FilterSlot kJvtvol = VXR_SLOT(GvtaWork, jvtvolFlag, jvtvolHost, jvtvol);

// Without a group filter the group is the one the ORIGINNODE filter names.
void deriveGroup(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, Slots::origin, Slots::dsgroup, &Slots::idname);
}

constexpr vxr::FilterRule kFilterRules[] = {
    Slots::dsgroupRule,
    Slots::idnameGroupRule,
    {.column = "JVTVOL", .match = vxr::prefix(6), .slots = {kJvtvol}},
    Slots::originRule,
};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GvtaWork, kFamily>({
    .eyeCatcher = "GVTAWORK",
    .workAreaSize = vxr::workAreaSize<GvtaWork>(kWorkAreaSize),
    .emitted = {kTraceDetail, "GVTA Anchor at %8X. VTAL link at %8x.\n"},
    .clearedSlots = Slots::cleared,
    .filters = {.rules = kFilterRules},
    .derive = deriveGroup,
    .collectFailed = {kTraceDetail, "collectLGOAVTA returned FALSE, EOD no data\n"},
    .beforeEmit = beforeEmit,
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgvtasr, xrgvtapr, xrgvtats);
VXR_MODULE(VXRGVTAL, xrgvtasr, xrgvtapr, xrgvtats, "level200", vxrBuildDate, vxrBuildTime);
