// VXRXXXXL: what the table shows, its filters and its merge rule, for a
// reader of the module (see vxrxxxxl.h for the steps of adding a table,
// providers/vxrgbppl/ for a merging module and providers/vxrtstal/ for one
// that lists every member row).
//
// Filters (operator "equals" only):
//   IDNAME      adds the IDNAME condition to every member query
//   ORIGINNODE  names every row; the IDNAME is derived from it when no
//               IDNAME filter came
//
// Merge rule: key IDNAME. The first row of a key is copied whole; later rows
// add their COUNTER. Rows come out newest key first.
#include "vxrxxxxl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct XxxxWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  XxxxRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(int32_t);
};

#if VXR_ILP32
static_assert(offsetof(XxxxWork, row) == 32);
static_assert(offsetof(XxxxWork, rowsEmitted) == 76);
static_assert(sizeof(XxxxWork) == 144);
#endif

constexpr auto work = vxr::workOf<XxxxWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] = "SELECT ORIGINNODE,IDNAME,COUNTER";
VXR_SELECT_COLUMNS(kColumns, kSelect, kXxxxRowAttributes, 3);

void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const XxxxWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.XXXX", " AT('", node, " WHERE ORIGINNODE ='");
  if (w.idnameFlag) vxr::sqlCondition(sql, " AND IDNAME = '", w.idname, 8);
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Merging

constexpr vxr::ByteRange kKey[] = {VXR_KEY(XxxxRow, IDNAME)};
constexpr uint16_t kSums[] = {offsetof(XxxxRow, COUNTER)};
constexpr vxr::MergeRule kMerge = {.sums = kSums};

// ---------------------------------------------------------------------------
// Request program

// The names the filing and the collection trace under.
VXR_NAMED_ANCHOR(kSummarize, "summarizeXxxx");
VXR_NAMED_ANCHOR(kCollect, "collectXxxx");

constexpr vxr::TableSpec kSummaryTable =
    VXR_TABLE(XxxxWork, summaryTable, summaryList, vxr::elementSize<XxxxRow>(), 10,
              vxr::kTraceAlways, "Unable to allocate Storage for XXXX result\n");

constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .key = kKey,
                                       .merge = &kMerge,
                                       .summary = &kSummaryTable,
                                       .idnameFilters = true};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<XxxxWork, kFamily>({
    .eyeCatcher = "XXXXWORK",
    .workAreaSize = vxr::workAreaSize<XxxxWork>(),
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrxxxxsr, xrxxxxpr, xrxxxxts);
VXR_MODULE(VXRXXXXL, xrxxxxsr, xrxxxxpr, xrxxxxts, "level200", vxrBuildDate, vxrBuildTime);
