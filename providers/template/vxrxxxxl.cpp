// VXRXXXXL: what the table shows and why, for a reader of the module (see
// vxrxxxxl.h for the steps of adding a table, providers/vxrgbppl/ for a
// merging module and providers/vxrtstal/ for one that lists every member
// row). Here: one row per IDNAME with the members' COUNTER added up.
#include "vxrxxxxl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

// The names the filing and the collection trace under.
VXR_NAMED_ANCHOR(kSummarize, "summarizeXxxx");
VXR_NAMED_ANCHOR(kCollect, "collectXxxx");

constexpr vxr::Table<XxxxRow> kTable = {
    .info = &kXxxxTable,
    .eyeCatcher = "XXXXWORK",
    .workAreaSize = 152,
    .query = {.select = "SELECT ORIGINNODE,IDNAME,COUNTER", .base = "VXR.XXXX"},
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for XXXX result\n"}},
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrxxxxsr, xrxxxxpr, xrxxxxts);
VXR_MODULE(VXRXXXXL, xrxxxxsr, xrxxxxpr, xrxxxxts, "level200", vxrBuildDate, vxrBuildTime);
