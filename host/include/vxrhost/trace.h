// Trace lines as the host's trace services record them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vxrhost/error.h"

namespace vxrhost {

struct TraceLine {
  std::string unit;      // trace unit name ("VXRGOAAL", "VXRMSQL", "HOST")
  std::string function;  // function name from the anchor, or the host function
  std::string text;      // one trailing newline removed
  int32_t line = 0;      // source line given by the caller
  // "UNIT function text"
  std::string render() const;
};

// Parses "UNIT=MASK[,UNIT=MASK...]"; a mask is hexadecimal with a 0x prefix
// or decimal. "*" as the unit stands for every unit. Blanks around items are
// ignored. A malformed item gives kBadTraceLevels with `error` naming it.
int32_t parseTraceLevels(std::string_view spec,
                         std::vector<std::pair<std::string, int32_t>>& levels, Error& error);

}  // namespace vxrhost
