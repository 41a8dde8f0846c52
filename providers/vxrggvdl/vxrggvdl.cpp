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

// IDNAME fills the DSGROUP value too. The volume (at most 7 characters),
// database and space conditions come only with a group filter; without one
// the group condition takes the group the ORIGINNODE filter names.
constexpr char kGroupCondition[] = " AND       LGOAVDB.DSGROUP = '";
constexpr vxr::Filter kFilters[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .alsoColumn = "IDNAME",
     .alsoMatch = vxr::prefix(6),
     .condition = kGroupCondition,
     .literal = vxr::Literal::Trimmed},
    {.column = nullptr,
     .condition = kGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    {.column = "JVPVOL",
     .match = vxr::prefix(6),
     .sent = 7,
     .condition = " AND   LGOAVDB.JVPVOL  = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    {.column = "JVPDB",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAVDB.JVPDB   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    {.column = "JVPSP",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAVDB.JVPSP   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    vxr::kOriginFilter,
};

// Rows merge only under a database or volume filter, and not with a space
// filter.
constexpr vxr::KeyChoice kKeys[] = {
    {"JVPSP", nullptr, {kTraceDetail, "Spacename supplied, No Summary\n"}},
    {"JVPDB", "DSGROUP,JVPVOL,JVPDB,JVPSP", {kTraceDetail, "summarizeGVD filterJVPDB\n"}},
    {"JVPVOL", "DSGROUP,JVPVOL,JVPDB", {kTraceDetail, "summarizeGVD filterJVPVOL\n"}},
    {nullptr, nullptr, {kTraceDetail, "Volume not supplied, No Data\n"}},
};

constexpr vxr::Largest kLargest[] = {
    {"JVPMTIOR", "JVPTIOR"}, {"JVPMRIOR", "JVPRIOR"}, {"JVPMWIOR", "JVPWIOR"}};

// A row that cannot be kept whole makes the collection false.
constexpr vxr::Table<GgvdRow> kTable = {
    .info = &kGgvdTable,
    .eyeCatcher = "GGVDWORK",
    .workAreaSize = 348,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,"
                        "JVPDSNS,JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR",
              .base = "VXR.LGOAVDB",
              .routing = vxr::kAtSpaced},
    .filters = kFilters,
    .sums = "JVPDSNS,JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR",
    .earliest = "TIMESTAMP",
    .largest = kLargest,
    .keys = kKeys,
    .members = {.into = "RX4COUNT",
                .database = "JVPDB",
                .note = &kSumRx4s,
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
