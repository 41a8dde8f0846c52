// VXRGOTAL: group object thread activity.
//
// The thread-level object activity of the members of a data sharing group
// (database, space, plan, authorisation id, correlation id), added up over
// the group: under a space filter every member row stands alone, under a
// database filter rows merge per group, database and space, otherwise per
// group and database. Merged rows add their seven counts and seven rates,
// keep the earliest TIMESTAMP and count themselves in ROWSMERGED. Each row
// is finished as it is handed out: rates averaged over the rows merged,
// getpages per read, and its shares of the group's (or, under a database
// filter, the database's) totals of getpages and I/O. A database or space
// filter narrows the member's answer with or without a group filter; the
// SQL takes at most nine characters of its value.
#include "vxrgotal.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "summarizeOTA");
VXR_NAMED_ANCHOR(kTotals, "summGETP");
VXR_NAMED_ANCHOR(kRate, "calcOTArate");
VXR_NAMED_ANCHOR(kCollect, "collectLGOAOTA");

constexpr vxr::GroupTotals kTotalsOf = {
    .getpages = "JT7GETP",
    .reads = "JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE",
    .io = "JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW",
    .rates = "JT7GPR,JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR",
    .ratio = "JT7RIOR",
    .getpageShare = "JT7PCGP",
    .ioShare = "JT7PCIO",
    .spaceFilter = "JT7SPNM",
    .databaseFilter = "JT7DBNM",
    .add = &kTotals,
    .adding = vxr::activityScopes("summGETP filterJT7DB\n", "summGETP filterDSGROUP\n"),
    .finish = &kRate,
    .finishing = vxr::activityScopes("calcOTArate filterJT7DBNM\n", "calcOTArate filterDSGROUP\n"),
    .perBlock = 30};

constexpr vxr::Table<GotaRow> kTable = {
    .info = &kGotaTable,
    .eyeCatcher = "GOTAWORK",
    .workAreaSize = 372,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,"
                        "JT7PLNM,JT7AUID,JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,"
                        "JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,"
                        "JT7RIOR",
              .base = "VXR.LGOATHA",
              .routing = vxr::kAtSpaced},
    .perBlock = 30,
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.emitted = {kTraceDetail, "GOTA Anchor at %8X. OTAL link at %8x.\n"},
              .collectFailed = {kTraceDetail, "collectLGOAOTA returned FALSE, EOD no data\n"},
              .groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for GOTA result\n"}},
    .filing = {.merging = "summarizeOTA Summary Record\n", .filing = "Add new record to group\n"},
    .lines = vxr::kActivityLines,
    .totals = &kTotalsOf,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgotasr, xrgotapr, xrgotats);
VXR_MODULE(VXRGOTAL, xrgotasr, xrgotapr, xrgotats, "level200", vxrBuildDate, vxrBuildTime);
