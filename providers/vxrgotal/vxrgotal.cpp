// VXRGOTAL: group object thread activity.
//
// Shows the thread-level object activity of the members of a data sharing
// group (database, space, plan, authorisation id, correlation id), added up
// over the group. Every online member agent is asked for its VXR.LGOATHA
// rows (one SELECT per member, routed AT its thru node); the rows are merged
// into summary elements, and each summary row is finished (averaged rates,
// getpages per read, shares of the group totals) just before it is handed
// to the host, newest key first.
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; adds the group condition to every member query
//               and makes the shares those of the group's totals
//   IDNAME*     the group as well
//   JT7DBN*     the database; merges per group, database and space, shares
//               of the database's totals
//   JT7SPN*     the space; no merging, no totals
//   ORIGINNODE  the group's managed-system name; the group is derived from
//               it when no DSGROUP filter came, and it names every row
//
// Merge rule: without a space filter rows are always merged, at least per
// group and database. The first row of a key is copied whole; later rows add
// their seven counts and seven rates, keep the earliest TIMESTAMP and count
// themselves in ROWSMERGED.
#include "vxrgotal.h"

#include "vxr/activity.h"
#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct GotaWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* getpList;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* summaryTable;
  VXR_ResultTable* getpTable;
  GotaRow row;
  int32_t rowsEmitted;
  int32_t jt7dbnmFlag;
  int32_t jt7spnmFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  const char* jt7dbnmHost;
  char jt7dbnm[12];
  char jt7dbnmEnd;
  const char* jt7spnmHost;
  char jt7spnm[12];
  char jt7spnmEnd;
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

constexpr int32_t kWorkAreaSize = 372;
constexpr int32_t kTotalsElementSize = vxr::elementSize<vxr::GetpTotals>();
constexpr int32_t kSummaryElementSize = vxr::elementSize<GotaRow>();
#if VXR_ILP32
static_assert(sizeof(GotaWork) <= kWorkAreaSize);
static_assert(offsetof(GotaWork, row) == 40);
static_assert(offsetof(GotaWork, rowsEmitted) == 228);
static_assert(offsetof(GotaWork, jt7dbnm) == 256);
static_assert(kTotalsElementSize == 40);
static_assert(kSummaryElementSize == 196);
#endif

// The SQL takes at most this many characters of a database or space filter.
constexpr size_t kNameValueChars = 9;

GotaWork& work(void* workArea) {
  return *static_cast<GotaWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,JT7PLNM,JT7AUID,"
    "JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,"
    "JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GotaRow, ORIGINNODE), VXR_FIELD(GotaRow, TIMESTAMP), VXR_FIELD(GotaRow, SYSID),
    VXR_FIELD(GotaRow, RX4ID),      VXR_FIELD(GotaRow, IDNAME),    VXR_FIELD(GotaRow, DSGROUP),
    VXR_FIELD(GotaRow, JT7DBNM),    VXR_FIELD(GotaRow, JT7SPNM),   VXR_FIELD(GotaRow, JT7PLNM),
    VXR_FIELD(GotaRow, JT7AUID),    VXR_FIELD(GotaRow, JT7CRID),   VXR_FIELD(GotaRow, JT7GETP),
    VXR_FIELD(GotaRow, JT7SYNR),    VXR_FIELD(GotaRow, JT7SPRE),   VXR_FIELD(GotaRow, JT7LPRE),
    VXR_FIELD(GotaRow, JT7DPRE),    VXR_FIELD(GotaRow, JT7ASYW),   VXR_FIELD(GotaRow, JT7OTHW),
    VXR_FIELD(GotaRow, JT7PCGP),    VXR_FIELD(GotaRow, JT7PCIO),   VXR_FIELD(GotaRow, JT7GPR),
    VXR_FIELD(GotaRow, JT7SYR),     VXR_FIELD(GotaRow, JT7SPR),    VXR_FIELD(GotaRow, JT7LPR),
    VXR_FIELD(GotaRow, JT7DPR),     VXR_FIELD(GotaRow, JT7ASR),    VXR_FIELD(GotaRow, JT7OTR),
    VXR_FIELD(GotaRow, JT7RIOR),
};
static_assert(std::size(kColumns) == 28);
static_assert(vxr::selectMatches(kSelect, kColumns));

// The seven counts and the seven rates, added when rows merge.
constexpr uint16_t kCounters[] = {
    offsetof(GotaRow, JT7GETP), offsetof(GotaRow, JT7SYNR), offsetof(GotaRow, JT7SPRE),
    offsetof(GotaRow, JT7LPRE), offsetof(GotaRow, JT7DPRE), offsetof(GotaRow, JT7ASYW),
    offsetof(GotaRow, JT7OTHW), offsetof(GotaRow, JT7GPR),  offsetof(GotaRow, JT7SYR),
    offsetof(GotaRow, JT7SPR),  offsetof(GotaRow, JT7LPR),  offsetof(GotaRow, JT7DPR),
    offsetof(GotaRow, JT7ASR),  offsetof(GotaRow, JT7OTR),
};
constexpr uint16_t kRates[] = {
    offsetof(GotaRow, JT7GPR), offsetof(GotaRow, JT7SYR), offsetof(GotaRow, JT7SPR),
    offsetof(GotaRow, JT7LPR), offsetof(GotaRow, JT7DPR), offsetof(GotaRow, JT7ASR),
    offsetof(GotaRow, JT7OTR),
};

constexpr uint16_t kReads[] = {offsetof(GotaRow, JT7SYNR), offsetof(GotaRow, JT7SPRE),
                               offsetof(GotaRow, JT7LPRE), offsetof(GotaRow, JT7DPRE)};
constexpr uint16_t kIo[] = {offsetof(GotaRow, JT7SYNR), offsetof(GotaRow, JT7SPRE),
                            offsetof(GotaRow, JT7LPRE), offsetof(GotaRow, JT7DPRE),
                            offsetof(GotaRow, JT7ASYW), offsetof(GotaRow, JT7OTHW)};

constexpr vxr::ActivityLayout kLayout = {
    .group = offsetof(GotaRow, DSGROUP),
    .database = offsetof(GotaRow, JT7DBNM),
    .space = offsetof(GotaRow, JT7SPNM),
    .timestamp = offsetof(GotaRow, TIMESTAMP),
    .merge = {.sums = kCounters,
              .timestamp = offsetof(GotaRow, TIMESTAMP),
              .rowsMerged = offsetof(GotaRow, ROWSMERGED)},
    .rates = kRates,
    .reads = kReads,
    .io = kIo,
    .getpages = offsetof(GotaRow, JT7GETP),
    .ratio = offsetof(GotaRow, JT7RIOR),
    .getpageShare = offsetof(GotaRow, JT7PCGP),
    .ioShare = offsetof(GotaRow, JT7PCIO),
};

// Each filter adds its own condition: a database or space filter narrows the
// member's answer whether or not a group filter came with it.
void buildMemberSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                    vxr::SqlText& sql) {
  GotaWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOATHA", " AT ('", node, " WHERE ORIGINNODE ='");
  VXR_TRACE(trace, kTraceDetail, "DSGROUP=\\%8s\\\n", w.dsgroup);
  if (w.dsgroupFlag) {
    vxr::sqlCondition(sql, " AND LGOATHA.DSGROUP = '", w.dsgroup, 8);
  }
  if (w.jt7dbnmFlag) {
    vxr::sqlCondition(sql, " AND  LGOATHA.JT7DBNM = '", w.jt7dbnm, kNameValueChars);
  }
  if (w.jt7spnmFlag) {
    vxr::sqlCondition(sql, " AND  LGOATHA.JT7SPNM = '", w.jt7spnm, kNameValueChars);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Summarisation

extern "C" bool summarizeOTA(GotaWork* w, const GotaRow* row) {
  VXR_FUNCTION("summarizeOTA");
  vxr::MergeScope scope = vxr::MergeScope::Database;
  if (w->jt7spnmFlag) {
    VXR_TRACE(trace, kTraceDetail, "Space name supplied, No Summary\n");
    scope = vxr::MergeScope::None;
  } else if (w->jt7dbnmFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeOTA filterJT7DBNM\n");
    scope = vxr::MergeScope::DatabaseSpace;
  } else {
    VXR_TRACE(trace, kTraceDetail, "summarizeOTA filterJT7DBNM\n");
  }
  bool created = false;
  const void* element = vxr::mergeActivityRow(trace, w->summaryTable, row, sizeof *row, kLayout,
                                              scope, "summarizeOTA Summary Record\n", &created);
  vxr::traceExitVoid(trace, __LINE__);
  return element != nullptr;
}

constexpr vxr::ScopeTexts kTotalsTexts = {"Spacename supplied, No Summary\n",
                                          "summGETP filterJT7DB\n", "summGETP filterDSGROUP\n",
                                          "DSGROUP not supplied, No Data\n"};
constexpr vxr::ScopeTexts kRateTexts = {
    "Spacename supplied, No Summary\n", "calcOTArate filterJT7DBNM\n",
    "calcOTArate filterDSGROUP\n", "DSGROUP not supplied, No Data\n"};

extern "C" bool summGETP(GotaWork* w, const GotaRow* row) {
  VXR_FUNCTION("summGETP");
  const vxr::TotalsScope scope =
      vxr::chooseTotalsScope(trace, w->jt7spnmFlag, w->jt7dbnmFlag, w->dsgroupFlag, kTotalsTexts);
  const bool filed = vxr::addRowToTotals(trace, w->getpTable, scope, row, kLayout);
  vxr::traceExitVoid(trace, __LINE__);
  return filed;
}

extern "C" void calcOTArate(GotaWork* w, GotaRow* row) {
  VXR_FUNCTION("calcOTArate");
  const vxr::TotalsScope scope =
      vxr::chooseTotalsScope(trace, w->jt7spnmFlag, w->jt7dbnmFlag, w->dsgroupFlag, kRateTexts);
  vxr::finishActivityRow(row, kLayout,
                         vxr::findTotals(w->getpTable, scope, row->DSGROUP, row->JT7DBNM));
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Collection

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GotaWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  // A row that cannot be kept whole makes the collection false.
  bool kept = summarizeOTA(&w, &w.row);
  kept = summGETP(&w, &w.row) && kept;
  return kept;
}

extern "C" int32_t collectLGOAOTA(GotaWork* w) {
  VXR_FUNCTION("collectLGOAOTA");
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
  return collectLGOAOTA(&work(workArea));
}
void beforeEmit(void* workArea, const Trace&, void* row) {
  calcOTArate(&work(workArea), static_cast<GotaRow*>(row));
}

constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GotaWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kIdname = VXR_SLOT(GotaWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GotaWork, originFlag, originHost, origin);
constexpr vxr::FilterSlot kClearedSlots[] = {kDsgroup, kIdname, kOrigin};

// Without a group filter the group is the one the ORIGINNODE filter names.
void deriveGroup(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, kOrigin, kDsgroup, &kIdname);
}

constexpr FilterRule kFilterRules[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .slots = {kDsgroup},
     .matchTrace = "DSGROUP match Index Filter %d %s %s \n"},
    {.column = "IDNAME",
     .match = vxr::prefix(6),
     .slots = {kDsgroup, kIdname},
     .matchTrace = "IDNAME match Index Filter %d %s %s \n"},
    {.column = "JT7DBNM",
     .match = vxr::prefix(6),
     .slots = {VXR_SLOT(GotaWork, jt7dbnmFlag, jt7dbnmHost, jt7dbnm)},
     .matchTrace = "JT7DBNM match Index Filter %d %s %s \n"},
    {.column = "JT7SPNM",
     .match = vxr::prefix(6),
     .slots = {VXR_SLOT(GotaWork, jt7spnmFlag, jt7spnmHost, jt7spnm)},
     .matchTrace = "JT7SPNM match Index Filter %d %s %s \n"},
    {.column = "ORIGINNODE",
     .match = vxr::exact(),
     .slots = {kOrigin},
     .matchTrace = "ORIGINNODE match Index Filter %d %s %s \n"},
};

enum Table : uint8_t { kTotalsTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GotaWork, getpTable, getpList, kTotalsElementSize, 30, vxr::kTraceAlways,
              "Unable to allocate Storage for RX4count Result\n"),
    VXR_TABLE(GotaWork, summaryTable, summaryList, kSummaryElementSize, 30, vxr::kTraceAlways,
              "Unable to allocate Storage for GOTA result\n"),
    VXR_TABLE(GotaWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kTotalsTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GOTAWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GotaWork)} ? kWorkAreaSize : int32_t{sizeof(GotaWork)},
    .rowsEmitted = offsetof(GotaWork, rowsEmitted),
    .summaryList = offsetof(GotaWork, summaryList),
    .emissionCursor = offsetof(GotaWork, emissionCursor),
    .nodeList = offsetof(GotaWork, nodeList),
    .emitted = {kTraceDetail, "GOTA Anchor at %8X. OTAL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveGroup,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectLGOAOTA returned FALSE, EOD no data\n"},
    .beforeEmit = beforeEmit,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgotasr, xrgotapr, xrgotats);
VXR_MODULE(VXRGOTAL, xrgotasr, xrgotapr, xrgotats, "level200", vxrBuildDate, vxrBuildTime);
