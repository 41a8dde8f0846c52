// VXRGGVSL: group volume summary.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGOAVOL row, kept as the
// data of a summary element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGGVSL_ROW(X, T)   \
  VXR_MEMBER_ROW_START(X, T) \
  X(T, JVSVOLN, Chars, 6)    \
  X(T, SPARE, Padding, 2)    \
  X(T, NUMRX4, Int32, 4)     \
  X(T, JVSVUTIL, Int32, 4)   \
  X(T, JVSVRESP, Int32, 4)   \
  X(T, JVSMVRESP, Int32, 4)  \
  X(T, JVSTIO, Int32, 4)     \
  X(T, JVSDBIO, Int32, 4)    \
  X(T, JVSTIOR, Int32, 4)    \
  X(T, JVSDBIR, Int32, 4)    \
  X(T, JVSMDBIR, Int32, 4)   \
  X(T, JVSDSNS, Int32, 4)    \
  X(T, JVSEXTS, Int32, 4)    \
  X(T, JVSVUSE, Int32, 4)    \
  X(T, JVSDBSHR, Int32, 4)   \
  X(T, JVSEXTR, Int32, 4)

struct GgvsRow {
  VXRGGVSL_ROW(VXR_ROW_MEMBER, GgvsRow)
};
inline constexpr vxr::ColumnField kGgvsRowAttributes[] = {VXRGGVSL_ROW(VXR_ROW_ATTRIBUTE, GgvsRow)};

static_assert(sizeof(GgvsRow) == 136);
static_assert(offsetof(GgvsRow, RX4ID) == 64);
static_assert(offsetof(GgvsRow, JVSVOLN) == 72);
static_assert(offsetof(GgvsRow, NUMRX4) == 80);
static_assert(offsetof(GgvsRow, JVSMVRESP) == 92);
static_assert(offsetof(GgvsRow, JVSTIO) == 96);
static_assert(offsetof(GgvsRow, JVSMDBIR) == 112);
static_assert(offsetof(GgvsRow, JVSVUSE) == 124);
static_assert(offsetof(GgvsRow, JVSDBSHR) == 128);
static_assert(offsetof(GgvsRow, JVSEXTR) == 132);

// DSGROUP names the group; IDNAME does when no DSGROUP filter came.
inline constexpr const char* kGgvsGroupCondition = " AND       LGOAVOL.DSGROUP = '";
inline constexpr vxr::Filter kGgvsFilters[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .condition = kGgvsGroupCondition,
     .literal = vxr::Literal::Trimmed},
    {.column = "IDNAME",
     .match = vxr::prefix(6),
     .condition = kGgvsGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    vxr::kOriginFilter,
};
inline constexpr vxr::Largest kGgvsLargest[] = {{"JVSMVRESP", "JVSVRESP"}, {"JVSMDBIR", "JVSDBIR"}};

inline constexpr vxr::TableInfo kGgvsTable = {
    .name = "GROUPVOLUME",
    .module = "VXRGGVSL",
    .description =
        "Group volume summary: the members' volumes merged by group and volume, with averaged "
        "utilization, response time and rates, largest response time and I/O rate, and ratios",
    .rowSize = sizeof(GgvsRow),
    .layout = kGgvsRowAttributes,
    .filters = kGgvsFilters,
    .merge = {.key = "DSGROUP,JVSVOLN",
              .sums = "JVSVUTIL,JVSVRESP,JVSTIO,JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE",
              .earliest = "TIMESTAMP",
              .rowsMerged = "NUMRX4",
              .largest = kGgvsLargest},
    .derived = "JVSDBSHR,JVSVUTIL,JVSVRESP,JVSTIOR,JVSDBIR,JVSVUSE,JVSEXTR"};
VXR_TABLES(VXRGGVSL, kGgvsTable);
