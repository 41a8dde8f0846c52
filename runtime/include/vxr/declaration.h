// What a table is, declared once in its module's header: the row, the
// filters and what each does, and how rows from several members merge. The
// module's runtime runs the request from it, the host's catalog shows it
// (`vxrhost tables --columns`) and the tests check every table against it.
//
//   inline constexpr vxr::Filter kMyFilters[] = {vxr::idnameFilter(), vxr::kOriginFilter};
//   inline constexpr vxr::TableInfo kMyTable = {
//       .name = "GROUPMINE", .module = "VXRMINEL", .description = "...",
//       .rowSize = sizeof(MyRow), .layout = kMyRowAttributes,
//       .filters = kMyFilters,
//       .merge = {.key = "DSGROUP,STRUCTN", .sums = "COUNT1,COUNT2", .earliest = "TIMESTAMP"}};
//   VXR_TABLES(VXRMINEL, kMyTable);
//
// Column lists are names of the row separated by commas ("A,B"); the module
// checks every name against the row at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "vxr/abi.h"
#include "vxr/rows.h"

namespace vxr {

// A trace line at a level bit (kTraceAlways: whatever the level flags say);
// a null text is not traced.
struct TraceText {
  int32_t level = 0;
  const char* text = nullptr;
};

// ---------------------------------------------------------------------------
// Filters

// How a filter's column name is compared with a rule's: its first n
// characters (prefix(n)), or the whole blank-padded name (exact()).
struct ColumnMatch {
  uint8_t length;  // 0: the whole name
};
constexpr ColumnMatch prefix(uint8_t characters) {
  return {characters};
}
constexpr ColumnMatch exact() {
  return {0};
}

enum class FilterRole : uint8_t {
  Condition,  // narrows the member query
  Group,      // narrows it, and without a filter of its own takes the
              // group that the ORIGINNODE filter names
  NamesRows,  // ORIGINNODE: names every row, sends nothing
};

enum class Literal : uint8_t {
  Width,    // the value at the slot's full width, trailing blanks included
  Trimmed,  // the value up to its first blank
};

struct Filter {
  const char* column;  // the host's column name; null: only derived, never the host's
  ColumnMatch match = exact();
  const char* alsoColumn = nullptr;  // a second name that fills the same value
  ColumnMatch alsoMatch = exact();
  uint8_t width = 8;  // characters kept of the value
  uint8_t sent = 0;   // characters the literal takes (0: width)
  // " AND IDNAME ='": the literal follows. A filter that shares its
  // condition with an earlier one that came is not sent.
  const char* condition = nullptr;
  Literal literal = Literal::Width;
  const char* onlyWith = nullptr;  // sent only when the filter of this column came
  // Or, instead of narrowing the query: only the rows whose column of this
  // name equals the value (at the slot's width) are kept.
  const char* keeps = nullptr;
  FilterRole role = FilterRole::Condition;
  int16_t otherOperator = 0;  // a further operator code that counts besides equals (0: none)
  // A value that asks for something else instead of narrowing the query:
  // never sent, and a table's second query (NameCount) is then not asked.
  const char* notSent = nullptr;
  const char* matchTrace = nullptr;  // traced when the filter matches ("%d %s %s")
  const char* alsoFills = nullptr;  // the column of a declared filter whose value this one sets too
  bool takesDerived = false;  // takes the group the ORIGINNODE filter names, as the group does
};

// IDNAME: the group, named by the filter or derived from ORIGINNODE.
constexpr Filter idnameFilter(const char* condition = " AND IDNAME ='") {
  return {.column = "IDNAME", .condition = condition, .role = FilterRole::Group};
}
// ORIGINNODE: every row is named by the filter's value.
inline constexpr Filter kOriginFilter = {
    .column = "ORIGINNODE", .width = 32, .role = FilterRole::NamesRows};

// The group, IDNAME and ORIGINNODE filters of the object-activity tables,
// each traced when it matches: IDNAME fills the group too and, with
// `takesDerived`, takes the group the ORIGINNODE filter names.
constexpr Filter activityGroupFilter(const char* condition) {
  return {.column = "DSGROUP",
          .match = prefix(7),
          .condition = condition,
          .literal = Literal::Trimmed,
          .role = FilterRole::Group,
          .matchTrace = "DSGROUP match Index Filter %d %s %s \n"};
}
constexpr Filter activityIdnameFilter(bool takesDerived) {
  return {.column = "IDNAME",
          .match = prefix(6),
          .matchTrace = "IDNAME match Index Filter %d %s %s \n",
          .alsoFills = "DSGROUP",
          .takesDerived = takesDerived};
}
inline constexpr Filter kActivityOriginFilter = {
    .column = "ORIGINNODE",
    .width = 32,
    .role = FilterRole::NamesRows,
    .matchTrace = "ORIGINNODE match Index Filter %d %s %s \n"};
// ---------------------------------------------------------------------------
// Merging

// A key the filters choose: with filter `filter` (a column name; null: in
// any case) rows merge by `key` (null: every row by itself). `line` is
// traced under the filing function, with the row's field named `filter`.
struct KeyChoice {
  const char* filter;
  const char* key;
  TraceText line = {};
};

// A column that keeps the largest value of another over the merged rows.
struct Largest {
  const char* column;
  const char* of;
};

// The distinct members that reported rows for a group and database, counted
// into column `into` of every merged row.
struct MemberCountColumns {
  const char* into = nullptr;
  const char* group = "DSGROUP";
  const char* database = nullptr;
  const char* member = "RX4ID";
};

// Without a key every member row is a row of the table. With one, a row
// merges into the newest row of its key: `sums` added up (saturating),
// `earliest` the earliest time stamp, `largest` raised to a source's
// largest value, `rowsMerged` counting the rows merged; every other column
// keeps the first row's value.
struct MergeColumns {
  const char* key = nullptr;
  const char* sums = nullptr;
  const char* earliest = nullptr;
  const char* rowsMerged = nullptr;
  std::span<const Largest> largest = {};
  // Or the key chosen by the filters that came: the first choice whose
  // filter came (or that names none).
  std::span<const KeyChoice> keys = {};
  MemberCountColumns members = {};
};

// ---------------------------------------------------------------------------
// The table

// What the host knows of a table: its name, the module that serves it, one
// line of description, the row, the filters and the merge rule. Declared in
// the module's header; the catalog is the list of these declarations.
struct TableInfo {
  const char* name;         // the host's table name, e.g. "GROUPOBJACT"
  const char* module;       // the module serving it, e.g. "VXRGOAAL"
  const char* description;  // one line
  size_t rowSize;
  std::span<const ColumnField> layout;  // in row order, padding included
  std::span<const Filter> filters = {};
  MergeColumns merge = {};
  const char* derived = nullptr;  // columns the module computes from the others
};

}  // namespace vxr

// The tables a module serves, as the catalog reads them:
//   VXR_TABLES(VXRGOAAL, kGoaaTable);
#define VXR_TABLES(MODULE, ...) \
  inline constexpr ::vxr::TableInfo vxrTablesOf##MODULE[] = {__VA_ARGS__}
