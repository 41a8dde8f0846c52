// VXRCFGGL: coupling-facility lock structure summary.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LVXR_CF row (the SELECT
// list is in another order than the row), kept as the data of a group
// element, and handed to the host as it stands here. IDNAME starts at an
// odd offset; three bytes of padding (always zero) follow it.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRCFGGL_ROW(X, T)       \
  X(T, ORIGINNODE, Chars, 32)    \
  X(T, RECORDA, Int32, 4)        \
  X(T, RECORDU, Int32, 4)        \
  X(T, RECORDP, Int32, 4)        \
  X(T, GLOBALC, Int32, 4)        \
  X(T, GLOBALR, Int32, 4)        \
  X(T, FALSECO, Int32, 4)        \
  X(T, FALSECR, Int32, 4)        \
  X(T, LOCKA, Int32, 4)          \
  X(T, LOCKU, Int32, 4)          \
  X(T, LOCKP, Int32, 4)          \
  X(T, STRUCTS, Int32, 4)        \
  X(T, STRUCTU, Int32, 4)        \
  X(T, STRUCTP, Int32, 4)        \
  X(T, CONNECT, Int32, 4)        \
  VXR_STRUCTURE_ROW_FIELDS(X, T) \
  X(T, PADDING, Padding, 3)      \
  X(T, R4PLOCK, Int32, 4)        \
  X(T, R4CPLOK, Int32, 4)        \
  X(T, R4UPLOK, Int32, 4)        \
  X(T, R4SUSIRL, Int32, 4)       \
  X(T, R4SUSXES, Int32, 4)       \
  X(T, R4SUSFAL, Int32, 4)       \
  X(T, R4GCONT, Int32, 4)        \
  X(T, R4FCONT, Int32, 4)

struct CfggRow {
  VXRCFGGL_ROW(VXR_ROW_MEMBER, CfggRow)
};
inline constexpr vxr::ColumnField kCfggRowAttributes[] = {VXRCFGGL_ROW(VXR_ROW_ATTRIBUTE, CfggRow)};

static_assert(sizeof(CfggRow) == 184);
static_assert(offsetof(CfggRow, RECORDA) == 32);
static_assert(offsetof(CfggRow, RECORDU) == 36);
static_assert(offsetof(CfggRow, RECORDP) == 40);
static_assert(offsetof(CfggRow, GLOBALC) == 44);
static_assert(offsetof(CfggRow, GLOBALR) == 48);
static_assert(offsetof(CfggRow, FALSECO) == 52);
static_assert(offsetof(CfggRow, FALSECR) == 56);
static_assert(offsetof(CfggRow, LOCKA) == 60);
static_assert(offsetof(CfggRow, LOCKU) == 64);
static_assert(offsetof(CfggRow, LOCKP) == 68);
static_assert(offsetof(CfggRow, STRUCTS) == 72);
static_assert(offsetof(CfggRow, STRUCTU) == 76);
static_assert(offsetof(CfggRow, STRUCTP) == 80);
static_assert(offsetof(CfggRow, CONNECT) == 84);
static_assert(offsetof(CfggRow, STRUCTN) == 88);
static_assert(offsetof(CfggRow, DSGROUP) == 104);
static_assert(offsetof(CfggRow, TIMESTAMP) == 112);
static_assert(offsetof(CfggRow, STRUCTST) == 128);
static_assert(offsetof(CfggRow, STRUCTT) == 136);
static_assert(offsetof(CfggRow, IDNAME) == 141);
static_assert(offsetof(CfggRow, PADDING) == 149);
static_assert(offsetof(CfggRow, R4PLOCK) == 152);
static_assert(offsetof(CfggRow, R4CPLOK) == 156);
static_assert(offsetof(CfggRow, R4UPLOK) == 160);
static_assert(offsetof(CfggRow, R4SUSIRL) == 164);
static_assert(offsetof(CfggRow, R4SUSXES) == 168);
static_assert(offsetof(CfggRow, R4SUSFAL) == 172);
static_assert(offsetof(CfggRow, R4GCONT) == 176);
static_assert(offsetof(CfggRow, R4FCONT) == 180);

inline constexpr vxr::Filter kCfggFilters[] = {vxr::idnameFilter(" AND       IDNAME = '"),
                                               vxr::kOriginFilter};

inline constexpr vxr::TableInfo kCfggTable = {
    .name = "GROUPLOCKSTRUCT",
    .module = "VXRCFGGL",
    .description =
        "Coupling-facility lock structures: each group's lock structure with its members' lock "
        "requests and suspensions added up, and the global and false contention percentages",
    .rowSize = sizeof(CfggRow),
    .layout = kCfggRowAttributes,
    .filters = kCfggFilters,
    .merge = {.key = "DSGROUP,STRUCTN",
              .sums = "R4PLOCK,R4CPLOK,R4UPLOK,R4SUSIRL,R4SUSXES,R4SUSFAL",
              .earliest = "TIMESTAMP"},
    .derived = "R4GCONT,R4FCONT"};
VXR_TABLES(VXRCFGGL, kCfggTable);
