// VXRGGVDL: volume use by database.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGOAVDB row, kept as the
// data of a summary element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGGVDL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, TIMESTAMP, Chars, 16)  \
  X(T, IDNAME, Chars, 8)      \
  X(T, DSGROUP, Chars, 8)     \
  X(T, RX4ID, Chars, 4)       \
  X(T, RX4COUNT, Int32, 4)    \
  X(T, SYSID, Chars, 4)       \
  X(T, JVPVOL, Chars, 6)      \
  X(T, JVPDB, Chars, 8)       \
  X(T, JVPSP, Chars, 8)       \
  X(T, FILLER, Padding, 2)    \
  X(T, JVPDSNS, Int32, 4)     \
  X(T, JVPEXTS, Int32, 4)     \
  X(T, JVPVUSE, Int32, 4)     \
  X(T, JVPTIO, Int32, 4)      \
  X(T, JVPRIO, Int32, 4)      \
  X(T, JVPWIO, Int32, 4)      \
  X(T, JVPTIOR, Int32, 4)     \
  X(T, JVPRIOR, Int32, 4)     \
  X(T, JVPWIOR, Int32, 4)     \
  X(T, JVPMTIOR, Int32, 4)    \
  X(T, JVPMRIOR, Int32, 4)    \
  X(T, JVPMWIOR, Int32, 4)

struct GgvdRow {
  VXRGGVDL_ROW(VXR_ROW_MEMBER, GgvdRow)
};
inline constexpr vxr::ColumnField kGgvdRowAttributes[] = {VXRGGVDL_ROW(VXR_ROW_ATTRIBUTE, GgvdRow)};

static_assert(sizeof(GgvdRow) == 148);
static_assert(offsetof(GgvdRow, RX4ID) == 64);
static_assert(offsetof(GgvdRow, RX4COUNT) == 68);
static_assert(offsetof(GgvdRow, JVPVOL) == 76);
static_assert(offsetof(GgvdRow, JVPDB) == 82);
static_assert(offsetof(GgvdRow, JVPSP) == 90);
static_assert(offsetof(GgvdRow, JVPDSNS) == 100);
static_assert(offsetof(GgvdRow, JVPVUSE) == 108);
static_assert(offsetof(GgvdRow, JVPTIOR) == 124);
static_assert(offsetof(GgvdRow, JVPMTIOR) == 136);
static_assert(offsetof(GgvdRow, JVPMWIOR) == 144);

// IDNAME fills the DSGROUP value too. The volume (at most 7 characters),
// database and space conditions come only with a group filter; without one
// the group condition takes the group the ORIGINNODE filter names.
inline constexpr const char* kGgvdGroupCondition = " AND       LGOAVDB.DSGROUP = '";
inline constexpr vxr::Filter kGgvdFilters[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .alsoColumn = "IDNAME",
     .alsoMatch = vxr::prefix(6),
     .condition = kGgvdGroupCondition,
     .literal = vxr::Literal::Trimmed},
    {.column = nullptr,
     .condition = kGgvdGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    {.column = "JVPVOL",
     .match = vxr::prefix(6),
     .sent = 7,
     .condition = " AND   LGOAVDB.JVPVOL  = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    {.column = "JVPDB",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAVDB.JVPDB   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    {.column = "JVPSP",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAVDB.JVPSP   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP"},
    vxr::kOriginFilter,
};
// Rows merge only under a database or volume filter, and not with a space
// filter.
inline constexpr vxr::KeyChoice kGgvdKeys[] = {
    {"JVPSP", nullptr, {kTraceDetail, "Spacename supplied, No Summary\n"}},
    {"JVPDB", "DSGROUP,JVPVOL,JVPDB,JVPSP", {kTraceDetail, "summarizeGVD filterJVPDB\n"}},
    {"JVPVOL", "DSGROUP,JVPVOL,JVPDB", {kTraceDetail, "summarizeGVD filterJVPVOL\n"}},
    {nullptr, nullptr, {kTraceDetail, "Volume not supplied, No Data\n"}},
};
inline constexpr vxr::Largest kGgvdLargest[] = {
    {"JVPMTIOR", "JVPTIOR"}, {"JVPMRIOR", "JVPRIOR"}, {"JVPMWIOR", "JVPWIOR"}};

inline constexpr vxr::TableInfo kGgvdTable = {
    .name = "GROUPVOLDB",
    .module = "VXRGGVDL",
    .description =
        "Group volume use by database: each volume, database and space of a group, I/O added up, "
        "volume use and rates averaged over the members holding the database, with the largest "
        "rates",
    .rowSize = sizeof(GgvdRow),
    .layout = kGgvdRowAttributes,
    .filters = kGgvdFilters,
    .merge = {.sums = "JVPDSNS,JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR",
              .earliest = "TIMESTAMP",
              .largest = kGgvdLargest,
              .keys = kGgvdKeys,
              .members = {.into = "RX4COUNT", .database = "JVPDB"}},
    .derived = "JVPTIOR,JVPRIOR,JVPWIOR,JVPVUSE"};
VXR_TABLES(VXRGGVDL, kGgvdTable);
