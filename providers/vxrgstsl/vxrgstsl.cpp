// VXRGSTSL: group buffer pool statistics.
//
// Per data sharing group and group buffer pool structure, the 31 counters
// its members report (cross-invalidation and group buffer pool reads,
// changed and clean writes, castouts, read and write failures, ...) added up
// over the members; the first member's SYSID, IDNAME and RX4ID stand. With a
// structure filter every member row is handed out by itself (detail mode).
// A DSGROUP filter by itself adds nothing: the group condition comes from
// the ORIGINNODE filter alone.
#include "vxrgstsl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "sumGstsGroup");
VXR_NAMED_ANCHOR(kCollect, "collectGstsGroup");

// A lost element makes the collection false.
constexpr vxr::Table<GstsRow> kTable = {
    .info = &kGstsTable,
    .eyeCatcher = "GSTSWORK",
    .workAreaSize = 344,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,DSGROUP,IDNAME,STRUCTN,NUMRX4,"
                        "XIREAD,XIREADN,GBPREAD,GBPREADN,CHGWRITE,CLNWRITE,PFREAD,PFREADN,RDFAILS,"
                        "WRFAILS,SYSWRCHN,SYSWRCLN,COCLASST,COGBPT,COPAGES,COENGNA,WRENGNA,RPLREQ,"
                        "RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,STGSTAT,UNLCO,READCOC,READCOST,DELNAME,"
                        "RDIRINFO,UNREGP,REGPAGE",
              .base = "VXR.LGBPSTAT",
              .routing = vxr::kAtSpacedOriginJoined},
    .mismatchLevel = kTraceError,
    .perBlock = 30,
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = vxr::stepTexts({.startBanner = {kTraceDetail, "Set up VXRGSTSL\n"},
                             .emitted = {kTraceRow, "Gsts Anchor at %8X. Gstslm link at %8x.\n"}}),
    .queryTexts = &vxr::kFetchLoopTexts,
    .filing = vxr::kGroupRecordTexts,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgstssr, xrgstspr, xrgststs);
VXR_MODULE(VXRGSTSL, xrgstssr, xrgstspr, xrgststs, "level200", vxrBuildDate, vxrBuildTime);
