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
#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

struct GoaaTotalsElement {  // the group totals, with the element's spare bytes
  vxr::GetpTotals totals;
  char spare[8];
};

struct GoaaWork {
  VXR_WORK_HEADER;
  VXR_ListHeader* rx4List;
  VXR_ListHeader* getpList;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  VXR_ResultTable* rx4Table;
  VXR_ResultTable* getpTable;
  GoaaRow row;
  int32_t rowsEmitted;
  int32_t databaseFlag;  // JTPDB
  int32_t spaceFlag;     // JTPSP
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  VXR_SLOT_FIELDS(database, 8, char);
  VXR_SLOT_FIELDS(space, 8, char);
  VXR_GROUP_SLOT_FIELDS;
};

constexpr int32_t kWorkAreaSize = 360;
constexpr int32_t kRx4ElementSize = vxr::elementSize<vxr::DatabaseMember>();
constexpr int32_t kTotalsElementSize = vxr::elementSize<GoaaTotalsElement>();
#if VXR_ILP32
static_assert(sizeof(GoaaWork) <= kWorkAreaSize);
static_assert(offsetof(GoaaWork, row) == 48);
static_assert(offsetof(GoaaWork, rowsEmitted) == 196);
static_assert(offsetof(GoaaWork, origin) == 288);
static_assert(kRx4ElementSize == 28);
static_assert(kTotalsElementSize == 48);
static_assert(vxr::elementSize<GoaaRow>() == 156);
#endif

// ---------------------------------------------------------------------------
// Member query and merging

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,"
    "JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGoaaRowAttributes, 21);

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

// One element per group, database and member; NUMRX4 counts them per group
// and database.
VXR_NAMED_ANCHOR(kSumRx4s, "sumRX4s");

bool sumRX4s(void* workArea, const void* data) {
  const auto* row = static_cast<const GoaaRow*>(data);
  return vxr::noteDatabaseMemberTraced(&kSumRx4s, static_cast<GoaaWork*>(workArea)->rx4Table,
                                       row->DSGROUP, row->JTPDB, row->RX4ID);
}

extern "C" void updateRX4Count(GoaaWork* w) {
  VXR_FUNCTION("updateRX4Count");
  for (VXR_ListLinks* element : vxr::walk(w->summaryList)) {
    auto* row = static_cast<GoaaRow*>(vxr::elementData(element));
    vxr::DatabaseMember database;
    std::memcpy(database.group, row->DSGROUP, 8);
    std::memcpy(database.database, row->JTPDB, 8);
    row->NUMRX4 = vxr::countKeyed(w->rx4Table, &database, vxr::kMembersOfDatabase);
    VXR_TRACE(trace, kTraceDetail, "NUMRX4    for DB %s is %d\n", vxr::terminated(row->JTPDB).text,
              row->NUMRX4);
  }
  VXR_RETURN_VOID();
}

VXR_ACTIVITY_ANCHORS(kAnchors, summarizeOAA, summGETP, calcOAArate, collectLGOAACT);

constexpr vxr::ActivityWork kWork = vxr::activityWork<GoaaWork>();

constexpr vxr::ActivityModule kActivity = {
    .work = kWork,
    .layout = {.origin = offsetof(GoaaRow, ORIGINNODE),
               .idname = offsetof(GoaaRow, IDNAME),
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
               .ioShare = offsetof(GoaaRow, JTPPCIO)},
    .rowSize = sizeof(GoaaRow),
    // The database and space conditions narrow a group's query only.
    .query = {.select = kSelect,
              .columns = kColumns,
              .from = " FROM VXR.LGOAACT",
              .groupCondition = " AND LGOAACT.DSGROUP = '",
              .databaseCondition = " AND   LGOAACT.JTPDB   = '",
              .spaceCondition = " AND   LGOAACT.JTPSP   = '",
              .namesNeedGroup = true},
    .rules =
        vxr::activityRules(kWork,
                           vxr::FilterRule{.column = "JTPDB",
                                           .match = vxr::prefix(5),
                                           .matchTrace = "JTPDB match Index Filter %d %s %s \n"},
                           vxr::FilterRule{.column = "JTPSP",
                                           .match = vxr::prefix(5),
                                           .matchTrace = "JTPSP match Index Filter %d %s %s \n"}),
    .anchors = kAnchors,
    .merge = {.space = {vxr::MergeScope::None, "Spacename supplied, No Summary\n"},
              .database = {vxr::MergeScope::DatabaseSpace, "summarizeOAA filterJTPDB\n"},
              .idname = {vxr::MergeScope::Database, "summarizeOAA filterIDNAME\n"},
              .none = {vxr::MergeScope::None, "Idname not supplied, No Data\n"}},
    .mergedText = "summarizeOAA Summary Record\n",
    .totalsTexts = {"Spacename supplied, No Summary\n", "summGETP filterJTPDB\n",
                    "summGETP filterDSGROUP\n", "DSGROUP not supplied, No Data\n"},
    .rateTexts = {"Spacename supplied, No Summary\n", "calcOAArate filterJTPDB\n",
                  "calcOAArate filterDSGROUP\n", "DSGROUP not supplied, No Data\n"},
    .memberCount = offsetof(GoaaRow, NUMRX4),
    .alsoFile = sumRX4s,
};

// ---------------------------------------------------------------------------
// Request program

void afterCollect(void* workArea, const vxr::Trace&) {
  updateRX4Count(static_cast<GoaaWork*>(workArea));
}

constexpr char kAllocRx4[] = "Unable to allocate Storage for RX4count Result\n";
enum Table : uint8_t { kRx4Table, kTotalsTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GoaaWork, rx4Table, rx4List, kRx4ElementSize, 10, vxr::kTraceAlways, kAllocRx4),
    vxr::totalsTableOf<GoaaWork>(kTotalsElementSize, 10),
    vxr::summaryTableOf<GoaaWork>(10, "Unable to allocate Storage for GOAA result\n"),
    VXR_NODE_TABLE(GoaaWork),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kRx4Table, kTotalsTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = vxr::activityProgram<kActivity>({
    .eyeCatcher = "GOAAWORK",
    .workAreaSize = vxr::workAreaSize<GoaaWork>(kWorkAreaSize),
    .emitted = {kTraceDetail, "GOAA Anchor at %8X. OAAL link at %8x.\n"},
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collectFailed = {kTraceDetail, "collectLGOAACT returned FALSE, EOD no data\n"},
    .afterCollect = afterCollect,
    .destroyOrder = kDestroyOrder,
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgoaasr, xrgoaapr, xrgoaats);
VXR_MODULE(VXRGOAAL, xrgoaasr, xrgoaapr, xrgoaats, VXR_FLAVOUR_WINDOWS ? "level410" : "level200",
           vxrBuildDate, vxrBuildTime);
