// What every store does with a SQL text and a node-status batch before it
// renders them for its database: the dialect's checks with their statuses
// and messages, and the small value rules (CHAR keys, int32 literals), so
// that the stores answer bad input alike.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vxrhost/sql_dialect.h"
#include "vxrhost/store.h"

namespace vxrhost::storechecks {

// Trailing blanks dropped.
std::string_view rtrimBlanks(std::string_view s);
// "name" with quotes inside doubled.
std::string quoteIdentifier(std::string_view name);
int32_t saturateInt32(int64_t v);
// A literal compared with an INTEGER column: optional blanks, sign, digits,
// within int32.
bool parseIntLiteral(std::string_view s, int64_t& value);
// The column named `name` exactly, or nullptr; its index in `index`.
const ColumnInfo* findColumn(const std::vector<ColumnInfo>& columns, const std::string& name,
                             std::size_t* index = nullptr);

// A predicate with its column resolved.
struct CheckedPredicate {
  const SqlPredicate* predicate = nullptr;
  std::size_t column = 0;  // index in the table's columns
  int64_t intValue = 0;    // the literal, for an INTEGER column
};

struct CheckedSelect {
  SqlSelect plan;
  std::string table;                    // "SCHEMA.TABLE"
  std::vector<std::size_t> columns;     // the select list, as indexes in the table's columns
  std::vector<ColumnInfo> selected;     // and as delivered
  std::vector<CheckedPredicate> where;  // in order
};

// The columns of a table of the store, or nullptr for an unknown table.
using TableLookup = std::function<const std::vector<ColumnInfo>*(const std::string&)>;

// Parses `sql` and checks table, columns and literals: kOk, or the status
// and message a store's prepare returns (kSyntaxError, kUnknownTable,
// kUnknownColumn).
int32_t checkSelect(const std::string& sql, const TableLookup& tables, CheckedSelect& out,
                    std::string& error);

// Whether a request routed AT `node` may run, from what the node-status
// table says: kOk, kUnknownNode or kNodeOffline with its message.
int32_t routing(const std::string& node, bool found, bool online, std::string& error);

// The node-status values of each update in the order of nodestatus::kColumns
// (blanks trimmed, the node as its own origin, product "XR"), each checked
// against its column's width: kOk, or kStoreFailure refusing the batch.
using NodeStatusRow = std::array<std::string, std::size(nodestatus::kColumns)>;
int32_t checkNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                             const std::vector<ColumnInfo>& columns,
                             std::vector<NodeStatusRow>& rows, std::string& error);

}  // namespace vxrhost::storechecks
