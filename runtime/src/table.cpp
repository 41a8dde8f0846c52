#include "vxr/table.h"

namespace vxr {

namespace {

void nodeCondition(SqlText& sql, const char* condition, const char* node, bool fullWidth) {
  if (fullWidth) {
    sqlConditionWidth(sql, condition, node, 32);
  } else {
    sqlCondition(sql, condition, node, 32);
  }
}

bool filterCame(std::span<const Filter> filters, std::span<const FilterSlot> slots,
                const void* workArea, const char* column) {
  for (size_t i = 0; i < filters.size(); ++i) {
    if (filters[i].column != nullptr && std::strcmp(filters[i].column, column) == 0)
      return slotSet(workArea, slots[i]);
  }
  return false;
}

}  // namespace

void sqlTableQuery(SqlText& sql, const MemberQuery& query, const char* further,
                   const VXR_NodeRecord& node, std::span<const Filter> filters,
                   std::span<const FilterSlot> slots, const void* workArea, const Trace& trace,
                   TraceText conditionsLine) {
  sqlAppend(sql, query.select);
  if (further != nullptr) sqlAppend(sql, further);
  sqlAppend(sql, " FROM ");
  sqlAppend(sql, query.base);
  nodeCondition(sql, query.routing.at, node.thruNode, query.fullWidthNodes);
  sqlAppend(sql, ") WHERE ");
  if (query.condition != nullptr) {
    sqlAppend(sql, query.condition);
    sqlAppend(sql, " AND ");
  }
  nodeCondition(sql, query.routing.origin, node.originNode, query.fullWidthNodes);
  bool anySent = false;
  for (size_t i = 0; i < filters.size(); ++i) {
    const Filter& filter = filters[i];
    if (filter.condition == nullptr || !slotSet(workArea, slots[i])) continue;
    if (filter.notSent != nullptr && std::memcmp(slotValue(workArea, slots[i]), filter.notSent,
                                                 std::strlen(filter.notSent)) == 0)
      continue;
    if (filter.onlyWith != nullptr && !filterCame(filters, slots, workArea, filter.onlyWith))
      continue;
    bool sentBefore = false;
    for (size_t j = 0; j < i; ++j) {
      sentBefore = sentBefore || (filters[j].condition != nullptr &&
                                  std::strcmp(filters[j].condition, filter.condition) == 0 &&
                                  slotSet(workArea, slots[j]));
    }
    if (sentBefore) continue;
    const char* value = slotValue(workArea, slots[i]);
    const size_t width = filter.sent != 0 ? filter.sent : slots[i].width;
    if (filter.literal == Literal::Trimmed) {
      sqlCondition(sql, filter.condition, value, width);
    } else {
      sqlConditionWidth(sql, filter.condition, value, width);
    }
    anySent = true;
  }
  if (anySent) traceText(trace, conditionsLine, sql.text);
  sqlAppend(sql, ";");
}

}  // namespace vxr
