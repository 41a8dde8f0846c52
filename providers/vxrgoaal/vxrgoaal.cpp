// VXRGOAAL: group object activity.
//
// The object activity of the members of a data sharing group, merged as the
// filters ask: under a space filter every member row stands alone; under a
// database filter rows merge per group, database and space; under an IDNAME
// filter (or a group the ORIGINNODE filter names) per group and database;
// otherwise every row stands alone. Merged rows add their ten counters,
// keep the earliest TIMESTAMP and count themselves in ROWSMERGED; NUMRX4 is
// the number of members that reported the database. Each row is finished
// as it is handed out: rates averaged over the rows merged, getpages per
// read, and its shares of the group's (or, under a database filter, the
// database's) totals of getpages and I/O. The database and space conditions
// narrow a group's query only.
#include "vxrgoaal.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "summarizeOAA");
VXR_NAMED_ANCHOR(kTotals, "summGETP");
VXR_NAMED_ANCHOR(kRate, "calcOAArate");
VXR_NAMED_ANCHOR(kCollect, "collectLGOAACT");
VXR_NAMED_ANCHOR(kSumRx4s, "sumRX4s");
VXR_NAMED_ANCHOR(kUpdateRx4Count, "updateRX4Count");

constexpr vxr::GroupTotals kTotalsOf = {
    .getpages = "JTPGETP",
    .reads = "JTPSYNR,JTPPREF",
    .io = "JTPSYNR,JTPPREF,JTPASYW,JTPOTHW",
    .rates = "JTPGPR,JTPSYR,JTPPRR,JTPASR,JTPOTR",
    .ratio = "JTPRIOR",
    .getpageShare = "JTPPCGP",
    .ioShare = "JTPPCIO",
    .spaceFilter = "JTPSP",
    .databaseFilter = "JTPDB",
    .add = &kTotals,
    .adding = vxr::activityScopes("summGETP filterJTPDB\n", "summGETP filterDSGROUP\n"),
    .finish = &kRate,
    .finishing = vxr::activityScopes("calcOAArate filterJTPDB\n", "calcOAArate filterDSGROUP\n")};

constexpr vxr::Table<GoaaRow> kTable = {
    .info = &kGoaaTable,
    .eyeCatcher = "GOAAWORK",
    .workAreaSize = 360,
    .query = {.select =
                  "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,"
                  "JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,"
                  "JTPASR,JTPOTR,JTPRIOR",
              .base = "VXR.LGOAACT",
              .routing = vxr::kAtSpaced},
    .members = {.note = &kSumRx4s,
                .count = &kUpdateRx4Count,
                .line = {kTraceDetail, "NUMRX4    for DB %s is %d\n"}},
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.emitted = {kTraceDetail, "GOAA Anchor at %8X. OAAL link at %8x.\n"},
              .collectFailed = {kTraceDetail, "collectLGOAACT returned FALSE, EOD no data\n"},
              .groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for GOAA result\n"}},
    .filing = {.merging = "summarizeOAA Summary Record\n", .filing = "Add new record to group\n"},
    .lines = vxr::kActivityLines,
    .totals = &kTotalsOf,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgoaasr, xrgoaapr, xrgoaats);
VXR_MODULE(VXRGOAAL, xrgoaasr, xrgoaapr, xrgoaats, VXR_FLAVOUR_WINDOWS ? "level410" : "level200",
           vxrBuildDate, vxrBuildTime);
