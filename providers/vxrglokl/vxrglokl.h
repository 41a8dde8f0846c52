// VXRGLOKL: group lock conflicts.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.RX4LKCONF row, kept as the
// data of a result element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGLOKL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, LK_ET, Chars, 4)       \
  X(T, PLAN_NAME, Chars, 8)   \
  X(T, SMFID, Chars, 4)       \
  X(T, RX4ID, Chars, 4)       \
  X(T, AUTHID, Chars, 8)      \
  X(T, CONNID, Chars, 8)      \
  X(T, CONNTYPE, Chars, 8)    \
  X(T, TH_STATUS, Chars, 12)  \
  X(T, LK_RESOURC, Chars, 50) \
  X(T, LK_LEVEL, Chars, 8)    \
  X(T, LK_STATUS, Chars, 8)   \
  X(T, SUBSYS, Chars, 4)      \
  X(T, TH_TYPE, Chars, 8)     \
  X(T, LK_TYPE, Chars, 8)     \
  X(T, LK_TOKEN, Chars, 16)   \
  X(T, IDNAME, Chars, 8)      \
  X(T, TIMESTAMP, Chars, 16)  \
  X(T, CORRID, Chars, 12)     \
  X(T, DISPET, Chars, 12)     \
  X(T, UAUTHID, Chars, 128)   \
  X(T, RESTYPE1, Chars, 2)    \
  X(T, RESTYPE2, Chars, 2)    \
  X(T, RESTYPE3, Chars, 2)    \
  X(T, RESTYPE4, Chars, 2)    \
  X(T, URESNAME1, Chars, 128) \
  X(T, URESNAME2, Chars, 128) \
  X(T, RESNAME3, Chars, 32)   \
  X(T, RESNAME4, Chars, 32)   \
  X(T, PADDING, Padding, 2)

struct GlokRow {
  VXRGLOKL_ROW(VXR_ROW_MEMBER, GlokRow)
};
inline constexpr vxr::ColumnField kGlokRowAttributes[] = {VXRGLOKL_ROW(VXR_ROW_ATTRIBUTE, GlokRow)};

static_assert(sizeof(GlokRow) == 696);
static_assert(offsetof(GlokRow, LK_ET) == 32);
static_assert(offsetof(GlokRow, AUTHID) == 52);
static_assert(offsetof(GlokRow, TH_STATUS) == 76);
static_assert(offsetof(GlokRow, LK_RESOURC) == 88);
static_assert(offsetof(GlokRow, LK_LEVEL) == 138);
static_assert(offsetof(GlokRow, SUBSYS) == 154);
static_assert(offsetof(GlokRow, LK_TOKEN) == 174);
static_assert(offsetof(GlokRow, IDNAME) == 190);
static_assert(offsetof(GlokRow, TIMESTAMP) == 198);
static_assert(offsetof(GlokRow, CORRID) == 214);
static_assert(offsetof(GlokRow, DISPET) == 226);
static_assert(offsetof(GlokRow, UAUTHID) == 238);
static_assert(offsetof(GlokRow, RESTYPE1) == 366);
static_assert(offsetof(GlokRow, RESTYPE4) == 372);
static_assert(offsetof(GlokRow, URESNAME1) == 374);
static_assert(offsetof(GlokRow, URESNAME2) == 502);
static_assert(offsetof(GlokRow, RESNAME3) == 630);
static_assert(offsetof(GlokRow, RESNAME4) == 662);
static_assert(offsetof(GlokRow, PADDING) == 694);

inline constexpr vxr::Filter kGlokFilters[] = {vxr::idnameFilter(), vxr::kOriginFilter};

inline constexpr vxr::TableInfo kGlokTable = {
    .name = "GROUPLOCKCONF",
    .module = "VXRGLOKL",
    .description =
        "Group lock conflicts: every lock holder and waiter of every member, with the lock "
        "resource split into types and names",
    .rowSize = sizeof(GlokRow),
    .layout = kGlokRowAttributes,
    .filters = kGlokFilters,
    .derived = "UAUTHID,RESTYPE1,URESNAME1,RESTYPE2,URESNAME2,RESTYPE3,RESNAME3,RESTYPE4,RESNAME4"};
VXR_TABLES(VXRGLOKL, kGlokTable);
