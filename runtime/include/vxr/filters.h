// Index filters. A module declares its key columns as rules over its work
// area; readFilters takes the request's filters and fills the slots.
//
//   constexpr FilterSlot kDb = VXR_SLOT(MyWork, dbFlag, dbHost, db);
//   constexpr FilterRule kRules[] = {
//       {.column = "JTPDB", .match = prefix(5), .slots = {kDb},
//        .matchTrace = "JTPDB match Index Filter %d %s %s \n"},
//       {.column = "ORIGINNODE", .slots = {kOrigin}},  // exact() by default
//   };
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

#include "vxr/abi.h"
#include "vxr/arithmetic.h"
#include "vxr/declaration.h"
#include "vxr/trace.h"

namespace vxr {

// One slot of the work area: its flag, the address of the host's value and
// the blank-padded value (offsets from the start of the work area).
struct FilterSlot {
  uint16_t flag = kNoField;
  uint16_t hostValue = kNoField;
  uint16_t value = kNoField;
  uint16_t width = 0;  // 0: no slot
};

template <typename Flag, typename Host, typename Value>
constexpr FilterSlot checkedSlot(size_t flag, size_t host, size_t value) {
  static_assert(std::is_same_v<Flag, int32_t>, "a filter flag is a 32-bit word");
  static_assert(std::is_same_v<Host, const char*>, "the host's value is kept as const char*");
  static_assert(std::is_array_v<Value> && std::is_same_v<std::remove_extent_t<Value>, char>,
                "a filter value is a character field");
  return {static_cast<uint16_t>(flag), static_cast<uint16_t>(host), static_cast<uint16_t>(value),
          static_cast<uint16_t>(sizeof(Value))};
}

// A slot of work area W: flag, host's value address, and the value itself
// (its width is the value member's size; a terminator member follows it).
// The member types are checked, so swapped members do not compile.
#define VXR_SLOT(W, flag, host, value)                                          \
  ::vxr::checkedSlot<decltype(W::flag), decltype(W::host), decltype(W::value)>( \
      offsetof(W, flag), offsetof(W, host), offsetof(W, value))

// The work-area fields of a slot named `name` (its flag is declared apart):
// the host's value address nameHost, the value name[width] and the
// terminator member nameEnd of type EndType.
#define VXR_SLOT_FIELDS(name, width, EndType) \
  const char* name##Host;                     \
  char name[width];                           \
  EndType name##End

using FilterHook = void (*)(void* workArea, const Trace& trace, int16_t op, const char* column,
                            const char* value);

struct FilterRule {
  const char* column = nullptr;  // column name
  ColumnMatch match = exact();
  FilterSlot slots[2] = {};          // filled on a match (the second may be empty)
  const char* matchTrace = nullptr;  // "%d %s %s": operator, column, value; or null
  int16_t otherOperator = 0;         // a further operator code that counts (0: none)
  // Called after the slots are filled, for what a module does beyond them.
  FilterHook onMatch = nullptr;
};

struct FilterLoop {
  std::span<const FilterRule> rules = {};
  const char* filterTrace = "Index Filter %d %s %s\n";  // every filter: operator, column, value
  int32_t filterTraceLevel = kTraceDetail;
};

// Clears a slot: flag 0, value blanked, the byte after it zero.
void clearFilterSlot(void* workArea, const FilterSlot& slot);

// When an ORIGINNODE filter came and `into` has no filter of its own, `into`
// takes the group the ORIGINNODE value names (flag set), and so does `alsoInto`
// when given. True when the group was derived.
bool deriveGroupFilter(void* workArea, const FilterSlot& origin, const FilterSlot& into,
                       const FilterSlot* alsoInto = nullptr);

// Reads every index filter of the request (GetItem item 28 until non-zero).
void readFilters(HDL1_CommonHandle request, void* workArea, const FilterLoop& loop,
                 const Trace& trace);

inline bool slotSet(const void* workArea, const FilterSlot& slot) {
  return loadInt(workArea, slot.flag) != 0;
}
inline const char* slotValue(const void* workArea, const FilterSlot& slot) {
  return static_cast<const char*>(workArea) + slot.value;
}

}  // namespace vxr
