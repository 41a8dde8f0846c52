// Arithmetic of the summaries, and loads and stores of the wider fields
// inside rows and elements. Counters are signed 32-bit; intermediate values
// are formed in 64 bits and saturate when stored back into a 32-bit field,
// so that large counts never wrap. Where nothing overflows the results are
// those of plain 32-bit arithmetic.
//
// Elements of a result table sit one word after the start of a block, so on
// the 32-bit targets every element starts at 4 mod 8: a field wider than a
// word is only ever read and written through memcpy (loadDouble/storeDouble).
#pragma once

#include <cstdint>
#include <cstring>

namespace vxr {

// The one "no field" value of every offset in a declaration.
constexpr uint16_t kNoField = 0xFFFF;

inline int32_t saturate32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// A double truncated toward zero into a signed 32-bit field; out of range
// values saturate and NaN becomes 0.
inline int32_t truncate32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

inline void addTo(int32_t& sum, int32_t value) {
  sum = saturate32(static_cast<int64_t>(sum) + value);
}

// The average of a sum over `count` rows, truncated toward zero.
inline int32_t average(int32_t sum, int32_t count) {
  return truncate32(static_cast<double>(sum) / count);
}

// A sum over the `count` rows merged into it, averaged: divided by `count`
// and truncated toward zero when more than one row was merged; a row that
// was not merged (count 1 or less) keeps its own figure.
inline int32_t averageOver(int32_t sum, int32_t count) {
  return count > 1 ? sum / count : sum;
}

// value * scale / divisor, the product formed in 64 bits, truncated toward
// zero and saturated into 32 bits; 0 when the divisor is below 1 (no
// figure to relate the value to).
inline int32_t scaledRatio(int32_t value, int32_t scale, int32_t divisor) {
  if (divisor < 1) return 0;
  return saturate32(static_cast<int64_t>(value) * scale / divisor);
}

inline int32_t loadInt(const void* record, size_t offset) {
  int32_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}
inline void storeInt(void* record, size_t offset, int32_t value) {
  std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}
inline double loadDouble(const void* record, size_t offset) {
  double value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}
inline void storeDouble(void* record, size_t offset, double value) {
  std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

}  // namespace vxr
