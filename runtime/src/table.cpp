#include "vxr/table.h"

namespace vxr {

void sqlTableQuery(SqlText& sql, const MemberQuery& query, const VXR_NodeRecord& node,
                   std::span<const Filter> filters, std::span<const FilterSlot> slots,
                   const void* workArea) {
  sqlAppend(sql, query.select);
  sqlAppend(sql, " FROM ");
  sqlAppend(sql, query.base);
  sqlCondition(sql, query.routing.at, node.thruNode, 32);
  sqlAppend(sql, ") WHERE ");
  if (query.condition != nullptr) {
    sqlAppend(sql, query.condition);
    sqlAppend(sql, " AND ");
  }
  sqlCondition(sql, query.routing.origin, node.originNode, 32);
  for (size_t i = 0; i < filters.size(); ++i) {
    const Filter& filter = filters[i];
    if (filter.condition == nullptr || !slotSet(workArea, slots[i])) continue;
    if (filter.literal == Literal::Trimmed) {
      sqlCondition(sql, filter.condition, slotValue(workArea, slots[i]), slots[i].width);
    } else {
      sqlConditionWidth(sql, filter.condition, slotValue(workArea, slots[i]), slots[i].width);
    }
  }
  sqlAppend(sql, ";");
}

}  // namespace vxr
