#include "vxr/filters.h"

#include "vxr/chars.h"
#include "vxr/host_services.h"

namespace vxr {

// ---------------------------------------------------------------------------
// Index filters

namespace {

bool columnMatches(const char* column, const FilterRule& rule) {
  if (rule.match.length != 0) return std::memcmp(column, rule.column, rule.match.length) == 0;
  char padded[kFilterColumnWidth];
  blank(padded, sizeof padded);
  const size_t length = std::strlen(rule.column);
  std::memcpy(padded, rule.column, length < sizeof padded ? length : sizeof padded);
  return std::memcmp(column, padded, sizeof padded) == 0;
}

void fillSlot(char* workArea, const FilterSlot& slot, const char* value, int32_t length) {
  int32_t one = 1;
  std::memcpy(workArea + slot.flag, &one, sizeof one);
  std::memcpy(workArea + slot.hostValue, &value, sizeof value);
  char* field = workArea + slot.value;
  blank(field, slot.width);
  // The value is cut at the slot's width; it never runs past it.
  const size_t n =
      static_cast<size_t>(length) < slot.width ? static_cast<size_t>(length) : slot.width;
  if (value != nullptr && n > 0) std::memcpy(field, value, n);
}

}  // namespace

void clearFilterSlot(void* workArea, const FilterSlot& slot) {
  char* base = static_cast<char*>(workArea);
  const int32_t zero = 0;
  std::memcpy(base + slot.flag, &zero, sizeof zero);
  blank(base + slot.value, slot.width);
  base[slot.value + slot.width] = '\0';
}

bool deriveGroupFilter(void* workArea, const FilterSlot& origin, const FilterSlot& into,
                       const FilterSlot* alsoInto) {
  char* base = static_cast<char*>(workArea);
  if (loadInt(base, origin.flag) == 0 || loadInt(base, into.flag) != 0) return false;
  for (const FilterSlot* slot : {&into, alsoInto}) {
    if (slot == nullptr) continue;
    groupFromOrigin(base + slot->value, base + origin.value);
    storeInt(base, slot->flag, 1);
    const char* own = base + slot->value;  // the value in use is now the work area's own
    std::memcpy(base + slot->hostValue, &own, sizeof own);
  }
  return true;
}

void readFilters(HDL1_CommonHandle request, void* workArea, const FilterLoop& loop,
                 const Trace& trace) {
  char* base = static_cast<char*>(workArea);
  for (;;) {
    void* filter = nullptr;
    if (getItem(request, kItemIndexFilter, &filter) != 0 || filter == nullptr) break;

    const int16_t op = filterOperator(filter);
    char column[kFilterColumnWidth + 1];
    std::memcpy(column, filterColumn(filter), kFilterColumnWidth);
    column[kFilterColumnWidth] = '\0';
    const char* value = filterValue(filter);
    const int32_t length = value ? filterLength(filter) : 0;
    // A terminated copy of the value for the trace lines.
    char shown[256];
    const size_t shownLength =
        static_cast<size_t>(length) < sizeof shown - 1 ? length : sizeof shown - 1;
    if (shownLength > 0) std::memcpy(shown, value, shownLength);
    shown[shownLength] = '\0';
    if (loop.filterTrace)
      VXR_TRACE(trace, loop.filterTraceLevel, loop.filterTrace, op, column, shown);

    for (const FilterRule& rule : loop.rules) {
      if (op != kFilterEquals && (rule.otherOperator == 0 || op != rule.otherOperator)) continue;
      if (!columnMatches(column, rule)) continue;
      for (const FilterSlot& slot : rule.slots) {
        if (slot.width != 0) fillSlot(base, slot, value, length);
      }
      if (rule.matchTrace) VXR_TRACE(trace, kTraceDetail, rule.matchTrace, op, column, shown);
      if (rule.onMatch) rule.onMatch(workArea, trace, op, column, shown);
      break;
    }
  }
}

}  // namespace vxr
