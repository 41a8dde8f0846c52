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
#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct Member {
  char DSGROUP[8];
  char JVPDB[8];
  char RX4ID[4];
};

struct GgvdWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* memberList;
  VXR_ListLinks* memberUnused;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
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
  const char* jvpdbHost;
  char jvpdb[8];
  char jvpdbEnd;
  const char* jvpspHost;
  char jvpsp[8];
  char jvpspEnd;
  const char* jvpvolHost;
  char jvpvol[8];
  char jvpvolEnd;
  const char* dsgroupHost;
  char dsgroup[8];
  char dsgroupEnd;
  const char* idnameHost;
  char idname[8];
  char idnameEnd;
  const char* originHost;
  char origin[32];
  char originEnd;
};

constexpr int32_t kWorkAreaSize = 348;
constexpr int32_t kMemberElementSize = vxr::elementSize<Member>();
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

GgvdWork& work(void* workArea) {
  return *static_cast<GgvdWork*>(workArea);
}

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,JVPDSNS,JVPEXTS,"
    "JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR";

constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(GgvdRow, ORIGINNODE), VXR_FIELD(GgvdRow, TIMESTAMP), VXR_FIELD(GgvdRow, SYSID),
    VXR_FIELD(GgvdRow, RX4ID),      VXR_FIELD(GgvdRow, IDNAME),    VXR_FIELD(GgvdRow, DSGROUP),
    VXR_FIELD(GgvdRow, JVPVOL),     VXR_FIELD(GgvdRow, JVPDB),     VXR_FIELD(GgvdRow, JVPSP),
    VXR_FIELD(GgvdRow, JVPDSNS),    VXR_FIELD(GgvdRow, JVPEXTS),   VXR_FIELD(GgvdRow, JVPVUSE),
    VXR_FIELD(GgvdRow, JVPTIO),     VXR_FIELD(GgvdRow, JVPRIO),    VXR_FIELD(GgvdRow, JVPWIO),
    VXR_FIELD(GgvdRow, JVPTIOR),    VXR_FIELD(GgvdRow, JVPRIOR),   VXR_FIELD(GgvdRow, JVPWIOR),
};
static_assert(std::size(kColumns) == 18);
static_assert(vxr::selectMatches(kSelect, kColumns));

// The volume, database and space conditions come only with a group filter.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  GgvdWork& w = work(workArea);
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

extern "C" bool summarizeGVD(GgvdWork* w, const GgvdRow* row) {
  VXR_FUNCTION("summarizeGVD");
  vxr::MergeKey key;
  if (w->jvpspFlag) {
    VXR_TRACE(trace, kTraceDetail, "Spacename supplied, No Summary\n");
  } else if (w->jvpdbFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeGVD filterJVPDB\n");
    key = kSpaceKey;
  } else if (w->jvpvolFlag) {
    VXR_TRACE(trace, kTraceDetail, "summarizeGVD filterJVPVOL\n");
    key = kVolumeKey;
  } else {
    VXR_TRACE(trace, kTraceDetail, "Volume not supplied, No Data\n");
  }
  void* kept = nullptr;
  bool created = true;
  if (key.empty()) {
    kept = vxr::fileCopy(w->summaryTable, w->summaryList, row, sizeof *row);
  } else if (VXR_ListLinks* match = vxr::findKeyed(w->summaryTable, row, key)) {
    kept = vxr::elementData(match);
    created = false;
    vxr::mergeRow(kept, row, kMerge);
  } else {
    kept = vxr::fileKeyed(w->summaryTable, row, sizeof *row, key);
  }
  if (kept == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  } else if (created) {
    VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
    vxr::seedMaxima(kept, kMerge);
  }
  vxr::traceExitVoid(trace, __LINE__);
  return kept != nullptr;
}

constexpr vxr::ByteRange kMemberKey[] = {VXR_KEY(Member, DSGROUP), VXR_KEY(Member, JVPDB),
                                         VXR_KEY(Member, RX4ID)};

extern "C" bool sumRX4s(GgvdWork* w, const GgvdRow* row) {
  VXR_FUNCTION("sumRX4s");
  Member member;
  std::memcpy(member.DSGROUP, row->DSGROUP, 8);
  std::memcpy(member.JVPDB, row->JVPDB, 8);
  std::memcpy(member.RX4ID, row->RX4ID, 4);
  bool created = false;
  const bool filed =
      vxr::findOrFileKeyed(w->memberTable, &member, sizeof member, kMemberKey, &created);
  if (!filed) VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  vxr::traceExitVoid(trace, __LINE__);
  return filed;
}

constexpr uint16_t kRowGroupDatabase[] = {offsetof(GgvdRow, DSGROUP), offsetof(GgvdRow, JVPDB)};

extern "C" void updateRX4Count(GgvdWork* w) {
  VXR_FUNCTION("updateRX4Count");
  const vxr::KeyedCount counts[] = {{w->memberTable, vxr::MergeKey(kMemberKey, 2),
                                     kRowGroupDatabase, offsetof(GgvdRow, RX4COUNT)}};
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
// Collection

bool fileMemberRow(void* workArea, const Trace& trace, const void* sqlda) {
  GgvdWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, vxr::kTraceAlways)) return false;
  vxr::setRowOrigin(w.row.ORIGINNODE, w.originFlag, w.origin, w.row.IDNAME);
  // A row that cannot be kept whole makes the collection false.
  bool kept = summarizeGVD(&w, &w.row);
  kept = sumRX4s(&w, &w.row) && kept;
  return kept;
}

extern "C" int32_t collectGOAVOLD(GgvdWork* w) {
  VXR_FUNCTION("collectGOAVOLD");
  const vxr::MemberCollection collection{.nodes = w->nodeList,
                                         .nodeCursor = &w->nodeCursor,
                                         .context = w,
                                         .buildSql = buildMemberSql,
                                         .onRow = fileMemberRow};
  VXR_RETURN(vxr::collectMembers(trace, collection));
}

// ---------------------------------------------------------------------------
// Request program

int32_t collect(void* workArea, const Trace&) {
  return collectGOAVOLD(&work(workArea));
}
void afterCollect(void* workArea, const Trace&) {
  updateRX4Count(&work(workArea));
}
void beforeEmit(void* workArea, const Trace&, void* row) {
  calcGVDrate(&work(workArea), static_cast<GgvdRow*>(row));
}

constexpr vxr::FilterSlot kDsgroup = VXR_SLOT(GgvdWork, dsgroupFlag, dsgroupHost, dsgroup);
constexpr vxr::FilterSlot kIdname = VXR_SLOT(GgvdWork, idnameFlag, idnameHost, idname);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(GgvdWork, originFlag, originHost, origin);
constexpr vxr::FilterSlot kClearedSlots[] = {kDsgroup, kIdname, kOrigin};

// Without an IDNAME filter the group condition takes the group the
// ORIGINNODE filter names; the DSGROUP flag stays as the filters left it.
void deriveGroup(void* workArea, const Trace&) {
  vxr::deriveGroupFilter(workArea, kOrigin, kIdname);
}

constexpr FilterRule kFilterRules[] = {
    {.column = "DSGROUP", .match = vxr::prefix(7), .slots = {kDsgroup}},
    {.column = "IDNAME", .match = vxr::prefix(6), .slots = {kDsgroup, kIdname}},
    {.column = "JVPVOL",
     .match = vxr::prefix(6),
     .slots = {VXR_SLOT(GgvdWork, jvpvolFlag, jvpvolHost, jvpvol)}},
    {.column = "JVPDB",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GgvdWork, jvpdbFlag, jvpdbHost, jvpdb)}},
    {.column = "JVPSP",
     .match = vxr::prefix(5),
     .slots = {VXR_SLOT(GgvdWork, jvpspFlag, jvpspHost, jvpsp)}},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};

enum Table : uint8_t { kMemberTable, kSummaryTable, kNodeTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(GgvdWork, memberTable, memberList, kMemberElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for RX4count Result\n"),
    VXR_TABLE(GgvdWork, summaryTable, summaryList, kSummaryElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for GGVD result\n"),
    VXR_TABLE(GgvdWork, nodeTable, nodeList, vxr::elementSize<VXR_NodeRecord>(),
              vxr::kNodesPerBlock, vxr::kTraceAlways,
              "Unable to allocate Storage for AtNode result\n"),
};
constexpr uint8_t kDestroyOrder[] = {kSummaryTable, kMemberTable, kNodeTable};

constexpr vxr::ModuleProgram kProgram = {
    .eyeCatcher = "GGVDWORK",
    .workAreaSize =
        kWorkAreaSize > int32_t{sizeof(GgvdWork)} ? kWorkAreaSize : int32_t{sizeof(GgvdWork)},
    .rowsEmitted = offsetof(GgvdWork, rowsEmitted),
    .summaryList = offsetof(GgvdWork, summaryList),
    .emissionCursor = offsetof(GgvdWork, emissionCursor),
    .nodeList = offsetof(GgvdWork, nodeList),
    .emitted = {kTraceDetail, "GGVD Anchor at %8X. GVDL link at %8x.\n"},
    .clearedSlots = kClearedSlots,
    .filters = {.rules = kFilterRules},
    .derive = deriveGroup,
    .tables = kTables,
    .nodeTable = kNodeTable,
    .collect = collect,
    .collectFailed = {kTraceDetail, "collectGOAVOLD returned FALSE, EOD no data\n"},
    .afterCollect = afterCollect,
    .beforeEmit = beforeEmit,
    .destroyOrder = kDestroyOrder,
};

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrggvdsr, xrggvdpr, xrggvdts);
VXR_MODULE(VXRGGVDL, xrggvdsr, xrggvdpr, xrggvdts, "level200", vxrBuildDate, vxrBuildTime);
