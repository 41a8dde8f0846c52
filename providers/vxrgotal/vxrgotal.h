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

// A database or space filter narrows the member's answer with or without a
// group filter; the SQL takes at most nine characters of its value. Without
// a space filter rows always merge, at least per group and database.
inline constexpr vxr::Filter kGotaFilters[] = {
    vxr::activityGroupFilter(" AND LGOATHA.DSGROUP = '"),
    vxr::activityIdnameFilter(false),
    {.column = "JT7DBNM",
     .match = vxr::prefix(6),
     .width = 12,
     .sent = 9,
     .condition = " AND  LGOATHA.JT7DBNM = '",
     .literal = vxr::Literal::Trimmed,
     .matchTrace = "JT7DBNM match Index Filter %d %s %s \n"},
    {.column = "JT7SPNM",
     .match = vxr::prefix(6),
     .width = 12,
     .sent = 9,
     .condition = " AND  LGOATHA.JT7SPNM = '",
     .literal = vxr::Literal::Trimmed,
     .matchTrace = "JT7SPNM match Index Filter %d %s %s \n"},
    vxr::kActivityOriginFilter,
};

inline constexpr vxr::KeyChoice kGotaKeys[] = {
    {"JT7SPNM", nullptr, {kTraceDetail, "Space name supplied, No Summary\n"}},
    {"JT7DBNM", "DSGROUP,JT7DBNM,JT7SPNM", {kTraceDetail, "summarizeOTA filterJT7DBNM\n"}},
    {nullptr, "DSGROUP,JT7DBNM", {kTraceDetail, "summarizeOTA filterJT7DBNM\n"}},
};

inline constexpr vxr::TableInfo kGotaTable = {
    .name = "GROUPTHRDACT",
    .module = "VXRGOTAL",
    .description =
        "Group object thread activity: the members' object activity by thread added "
        "up over the group, with rates and shares",
    .rowSize = sizeof(GotaRow),
    .layout = kGotaRowAttributes,
    .filters = kGotaFilters,
    .merge = {.sums =
                  "JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7GPR,JT7SYR,JT7SPR,"
                  "JT7LPR,JT7DPR,JT7ASR,JT7OTR",
              .earliest = "TIMESTAMP",
              .rowsMerged = "ROWSMERGED",
              .keys = kGotaKeys},
    .derived = "JT7PCGP,JT7PCIO,JT7GPR,JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR"};
VXR_TABLES(VXRGOTAL, kGotaTable);
