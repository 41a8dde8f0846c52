// VXRTSTAL: thread exceptions of the group.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is a member's VXR.XR_TH_EXC row as delivered, named by the
// group. The plan name and correlation id are the attributes PLAN_NAME and
// CORRID (the member columns EX_PLAN and EX_CORRID), the names under which
// the host's filters on them reach the module.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRTSTAL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, EX_TIME, Chars, 16)    \
  X(T, EX_QNSID, Chars, 4)    \
  X(T, IDNAME, Chars, 8)      \
  X(T, EX_RX4ID, Chars, 4)    \
  X(T, TH_GROUPN, Chars, 8)   \
  X(T, PLAN_NAME, Chars, 8)   \
  X(T, CORRID, Chars, 12)     \
  X(T, EX_GETP, Int32, 4)     \
  X(T, EX_UPDCNT, Int32, 4)   \
  X(T, EX_SRDCNT, Int32, 4)   \
  X(T, EX_PREF, Int32, 4)     \
  X(T, IMMWIO, Int32, 4)      \
  X(T, LISTPREF, Int32, 4)    \
  X(T, DYNPREF, Int32, 4)     \
  X(T, SUCHPR, Int32, 4)      \
  X(T, SUCHPW, Int32, 4)      \
  X(T, UNSUCHPR, Int32, 4)    \
  X(T, UNSUCHPW, Int32, 4)    \
  X(T, UNGPOP, Int32, 4)      \
  X(T, APAGER, Int32, 4)      \
  X(T, PHPMOVE, Int32, 4)     \
  X(T, TYPE_IND, Int32, 4)

struct TstaRow {
  VXRTSTAL_ROW(VXR_ROW_MEMBER, TstaRow)
};
inline constexpr vxr::ColumnField kTstaRowAttributes[] = {VXRTSTAL_ROW(VXR_ROW_ATTRIBUTE, TstaRow)};

static_assert(sizeof(TstaRow) == 152);
static_assert(offsetof(TstaRow, EX_TIME) == 32);
static_assert(offsetof(TstaRow, EX_QNSID) == 48);
static_assert(offsetof(TstaRow, IDNAME) == 52);
static_assert(offsetof(TstaRow, EX_RX4ID) == 60);
static_assert(offsetof(TstaRow, TH_GROUPN) == 64);
static_assert(offsetof(TstaRow, PLAN_NAME) == 72);
static_assert(offsetof(TstaRow, CORRID) == 80);
static_assert(offsetof(TstaRow, EX_GETP) == 92);
static_assert(offsetof(TstaRow, IMMWIO) == 108);
static_assert(offsetof(TstaRow, SUCHPR) == 120);
static_assert(offsetof(TstaRow, UNGPOP) == 136);
static_assert(offsetof(TstaRow, TYPE_IND) == 148);

// The plan-name and correlation-id filters answer to every column name that
// begins with "PLAN_NAME" or "CORRID  ".
inline constexpr vxr::Filter kTstaFilters[] = {
    vxr::idnameFilter(),
    {.column = "PLAN_NAME", .match = vxr::prefix(9), .condition = " AND EX_PLAN ='"},
    {.column = "CORRID  ", .match = vxr::prefix(8), .width = 12, .condition = " AND EX_CORRID ='"},
    vxr::kOriginFilter,
};

inline constexpr vxr::TableInfo kTstaTable = {
    .name = "GROUPTHRDEXC",
    .module = "VXRTSTAL",
    .description =
        "Group thread exceptions: every thread exception of every member, named by the group",
    .rowSize = sizeof(TstaRow),
    .layout = kTstaRowAttributes,
    .filters = kTstaFilters};
VXR_TABLES(VXRTSTAL, kTstaTable);
