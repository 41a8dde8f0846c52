// VXRGBPPL: group buffer pools.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is the first member's VXR.LGB_POOL row of a cache
// structure, named by the group, with the earliest TIMESTAMP any member
// reported for it.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGBPPL_ROW(X, T)       \
  X(T, ORIGINNODE, Chars, 32)    \
  X(T, RD_COUNT, Int32, 4)       \
  X(T, RD_HIT_CNT, Int32, 4)     \
  X(T, RD_HIT_PCT, Int32, 4)     \
  X(T, XI_COUNT, Int32, 4)       \
  X(T, XI_RATE, Int32, 4)        \
  X(T, DIRENT, Int32, 4)         \
  X(T, DATAPG, Int32, 4)         \
  X(T, STRUCTS, Int32, 4)        \
  X(T, CONNECT, Int32, 4)        \
  X(T, SMFID, Chars, 4)          \
  VXR_STRUCTURE_ROW_FIELDS(X, T) \
  X(T, PAD, Padding, 3)

struct GbppRow {
  VXRGBPPL_ROW(VXR_ROW_MEMBER, GbppRow)
};
inline constexpr vxr::ColumnField kGbppRowAttributes[] = {VXRGBPPL_ROW(VXR_ROW_ATTRIBUTE, GbppRow)};

static_assert(sizeof(GbppRow) == 136);
static_assert(offsetof(GbppRow, RD_COUNT) == 32);
static_assert(offsetof(GbppRow, CONNECT) == 64);
static_assert(offsetof(GbppRow, SMFID) == 68);
static_assert(offsetof(GbppRow, STRUCTN) == 72);
static_assert(offsetof(GbppRow, DSGROUP) == 88);
static_assert(offsetof(GbppRow, TIMESTAMP) == 96);
static_assert(offsetof(GbppRow, STRUCTST) == 112);
static_assert(offsetof(GbppRow, STRUCTT) == 120);
static_assert(offsetof(GbppRow, IDNAME) == 125);
static_assert(offsetof(GbppRow, PAD) == 133);

inline constexpr vxr::Filter kGbppFilters[] = {vxr::idnameFilter(), vxr::kOriginFilter};

inline constexpr vxr::TableInfo kGbppTable = {
    .name = "GROUPBUFPOOL",
    .module = "VXRGBPPL",
    .description =
        "Group buffer pools: one row per cache structure of a data sharing group, with the "
        "earliest time stamp its members reported",
    .rowSize = sizeof(GbppRow),
    .layout = kGbppRowAttributes,
    .filters = kGbppFilters,
    .merge = {.key = "DSGROUP,STRUCTN", .earliest = "TIMESTAMP"}};
VXR_TABLES(VXRGBPPL, kGbppTable);
