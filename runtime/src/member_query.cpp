#include "vxr/member_query.h"

#include "vxr/sql.h"

namespace vxr {

// ---------------------------------------------------------------------------
// Row assembly

bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel) {
  const int32_t count = static_cast<int32_t>(columns.size());
  const int32_t delivered = sqldaColumnCount(sqlda);
  if (delivered != count) {
    VXR_TRACE(trace, mismatchLevel, "Count of colums (%d) are not equal to SQLDA columns (%d)",
              count, delivered);
    return false;
  }
  char* base = static_cast<char*>(row);
  for (int32_t i = 0; i < count; ++i) {
    const ColumnField& field = columns[i];
    const char* data = sqldaData(sqlda, i);
    // A negative delivered length counts as none.
    const int32_t given = data ? sqldaLength(sqlda, i) : 0;
    size_t length = given > 0 ? static_cast<size_t>(given) : 0;
    if (length > field.width) length = field.width;
    char* target = base + field.offset;
    if (length > 0) std::memcpy(target, data, length);
    if (length < field.width) {
      std::memset(target + length, field.type == FieldType::Chars ? ' ' : 0, field.width - length);
    }
  }
  return true;
}

bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel, std::span<const uint16_t> zeroFilled) {
  if (!assembleRow(trace, sqlda, columns, row, mismatchLevel)) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnField& field = columns[i];
    bool listed = false;
    for (uint16_t offset : zeroFilled) listed = listed || offset == field.offset;
    if (!listed) continue;
    const int32_t column = static_cast<int32_t>(i);
    size_t length = sqldaData(sqlda, column) ? static_cast<size_t>(sqldaLength(sqlda, column)) : 0;
    if (length < field.width) {
      std::memset(static_cast<char*>(row) + field.offset + length, 0, field.width - length);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Member queries

bool runQuery(const Trace& trace, const SqlText& sql, RowHandler onRow, void* context,
              const QueryTexts* texts) {
  if (sql.overflow) {
    VXR_TRACE(trace, kTraceError, "Unable to create select request path %d\n", kSqlStatusFailed);
    return false;
  }
  VXRSQLAP block;
  std::memset(&block, 0, sizeof block);
  block.sqlText = sql.text;
  int32_t status = vxrsqlp(&block);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Unable to create select request path %d\n", status);
    return false;
  }
  if (texts && texts->pathOpened) VXR_TRACE(trace, kTraceDetail, texts->pathOpened);
  bool ok = true;
  status = vxrsqli(&block);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Unable to open request for input %d\n", status);
    ok = false;
  } else {
    if (texts && texts->requestOpened) VXR_TRACE(trace, kTraceDetail, texts->requestOpened);
    while (vxrsqlf(&block) == 0) {
      if (!onRow(context, trace, block.output)) ok = false;
    }
    status = vxrsqlc(&block);
    if (status != 0) {
      VXR_TRACE(trace, kTraceError, "Unable to close request for input %d\n", status);
      ok = false;
    }
    if (texts && texts->afterFetch) VXR_TRACE(trace, kTraceDetail, texts->afterFetch);
  }
  status = vxrsqld(&block);
  if (status != 0) VXR_TRACE(trace, kTraceError, "Unable to drop request %d\n", status);
  return ok;
}

void sqlMemberQuery(SqlText& sql, const char* select, const char* from, const char* at,
                    const VXR_NodeRecord& node, const char* where) {
  sqlAppend(sql, select);
  sqlAppend(sql, from);
  sqlCondition(sql, at, node.thruNode, 32);
  sqlAppend(sql, ")");
  sqlCondition(sql, where, node.originNode, 32);
}

int32_t collectMembers(const Trace& trace, const MemberCollection& collection) {
  int32_t result = 1;
  *collection.nodeCursor = nullptr;
  for (;;) {
    VXR_ListLinks* cursor = *collection.nodeCursor;
    VXR_ListLinks* next = cursor ? older(collection.nodes, cursor) : newest(collection.nodes);
    *collection.nodeCursor = next;
    if (next == nullptr) break;
    const VXR_NodeRecord& node = nodeOf(next);
    VXR_TRACE(trace, kTraceDetail, "REALNODE=\\%32s\\\n", node.thruNode);
    SqlText sql;
    sqlBegin(sql);
    collection.buildSql(collection.context, trace, node, sql);
    if (collection.sqlTrace)
      VXR_TRACE(trace, collection.sqlTraceLevel, collection.sqlTrace, sql.text);
    if (!runQuery(trace, sql, collection.onRow, collection.context, collection.texts)) result = 0;
  }
  return result;
}

}  // namespace vxr
