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
//  5. The module (vxrxxxxl.cpp) is a declaration plus what is particular to
//     its table; the member queries, the filing of each row, the request
//     loop and the common filters are the runtime's (vxr/family.h):
//     a. the work area: VXR_WORK_HEADER, VXR_NODE_FIELDS, the summary
//        table, `row`, `rowsEmitted` and the filter fields
//        (VXR_IDNAME_ORIGIN_FIELDS, VXR_SLOT_FIELDS), with its offsets
//        asserted on the 32-bit targets;
//     b. the SELECT list and its column table (VXR_SELECT_COLUMNS) and the
//        member SQL (sqlMemberQuery and the conditions of the filters);
//     c. the merge key (ByteRange ranges) and rule (MergeRule), or no key
//        for a table that lists every member row by itself;
//     d. the MemberFamily: the names the filing and collection trace under
//        (VXR_NAMED_ANCHOR), the columns, the SQL, key and rule, the summary
//        table (VXR_TABLE) and the filters (idnameFilters, or rules made
//        with VXR_SLOT, prefix(n)/exact() and deriveGroupFilter); hooks for
//        what only the table does (prepare, keyFor, alsoFile);
//     e. the ModuleProgram from familyProgram<Work, kFamily>(...), listing
//        only what differs from the defaults (eye-catcher, work-area size,
//        trace texts, beforeEmit, ...).
//     A lost element (no memory for a row) makes the collection false,
//     which ends the request with 62 and no rows.
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
