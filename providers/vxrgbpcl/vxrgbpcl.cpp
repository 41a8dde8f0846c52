// VXRGBPCL: group buffer pool connections.
//
// One row per connection of a system to a group buffer pool structure of a
// data sharing group. Several members see the same connection; the first
// member's row of it stands whole and later rows only lower the time stamp.
// Every member's connections are asked for; an IDNAME filter (or the group
// an ORIGINNODE filter names) keeps only that IDNAME's rows, so that no
// other group's connection is named by the requested group.
#include "vxrgbpcl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPConnData");
VXR_NAMED_ANCHOR(kCollect, "collectGBPConndata");

constexpr vxr::Table<GbpcRow> kTable = {
    .info = &kGbpcTable,
    .eyeCatcher = "GBPCWORK",
    .workAreaSize = 244,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,CONSTAT,STRUCTN,DSGROUPN,DSGROUPE,"
                        "CF_NAME,JOBNAME,RX4ID,IDNAME",
              .base = "VXR.LGBP_CONN"},
    .collect = &kCollect,
    .file = &kSummarize,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgbpcsr, xrgbpcpr, xrgbpcts);
VXR_MODULE(VXRGBPCL, xrgbpcsr, xrgbpcpr, xrgbpcts, "level200", vxrBuildDate, vxrBuildTime);
