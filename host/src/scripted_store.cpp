// The scripted store: canned answers per route for tests.
#include "vxrhost/scripted_store.h"

#include <cctype>
#include <cstring>

namespace vxrhost {

std::string atNode(std::string_view sql, bool* found) {
  if (found != nullptr) *found = true;
  for (size_t at = sql.find("AT"); at != std::string_view::npos; at = sql.find("AT", at + 1)) {
    if (at > 0) {
      unsigned char before = static_cast<unsigned char>(sql[at - 1]);
      if (std::isalnum(before) || before == '_') continue;
    }
    size_t p = at + 2;
    if (p < sql.size() && sql[p] == ' ') ++p;
    if (sql.compare(p, 2, "('") != 0) continue;
    p += 2;
    size_t close = sql.find('\'', p);
    if (close == std::string_view::npos) {
      if (found != nullptr) *found = false;
      return {};
    }
    std::string_view node = sql.substr(p, close - p);
    while (!node.empty() && node.front() == ' ') node.remove_prefix(1);
    while (!node.empty() && node.back() == ' ') node.remove_suffix(1);
    return std::string(node);
  }
  return {};
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
