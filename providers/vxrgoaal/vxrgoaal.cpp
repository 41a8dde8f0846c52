// VXRGOAAL: group object activity.
//
// Shows the object activity of the members of a data sharing group,
// combined by the request's filters. Every online member agent is asked for
// its VXR.LGOAACT rows (one SELECT per member, routed AT its thru node); the
// rows are merged into summary elements, and each summary row is finished
// (averaged rates, getpages per read, shares of the group totals) just
// before it is handed to the host, newest key first.
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; adds the group condition to every member query
//   IDNAME*     the group as well, and merges rows per group and database
//   JTPDB*      the database; merges per group, database and space
//   JTPSP*      the space; no merging, no totals
//   ORIGINNODE  the group's managed-system name; the group is derived from
//               it when no DSGROUP filter came, and it names every row
//
// Merge rule: the first row of a key is copied whole; later rows add their
// ten counters, keep the earliest TIMESTAMP and count themselves in
// ROWSMERGED. NUMRX4 is the number of members that reported the database.
#include "vxrgoaal.h"

#include "vxr/activity.h"
#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct GoaaMemberCount {  // which member reported which database
  char DSGROUP[8];
  char JTPDB[8];
  char RX4ID[4];
};

struct GoaaTotalsElement {  // the group totals, with the element's spare bytes
  vxr::GetpTotals totals;
  char spare[8];
};

struct GoaaWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* rx4List;
  VXR_ListHeader* getpList;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* summaryTable;
  VXR_ResultTable* rx4Table;
  VXR_ResultTable* getpTable;
  GoaaRow row;
  int32_t rowsEmitted;
  int32_t jtpdbFlag;
  int32_t jtpspFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  const char* jtpdbHost;
  char jtpdb[8];
  char jtpdbEnd;
  const char* jtpspHost;
  char jtpsp[8];
  char jtpspEnd;
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

constexpr int32_t kWorkAreaSize = 360;
constexpr int32_t kRx4ElementSize = vxr::elementSize<GoaaMemberCount>();
constexpr int32_t kTotalsElementSize = vxr::elementSize<GoaaTotalsElement>();
constexpr int32_t kSummaryElementSize = vxr::elementSize<GoaaRow>();
#if VXR_ILP32
static_assert(sizeof(GoaaWork) <= kWorkAreaSize);
static_assert(offsetof(GoaaWork, row) == 48);
static_assert(offsetof(GoaaWork, rowsEmitted) == 196);
static_assert(offsetof(GoaaWork, origin) == 288);
static_assert(kRx4ElementSize == 28);
static_assert(kTotalsElementSize == 48);
static_assert(kSummaryElementSize == 156);
#endif

GoaaWork& work(void* workArea) {
  return *static_cast<GoaaWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,"
    "JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GoaaRow, ORIGINNODE), VXR_FIELD(GoaaRow, TIMESTAMP), VXR_FIELD(GoaaRow, SYSID),
    VXR_FIELD(GoaaRow, RX4ID),      VXR_FIELD(GoaaRow, IDNAME),    VXR_FIELD(GoaaRow, DSGROUP),
    VXR_FIELD(GoaaRow, JTPDB),      VXR_FIELD(GoaaRow, JTPSP),     VXR_FIELD(GoaaRow, JTPGETP),
    VXR_FIELD(GoaaRow, JTPSYNR),    VXR_FIELD(GoaaRow, JTPPREF),   VXR_FIELD(GoaaRow, JTPASYW),
    VXR_FIELD(GoaaRow, JTPOTHW),    VXR_FIELD(GoaaRow, JTPPCGP),   VXR_FIELD(GoaaRow, JTPPCIO),
    VXR_FIELD(GoaaRow, JTPGPR),     VXR_FIELD(GoaaRow, JTPSYR),    VXR_FIELD(GoaaRow, JTPPRR),
    VXR_FIELD(GoaaRow, JTPASR),     VXR_FIELD(GoaaRow, JTPOTR),    VXR_FIELD(GoaaRow, JTPRIOR),
};
static_assert(std::size(kColumns) == 21);
static_assert(vxr::selectMatches(kSelect, kColumns));

constexpr uint16_t kCounters[] = {
    offsetof(GoaaRow, JTPGETP), offsetof(GoaaRow, JTPSYNR), offsetof(GoaaRow, JTPPREF),
    offsetof(GoaaRow, JTPASYW), offsetof(GoaaRow, JTPOTHW), offsetof(GoaaRow, JTPGPR),
    offsetof(GoaaRow, JTPSYR),  offsetof(GoaaRow, JTPPRR),  offsetof(GoaaRow, JTPASR),
    offsetof(GoaaRow, JTPOTR),
};
constexpr uint16_t kRates[] = {
    offsetof(GoaaRow, JTPGPR), offsetof(GoaaRow, JTPSYR), offsetof(GoaaRow, JTPPRR),
    offsetof(GoaaRow, JTPASR), offsetof(GoaaRow, JTPOTR),
};

constexpr uint16_t kReads[] = {offsetof(GoaaRow, JTPSYNR), offsetof(GoaaRow, JTPPREF)};
constexpr uint16_t kIo[] = {offsetof(GoaaRow, JTPSYNR), offsetof(GoaaRow, JTPPREF),
                            offsetof(GoaaRow, JTPASYW), offsetof(GoaaRow, JTPOTHW)};

constexpr vxr::ActivityLayout kLayout = {
    .group = offsetof(GoaaRow, DSGROUP),
    .database = offsetof(GoaaRow, JTPDB),
    .space = offsetof(GoaaRow, JTPSP),
    .timestamp = offsetof(GoaaRow, TIMESTAMP),
    .merge = {.sums = kCounters,
              .timestamp = offsetof(GoaaRow, TIMESTAMP),
              .rowsMerged = offsetof(GoaaRow, ROWSMERGED)},
    .rates = kRates,
    .reads = kReads,
    .io = kIo,
    .getpages = offsetof(GoaaRow, JTPGETP),
    .ratio = offsetof(GoaaRow, JTPRIOR),
    .getpageShare = offsetof(GoaaRow, JTPPCGP),
    .ioShare = offsetof(GoaaRow, JTPPCIO),
};

void buildMemberSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                    vxr::SqlText& sql) {
  GoaaWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOAACT", " AT ('", node, " WHERE ORIGINNODE ='");
  VXR_TRACE(trace, kTraceDetail, "DSGROUP=\\%8s\\\n", w.dsgroup);
  if (w.dsgroupFlag) {
    vxr::sqlCondition(sql, " AND LGOAACT.DSGROUP = '", w.dsgroup, 8);
    if (w.jtpdbFlag) {
      vxr::sqlCondition(sql, " AND   LGOAACT.JTPDB   = '", w.jtpdb, 8);
    }
    if (w.jtpspFlag) {
      vxr::sqlCondition(sql, " AND   LGOAACT.JTPSP   = '", w.jtpsp, 8);
    }
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Summarisation

extern "C" bool summarizeOAA(GoaaWork* w, const GoaaRow* row) {
  VXR_FUNCTION("summarizeOAA");
  vxr::MergeScope scope = vxr::MergeScope::None;
  if (w->jtpspFlag) {
    VXR_TRACE(trace, kTraceDetail, "Spacename supplied, No Summary\n");
  } else if (w->jtpdbFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeOAA filterJTPDB\n");
    scope = vxr::MergeScope::DatabaseSpace;
  } else if (w->idnameFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeOAA filterIDNAME\n");
    scope = vxr::MergeScope::Database;
  } else {
    VXR_TRACE(trace, kTraceDetail, "Idname not supplied, No Data\n");
  }
  bool created = false;
  auto* element = static_cast<GoaaRow*>(
      vxr::mergeActivityRow(trace, w->summaryTable, row, sizeof *row, kLayout, scope,
                            "summarizeOAA Summary Record\n", &created));
  if (created) element->NUMRX4 = 1;
  vxr::traceExitVoid(trace, __LINE__);
  return element != nullptr;
}

constexpr vxr::ScopeTexts kTotalsTexts = {"Spacename supplied, No Summary\n",
                                          "summGETP filterJTPDB\n", "summGETP filterDSGROUP\n",
                                          "DSGROUP not supplied, No Data\n"};
constexpr vxr::ScopeTexts kRateTexts = {"Spacename supplied, No Summary\n",
                                        "calcOAArate filterJTPDB\n", "calcOAArate filterDSGROUP\n",
                                        "DSGROUP not supplied, No Data\n"};

extern "C" bool summGETP(GoaaWork* w, const GoaaRow* row) {
  VXR_FUNCTION("summGETP");
  const vxr::TotalsScope scope =
      vxr::chooseTotalsScope(trace, w->jtpspFlag, w->jtpdbFlag, w->dsgroupFlag, kTotalsTexts);
  const bool filed = vxr::addRowToTotals(trace, w->getpTable, scope, row, kLayout);
  vxr::traceExitVoid(trace, __LINE__);
  return filed;
}

// One element per group, database and member; NUMRX4 counts them per group
// and database.
constexpr vxr::ByteRange kMemberKey[] = {VXR_KEY(GoaaMemberCount, DSGROUP),
                                         VXR_KEY(GoaaMemberCount, JTPDB),
                                         VXR_KEY(GoaaMemberCount, RX4ID)};
constexpr vxr::MergeKey kDatabaseKey(kMemberKey, 2);

extern "C" bool sumRX4s(GoaaWork* w, const GoaaRow* row) {
  VXR_FUNCTION("sumRX4s");
  GoaaMemberCount member;
  std::memcpy(member.DSGROUP, row->DSGROUP, 8);
  std::memcpy(member.JTPDB, row->JTPDB, 8);
  std::memcpy(member.RX4ID, row->RX4ID, 4);
  bool filed = true;
  if (vxr::findKeyed(w->rx4Table, &member, kMemberKey) == nullptr &&
      vxr::fileKeyed(w->rx4Table, &member, sizeof member, kMemberKey) == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
    filed = false;
  }
  vxr::traceExitVoid(trace, __LINE__);
  return filed;
}

extern "C" void updateRX4Count(GoaaWork* w) {
  VXR_FUNCTION("updateRX4Count");
  for (VXR_ListLinks* element : vxr::walk(w->summaryList)) {
    auto* row = static_cast<GoaaRow*>(vxr::elementData(element));
    GoaaMemberCount database;
    std::memcpy(database.DSGROUP, row->DSGROUP, 8);
    std::memcpy(database.JTPDB, row->JTPDB, 8);
    row->NUMRX4 = vxr::countKeyed(w->rx4Table, &database, kDatabaseKey);
    VXR_TRACE(trace, kTraceDetail, "NUMRX4    for DB %s is %d\n", vxr::terminated(row->JTPDB).text,
              row->NUMRX4);
  }
  VXR_RETURN_VOID();
}

extern "C" void calcOAArate(GoaaWork* w, GoaaRow* row) {
  VXR_FUNCTION("calcOAArate");
  const vxr::TotalsScope scope =
      vxr::chooseTotalsScope(trace, w->jtpspFlag, w->jtpdbFlag, w->dsgroupFlag, kRateTexts);
  vxr::finishActivityRow(row, kLayout,
                         vxr::findTotals(w->getpTable, scope, row->DSGROUP, row->JTPDB));
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Collection

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GoaaWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  // A row that cannot be kept whole makes the collection false.
  bool kept = summarizeOAA(&w, &w.row);
  kept = summGETP(&w, &w.row) && kept;
  kept = sumRX4s(&w, &w.row) && kept;
  return kept;
}

extern "C" int32_t collectLGOAACT(GoaaWork* w) {
  VXR_FUNCTION("collectLGOAACT");
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
  return collectLGOAACT(&work(workArea));
}
void afterCollect(void* workArea, const Trace&) {
  updateRX4Count(&work(workArea));
}
void beforeEmit(void* workArea, const Trace&, void* row) {
  calcOAArate(&work(workArea), static_cast<GoaaRow*>(row));
}

constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GoaaWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kIdname = VXR_SLOT(GoaaWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GoaaWork, originFlag, originHost, origin);
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
    {.column = "JTPDB",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GoaaWork, jtpdbFlag, jtpdbHost, jtpdb)},
     .matchTrace = "JTPDB match Index Filter %d %s %s \n"},
    {.column = "JTPSP",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GoaaWork, jtpspFlag, jtpspHost, jtpsp)},
     .matchTrace = "JTPSP match Index Filter %d %s %s \n"},
    {.column = "ORIGINNODE",
     .match = vxr::exact(),
     .slots = {kOrigin},
     .matchTrace = "ORIGINNODE match Index Filter %d %s %s \n"},
};

constexpr char kAllocRx4[] = "Unable to allocate Storage for RX4count Result\n";
enum Table : uint8_t { kRx4Table, kTotalsTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GoaaWork, rx4Table, rx4List, kRx4ElementSize, 10, vxr::kTraceAlways, kAllocRx4),
    VXR_TABLE(GoaaWork, getpTable, getpList, kTotalsElementSize, 10, vxr::kTraceAlways, kAllocRx4),
    VXR_TABLE(GoaaWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GOAA result\n"),
    VXR_TABLE(GoaaWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kRx4Table, kTotalsTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GOAAWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GoaaWork)} ? kWorkAreaSize : int32_t{sizeof(GoaaWork)},
    .rowsEmitted = offsetof(GoaaWork, rowsEmitted),
    .summaryList = offsetof(GoaaWork, summaryList),
    .emissionCursor = offsetof(GoaaWork, emissionCursor),
    .nodeList = offsetof(GoaaWork, nodeList),
    .emitted = {kTraceDetail, "GOAA Anchor at %8X. OAAL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveGroup,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectLGOAACT returned FALSE, EOD no data\n"},
    .afterCollect = afterCollect,
    .beforeEmit = beforeEmit,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgoaasr, xrgoaapr, xrgoaats);
VXR_MODULE(VXRGOAAL, xrgoaasr, xrgoaapr, xrgoaats, VXR_FLAVOUR_WINDOWS ? "level410" : "level200",
           vxrBuildDate, vxrBuildTime);
