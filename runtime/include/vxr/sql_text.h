// SQL text. Values are put into the text by these routines only; a quote in a
// value is doubled so that it cannot end the literal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxr {

constexpr size_t kSqlBufferSize = 1000;

struct SqlText {
  char text[kSqlBufferSize];
  uint32_t length;
  bool overflow;  // something did not fit; such a text is never sent
};

void sqlBegin(SqlText& sql);
void sqlAppend(SqlText& sql, const char* literal);
// The value trimmed: its first character always, then characters up to the
// first blank or zero byte, at most `maxChars` characters in all.
void sqlAppendTrimmed(SqlText& sql, const char* value, size_t maxChars);
// The value at full width (`width` characters, blanks included), stopping
// early only at a zero byte.
void sqlAppendWidth(SqlText& sql, const char* value, size_t width);

// "<condition><value>'": a condition whose literal takes the value trimmed
// (at most maxChars characters), or at full width.
inline void sqlCondition(SqlText& sql, const char* condition, const char* value, size_t maxChars) {
  sqlAppend(sql, condition);
  sqlAppendTrimmed(sql, value, maxChars);
  sqlAppend(sql, "'");
}
inline void sqlConditionWidth(SqlText& sql, const char* condition, const char* value,
                              size_t width) {
  sqlAppend(sql, condition);
  sqlAppendWidth(sql, value, width);
  sqlAppend(sql, "'");
}

}  // namespace vxr
