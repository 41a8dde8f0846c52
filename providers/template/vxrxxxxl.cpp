// VXRXXXXL: what the table shows, its filters and its merge rule, for a
// reader of the module (see vxrxxxxl.h for the steps of adding a table, and
// providers/vxrgotal/ for a complete module on the shared object-activity
// routines).
#include "vxrxxxxl.h"

#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/registration.h"

namespace {

struct XxxxWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  XxxxRow row;
  int32_t rowsEmitted;
  int32_t idnameFlag;
  VXR_SLOT_FIELDS(idname, 8, char);
};

constexpr char kSelect[] = "SELECT ORIGINNODE,IDNAME,COUNTER";
constexpr vxr::ColumnField kColumns[] = {VXR_FIELD(XxxxRow, ORIGINNODE), VXR_FIELD(XxxxRow, IDNAME),
                                         VXR_FIELD(XxxxRow, COUNTER)};
static_assert(vxr::selectMatches(kSelect, kColumns));

constexpr vxr::ByteRange kKey[] = {VXR_KEY(XxxxRow, IDNAME)};
constexpr uint16_t kSums[] = {offsetof(XxxxRow, COUNTER)};
constexpr vxr::MergeRule kMerge = {.sums = kSums};

void buildSql(void* workArea, const vxr::Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const XxxxWork& w = *static_cast<const XxxxWork*>(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.XXXX", " AT ('", node, " WHERE ORIGINNODE ='");
  if (w.idnameFlag) vxr::sqlCondition(sql, " AND IDNAME = '", w.idname, 8);
  vxr::sqlAppend(sql, ";");
}

bool fileRow(void* workArea, const vxr::Trace& trace, const void* sqlda) {
  XxxxWork& w = *static_cast<XxxxWork*>(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, kTraceError)) return false;
  bool created = false;
  void* kept = vxr::findOrFileKeyed(w.summaryTable, &w.row, sizeof w.row, kKey, &created);
  if (kept == nullptr) return false;  // a lost element ends the request without rows
  if (!created) vxr::mergeRow(kept, &w.row, kMerge);
  return true;
}

int32_t collect(void* workArea, const vxr::Trace& trace) {
  XxxxWork& w = *static_cast<XxxxWork*>(workArea);
  return vxr::collectMembers(trace, {.nodes = w.nodeList,
                                     .nodeCursor = &w.nodeCursor,
                                     .context = &w,
                                     .buildSql = buildSql,
                                     .onRow = fileRow});
}

constexpr vxr::FilterSlot kIdname = VXR_SLOT(XxxxWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterRule kRules[] = {
    {.column = "IDNAME", .match = vxr::prefix(6), .slots = {kIdname}}};
constexpr vxr::FilterSlot kCleared[] = {kIdname};

enum Table : uint8_t { kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(XxxxWork, summaryTable, summaryList, vxr::elementSize<XxxxRow>(), 10,
              vxr::kTraceAlways, "Unable to allocate Storage for XXXX result\n"),
    VXR_TABLE(XxxxWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "XXXXWORK",
    .workAreaSize = int32_t{sizeof(XxxxWork)},
    .rowsEmitted = offsetof(XxxxWork, rowsEmitted),
    .summaryList = offsetof(XxxxWork, summaryList),
    .emissionCursor = offsetof(XxxxWork, emissionCursor),
    .nodeList = offsetof(XxxxWork, nodeList),
    .clearedSlots = kCleared,
    .filters = {.rules = kRules},
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrxxxxsr, xrxxxxpr, xrxxxxts);
VXR_MODULE(VXRXXXXL, xrxxxxsr, xrxxxxpr, xrxxxxts, "level200", vxrBuildDate, vxrBuildTime);
