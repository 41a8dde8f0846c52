// VXRGBPCL: group buffer pool connections.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is the first member's VXR.LGBP_CONN row of a connection
// (group, structure and connected system), named by the group, with the
// earliest TIMESTAMP any member reported for it.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGBPCL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, TIMESTAMP, Chars, 16)  \
  X(T, SYSID, Chars, 8)       \
  X(T, CONSTAT, Chars, 8)     \
  X(T, STRUCTN, Chars, 16)    \
  X(T, DSGROUPN, Chars, 8)    \
  X(T, DSGROUPE, Chars, 8)    \
  X(T, CF_NAME, Chars, 16)    \
  X(T, JOBNAME, Chars, 8)     \
  X(T, RX4ID, Chars, 4)       \
  X(T, IDNAME, Chars, 8)

struct GbpcRow {
  VXRGBPCL_ROW(VXR_ROW_MEMBER, GbpcRow)
};
inline constexpr vxr::ColumnField kGbpcRowAttributes[] = {VXRGBPCL_ROW(VXR_ROW_ATTRIBUTE, GbpcRow)};

static_assert(sizeof(GbpcRow) == 132);
static_assert(offsetof(GbpcRow, TIMESTAMP) == 32);
static_assert(offsetof(GbpcRow, SYSID) == 48);
static_assert(offsetof(GbpcRow, CONSTAT) == 56);
static_assert(offsetof(GbpcRow, STRUCTN) == 64);
static_assert(offsetof(GbpcRow, DSGROUPN) == 80);
static_assert(offsetof(GbpcRow, DSGROUPE) == 88);
static_assert(offsetof(GbpcRow, CF_NAME) == 96);
static_assert(offsetof(GbpcRow, JOBNAME) == 112);
static_assert(offsetof(GbpcRow, RX4ID) == 120);
static_assert(offsetof(GbpcRow, IDNAME) == 124);

inline constexpr vxr::Filter kGbpcFilters[] = {
    {.column = "IDNAME", .keeps = "IDNAME", .role = vxr::FilterRole::Group},
    vxr::kOriginFilter,
};

inline constexpr vxr::TableInfo kGbpcTable = {
    .name = "GROUPBUFPOOLCONN",
    .module = "VXRGBPCL",
    .description =
        "Group buffer pool connections: one row per group, structure and connected system, with "
        "the earliest time stamp its members reported",
    .rowSize = sizeof(GbpcRow),
    .layout = kGbpcRowAttributes,
    .filters = kGbpcFilters,
    .merge = {.key = "DSGROUPN,STRUCTN,SYSID", .earliest = "TIMESTAMP"}};
VXR_TABLES(VXRGBPCL, kGbpcTable);
