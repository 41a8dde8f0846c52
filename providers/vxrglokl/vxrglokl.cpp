// VXRGLOKL: group lock conflicts.
//
// Every lock conflict (holder and waiter alike) any member of a data sharing
// group reports, one row per member row, nothing merged, named by the group.
// An agent above "04.01.00" delivers the long authorization id and the lock
// resource already split into types and names. An older one's rows get the
// authorization id in the first 8 bytes of UAUTHID and the resource name
// LK_RESOURC split here into "type=name" tokens (separators "=" and blank):
// the first two pairs go to RESTYPE1/URESNAME1 and RESTYPE2/URESNAME2, a
// later pair of type PT to RESTYPE3/RESNAME3 and any other later pair to
// RESTYPE4/RESNAME4; a resource of type RS keeps everything after "RS=" as
// its name, blanks included. Fields a row does not fill are zero.
#include "vxrglokl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

using vxr::Trace;

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

// The row of an older agent completed: the authorization id in UAUTHID and
// the resource split; every row traced.
void completeRow(GlokRow& row, bool older, const Trace& trace) {
  if (older) {
    std::memcpy(row.UAUTHID, row.AUTHID, sizeof row.AUTHID);
    splitResource(trace, row);
  }
  traceRow(trace, row);
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeGLockData");
VXR_NAMED_ANCHOR(kCollect, "collectGLockdata");

// The column count is checked before anything is copied; a failing member,
// a wrong column count or a row that cannot be kept withholds every row.
// Both node names go into the text at their full 32 characters.
constexpr vxr::Table<GlokRow> kTable = {
    .info = &kGlokTable,
    .eyeCatcher = "GLOKWORK",
    .workAreaSize = 808,
    .query = {.select = "SELECT ORIGINNODE,LK_ET,PLAN_NAME,SMFID,RX4ID,AUTHID,CONNID,CONNTYPE,"
                        "TH_STATUS,LK_RESOURC,LK_LEVEL,LK_STATUS,SUBSYS,TH_TYPE,LK_TYPE,LK_TOKEN,"
                        "IDNAME,TIMESTAMP,CORRID,DISPET ",
              .base = "VXR.RX4LKCONF",
              .fullWidthNodes = true},
    .agents = {.above = "04.01.00",
               .further = ",UAUTHID,   RESTYPE1,  RESTYPE2,  RESTYPE3,  RESTYPE4,  URESNAME1, "
                          "URESNAME2, RESNAME3,  RESNAME4  "},
    .collect = &kCollect,
    .file = &kSummarize,
    .lines = {.node = {kTraceNodes, "Node=%s Version=%s"},
              .statement = {kTraceNodes, "SQL statement=%s length=%d"}},
    .complete = completeRow,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgloksr, xrglokpr, xrglokts);
VXR_MODULE(VXRGLOKL, xrgloksr, xrglokpr, xrglokts, "level200", vxrBuildDate, vxrBuildTime);
