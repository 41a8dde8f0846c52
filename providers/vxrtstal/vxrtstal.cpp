// VXRTSTAL: thread exceptions of the group.
//
// Every member row of VXR.XR_TH_EXC as it came, named by the group; nothing
// is added up, and the last row fetched comes out first. A row that cannot
// be kept, a wrong column count or a failing member withholds every row.
#include "vxrtstal.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

VXR_NAMED_ANCHOR(kSummarize, "summarizeThreadsData");
VXR_NAMED_ANCHOR(kCollect, "collectThreadsData");

constexpr vxr::ColumnAlias kAliases[] = {{"EX_PLAN", "PLAN_NAME"}, {"EX_CORRID", "CORRID"}};

// A row that cannot be kept makes the collection fail.
constexpr vxr::Table<TstaRow> kTable = {
    .info = &kTstaTable,
    .eyeCatcher = "THDSWORK",
    .workAreaSize = 296,
    .query = {.select = "SELECT ORIGINNODE,EX_TIME,EX_QNSID,IDNAME,EX_RX4ID,TH_GROUPN,EX_PLAN,"
                        "EX_CORRID,EX_GETP,EX_UPDCNT,EX_SRDCNT,EX_PREF,IMMWIO,LISTPREF,DYNPREF,"
                        "SUCHPR,SUCHPW,UNSUCHPR,UNSUCHPW,UNGPOP,APAGER,PHPMOVE,TYPE_IND",
              .base = "VXR.XR_TH_EXC"},
    .aliases = kAliases,
    .collect = &kCollect,
    .file = &kSummarize,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrthdssr, xrthdspr, xrthdsts);
VXR_MODULE(VXRTSTAL, xrthdssr, xrthdspr, xrthdsts, "level200", vxrBuildDate, vxrBuildTime);
