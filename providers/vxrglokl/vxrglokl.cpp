// VXRGLOKL: group lock conflicts.
//
// Lists every lock conflict (holder and waiter alike) that any member of a
// data sharing group reports: one output row per member row, nothing merged,
// with the group's managed-system name in ORIGINNODE. Every online member
// agent is asked for its VXR.RX4LKCONF rows (one SELECT per member, routed AT
// its thru node; both node names go into the text at their full 32
// characters). Rows come out in the reverse of the order they were fetched.
//
// Agent versions: an agent whose version is above "04.01.00" (bytewise over
// 8 characters) is asked for 29 columns and delivers the long authorization
// id and the lock resource already split into types and names. An older one
// is asked for the first 20; its rows get the authorization id in the first
// 8 bytes of UAUTHID and the resource name LK_RESOURC split here into
// "type=name" tokens (separators "=" and blank): the first two pairs go to
// RESTYPE1/URESNAME1 and RESTYPE2/URESNAME2, a later pair of type PT to
// RESTYPE3/RESNAME3 and any other later pair to RESTYPE4/RESNAME4; a
// resource of type RS keeps everything after "RS=" as its name, blanks
// included. Fields a row does not fill are zero.
//
// Filters (operator "equals" only):
//   IDNAME      the group; adds the IDNAME condition to every member query
//   ORIGINNODE  the group's managed-system name; the group is derived from it
//               when no IDNAME filter came, and it names every row
//
// A member that fails, a row with another number of columns than its layout
// asks for, or a row that cannot be kept ends the request without rows.
#include "vxrglokl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::Trace;

struct GlokWork {
  VXR_WORK_HEADER;
  VXR_NODE_FIELDS;
  VXR_ResultTable* groupTable;
  GlokRow row;
  int32_t rowsEmitted;
  VXR_IDNAME_ORIGIN_FIELDS(int32_t);
};

constexpr int32_t kWorkAreaSize = 808;
#if VXR_ILP32
static_assert(sizeof(GlokWork) <= kWorkAreaSize);
static_assert(offsetof(GlokWork, row) == 32);
static_assert(offsetof(GlokWork, rowsEmitted) == 728);
static_assert(offsetof(GlokWork, idname) == 744);
static_assert(offsetof(GlokWork, origin) == 760);
static_assert(vxr::elementSize<GlokRow>() == 704);
#endif

constexpr auto work = vxr::workOf<GlokWork>;

// ---------------------------------------------------------------------------
// Member query

#define GLOK_BASE_SELECT                                                                       \
  "SELECT ORIGINNODE,LK_ET,PLAN_NAME,SMFID,RX4ID,AUTHID,CONNID,CONNTYPE,TH_STATUS,LK_RESOURC," \
  "LK_LEVEL,LK_STATUS,SUBSYS,TH_TYPE,LK_TYPE,LK_TOKEN,IDNAME,TIMESTAMP,CORRID,DISPET "
constexpr char kBaseSelect[] = GLOK_BASE_SELECT;
constexpr char kExtendedSelect[] = GLOK_BASE_SELECT
    ",UAUTHID,   RESTYPE1,  RESTYPE2,  RESTYPE3,  RESTYPE4,  URESNAME1, URESNAME2, RESNAME3,  "
    "RESNAME4  ";
#undef GLOK_BASE_SELECT

#define GLOK_BASE_COLUMNS                                                                          \
  VXR_FIELD(GlokRow, ORIGINNODE), VXR_FIELD(GlokRow, LK_ET), VXR_FIELD(GlokRow, PLAN_NAME),        \
      VXR_FIELD(GlokRow, SMFID), VXR_FIELD(GlokRow, RX4ID), VXR_FIELD(GlokRow, AUTHID),            \
      VXR_FIELD(GlokRow, CONNID), VXR_FIELD(GlokRow, CONNTYPE), VXR_FIELD(GlokRow, TH_STATUS),     \
      VXR_FIELD(GlokRow, LK_RESOURC), VXR_FIELD(GlokRow, LK_LEVEL), VXR_FIELD(GlokRow, LK_STATUS), \
      VXR_FIELD(GlokRow, SUBSYS), VXR_FIELD(GlokRow, TH_TYPE), VXR_FIELD(GlokRow, LK_TYPE),        \
      VXR_FIELD(GlokRow, LK_TOKEN), VXR_FIELD(GlokRow, IDNAME), VXR_FIELD(GlokRow, TIMESTAMP),     \
      VXR_FIELD(GlokRow, CORRID), VXR_FIELD(GlokRow, DISPET)
constexpr vxr::ColumnField kBaseColumns[] = {GLOK_BASE_COLUMNS};
// The extended columns are raw bytes: what a member delivers short is
// completed with zeros, as the fields an older agent leaves out are.
constexpr vxr::ColumnField kExtendedColumns[] = {
    GLOK_BASE_COLUMNS,
    VXR_FIELD_ZEROED(GlokRow, UAUTHID),
    VXR_FIELD_ZEROED(GlokRow, RESTYPE1),
    VXR_FIELD_ZEROED(GlokRow, RESTYPE2),
    VXR_FIELD_ZEROED(GlokRow, RESTYPE3),
    VXR_FIELD_ZEROED(GlokRow, RESTYPE4),
    VXR_FIELD_ZEROED(GlokRow, URESNAME1),
    VXR_FIELD_ZEROED(GlokRow, URESNAME2),
    VXR_FIELD_ZEROED(GlokRow, RESNAME3),
    VXR_FIELD_ZEROED(GlokRow, RESNAME4),
};
#undef GLOK_BASE_COLUMNS
static_assert(std::size(kBaseColumns) == 20 && std::size(kExtendedColumns) == 29);
static_assert(vxr::selectMatches(kBaseSelect, kBaseColumns));
static_assert(vxr::selectMatches(kExtendedSelect, kExtendedColumns));

constexpr vxr::VersionedLayouts kLayouts = {
    .reference = "04.01.00",
    .base = {kBaseSelect, kBaseColumns},
    .extended = {kExtendedSelect, kExtendedColumns},
};

// The fields an older agent does not deliver: UAUTHID to RESNAME4.
constexpr size_t kExtendedStart = offsetof(GlokRow, UAUTHID);
constexpr size_t kExtendedEnd = offsetof(GlokRow, RESNAME4) + sizeof(GlokRow::RESNAME4);

void buildMemberSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                    vxr::SqlText& sql) {
  const GlokWork& w = work(workArea);
  VXR_TRACE(trace, kTraceNodes, "Node=%s Version=%s", node.thruNode, node.version);
  vxr::sqlMemberQueryWidth(sql, kLayouts.of(node).select, " FROM VXR.RX4LKCONF", " AT('", node,
                           " WHERE ORIGINNODE ='");
  if (w.idnameFlag) vxr::sqlConditionWidth(sql, " AND IDNAME ='", w.idname, 8);
  vxr::sqlAppend(sql, ";");
  VXR_TRACE(trace, kTraceNodes, "SQL statement=%s length=%d", sql.text,
            static_cast<int>(sql.length));
}

// ---------------------------------------------------------------------------
// Resource split (older agents)

bool isSeparator(char c) {
  return c == '=' || c == ' ';
}

// The next token at `cursor`: separators skipped, the token ended by a zero
// byte over the separator that follows it, `cursor` moved past that
// separator (or onto the end of the text). Null when no token is left.
char* nextToken(char*& cursor) {
  char* p = cursor;
  while (isSeparator(*p)) ++p;
  if (*p == '\0') {
    cursor = p;
    return nullptr;
  }
  char* token = p;
  while (*p != '\0' && !isSeparator(*p)) ++p;
  if (*p != '\0') *p++ = '\0';
  cursor = p;
  return token;
}

// A token into its field, cut at the field's width, the rest of the field
// zero (a shorter later token never leaves an earlier one's tail behind).
template <size_t N>
void putToken(char (&field)[N], const char* token) {
  std::memset(field, 0, N);
  const size_t length = std::strlen(token);
  std::memcpy(field, token, length < N ? length : N);
}

template <size_t T, size_t N>
void putPair(const Trace& trace, char (&type)[T], char (&name)[N], const char* typeToken,
             const char* nameToken, const char* typeLine, const char* nameLine) {
  putToken(type, typeToken);
  putToken(name, nameToken);
  VXR_TRACE(trace, vxr::kTraceAlways, typeLine, typeToken);
  VXR_TRACE(trace, vxr::kTraceAlways, nameLine, nameToken);
}

// Splits LK_RESOURC into the resource fields, which are zero on entry.
void splitResource(const Trace& trace, GlokRow& row) {
  char buffer[sizeof row.LK_RESOURC + 1];
  std::memcpy(buffer, row.LK_RESOURC, sizeof row.LK_RESOURC);
  buffer[sizeof row.LK_RESOURC] = '\0';
  VXR_TRACE(trace, vxr::kTraceAlways, "RES=|%50s|", buffer);

  char* cursor = buffer;
  const char* t[8] = {};
  t[0] = nextToken(cursor);
  if (t[0] == nullptr) return;
  if (std::strcmp(t[0], "RS") == 0) {
    // The name is the rest of the text after "RS" and its separator, blanks
    // and all; nothing when "RS" ends the text.
    t[1] = cursor;
  } else {
    for (int i = 1; i < 8 && (t[i] = nextToken(cursor)) != nullptr; ++i) {
    }
  }
  if (t[0] && t[1]) {
    putPair(trace, row.RESTYPE1, row.URESNAME1, t[0], t[1], "RESTYPE1=|%s|", "URESNAME1=|%s|");
  }
  if (t[2] && t[3]) {
    putPair(trace, row.RESTYPE2, row.URESNAME2, t[2], t[3], "RESTYPE2=|%s|", "URESNAME2=|%s|");
  }
  if (t[4] && t[5]) {
    if (std::strcmp(t[4], "PT") == 0) {
      putPair(trace, row.RESTYPE3, row.RESNAME3, t[4], t[5], "RESTYPE33=|%s|", "RESNAME33=|%s|");
    } else {
      putPair(trace, row.RESTYPE4, row.RESNAME4, t[4], t[5], "RESTYPE34=|%s|", "RESNAME34=|%s|");
    }
  }
  if (t[6] && t[7]) {
    if (std::strcmp(t[6], "PT") == 0) {
      putPair(trace, row.RESTYPE3, row.RESNAME3, t[6], t[7], "RESTYPE43=|%s|", "RESNAME43=|%s|");
    } else {
      putPair(trace, row.RESTYPE4, row.RESNAME4, t[6], t[7], "RESTYPE44=|%s|", "RESNAME44=|%s|");
    }
  }
}

// ---------------------------------------------------------------------------
// Completion

void traceRow(const Trace& trace, const GlokRow& r) {
  VXR_TRACE(trace, kTraceNodes, "AUTHID=%8.8s UAUTHID=%.128s", r.AUTHID, r.UAUTHID);
  VXR_TRACE(trace, kTraceNodes, "RESOURCE=%50.50s", r.LK_RESOURC);
  VXR_TRACE(trace, kTraceNodes, "RESTYPE1=%2.2s URESNAME1=%.128s", r.RESTYPE1, r.URESNAME1);
  VXR_TRACE(trace, kTraceNodes, "RESTYPE2=%2.2s URESNAME2=%.128s", r.RESTYPE2, r.URESNAME2);
  VXR_TRACE(trace, kTraceNodes, "RESTYPE3=%2.2s RESNAME3=%32.32s", r.RESTYPE3, r.RESNAME3);
  VXR_TRACE(trace, kTraceNodes, "RESTYPE4=%2.2s RESNAME4=%32.32s", r.RESTYPE4, r.RESNAME4);
}

// The row of an older agent completed: the extended fields zero, the
// authorization id in UAUTHID and the resource split.
bool completeRow(void* workArea, const Trace& trace) {
  GlokWork& w = work(workArea);
  if (!kLayouts.extendedFor(vxr::nodeOf(w.nodeCursor))) {
    char* row = reinterpret_cast<char*>(&w.row);
    std::memset(row + kExtendedStart, 0, kExtendedEnd - kExtendedStart);
    std::memcpy(w.row.UAUTHID, w.row.AUTHID, sizeof w.row.AUTHID);
    splitResource(trace, w.row);
  }
  traceRow(trace, w.row);
  return true;
}

// ---------------------------------------------------------------------------
// Request program

VXR_NAMED_ANCHOR(kSummarize, "summarizeGLockData");
VXR_NAMED_ANCHOR(kCollect, "collectGLockdata");

constexpr vxr::TableSpec kGroupTable =
    VXR_TABLE(GlokWork, groupTable, summaryList, vxr::elementSize<GlokRow>(), 10, kTraceError,
              "Unable to allocate Storage for Group result\n");

// The column count is checked before anything is copied. Without an IDNAME
// filter the group is the one the ORIGINNODE filter names.
constexpr vxr::MemberFamily kFamily = {.file = &kSummarize,
                                       .collect = &kCollect,
                                       .layouts = &kLayouts,
                                       .buildSql = buildMemberSql,
                                       .prepare = completeRow,
                                       .summary = &kGroupTable,
                                       .idnameFilters = true};

constexpr vxr::ModuleProgram kProgram = vxr::familyProgram<GlokWork, kFamily>(vxr::quietTraces({
    .eyeCatcher = "GLOKWORK",
    .workAreaSize = vxr::workAreaSize<GlokWork>(kWorkAreaSize),
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrgloksr, xrglokpr, xrglokts);
VXR_MODULE(VXRGLOKL, xrgloksr, xrglokpr, xrglokts, "level200", vxrBuildDate, vxrBuildTime);
