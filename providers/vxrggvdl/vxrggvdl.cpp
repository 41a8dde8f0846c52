// VXRGGVDL: volume use by database, merged over the group.
//
// One row per volume, database and space a member holds: its data sets and
// extents, the volume use, the I/O counts and rates. Under a volume or
// database filter the rows merge: the counts and I/O figures are added, the
// volume use and the three rates are averaged over the members holding the
// database (RX4COUNT), and the largest rate of any merged row stands beside
// each average (JVPMTIOR, JVPMRIOR, JVPMWIOR). A row of its own keeps its
// figures.
#include "vxrggvdl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

// The averages of a merged row: its sums over the members holding the
// database.
void calcGVDrate(GgvdRow& row, bool merged) {
  VXR_FUNCTION("calcGVDrate");
  if (merged && row.RX4COUNT > 1) {
    for (int32_t* average : {&row.JVPTIOR, &row.JVPRIOR, &row.JVPWIOR, &row.JVPVUSE}) {
      *average /= row.RX4COUNT;
    }
  }
  VXR_RETURN_VOID();
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeGVD");
VXR_NAMED_ANCHOR(kCollect, "collectGOAVOLD");
VXR_NAMED_ANCHOR(kSumRx4s, "sumRX4s");
VXR_NAMED_ANCHOR(kUpdateRx4Count, "updateRX4Count");

// A row that cannot be kept whole makes the collection false.
constexpr vxr::Table<GgvdRow> kTable = {
    .info = &kGgvdTable,
    .eyeCatcher = "GGVDWORK",
    .workAreaSize = 348,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,"
                        "JVPDSNS,JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR",
              .base = "VXR.LGOAVDB",
              .routing = vxr::kAtSpaced},
    .members = {.note = &kSumRx4s,
                .count = &kUpdateRx4Count,
                .line = {kTraceDetail, "RX4COUNT  for DB %s is %d\n"}},
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.emitted = {kTraceDetail, "GGVD Anchor at %8X. GVDL link at %8x.\n"},
              .collectFailed = {kTraceDetail, "collectGOAVOLD returned FALSE, EOD no data\n"},
              .groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for GGVD result\n"}},
    .filing = {.filed = "Add new record to group\n"},
    .beforeEmit = calcGVDrate,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrggvdsr, xrggvdpr, xrggvdts);
VXR_MODULE(VXRGGVDL, xrggvdsr, xrggvdpr, xrggvdts, "level200", vxrBuildDate, vxrBuildTime);
