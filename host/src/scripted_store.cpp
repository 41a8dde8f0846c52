// The scripted store: canned answers per route for tests.
#include "vxrhost/scripted_store.h"

#include <cctype>
#include <cstring>

namespace vxrhost {

namespace {

bool identChar(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) != 0 || c == '_' || c == '#' || c == '@' || c == '$';
}

// Offset just past the literal that opens at `quote`, or npos when it is not
// closed. A doubled quote inside stands for one quote.
size_t literalEnd(std::string_view sql, size_t quote, std::string* value) {
  for (size_t p = quote + 1; p < sql.size(); ++p) {
    if (sql[p] != '\'') {
      if (value != nullptr) *value += sql[p];
      continue;
    }
    if (p + 1 < sql.size() && sql[p + 1] == '\'') {
      if (value != nullptr) *value += '\'';
      ++p;
      continue;
    }
    return p + 1;
  }
  return std::string_view::npos;
}

bool keywordAt(std::string_view sql, size_t p, std::string_view keyword) {
  if (p + keyword.size() > sql.size()) return false;
  if (p > 0 && identChar(sql[p - 1])) return false;
  for (size_t i = 0; i < keyword.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(sql[p + i])) != keyword[i]) return false;
  }
  return p + keyword.size() == sql.size() || !identChar(sql[p + keyword.size()]);
}

}  // namespace

AtClause findAtClause(std::string_view sql) {
  AtClause clause;
  for (size_t p = 0; p < sql.size(); ++p) {
    if (sql[p] == '\'') {
      // Literals elsewhere (a WHERE value "AT ('X')") are skipped whole.
      size_t end = literalEnd(sql, p, nullptr);
      if (end == std::string_view::npos) return clause;
      p = end - 1;
      continue;
    }
    if (!keywordAt(sql, p, "AT")) continue;
    size_t q = p + 2;
    while (q < sql.size() && sql[q] == ' ') ++q;
    if (q >= sql.size() || sql[q] != '(') continue;
    ++q;
    while (q < sql.size() && sql[q] == ' ') ++q;
    if (q >= sql.size() || sql[q] != '\'') continue;
    clause.present = true;
    std::string node;
    size_t end = literalEnd(sql, q, &node);
    if (end == std::string_view::npos) {
      clause.closed = false;
      return clause;
    }
    size_t first = node.find_first_not_of(' ');
    node.erase(0, first == std::string::npos ? node.size() : first);
    node.erase(node.find_last_not_of(' ') + 1);
    clause.node = std::move(node);
    return clause;
  }
  return clause;
}

std::string fromTable(std::string_view sql) {
  for (size_t p = 0; p < sql.size(); ++p) {
    if (sql[p] == '\'') {
      size_t end = literalEnd(sql, p, nullptr);
      if (end == std::string_view::npos) return {};
      p = end - 1;
      continue;
    }
    if (!keywordAt(sql, p, "FROM")) continue;
    size_t q = p + 4;
    while (q < sql.size() && sql[q] == ' ') ++q;
    size_t begin = q;
    while (q < sql.size() && (identChar(sql[q]) || sql[q] == '.')) ++q;
    return std::string(sql.substr(begin, q - begin));
  }
  return {};
}

std::string originNodeOf(std::string_view sql) {
  for (size_t p = 0; p < sql.size(); ++p) {
    if (sql[p] == '\'') {
      size_t end = literalEnd(sql, p, nullptr);
      if (end == std::string_view::npos) return {};
      p = end - 1;
      continue;
    }
    if (!keywordAt(sql, p, "ORIGINNODE")) continue;
    size_t q = p + 10;
    while (q < sql.size() && sql[q] == ' ') ++q;
    if (q >= sql.size() || sql[q] != '=') continue;
    ++q;
    while (q < sql.size() && sql[q] == ' ') ++q;
    if (q >= sql.size() || sql[q] != '\'') continue;
    std::string node;
    if (literalEnd(sql, q, &node) == std::string_view::npos) return {};
    size_t first = node.find_first_not_of(' ');
    node.erase(0, first == std::string::npos ? node.size() : first);
    node.erase(node.find_last_not_of(' ') + 1);
    return node;
  }
  return {};
}

std::string atNode(std::string_view sql, bool* found) {
  AtClause clause = findAtClause(sql);
  if (found != nullptr) *found = clause.closed;
  return clause.node;
}

std::string charCell(std::string_view text, size_t width) {
  std::string cell(text.substr(0, width));
  cell.resize(width, ' ');
  return cell;
}

std::string intCell(int32_t value) {
  std::string cell(sizeof value, '\0');
  std::memcpy(cell.data(), &value, sizeof value);
  return cell;
}

namespace {

class ScriptedRows : public ResultSet {
 public:
  ScriptedRows(std::vector<std::vector<std::string>> rows, int failAfter, int32_t failStatus)
      : rows_(std::move(rows)), failAfter_(failAfter), failStatus_(failStatus) {}
  int32_t next(std::vector<std::string>& cells, std::string& error) override {
    if (failAfter_ >= 0 && delivered_ == static_cast<size_t>(failAfter_)) {
      error = "scripted fetch failure after " + std::to_string(failAfter_) + " rows";
      return failStatus_;
    }
    if (delivered_ >= rows_.size()) return sqlstatus::kEndOfData;
    cells = rows_[delivered_++];
    return sqlstatus::kOk;
  }

 private:
  std::vector<std::vector<std::string>> rows_;
  size_t delivered_ = 0;
  int failAfter_;
  int32_t failStatus_;
};

class ScriptedStatement : public PreparedStatement {
 public:
  ScriptedStatement(std::vector<ColumnInfo> columns, std::vector<std::vector<std::string>> rows,
                    int32_t openStatus, int failAfter, int32_t failStatus)
      : columns_(std::move(columns)),
        rows_(std::move(rows)),
        openStatus_(openStatus),
        failAfter_(failAfter),
        failStatus_(failStatus) {}
  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  int32_t open(std::unique_ptr<ResultSet>& rows, std::string& error) override {
    if (openStatus_ != 0) {
      error = "scripted open failure";
      return openStatus_;
    }
    rows = std::make_unique<ScriptedRows>(rows_, failAfter_, failStatus_);
    return sqlstatus::kOk;
  }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<std::string>> rows_;
  int32_t openStatus_;
  int failAfter_;
  int32_t failStatus_;
};

}  // namespace

ScriptedStore::Script& ScriptedStore::Script::column(std::string name, ColumnType type, int width) {
  columns_.push_back(ColumnInfo{std::move(name), type, width});
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::row(std::vector<std::string> cells) {
  rows_.push_back(std::move(cells));
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::clearRows() {
  rows_.clear();
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::failPrepare(int32_t status) {
  prepareStatus_ = status;
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::failOpen(int32_t status) {
  openStatus_ = status;
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::failFetchAfter(int n, int32_t status) {
  fetchFailAfter_ = n;
  fetchStatus_ = status;
  return *this;
}

ScriptedStore::Script& ScriptedStore::Script::failClient(SqlOp op, int32_t status, int skip,
                                                         int times) {
  clientFaults_[op] = Fault{status, skip, times, 0};
  return *this;
}

ScriptedStore::ScriptedStore() = default;
ScriptedStore::~ScriptedStore() = default;

ScriptedStore::Script& ScriptedStore::route(const std::string& node, const std::string& match) {
  std::lock_guard lock(mutex_);
  for (auto& s : scripts_) {
    if (s->route_ == node && s->match_ == match) return *s;
  }
  scripts_.push_back(std::make_unique<Script>());
  scripts_.back()->route_ = node;
  scripts_.back()->match_ = match;
  return *scripts_.back();
}

void ScriptedStore::failPath(int32_t status, int skip, int times) {
  std::lock_guard lock(mutex_);
  pathFault_ = Script::Fault{status, skip, times, 0};
}

std::vector<std::string> ScriptedStore::texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::vector<NodeStatusUpdate> ScriptedStore::nodeUpdates() const {
  std::lock_guard lock(mutex_);
  return updates_;
}

int ScriptedStore::prepareCount(const std::string& node) const {
  std::lock_guard lock(mutex_);
  auto it = prepares_.find(node);
  return it == prepares_.end() ? 0 : it->second;
}

int32_t ScriptedStore::prepare(const std::string& sql,
                               std::unique_ptr<PreparedStatement>& statement, std::string& error) {
  std::lock_guard lock(mutex_);
  texts_.push_back(sql);
  bool closed = true;
  std::string node = atNode(sql, &closed);
  if (!closed) {
    error = "AT clause without a closing quote";
    return sqlstatus::kSyntaxError;
  }
  ++prepares_[node];
  const Script* chosen = nullptr;
  for (const auto& s : scripts_) {
    if (s->route_ != node) continue;
    if (!s->match_.empty() && sql.find(s->match_) != std::string::npos) {
      chosen = s.get();
      break;
    }
    if (s->match_.empty() && chosen == nullptr) chosen = s.get();
  }
  if (chosen == nullptr) {
    error = "no script for node \"" + node + "\"";
    return sqlstatus::kUnknownNode;
  }
  if (chosen->prepareStatus_ != 0) {
    error = "scripted prepare failure for node \"" + node + "\"";
    return chosen->prepareStatus_;
  }
  statement =
      std::make_unique<ScriptedStatement>(chosen->columns_, chosen->rows_, chosen->openStatus_,
                                          chosen->fetchFailAfter_, chosen->fetchStatus_);
  return sqlstatus::kOk;
}

int32_t ScriptedStore::updateNodeStatus(const NodeStatusUpdate& update, std::string& error) {
  std::lock_guard lock(mutex_);
  updates_.push_back(update);
  if (nodeStatusResult_ != 0) error = "scripted node-status failure";
  return nodeStatusResult_;
}

bool ScriptedStore::hit(Script::Fault& fault) {
  if (fault.status == 0) return false;
  ++fault.seen;
  if (fault.seen <= fault.skip) return false;
  return fault.times < 0 || fault.seen - fault.skip <= fault.times;
}

int32_t ScriptedStore::clientFault(SqlOp op, const std::string& route) {
  std::lock_guard lock(mutex_);
  if (op == SqlOp::CreatePath) return hit(pathFault_) ? pathFault_.status : 0;
  for (auto& s : scripts_) {
    if (s->route_ != route) continue;
    auto it = s->clientFaults_.find(op);
    if (it != s->clientFaults_.end() && hit(it->second)) return it->second.status;
  }
  return 0;
}

}  // namespace vxrhost
