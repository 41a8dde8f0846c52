// VXRGVTAL: group volume thread activity.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGOAVTA row, kept as the
// data of a summary element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGVTAL_ROW(X, T)   \
  VXR_MEMBER_ROW_START(X, T) \
  X(T, JVTVOL, Chars, 6)     \
  X(T, JVTPLNM, Chars, 8)    \
  X(T, JVTAUID, Chars, 8)    \
  X(T, JVTCRID, Chars, 14)   \
  X(T, JVTTIO, Int32, 4)     \
  X(T, JVTRIO, Int32, 4)     \
  X(T, JVTWIO, Int32, 4)     \
  X(T, JVTTIOR, Int32, 4)    \
  X(T, JVTRIOR, Int32, 4)    \
  X(T, JVTWIOR, Int32, 4)    \
  X(T, JVTVUSE, Int32, 4)    \
  X(T, JVTMTIOR, Int32, 4)   \
  X(T, JVTMRIOR, Int32, 4)   \
  X(T, JVTMWIOR, Int32, 4)   \
  X(T, NUMRX4, Int32, 4)

struct GvtaRow {
  VXRGVTAL_ROW(VXR_ROW_MEMBER, GvtaRow)
};
inline constexpr vxr::ColumnField kGvtaRowAttributes[] = {VXRGVTAL_ROW(VXR_ROW_ATTRIBUTE, GvtaRow)};

static_assert(sizeof(GvtaRow) == 152);
static_assert(offsetof(GvtaRow, RX4ID) == 64);
static_assert(offsetof(GvtaRow, JVTVOL) == 72);
static_assert(offsetof(GvtaRow, JVTPLNM) == 78);
static_assert(offsetof(GvtaRow, JVTAUID) == 86);
static_assert(offsetof(GvtaRow, JVTCRID) == 94);
static_assert(offsetof(GvtaRow, JVTTIO) == 108);
static_assert(offsetof(GvtaRow, JVTTIOR) == 120);
static_assert(offsetof(GvtaRow, JVTVUSE) == 132);
static_assert(offsetof(GvtaRow, JVTMTIOR) == 136);
static_assert(offsetof(GvtaRow, NUMRX4) == 148);

// IDNAME fills the group as DSGROUP does. The volume condition takes
// exactly six characters, blanks included, and is sent only with a group.
inline constexpr vxr::Filter kGvtaFilters[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .alsoColumn = "IDNAME",
     .alsoMatch = vxr::prefix(6),
     .condition = " AND       LGOAVTA.DSGROUP = '",
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    {.column = "JVTVOL",
     .match = vxr::prefix(6),
     .sent = 6,
     .condition = " AND   LGOAVTA.JVTVOL  = '",
     .onlyWith = "DSGROUP"},
    vxr::kOriginFilter,
};
// With a volume filter every row is filed by itself.
inline constexpr vxr::KeyChoice kGvtaKeys[] = {
    {"JVTVOL", nullptr, {kTraceDetail, "Volume supplied, No Summary\n"}},
    {nullptr, "DSGROUP,JVTVOL", {kTraceDetail, "summarizeVTA filterJVTVOL\n"}},
};
inline constexpr vxr::Largest kGvtaLargest[] = {
    {"JVTMTIOR", "JVTTIOR"}, {"JVTMRIOR", "JVTRIOR"}, {"JVTMWIOR", "JVTWIOR"}};

inline constexpr vxr::TableInfo kGvtaTable = {
    .name = "GROUPVOLTHRD",
    .module = "VXRGVTAL",
    .description =
        "Group volume thread activity: the members' thread I/O by volume merged by group and "
        "volume, or listed thread by thread under a volume filter",
    .rowSize = sizeof(GvtaRow),
    .layout = kGvtaRowAttributes,
    .filters = kGvtaFilters,
    .merge = {.sums = "JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR,JVTVUSE",
              .earliest = "TIMESTAMP",
              .rowsMerged = "NUMRX4",
              .largest = kGvtaLargest,
              .keys = kGvtaKeys},
    .derived = "JVTTIOR,JVTRIOR,JVTWIOR,JVTVUSE"};
VXR_TABLES(VXRGVTAL, kGvtaTable);
