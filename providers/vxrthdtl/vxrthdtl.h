// VXRTHDTL: group threads.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.XR_TH_EXC row, kept as the
// data of a result element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRTHDTL_ROW(X, T)     \
  X(T, ORIGINNODE, Chars, 32)  \
  X(T, EX_ETIM, Chars, 4)      \
  X(T, THD_CPU, Chars, 4)      \
  X(T, THD_WAIT, Chars, 4)     \
  X(T, EX_PLAN, Chars, 8)      \
  X(T, EX_QNSID, Chars, 4)     \
  X(T, EX_RX4ID, Chars, 4)     \
  X(T, EX_AUTHID, Chars, 8)    \
  X(T, EX_CONNID, Chars, 8)    \
  X(T, TH_CONNTYP, Chars, 8)   \
  X(T, THREADSTAT, Chars, 12)  \
  X(T, TH_TYPE, Chars, 8)      \
  X(T, TH_SPN, Chars, 18)      \
  X(T, TH_GROUPN, Chars, 8)    \
  X(T, TH_GMN, Chars, 8)       \
  X(T, IDNAME, Chars, 8)       \
  X(T, EX_TIME, Chars, 16)     \
  X(T, EX_CORRID, Chars, 12)   \
  X(T, DISP_ET, Chars, 12)     \
  X(T, DISP_CPU, Chars, 12)    \
  X(T, DISP_WAIT, Chars, 12)   \
  X(T, EX_PKGN, Chars, 8)      \
  X(T, EX_COLLID, Chars, 18)   \
  X(T, UEX_AUTHID, Chars, 128) \
  X(T, UTDIDPACK, Chars, 128)  \
  X(T, UTDIDPCOL, Chars, 128)  \
  X(T, EX_IDBT, Chars, 4)

struct GthdRow {
  VXRTHDTL_ROW(VXR_ROW_MEMBER, GthdRow)
};
inline constexpr vxr::ColumnField kGthdRowAttributes[] = {VXRTHDTL_ROW(VXR_ROW_ATTRIBUTE, GthdRow)};

static_assert(sizeof(GthdRow) == 624);
static_assert(offsetof(GthdRow, EX_ETIM) == 32);
static_assert(offsetof(GthdRow, EX_PLAN) == 44);
static_assert(offsetof(GthdRow, EX_AUTHID) == 60);
static_assert(offsetof(GthdRow, THREADSTAT) == 84);
static_assert(offsetof(GthdRow, TH_SPN) == 104);
static_assert(offsetof(GthdRow, TH_GROUPN) == 122);
static_assert(offsetof(GthdRow, IDNAME) == 138);
static_assert(offsetof(GthdRow, EX_TIME) == 146);
static_assert(offsetof(GthdRow, EX_CORRID) == 162);
static_assert(offsetof(GthdRow, DISP_WAIT) == 198);
static_assert(offsetof(GthdRow, EX_PKGN) == 210);
static_assert(offsetof(GthdRow, EX_COLLID) == 218);
static_assert(offsetof(GthdRow, UEX_AUTHID) == 236);
static_assert(offsetof(GthdRow, UTDIDPACK) == 364);
static_assert(offsetof(GthdRow, UTDIDPCOL) == 492);
static_assert(offsetof(GthdRow, EX_IDBT) == 620);

inline constexpr vxr::Filter kGthdFilters[] = {vxr::idnameFilter(), vxr::kOriginFilter};

inline constexpr vxr::TableInfo kGthdTable = {
    .name = "GROUPTHREADS",
    .module = "VXRTHDTL",
    .description =
        "Group threads: every thread of every member, with its times, plan, package and collection",
    .rowSize = sizeof(GthdRow),
    .layout = kGthdRowAttributes,
    .filters = kGthdFilters,
    .derived = "UEX_AUTHID,UTDIDPACK,UTDIDPCOL"};
VXR_TABLES(VXRTHDTL, kGthdTable);
