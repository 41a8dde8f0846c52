// VXRGOASL: object space summaries.
//
// The row layouts of the module's two tables, shared by the module and by
// the host's catalog. A member's VXR.LOBJECTS row is assembled in the space
// summary layout; the space summary keeps it as it stands, the database
// summary (GOBJECTA) keeps its own, shorter row per group and database.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
// What both rows start with: where and when, the member, the group, the
// member count and the database.
#define VXRGOASL_ROW_START(X, T) \
  X(T, ORIGINNODE, Chars, 32)    \
  X(T, TIMESTAMP, Chars, 16)     \
  X(T, SYSID, Chars, 4)          \
  X(T, RX4ID, Chars, 4)          \
  X(T, IDNAME, Chars, 8)         \
  X(T, DSGROUP, Chars, 8)        \
  X(T, NUMRX4, Int32, 4)         \
  X(T, JAPDB, Chars, 8)

#define VXRGOASL_SPACE_ROW(X, T) \
  VXRGOASL_ROW_START(X, T)       \
  X(T, JAPSPN, Chars, 8)         \
  X(T, JAPTYPE, Chars, 4)        \
  X(T, JAPBP, Int32, 4)          \
  X(T, JAPVOLS, Int32, 4)        \
  X(T, JAPDSNS, Int32, 4)        \
  X(T, JAPEXTS, Int32, 4)        \
  X(T, JAPEXTR, Int32, 4)        \
  X(T, JAPMEXT, Int32, 4)

#define VXRGOASL_DATABASE_ROW(X, T) \
  VXRGOASL_ROW_START(X, T)          \
  X(T, SPNCount, Int32, 4)          \
  X(T, TSCount, Int32, 4)           \
  X(T, IXCount, Int32, 4)           \
  X(T, JAPVOLS, Int32, 4)           \
  X(T, JAPDSNS, Int32, 4)           \
  X(T, JAPEXTS, Int32, 4)           \
  X(T, JAPEXTR, Int32, 4)           \
  X(T, JAPMEXT, Int32, 4)

struct GoasRow {
  VXRGOASL_SPACE_ROW(VXR_ROW_MEMBER, GoasRow)
};
inline constexpr vxr::ColumnField kGoasRowAttributes[] = {
    VXRGOASL_SPACE_ROW(VXR_ROW_ATTRIBUTE, GoasRow)};

struct GoadRow {
  VXRGOASL_DATABASE_ROW(VXR_ROW_MEMBER, GoadRow)
};
inline constexpr vxr::ColumnField kGoadRowAttributes[] = {
    VXRGOASL_DATABASE_ROW(VXR_ROW_ATTRIBUTE, GoadRow)};

static_assert(sizeof(GoasRow) == 120);
static_assert(offsetof(GoasRow, RX4ID) == 52);
static_assert(offsetof(GoasRow, NUMRX4) == 72);
static_assert(offsetof(GoasRow, JAPTYPE) == 92);
static_assert(offsetof(GoasRow, JAPBP) == 96);
static_assert(offsetof(GoasRow, JAPMEXT) == 116);

static_assert(sizeof(GoadRow) == 116);
static_assert(offsetof(GoadRow, NUMRX4) == 72);
static_assert(offsetof(GoadRow, JAPDB) == 76);
static_assert(offsetof(GoadRow, SPNCount) == 84);
static_assert(offsetof(GoadRow, JAPVOLS) == 96);
static_assert(offsetof(GoadRow, JAPEXTR) == 108);
static_assert(offsetof(GoadRow, JAPMEXT) == 112);

// The database summary is the table whose name begins with "GOBJECTA"; the
// module serves every other name it is asked for as the space summary.
inline constexpr char kGoadTableName[] = "GOBJECTA";

// Both tables: DSGROUP also fills the IDNAME value; the database and space
// conditions come only with a group, and without a group filter the IDNAME
// filter names the group.
inline constexpr const char* kGoasGroupCondition = " AND LOBJECTS.DSGROUP = '";
inline constexpr vxr::Filter kGoasFilters[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .condition = kGoasGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group,
     .alsoFills = "IDNAME"},
    {.column = "IDNAME",
     .match = vxr::prefix(6),
     .condition = kGoasGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .takesDerived = true},
    {.column = "JAPDB",
     .match = vxr::prefix(5),
     .condition = " AND LOBJECTS.JAPDB = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    {.column = "JAPSPN",
     .match = vxr::prefix(6),
     .condition = " AND LOBJECTS.JAPSPN = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    vxr::kOriginFilter,
};

inline constexpr vxr::KeyChoice kGoasKeys[] = {
    {"JAPSPN", nullptr, {kTraceDetail, "Filtering - pOAS set to null\n"}},
    {nullptr, "DSGROUP,JAPDB,JAPSPN"},
};
inline constexpr vxr::Largest kGoasLargest[] = {{"JAPMEXT", "JAPMEXT"}};

inline constexpr vxr::TableInfo kGoasTable = {
    .name = "GROUPOBJSPACE",
    .module = "VXRGOASL",
    .description =
        "Group object spaces: each space of a database as the group's members report "
        "it, with the number of members, the earliest sample and the largest extent "
        "count",
    .rowSize = sizeof(GoasRow),
    .layout = kGoasRowAttributes,
    .filters = kGoasFilters,
    .merge = {.earliest = "TIMESTAMP",
              .rowsMerged = "NUMRX4",
              .largest = kGoasLargest,
              .keys = kGoasKeys}};
inline constexpr vxr::TableInfo kGoadTable = {
    .name = kGoadTableName,
    .module = "VXRGOASL",
    .description =
        "Group databases: spaces by kind, members, and the volumes, data sets and "
        "extents of each database of a group, with extents per data set",
    .rowSize = sizeof(GoadRow),
    .layout = kGoadRowAttributes,
    .filters = kGoasFilters,
    .merge = {.key = "DSGROUP,JAPDB",
              .sums = "JAPVOLS,JAPDSNS,JAPEXTS",
              .earliest = "TIMESTAMP",
              .largest = kGoasLargest,
              .members = {.into = "NUMRX4", .database = "JAPDB"}},
    .derived = "SPNCount,TSCount,IXCount,JAPEXTR"};
VXR_TABLES(VXRGOASL, kGoasTable, kGoadTable);
