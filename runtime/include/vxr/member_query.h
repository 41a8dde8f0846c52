// Member queries: one SELECT per member agent, built by the module, run
// through the SQL request layer; each fetched row is assembled from the
// output descriptor and handed to the module.
#pragma once

#include <span>

#include "vxr/chars.h"
#include "vxr/host_services.h"
#include "vxr/nodes.h"
#include "vxr/rows.h"
#include "vxr/sql_text.h"
#include "vxr/trace.h"

namespace vxr {

// Copies the columns of the current output row into `row`: each with its
// delivered length, at most the field's width; a shorter value leaves the
// rest of a character field blank and of an integer or a raw-byte field
// (VXR_FIELD_ZEROED) zero. Nothing is copied
// when the descriptor does not have exactly as many columns: then the line
// "Count of colums ..." is traced at `mismatchLevel` and false returned.
bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel);
inline bool assembleRow(const Trace& trace, const void* sqlda, const ColumnField* columns,
                        int32_t count, void* row, int32_t mismatchLevel) {
  return assembleRow(trace, sqlda,
                     std::span<const ColumnField>(columns, static_cast<size_t>(count)), row,
                     mismatchLevel);
}

// As above; the character fields at `zeroFilled` (offsets of fields in
// `columns`) keep their value as delivered: the rest of such a field past a
// shorter value is zero instead of blank.
bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel, std::span<const uint16_t> zeroFilled);

// Optional detail lines some collections write around a query.
struct QueryTexts {
  const char* pathOpened = nullptr;     // after the path is created
  const char* requestOpened = nullptr;  // after the request is opened
  const char* afterFetch = nullptr;     // after the fetch loop
};

// Takes one fetched row; false when the row could not be taken (the
// collection is then false).
using RowHandler = bool (*)(void* context, const Trace& trace, const void* sqlda);

// Runs one SQL text: prepare, open, fetch (onRow for every row), close, drop.
// Failures are traced with the system's messages. True when the request was
// created, opened and closed and every onRow returned true.
bool runQuery(const Trace& trace, const SqlText& sql, RowHandler onRow, void* context,
              const QueryTexts* texts = nullptr);

struct MemberCollection {
  VXR_ListHeader* nodes;       // node list of buildNodeList
  VXR_ListLinks** nodeCursor;  // the work area's node cursor
  void* context;               // handed to the hooks (the work area)
  void (*buildSql)(void* context, const Trace& trace, const VXR_NodeRecord& node, SqlText& sql);
  RowHandler onRow;
  const char* sqlTrace = "Vtable SQL= %s\n";  // traced with the text before it is sent
  int32_t sqlTraceLevel = kTraceDetail;
  const QueryTexts* texts = nullptr;
};

// The start of a member query: the SELECT list, the FROM text, the routing
// clause (`at` ends with the opening quote) with the thru node, and the
// origin-node condition (`where` ends with the opening quote), both node
// names trimmed: "<select><from><at><thru>')<where><origin>'".
void sqlMemberQuery(SqlText& sql, const char* select, const char* from, const char* at,
                    const VXR_NodeRecord& node, const char* where);

// Queries every member of the node list, newest node first, with the node
// cursor on it. 1 when every query succeeded and every row was taken, else 0.
int32_t collectMembers(const Trace& trace, const MemberCollection& collection);

// The detail lines of the modules that trace their fetch loop.
inline constexpr QueryTexts kFetchLoopTexts = {.requestOpened = "Entering SQL while...\n",
                                               .afterFetch = "While complete.\n"};

// Builds the member query of one node.
using MemberSql = void (*)(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                           SqlText& sql);

// A collection under the module's name (`anchor`) over the node list and
// cursor of work area W: every member queried with buildSql, each fetched
// row handed to onRow with the work area. 1 when every query succeeded and
// every row was taken, else 0.
template <typename W>
int32_t collectTraced(RAS1_Anchor* anchor, W& w, MemberSql buildSql, RowHandler onRow,
                      const QueryTexts* texts = nullptr) {
  const Trace trace = traceEnter(anchor);
  const MemberCollection collection{.nodes = w.nodeList,
                                    .nodeCursor = &w.nodeCursor,
                                    .context = &w,
                                    .buildSql = buildSql,
                                    .onRow = onRow,
                                    .texts = texts};
  return traceExit(trace, __LINE__, collectMembers(trace, collection));
}

}  // namespace vxr
