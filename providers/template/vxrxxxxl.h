// VXRXXXXL: the template of a new table. Not built: copy this folder.
//
// Adding a table, step by step:
//
//  1. Copy providers/template/ to providers/vxr<code>l/ and rename both files
//     (vxrgbppl.h, vxrgbppl.cpp); replace XXXX/xxxx by the table code.
//  2. Row layout (this file): list the row's fields once in VXRXXXXL_ROW,
//     in row order, with their kind (Chars, Int32, Padding) and width, and
//     assert the sizes and offsets the host expects on the 32-bit targets.
//     This file includes vxr/rows.h and nothing else.
//  3. Declare the table with TableInfo and VXR_TABLES: the host's catalog,
//     the vxrhost command and the tests read the table from here.
//  4. Member table: make sure its CREATE TABLE is in data/schema.sql (the
//     tests take the member tables and their columns from there).
//  5. The module (vxrxxxxl.cpp): the work area struct with its asserted
//     offsets, the SELECT list and its column table (static_assert
//     selectMatches), the member SQL, the filter rules (prefix(n)/exact(),
//     slots made with VXR_SLOT), the merge key (ByteRange ranges; use
//     findKeyed/fileKeyed/countKeyed, never a walk per row), the result
//     tables (VXR_TABLE) and the ModuleProgram: list only what differs from
//     the defaults. A lost element (a null from fileKeyed) makes the row
//     handler return false, which ends the request with 62 and no rows.
//  6. Register it: one line in providers/CMakeLists.txt,
//       vxr_module(VXRXXXXL FLAVOURS solaris windows)
//     which builds modules/VXRXXXXL.so, adds the catalog entry and the tests.
//  7. Tests: tests/providers/test_vxrxxxxl.cpp (required by the
//     registration line) for what is particular to the table; the lifecycle
//     statuses and the walk-versus-index comparison run for every catalog
//     table without further work.
//  8. Build and run: bash scripts/test.sh native, then the whole script.
#pragma once

#include "vxr/rows.h"

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

inline constexpr vxr::TableInfo kXxxxTable = {"TABLENAME", "VXRXXXXL", "One line of description",
                                              sizeof(XxxxRow), kXxxxRowAttributes};
VXR_TABLES(VXRXXXXL, kXxxxTable);
