// VXRCFGGL: coupling-facility lock structure summary.
//
// Shows, per data sharing group and lock structure, the structure's
// attributes (as the member queried first for it sees them) and its
// members' lock requests and suspensions added up, with two percentages:
// global contention (suspensions of all requests and suspensions) and false
// contention (false suspensions of all suspensions). Every online member
// agent is asked for its VXR.LVXR_CF rows (one SELECT per member, routed AT
// its thru node); the rows are filed into group elements, and the
// percentages are computed from the sums just before each row is handed to
// the host, newest key first. The members' own percentages are never used.
//
// Filters (operator "equals" only, the whole column name):
//   IDNAME      the group; adds the IDNAME condition (8 characters, blanks
//               kept) to every member query
//   ORIGINNODE  the group's managed-system name; names every row, and the
//               group up to its colon becomes the IDNAME condition when no
//               IDNAME filter came
//
// Merge rule: rows merge per DSGROUP and STRUCTN. The first row of a key is
// copied whole; later rows add R4PLOCK, R4CPLOK, R4UPLOK, R4SUSIRL, R4SUSXES
// and R4SUSFAL (saturating) and keep the earliest TIMESTAMP.
#include "vxrcfggl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct CfggWork {
  VXR_WORK_HEADER;
  VXR_ResultTable* summaryTable;
  CfggRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(uint32_t);
  VXR_NODE_FIELDS;
};

// The fields, rounded up to a doubleword.
constexpr int32_t kWorkAreaSize = (int32_t{sizeof(CfggWork)} + 7) / 8 * 8;
constexpr int32_t kSummaryElementSize = vxr::elementSize<CfggRow>();
static_assert(sizeof(CfggWork) <= kWorkAreaSize);
#if VXR_ILP32
static_assert(offsetof(CfggWork, row) == 20);
static_assert(offsetof(CfggWork, rowsEmitted) == 204);
static_assert(offsetof(CfggWork, idname) == 220);
static_assert(offsetof(CfggWork, origin) == 236);
static_assert(offsetof(CfggWork, nodeList) == 272);
static_assert(kWorkAreaSize == 288);
static_assert(kSummaryElementSize == 192);
#endif

constexpr auto work = vxr::workOf<CfggWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT CONNECT,DSGROUP,R4CPLOK,R4FCONT,R4GCONT,R4PLOCK,R4SUSFAL,R4SUSIRL,R4SUSXES,R4UPLOK,"
    "FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,ORIGINNODE,RECORDA,RECORDP,RECORDU,"
    "STRUCTN,STRUCTP,STRUCTS,STRUCTST,STRUCTT,STRUCTU,TIMESTAMP";

VXR_SELECT_COLUMNS(kColumns, kSelect, kCfggRowAttributes, 29);

void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const CfggWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LVXR_CF", " AT('", node, " WHERE ORIGINNODE = '");
  if (w.idnameFlag) {
    vxr::sqlConditionWidth(sql, " AND       IDNAME = '", w.idname, sizeof w.idname);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Filing and rates

constexpr uint16_t kRequests[] = {offsetof(CfggRow, R4PLOCK), offsetof(CfggRow, R4CPLOK),
                                  offsetof(CfggRow, R4UPLOK)};
constexpr uint16_t kSuspensions[] = {offsetof(CfggRow, R4SUSIRL), offsetof(CfggRow, R4SUSXES),
                                     offsetof(CfggRow, R4SUSFAL)};
constexpr uint16_t kCounters[] = {offsetof(CfggRow, R4PLOCK),  offsetof(CfggRow, R4CPLOK),
                                  offsetof(CfggRow, R4UPLOK),  offsetof(CfggRow, R4SUSIRL),
                                  offsetof(CfggRow, R4SUSXES), offsetof(CfggRow, R4SUSFAL)};

constexpr vxr::ByteRange kKey[] = {VXR_KEY(CfggRow, DSGROUP), VXR_KEY(CfggRow, STRUCTN)};
constexpr vxr::MergeRule kMerge = {.sums = kCounters, .timestamp = offsetof(CfggRow, TIMESTAMP)};

bool anyNonZero(const CfggRow& row, std::span<const uint16_t> offsets) {
  for (uint16_t offset : offsets) {
    if (vxr::loadInt(&row, offset) != 0) return true;
  }
  return false;
}

// The percentages of a row about to be handed out, from its sums: P requests
// and S suspensions (in 64 bits). Each is 0 when its counters are all 0 or
// its divisor is 0 (negative counters can cancel out).
extern "C" void calcRate(CfggRow* row) {
  VXR_FUNCTION("calcRate");
  const int64_t requests = vxr::sumOf(row, kRequests);
  const int64_t suspensions = vxr::sumOf(row, kSuspensions);
  const bool anySuspension = anyNonZero(*row, kSuspensions);
  const bool anyCounter = anySuspension || anyNonZero(*row, kRequests);
  row->R4GCONT = anyCounter ? vxr::scaledQuotient(suspensions, requests + suspensions, 100) : 0;
  row->R4FCONT = anySuspension ? vxr::scaledQuotient(row->R4SUSFAL, suspensions, 100) : 0;
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "sumGroup");
VXR_NAMED_ANCHOR(kCollect, "collectGroup");

constexpr vxr::TableSpec kSummaryTable =
    VXR_TABLE(CfggWork, summaryTable, summaryList, kSummaryElementSize, 10, kTraceError,
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
                                       .summary = &kSummaryTable,
                                       .idnameFilters = true};

void beforeEmit(void*, const Trace&, void* row) {
  calcRate(static_cast<CfggRow*>(row));
}

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<CfggWork, kFamily>(vxr::stepTraces({
    .eyeCatcher = "CFGGWORK",
    .workAreaSize = kWorkAreaSize,
    .startBanner = {kTraceDetail, "Set up VXRCFGGL\n"},
    .emitted = {kTraceRow, "Cfgg Anchor at %8X. Cfgglm link at %8x.\n"},
    .beforeEmit = beforeEmit,
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrcfggsr, xrcfggpr, xrcfggts);
VXR_MODULE(VXRCFGGL, xrcfggsr, xrcfggpr, xrcfggts, "level200", vxrBuildDate, vxrBuildTime);
