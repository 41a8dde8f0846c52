// VXRGBPPL: group buffer pools.
//
// One row per cache structure of a data sharing group. The same structure
// comes back from several members; the first member's row of it stands
// whole (nothing is added up) and later rows only lower the time stamp, so
// the earliest time stamp may come from another member than the figures.
#include "vxrgbppl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPoolData");
VXR_NAMED_ANCHOR(kCollect, "collectGBPooldata");

// Only cache structures are asked for.
constexpr vxr::Table<GbppRow> kTable = {
    .info = &kGbppTable,
    .eyeCatcher = "GBPPWORK",
    .workAreaSize = 248,
    .query = {.select = "SELECT ORIGINNODE,RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,"
                        "DATAPG,STRUCTS,CONNECT,SMFID,STRUCTN,DSGROUP,TIMESTAMP,STRUCTST,STRUCTT,"
                        "IDNAME",
              .base = "VXR.LGB_POOL",
              .condition = "STRUCTT = 'CACHE'"},
    .collect = &kCollect,
    .file = &kSummarize,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgbppsr, xrgbpppr, xrgbppts);
VXR_MODULE(VXRGBPPL, xrgbppsr, xrgbpppr, xrgbppts, "level200", vxrBuildDate, vxrBuildTime);
