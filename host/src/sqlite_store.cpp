#include "vxrhost/sqlite_store.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <variant>

#include "sqlite_api.h"
#include "store_checks.h"
#include "vxrhost/sql_dialect.h"

namespace vxrhost {

namespace {

using Binding = std::variant<std::string, int64_t>;

// The value rules every store shares.
using storechecks::findColumn;
using storechecks::parseIntLiteral;
using storechecks::quoteIdentifier;
using storechecks::rtrimBlanks;
using storechecks::saturateInt32;

// The node-status table's columns as updateNodeStatus writes them.
const auto& kNodeStatusColumns = nodestatus::kColumns;

// The bytes of a value as a CHAR column of `width` holds them: cut to the
// width, trailing blanks dropped. NULL is all blanks.
std::string_view charValue(sqlite3_value* value, int width) {
  const char* data = nullptr;
  int size = 0;
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_BLOB:
      data = static_cast<const char*>(sqlite3_value_blob(value));
      size = sqlite3_value_bytes(value);
      break;
    default:
      data = reinterpret_cast<const char*>(sqlite3_value_text(value));
      size = sqlite3_value_bytes(value);
      break;
  }
  if (data == nullptr || size <= 0) return {};
  std::string_view s(data, static_cast<std::size_t>(std::min(size, std::max(width, 0))));
  return rtrimBlanks(s);
}

std::string_view textArg(sqlite3_value* value) {
  const char* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (data == nullptr) return {};
  return {data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

// LIKE with '*' as the only wildcard, matching any run of characters; every
// other character matches itself, case-sensitively. Iterative, with
// backtracking to the last '*' only, so it is linear in practice.
bool starMatch(std::string_view text, std::string_view pattern) {
  std::size_t t = 0, p = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// vxr_char_eq(value, width, literal): CHAR equality, trailing blanks insignificant.
void sqlCharEq(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string_view v = charValue(argv[0], sqlite3_value_int(argv[1]));
  std::string_view lit = rtrimBlanks(textArg(argv[2]));
  sqlite3_result_int(ctx, v == lit ? 1 : 0);
}

// vxr_char_like(value, width, pattern)
void sqlCharLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string_view v = charValue(argv[0], sqlite3_value_int(argv[1]));
  std::string_view pattern = rtrimBlanks(textArg(argv[2]));
  sqlite3_result_int(ctx, starMatch(v, pattern) ? 1 : 0);
}

// vxr_int(value): the integer as delivered (NULL 0, saturated to int32).
void sqlInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  sqlite3_result_int(ctx, saturateInt32(sqlite3_value_int64(argv[0])));
}

bool registerFunctions(sqlite3* db, std::string& error) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  if (sqlite3_create_function(db, "vxr_char_eq", 3, flags, nullptr, sqlCharEq, nullptr, nullptr) !=
          SQLITE_OK ||
      sqlite3_create_function(db, "vxr_char_like", 3, flags, nullptr, sqlCharLike, nullptr,
                              nullptr) != SQLITE_OK ||
      sqlite3_create_function(db, "vxr_int", 1, flags, nullptr, sqlInt, nullptr, nullptr) !=
          SQLITE_OK) {
    error = std::string("cannot register SQL functions: ") + sqlite3_errmsg(db);
    return false;
  }
  return true;
}

// Owns one sqlite3_stmt.
struct Statement {
  sqlite3_stmt* stmt = nullptr;
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt); }
};

bool prepareSql(sqlite3* db, const std::string& sql, Statement& st, std::string& error) {
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st.stmt, nullptr) !=
      SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  return true;
}

bool bindAll(sqlite3* db, sqlite3_stmt* stmt, const std::vector<Binding>& bindings,
             std::string& error) {
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    int index = static_cast<int>(i + 1);
    int rc;
    if (const auto* text = std::get_if<std::string>(&bindings[i])) {
      rc = sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()),
                             SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_int64(stmt, index, std::get<int64_t>(bindings[i]));
    }
    if (rc != SQLITE_OK) {
      error = std::string("cannot bind a value: ") + sqlite3_errmsg(db);
      return false;
    }
  }
  return true;
}

// "CHAR(8)" -> Char 8, "INTEGER" -> Int32 4; false for anything else.
bool parseDeclaredType(const std::string& declared, ColumnInfo& column) {
  std::string t;
  for (char c : declared) {
    if (c != ' ' && c != '\t') t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (t == "INTEGER" || t == "INT") {
    column.type = ColumnType::Int32;
    column.width = 4;
    return true;
  }
  for (const char* prefix : {"CHAR(", "CHARACTER("}) {
    std::size_t n = std::strlen(prefix);
    if (t.size() > n + 1 && t.compare(0, n, prefix) == 0 && t.back() == ')') {
      std::string digits = t.substr(n, t.size() - n - 1);
      if (digits.empty() || digits.size() > 5 ||
          !std::all_of(digits.begin(), digits.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return false;
      }
      int width = std::stoi(digits);
      if (width < 1 || width > 32767) return false;
      column.type = ColumnType::Char;
      column.width = width;
      return true;
    }
  }
  return false;
}

// The CHAR comparison's key of a column in built-in SQL: the stored bytes cut
// to the width, trailing blanks dropped, NULL as empty. An index on exactly
// this expression lets "key = rtrim(literal)" find a column's rows without a
// scan; the comparison itself stays in vxr_char_eq.
std::string charKeyExpression(const ColumnInfo& column) {
  return "ifnull(rtrim(substr(CAST(" + quoteIdentifier(column.name) + " AS BLOB), 1, " +
         std::to_string(column.width) + ")), '')";
}

// Index SQL compared without blanks, quotes or case.
std::string squeezed(std::string_view sql) {
  std::string out;
  for (char c : sql) {
    if (isspace(static_cast<unsigned char>(c)) || c == '"') continue;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

// A busy handler with one deadline for a whole transaction, not one per call.
struct BusyDeadline {
  std::chrono::steady_clock::time_point until;
};

int waitUntilDeadline(void* context, int attempt) {
  auto* deadline = static_cast<BusyDeadline*>(context);
  auto now = std::chrono::steady_clock::now();
  if (now >= deadline->until) return 0;
  auto step = std::chrono::milliseconds(attempt < 10 ? 1 : 10);
  std::this_thread::sleep_for(
      std::min<std::chrono::steady_clock::duration>(step, deadline->until - now));
  return 1;
}

}  // namespace

struct SqliteStore::Impl {
  sqlite3* db = nullptr;
  bool ownsDb = true;
  std::mutex mutex;  // serialises every use of db
  std::string path;
  bool readOnly = false;
  std::map<std::string, std::vector<ColumnInfo>> tables;
  // (table, column) pairs whose CHAR key has an index.
  std::set<std::pair<std::string, std::string>> keyIndexed;

  ~Impl() {
    if (ownsDb) sqlite3_close_v2(db);
  }

  std::string errmsg() const { return sqlite3_errmsg(db); }

  bool loadSchema(std::string& error);
  void loadKeyIndexes();
  // "COLUMN = ?literal" in the CHAR sense, with the key condition in front
  // when the column's key is indexed. Adds the values to bind.
  std::string charEquals(const std::string& table, const ColumnInfo& column,
                         const std::string& literal, std::vector<Binding>& bindings) const;
  // Routing check for an AT clause. Caller holds the mutex.
  int32_t checkNode(const std::string& node, std::string& error);
};

bool SqliteStore::Impl::loadSchema(std::string& error) {
  std::vector<std::string> names;
  {
    Statement st;
    std::string why;
    if (!prepareSql(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", st,
                    why)) {
      error = why;
      return false;
    }
    int rc;
    while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(st.stmt, 0);
      std::string name = text ? reinterpret_cast<const char*>(text) : "";
      // Tables of the dialect are "SCHEMA.TABLE"; anything else is private to the file.
      if (name.find('.') != std::string::npos && name.rfind("sqlite_", 0) != 0) {
        names.push_back(name);
      }
    }
    if (rc != SQLITE_DONE) {
      error = errmsg();
      return false;
    }
  }

  for (const auto& name : names) {
    Statement st;
    std::string why;
    if (!prepareSql(db, "PRAGMA table_info(" + quoteIdentifier(name) + ")", st, why)) {
      error = "cannot read the columns of table " + name + ": " + why;
      return false;
    }
    std::vector<ColumnInfo> columns;
    int rc;
    while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
      const unsigned char* colName = sqlite3_column_text(st.stmt, 1);
      const unsigned char* colType = sqlite3_column_text(st.stmt, 2);
      ColumnInfo column;
      column.name = colName ? reinterpret_cast<const char*>(colName) : "";
      std::string declared = colType ? reinterpret_cast<const char*>(colType) : "";
      if (!parseDeclaredType(declared, column)) {
        error = "table " + name + " column " + column.name + ": type \"" + declared +
                "\" is not supported (use CHAR(n) or INTEGER)";
        return false;
      }
      columns.push_back(std::move(column));
    }
    if (rc != SQLITE_DONE) {
      error = "cannot read the columns of table " + name + ": " + errmsg();
      return false;
    }
    tables.emplace(name, std::move(columns));
  }

  loadKeyIndexes();

  auto it = tables.find(kNodeStatusTable);
  if (it == tables.end()) {
    error = std::string("no node-status table ") + kNodeStatusTable;
    return false;
  }
  for (const char* required : kNodeStatusColumns) {
    const ColumnInfo* c = findColumn(it->second, required);
    if (c == nullptr || c->type != ColumnType::Char) {
      error =
          std::string("node-status table ") + kNodeStatusTable + " has no CHAR column " + required;
      return false;
    }
  }
  return true;
}

void SqliteStore::Impl::loadKeyIndexes() {
  Statement st;
  std::string why;
  if (!prepareSql(
          db, "SELECT tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL",
          st, why)) {
    return;  // without the list every comparison scans, with the same answers
  }
  std::map<std::string, std::vector<std::string>> indexSql;
  while (sqlite3_step(st.stmt) == SQLITE_ROW) {
    const unsigned char* table = sqlite3_column_text(st.stmt, 0);
    const unsigned char* sql = sqlite3_column_text(st.stmt, 1);
    if (table == nullptr || sql == nullptr) continue;
    indexSql[reinterpret_cast<const char*>(table)].push_back(
        squeezed(reinterpret_cast<const char*>(sql)));
  }
  for (const auto& [table, columns] : tables) {
    auto found = indexSql.find(table);
    if (found == indexSql.end()) continue;
    for (const ColumnInfo& column : columns) {
      if (column.type != ColumnType::Char) continue;
      // The key must be the index's first column: "ON table(key" or "ON table (key".
      std::string lead = "(" + squeezed(charKeyExpression(column));
      for (const std::string& sql : found->second) {
        std::size_t on = sql.find("ON" + squeezed(quoteIdentifier(table)) + lead);
        if (on != std::string::npos) {
          keyIndexed.emplace(table, column.name);
          break;
        }
      }
    }
  }
}

std::string SqliteStore::Impl::charEquals(const std::string& table, const ColumnInfo& column,
                                          const std::string& literal,
                                          std::vector<Binding>& bindings) const {
  std::string sql;
  if (keyIndexed.count({table, column.name}) != 0) {
    bindings.emplace_back(std::string(rtrimBlanks(literal)));
    sql = charKeyExpression(column) + " = ?" + std::to_string(bindings.size()) + " AND ";
  }
  bindings.emplace_back(literal);
  return sql + "vxr_char_eq(" + quoteIdentifier(column.name) + ", " + std::to_string(column.width) +
         ", ?" + std::to_string(bindings.size()) + ")";
}

int32_t SqliteStore::Impl::checkNode(const std::string& node, std::string& error) {
  const auto& columns = tables.at(kNodeStatusTable);
  const ColumnInfo* nodeCol = findColumn(columns, "NODE");
  const ColumnInfo* onlineCol = findColumn(columns, "Q7ONLINE");
  std::vector<Binding> bindings;
  std::string sql = "SELECT vxr_char_eq(Q7ONLINE, " + std::to_string(onlineCol->width) +
                    ", 'Y') FROM " + quoteIdentifier(kNodeStatusTable) + " WHERE " +
                    charEquals(kNodeStatusTable, *nodeCol, node, bindings);
  Statement st;
  std::string why;
  if (!prepareSql(db, sql, st, why) || !bindAll(db, st.stmt, bindings, why)) {
    error = "cannot look up node: " + why;
    return sqlstatus::kStoreFailure;
  }
  bool found = false, online = false;
  int rc;
  while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
    found = true;
    if (sqlite3_column_int(st.stmt, 0) != 0) online = true;
  }
  if (rc != SQLITE_DONE) {
    error = "cannot look up node: " + errmsg();
    return sqlstatus::kStoreFailure;
  }
  std::string shown(rtrimBlanks(node));
  if (!found) {
    error = "unknown node \"" + shown + "\": not in " + kNodeStatusTable;
    return sqlstatus::kUnknownNode;
  }
  if (!online) {
    error = "node \"" + shown + "\" is offline";
    return sqlstatus::kNodeOffline;
  }
  return sqlstatus::kOk;
}

namespace {

class SqliteResultSet : public ResultSet {
 public:
  SqliteResultSet(std::shared_ptr<SqliteStore::Impl> impl, sqlite3_stmt* stmt,
                  const std::vector<ColumnInfo>& columns)
      : impl_(std::move(impl)), columns_(columns) {
    st_.stmt = stmt;
  }
  ~SqliteResultSet() override {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    sqlite3_finalize(st_.stmt);
    st_.stmt = nullptr;
  }

  int32_t next(std::vector<std::string>& cells, std::string& error) override {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    // Stepping a finished statement again would restart it; stay at the end.
    if (status_ != sqlstatus::kOk) {
      if (status_ != sqlstatus::kEndOfData) error = failure_;
      return status_;
    }
    int rc = sqlite3_step(st_.stmt);
    if (rc == SQLITE_DONE) {
      status_ = sqlstatus::kEndOfData;
      return status_;
    }
    if (rc != SQLITE_ROW) {
      status_ = sqlstatus::kStoreFailure;
      failure_ = impl_->errmsg();
      error = failure_;
      return status_;
    }
    cells.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      cell(static_cast<int>(i), columns_[i], cells[i]);
    }
    return sqlstatus::kOk;
  }

 private:
  // Fills the caller's cell in place, so that a fetch loop reuses its buffers.
  // A NULL gives 0 or blanks: sqlite3_column_int64 reads it as 0 and
  // sqlite3_column_text as a null pointer, so no type is asked for.
  void cell(int index, const ColumnInfo& column, std::string& out) const {
    sqlite3_stmt* stmt = st_.stmt;
    if (column.type == ColumnType::Int32) {
      int32_t v = saturateInt32(sqlite3_column_int64(stmt, index));
      out.resize(sizeof v);
      std::memcpy(out.data(), &v, sizeof v);
      return;
    }
    const auto width = static_cast<std::size_t>(column.width);
    out.resize(width);
    // Text, or a blob's bytes as they are; blank-padded to the width.
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    std::size_t size = 0;
    if (data != nullptr) {
      size = std::min(static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)), width);
      std::memcpy(out.data(), data, size);
    }
    std::memset(out.data() + size, ' ', width - size);
  }

  std::shared_ptr<SqliteStore::Impl> impl_;
  std::vector<ColumnInfo> columns_;
  Statement st_;
  int32_t status_ = sqlstatus::kOk;
  std::string failure_;
};

class SqlitePreparedStatement : public PreparedStatement {
 public:
  SqlitePreparedStatement(std::shared_ptr<SqliteStore::Impl> impl, std::vector<ColumnInfo> columns,
                          std::string sql, std::vector<Binding> bindings,
                          std::optional<std::string> atNode)
      : impl_(std::move(impl)),
        columns_(std::move(columns)),
        sql_(std::move(sql)),
        bindings_(std::move(bindings)),
        atNode_(std::move(atNode)) {}

  const std::vector<ColumnInfo>& columns() const override { return columns_; }

  int32_t open(std::unique_ptr<ResultSet>& rows, std::string& error) override {
    rows.reset();
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (atNode_) {
      int32_t status = impl_->checkNode(*atNode_, error);
      if (status != sqlstatus::kOk) return status;
    }
    Statement st;
    std::string why;
    if (!prepareSql(impl_->db, sql_, st, why)) {
      error = "cannot run the query: " + why;
      return sqlstatus::kStoreFailure;
    }
    if (!sqlite3_stmt_readonly(st.stmt)) {
      error = "internal error: query would write";
      return sqlstatus::kStoreFailure;
    }
    if (!bindAll(impl_->db, st.stmt, bindings_, error)) return sqlstatus::kStoreFailure;
    rows = std::make_unique<SqliteResultSet>(impl_, st.stmt, columns_);
    st.stmt = nullptr;
    return sqlstatus::kOk;
  }

 private:
  std::shared_ptr<SqliteStore::Impl> impl_;
  std::vector<ColumnInfo> columns_;
  std::string sql_;
  std::vector<Binding> bindings_;
  std::optional<std::string> atNode_;
  friend class vxrhost::SqliteStore;
};

}  // namespace

SqliteStore::SqliteStore(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
SqliteStore::~SqliteStore() = default;

namespace {

std::string typeName(const ColumnInfo& column) {
  return column.type == ColumnType::Int32 ? "INTEGER"
                                          : "CHAR(" + std::to_string(column.width) + ")";
}

// Compares the columns of `impl`'s tables with those of the expected schema,
// read the same way from an in-memory database. False with the first
// mismatch in `error`.
bool checkTypes(const SqliteStore::Impl& impl, const std::string& schemaSql, std::string& error) {
  if (schemaSql.empty()) return true;
  SqliteStore::Impl expected;
  std::string why;
  char* message = nullptr;
  if (sqlite3_open_v2(":memory:", &expected.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(expected.db, schemaSql.c_str(), nullptr, nullptr, &message) != SQLITE_OK ||
      !expected.loadSchema(why)) {
    error = "the expected schema is not usable: " + (message       ? std::string(message)
                                                     : why.empty() ? expected.errmsg()
                                                                   : why);
    sqlite3_free(message);
    return false;
  }
  for (const auto& [table, wanted] : expected.tables) {
    auto found = impl.tables.find(table);
    if (found == impl.tables.end()) continue;
    for (const ColumnInfo& column : wanted) {
      const ColumnInfo* actual = findColumn(found->second, column.name);
      if (actual == nullptr) continue;
      if (actual->type != column.type || actual->width != column.width) {
        error = "table " + table + " column " + column.name + " is " + typeName(*actual) +
                ", expected " + typeName(column);
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<SqliteStore> SqliteStore::open(const std::string& path,
                                               const SqliteStoreOptions& options, Error& error) {
  error.clear();
  const std::string what = "cannot open database " + inQuotes(path);
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    error.set(sqlstatus::kNoDatabase, what, "no such file");
    return nullptr;
  }
  if (std::filesystem::is_directory(status)) {
    error.set(sqlstatus::kStoreFailure, what, "it is a directory");
    return nullptr;
  }

  auto impl = std::make_shared<Impl>();
  impl->path = path;
  impl->readOnly = options.readOnly;
  // Impl::mutex serialises every use of the connection, so SQLite's own
  // per-call locking would only be paid again on every column read.
  int flags =
      (options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  if (options.connection != nullptr) {
    impl->db = options.connection;
    impl->ownsDb = false;
  } else if (sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr) != SQLITE_OK) {
    error.set(sqlstatus::kStoreFailure, what,
              impl->db ? impl->errmsg() : std::string("out of memory"));
    return nullptr;
  }
  sqlite3_busy_timeout(impl->db, kQueryLockWaitMs);
  if (options.writeAheadLog && !options.readOnly) {
    Statement st;
    std::string why;
    if (!prepareSql(impl->db, "PRAGMA journal_mode = WAL", st, why) ||
        sqlite3_step(st.stmt) != SQLITE_ROW) {
      error.set(sqlstatus::kStoreFailure, what,
                controlEscaped("cannot switch to write-ahead logging: " +
                               (why.empty() ? impl->errmsg() : why)));
      return nullptr;
    }
  }
  if (std::string why; !registerFunctions(impl->db, why) || !impl->loadSchema(why) ||
                       !checkTypes(*impl, options.expectedSchemaSql, why)) {
    error.set(sqlstatus::kStoreFailure, what, controlEscaped(why));
    return nullptr;
  }
  return std::unique_ptr<SqliteStore>(new SqliteStore(std::move(impl)));
}

namespace {

void removeDatabaseFiles(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::remove(path + "-journal", ec);
}

}  // namespace

std::unique_ptr<SqliteStore> SqliteStore::create(const std::string& path,
                                                 const std::string& schemaSql,
                                                 const std::string& dataSql, Error& error) {
  error.clear();
  const std::string what = "cannot create database " + inQuotes(path);
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    error.set(sqlstatus::kStoreFailure, what, "the file already exists");
    return nullptr;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    error.set(sqlstatus::kStoreFailure, what,
              db ? std::string(sqlite3_errmsg(db)) : std::string("out of memory"));
    sqlite3_close_v2(db);
    return nullptr;
  }
  // A new file that is removed on any failure: no need for a durable journal
  // while it is filled, and the scripts may bring their own transactions.
  struct Step {
    const char* what;
    const std::string* sql;
  };
  const std::string fastLoad = "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;";
  for (const Step& step :
       {Step{"preparing", &fastLoad}, Step{"schema", &schemaSql}, Step{"data", &dataSql}}) {
    char* message = nullptr;
    if (sqlite3_exec(db, step.sql->c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      error.set(sqlstatus::kStoreFailure, what,
                controlEscaped(std::string(step.what) +
                               " script: " + (message ? message : sqlite3_errmsg(db))));
      sqlite3_free(message);
      sqlite3_close_v2(db);
      removeDatabaseFiles(path);
      return nullptr;
    }
  }
  if (sqlite3_close(db) != SQLITE_OK) {
    error.set(sqlstatus::kStoreFailure, what, sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    removeDatabaseFiles(path);
    return nullptr;
  }
  Error why;
  auto store = open(path, SqliteStoreOptions{}, why);
  if (!store) {
    error.set(why.status, what, "the created database is not usable: " + why.detail);
    removeDatabaseFiles(path);
  }
  return store;
}

int32_t SqliteStore::prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                             std::string& error) {
  statement.reset();
  SqlSelect plan;
  SqlParseError parseError;
  if (!parseSqlSelect(sql, plan, parseError)) {
    error = parseError.message;
    return sqlstatus::kSyntaxError;
  }
  std::string tableName = plan.qualifiedTable();
  auto table = impl_->tables.find(tableName);
  if (table == impl_->tables.end()) {
    error = "unknown table \"" + tableName + "\" at position " + std::to_string(plan.tablePosition);
    return sqlstatus::kUnknownTable;
  }
  const auto& schema = table->second;
  auto unknownColumn = [&](const SqlColumnRef& ref) {
    error = "unknown column \"" + ref.name + "\" at position " + std::to_string(ref.position) +
            " of table " + tableName;
    return sqlstatus::kUnknownColumn;
  };

  std::vector<ColumnInfo> columns;
  std::string query = "SELECT ";
  for (std::size_t i = 0; i < plan.columns.size(); ++i) {
    const ColumnInfo* c = findColumn(schema, plan.columns[i].name);
    if (c == nullptr) return unknownColumn(plan.columns[i]);
    columns.push_back(*c);
    if (i > 0) query += ", ";
    query += quoteIdentifier(c->name);
  }
  query += " FROM " + quoteIdentifier(tableName);

  std::vector<Binding> bindings;
  for (std::size_t i = 0; i < plan.predicates.size(); ++i) {
    const SqlPredicate& p = plan.predicates[i];
    const ColumnInfo* c = findColumn(schema, p.column.name);
    if (c == nullptr) return unknownColumn(p.column);
    query += i == 0 ? " WHERE " : " AND ";
    std::string param = "?" + std::to_string(bindings.size() + 1);
    if (c->type == ColumnType::Char && p.op == SqlPredicate::Op::Equal) {
      query += impl_->charEquals(tableName, *c, p.literal, bindings);
    } else if (c->type == ColumnType::Int32) {
      int64_t value = 0;
      if (p.op == SqlPredicate::Op::Like) {
        error = "LIKE at position " + std::to_string(p.column.position) +
                " needs a CHAR column, but " + c->name + " is INTEGER";
        return sqlstatus::kSyntaxError;
      }
      if (!parseIntLiteral(p.literal, value)) {
        error = "literal '" + p.literal + "' at position " + std::to_string(p.literalPosition) +
                " is not a 32-bit integer for INTEGER column " + c->name;
        return sqlstatus::kSyntaxError;
      }
      query += "vxr_int(" + quoteIdentifier(c->name) + ") = " + param;
      bindings.emplace_back(value);
    } else {
      query += "vxr_char_like(" + quoteIdentifier(c->name) + ", " + std::to_string(c->width) +
               ", " + param + ")";
      bindings.emplace_back(p.literal);
    }
  }
  // Insertion order, as a fixed-width table delivers its rows.
  query += " ORDER BY rowid";

  statement = std::make_unique<SqlitePreparedStatement>(impl_, std::move(columns), std::move(query),
                                                        std::move(bindings), plan.atNode);
  return sqlstatus::kOk;
}

int32_t SqliteStore::updateNodeStatus(const NodeStatusUpdate& update, std::string& error) {
  return applyNodeStatusBatch({update}, error);
}

int32_t SqliteStore::applyNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                                          std::string& error) {
  if (impl_->readOnly) {
    error = "node-status update refused: the store is open read-only";
    return sqlstatus::kStoreFailure;
  }
  if (updates.empty()) return sqlstatus::kOk;
  const auto& columns = impl_->tables.at(kNodeStatusTable);
  const ColumnInfo* nodeCol = findColumn(columns, "NODE");

  // Every update is checked before anything is written: one bad value
  // refuses the whole batch.
  std::vector<storechecks::NodeStatusRow> rows;
  if (int32_t status = storechecks::checkNodeStatusBatch(updates, columns, rows, error);
      status != sqlstatus::kOk) {
    return status;
  }
  std::vector<std::vector<Binding>> rowBindings;
  std::vector<std::string> nodes;
  for (const storechecks::NodeStatusRow& row : rows) {
    rowBindings.emplace_back(row.begin(), row.end());
    nodes.push_back(row[0]);
  }

  std::string assignments, names, params;
  for (std::size_t i = 0; i < std::size(kNodeStatusColumns); ++i) {
    const ColumnInfo* c = findColumn(columns, kNodeStatusColumns[i]);
    std::string param = "?" + std::to_string(i + 1);
    if (i > 0) {
      assignments += ", ";
      names += ", ";
      params += ", ";
    }
    assignments += quoteIdentifier(c->name) + " = " + param;
    names += quoteIdentifier(c->name);
    params += param;
  }
  // The node's own value is bound again after the ten column values (?11,
  // and ?12 for an indexed key).
  std::vector<Binding> whereBindings(std::size(kNodeStatusColumns), Binding{std::string()});
  std::string table = quoteIdentifier(kNodeStatusTable);
  std::string updateSql = "UPDATE " + table + " SET " + assignments + " WHERE " +
                          impl_->charEquals(kNodeStatusTable, *nodeCol, "", whereBindings);
  std::size_t whereCount = whereBindings.size() - std::size(kNodeStatusColumns);
  std::string insertSql = "INSERT INTO " + table + " (" + names + ") VALUES (" + params + ")";

  std::lock_guard<std::mutex> lock(impl_->mutex);
  sqlite3* db = impl_->db;
  // One wait for the write lock over the whole batch; then the per-call
  // wait of queries again.
  BusyDeadline deadline{std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(kNodeStatusLockWaitMs)};
  sqlite3_busy_handler(db, waitUntilDeadline, &deadline);
  struct RestoreWait {
    sqlite3* db;
    ~RestoreWait() { sqlite3_busy_timeout(db, kQueryLockWaitMs); }
  } restore{db};

  std::string current;
  auto fail = [&](const std::string& why) {
    error = "node-status update" + (current.empty() ? std::string() : " of \"" + current + "\"") +
            " failed: " + why +
            (updates.size() > 1
                 ? "; none of the " + std::to_string(updates.size()) + " updates was applied"
                 : std::string());
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return sqlstatus::kStoreFailure;
  };
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(impl_->errmsg());
  }
  std::string why;
  Statement update, insert;
  if (!prepareSql(db, updateSql, update, why) || !prepareSql(db, insertSql, insert, why)) {
    return fail(why);
  }
  for (std::size_t u = 0; u < rowBindings.size(); ++u) {
    current = nodes[u];
    std::vector<Binding> bindings = rowBindings[u];
    // The WHERE values: the key (when indexed) and the literal, both the node.
    for (std::size_t w = 0; w < whereCount; ++w) bindings.emplace_back(nodes[u]);
    sqlite3_reset(update.stmt);
    if (!bindAll(db, update.stmt, bindings, why)) return fail(why);
    if (sqlite3_step(update.stmt) != SQLITE_DONE) return fail(impl_->errmsg());
    if (sqlite3_changes(db) == 0) {
      sqlite3_reset(insert.stmt);
      bindings.resize(std::size(kNodeStatusColumns));
      if (!bindAll(db, insert.stmt, bindings, why)) return fail(why);
      if (sqlite3_step(insert.stmt) != SQLITE_DONE) return fail(impl_->errmsg());
    }
  }
  current.clear();
  sqlite3_finalize(update.stmt);
  sqlite3_finalize(insert.stmt);
  update.stmt = insert.stmt = nullptr;
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(impl_->errmsg());
  }
  return sqlstatus::kOk;
}

int32_t SqliteStore::queryPlan(const std::string& sql, std::vector<std::string>& steps,
                               std::string& error) {
  steps.clear();
  std::unique_ptr<PreparedStatement> statement;
  int32_t status = prepare(sql, statement, error);
  if (status != sqlstatus::kOk) return status;
  auto* prepared = static_cast<SqlitePreparedStatement*>(statement.get());
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Statement st;
  std::string why;
  if (!prepareSql(impl_->db, "EXPLAIN QUERY PLAN " + prepared->sql_, st, why) ||
      !bindAll(impl_->db, st.stmt, prepared->bindings_, why)) {
    error = "cannot explain the query: " + why;
    return sqlstatus::kStoreFailure;
  }
  while (sqlite3_step(st.stmt) == SQLITE_ROW) {
    const unsigned char* detail = sqlite3_column_text(st.stmt, 3);
    steps.emplace_back(detail ? reinterpret_cast<const char*>(detail) : "");
  }
  return sqlstatus::kOk;
}

std::vector<std::string> SqliteStore::tableNames() const {
  std::vector<std::string> names;
  for (const auto& [name, columns] : impl_->tables) names.push_back(name);
  return names;
}

const std::vector<ColumnInfo>* SqliteStore::tableColumns(const std::string& qualifiedName) const {
  auto it = impl_->tables.find(qualifiedName);
  return it == impl_->tables.end() ? nullptr : &it->second;
}

const std::string& SqliteStore::path() const {
  return impl_->path;
}
bool SqliteStore::readOnly() const {
  return impl_->readOnly;
}

sqlite3* SqliteStore::connection() const {
  return impl_->db;
}

}  // namespace vxrhost
