// VXRXXXXL: the template of a new table. Not built: copy this folder.
//
// Adding a table, step by step:
//
//  1. Copy providers/template/ to providers/vxr<code>l/ and rename both files
//     (vxrgbppl.h, vxrgbppl.cpp); replace XXXX/xxxx by the table code.
//  2. Row layout (this file): list the row's fields once in VXRXXXXL_ROW,
//     in row order, with their kind (Chars, Int32, Padding) and width, and
//     assert the sizes and offsets the host expects on the 32-bit targets.
//     This file includes vxr/declaration.h and nothing else.
//  3. What the table is (this file), a TableInfo listed by VXR_TABLES: the
//     host's catalog, `vxrhost tables --columns`, the vxrhost command and
//     the tests read it from here, and the module runs from it.
//     a. the filters, each with its column match, value width and SQL
//        condition (or `keeps` to keep only matching rows); idnameFilter()
//        and kOriginFilter cover the group and the origin node;
//     b. the merge rule by column names: `key` (or `keys` chosen by the
//        filters), `sums`, `earliest`, `largest`, `rowsMerged`, `members`;
//        no key lists every member row by itself;
//     c. `derived`: the columns the module's hooks compute.
//  4. Member table: make sure its CREATE TABLE is in data/schema.sql (the
//     tests take the member tables and their columns from there).
//  5. The module (vxrxxxxl.cpp) is one declaration, a vxr::Table<Row>
//     (vxr/table.h), plus hooks for what only its table does. The runtime
//     runs every table from its declaration: it lays out the work area,
//     reads the filters, builds and sends the member queries, files each
//     row (merged by key, or listed) and hands the rows out. Declare:
//     a. the table (step 3) and the host-visible work area: eye-catcher and
//        size (exactly this size on the 32-bit targets; the runtime's
//        fields must fit in it);
//     b. the member query: the SELECT list (checked at compile time against
//        the row's fields; `aliases` for a member column that lands in a
//        field of another name), the base table, a fixed condition, and the
//        routing spelling (kAt, kAtSpaced, ...), never a loose string;
//     c. the names the collection and filing trace under
//        (VXR_NAMED_ANCHOR) and the request's trace lines (quietTexts(),
//        stepTexts(), or your own RequestTexts);
//     d. hooks typed on the row: `complete` before filing, `beforeEmit`
//        just before a row is handed out.
//     Every column a declaration names is checked against the row at
//     compile time. A lost element (no memory for a row) makes the
//     collection false, which ends the request with 62 and no rows.
//  6. Register it: one line in providers/CMakeLists.txt,
//       vxr_module(VXRXXXXL FLAVOURS solaris windows)
//     which builds modules/VXRXXXXL.so, adds the catalog entry and the tests.
//  7. Tests: tests/providers/test_vxrxxxxl.cpp (required by the
//     registration line) for what is particular to the table; the lifecycle
//     statuses and the walk-versus-index comparison run for every catalog
//     table without further work, and so does the check that each declared
//     filter changes the member query (or is declared to name or keep rows).
//  8. Build and run: bash scripts/test.sh native, then the whole script.
#pragma once

#include "vxr/declaration.h"

// field, kind, width
#define VXRXXXXL_ROW(X, T)    \
  X(T, ORIGINNODE, Chars, 32) \
  X(T, IDNAME, Chars, 8)      \
  X(T, COUNTER, Int32, 4)

struct XxxxRow {
  VXRXXXXL_ROW(VXR_ROW_MEMBER, XxxxRow)
};
inline constexpr vxr::ColumnField kXxxxRowAttributes[] = {VXRXXXXL_ROW(VXR_ROW_ATTRIBUTE, XxxxRow)};
static_assert(sizeof(XxxxRow) == 44);

// IDNAME narrows every member query (the value trimmed); without it the
// group the ORIGINNODE filter names does.
inline constexpr vxr::Filter kXxxxFilters[] = {
    {.column = "IDNAME",
     .condition = " AND IDNAME = '",
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    vxr::kOriginFilter,
};

inline constexpr vxr::TableInfo kXxxxTable = {.name = "TABLENAME",
                                              .module = "VXRXXXXL",
                                              .description = "One line of description",
                                              .rowSize = sizeof(XxxxRow),
                                              .layout = kXxxxRowAttributes,
                                              .filters = kXxxxFilters,
                                              .merge = {.key = "IDNAME", .sums = "COUNTER"}};
VXR_TABLES(VXRXXXXL, kXxxxTable);
