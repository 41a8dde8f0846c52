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
#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

struct GotaWork {
  VXR_WORK_HEADER;
  VXR_ListHeader* getpList;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  VXR_ResultTable* getpTable;
  GotaRow row;
  int32_t rowsEmitted;
  int32_t databaseFlag;  // JT7DBNM
  int32_t spaceFlag;     // JT7SPNM
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  VXR_SLOT_FIELDS(database, 12, char);
  VXR_SLOT_FIELDS(space, 12, char);
  VXR_GROUP_SLOT_FIELDS;
};

constexpr int32_t kWorkAreaSize = 372;
constexpr int32_t kTotalsElementSize = vxr::elementSize<vxr::GetpTotals>();
#if VXR_ILP32
static_assert(sizeof(GotaWork) <= kWorkAreaSize);
static_assert(offsetof(GotaWork, row) == 40);
static_assert(offsetof(GotaWork, rowsEmitted) == 228);
static_assert(offsetof(GotaWork, database) == 256);
static_assert(kTotalsElementSize == 40);
static_assert(vxr::elementSize<GotaRow>() == 196);
#endif

// ---------------------------------------------------------------------------
// Member query and merging

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,JT7PLNM,JT7AUID,"
    "JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,"
    "JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGotaRowAttributes, 28);

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

VXR_ACTIVITY_ANCHORS(kAnchors, summarizeOTA, summGETP, calcOTArate, collectLGOAOTA);

constexpr vxr::ActivityWork kWork = vxr::activityWork<GotaWork>();

constexpr vxr::ActivityModule kActivity = {
    .work = kWork,
    .layout = {.origin = offsetof(GotaRow, ORIGINNODE),
               .idname = offsetof(GotaRow, IDNAME),
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
               .ioShare = offsetof(GotaRow, JT7PCIO)},
    .rowSize = sizeof(GotaRow),
    // Each filter adds its own condition: a database or space filter narrows
    // the member's answer whether or not a group filter came with it. The
    // SQL takes at most nine characters of a database or space value.
    .query = {.select = kSelect,
              .columns = kColumns,
              .from = " FROM VXR.LGOATHA",
              .groupCondition = " AND LGOATHA.DSGROUP = '",
              .databaseCondition = " AND  LGOATHA.JT7DBNM = '",
              .spaceCondition = " AND  LGOATHA.JT7SPNM = '",
              .nameChars = 9},
    .rules =
        vxr::activityRules(kWork,
                           vxr::FilterRule{.column = "JT7DBNM",
                                           .match = vxr::prefix(6),
                                           .matchTrace = "JT7DBNM match Index Filter %d %s %s \n"},
                           vxr::FilterRule{.column = "JT7SPNM",
                                           .match = vxr::prefix(6),
                                           .matchTrace = "JT7SPNM match Index Filter %d %s %s \n"}),
    .anchors = kAnchors,
    // Without a space filter rows are always merged, at least per group and
    // database.
    .merge = {.space = {vxr::MergeScope::None, "Space name supplied, No Summary\n"},
              .database = {vxr::MergeScope::DatabaseSpace, "summarizeOTA filterJT7DBNM\n"},
              .idname = {vxr::MergeScope::Database, "summarizeOTA filterJT7DBNM\n"},
              .none = {vxr::MergeScope::Database, "summarizeOTA filterJT7DBNM\n"}},
    .mergedText = "summarizeOTA Summary Record\n",
    .totalsTexts = {"Spacename supplied, No Summary\n", "summGETP filterJT7DB\n",
                    "summGETP filterDSGROUP\n", "DSGROUP not supplied, No Data\n"},
    .rateTexts = {"Spacename supplied, No Summary\n", "calcOTArate filterJT7DBNM\n",
                  "calcOTArate filterDSGROUP\n", "DSGROUP not supplied, No Data\n"},
};

// ---------------------------------------------------------------------------
// Request program

enum Table : uint8_t { kTotalsTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    vxr::totalsTableOf<GotaWork>(kTotalsElementSize, 30),
    vxr::summaryTableOf<GotaWork>(30, "Unable to allocate Storage for GOTA result\n"),
    VXR_NODE_TABLE(GotaWork),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kTotalsTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = vxr::activityProgram<kActivity>({
    .eyeCatcher = "GOTAWORK",
    .workAreaSize = vxr::workAreaSize<GotaWork>(kWorkAreaSize),
    .emitted = {kTraceDetail, "GOTA Anchor at %8X. OTAL link at %8x.\n"},
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collectFailed = {kTraceDetail, "collectLGOAOTA returned FALSE, EOD no data\n"},
    .destroyOrder = kDestroyOrder,
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgotasr, xrgotapr, xrgotats);
VXR_MODULE(VXRGOTAL, xrgotasr, xrgotapr, xrgotats, "level200", vxrBuildDate, vxrBuildTime);
