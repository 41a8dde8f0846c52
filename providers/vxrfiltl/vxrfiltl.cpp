// VXRFILTL: member status, object counts and heartbeat.
//
// One row per IDNAME, merged over the members' VXR.XR_SY_EXC rows: the
// online members' counts are added, the earliest online TIME is kept and
// disagreeing object-activity states become "Mix ". A row is named by the
// ORIGINNODE filter, else by its group (DSGRP) or subsystem (IDNAME:SMFID:RX4).
// OADBCNT is then the number of distinct databases the members' VXR.LOBJECTS
// rows report for the IDNAME.
//
// IDNAME=*NOFETCH asks for no object query but for the heartbeat: the online
// DSGRP rows register their groups as detected nodes; the heartbeat then
// sets the group view and every detected group online in the host's
// node-status table and every other online node of the product offline.
#include "vxrfiltl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

using vxr::Trace;

// What a request keeps beyond the runtime's fields.
struct Heartbeat {
  VXR_ListHeader* detectedList;  // the groups a no-fetch request found online
  VXR_ResultTable* detectedTable;
  bool noFetch;  // the IDNAME filter asked for the heartbeat
};

constexpr int32_t kNodeSize = vxr::elementSize<VXR_OriginRecord>();
constexpr char kGroupView[] = "RX4plex:RX4plex:Skelvane";
constexpr char kAffinity[] = "0020000000000000000000000000000000000000000";
static_assert(sizeof kAffinity - 1 == 43);

bool isOffline(const FiltRow& row) {
  return std::memcmp(row.IDSTATUS, "OFFLINE ", 8) == 0;
}
bool isGroup(const FiltRow& row) {
  return std::memcmp(row.IDTYPE, "DSGRP", 5) == 0;
}

// ---------------------------------------------------------------------------
// Heartbeat

constexpr vxr::ByteRange kNodeKey[] = {VXR_KEY(VXR_OriginRecord, node)};

void setNode(const Trace& trace, const char* node, const char* parent, bool online) {
  VXR_TRACE(trace, kTraceNodes, online ? "Setting node %s online\n" : "Setting node %s offline\n",
            node);
  kfastinh(node, parent, online ? "Y" : "N", "V", "QJ", "04.10.00", kAffinity, "10");
}

const VXR_OriginRecord& recordOf(VXR_ListLinks* element) {
  return *static_cast<const VXR_OriginRecord*>(vxr::elementData(element));
}

// The detected groups online, every other online node of the product offline.
int32_t VXRHeartBeat(const Heartbeat& s) {
  VXR_FUNCTION("VXRHeartBeat");
  VXR_TRACE(trace, kTraceNodes, "RX4plex HeartBeat entered\n");
  VXR_ResultTable* registeredTable = nullptr;
  VXR_ListHeader* registered = vxr::createTable(&registeredTable, kNodeSize, vxr::kNodesPerBlock);
  if (registered == nullptr) VXR_RETURN(vxr::kRsltAnchorNotObtained);
  buildOrigList(" ", registeredTable, registered, "XR");
  VXR_TRACE(trace, kTraceNodes, "Returned from buildOrigList for heartbeat.\n");

  const bool anyDetected = s.detectedTable != nullptr && vxr::newest(s.detectedList) != nullptr;
  bool groupViewRegistered = false;
  if (anyDetected) {
    setNode(trace, kGroupView, "*", true);
    for (VXR_ListLinks* element : vxr::walk(s.detectedList))
      setNode(trace, vxr::terminated(recordOf(element).node).text, kGroupView, true);
  } else {
    VXR_TRACE(trace, kTraceNodes, "No nodes online, disabling anything already registered \n");
  }
  for (VXR_ListLinks* element : vxr::walk(registered)) {
    const VXR_OriginRecord& record = recordOf(element);
    if (std::memcmp(record.node, kGroupView, 8) == 0) {  // "RX4plex:"
      groupViewRegistered = true;
      continue;
    }
    if (anyDetected && vxr::findKeyed(s.detectedTable, &record, kNodeKey)) continue;
    setNode(trace, vxr::terminated(record.node).text, kGroupView, false);
  }
  if (!anyDetected && groupViewRegistered) setNode(trace, kGroupView, "*", false);
  RSLTdestroy(&registeredTable);
  VXR_RETURN(0);
}

// Registers the group of an online DSGRP record as detected in this request
// (its lines go under the filing); false when it could not be registered for
// want of memory.
bool registerDetectedNode(Heartbeat& s, const FiltRow& record, const Trace& trace) {
  VXR_OriginRecord detected;
  std::memset(&detected, 0, sizeof detected);
  vxr::groupOrigin(detected.node, record.IDNAME);
  if (s.detectedTable == nullptr) {
    s.detectedList = vxr::createTable(&s.detectedTable, kNodeSize, vxr::kNodesPerBlock);
    if (s.detectedList == nullptr) return false;
  }
  bool created = false;
  if (!vxr::findOrFileKeyed(s.detectedTable, &detected, sizeof detected, kNodeKey, &created))
    return false;
  if (created)
    VXR_TRACE(trace, kTraceNodes, "Detected new node: %.*s\n",
              static_cast<int>(vxr::trimmedLength(detected.node, sizeof detected.node)),
              detected.node);
  return true;
}

// After the status collection: a no-fetch request that filed rows beats. A
// failed collection still keeps the host's node status current with the
// groups seen so far, unless it lost a record for want of memory: it then
// knows nothing of the groups it lost and leaves the node status as it is.
void beatAfterStatus(Heartbeat& s, const vxr::Collected& status, const Trace&) {
  if (status.ok ? s.noFetch && status.rowsFiled
                : status.rowsFiled && !status.lost && !vxr::tableFailed(s.detectedTable))
    VXRHeartBeat(s);
}

// ---------------------------------------------------------------------------
// Member status

// The IDNAME filter decides whether this is a no-fetch request; a later
// IDNAME filter replaces an earlier one, the no-fetch flag included.
void idnameTaken(Heartbeat& s, const vxr::FilterMatch& match, [[maybe_unused]] const Trace& trace) {
  if (std::strcmp(match.filter.column, "IDNAME") != 0) return;
#if VXR_FLAVOUR_WINDOWS
  VXR_TRACE(trace, kTraceDetail,
            match.op == 10 ? "ZT31177li Index Filter (%d) (%s) (%s)\n"
                           : "ZT31177eq Index Filter (%d) (%s) (%s)\n",
            match.op, match.column, match.value);
#endif
  s.noFetch = std::memcmp(match.kept, match.filter.notSent, 8) == 0;  // "*NOFETCH"
}

// Without an ORIGINNODE filter: a DSGRP row is named by its group, any
// other by its subsystem (IDNAME:SMFID:RX4).
void nameByGroupOrSubsystem(FiltRow& row) {
  if (isGroup(row)) return vxr::groupOrigin(row.ORIGINNODE, row.IDNAME);
  char suffix[9] = {':'};
  std::memcpy(suffix + 1, row.SMFID, 4);
  std::memcpy(suffix + 5, ":RX4", 4);
  vxr::composeOrigin(row.ORIGINNODE, row.IDNAME, suffix, sizeof suffix);
}

// The status rows of an IDNAME: an offline member's row counts nothing and
// stands for "NO  "; the first online row takes the place of offline ones
// before it and, as a first online row does, registers its group (so that
// which member answers first cannot set a live group offline).
bool summarizeXRStatusData(Heartbeat& s, FiltRow& record, const FiltRow& row, bool created,
                           const Trace& trace) {
  const bool registers = isGroup(row) && s.noFetch;
  if (created) {
    if (!isOffline(record)) return !registers || registerDetectedNode(s, record, trace);
    record.RX4COUNT = record.SYS_TMAX = record.LOCKCNT = 0;
    std::memcpy(record.OASTATUS, "NO  ", 4);
    return true;
  }
  const bool recordOffline = isOffline(record), rowOffline = isOffline(row);
  if (!recordOffline && !rowOffline) {
    vxr::addTo(record.RX4COUNT, row.RX4COUNT);
    vxr::addTo(record.SYS_TMAX, row.SYS_TMAX);
    vxr::addTo(record.LOCKCNT, row.LOCKCNT);
    vxr::keepEarliest(record.TIME, row.TIME);
    if (std::memcmp(record.OASTATUS, row.OASTATUS, 4) != 0) std::memcpy(record.OASTATUS, "Mix ", 4);
  } else if (recordOffline != rowOffline) {
    if (recordOffline) record = row;
    if (std::memcmp(record.OASTATUS, "NO", 2) != 0) std::memcpy(record.OASTATUS, "Mix ", 4);
    if (recordOffline && registers) return registerDetectedNode(s, record, trace);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Object counts

bool summarizeLobjects(VXR_ResultTable* pairs, const vxr::NamePair& pair, const Trace&) {
  VXR_FUNCTION("summarizeLobjects");
  const auto idname = vxr::terminated(pair.group);
  const auto japdb = vxr::terminated(pair.name);
  VXR_TRACE(trace, kTraceDetail, "summarizeLobjects pOADB IDNAME=%8s, goadRow IDNAME %8s\n",
            idname.text, idname.text);
  VXR_TRACE(trace, kTraceDetail, "summarizeLobjects pOADB JABDB=%8s, goadRow JABDB %8s\n",
            japdb.text, japdb.text);
  bool created = false;
  const bool kept = vxr::findOrFileKeyed(pairs, &pair, sizeof pair, vxr::kNamePairKey, &created);
  if (!kept) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record\n");
  } else if (created) {
    VXR_TRACE(trace, kTraceDetail, "summarizeLobjects 1st record\n");
    VXR_TRACE(trace, kTraceDetail, "IDNAME     %8s   %8s\n", idname.text, idname.text);
    VXR_TRACE(trace, kTraceDetail, "JABDB      %8s   %8s\n", japdb.text, japdb.text);
  }
  vxr::traceExitVoid(trace, __LINE__);
  return kept;
}

// ---------------------------------------------------------------------------
// The table

VXR_NAMED_ANCHOR(kCollectStatus, "collectXRStatusdata");
VXR_NAMED_ANCHOR(kSummarizeStatus, "summarizeXRStatusData");
VXR_NAMED_ANCHOR(kCollectObjects, "collectLobjects");
VXR_NAMED_ANCHOR(kCountObjects, "updateOADBCount");

constexpr vxr::TableSpec kStateTables[] = {
    VXR_TABLE(Heartbeat, detectedTable, detectedList, kNodeSize, vxr::kNodesPerBlock)};

constexpr vxr::QueryTexts kObjectQueryTexts = {.pathOpened = "SQL path opened\n",
                                               .requestOpened = "SQL request opened\n"};

constexpr vxr::Table<FiltRow, Heartbeat> kTable = {
    .info = &kFiltTable,
    .eyeCatcher = "FILTWORK",
    .workAreaSize = 244,
    .query = {.select = "SELECT ORIGINNODE,TIME,IDSTATUS,IDTYPE,IDNAME,SMFID,RX4ID,RX4COUNT,"
                        "SYS_TMAX,LOCKCNT,GBPCCNT,OADBCNT,OASTATUS",
              .base = "VXR.XR_SY_EXC"},
    .mismatchLevel = kTraceError,
    .collect = &kCollectStatus,
    .file = &kSummarizeStatus,
    .texts = {.invoked = {kTraceSql, "Invoked for table %s\n"},
              .emitted = {kTraceRow, "filt Anchor at %8X. filtlm link at %8x.\n"},
              .endOfData = {},
              .exitStatus = {}},
    .names = {.query = {.select = "SELECT IDNAME,JAPDB",
                        .base = "VXR.LOBJECTS",
                        .routing = vxr::kAtOriginSpaced},
              .into = "OADBCNT",
              .file = summarizeLobjects,
              .collect = &kCollectObjects,
              .count = &kCountObjects,
              .sqlTrace = "Select=%s\n",
              .texts = &kObjectQueryTexts,
              .line = {kTraceDetail, "OADBCount for group %s is %d\n"},
              .failed = {kTraceDetail, "No Data from LobjectS\n"},
              .tableFailed = {vxr::kTraceAlways, "Unable to allocate Storage for OADBC result\n"}},
    .stateTables = kStateTables,
    .filterValue = {kTraceDetail, "Filter for %s set to %s\n"},
    .filterTaken = idnameTaken,
    .nameRow = nameByGroupOrSubsystem,
    .merge = summarizeXRStatusData,
    .collected = beatAfterStatus,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrfiltsr, xrfiltpr, xrfiltts);
#if VXR_FLAVOUR_WINDOWS
VXR_MODULE(VXRFILTL, xrfiltsr, xrfiltpr, xrfiltts, "ZT31177", "Oct 26 2007", "13:27:09");
#else
VXR_MODULE(VXRFILTL, xrfiltsr, xrfiltpr, xrfiltts, "level200", vxrBuildDate, vxrBuildTime);
#endif
