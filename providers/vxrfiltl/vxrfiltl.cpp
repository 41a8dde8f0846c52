// VXRFILTL: member status, object counts and heartbeat.
//
// Every online member agent is asked for its VXR.XR_SY_EXC rows (one SELECT
// per member, routed AT its thru node). The rows that share an IDNAME are
// merged into one group record: the online members' counts are added, the
// earliest online TIME is kept and disagreeing object-activity states become
// "Mix ". Each record is named by the managed-system name of its group (or
// of its subsystem). OADBCNT is then replaced by the number of distinct
// databases that the members' VXR.LOBJECTS rows report for the IDNAME.
//
// Filters (operator "equals"; the windows build also takes operator 10 on
// IDNAME):
//   IDNAME      adds the IDNAME condition to every member query; the value
//               "*NOFETCH" asks for no object query and for the heartbeat
//   ORIGINNODE  names every row; the IDNAME is derived from it when no
//               IDNAME filter came
//
// Heartbeat: during a no-fetch request the online DSGRP rows register their
// groups as detected nodes; the heartbeat then sets the group view and every
// detected group online in the host's node-status table and every other
// online node of the product offline.
#include "vxrfiltl.h"

#include "vxr/family.h"
#include "vxr/registration.h"

namespace {

using vxr::FilterRule;
using vxr::Trace;

struct ObjectPair {  // one distinct IDNAME and database of VXR.LOBJECTS
  char IDNAME[8];
  char JAPDB[8];
};

struct FiltWork {
  VXR_WORK_HEADER;
  VXR_ListHeader* objectList;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ListHeader* detectedList;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* detectedTable;
  VXR_ResultTable* groupTable;
  VXR_ResultTable* objectTable;
  FiltRow row;
  ObjectPair objectRow;
  int32_t rowsEmitted;
  int32_t idnameFlag;
  int32_t originFlag;
  int32_t noFetchFlag;
  int32_t dataFoundFlag;
  VXR_SLOT_FIELDS(idname, 8, int32_t);
  VXR_SLOT_FIELDS(origin, 32, int32_t);
};

constexpr int32_t kGroupElementSize = vxr::elementSize<FiltRow>();
constexpr int32_t kObjectElementSize = vxr::elementSize<ObjectPair>();
constexpr int32_t kNamedNodeElementSize = vxr::elementSize<VXR_OriginRecord>();
#if VXR_ILP32
static_assert(offsetof(FiltWork, row) == 48);
static_assert(offsetof(FiltWork, objectRow) == 152);
static_assert(offsetof(FiltWork, rowsEmitted) == 168);
static_assert(offsetof(FiltWork, idname) == 192);
static_assert(offsetof(FiltWork, origin) == 208);
static_assert(sizeof(FiltWork) == 244);
static_assert(kGroupElementSize == 112);
static_assert(kObjectElementSize == 24);
static_assert(kNamedNodeElementSize == 52);
#endif

constexpr auto work = vxr::workOf<FiltWork>;

constexpr char kNoFetch[] = "*NOFETCH";
constexpr char kOffline[] = "OFFLINE ";
constexpr char kGroupType[] = "DSGRP";
constexpr char kGroupView[] = "RX4plex:RX4plex:Skelvane";
constexpr char kGroupViewPrefix[] = "RX4plex:";
constexpr char kAffinity[] = "0020000000000000000000000000000000000000000";
static_assert(sizeof kAffinity - 1 == 43);

bool isNoFetch(const char* idname) {
  return std::memcmp(idname, kNoFetch, 8) == 0;
}
bool isOffline(const FiltRow& row) {
  return std::memcmp(row.IDSTATUS, kOffline, 8) == 0;
}
bool isGroup(const FiltRow& row) {
  return std::memcmp(row.IDTYPE, kGroupType, 5) == 0;
}
bool notedNo(const FiltRow& row) {
  return std::memcmp(row.OASTATUS, "NO", 2) == 0;
}
void setStatus(FiltRow& row, const char* status) {
  std::memcpy(row.OASTATUS, status, 4);
}

// A 32-character node name as a terminated string.
struct NodeName {
  char text[33];
};
NodeName nodeName(const char* node) {
  NodeName name;
  std::memcpy(name.text, node, 32);
  name.text[32] = '\0';
  return name;
}

void setNodeStatus(const char* node, const char* parent, const char* online) {
  kfastinh(node, parent, online, "V", "QJ", "04.10.00", kAffinity, "10");
}

// ---------------------------------------------------------------------------
// Heartbeat

// Registers the group of an online DSGRP record as detected in this
// request; false when it could not be registered for want of memory.
bool registerDetectedNode(FiltWork& w, const FiltRow& record, const Trace& trace);

constexpr vxr::ByteRange kNodeKey[] = {VXR_KEY(VXR_OriginRecord, node)};

extern "C" int32_t VXRHeartBeat(VXR_ListHeader* detected) {
  VXR_FUNCTION("VXRHeartBeat");
  VXR_TRACE(trace, kTraceNodes, "RX4plex HeartBeat entered\n");
  VXR_ResultTable* registeredTable = nullptr;
  VXR_ListHeader* registered =
      vxr::createTable(&registeredTable, kNamedNodeElementSize, vxr::kNodesPerBlock);
  if (registered == nullptr) VXR_RETURN(vxr::kRsltAnchorNotObtained);
  buildOrigList(" ", registeredTable, registered, "XR");
  VXR_TRACE(trace, kTraceNodes, "Returned from buildOrigList for heartbeat.\n");

  int32_t detectedCount = 0;
  if (detected != nullptr) {
    for (VXR_ListLinks* element : vxr::walk(detected)) {
      (void)element;
      ++detectedCount;
    }
  }

  auto nameOf = [](VXR_ListLinks* element) {
    return static_cast<const VXR_OriginRecord*>(vxr::elementData(element))->node;
  };
  if (detectedCount != 0) {
    VXR_TRACE(trace, kTraceNodes, "Setting node %s online\n", kGroupView);
    setNodeStatus(kGroupView, "*", "Y");
    for (VXR_ListLinks* element : vxr::walk(detected)) {
      const NodeName name = nodeName(nameOf(element));
      VXR_TRACE(trace, kTraceNodes, "Setting node %s online\n", name.text);
      setNodeStatus(name.text, kGroupView, "Y");
    }
    for (VXR_ListLinks* element : vxr::walk(registered)) {
      const char* node = nameOf(element);
      if (std::memcmp(node, kGroupViewPrefix, 8) == 0) continue;
      if (vxr::findKeyed(vxr::tableOf(detected), vxr::elementData(element), kNodeKey)) continue;
      const NodeName name = nodeName(node);
      VXR_TRACE(trace, kTraceNodes, "Setting node %s offline\n", name.text);
      setNodeStatus(name.text, kGroupView, "N");
    }
  } else {
    VXR_TRACE(trace, kTraceNodes, "No nodes online, disabling anything already registered \n");
    bool groupViewRegistered = false;
    for (VXR_ListLinks* element : vxr::walk(registered)) {
      const char* node = nameOf(element);
      if (std::memcmp(node, kGroupViewPrefix, 8) == 0) {
        groupViewRegistered = true;
        continue;
      }
      const NodeName name = nodeName(node);
      VXR_TRACE(trace, kTraceNodes, "Setting node %s offline\n", name.text);
      setNodeStatus(name.text, kGroupView, "N");
    }
    if (groupViewRegistered) {
      VXR_TRACE(trace, kTraceNodes, "Setting node %s offline\n", kGroupView);
      setNodeStatus(kGroupView, "*", "N");
    }
  }
  RSLTdestroy(&registeredTable);
  VXR_RETURN(0);
}

// ---------------------------------------------------------------------------
// Member status query

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIME,IDSTATUS,IDTYPE,IDNAME,SMFID,RX4ID,RX4COUNT,SYS_TMAX,LOCKCNT,GBPCCNT,"
    "OADBCNT,OASTATUS";

VXR_SELECT_COLUMNS(kColumns, kSelect, kFiltRowAttributes, 13);

// " AND      IDNAME ='<8 characters>'" when the request names an IDNAME.
void appendIdnameCondition(const FiltWork& w, vxr::SqlText& sql) {
  vxr::sqlConditionWidth(sql, " AND      IDNAME ='", w.idname, 8);
}

void buildStatusSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const FiltWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, kSelect, " FROM VXR.XR_SY_EXC", " AT('", node, " WHERE ORIGINNODE ='");
  if (w.idnameFlag && !isNoFetch(w.idname)) appendIdnameCondition(w, sql);
  vxr::sqlAppend(sql, ";");
}

// The row's managed-system name: the ORIGINNODE filter value, else the
// group's name for a DSGRP row and the subsystem's (IDNAME:SMFID:RX4) for
// any other.
void setStatusOrigin(const FiltWork& w, FiltRow& row) {
  if (w.originFlag) {
    std::memcpy(row.ORIGINNODE, w.origin, vxr::kOriginWidth);
  } else if (isGroup(row)) {
    vxr::groupOrigin(row.ORIGINNODE, row.IDNAME);
  } else {
    char suffix[9];
    suffix[0] = ':';
    std::memcpy(suffix + 1, row.SMFID, 4);
    std::memcpy(suffix + 5, ":RX4", 4);
    vxr::composeOrigin(row.ORIGINNODE, row.IDNAME, suffix, sizeof suffix);
  }
}

constexpr vxr::ByteRange kIdnameKey[] = {VXR_KEY(FiltRow, IDNAME)};

// False when the row, or the registration of its group, was lost for want
// of memory.
extern "C" bool summarizeXRStatusData(FiltWork* w, const FiltRow* row) {
  VXR_FUNCTION("summarizeXRStatusData");
  w->dataFoundFlag = 1;
  bool kept = true;
  VXR_ListLinks* match = vxr::findKeyed(w->groupTable, row, kIdnameKey);
  if (match == nullptr) {
    auto* filed =
        static_cast<FiltRow*>(vxr::fileKeyed(w->groupTable, row, sizeof *row, kIdnameKey));
    if (filed == nullptr) {
      VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
      kept = false;
    } else if (isOffline(*filed)) {
      filed->RX4COUNT = 0;
      filed->SYS_TMAX = 0;
      filed->LOCKCNT = 0;
      setStatus(*filed, "NO  ");
    } else if (isGroup(*filed) && w->noFetchFlag) {
      kept = registerDetectedNode(*w, *filed, trace);
    }
    vxr::traceExitVoid(trace, __LINE__);
    return kept;
  }

  auto* record = static_cast<FiltRow*>(vxr::elementData(match));
  const bool recordOffline = isOffline(*record);
  const bool rowOffline = isOffline(*row);
  if (!recordOffline && !rowOffline) {
    vxr::addTo(record->RX4COUNT, row->RX4COUNT);
    vxr::addTo(record->SYS_TMAX, row->SYS_TMAX);
    vxr::addTo(record->LOCKCNT, row->LOCKCNT);
    vxr::keepEarliest(record->TIME, row->TIME);
    if (std::memcmp(record->OASTATUS, row->OASTATUS, 4) != 0) setStatus(*record, "Mix ");
  } else if (!recordOffline) {
    // An offline member counts as "NO  ".
    if (!notedNo(*record)) setStatus(*record, "Mix ");
  } else if (!rowOffline) {
    // The first online row takes the place of the offline ones before it;
    // it registers its group as a first online row does, so that which
    // member answers first cannot set a live group offline.
    std::memcpy(record, row, sizeof *record);
    if (!notedNo(*record)) setStatus(*record, "Mix ");
    if (isGroup(*record) && w->noFetchFlag) kept = registerDetectedNode(*w, *record, trace);
  }
  vxr::traceExitVoid(trace, __LINE__);
  return kept;
}

bool fileStatusRow(void* workArea, const Trace& trace, const void* sqlda) {
  FiltWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kColumns, &w.row, kTraceError)) return false;
  setStatusOrigin(w, w.row);
  return summarizeXRStatusData(&w, &w.row);
}

VXR_NAMED_ANCHOR(kCollectStatus, "collectXRStatusdata");

int32_t collectXRStatusdata(FiltWork& w) {
  return vxr::collectTraced(&kCollectStatus, w, buildStatusSql, fileStatusRow);
}

// ---------------------------------------------------------------------------
// Object counts

constexpr vxr::ColumnField kObjectColumns[] = {
    VXR_FIELD(ObjectPair, IDNAME),
    VXR_FIELD(ObjectPair, JAPDB),
};
constexpr vxr::ByteRange kPairKey[] = {VXR_KEY(ObjectPair, IDNAME), VXR_KEY(ObjectPair, JAPDB)};
constexpr vxr::MergeKey kPairIdnameKey(kPairKey, 1);

void buildObjectSql(void* workArea, const Trace&, const VXR_NodeRecord& node, vxr::SqlText& sql) {
  const FiltWork& w = work(workArea);
  vxr::sqlMemberQuery(sql, "SELECT IDNAME,JAPDB", " FROM VXR.LOBJECTS", " AT('", node,
                      " WHERE ORIGINNODE = '");
  if (w.idnameFlag) appendIdnameCondition(w, sql);
  vxr::sqlAppend(sql, ";");
}

extern "C" bool summarizeLobjects(FiltWork* w, const ObjectPair* pair) {
  VXR_FUNCTION("summarizeLobjects");
  const auto idname = vxr::terminated(pair->IDNAME);
  const auto japdb = vxr::terminated(pair->JAPDB);
  VXR_TRACE(trace, kTraceDetail, "summarizeLobjects pOADB IDNAME=%8s, goadRow IDNAME %8s\n",
            idname.text, idname.text);
  VXR_TRACE(trace, kTraceDetail, "summarizeLobjects pOADB JABDB=%8s, goadRow JABDB %8s\n",
            japdb.text, japdb.text);
  if (vxr::findKeyed(w->objectTable, pair, kPairKey) != nullptr) {
    vxr::traceExitVoid(trace, __LINE__);
    return true;
  }
  auto* filed =
      static_cast<ObjectPair*>(vxr::fileKeyed(w->objectTable, pair, sizeof *pair, kPairKey));
  if (filed == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record\n");
    vxr::traceExitVoid(trace, __LINE__);
    return false;
  }
  VXR_TRACE(trace, kTraceDetail, "summarizeLobjects 1st record\n");
  VXR_TRACE(trace, kTraceDetail, "IDNAME     %8s   %8s\n", vxr::terminated(filed->IDNAME).text,
            idname.text);
  VXR_TRACE(trace, kTraceDetail, "JABDB      %8s   %8s\n", vxr::terminated(filed->JAPDB).text,
            japdb.text);
  vxr::traceExitVoid(trace, __LINE__);
  return true;
}

bool fileObjectRow(void* workArea, const Trace& trace, const void* sqlda) {
  FiltWork& w = work(workArea);
  if (!vxr::assembleRow(trace, sqlda, kObjectColumns, &w.objectRow, kTraceError)) return false;
  return summarizeLobjects(&w, &w.objectRow);
}

constexpr vxr::QueryTexts kObjectQueryTexts = {"SQL path opened\n", "SQL request opened\n",
                                               nullptr};

extern "C" int32_t collectLobjects(FiltWork* w) {
  VXR_FUNCTION("collectLobjects");
  if (w->idnameFlag && isNoFetch(w->idname)) VXR_RETURN(0);
  const vxr::MemberCollection collection{.nodes = w->nodeList,
                                         .nodeCursor = &w->nodeCursor,
                                         .context = w,
                                         .buildSql = buildObjectSql,
                                         .onRow = fileObjectRow,
                                         .sqlTrace = "Select=%s\n",
                                         .texts = &kObjectQueryTexts};
  VXR_RETURN(vxr::collectMembers(trace, collection));
}

extern "C" void updateOADBCount(FiltWork* w) {
  VXR_FUNCTION("updateOADBCount");
  for (VXR_ListLinks* element : vxr::walk(w->summaryList)) {
    auto* record = static_cast<FiltRow*>(vxr::elementData(element));
    ObjectPair probe;
    std::memcpy(probe.IDNAME, record->IDNAME, 8);
    vxr::blank(probe.JAPDB, 8);
    record->OADBCNT = vxr::countKeyed(w->objectTable, &probe, kPairIdnameKey);
    VXR_TRACE(trace, kTraceDetail, "OADBCount for group %s is %d\n",
              vxr::terminated(record->IDNAME).text, record->OADBCNT);
  }
  VXR_RETURN_VOID();
}

// ---------------------------------------------------------------------------
// Request program

using Slots = vxr::IdnameSlots<FiltWork>;

// The IDNAME filter decides whether this is a no-fetch request; a later
// IDNAME filter replaces an earlier one, the no-fetch flag included.
void idnameMatched(void* workArea, const Trace& trace, int16_t op, const char* column,
                   const char* value) {
  FiltWork& w = work(workArea);
#if VXR_FLAVOUR_WINDOWS
  if (op == 10) {
    VXR_TRACE(trace, kTraceDetail, "ZT31177li Index Filter (%d) (%s) (%s)\n", op, column, value);
  } else {
    VXR_TRACE(trace, kTraceDetail, "ZT31177eq Index Filter (%d) (%s) (%s)\n", op, column, value);
  }
#else
  (void)trace, (void)op, (void)column, (void)value;
#endif
  w.noFetchFlag = isNoFetch(w.idname) ? 1 : 0;
}

constexpr FilterRule kFilterRules[] = {
    {.column = "IDNAME",
     .match = vxr::exact(),
     .slots = {Slots::idname},
     .otherOperator = VXR_FLAVOUR_WINDOWS ? 10 : 0,
     .onMatch = idnameMatched},
    Slots::originRule,
};

enum Table : uint8_t { kGroupTable, kNodeTable, kObjectTable, kDetectedTable };
constexpr vxr::TableSpec kTables[] = {
    VXR_TABLE(FiltWork, groupTable, summaryList, kGroupElementSize, 10, kTraceError,
              "Unable to allocate Storage for Group result\n"),
    VXR_NODE_TABLE(FiltWork),
    VXR_TABLE(FiltWork, objectTable, objectList, kObjectElementSize, 10, vxr::kTraceAlways,
              "Unable to allocate Storage for OADBC result\n"),
    VXR_TABLE(FiltWork, detectedTable, detectedList, kNamedNodeElementSize, vxr::kNodesPerBlock),
};
constexpr uint8_t kDestroyOrder[] = {kGroupTable, kObjectTable, kDetectedTable, kNodeTable};

// A step of summarizeXRStatusData; its lines go under that routine.
bool registerDetectedNode(FiltWork& w, const FiltRow& record, const Trace& trace) {
  char name[33];
  std::memset(name, 0, sizeof name);
  const size_t idLength = vxr::trimmedLength(record.IDNAME, 8);
  std::memcpy(name, record.IDNAME, idLength);
  std::memcpy(name + idLength, vxr::kGroupSuffix, sizeof vxr::kGroupSuffix - 1);

  if (w.detectedTable == nullptr) {
    w.detectedList = vxr::createTable(&w.detectedTable, kNamedNodeElementSize, vxr::kNodesPerBlock);
    if (w.detectedList == nullptr) return false;  // the group cannot be registered
  }
  // Every name is formed this way and blank-padded, so a known name that
  // begins with this one is this one.
  VXR_OriginRecord detected;
  std::memset(&detected, 0, sizeof detected);
  vxr::blank(detected.node, sizeof detected.node);
  std::memcpy(detected.node, name, std::strlen(name));
  if (vxr::findKeyed(w.detectedTable, &detected, kNodeKey) != nullptr) return true;
  if (vxr::fileKeyed(w.detectedTable, &detected, sizeof detected, kNodeKey) == nullptr) {
    return false;
  }
  VXR_TRACE(trace, kTraceNodes, "Detected new node: %s\n", name);
  return true;
}

void heartBeat(FiltWork& w) {
  VXRHeartBeat(w.detectedTable != nullptr ? w.detectedList : nullptr);
}

int32_t firstCall(const vxr::ModuleProgram& program, HDL1_CommonHandle request, void* workArea,
                  const Trace& trace) {
  FiltWork& w = work(workArea);
  // The lists of an earlier collection went with its tables.
  w.summaryList = nullptr;
  w.objectList = nullptr;
  w.nodeList = nullptr;
  w.nodeCursor = nullptr;
  w.detectedList = nullptr;

  for (const vxr::FilterSlot& slot : Slots::cleared) vxr::clearFilterSlot(workArea, slot);
  w.idnameEnd = 0;
  w.originEnd = 0;
  w.noFetchFlag = 0;
  w.dataFoundFlag = 0;
  vxr::readFilters(request, workArea, program.filters, trace);

  if (w.originFlag && !w.idnameFlag) {
    vxr::groupFromOrigin(w.idname, w.origin);
    w.idnameFlag = 1;
    w.idnameHost = w.idname;
  }
  if (w.idnameFlag)
    VXR_TRACE(trace, kTraceDetail, "Filter for IDNAME set to %s\n", vxr::terminated(w.idname).text);
  if (w.originFlag)
    VXR_TRACE(trace, kTraceDetail, "Filter for ORIGINNODE set to %s\n",
              vxr::terminated(w.origin).text);

  if (int32_t status = vxr::createTableOf(program, workArea, kGroupTable, trace); status != 0)
    return status;
  if (int32_t status = vxr::createTableOf(program, workArea, kNodeTable, trace); status != 0)
    return status;
  w.dataFoundFlag = 0;
  if (int32_t status = vxr::listMembers(program, workArea, trace); status != 0) return status;

  if (!collectXRStatusdata(w)) {
    // Rows of a failed collection are withheld; the groups seen so far still
    // keep the host's node status current. A collection that lost a record
    // for want of memory knows nothing about the groups it lost, so it
    // leaves the node status as it is.
    const bool lost = vxr::tableFailed(w.groupTable) || vxr::tableFailed(w.detectedTable);
    if (w.dataFoundFlag && !lost) heartBeat(w);
    return vxr::kStatusEndOfData;
  }
  vxr::destroyTableOf(program, workArea, kNodeTable);
  w.nodeList = nullptr;
  w.nodeCursor = nullptr;
  if (w.noFetchFlag && w.dataFoundFlag) heartBeat(w);

  if (int32_t status = vxr::createTableOf(program, workArea, kObjectTable, trace); status != 0)
    return status;
  if (int32_t status = vxr::createTableOf(program, workArea, kNodeTable, trace); status != 0)
    return status;
  if (int32_t status = vxr::listMembers(program, workArea, trace); status != 0) return status;
  if (collectLobjects(&w)) {
    updateOADBCount(&w);
  } else if (vxr::tableFailed(w.objectTable)) {
    return vxr::kStatusEndOfData;  // a lost pair would leave the object counts short
  } else {
    VXR_TRACE(trace, kTraceDetail, "No Data from LobjectS\n");
  }

  vxr::destroyTableOf(program, workArea, kDetectedTable);
  w.detectedList = nullptr;
  return vxr::kStatusOk;
}

constexpr vxr::ModuleProgram kProgram = vxr::withWorkFields<FiltWork>(vxr::quietTraces({
    .eyeCatcher = "FILTWORK",
    .workAreaSize = vxr::workAreaSize<FiltWork>(),
    .filters = {.rules = kFilterRules},
    .tables = kTables,
    .nodeTable = kNodeTable,
    .firstCallOverride = firstCall,
    .destroyOrder = kDestroyOrder,
}));

}  // namespace

VXR_REQUEST_ENTRIES(kProgram, xrfiltsr, xrfiltpr, xrfiltts);
#if VXR_FLAVOUR_WINDOWS
VXR_MODULE(VXRFILTL, xrfiltsr, xrfiltpr, xrfiltts, "ZT31177", "Oct 26 2007", "13:27:09");
#else
VXR_MODULE(VXRFILTL, xrfiltsr, xrfiltpr, xrfiltts, "level200", vxrBuildDate, vxrBuildTime);
#endif
