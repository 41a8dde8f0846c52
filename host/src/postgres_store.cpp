#include "vxrhost/postgres_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include "store_checks.h"
#include "vxrhost/sqlite_store.h"  // kNodeStatusTable, kNodeStatusLockWaitMs

namespace vxrhost {

namespace {

using storechecks::findColumn;
using storechecks::quoteIdentifier;
using storechecks::rtrimBlanks;
using storechecks::saturateInt32;

constexpr Oid kBpcharOid = 1042;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kInt8Oid = 20;

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The dialect's LIKE pattern ('*' the only wildcard, trailing blanks
// insignificant) as a PostgreSQL LIKE pattern with backslash escapes.
std::string likePattern(std::string_view pattern) {
  std::string out;
  for (char c : rtrimBlanks(pattern)) {
    if (c == '*') {
      out += '%';
    } else {
      if (c == '%' || c == '_' || c == '\\') out += '\\';
      out += c;
    }
  }
  return out;
}

// The first line of a libpq message, without its severity prefix and blanks.
std::string firstLine(const char* message) {
  std::string s = message ? message : "";
  s = s.substr(0, s.find('\n'));
  for (const char* prefix : {"FATAL:  ", "ERROR:  "}) {
    if (s.rfind(prefix, 0) == 0) s.erase(0, std::strlen(prefix));
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s.empty() ? "unknown failure" : s;
}

void ignoreNotice(void*, const char*) {}

// Notices (a dropped table's cascade, ...) are not the store's output.
void quiet(PGconn* conn) {
  PQsetNoticeProcessor(conn, ignoreNotice, nullptr);
}

// Owns one PGresult.
struct Result {
  PGresult* res = nullptr;
  explicit Result(PGresult* r = nullptr) : res(r) {}
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() { PQclear(res); }
  ExecStatusType status() const { return PQresultStatus(res); }
};

struct Table {
  std::vector<ColumnInfo> columns;
  std::vector<std::string> pgNames;
  bool rowOrdered = false;
};

// One statement's parameters, as libpq takes them (text format).
struct Params {
  std::vector<std::string> values;
  std::string add(std::string value) {
    values.push_back(std::move(value));
    return "$" + std::to_string(values.size());
  }
};

void fillCell(const ColumnInfo& column, const char* data, std::size_t size, bool null,
              std::string& out) {
  if (column.type == ColumnType::Int32) {
    int64_t v = 0;
    if (!null) std::from_chars(data, data + size, v);
    int32_t i = saturateInt32(v);
    out.resize(sizeof i);
    std::memcpy(out.data(), &i, sizeof i);
    return;
  }
  const auto width = static_cast<std::size_t>(column.width);
  out.resize(width);
  std::size_t n = null ? 0 : std::min(size, width);
  if (n > 0) std::memcpy(out.data(), data, n);
  std::memset(out.data() + n, ' ', width - n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Connection strings

bool isPostgresConnection(const std::string& db) {
  for (const char* prefix : {"postgresql://", "postgres://", "host=", "dbname="}) {
    if (db.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::string describePostgres(const std::string& conninfo) {
  std::string host, port, dbname, user;
  char* why = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &why);
  PQfreemem(why);
  if (options != nullptr) {
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
      if (o->val == nullptr) continue;
      std::string_view k = o->keyword;
      if (k == "host") host = o->val;
      if (k == "port") port = o->val;
      if (k == "dbname") dbname = o->val;
      if (k == "user") user = o->val;
    }
    PQconninfoFree(options);
  }
  if (host.empty()) host = "localhost";
  if (port.empty()) port = "5432";
  if (dbname.empty()) dbname = user;
  return "database " + inQuotes(dbname) + " on server " + inQuotes(host + ":" + port);
}

// ---------------------------------------------------------------------------
// Schema translation

namespace {

// Splits a script into statements at semicolons outside quotes, dropping
// "--" comments.
std::vector<std::string> splitStatements(const std::string& script) {
  std::vector<std::string> out;
  std::string current;
  char quote = 0;
  for (std::size_t i = 0; i < script.size(); ++i) {
    char c = script[i];
    if (quote) {
      current += c;
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
      while (i < script.size() && script[i] != '\n') ++i;
      current += '\n';
      continue;
    }
    if (c == '\'' || c == '"') quote = c;
    if (c == ';') {
      out.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  out.push_back(current);
  std::vector<std::string> statements;
  for (std::string& s : out) {
    std::size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) continue;
    std::size_t e = s.find_last_not_of(" \t\r\n");
    statements.push_back(s.substr(b, e - b + 1));
  }
  return statements;
}

bool startsWithWords(const std::string& statement, std::string_view words) {
  std::string squeezed;
  for (char c : statement) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!squeezed.empty() && squeezed.back() != ' ') squeezed += ' ';
    } else {
      squeezed += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (squeezed.size() > words.size()) break;
  }
  return squeezed.rfind(words, 0) == 0;
}

// The word INTEGER (or INT) outside quotes as BIGINT.
std::string widenIntegers(const std::string& statement) {
  std::string out;
  char quote = 0;
  std::size_t i = 0;
  auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  while (i < statement.size()) {
    char c = statement[i];
    if (quote) {
      out += c;
      if (c == quote) quote = 0;
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out += c;
      ++i;
      continue;
    }
    if (isWord(c) && (i == 0 || !isWord(statement[i - 1]))) {
      std::size_t j = i;
      while (j < statement.size() && isWord(statement[j])) ++j;
      std::string word = statement.substr(i, j - i);
      std::string w = upper(word);
      out += (w == "INTEGER" || w == "INT") ? "BIGINT" : word;
      i = j;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace

std::string postgresSchema(const std::string& sqliteSchema) {
  std::string out;
  for (const std::string& statement : splitStatements(sqliteSchema)) {
    if (startsWithWords(statement, "CREATE TABLE")) {
      std::string s = widenIntegers(statement);
      std::size_t close = s.rfind(')');
      if (close == std::string::npos) {
        out += s + ";\n";
        continue;
      }
      out += s.substr(0, close) + ",\n  " + kRowOrderColumn +
             " BIGINT GENERATED ALWAYS AS IDENTITY" + s.substr(close) + ";\n";
    } else if (startsWithWords(statement, "CREATE INDEX") ||
               startsWithWords(statement, "CREATE UNIQUE INDEX")) {
      // CREATE INDEX "name" ON "table" (ifnull(rtrim(substr(CAST(COL AS BLOB), ...
      std::string u = upper(statement);
      std::size_t cast = u.find("CAST(");
      std::size_t as = u.find(" AS BLOB");
      std::size_t open = statement.find('(');
      if (cast != std::string::npos && as != std::string::npos && open != std::string::npos &&
          cast < as) {
        std::string column = statement.substr(cast + 5, as - cast - 5);
        out += statement.substr(0, open) + "(" + column + ", " + kRowOrderColumn + ");\n";
      } else {
        out += statement + ";\n";
      }
    } else if (startsWithWords(statement, "PRAGMA")) {
      continue;
    } else {
      out += statement + ";\n";
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// The store

struct PgStream;

struct PostgresStore::Impl {
  std::string conninfo;
  std::string where;  // describePostgres(conninfo)
  PGconn* conn = nullptr;
  std::mutex mutex;  // serialises every use of conn
  std::map<std::string, Table> tables;
  bool heartbeatLockHeld = false;
  // The result still streaming on the connection, if any.
  PgStream* streaming = nullptr;

  ~Impl();

  // A usable connection, connecting (again) if there is none or it was
  // lost. kOk, or kStoreFailure with a message naming the database.
  int32_t connection(std::string& error);
  bool loadSchema(std::string& error);
  // Reads the rest of a streaming result into memory so that the connection
  // is free. Caller holds the mutex.
  void releaseConnection();
  // The message for a failed call; forgets a lost connection.
  std::string failure(const std::string& what, const char* why);
  int32_t checkNode(const std::string& node, std::string& error);
  std::string errmsg() const { return firstLine(PQerrorMessage(conn)); }
  Result exec(const std::string& sql, const Params& params);
};

// The rows of one open request: streamed from the connection while it is the
// connection's current result, buffered once another call needed the
// connection.
struct PgStream {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<std::string>> buffered;
  std::size_t nextBuffered = 0;
  bool onConnection = false;  // rows still to be read from the connection
  int32_t status = sqlstatus::kOk;
  std::string failure;

  // Reads one row from the connection into `cells`: kOk, kEndOfData or a
  // failure. Caller holds the mutex and the stream is on the connection.
  int32_t readRow(PostgresStore::Impl& impl, std::vector<std::string>& cells) {
    if (impl.conn == nullptr || impl.streaming != this) {
      onConnection = false;
      failure = "fetch failed on " + impl.where + ": the connection was lost";
      return sqlstatus::kStoreFailure;
    }
    Result r(PQgetResult(impl.conn));
    if (r.res != nullptr && r.status() == PGRES_SINGLE_TUPLE) {
      cells.resize(columns.size());
      for (std::size_t i = 0; i < columns.size(); ++i) {
        int c = static_cast<int>(i);
        fillCell(columns[i], PQgetvalue(r.res, 0, c),
                 static_cast<std::size_t>(PQgetlength(r.res, 0, c)), PQgetisnull(r.res, 0, c) != 0,
                 cells[i]);
      }
      return sqlstatus::kOk;
    }
    int32_t ended = sqlstatus::kEndOfData;
    if (r.res == nullptr || r.status() != PGRES_TUPLES_OK) {
      ended = sqlstatus::kStoreFailure;
      failure = impl.failure("fetch failed",
                             r.res ? PQresultErrorMessage(r.res) : PQerrorMessage(impl.conn));
    }
    finish(impl);
    return ended;
  }

  // Leaves the connection: the remaining results are read and dropped.
  void finish(PostgresStore::Impl& impl) {
    onConnection = false;
    if (impl.streaming == this) impl.streaming = nullptr;
    if (impl.conn == nullptr) return;
    while (PGresult* rest = PQgetResult(impl.conn)) PQclear(rest);
  }
};

PostgresStore::Impl::~Impl() {
  PQfinish(conn);
}

void PostgresStore::Impl::releaseConnection() {
  PgStream* s = streaming;
  if (s == nullptr) return;
  std::vector<std::string> cells;
  int32_t status;
  while ((status = s->readRow(*this, cells)) == sqlstatus::kOk) s->buffered.push_back(cells);
  if (status != sqlstatus::kEndOfData) s->status = status;
}

std::string PostgresStore::Impl::failure(const std::string& what, const char* why) {
  std::string reason = firstLine(why);
  if (conn != nullptr && PQstatus(conn) == CONNECTION_BAD) {
    reason += " (the connection was lost; the next request connects again)";
    if (streaming != nullptr) {
      // Its remaining rows are lost with the connection.
      streaming->onConnection = false;
      streaming->status = sqlstatus::kStoreFailure;
      streaming->failure = "fetch failed on " + where + ": the connection was lost";
    }
    streaming = nullptr;
    PQfinish(conn);
    conn = nullptr;
    heartbeatLockHeld = false;
  }
  return what + " on " + this->where + ": " + reason;
}

int32_t PostgresStore::Impl::connection(std::string& error) {
  releaseConnection();
  if (conn != nullptr && PQstatus(conn) == CONNECTION_OK) return sqlstatus::kOk;
  if (conn != nullptr) {
    PQfinish(conn);
    conn = nullptr;
    heartbeatLockHeld = false;
  }
  conn = PQconnectdb(conninfo.c_str());
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    error = "cannot connect to " + where + ": " +
            (conn ? firstLine(PQerrorMessage(conn)) : std::string("out of memory"));
    PQfinish(conn);
    conn = nullptr;
    return sqlstatus::kStoreFailure;
  }
  quiet(conn);
  return sqlstatus::kOk;
}

Result PostgresStore::Impl::exec(const std::string& sql, const Params& params) {
  std::vector<const char*> values;
  for (const std::string& v : params.values) values.push_back(v.c_str());
  return Result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                             values.data(), nullptr, nullptr, 0));
}

bool PostgresStore::Impl::loadSchema(std::string& error) {
  tables.clear();
  Result r(PQexec(conn,
                  "SELECT c.relname, a.attname, a.atttypid, a.atttypmod "
                  "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                  "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
                  "AND NOT a.attisdropped "
                  "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p', 'v') "
                  "AND strpos(c.relname, '.') > 0 ORDER BY c.relname, a.attnum"));
  if (r.status() != PGRES_TUPLES_OK) {
    error = "cannot read the schema: " + firstLine(PQresultErrorMessage(r.res));
    return false;
  }
  for (int row = 0; row < PQntuples(r.res); ++row) {
    std::string tableName = PQgetvalue(r.res, row, 0);
    std::string pgName = PQgetvalue(r.res, row, 1);
    Oid type = static_cast<Oid>(std::stoul(PQgetvalue(r.res, row, 2)));
    int typmod = std::stoi(PQgetvalue(r.res, row, 3));
    Table& table = tables[tableName];
    if (pgName == kRowOrderColumn) {
      table.rowOrdered = true;
      continue;
    }
    ColumnInfo column;
    // Unquoted names are folded to lower case by PostgreSQL; the dialect
    // names the columns as the schema script writes them.
    bool folded =
        std::none_of(pgName.begin(), pgName.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    column.name = folded ? upper(pgName) : pgName;
    if (type == kBpcharOid && typmod > 4) {
      column.type = ColumnType::Char;
      column.width = typmod - 4;
    } else if (type == kInt2Oid || type == kInt4Oid || type == kInt8Oid) {
      column.type = ColumnType::Int32;
      column.width = 4;
    } else {
      error = "table " + tableName + " column " + column.name + ": type oid " +
              std::to_string(type) + " is not supported (use CHAR(n) or INTEGER)";
      return false;
    }
    table.columns.push_back(std::move(column));
    table.pgNames.push_back(std::move(pgName));
  }
  auto it = tables.find(kNodeStatusTable);
  if (it == tables.end()) {
    error = std::string("no node-status table ") + kNodeStatusTable +
            " (create the schema with \"vxrhost init-db\")";
    return false;
  }
  for (const char* required : nodestatus::kColumns) {
    const ColumnInfo* c = findColumn(it->second.columns, required);
    if (c == nullptr || c->type != ColumnType::Char) {
      error =
          std::string("node-status table ") + kNodeStatusTable + " has no CHAR column " + required;
      return false;
    }
  }
  return true;
}

int32_t PostgresStore::Impl::checkNode(const std::string& node, std::string& error) {
  const Table& table = tables.at(kNodeStatusTable);
  std::size_t nodeIndex = 0, onlineIndex = 0;
  findColumn(table.columns, "NODE", &nodeIndex);
  findColumn(table.columns, "Q7ONLINE", &onlineIndex);
  Params params;
  std::string sql = "SELECT bool_or(" + quoteIdentifier(table.pgNames[onlineIndex]) +
                    " = 'Y'), count(*) FROM " + quoteIdentifier(kNodeStatusTable) + " WHERE " +
                    quoteIdentifier(table.pgNames[nodeIndex]) + " = " + params.add(node);
  Result r = exec(sql, params);
  if (r.status() != PGRES_TUPLES_OK) {
    error = failure("cannot look up node", PQresultErrorMessage(r.res));
    return sqlstatus::kStoreFailure;
  }
  return storechecks::routing(node, std::string_view(PQgetvalue(r.res, 0, 1)) != "0",
                              std::string_view(PQgetvalue(r.res, 0, 0)) == "t", error);
}

namespace {

class PostgresResultSet : public ResultSet {
 public:
  PostgresResultSet(std::shared_ptr<PostgresStore::Impl> impl, std::shared_ptr<PgStream> stream)
      : impl_(std::move(impl)), stream_(std::move(stream)) {}
  ~PostgresResultSet() override {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (stream_->onConnection && impl_->streaming == stream_.get() && impl_->conn != nullptr) {
      // Rows nobody will read: the server stops sending them.
      if (PGcancel* cancel = PQgetCancel(impl_->conn)) {
        char why[256];
        PQcancel(cancel, why, sizeof why);
        PQfreeCancel(cancel);
      }
      stream_->finish(*impl_);
    }
  }

  int32_t next(std::vector<std::string>& cells, std::string& error) override {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    PgStream& s = *stream_;
    if (s.nextBuffered < s.buffered.size()) {
      cells = std::move(s.buffered[s.nextBuffered++]);
      if (s.nextBuffered == s.buffered.size()) {
        s.buffered.clear();
        s.nextBuffered = 0;
      }
      return sqlstatus::kOk;
    }
    if (s.onConnection) {
      int32_t status = s.readRow(*impl_, cells);
      if (status == sqlstatus::kOk) return status;
      s.status = status;
    } else if (s.status == sqlstatus::kOk) {
      s.status = sqlstatus::kEndOfData;
    }
    if (s.status != sqlstatus::kEndOfData) error = s.failure;
    return s.status;
  }

 private:
  std::shared_ptr<PostgresStore::Impl> impl_;
  std::shared_ptr<PgStream> stream_;
};

class PostgresPreparedStatement : public PreparedStatement {
 public:
  PostgresPreparedStatement(std::shared_ptr<PostgresStore::Impl> impl,
                            std::vector<ColumnInfo> columns, std::string sql, Params params,
                            std::optional<std::string> atNode)
      : impl_(std::move(impl)),
        columns_(std::move(columns)),
        sql_(std::move(sql)),
        params_(std::move(params)),
        atNode_(std::move(atNode)) {}

  const std::vector<ColumnInfo>& columns() const override { return columns_; }

  int32_t open(std::unique_ptr<ResultSet>& rows, std::string& error) override {
    rows.reset();
    std::lock_guard<std::mutex> lock(impl_->mutex);
    PostgresStore::Impl& impl = *impl_;
    if (int32_t status = impl.connection(error); status != sqlstatus::kOk) return status;
    if (atNode_) {
      int32_t status = impl.checkNode(*atNode_, error);
      if (status != sqlstatus::kOk) return status;
    }
    std::vector<const char*> values;
    for (const std::string& v : params_.values) values.push_back(v.c_str());
    if (PQsendQueryParams(impl.conn, sql_.c_str(), static_cast<int>(values.size()), nullptr,
                          values.data(), nullptr, nullptr, 0) == 0) {
      error = impl.failure("cannot run the query", PQerrorMessage(impl.conn));
      return sqlstatus::kStoreFailure;
    }
    PQsetSingleRowMode(impl.conn);
    auto stream = std::make_shared<PgStream>();
    stream->columns = columns_;
    stream->onConnection = true;
    impl.streaming = stream.get();
    // The first answer tells whether the query runs at all: a failure is the
    // open's, as with a statement that cannot start.
    std::vector<std::string> first;
    int32_t status = stream->readRow(impl, first);
    if (status == sqlstatus::kOk) {
      stream->buffered.push_back(std::move(first));
    } else if (status != sqlstatus::kEndOfData) {
      error = stream->failure;
      return status;
    } else {
      stream->status = sqlstatus::kEndOfData;
    }
    rows = std::make_unique<PostgresResultSet>(impl_, std::move(stream));
    return sqlstatus::kOk;
  }

 private:
  std::shared_ptr<PostgresStore::Impl> impl_;
  std::vector<ColumnInfo> columns_;
  std::string sql_;
  Params params_;
  std::optional<std::string> atNode_;
};

}  // namespace

PostgresStore::PostgresStore(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

PostgresStore::~PostgresStore() = default;

std::unique_ptr<PostgresStore> PostgresStore::open(const std::string& conninfo, Error& error) {
  error.clear();
  auto impl = std::make_shared<Impl>();
  impl->conninfo = conninfo;
  impl->where = describePostgres(conninfo);
  const std::string what = "cannot open " + impl->where;
  std::string why;
  if (impl->connection(why) != sqlstatus::kOk) {
    // "cannot connect to <where>: reason" -> the reason alone after `what`.
    error.set(sqlstatus::kStoreFailure, what, why.substr(why.find(": ") + 2));
    return nullptr;
  }
  if (!impl->loadSchema(why)) {
    error.set(sqlstatus::kStoreFailure, what, why);
    return nullptr;
  }
  return std::unique_ptr<PostgresStore>(new PostgresStore(std::move(impl)));
}

std::unique_ptr<PostgresStore> PostgresStore::create(const std::string& conninfo,
                                                     const std::string& schemaSql,
                                                     const std::string& dataSql, Error& error) {
  error.clear();
  const std::string where = describePostgres(conninfo);
  const std::string what = "cannot create the schema in " + where;
  PGconn* conn = PQconnectdb(conninfo.c_str());
  struct Close {
    PGconn* conn;
    ~Close() { PQfinish(conn); }
  } close{conn};
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    error.set(sqlstatus::kStoreFailure, what,
              conn ? firstLine(PQerrorMessage(conn)) : "out of memory");
    return nullptr;
  }
  quiet(conn);
  {
    Params params;
    std::string sql = "SELECT to_regclass(" + params.add(quoteIdentifier(kNodeStatusTable)) + ")";
    std::vector<const char*> values{params.values[0].c_str()};
    Result r(PQexecParams(conn, sql.c_str(), 1, nullptr, values.data(), nullptr, nullptr, 0));
    if (r.status() == PGRES_TUPLES_OK && PQgetisnull(r.res, 0, 0) == 0) {
      error.set(sqlstatus::kStoreFailure, what,
                std::string("the node-status table ") + kNodeStatusTable + " already exists");
      return nullptr;
    }
  }
  // One transaction: a failing script leaves nothing behind.
  const std::string script = "BEGIN;\n" + postgresSchema(schemaSql) + dataSql + ";\nCOMMIT;";
  Result r(PQexec(conn, script.c_str()));
  if (r.status() != PGRES_COMMAND_OK && r.status() != PGRES_TUPLES_OK &&
      r.status() != PGRES_EMPTY_QUERY) {
    error.set(sqlstatus::kStoreFailure, what, firstLine(PQresultErrorMessage(r.res)));
    return nullptr;
  }
  Error why;
  auto store = open(conninfo, why);
  if (!store) error.set(why.status, what, "the created schema is not usable: " + why.detail);
  return store;
}

int32_t PostgresStore::prepare(const std::string& sql,
                               std::unique_ptr<PreparedStatement>& statement, std::string& error) {
  statement.reset();
  storechecks::CheckedSelect checked;
  int32_t status = storechecks::checkSelect(
      sql,
      [this](const std::string& name) {
        auto it = impl_->tables.find(name);
        return it == impl_->tables.end() ? nullptr : &it->second.columns;
      },
      checked, error);
  if (status != sqlstatus::kOk) return status;
  const Table& table = impl_->tables.at(checked.table);

  std::string query = "SELECT ";
  for (std::size_t i = 0; i < checked.columns.size(); ++i) {
    if (i > 0) query += ", ";
    query += quoteIdentifier(table.pgNames[checked.columns[i]]);
  }
  query += " FROM " + quoteIdentifier(checked.table);

  Params params;
  for (std::size_t i = 0; i < checked.where.size(); ++i) {
    const SqlPredicate& p = *checked.where[i].predicate;
    const ColumnInfo& c = table.columns[checked.where[i].column];
    const std::string column = quoteIdentifier(table.pgNames[checked.where[i].column]);
    query += i == 0 ? " WHERE " : " AND ";
    if (c.type == ColumnType::Int32) {
      // The value as delivered: NULL 0, saturated to int32.
      query += "least(greatest(coalesce(" + column + ", 0), -2147483648), 2147483647) = " +
               params.add(std::to_string(checked.where[i].intValue)) + "::bigint";
    } else if (p.op == SqlPredicate::Op::Equal) {
      // CHAR equality ignores trailing blanks, as the dialect does.
      query += column + " = " + params.add(p.literal) + "::bpchar";
    } else {
      // bpchar as text drops the trailing blanks; '*' is the only wildcard.
      query += column + "::text LIKE " + params.add(likePattern(p.literal)) + "::text";
    }
  }
  // Insertion order, as a fixed-width table delivers its rows.
  if (table.rowOrdered) query += std::string(" ORDER BY ") + kRowOrderColumn;

  statement = std::make_unique<PostgresPreparedStatement>(
      impl_, std::move(checked.selected), std::move(query), std::move(params), checked.plan.atNode);
  return sqlstatus::kOk;
}

int32_t PostgresStore::updateNodeStatus(const NodeStatusUpdate& update, std::string& error) {
  return applyNodeStatusBatch({update}, error);
}

int32_t PostgresStore::applyNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                                            std::string& error) {
  if (updates.empty()) return sqlstatus::kOk;
  const Table& table = impl_->tables.at(kNodeStatusTable);

  // Every update is checked before anything is written: one bad value
  // refuses the whole batch.
  std::vector<storechecks::NodeStatusRow> rows;
  if (int32_t status = storechecks::checkNodeStatusBatch(updates, table.columns, rows, error);
      status != sqlstatus::kOk) {
    return status;
  }
  // One statement for the whole batch: the updates as arrays, one per
  // column; a node named twice takes its last values (each update sets every
  // column, so that is what applying them in turn leaves) at the place of its
  // first. Existing nodes are updated, the others inserted in batch order.
  std::map<std::string, std::size_t> firstOf;
  std::vector<std::size_t> order;
  for (std::size_t u = 0; u < rows.size(); ++u) {
    auto [it, added] = firstOf.emplace(rows[u][0], order.size());
    if (added)
      order.push_back(u);
    else
      order[it->second] = u;
  }
  auto arrayOf = [&](std::size_t column) {
    std::string array = "{";
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (k > 0) array += ',';
      array += '"';
      for (char c : rows[order[k]][column]) {
        if (c == '"' || c == '\\') array += '\\';
        array += c;
      }
      array += '"';
    }
    return array + "}";
  };
  Params arrays;
  std::string names, unnest, values, assignments, nodeColumn;
  for (std::size_t i = 0; i < std::size(nodestatus::kColumns); ++i) {
    std::size_t index = 0;
    findColumn(table.columns, nodestatus::kColumns[i], &index);
    std::string column = quoteIdentifier(table.pgNames[index]);
    std::string v = "c" + std::to_string(i);
    if (i == 0) nodeColumn = column;
    const char* sep = i > 0 ? ", " : "";
    names += sep + column;
    unnest += sep + arrays.add(arrayOf(i)) + "::text[]";
    values += sep + v;
    assignments += sep + column + " = v." + v;
  }
  const std::string tableName = quoteIdentifier(kNodeStatusTable);
  const std::string batchSql =
      "WITH v AS (SELECT * FROM unnest(" + unnest + ") WITH ORDINALITY AS v(" + values +
      ", ord)), u AS (UPDATE " + tableName + " t SET " + assignments + " FROM v WHERE t." +
      nodeColumn + " = v.c0::bpchar RETURNING v.ord) INSERT INTO " + tableName + " (" + names +
      ") SELECT " + values + " FROM v WHERE v.ord NOT IN (SELECT ord FROM u) ORDER BY v.ord";

  std::lock_guard<std::mutex> lock(impl_->mutex);
  Impl& impl = *impl_;
  if (int32_t status = impl.connection(error); status != sqlstatus::kOk) return status;
  auto fail = [&](const char* why) {
    error = impl.failure("node-status update failed", why) +
            (updates.size() > 1
                 ? "; none of the " + std::to_string(updates.size()) + " updates was applied"
                 : std::string());
    if (impl.conn != nullptr && PQtransactionStatus(impl.conn) != PQTRANS_IDLE) {
      Result(PQexec(impl.conn, "ROLLBACK"));
    }
    return sqlstatus::kStoreFailure;
  };
  // One bounded wait for the table lock; batches of other processes queue
  // on the same lock, so each lands whole before or after this one. Readers
  // are not blocked.
  const std::string begin = "BEGIN; SET LOCAL lock_timeout = '" +
                            std::to_string(kNodeStatusLockWaitMs) + "ms'; LOCK TABLE " + tableName +
                            " IN SHARE ROW EXCLUSIVE MODE";
  if (Result r(PQexec(impl.conn, begin.c_str())); r.status() != PGRES_COMMAND_OK) {
    return fail(PQresultErrorMessage(r.res));
  }
  if (Result r = impl.exec(batchSql, arrays); r.status() != PGRES_COMMAND_OK) {
    return fail(PQresultErrorMessage(r.res));
  }
  if (Result r(PQexec(impl.conn, "COMMIT")); r.status() != PGRES_COMMAND_OK) {
    return fail(PQresultErrorMessage(r.res));
  }
  return sqlstatus::kOk;
}

int32_t PostgresStore::tryHeartbeatLock(bool& held, std::string& error) {
  held = false;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Impl& impl = *impl_;
  if (int32_t status = impl.connection(error); status != sqlstatus::kOk) return status;
  if (impl.heartbeatLockHeld) {
    held = true;
    return sqlstatus::kOk;
  }
  Params params;
  std::string sql =
      "SELECT pg_try_advisory_lock(" + params.add(std::to_string(kHeartbeatLockKey)) + "::bigint)";
  Result r = impl.exec(sql, params);
  if (r.status() != PGRES_TUPLES_OK) {
    error = impl.failure("cannot take the heartbeat lock", PQresultErrorMessage(r.res));
    return sqlstatus::kStoreFailure;
  }
  impl.heartbeatLockHeld = std::string_view(PQgetvalue(r.res, 0, 0)) == "t";
  held = impl.heartbeatLockHeld;
  return sqlstatus::kOk;
}

int32_t PostgresStore::releaseHeartbeatLock(std::string& error) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Impl& impl = *impl_;
  if (!impl.heartbeatLockHeld) return sqlstatus::kOk;
  impl.heartbeatLockHeld = false;
  Params params;
  std::string sql =
      "SELECT pg_advisory_unlock(" + params.add(std::to_string(kHeartbeatLockKey)) + "::bigint)";
  if (Result r = impl.exec(sql, params); r.status() != PGRES_TUPLES_OK) {
    error = impl.failure("cannot give the heartbeat lock up", PQresultErrorMessage(r.res));
    return sqlstatus::kStoreFailure;
  }
  return sqlstatus::kOk;
}

std::vector<std::string> PostgresStore::tableNames() const {
  std::vector<std::string> names;
  for (const auto& [name, table] : impl_->tables) names.push_back(name);
  return names;
}

const std::vector<ColumnInfo>* PostgresStore::tableColumns(const std::string& qualifiedName) const {
  auto it = impl_->tables.find(qualifiedName);
  return it == impl_->tables.end() ? nullptr : &it->second.columns;
}

const std::string& PostgresStore::description() const {
  return impl_->where;
}

}  // namespace vxrhost
