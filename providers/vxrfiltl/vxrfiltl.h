// VXRFILTL: member status, object counts and heartbeat.
//
// The member status row, shared by the module and by the host's catalog. A
// row is assembled from a member's VXR.XR_SY_EXC row, kept as the data of a
// group record, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRFILTL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, TIME, Chars, 16)       \
  X(T, IDSTATUS, Chars, 8)    \
  X(T, IDTYPE, Chars, 6)      \
  X(T, IDNAME, Chars, 8)      \
  X(T, SMFID, Chars, 4)       \
  X(T, RX4ID, Chars, 4)       \
  X(T, Padding, Padding, 2)   \
  X(T, RX4COUNT, Int32, 4)    \
  X(T, SYS_TMAX, Int32, 4)    \
  X(T, LOCKCNT, Int32, 4)     \
  X(T, GBPCCNT, Int32, 4)     \
  X(T, OADBCNT, Int32, 4)     \
  X(T, OASTATUS, Chars, 4)

struct FiltRow {
  VXRFILTL_ROW(VXR_ROW_MEMBER, FiltRow)
};
inline constexpr vxr::ColumnField kFiltRowAttributes[] = {VXRFILTL_ROW(VXR_ROW_ATTRIBUTE, FiltRow)};

static_assert(sizeof(FiltRow) == 104);
static_assert(offsetof(FiltRow, TIME) == 32);
static_assert(offsetof(FiltRow, IDSTATUS) == 48);
static_assert(offsetof(FiltRow, IDTYPE) == 56);
static_assert(offsetof(FiltRow, IDNAME) == 62);
static_assert(offsetof(FiltRow, SMFID) == 70);
static_assert(offsetof(FiltRow, RX4ID) == 74);
static_assert(offsetof(FiltRow, Padding) == 78);
static_assert(offsetof(FiltRow, RX4COUNT) == 80);
static_assert(offsetof(FiltRow, SYS_TMAX) == 84);
static_assert(offsetof(FiltRow, LOCKCNT) == 88);
static_assert(offsetof(FiltRow, GBPCCNT) == 92);
static_assert(offsetof(FiltRow, OADBCNT) == 96);
static_assert(offsetof(FiltRow, OASTATUS) == 100);

inline constexpr vxr::TableInfo kFiltTable = {
    "MEMBERSTATUS", "VXRFILTL",
    "Member status and object counts: one row per data sharing group or subsystem; "
    "IDNAME=*NOFETCH runs the heartbeat",
    sizeof(FiltRow), kFiltRowAttributes};
VXR_TABLES(VXRFILTL, kFiltTable);
