// VXRGOAAL: group object activity.
//
// The row layout of the table, shared by the module and by the host's
// catalog. A row is assembled from a member's VXR.LGOAACT row, kept as the
// data of a summary element, and handed to the host as it stands here.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRGOAAL_ROW(X, T)   \
  VXR_MEMBER_ROW_START(X, T) \
  X(T, JTPDB, Chars, 8)      \
  X(T, JTPSP, Chars, 8)      \
  X(T, JTPGETP, Int32, 4)    \
  X(T, JTPSYNR, Int32, 4)    \
  X(T, JTPPREF, Int32, 4)    \
  X(T, JTPASYW, Int32, 4)    \
  X(T, JTPOTHW, Int32, 4)    \
  X(T, JTPPCGP, Int32, 4)    \
  X(T, JTPPCIO, Int32, 4)    \
  X(T, JTPGPR, Int32, 4)     \
  X(T, JTPSYR, Int32, 4)     \
  X(T, JTPPRR, Int32, 4)     \
  X(T, JTPASR, Int32, 4)     \
  X(T, JTPOTR, Int32, 4)     \
  X(T, NUMRX4, Int32, 4)     \
  X(T, JTPRIOR, Int32, 4)    \
  X(T, ROWSMERGED, Int32, 4)

struct GoaaRow {
  VXRGOAAL_ROW(VXR_ROW_MEMBER, GoaaRow)
};
inline constexpr vxr::ColumnField kGoaaRowAttributes[] = {VXRGOAAL_ROW(VXR_ROW_ATTRIBUTE, GoaaRow)};

static_assert(sizeof(GoaaRow) == 148);
static_assert(offsetof(GoaaRow, RX4ID) == 64);
static_assert(offsetof(GoaaRow, JTPGETP) == 88);
static_assert(offsetof(GoaaRow, JTPPCGP) == 108);
static_assert(offsetof(GoaaRow, NUMRX4) == 136);
static_assert(offsetof(GoaaRow, ROWSMERGED) == 144);

// The database and space conditions narrow a group's query only. Rows
// merge per group, database and space under a database filter, per group
// and database under an IDNAME filter (or the group ORIGINNODE names).
inline constexpr vxr::Filter kGoaaFilters[] = {
    vxr::activityGroupFilter(" AND LGOAACT.DSGROUP = '"),
    vxr::activityIdnameFilter(true),
    {.column = "JTPDB",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAACT.JTPDB   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP",
     .matchTrace = "JTPDB match Index Filter %d %s %s \n"},
    {.column = "JTPSP",
     .match = vxr::prefix(5),
     .condition = " AND   LGOAACT.JTPSP   = '",
     .literal = vxr::Literal::Trimmed,
     .onlyWith = "DSGROUP",
     .matchTrace = "JTPSP match Index Filter %d %s %s \n"},
    vxr::kActivityOriginFilter,
};

inline constexpr vxr::KeyChoice kGoaaKeys[] = {
    {"JTPSP", nullptr, {kTraceDetail, "Spacename supplied, No Summary\n"}},
    {"JTPDB", "DSGROUP,JTPDB,JTPSP", {kTraceDetail, "summarizeOAA filterJTPDB\n"}},
    {"IDNAME", "DSGROUP,JTPDB", {kTraceDetail, "summarizeOAA filterIDNAME\n"}},
    {nullptr, nullptr, {kTraceDetail, "Idname not supplied, No Data\n"}},
};

inline constexpr vxr::TableInfo kGoaaTable = {
    .name = "GROUPOBJACT",
    .module = "VXRGOAAL",
    .description =
        "Group object activity: the members' object activity merged by group, "
        "database and space, with rates",
    .rowSize = sizeof(GoaaRow),
    .layout = kGoaaRowAttributes,
    .filters = kGoaaFilters,
    .merge = {.sums = "JTPGETP,JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPGPR,JTPSYR,JTPPRR,JTPASR,JTPOTR",
              .earliest = "TIMESTAMP",
              .rowsMerged = "ROWSMERGED",
              .keys = kGoaaKeys,
              .members = {.into = "NUMRX4", .database = "JTPDB"}},
    .derived = "JTPPCGP,JTPPCIO,JTPGPR,JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR"};
VXR_TABLES(VXRGOAAL, kGoaaTable);
