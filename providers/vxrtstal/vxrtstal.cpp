// VXRTSTAL: thread exceptions of the group.
//
// Lists, for the whole data sharing group, the thread exceptions that the
// member agents report in VXR.XR_TH_EXC. Every online member agent is asked
// for its rows (one SELECT per member, routed AT its thru node); every
// member row becomes one output row, unchanged except that ORIGINNODE names
// the group. Nothing is added up; the last row fetched comes out first.
//
// Filters (operator "equals" only):
//   IDNAME      adds the IDNAME condition (8 characters, trailing blanks
//               kept) to every member query
//   PLAN_NAME   the plan name: adds the EX_PLAN condition (8 characters)
//   CORRID      the correlation id: adds the EX_CORRID condition (12
//               characters)
//   ORIGINNODE  names every row; the IDNAME is derived from it when no
//               IDNAME filter came
// The plan-name and correlation-id filters answer to every column name that
// begins with "PLAN_NAME" or "CORRID  ", so the host's blank-padded
// attribute names PLAN_NAME and CORRID reach them.
//
// Merge rule: none. A row that cannot be kept (no element) or has the wrong
// number of columns, or a member whose query fails, withholds every row.
#include "vxrtstal.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct TstaWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* groupTable;
  TstaRow row;
  int32_t rowsEmitted;
  int32_t idnameFlag;
  int32_t planFlag;
  int32_t corridFlag;
  int32_t originFlag;
  const char* idnameHost;
  const char* planHost;
  const char* corridHost;
  const char* originHost;
  char idname[8];
  char idnameEnd;
  char plan[8];
  char planEnd;
  char corrid[12];
  char corridEnd;
  char origin[32];
  char originEnd;
};

constexpr int32_t kWorkAreaSize = 296;
constexpr int32_t kGroupElementSize = vxr::elementSize<TstaRow>();
#if VXR_ILP32
static_assert(sizeof(TstaWork) <= kWorkAreaSize);
static_assert(offsetof(TstaWork, groupTable) == 28);
static_assert(offsetof(TstaWork, row) == 32);
static_assert(offsetof(TstaWork, rowsEmitted) == 184);
static_assert(offsetof(TstaWork, idnameFlag) == 188);
static_assert(offsetof(TstaWork, idnameHost) == 204);
static_assert(offsetof(TstaWork, idname) == 220);
static_assert(offsetof(TstaWork, plan) == 229);
static_assert(offsetof(TstaWork, corrid) == 238);
static_assert(offsetof(TstaWork, origin) == 251);
static_assert(kGroupElementSize == 160);
#endif

constexpr auto work = vxr::workOf<TstaWork>;

// ---------------------------------------------------------------------------
// Member query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,EX_TIME,EX_QNSID,IDNAME,EX_RX4ID,TH_GROUPN,EX_PLAN,EX_CORRID,EX_GETP,"
    "EX_UPDCNT,EX_SRDCNT,EX_PREF,IMMWIO,LISTPREF,DYNPREF,SUCHPR,SUCHPW,UNSUCHPR,UNSUCHPW,UNGPOP,"
    "APAGER,PHPMOVE,TYPE_IND";

// EX_PLAN and EX_CORRID land in the row's PLAN_NAME and CORRID.
constexpr vxr::ColumnField kColumns[] = {
    VXR_FIELD(TstaRow, ORIGINNODE),
    VXR_FIELD(TstaRow, EX_TIME),
    VXR_FIELD(TstaRow, EX_QNSID),
    VXR_FIELD(TstaRow, IDNAME),
    VXR_FIELD(TstaRow, EX_RX4ID),
    VXR_FIELD(TstaRow, TH_GROUPN),
    {"EX_PLAN", offsetof(TstaRow, PLAN_NAME), sizeof(TstaRow::PLAN_NAME), vxr::FieldType::Chars},
    {"EX_CORRID", offsetof(TstaRow, CORRID), sizeof(TstaRow::CORRID), vxr::FieldType::Chars},
    VXR_FIELD(TstaRow, EX_GETP),
    VXR_FIELD(TstaRow, EX_UPDCNT),
    VXR_FIELD(TstaRow, EX_SRDCNT),
    VXR_FIELD(TstaRow, EX_PREF),
    VXR_FIELD(TstaRow, IMMWIO),
    VXR_FIELD(TstaRow, LISTPREF),
    VXR_FIELD(TstaRow, DYNPREF),
    VXR_FIELD(TstaRow, SUCHPR),
    VXR_FIELD(TstaRow, SUCHPW),
    VXR_FIELD(TstaRow, UNSUCHPR),
    VXR_FIELD(TstaRow, UNSUCHPW),
    VXR_FIELD(TstaRow, UNGPOP),
    VXR_FIELD(TstaRow, APAGER),
    VXR_FIELD(TstaRow, PHPMOVE),
    VXR_FIELD(TstaRow, TYPE_IND),
};
static_assert(std::size(kColumns) == 23);
static_assert(vxr::selectMatches(kSelect, kColumns));

// The filter values enter the text at their full width, trailing blanks
// included.
void buildMemberSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const TstaWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.XR_TH_EXC", " AT('", node, " WHERE ORIGINNODE ='");
  if (w.idnameFlag) vxr::sqlConditionWidth(sql, " AND IDNAME ='", w.idname, sizeof w.idname);
  if (w.planFlag) vxr::sqlConditionWidth(sql, " AND EX_PLAN ='", w.plan, sizeof w.plan);
  if (w.corridFlag) vxr::sqlConditionWidth(sql, " AND EX_CORRID ='", w.corrid, sizeof w.corrid);
  vxr::sqlAppend(sql, ";");
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "summarizeThreadsData");
VXR_NAMED_ANCHOR(kCollect, "collectThreadsData");

constexpr vxr::TableSpec kGroupTable =
    VXR_TABLE(TstaWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n");

// A row that cannot be kept makes the collection fail. Without an IDNAME
// filter the IDNAME is the group the ORIGINNODE filter names.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .columns = kColumns,
                                       .buildSql = buildMemberSql,
                                       .summary = &kGroupTable,
                                       .idnameFilters = true};

using Slots = vxr::IdnameSlots<TstaWork>;
constexpr vxr::FilterSlot kPlan = VXR_SLOT(TstaWork, planFlag, planHost, plan);
constexpr vxr::FilterSlot kCorrid = VXR_SLOT(TstaWork, corridFlag, corridHost, corrid);
constexpr vxr::FilterSlot kClearedSlots[] = {Slots::idname, kPlan, kCorrid, Slots::origin};

constexpr char kPlanColumn[] = "PLAN_NAME";
constexpr char kCorridColumn[] = "CORRID  ";
constexpr vxr::FilterRule kFilterRules[] = {
    Slots::idnameRule,
    {.column = kPlanColumn, .match = vxr::prefix(sizeof kPlanColumn - 1), .slots = {kPlan}},
    {.column = kCorridColumn, .match = vxr::prefix(sizeof kCorridColumn - 1), .slots = {kCorrid}},
    Slots::originRule,
};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<TstaWork, kFamily>(vxr::quietTraces({
    .eyeCatcher = "THDSWORK",
    .workAreaSize = vxr::workAreaSize<TstaWork>(kWorkAreaSize),
    .clearedSlots = kClearedSlots,
    .filters = vxr::sqlTracedFilters(kFilterRules),
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrthdssr, xrthdspr, xrthdsts);
VXR_MODULE(VXRTSTAL, xrthdssr, xrthdspr, xrthdsts, "level200", vxrBuildDate, vxrBuildTime);
