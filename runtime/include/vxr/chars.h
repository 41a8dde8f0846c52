// Fixed-width character fields and the group managed-system names.
#pragma once

#include <cstddef>
#include <cstring>

namespace vxr {

inline void blank(char* field, size_t width) {
  std::memset(field, ' ', width);
}

// A zero-terminated copy of a fixed-width field, for trace lines.
template <size_t N>
struct FieldText {
  char text[N + 1];
};
template <size_t N>
FieldText<N> terminated(const char (&field)[N]) {
  FieldText<N> copy;
  std::memcpy(copy.text, field, N);
  copy.text[N] = '\0';
  return copy;
}

// Bytewise: `candidate` is earlier than `kept`; then it replaces it.
inline void keepEarliest(char* kept, const char* candidate, size_t width = 16) {
  if (std::memcmp(kept, candidate, width) > 0) std::memcpy(kept, candidate, width);
}

// The agent version (8 characters, "04.01.00") compares above `reference`.
inline bool versionAbove(const char* version, const char* reference) {
  return std::memcmp(version, reference, 8) > 0;
}

// Offset of the first blank or zero byte within `width` characters, or width.
inline size_t trimmedLength(const char* field, size_t width) {
  size_t n = 0;
  while (n < width && field[n] != ' ' && field[n] != '\0') ++n;
  return n;
}

constexpr char kGroupSuffix[] = ":RX4plex:DSGROUP";
constexpr size_t kOriginWidth = 32;
constexpr size_t kNameWidth = 8;

// `origin` (32 characters) = IDNAME (8 characters) up to its first blank or
// zero byte, then `suffix`, blank-padded.
void composeOrigin(char* origin, const char* idname, const char* suffix, size_t suffixLength);

inline void groupOrigin(char* origin, const char* idname) {
  composeOrigin(origin, idname, kGroupSuffix, sizeof kGroupSuffix - 1);
}

// The ORIGINNODE of an assembled row: the request's ORIGINNODE filter value
// when one was given, else the group name formed from the row's IDNAME.
inline void setRowOrigin(char* origin, bool originFilter, const char* originValue,
                         const char* idname) {
  if (originFilter) {
    std::memcpy(origin, originValue, kOriginWidth);
  } else {
    groupOrigin(origin, idname);
  }
}

// The group named by an ORIGINNODE value: its first 8 characters, with the
// first ':' among them and everything after it blanked.
void groupFromOrigin(char* group, const char* origin);

}  // namespace vxr
