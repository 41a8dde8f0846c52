// VXRTHDTL: group threads (its source traces under the unit VXRGTHDL).
//
// Every thread the members of a data sharing group report, one row per
// member row, nothing merged, named by the group. An agent above "04.01.00"
// delivers the long authorization id, package and collection (UEX_AUTHID,
// UTDIDPACK, UTDIDPCOL) and EX_IDBT; an older one's rows carry EX_AUTHID,
// EX_PKGN and EX_COLLID at the start of those three fields, the rest of them
// and EX_IDBT zero.
#include "vxrthdtl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

// The row of an older agent completed: the short authorization id, package
// and collection at the start of the long ones.
void completeRow(GthdRow& row, bool older, const vxr::Trace&) {
  if (!older) return;
  std::memcpy(row.UEX_AUTHID, row.EX_AUTHID, sizeof row.EX_AUTHID);
  std::memcpy(row.UTDIDPACK, row.EX_PKGN, sizeof row.EX_PKGN);
  std::memcpy(row.UTDIDPCOL, row.EX_COLLID, sizeof row.EX_COLLID);
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeGThreadData");
VXR_NAMED_ANCHOR(kCollect, "collectGThreadData");

// The column count is checked before anything is copied; a failing member,
// a wrong column count or a row that cannot be kept withholds every row.
// "Set numcol V4 Agent" is traced whatever the level.
constexpr vxr::Table<GthdRow> kTable = {
    .info = &kGthdTable,
    .eyeCatcher = "GTHDWORK",
    .workAreaSize = 736,
    .query = {.select = "SELECT ORIGINNODE,EX_ETIM,THD_CPU,THD_WAIT,EX_PLAN,EX_QNSID,EX_RX4ID,"
                        "EX_AUTHID,EX_CONNID,TH_CONNTYP,THREADSTAT,TH_TYPE,TH_SPN,TH_GROUPN,TH_GMN,"
                        "IDNAME,EX_TIME,EX_CORRID,DISP_ET,DISP_CPU,DISP_WAIT,EX_PKGN,EX_COLLID",
              .base = "VXR.XR_TH_EXC"},
    .agents = {.above = "04.01.00", .further = ",UEX_AUTHID,UTDIDPACK,UTDIDPCOL,EX_IDBT"},
    .collect = &kCollect,
    .file = &kSummarize,
    .lines = {.node = {kTraceNodes, "Node=%s Version=%s"},
              .extended = {vxr::kTraceAlways, "Set numcol V4 Agent"},
              .conditions = {kTraceDetail, "Vtable SQL 4= %s\n"},
              .deriving = {kTraceSql, "Creating Index Filter for IDNAME initial value %s \n"},
              .derived = {kTraceSql, "Final value for IDNAME is %s \n"}},
    .complete = completeRow,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgthdsr, xrgthdpr, xrgthdts);
// Mounted as VXRTHDTL; the source's trace unit (and so its build
// information) is VXRGTHDL.
VXR_MODULE_UNIT(VXRTHDTL, VXRGTHDL, xrgthdsr, xrgthdpr, xrgthdts, "level200", vxrBuildDate,
                vxrBuildTime);
