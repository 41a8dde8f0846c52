// Row layouts: what a table's row is, declared once in the module's header
// and read by the module (row assembly), the host's catalog and the tests.
// A module's header includes vxr/declaration.h, which includes this file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace vxr {

enum class FieldType : uint8_t { Chars, Int32, Padding };

// Where one column of a SELECT list, or one attribute of a row, lies.
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

// The column of a SELECT list that lands in field `name` of Row.
#define VXR_FIELD(Row, name)                                                                   \
  ::vxr::ColumnField {                                                                         \
#name, offsetof(Row, name), sizeof(Row::name), ::vxr::fieldTypeOf < decltype(Row::name)>() \
  }

// A column whose field keeps raw bytes: a shorter value leaves the rest of
// the field zero rather than blank (fields that an older agent does not
// deliver at all are zero, so a short delivered value reads the same way).
#define VXR_FIELD_ZEROED(Row, name)                                          \
  ::vxr::ColumnField {                                                       \
#name, offsetof(Row, name), sizeof(Row::name), ::vxr::FieldType::Padding \
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

// The fields a member-activity row starts with: the managed system and time
// stamp, the group, and the member and system that reported it.
#define VXR_MEMBER_ROW_START(X, T) \
  X(T, ORIGINNODE, Chars, 32)      \
  X(T, TIMESTAMP, Chars, 16)       \
  X(T, IDNAME, Chars, 8)           \
  X(T, DSGROUP, Chars, 8)          \
  X(T, RX4ID, Chars, 4)            \
  X(T, SYSID, Chars, 4)

// The fields of a coupling-facility structure row that name the structure:
// its name, group, time stamp, status and type, and the IDNAME.
#define VXR_STRUCTURE_ROW_FIELDS(X, T) \
  X(T, STRUCTN, Chars, 16)             \
  X(T, DSGROUP, Chars, 8)              \
  X(T, TIMESTAMP, Chars, 16)           \
  X(T, STRUCTST, Chars, 8)             \
  X(T, STRUCTT, Chars, 5)              \
  X(T, IDNAME, Chars, 8)

// Number of columns of a SELECT list ("SELECT A,B, C" has 3).
constexpr int32_t selectColumnCount(const char* select) {
  int32_t count = 1;
  for (const char* p = select; *p; ++p) count += (*p == ',');
  return count;
}

// The SELECT list names exactly the fields of the column table, in order.
constexpr bool selectMatches(const char* select, std::span<const ColumnField> columns) {
  const char* p = select;
  while (*p && *p != ' ') ++p;  // "SELECT"
  for (size_t i = 0; i < columns.size(); ++i) {
    while (*p == ' ') ++p;
    const char* name = columns[i].name;
    while (*name && *p == *name) ++p, ++name;
    if (*name) return false;
    while (*p == ' ') ++p;
    if (i + 1 < columns.size() && *p++ != ',') return false;
  }
  return *p == '\0';
}
constexpr bool selectMatches(const char* select, const ColumnField* columns, int32_t count) {
  return selectMatches(select, std::span<const ColumnField>(columns, static_cast<size_t>(count)));
}

// The fields of `layout` named by a list separated by commas and blanks
// ("A,B, C"), in its order; a name the layout does not have is left without
// a name.
template <size_t N>
constexpr std::array<ColumnField, N> fieldsNamed(const char* names,
                                                 std::span<const ColumnField> layout) {
  std::array<ColumnField, N> fields{};
  const char* p = names;
  for (size_t i = 0; i < N; ++i) {
    while (*p == ' ' || *p == ',') ++p;
    const char* end = p;
    while (*end && *end != ',' && *end != ' ') ++end;
    for (const ColumnField& field : layout) {
      const char* a = field.name;
      const char* b = p;
      while (b != end && *a == *b) ++a, ++b;
      if (b == end && *a == '\0') fields[i] = field;
    }
    p = end;
  }
  return fields;
}

// The fields a SELECT list lands in, looked up by name in a row layout:
//   constexpr auto kColumns = columnsOf<selectColumnCount(kSelect)>(kSelect, kMyRowAttributes);
// A name the row does not have is left without a name, so that
// selectMatches(kSelect, kColumns) does not hold.
template <size_t N>
constexpr std::array<ColumnField, N> columnsOf(const char* select,
                                               std::span<const ColumnField> row) {
  const char* p = select;
  while (*p && *p != ' ') ++p;  // "SELECT"
  return fieldsNamed<N>(p, row);
}

}  // namespace vxr

// The column table `variable` of a SELECT list over a row layout, checked
// at compile time: `count` columns, each a field of the row, in order.
//   VXR_SELECT_COLUMNS(kColumns, kSelect, kMyRowAttributes, 21);
#define VXR_SELECT_COLUMNS(variable, select, rowAttributes, count)                         \
  constexpr auto variable =                                                                \
      ::vxr::columnsOf<::vxr::selectColumnCount(select)>(select, rowAttributes);           \
  static_assert(std::size(variable) == (count), "the SELECT list has " #count " columns"); \
  static_assert(::vxr::selectMatches(select, variable), "the SELECT list names row fields")
