#include "vxr/sql_text.h"

#include <cstring>

namespace vxr {

// ---------------------------------------------------------------------------
// SQL text

namespace {

void put(SqlText& sql, char c) {
  if (sql.length + 1 >= kSqlBufferSize) {
    sql.overflow = true;
    return;
  }
  sql.text[sql.length++] = c;
  sql.text[sql.length] = '\0';
}

// A value character: a quote is doubled so that the literal stays closed.
void putValueChar(SqlText& sql, char c) {
  if (c == '\'') put(sql, '\'');
  put(sql, c);
}

}  // namespace

void sqlBegin(SqlText& sql) {
  std::memset(sql.text, 0, sizeof sql.text);
  sql.length = 0;
  sql.overflow = false;
}

void sqlAppend(SqlText& sql, const char* literal) {
  for (const char* p = literal; *p; ++p) put(sql, *p);
}

void sqlAppendTrimmed(SqlText& sql, const char* value, size_t maxChars) {
  if (value == nullptr || maxChars == 0 || value[0] == '\0') return;
  putValueChar(sql, value[0]);
  for (size_t i = 1; i < maxChars && value[i] != ' ' && value[i] != '\0'; ++i) {
    putValueChar(sql, value[i]);
  }
}

void sqlAppendWidth(SqlText& sql, const char* value, size_t width) {
  if (value == nullptr) return;
  for (size_t i = 0; i < width && value[i] != '\0'; ++i) putValueChar(sql, value[i]);
}

}  // namespace vxr
