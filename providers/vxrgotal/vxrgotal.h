// VXRGOTAL: group object thread activity.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGOATHA row, kept as the
// data of a summary element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGOTAL_ROW(X, T)   \
  VXR_MEMBER_ROW_START(X, T) \
  X(T, JT7DBNM, Chars, 8)    \
  X(T, JT7SPNM, Chars, 8)    \
  X(T, JT7PLNM, Chars, 8)    \
  X(T, JT7AUID, Chars, 8)    \
  X(T, JT7CRID, Chars, 12)   \
  X(T, JT7GETP, Int32, 4)    \
  X(T, JT7SYNR, Int32, 4)    \
  X(T, JT7SPRE, Int32, 4)    \
  X(T, JT7LPRE, Int32, 4)    \
  X(T, JT7DPRE, Int32, 4)    \
  X(T, JT7ASYW, Int32, 4)    \
  X(T, JT7OTHW, Int32, 4)    \
  X(T, JT7PCGP, Int32, 4)    \
  X(T, JT7PCIO, Int32, 4)    \
  X(T, JT7GPR, Int32, 4)     \
  X(T, JT7SYR, Int32, 4)     \
  X(T, JT7SPR, Int32, 4)     \
  X(T, JT7LPR, Int32, 4)     \
  X(T, JT7DPR, Int32, 4)     \
  X(T, JT7ASR, Int32, 4)     \
  X(T, JT7OTR, Int32, 4)     \
  X(T, ROWSMERGED, Int32, 4) \
  X(T, JT7RIOR, Int32, 4)

struct GotaRow {
  VXRGOTAL_ROW(VXR_ROW_MEMBER, GotaRow)
};
inline constexpr vxr::ColumnField kGotaRowAttributes[] = {VXRGOTAL_ROW(VXR_ROW_ATTRIBUTE, GotaRow)};

static_assert(sizeof(GotaRow) == 188);
static_assert(offsetof(GotaRow, RX4ID) == 64);
static_assert(offsetof(GotaRow, JT7DBNM) == 72);
static_assert(offsetof(GotaRow, JT7CRID) == 104);
static_assert(offsetof(GotaRow, JT7GETP) == 116);
static_assert(offsetof(GotaRow, JT7PCGP) == 144);
static_assert(offsetof(GotaRow, JT7GPR) == 152);
static_assert(offsetof(GotaRow, ROWSMERGED) == 180);
static_assert(offsetof(GotaRow, JT7RIOR) == 184);

inline constexpr vxr::TableInfo kGotaTable = {
    "GROUPTHRDACT", "VXRGOTAL",
    "Group object thread activity: the members' object activity by thread added up over the "
    "group, with rates and shares",
    sizeof(GotaRow), kGotaRowAttributes};
VXR_TABLES(VXRGOTAL, kGotaTable);
