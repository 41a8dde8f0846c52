// VXRGOASL: object space summaries, two tables from one member query.
//
// Every member agent's VXR.LOBJECTS rows (one per database and space, with
// the space's volumes, data sets and extents) are summarised as the table
// the request names asks:
//
//   GOBJECTA   the database summary: one row per group and database with the
//              number of distinct spaces (SPNCount, of which IXCount are index
//              spaces, type INDX or PTIX, and TSCount the others), of distinct
//              members (NUMRX4), the volumes, data sets and extents added over
//              every member row (a space shared by several members counts
//              once in SPNCount but each member's row adds to the sums), the
//              extents per data set in tenths (JAPEXTR) and the largest
//              extent count.
//   any other  the space summary: one row per group, database and space, the
//              first member's figures, NUMRX4 the number of member rows
//              merged, the earliest TIMESTAMP and the largest JAPMEXT; under
//              a space filter every member row stands alone.
#include "vxrgoasl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kCollect, "collectOBJECTS");
VXR_NAMED_ANCHOR(kSummarizeSpaces, "summarizeGOAS");
VXR_NAMED_ANCHOR(kSummarizeDatabases, "summarizeGOAD");
VXR_NAMED_ANCHOR(kSumSpaceName, "sumSpaceName");
VXR_NAMED_ANCHOR(kUpdateSpnCount, "updateSPNCount");

constexpr vxr::MemberQuery kQuery = {
    .select =
        "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JAPDB,JAPSPN,JAPTYPE,JAPBP,"
        "JAPVOLS,JAPDSNS,JAPEXTS,JAPEXTR,JAPMEXT",
    .base = "VXR.LOBJECTS",
    .routing = vxr::kAtSpaced};

constexpr vxr::RequestTexts textsOf(const char* emitted, const char* failed) {
  return {.emitted = {kTraceDetail, emitted},
          .collectFailed = {kTraceDetail, "collectOBJECTS returned FALSE, EOD no data\n"},
          .groupTableFailed = {vxr::kTraceAlways, failed}};
}

constexpr vxr::Table<GoasRow> kSpaces = {
    .info = &kGoasTable,
    .eyeCatcher = "GOASWORK",
    .workAreaSize = 332,
    .query = kQuery,
    .collect = &kCollect,
    .file = &kSummarizeSpaces,
    .texts = textsOf("GOAS Anchor at %8X. GOASL link at %8x.\n",
                     "Unable to allocate Storage for GOAS result\n"),
};

// Extents per data set, in tenths (saturated).
void extentsPerDataSet(GoadRow& row, bool) {
  row.JAPEXTR =
      row.JAPDSNS == 0 ? 0 : vxr::saturate32(int64_t{row.JAPEXTS} * 10 / int64_t{row.JAPDSNS});
}

constexpr char kDatabaseFailed[] = "Unable to allocate Storage for GOAD result\n";
constexpr const char* kIndexKinds[] = {"INDX", "PTIX"};

constexpr vxr::Table<GoadRow, vxr::NoState, GoasRow> kDatabases = {
    .info = &kGoadTable,
    .eyeCatcher = "GOASWORK",
    .workAreaSize = 332,
    .query = kQuery,
    .members = {.count = &kUpdateSpnCount,
                .line = {kTraceDetail, "NUMRX4  for DB %s is %d\n"},
                .tableFailed = {vxr::kTraceAlways, kDatabaseFailed}},
    .collect = &kCollect,
    .file = &kSummarizeDatabases,
    .texts = textsOf("GOAD Anchor at %8X. GOADL link at %8x.\n", kDatabaseFailed),
    .beforeEmit = extentsPerDataSet,
    .memberRow = &kGoasTable,
    .distinct = {.name = "JAPSPN",
                 .kind = "JAPTYPE",
                 .kinds = kIndexKinds,
                 .into = "SPNCount",
                 .ofKinds = "IXCount",
                 .otherKinds = "TSCount",
                 .note = &kSumSpaceName,
                 .line = {kTraceDetail, "SPNCount for DB %s is %d\n"},
                 .tableFailed = {vxr::kTraceAlways, kDatabaseFailed}},
};

}  // namespace

VXR_TABLE_ENTRIES_BY_NAME(kSpaces, kGoadTableName, kDatabases, xrgoassr, xrgoaspr, xrgoasts);
VXR_MODULE(VXRGOASL, xrgoassr, xrgoaspr, xrgoasts, "level200", vxrBuildDate, vxrBuildTime);
