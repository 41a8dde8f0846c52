// Helpers that many table providers share: SQL text with quoted values,
// index filter capture, row assembly from the output descriptor, group
// managed-system names, keyed merges and the arithmetic of the summaries.
#pragma once

#include <array>
#include <type_traits>

#include "vxr/host_services.h"
#include "vxr/nodes.h"
#include "vxr/result_table.h"
#include "vxr/trace.h"

namespace vxr {

// ---------------------------------------------------------------------------
// Arithmetic. Counters are signed 32-bit; intermediate values are formed in
// 64 bits and saturate when stored back into a 32-bit field, so that large
// counts never wrap. Where nothing overflows the results are those of plain
// 32-bit arithmetic.

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

// ---------------------------------------------------------------------------
// SQL text. Values are put into the text by these routines only; a quote in a
// value is doubled so that it cannot end the literal.

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

// ---------------------------------------------------------------------------
// Fixed-width character fields.

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

// ---------------------------------------------------------------------------
// Group managed-system names.

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

// ---------------------------------------------------------------------------
// Index filters. A module describes its key columns as rules over its work
// area; readFilters takes the request's filters and fills the slots.

// One slot of the work area: its flag, the address of the host's value and
// the blank-padded value (offsets from the start of the work area).
struct FilterSlot {
  uint16_t flag;
  uint16_t hostValue;
  uint16_t value;
  uint16_t width;  // 0: no slot
};

struct FilterRule {
  const char* column;      // column name
  uint8_t compareLength;   // characters compared; 0: the whole blank-padded name
  FilterSlot slots[2];     // filled on a match (the second may be empty)
  const char* matchTrace;  // "%d %s %s": operator, column, value; or null
  int16_t otherOperator;   // a further operator code that counts (0: none)
  // Called after the slots are filled, for what a module does beyond them.
  void (*onMatch)(void* workArea, const Trace& trace, int16_t op, const char* column,
                  const char* value);
};

struct FilterLoop {
  const FilterRule* rules;
  int32_t ruleCount;
  const char* filterTrace;  // traced for every filter: operator, column, value
  int32_t filterTraceLevel;
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

// A slot of work area W: flag, host's value address, and the value itself
// (its width is the value member's size; a terminator member follows it).
#define VXR_SLOT(W, flag, host, value)                                         \
  ::vxr::FilterSlot {                                                          \
    offsetof(W, flag), offsetof(W, host), offsetof(W, value), sizeof(W::value) \
  }
#define VXR_NO_SLOT   \
  ::vxr::FilterSlot { \
    0, 0, 0, 0        \
  }

// ---------------------------------------------------------------------------
// Row assembly from the output descriptor.

enum class FieldType : uint8_t { Chars, Int32, Padding };

// Where one column of a SELECT list lands in a row.
struct ColumnField {
  const char* name;
  uint16_t offset;
  uint16_t width;
  FieldType type;
};

template <typename T>
constexpr FieldType fieldTypeOf() {
  return std::is_same_v<T, int32_t> ? FieldType::Int32 : FieldType::Chars;
}

#define VXR_FIELD(Row, name)                                                                   \
  ::vxr::ColumnField {                                                                         \
#name, offsetof(Row, name), sizeof(Row::name), ::vxr::fieldTypeOf < decltype(Row::name)>() \
  }

// A row layout is declared once as a list of fields, from which both the
// record type and its attribute table are made:
//   #define MY_ROW(X, T) X(T, ORIGINNODE, Chars, 32) X(T, JTPGETP, Int32, 4) ...
//   struct MyRow { MY_ROW(VXR_ROW_MEMBER, MyRow) };
//   constexpr ColumnField kMyRowAttributes[] = {MY_ROW(VXR_ROW_ATTRIBUTE, MyRow)};
#define VXR_ROW_MEMBER(T, name, kind, width) VXR_ROW_MEMBER_##kind(name, width)
#define VXR_ROW_MEMBER_Chars(name, width) char name[width];
#define VXR_ROW_MEMBER_Padding(name, width) char name[width];
#define VXR_ROW_MEMBER_Int32(name, width) int32_t name;
#define VXR_ROW_ATTRIBUTE(T, name, kind, width) \
  ::vxr::ColumnField{#name, offsetof(T, name), width, ::vxr::FieldType::kind},

// Copies the columns of the current output row into `row`: each with its
// delivered length, at most the field's width; a shorter value leaves the
// rest of a character field blank and of an integer zero. Nothing is copied
// when the descriptor does not have exactly `count` columns: then the line
// "Count of colums ..." is traced at `mismatchLevel` and false returned.
bool assembleRow(const Trace& trace, const void* sqlda, const ColumnField* columns, int32_t count,
                 void* row, int32_t mismatchLevel);

// Number of columns of a SELECT list ("SELECT A,B, C" has 3).
constexpr int32_t selectColumnCount(const char* select) {
  int32_t count = 1;
  for (const char* p = select; *p; ++p) count += (*p == ',');
  return count;
}

// The SELECT list names exactly the fields of the column table, in order.
constexpr bool selectMatches(const char* select, const ColumnField* columns, int32_t count) {
  const char* p = select;
  while (*p && *p != ' ') ++p;  // "SELECT"
  for (int32_t i = 0; i < count; ++i) {
    while (*p == ' ') ++p;
    const char* name = columns[i].name;
    while (*name && *p == *name) ++p, ++name;
    if (*name) return false;
    while (*p == ' ') ++p;
    if (i + 1 < count && *p++ != ',') return false;
  }
  return *p == '\0';
}

// ---------------------------------------------------------------------------
// Keyed merges over lists of result-table elements.

struct ByteRange {
  uint16_t offset;
  uint16_t length;
};

#define VXR_KEY(Row, name)                 \
  ::vxr::ByteRange {                       \
    offsetof(Row, name), sizeof(Row::name) \
  }

inline bool keysEqual(const void* a, const void* b, const ByteRange* keys, int32_t count) {
  const char* x = static_cast<const char*>(a);
  const char* y = static_cast<const char*>(b);
  for (int32_t i = 0; i < count; ++i) {
    if (std::memcmp(x + keys[i].offset, y + keys[i].offset, keys[i].length) != 0) return false;
  }
  return true;
}

// The newest element whose data equals `data` over the key ranges.
VXR_ListLinks* findByKeys(VXR_ListHeader* list, const void* data, const ByteRange* keys,
                          int32_t count);

// Number of elements whose data equals `data` over the key ranges.
int32_t countByKeys(VXR_ListHeader* list, const void* data, const ByteRange* keys, int32_t count);

// Takes an element, copies `size` bytes of `data` into it and files it as the
// newest; null (nothing filed) when no element can be had.
void* fileCopy(VXR_ResultTable* table, VXR_ListHeader* list, const void* data, size_t size);

// How a later row of a key merges into the element its first row created:
// counters added (saturating), largest values raised, the earliest time stamp
// kept, and the row counted. Every other field keeps the first row's value.
struct MergeRule {
  const uint16_t* sums;
  int32_t sumCount;
  const uint16_t* maxima;
  int32_t maximumCount;
  uint16_t timestamp;   // 16-character time stamp, or kNoOffset
  uint16_t rowsMerged;  // 32-bit count of merged rows, or kNoOffset
};
constexpr uint16_t kNoOffset = 0xFFFF;

void mergeRow(void* kept, const void* row, const MergeRule& rule);

// The sum of the 32-bit fields at `offsets`, in 64 bits.
int64_t sumOf(const void* row, const uint16_t* offsets, int32_t count);

// Adds the 32-bit counters at `offsets` of `row` into `sum`, saturating.
void addFields(void* sum, const void* row, const uint16_t* offsets, int32_t count);
// Raises the 32-bit fields at `offsets` of `kept` to those of `row` where larger.
void raiseFields(void* kept, const void* row, const uint16_t* offsets, int32_t count);

inline int32_t loadInt(const void* record, size_t offset) {
  int32_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}
inline void storeInt(void* record, size_t offset, int32_t value) {
  std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

// ---------------------------------------------------------------------------
// Member queries. One SELECT per member agent, built by the module, run
// through the SQL request layer; each fetched row is handed to the module.

// Optional detail lines some collections write around a query.
struct QueryTexts {
  const char* pathOpened;     // after the path is created
  const char* requestOpened;  // after the request is opened
  const char* afterFetch;     // after the fetch loop
};

using RowHandler = bool (*)(void* context, const Trace& trace, const void* sqlda);

// Runs one SQL text: prepare, open, fetch (onRow for every row), close, drop.
// Failures are traced with the system's messages. True when the request was
// created, opened and closed and every onRow returned true.
bool runQuery(const Trace& trace, const SqlText& sql, RowHandler onRow, void* context,
              const QueryTexts* texts = nullptr);

struct MemberCollection {
  VXR_ListHeader* nodes;       // node list of buildNodeList
  VXR_ListLinks** nodeCursor;  // the work area's node cursor
  void* context;               // handed to the hooks (the work area)
  void (*buildSql)(void* context, const Trace& trace, const VXR_NodeRecord& node, SqlText& sql);
  RowHandler onRow;
  const char* sqlTrace;  // traced with the text before it is sent
  int32_t sqlTraceLevel;
  const QueryTexts* texts;
};

// The start of a member query: the SELECT list, the FROM text, the routing
// clause (`at` ends with the opening quote) with the thru node, and the
// origin-node condition (`where` ends with the opening quote), both node
// names trimmed: "<select><from><at><thru>')<where><origin>'".
void sqlMemberQuery(SqlText& sql, const char* select, const char* from, const char* at,
                    const VXR_NodeRecord& node, const char* where);

// Queries every member of the node list, newest node first, with the node
// cursor on it. 1 when every query succeeded and every row was taken, else 0.
int32_t collectMembers(const Trace& trace, const MemberCollection& collection);

}  // namespace vxr
