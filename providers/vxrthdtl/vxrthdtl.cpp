// VXRTHDTL: group threads (its source traces under the unit VXRGTHDL).
//
// Lists the threads that the members of a data sharing group report: one
// output row per member row, nothing merged, with the group's managed-system
// name in ORIGINNODE. Every online member agent is asked for its
// VXR.XR_TH_EXC rows (one SELECT per member, routed AT its thru node, both
// node names trimmed at their first blank). Rows come out in the reverse of
// the order they were fetched.
//
// Agent versions: an agent whose version is above "04.01.00" (bytewise over
// 8 characters) is asked for 27 columns and delivers the long authorization
// id, package and collection (UEX_AUTHID, UTDIDPACK, UTDIDPCOL) and EX_IDBT.
// An older one is asked for the first 23; its rows carry EX_AUTHID, EX_PKGN
// and EX_COLLID at the start of those three fields, the rest of them and
// EX_IDBT zero.
//
// Filters (operator "equals" only):
//   IDNAME      the group; adds the IDNAME condition to every member query
//   ORIGINNODE  the group's managed-system name; the group is derived from it
//               when no IDNAME filter came, and it names every row
//
// A member that fails, a row with another number of columns than its layout
// asks for, or a row that cannot be kept ends the request without rows.
#include "vxrthdtl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GthdWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* groupTable;
  GthdRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(int32_t);
};

constexpr int32_t kWorkAreaSize = 736;
#if VXR_ILP32
static_assert(sizeof(GthdWork) <= kWorkAreaSize);
static_assert(offsetof(GthdWork, row) == 32);
static_assert(offsetof(GthdWork, rowsEmitted) == 656);
static_assert(offsetof(GthdWork, idname) == 672);
static_assert(offsetof(GthdWork, origin) == 688);
static_assert(vxr::elementSize<GthdRow>() == 632);
#endif

constexpr auto work = vxr::workOf<GthdWork>;

// ---------------------------------------------------------------------------
// Member query

#define GTHD_BASE_SELECT                                                                      \
  "SELECT ORIGINNODE,EX_ETIM,THD_CPU,THD_WAIT,EX_PLAN,EX_QNSID,EX_RX4ID,EX_AUTHID,EX_CONNID," \
  "TH_CONNTYP,THREADSTAT,TH_TYPE,TH_SPN,TH_GROUPN,TH_GMN,IDNAME,EX_TIME,EX_CORRID,DISP_ET,"   \
  "DISP_CPU,DISP_WAIT,EX_PKGN,EX_COLLID"
constexpr char kBaseSelect[] = GTHD_BASE_SELECT;
constexpr char kExtendedSelect[] = GTHD_BASE_SELECT ",UEX_AUTHID,UTDIDPACK,UTDIDPCOL,EX_IDBT";
#undef GTHD_BASE_SELECT

#define GTHD_BASE_COLUMNS                                                                          \
  VXR_FIELD(GthdRow, ORIGINNODE), VXR_FIELD(GthdRow, EX_ETIM), VXR_FIELD(GthdRow, THD_CPU),        \
      VXR_FIELD(GthdRow, THD_WAIT), VXR_FIELD(GthdRow, EX_PLAN), VXR_FIELD(GthdRow, EX_QNSID),     \
      VXR_FIELD(GthdRow, EX_RX4ID), VXR_FIELD(GthdRow, EX_AUTHID), VXR_FIELD(GthdRow, EX_CONNID),  \
      VXR_FIELD(GthdRow, TH_CONNTYP), VXR_FIELD(GthdRow, THREADSTAT), VXR_FIELD(GthdRow, TH_TYPE), \
      VXR_FIELD(GthdRow, TH_SPN), VXR_FIELD(GthdRow, TH_GROUPN), VXR_FIELD(GthdRow, TH_GMN),       \
      VXR_FIELD(GthdRow, IDNAME), VXR_FIELD(GthdRow, EX_TIME), VXR_FIELD(GthdRow, EX_CORRID),      \
      VXR_FIELD(GthdRow, DISP_ET), VXR_FIELD(GthdRow, DISP_CPU), VXR_FIELD(GthdRow, DISP_WAIT),    \
      VXR_FIELD(GthdRow, EX_PKGN), VXR_FIELD(GthdRow, EX_COLLID)
constexpr vxr::ColumnField kBaseColumns[] = {GTHD_BASE_COLUMNS};
// The extended columns are raw bytes: what a member delivers short is
// completed with zeros, as the fields an older agent leaves out are.
constexpr vxr::ColumnField kExtendedColumns[] = {
    GTHD_BASE_COLUMNS,
    VXR_FIELD_ZEROED(GthdRow, UEX_AUTHID),
    VXR_FIELD_ZEROED(GthdRow, UTDIDPACK),
    VXR_FIELD_ZEROED(GthdRow, UTDIDPCOL),
    VXR_FIELD_ZEROED(GthdRow, EX_IDBT),
};
#undef GTHD_BASE_COLUMNS
static_assert(std::size(kBaseColumns) == 23 && std::size(kExtendedColumns) == 27);
static_assert(vxr::selectMatches(kBaseSelect, kBaseColumns));
static_assert(vxr::selectMatches(kExtendedSelect, kExtendedColumns));

constexpr vxr::VersionedLayouts kLayouts = {
    .reference = "04.01.00",
    .base = {kBaseSelect, kBaseColumns},
    .extended = {kExtendedSelect, kExtendedColumns},
};

// The four fields an older agent does not deliver: UEX_AUTHID to EX_IDBT.
constexpr size_t kExtendedStart = offsetof(GthdRow, UEX_AUTHID);
constexpr size_t kExtendedEnd = sizeof(GthdRow);

void buildMemberSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                    vxr::SqlText& sql) {
  const GthdWork& w = work(workArea);
  VXR_TRACE(trace, kTraceNodes, "Node=%s Version=%s", node.thruNode, node.version);
  if (kLayouts.extendedFor(node)) VXR_TRACE(trace, vxr::kTraceAlways, "Set numcol V4 Agent");
  vxr::sqlMemberQuery(sql, kLayouts.of(node).select, " FROM VXR.XR_TH_EXC", " AT('", node,
                      " WHERE ORIGINNODE ='");
  if (w.idnameFlag) {
    vxr::sqlConditionWidth(sql, " AND IDNAME ='", w.idname, 8);
    VXR_TRACE(trace, kTraceDetail, "Vtable SQL 4= %s\n", sql.text);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Completion

// The row of an older agent completed: the extended fields zero, the short
// authorization id, package and collection at the start of the long ones.
bool completeRow(void* workArea, const Trace&) {
  GthdWork& w = work(workArea);
  if (!kLayouts.extendedFor(vxr::nodeOf(w.nodeCursor))) {
    char* row = reinterpret_cast<char*>(&w.row);
    std::memset(row + kExtendedStart, 0, kExtendedEnd - kExtendedStart);
    std::memcpy(w.row.UEX_AUTHID, w.row.EX_AUTHID, sizeof w.row.EX_AUTHID);
    std::memcpy(w.row.UTDIDPACK, w.row.EX_PKGN, sizeof w.row.EX_PKGN);
    std::memcpy(w.row.UTDIDPCOL, w.row.EX_COLLID, sizeof w.row.EX_COLLID);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "summarizeGThreadData");
VXR_NAMED_ANCHOR(kCollect, "collectGThreadData");

constexpr vxr::TableSpec kGroupTable =
    VXR_TABLE(GthdWork, groupTable, summaryList, vxr::elementSize<GthdRow>(), 10, kTraceError,
              "Unable to allocate Storage for Group result\n");

// The column count is checked before anything is copied.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .layouts = &kLayouts,
                                       .buildSql = buildMemberSql,
                                       .prepare = completeRow,
                                       .summary = &kGroupTable,
                                       .idnameFilters = true};

// Without an IDNAME filter the group is the one the ORIGINNODE filter names.
void deriveGroup(void* workArea, const Trace& trace) {
  GthdWork& w = work(workArea);
  if (!w.originFlag || w.idnameFlag) return;
  char initial[sizeof w.idname + 1];
  std::memcpy(initial, w.origin, sizeof w.idname);
  initial[sizeof w.idname] = '\0';
  VXR_TRACE(trace, kTraceSql, "Creating Index Filter for IDNAME initial value %s \n", initial);
  vxr::IdnameSlots<GthdWork>::derive(workArea, trace);
  VXR_TRACE(trace, kTraceSql, "Final value for IDNAME is %s \n", w.idname);
}

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GthdWork, kFamily>(vxr::quietTraces({
    .eyeCatcher = "GTHDWORK",
    .workAreaSize = vxr::workAreaSize<GthdWork>(kWorkAreaSize),
    .derive = deriveGroup,
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgthdsr, xrgthdpr, xrgthdts);
// Mounted as VXRTHDTL; the source's trace unit (and so its build
// information) is VXRGTHDL.
VXR_MODULE_UNIT(VXRTHDTL, VXRGTHDL, xrgthdsr, xrgthdpr, xrgthdts, "level200", vxrBuildDate,
                vxrBuildTime);
