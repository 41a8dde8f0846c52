// VXRGGVSL: group volume summary.
//
// The volumes the members of a data sharing group use, one row per group and
// volume: I/O, data sets and extents added up over the members, utilization,
// response time, the two rates and use averaged over them, the largest
// response time and database I/O rate of any member, the database share of
// the volume's I/O in per mille and the extents per data set in tenths (both
// 0 when their divisor is 0).
#include "vxrggvsl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

constexpr uint16_t kAveraged[] = {offsetof(GgvsRow, JVSVUTIL), offsetof(GgvsRow, JVSVRESP),
                                  offsetof(GgvsRow, JVSTIOR), offsetof(GgvsRow, JVSDBIR),
                                  offsetof(GgvsRow, JVSVUSE)};

void calcGVSrate(GgvsRow& row, bool) {
  VXR_FUNCTION("calcGVSrate");
  row.JVSDBSHR = vxr::ratioOverPositive(row.JVSDBIO, 1000, row.JVSTIO);
  vxr::averageFields(&row, kAveraged, row.NUMRX4);
  row.JVSEXTR = vxr::ratioOverPositive(row.JVSEXTS, 10, row.JVSDSNS);
  VXR_RETURN_VOID();
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeGVS");
VXR_NAMED_ANCHOR(kCollect, "collectGOAVOLS");

// A row that cannot be kept makes the collection false.
constexpr vxr::Table<GgvsRow> kTable = {
    .info = &kGgvsTable,
    .eyeCatcher = "GGVSWORK",
    .workAreaSize = 268,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVSVOLN,JVSVUTIL,"
                        "JVSVRESP,JVSTIO,JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE",
              .base = "VXR.LGOAVOL",
              .routing = vxr::kAtSpaced},
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.emitted = {kTraceDetail, "GGVS Anchor at %8X. GVSL link at %8x.\n"},
              .collectFailed = {kTraceDetail, "collectGOAVOLS returned FALSE, EOD no data\n"},
              .groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for GGVS result\n"}},
    .beforeEmit = calcGVSrate,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrggvssr, xrggvspr, xrggvsts);
VXR_MODULE(VXRGGVSL, xrggvssr, xrggvspr, xrggvsts, "level200", vxrBuildDate, vxrBuildTime);
