// VXRGSTSL: group buffer pool statistics.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGBPSTAT row (the SELECT
// list is in another order than the row), kept as the data of a group
// element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGSTSL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, TIMESTAMP, Chars, 16)  \
  X(T, SYSID, Chars, 4)       \
  X(T, IDNAME, Chars, 8)      \
  X(T, RX4ID, Chars, 4)       \
  X(T, DSGROUP, Chars, 8)     \
  X(T, STRUCTN, Chars, 16)    \
  X(T, NUMRX4, Int32, 4)      \
  X(T, XIREAD, Int32, 4)      \
  X(T, XIREADN, Int32, 4)     \
  X(T, GBPREAD, Int32, 4)     \
  X(T, GBPREADN, Int32, 4)    \
  X(T, CHGWRITE, Int32, 4)    \
  X(T, CLNWRITE, Int32, 4)    \
  X(T, COCLASST, Int32, 4)    \
  X(T, COGBPT, Int32, 4)      \
  X(T, COPAGES, Int32, 4)     \
  X(T, COENGNA, Int32, 4)     \
  X(T, WRENGNA, Int32, 4)     \
  X(T, RDFAILS, Int32, 4)     \
  X(T, WRFAILS, Int32, 4)     \
  X(T, RPLREQ, Int32, 4)      \
  X(T, RPLRCHN, Int32, 4)     \
  X(T, RPLRCLN, Int32, 4)     \
  X(T, NUMCHECK, Int32, 4)    \
  X(T, NUMREBLD, Int32, 4)    \
  X(T, STGSTAT, Int32, 4)     \
  X(T, UNLCO, Int32, 4)       \
  X(T, READCOC, Int32, 4)     \
  X(T, READCOST, Int32, 4)    \
  X(T, DELNAME, Int32, 4)     \
  X(T, RDIRINFO, Int32, 4)    \
  X(T, UNREGP, Int32, 4)      \
  X(T, REGPAGE, Int32, 4)     \
  X(T, PFREAD, Int32, 4)      \
  X(T, PFREADN, Int32, 4)     \
  X(T, SYSWRCHN, Int32, 4)    \
  X(T, SYSWRCLN, Int32, 4)

struct GstsRow {
  VXRGSTSL_ROW(VXR_ROW_MEMBER, GstsRow)
};
inline constexpr vxr::ColumnField kGstsRowAttributes[] = {VXRGSTSL_ROW(VXR_ROW_ATTRIBUTE, GstsRow)};

static_assert(sizeof(GstsRow) == 212);
static_assert(offsetof(GstsRow, TIMESTAMP) == 32);
static_assert(offsetof(GstsRow, SYSID) == 48);
static_assert(offsetof(GstsRow, IDNAME) == 52);
static_assert(offsetof(GstsRow, RX4ID) == 60);
static_assert(offsetof(GstsRow, DSGROUP) == 64);
static_assert(offsetof(GstsRow, STRUCTN) == 72);
static_assert(offsetof(GstsRow, NUMRX4) == 88);
static_assert(offsetof(GstsRow, XIREAD) == 92);
static_assert(offsetof(GstsRow, XIREADN) == 96);
static_assert(offsetof(GstsRow, GBPREAD) == 100);
static_assert(offsetof(GstsRow, GBPREADN) == 104);
static_assert(offsetof(GstsRow, CHGWRITE) == 108);
static_assert(offsetof(GstsRow, CLNWRITE) == 112);
static_assert(offsetof(GstsRow, COCLASST) == 116);
static_assert(offsetof(GstsRow, COGBPT) == 120);
static_assert(offsetof(GstsRow, COPAGES) == 124);
static_assert(offsetof(GstsRow, COENGNA) == 128);
static_assert(offsetof(GstsRow, WRENGNA) == 132);
static_assert(offsetof(GstsRow, RDFAILS) == 136);
static_assert(offsetof(GstsRow, WRFAILS) == 140);
static_assert(offsetof(GstsRow, RPLREQ) == 144);
static_assert(offsetof(GstsRow, RPLRCHN) == 148);
static_assert(offsetof(GstsRow, RPLRCLN) == 152);
static_assert(offsetof(GstsRow, NUMCHECK) == 156);
static_assert(offsetof(GstsRow, NUMREBLD) == 160);
static_assert(offsetof(GstsRow, STGSTAT) == 164);
static_assert(offsetof(GstsRow, UNLCO) == 168);
static_assert(offsetof(GstsRow, READCOC) == 172);
static_assert(offsetof(GstsRow, READCOST) == 176);
static_assert(offsetof(GstsRow, DELNAME) == 180);
static_assert(offsetof(GstsRow, RDIRINFO) == 184);
static_assert(offsetof(GstsRow, UNREGP) == 188);
static_assert(offsetof(GstsRow, REGPAGE) == 192);
static_assert(offsetof(GstsRow, PFREAD) == 196);
static_assert(offsetof(GstsRow, PFREADN) == 200);
static_assert(offsetof(GstsRow, SYSWRCHN) == 204);
static_assert(offsetof(GstsRow, SYSWRCLN) == 208);

inline constexpr vxr::Filter kGstsFilters[] = {
    {.column = nullptr, .condition = " AND DSGROUP = '", .role = vxr::FilterRole::Group},
    {.column = "STRUCTN", .match = vxr::prefix(7), .width = 16, .condition = " AND STRUCTN = '"},
    vxr::kOriginFilter,
};
// In detail mode every row is filed by itself.
inline constexpr vxr::KeyChoice kGstsKeys[] = {
    {"STRUCTN", nullptr, {kTraceDetail, "Returning detail for STRUCTN: %.16s \n"}},
    {nullptr, "DSGROUP,STRUCTN"},
};

inline constexpr vxr::TableInfo kGstsTable = {
    .name = "GROUPBPSTATS",
    .module = "VXRGSTSL",
    .description =
        "Group buffer pool statistics: each group buffer pool structure's reads, writes, castouts "
        "and failures added up over the members of its data sharing group",
    .rowSize = sizeof(GstsRow),
    .layout = kGstsRowAttributes,
    .filters = kGstsFilters,
    .merge = {
        .sums = "NUMRX4,XIREAD,XIREADN,GBPREAD,GBPREADN,CHGWRITE,CLNWRITE,COCLASST,COGBPT,COPAGES,"
                "COENGNA,WRENGNA,RDFAILS,WRFAILS,RPLREQ,RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,STGSTAT,"
                "UNLCO,READCOC,READCOST,DELNAME,RDIRINFO,UNREGP,REGPAGE,PFREAD,PFREADN,SYSWRCHN,"
                "SYSWRCLN",
        .earliest = "TIMESTAMP",
        .keys = kGstsKeys}};
VXR_TABLES(VXRGSTSL, kGstsTable);
