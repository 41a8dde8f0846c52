#include "vxr/nodes.h"

#include "runtime_units.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"

namespace {

#define UTL_FUNCTION(name)                                      \
  VXR_ANCHOR_ON(utlAnchor, vxrUtilUnit, vxrUtilUnitSync, name); \
  const ::vxr::Trace trace = ::vxr::traceEnter(&utlAnchor)

constexpr char kNodeListSql[] =
    "SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND "
    "Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';";

constexpr vxr::ColumnField kNodeColumns[] = {
    {"THRUNODE", offsetof(VXR_NodeRecord, thruNode), 32, vxr::FieldType::Chars},
    {"ORIGINNODE", offsetof(VXR_NodeRecord, originNode), 32, vxr::FieldType::Chars},
    {"VERSION", offsetof(VXR_NodeRecord, version), 8, vxr::FieldType::Chars},
};

constexpr vxr::ColumnField kOriginColumns[] = {
    {"NODE", offsetof(VXR_OriginRecord, node), 32, vxr::FieldType::Chars},
    {"VERSION", offsetof(VXR_OriginRecord, version), 8, vxr::FieldType::Chars},
};

struct ListTarget {
  VXR_ResultTable* table;
  VXR_ListHeader* list;
  bool lost;  // a row could not be filed: the listing is incomplete
};

bool fileNode(void* context, const vxr::Trace& trace, const void* sqlda) {
  auto* target = static_cast<ListTarget*>(context);
  VXR_NodeRecord record;
  std::memset(&record, 0, sizeof record);
  if (!vxr::assembleRow(trace, sqlda, kNodeColumns, 3, &record, kTraceError)) return true;
  record.spare = 0;
  auto* filed = static_cast<VXR_NodeRecord*>(
      vxr::fileCopy(target->table, target->list, &record, sizeof record));
  if (filed == nullptr) {
    target->lost = true;  // an incomplete member list must not pass for the whole group
    return false;
  }
  VXR_TRACE(trace, kTraceNodes, "REALNODE  =\\%.32s\\\tORIGINNODE=\\%.32s\\\n", filed->thruNode,
            filed->originNode);
  return true;
}

bool fileOrigin(void* context, const vxr::Trace& trace, const void* sqlda) {
  auto* target = static_cast<ListTarget*>(context);
  VXR_OriginRecord record;
  std::memset(&record, 0, sizeof record);
  if (!vxr::assembleRow(trace, sqlda, kOriginColumns, 2, &record, kTraceError)) return true;
  auto* filed = static_cast<VXR_OriginRecord*>(
      vxr::fileCopy(target->table, target->list, &record, offsetof(VXR_OriginRecord, spare)));
  if (filed == nullptr) {
    target->lost = true;
    return false;
  }
  VXR_TRACE(trace, kTraceNodes, "ORIGINNODE=\\%32.32s\\\n", filed->node);
  VXR_TRACE(trace, kTraceNodes, "VERSION=\\%8.8s\\ length=%d\n", filed->version,
            vxr::sqldaLength(sqlda, 1));
  return true;
}

}  // namespace

extern "C" int32_t buildNodeList(VXR_ResultTable* table, VXR_ListHeader* list) {
  UTL_FUNCTION("buildNodeList");
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlAppend(sql, kNodeListSql);
  VXR_TRACE(trace, kTraceNodes, "NodeSTS SQL= %s\n", sql.text);
  ListTarget target{table, list, false};
  vxr::runQuery(trace, sql, fileNode, &target);
  VXR_RETURN(target.lost ? 0 : 1);
}

extern "C" int32_t buildOrigList(const char* nodeName, VXR_ResultTable* table, VXR_ListHeader* list,
                                 const char* product) {
  UTL_FUNCTION("buildOrigList");
  const char* code = product ? product : "QM";
  VXR_TRACE(trace, kTraceNodes, "buildOrigList called for product %s\n", code);
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlAppend(sql,
                 "SELECT NODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND "
                 "Q7ONLINE = 'Y' AND PRODUCT = '");
  vxr::sqlAppendWidth(sql, code, std::strlen(code));
  vxr::sqlAppend(sql, "'");

  // The node pattern: the name up to its first blank, at most 8 characters,
  // then the wildcard.
  char pattern[8];
  std::memset(pattern, 0, sizeof pattern);
  if (nodeName != nullptr) {
    for (size_t i = 0; i < sizeof pattern && nodeName[i] != '\0'; ++i) pattern[i] = nodeName[i];
  }
  const size_t length = vxr::trimmedLength(pattern, sizeof pattern);
  if (length > 0) {
    vxr::sqlAppend(sql, "   AND NODE LIKE '");
    vxr::sqlAppendWidth(sql, pattern, length);
    vxr::sqlAppend(sql, "*'");
  }
  vxr::sqlAppend(sql, ";");
  VXR_TRACE(trace, kTraceNodes, "NodeSTS SQL= %s\n", sql.text);
  ListTarget target{table, list, false};
  vxr::runQuery(trace, sql, fileOrigin, &target);
  VXR_RETURN(target.lost ? 0 : 1);
}
