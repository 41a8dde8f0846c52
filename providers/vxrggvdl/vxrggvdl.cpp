// VXRGGVDL: volume use by database, merged over the group.
//
// Every online member agent is asked for its VXR.LGOAVDB rows (one SELECT per
// member, routed AT its thru node: one row per volume, database and space
// with the space's data sets and extents, the volume use, the I/O counts and
// rates). Rows merge under a volume or database filter: the counts and I/O
// figures are added, the volume use and the three rates are averaged over
// the members holding the database (RX4COUNT), and the largest rate of any
// merged row stands beside each average (JVPMTIOR, JVPMRIOR, JVPMWIOR).
//
// Filters (operator "equals" only):
//   DSGROUP*    the group; with it the member query also takes the volume
//               (at most 7 characters), database and space filters
//   IDNAME*     the group as well (sets the DSGROUP value too)
//   JVPVOL*     the volume: rows merge by group, volume and database
//   JVPDB*      the database: rows merge by group, volume, database and space
//   JVPSP*      the space: no merging (wins over the two above)
//   ORIGINNODE  the group's managed-system name; without an IDNAME filter the
//               group condition takes the group it names, and it names every
//               row
//
// Merge rule: the first row of a key is copied whole and its rates seed the
// largest rates; later rows add their nine figures, raise the largest rates
// and keep the earliest TIMESTAMP. RX4COUNT counts the distinct members with
// rows for the group and database. Only rows merged under a key are averaged
// (divided by RX4COUNT when above 1); a row of its own keeps its figures.
#include "vxrggvdl.h"

#include "vxr/chars.h"
#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct GgvdWork {
  VXR_WORK_HEADER;
  VXR_ListHeader* memberList;
  VXR_ListLinks* memberUnused;
  VXR_NODE_FIELDS;
  VXR_ResultTable* summaryTable;
  VXR_ResultTable* memberTable;
  GgvdRow row;
  int32_t rowsEmitted;
  int32_t jvpdbFlag;
  int32_t jvpspFlag;
  int32_t jvpvolFlag;
  int32_t dsgroupFlag;
  int32_t idnameFlag;
  int32_t originFlag;
  VXR_SLOT_FIELDS(jvpdb, 8, char);
  VXR_SLOT_FIELDS(jvpsp, 8, char);
  VXR_SLOT_FIELDS(jvpvol, 8, char);
  VXR_GROUP_SLOT_FIELDS;
};

constexpr int32_t kWorkAreaSize = 348;
constexpr int32_t kMemberElementSize = vxr::elementSize<vxr::DatabaseMember>();
constexpr int32_t kSummaryElementSize = vxr::elementSize<GgvdRow>();
#if VXR_ILP32
static_assert(sizeof(GgvdWork) <= kWorkAreaSize);
static_assert(offsetof(GgvdWork, nodeTable) == 32);
static_assert(offsetof(GgvdWork, row) == 44);
static_assert(offsetof(GgvdWork, rowsEmitted) == 192);
static_assert(kMemberElementSize == 28);
static_assert(kSummaryElementSize == 156);
#endif

// The member query takes at most this many characters of a volume filter.
constexpr size_t kVolumeValueChars = 7;

constexpr auto work = vxr::workOf<GgvdWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,JVPDSNS,JVPEXTS,"
    "JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR";

VXR_SELECT_COLUMNS(kColumns, kSelect, kGgvdRowAttributes, 18);

// The volume, database and space conditions come only with a group filter.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const GgvdWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.LGOAVDB", " AT ('", node, " WHERE ORIGINNODE ='");
  if (w.dsgroupFlag) {
    vxr::sqlCondition(sql, " AND       LGOAVDB.DSGROUP = '", w.dsgroup, 8);
    if (w.jvpvolFlag) {
      vxr::sqlCondition(sql, " AND   LGOAVDB.JVPVOL  = '", w.jvpvol, kVolumeValueChars);
    }
    if (w.jvpdbFlag) vxr::sqlCondition(sql, " AND   LGOAVDB.JVPDB   = '", w.jvpdb, 8);
    if (w.jvpspFlag) vxr::sqlCondition(sql, " AND   LGOAVDB.JVPSP   = '", w.jvpsp, 8);
  } else if (w.idnameFlag) {
    vxr::sqlCondition(sql, " AND       LGOAVDB.DSGROUP = '", w.idname, 8);
  }
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Summarisation

constexpr vxr::ByteRange kSpaceKey[] = {VXR_KEY(GgvdRow, DSGROUP), VXR_KEY(GgvdRow, JVPVOL),
                                        VXR_KEY(GgvdRow, JVPDB), VXR_KEY(GgvdRow, JVPSP)};
constexpr vxr::MergeKey kVolumeKey(kSpaceKey, 3);

constexpr uint16_t kSums[] = {
    offsetof(GgvdRow, JVPDSNS), offsetof(GgvdRow, JVPEXTS), offsetof(GgvdRow, JVPVUSE),
    offsetof(GgvdRow, JVPTIO),  offsetof(GgvdRow, JVPRIO),  offsetof(GgvdRow, JVPWIO),
    offsetof(GgvdRow, JVPTIOR), offsetof(GgvdRow, JVPRIOR), offsetof(GgvdRow, JVPWIOR)};
constexpr vxr::FieldFrom kLargestRates[] = {
    {offsetof(GgvdRow, JVPMTIOR), offsetof(GgvdRow, JVPTIOR)},
    {offsetof(GgvdRow, JVPMRIOR), offsetof(GgvdRow, JVPRIOR)},
    {offsetof(GgvdRow, JVPMWIOR), offsetof(GgvdRow, JVPWIOR)}};
constexpr vxr::MergeRule kMerge = {
    .sums = kSums, .timestamp = offsetof(GgvdRow, TIMESTAMP), .maximaFrom = kLargestRates};

// Rows merge only under a database or volume filter, and not with a space
// filter.
bool keyed(const GgvdWork& w) {
  return !w.jvpspFlag && (w.jvpdbFlag || w.jvpvolFlag);
}

// The key rows merge by under the request's filters (none: every row by
// itself), traced under the filing function.
vxr::MergeKey keyFor(const void* workArea, const Trace& trace) {
  const GgvdWork& w = *static_cast<const GgvdWork*>(workArea);
  if (w.jvpspFlag) {
    VXR_TRACE(trace, kTraceDetail, "Spacename supplied, No Summary\n");
    return {};
  }
  if (w.jvpdbFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeGVD filterJVPDB\n");
    return kSpaceKey;
  }
  if (w.jvpvolFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeGVD filterJVPVOL\n");
    return kVolumeKey;
  }
  VXR_TRACE(trace, kTraceDetail, "Volume not supplied, No Data\n");
  return {};
}

VXR_NAMED_ANCHOR(kSumRx4s, "sumRX4s");

// Notes the row's member under its group and database.
bool sumRX4s(void* workArea) {
  GgvdWork& w = work(workArea);
  return vxr::noteDatabaseMemberTraced(&kSumRx4s, w.memberTable, w.row.DSGROUP, w.row.JVPDB,
                                       w.row.RX4ID);
}

constexpr uint16_t kRowGroupDatabase[] = {offsetof(GgvdRow, DSGROUP), offsetof(GgvdRow, JVPDB)};

extern "C" void updateRX4Count(GgvdWork* w) {
  VXR_FUNCTION("updateRX4Count");
  const vxr::KeyedCount counts[] = {
      {w->memberTable, vxr::kMembersOfDatabase, kRowGroupDatabase, offsetof(GgvdRow, RX4COUNT)}};
  vxr::fillCounts(w->summaryList, counts);
  for (VXR_ListLinks* element : vxr::walk(w->summaryList)) {
    const auto* row = static_cast<const GgvdRow*>(vxr::elementData(element));
    VXR_TRACE(trace, kTraceDetail, "RX4COUNT  for DB %s is %d\n", vxr::terminated(row->JVPDB).text,
              row->RX4COUNT);
  }
  VXR_RETURN_VOID();
}

// The averages of a merged row: its sums over the members holding the
// database.
extern "C" void calcGVDrate(GgvdWork* w, GgvdRow* row) {
  VXR_FUNCTION("calcGVDrate");
  if (keyed(*w) && row->RX4COUNT > 1) {
    for (int32_t* average : {&row->JVPTIOR, &row->JVPRIOR, &row->JVPWIOR, &row->JVPVUSE}) {
      *average /= row->RX4COUNT;
    }
  }
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "summarizeGVD");
VXR_NAMED_ANCHOR(kCollect, "collectGOAVOLD");

// A row that cannot be kept whole makes the collection false.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .merge = &kMerge,
                                       .texts = {.filed = "Add new record to group\n"},
                                       .keyFor = keyFor,
                                       .alsoFile = sumRX4s};

void afterCollect(void* workArea, const Trace&) {
  updateRX4Count(&work(workArea));
}
void beforeEmit(void* workArea, const Trace&, void* row) {
  calcGVDrate(&work(workArea), static_cast<GgvdRow*>(row));
}

// Without an IDNAME filter the group condition takes the group the
// ORIGINNODE filter names; the DSGROUP flag stays as the filters left it.
using Slots = vxr::GroupSlots<GgvdWork>;

constexpr FilterRule kFilterRules[] = {
    Slots::dsgroupRule,
    Slots::idnameGroupRule,
    {.column = "JVPVOL",
     .match = vxr::prefix(6),
     .slots = {VXR_SLOT(GgvdWork, jvpvolFlag, jvpvolHost, jvpvol)}},
    {.column = "JVPDB",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GgvdWork, jvpdbFlag, jvpdbHost, jvpdb)}},
    {.column = "JVPSP",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GgvdWork, jvpspFlag, jvpspHost, jvpsp)}},
    Slots::originRule,
};

enum Table : uint8_t { kMemberTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GgvdWork, memberTable, memberList, kMemberElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for RX4count Result\n"),
    VXR_TABLE(GgvdWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GGVD result\n"),
    VXR_NODE_TABLE(GgvdWork),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kMemberTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GgvdWork, kFamily>({
    .eyeCatcher = "GGVDWORK",
    .workAreaSize = vxr::workAreaSize<GgvdWork>(kWorkAreaSize),
    .emitted = {kTraceDetail, "GGVD Anchor at %8X. GVDL link at %8x.\n"},
    .clearedSlots = Slots::cleared,
    .filters = {.rules = kFilterRules},
    .derive = Slots::derive,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collectFailed = {kTraceDetail, "collectGOAVOLD returned FALSE, EOD no data\n"},
    .afterCollect = afterCollect,
    .beforeEmit = beforeEmit,
    .destroyOrder = kDestroyOrder,
});

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrggvdsr, xrggvdpr, xrggvdts);
VXR_MODULE(VXRGGVDL, xrggvdsr, xrggvdpr, xrggvdts, "level200", vxrBuildDate, vxrBuildTime);
