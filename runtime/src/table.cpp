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
  // The group condition: the one of the group filter, sent once.
  const char* groupCondition = nullptr;
  for (const Filter& filter : filters) {
    if (filter.role == FilterRole::Group) groupCondition = filter.condition;
  }
  bool groupSent = false;
  for (size_t i = 0; i < filters.size(); ++i) {
    const Filter& filter = filters[i];
    if (filter.condition == nullptr || !slotSet(workArea, slots[i])) continue;
    if (filter.onlyWithGroup && !groupSent) continue;
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
    if (groupCondition != nullptr && std::strcmp(filter.condition, groupCondition) == 0)
      groupSent = true;
  }
  sqlAppend(sql, ";");
}

}  // namespace vxr
