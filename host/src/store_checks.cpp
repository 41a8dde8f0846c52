#include "store_checks.h"

#include <limits>

namespace vxrhost::storechecks {

std::string_view rtrimBlanks(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

int32_t saturateInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

bool parseIntLiteral(std::string_view s, int64_t& value) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = negative ? -v : v;
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

const ColumnInfo* findColumn(const std::vector<ColumnInfo>& columns, const std::string& name,
                             std::size_t* index) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name == name) {
      if (index) *index = i;
      return &columns[i];
    }
  }
  return nullptr;
}

int32_t checkSelect(const std::string& sql, const TableLookup& tables, CheckedSelect& out,
                    std::string& error) {
  out = CheckedSelect{};
  SqlParseError parseError;
  if (!parseSqlSelect(sql, out.plan, parseError)) {
    error = parseError.message;
    return sqlstatus::kSyntaxError;
  }
  const SqlSelect& plan = out.plan;
  out.table = plan.qualifiedTable();
  const std::vector<ColumnInfo>* columns = tables(out.table);
  if (columns == nullptr) {
    error = "unknown table \"" + out.table + "\" at position " + std::to_string(plan.tablePosition);
    return sqlstatus::kUnknownTable;
  }
  auto resolve = [&](const SqlColumnRef& ref, std::size_t& index) {
    if (findColumn(*columns, ref.name, &index) != nullptr) return true;
    error = "unknown column \"" + ref.name + "\" at position " + std::to_string(ref.position) +
            " of table " + out.table;
    return false;
  };
  for (const SqlColumnRef& ref : plan.columns) {
    std::size_t index = 0;
    if (!resolve(ref, index)) return sqlstatus::kUnknownColumn;
    out.columns.push_back(index);
    out.selected.push_back((*columns)[index]);
  }
  for (const SqlPredicate& p : plan.predicates) {
    CheckedPredicate checked{&p};
    if (!resolve(p.column, checked.column)) return sqlstatus::kUnknownColumn;
    const ColumnInfo& c = (*columns)[checked.column];
    if (c.type == ColumnType::Int32) {
      if (p.op == SqlPredicate::Op::Like) {
        error = "LIKE at position " + std::to_string(p.column.position) +
                " needs a CHAR column, but " + c.name + " is INTEGER";
        return sqlstatus::kSyntaxError;
      }
      if (!parseIntLiteral(p.literal, checked.intValue)) {
        error = "literal '" + p.literal + "' at position " + std::to_string(p.literalPosition) +
                " is not a 32-bit integer for INTEGER column " + c.name;
        return sqlstatus::kSyntaxError;
      }
    }
    out.where.push_back(checked);
  }
  return sqlstatus::kOk;
}

int32_t routing(const std::string& node, bool found, bool online, std::string& error) {
  std::string shown(rtrimBlanks(node));
  if (!found) {
    error = "unknown node \"" + shown + "\": not in " + nodestatus::kTable;
    return sqlstatus::kUnknownNode;
  }
  if (!online) {
    error = "node \"" + shown + "\" is offline";
    return sqlstatus::kNodeOffline;
  }
  return sqlstatus::kOk;
}

int32_t checkNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                             const std::vector<ColumnInfo>& columns,
                             std::vector<NodeStatusRow>& rows, std::string& error) {
  rows.clear();
  for (const NodeStatusUpdate& update : updates) {
    std::string node(rtrimBlanks(update.node));
    if (node.empty()) {
      error = "node-status update without a node name";
      return sqlstatus::kStoreFailure;
    }
    NodeStatusRow row = {node,
                         std::string(rtrimBlanks(update.parent)),
                         node,
                         std::string(rtrimBlanks(update.nodeType)),
                         std::string(rtrimBlanks(update.online)),
                         "XR",
                         std::string(rtrimBlanks(update.version)),
                         std::string(rtrimBlanks(update.code)),
                         std::string(rtrimBlanks(update.affinity)),
                         std::string(rtrimBlanks(update.level))};
    for (std::size_t i = 0; i < row.size(); ++i) {
      const ColumnInfo* c = findColumn(columns, nodestatus::kColumns[i]);
      if (c == nullptr || row[i].size() > static_cast<std::size_t>(c->width)) {
        error = "node-status update of \"" + node + "\": " + nodestatus::kColumns[i] + " value \"" +
                row[i] + "\" is longer than " + std::to_string(c ? c->width : 0) + " characters";
        return sqlstatus::kStoreFailure;
      }
    }
    rows.push_back(std::move(row));
  }
  return sqlstatus::kOk;
}

}  // namespace vxrhost::storechecks
