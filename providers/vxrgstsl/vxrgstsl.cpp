// VXRGSTSL: group buffer pool statistics.
//
// Shows, per data sharing group and group buffer pool structure, the 31
// counters its members report (cross-invalidation and group buffer pool
// reads, changed and clean writes, castouts, read and write failures, ...),
// added up over the members. Every online member agent is asked for its
// VXR.LGBPSTAT rows (one SELECT per member, routed AT its thru node); the
// rows are filed into group elements and handed to the host newest key
// first.
//
// Filters (operator "equals" only):
//   STRUCTN*    the structure; adds the structure condition (16 characters,
//               blanks kept) to every member query and switches to detail
//               mode: every member row is handed out by itself
//   ORIGINNODE  the group's managed-system name; names every row, and the
//               group up to its colon becomes the DSGROUP condition
//               (8 characters, blanks kept)
// A DSGROUP filter by itself adds nothing.
//
// Merge rule: rows merge per DSGROUP and STRUCTN. The first row of a key is
// copied whole (its SYSID, IDNAME and RX4ID stay); later rows add their 31
// counters (saturating) and keep the earliest TIMESTAMP. In detail mode
// nothing merges.
#include "vxrgstsl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GstsWork {
  VXR_WORK_HEADER;
  VXR_ResultTable* summaryTable;
  GstsRow row;
  int32_t rowsEmitted;
  int32_t structnFlag;
  int32_t dsgroupFlag;
  int32_t originFlag;
  VXR_NODE_FIELDS;
  VXR_SLOT_FIELDS(dsgroup, 8, uint32_t);
  VXR_SLOT_FIELDS(structn, 16, uint32_t);
  VXR_SLOT_FIELDS(origin, 32, uint32_t);
};

// The fields, rounded up to a doubleword.
constexpr int32_t kWorkAreaSize = (int32_t{sizeof(GstsWork)} + 7) / 8 * 8;
constexpr int32_t kSummaryElementSize = vxr::elementSize<GstsRow>();
static_assert(sizeof(GstsWork) <= kWorkAreaSize);
#if VXR_ILP32
static_assert(offsetof(GstsWork, row) == 20);
static_assert(offsetof(GstsWork, rowsEmitted) == 232);
static_assert(offsetof(GstsWork, nodeList) == 248);
static_assert(offsetof(GstsWork, dsgroup) == 264);
static_assert(offsetof(GstsWork, structn) == 280);
static_assert(offsetof(GstsWork, origin) == 304);
static_assert(kWorkAreaSize == 344);
static_assert(kSummaryElementSize == 220);
#endif

constexpr auto work = vxr::workOf<GstsWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,DSGROUP,IDNAME,STRUCTN,NUMRX4,XIREAD,XIREADN,GBPREAD,"
    "GBPREADN,CHGWRITE,CLNWRITE,PFREAD,PFREADN,RDFAILS,WRFAILS,SYSWRCHN,SYSWRCLN,COCLASST,COGBPT,"
    "COPAGES,COENGNA,WRENGNA,RPLREQ,RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,STGSTAT,UNLCO,READCOC,"
    "READCOST,DELNAME,RDIRINFO,UNREGP,REGPAGE";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGstsRowAttributes, 38);

void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const GstsWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGBPSTAT", " AT ('", node, " WHERE ORIGINNODE='");
  if (w.dsgroupFlag) vxr::sqlConditionWidth(sql, " AND DSGROUP = '", w.dsgroup, sizeof w.dsgroup);
  if (w.structnFlag) vxr::sqlConditionWidth(sql, " AND STRUCTN = '", w.structn, sizeof w.structn);
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Filing

// The 31 counters, NUMRX4 to SYSWRCLN: every field after STRUCTN.
constexpr uint16_t kCounters[] = {
    offsetof(GstsRow, NUMRX4),   offsetof(GstsRow, XIREAD),   offsetof(GstsRow, XIREADN),
    offsetof(GstsRow, GBPREAD),  offsetof(GstsRow, GBPREADN), offsetof(GstsRow, CHGWRITE),
    offsetof(GstsRow, CLNWRITE), offsetof(GstsRow, COCLASST), offsetof(GstsRow, COGBPT),
    offsetof(GstsRow, COPAGES),  offsetof(GstsRow, COENGNA),  offsetof(GstsRow, WRENGNA),
    offsetof(GstsRow, RDFAILS),  offsetof(GstsRow, WRFAILS),  offsetof(GstsRow, RPLREQ),
    offsetof(GstsRow, RPLRCHN),  offsetof(GstsRow, RPLRCLN),  offsetof(GstsRow, NUMCHECK),
    offsetof(GstsRow, NUMREBLD), offsetof(GstsRow, STGSTAT),  offsetof(GstsRow, UNLCO),
    offsetof(GstsRow, READCOC),  offsetof(GstsRow, READCOST), offsetof(GstsRow, DELNAME),
    offsetof(GstsRow, RDIRINFO), offsetof(GstsRow, UNREGP),   offsetof(GstsRow, REGPAGE),
    offsetof(GstsRow, PFREAD),   offsetof(GstsRow, PFREADN),  offsetof(GstsRow, SYSWRCHN),
    offsetof(GstsRow, SYSWRCLN),
};
static_assert(std::size(kCounters) == 31);

constexpr vxr::ByteRange kKey[] = {VXR_KEY(GstsRow, DSGROUP), VXR_KEY(GstsRow, STRUCTN)};
constexpr vxr::MergeRule kMerge = {.sums = kCounters, .timestamp = offsetof(GstsRow, TIMESTAMP)};

// In detail mode every row is filed by itself.
vxr::MergeKey keyFor(const void* workArea, const Trace& trace) {
  const GstsWork& w = *static_cast<const GstsWork*>(workArea);
  if (!w.structnFlag) return kKey;
  VXR_TRACE(trace, kTraceDetail, "Returning detail for STRUCTN: %.16s \n", w.row.STRUCTN);
  return {};
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "sumGstsGroup");
VXR_NAMED_ANCHOR(kCollect, "collectGstsGroup");

constexpr vxr::TableSpec kSummaryTable =
    VXR_TABLE(GstsWork, summaryTable, summaryList, kSummaryElementSize, 30, kTraceError,
              "Unable to allocate Storage for Group result\n");

// A lost element makes the collection false.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .mismatchLevel = kTraceError,
                                       .buildSql = buildMemberSql,
                                       .queryTexts = &vxr::kFetchLoopTexts,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .texts = vxr::kGroupRecordTexts,
                                       .keyFor = keyFor,
                                       .summary = &kSummaryTable};

constexpr vxr::FilterSlot kStructn = VXR_SLOT(GstsWork, structnFlag, structnHost, structn);
constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GstsWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GstsWork, originFlag, originHost, origin);
constexpr vxr::FilterSlot kClearedSlots[] = {kStructn, kDsgroup, kOrigin};

// The DSGROUP condition comes only from the ORIGINNODE filter.
void deriveGroup(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, kOrigin, kDsgroup);
}

constexpr vxr::FilterRule kFilterRules[] = {
    {.column = "STRUCTN", .match = vxr::prefix(7), .slots = {kStructn}},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GstsWork, kFamily>(vxr::stepTraces({
    .eyeCatcher = "GSTSWORK",
    .workAreaSize = kWorkAreaSize,
    .startBanner = {kTraceDetail, "Set up VXRGSTSL\n"},
    .emitted = {kTraceRow, "Gsts Anchor at %8X. Gstslm link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = vxr::sqlTracedFilters(kFilterRules),
    .derive = deriveGroup,
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgstssr, xrgstspr, xrgststs);
VXR_MODULE(VXRGSTSL, xrgstssr, xrgstspr, xrgststs, "level200", vxrBuildDate, vxrBuildTime);
