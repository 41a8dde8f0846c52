#include "vxr/chars.h"

namespace vxr {

// ---------------------------------------------------------------------------
// Group names

void composeOrigin(char* origin, const char* idname, const char* suffix, size_t suffixLength) {
  blank(origin, kOriginWidth);
  std::memcpy(origin, idname, kNameWidth);
  const size_t at = trimmedLength(origin, kOriginWidth);
  const size_t room = kOriginWidth - at;
  std::memcpy(origin + at, suffix, suffixLength < room ? suffixLength : room);
}

void groupFromOrigin(char* group, const char* origin) {
  std::memcpy(group, origin, kNameWidth);
  for (size_t i = 0; i < kNameWidth; ++i) {
    if (group[i] == ':') {
      blank(group + i, kNameWidth - i);
      break;
    }
  }
}

}  // namespace vxr
