#include "sql.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <memory>

#include "failure.h"
#include "filters.h"
#include "paths.h"
#include "requests.h"
#include "vxrhost/postgres_store.h"
#include "vxrhost/sqlite_store.h"
#include "vxrhost/store_factory.h"
#include "vxrhost/vtab.h"

namespace vxrhost::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kRefused[] = "sql: statement refused:";

Format formatOf(const Options& options) {
  auto format = parseFormat(options.format);
  if (!format) throw Failure{kExitUsage, "unknown format " + inQuotes(options.format)};
  return *format;
}

std::string plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

// Filters as the explanation shows them: COL = 'VALUE', or COL op N 'VALUE'.
std::string filterText(const Filter& filter) {
  std::string value = "'";
  for (char c : escaped(filter.value)) value += c == '\'' ? std::string("''") : std::string(1, c);
  value += "'";
  if (filter.op == kFilterEquals) return filter.column + " = " + value;
  return filter.column + " op " + std::to_string(filter.op) + " " + value;
}

// One request's explanation: the table, its filters, the SQL texts it sent
// and how it ended.
void explainRequest(std::ostream& out, const std::string& table, const std::vector<Filter>& filters,
                    const std::vector<std::string>& texts, const std::string& ending) {
  out << table << '\n';
  std::string list;
  for (const Filter& filter : filters) list += (list.empty() ? "" : " AND ") + filterText(filter);
  out << "  filters: " << (list.empty() ? "none" : list) << '\n';
  out << "  SQL texts sent: " << texts.size() << '\n';
  for (const std::string& text : texts) out << "    " << escaped(text) << '\n';
  out << "  " << ending << '\n';
}

std::string requestEnding(const TableRequest& r) {
  if (!r.ran) return "not run: no row can match a NULL filter or one wider than its column";
  std::string text = plural(r.rows, "row", "rows") + ", " +
                     plural(static_cast<size_t>(r.processCalls), "process call", "process calls");
  if (!r.memberFailures.empty()) {
    text +=
        ", " + plural(r.memberFailures.size(), "member request failed", "member requests failed");
  }
  if (r.stoppedEarly) return text + ", stopped early by the reader, terminated";
  return text + ", status " + std::to_string(r.finalStatus) + " (" +
         requestStatusText(r.finalStatus) + ")" + (r.failedAtStart ? " at start" : "");
}

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

// Prints one statement's rows (none with `explain`) as they come, or, for
// the aligned table, when they are all there.
StatementOutcome printStatement(sqlite3_stmt* stmt, Format format, bool explain,
                                Clock::duration& printing) {
  StatementOutcome o;
  o.rc = SQLITE_DONE;
  int count = sqlite3_column_count(stmt);
  std::vector<OutputColumn> columns = statementColumns(stmt);
  OutputTable table;
  std::unique_ptr<RowStream> stream;
  if (!explain && format != Format::Table)
    stream = std::make_unique<RowStream>(std::cout, columns, format);
  std::vector<FieldView> views(static_cast<size_t>(count));
  int& rc = o.rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    ++o.rows;
    if (explain || (!std::cout && stream)) continue;
    auto start = Clock::now();
    readRow(stmt, views);
    if (stream) {
      stream->row(views);
    } else {
      auto& row = table.rows.emplace_back();
      for (const FieldView& v : views) {
        if (const auto* n = std::get_if<int32_t>(&v))
          row.emplace_back(*n);
        else
          row.emplace_back(std::string(std::get<std::string_view>(v)));
      }
    }
    printing += Clock::now() - start;
  }
  if (rc != SQLITE_DONE) return o;
  if (stream) stream->finish();
  if (!explain && format == Format::Table) {
    auto start = Clock::now();
    table.columns = columns;
    printOutput(std::cout, table, format);
    printing += Clock::now() - start;
  }
  return o;
}

std::string readStandardInput() {
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

}  // namespace

std::string sqlSummary(const StatementOutcome& o, const std::vector<TableRequest>& requests,
                       const SqlActivity& sql) {
  std::string line = "sql: " + plural(o.rows, "row", "rows");
  std::vector<std::string> names;
  size_t run = 0;
  size_t nodeUpdates = 0;
  size_t memberFailures = 0;
  for (const TableRequest& r : requests) {
    if (!r.ran) continue;
    ++run;
    nodeUpdates += r.nodeStatusUpdates;
    memberFailures += r.memberFailures.size();
    if (std::find(names.begin(), names.end(), r.table) == names.end()) names.push_back(r.table);
  }
  std::string tables;
  for (const std::string& name : names) tables += (tables.empty() ? "" : ",") + name;
  if (run > 0) {
    line += ", " + plural(run, "request", "requests") + " of " + tables + ", " +
            plural(sql.membersQueried, "member", "members") + " queried";
    if (sql.memberRequests != sql.membersQueried) {
      line += " (" + plural(sql.memberRequests, "member request", "member requests") + ")";
    }
  }
  if (nodeUpdates > 0) {
    line += ", node status changed (" + plural(nodeUpdates, "update", "updates") + ")";
  }
  if (memberFailures > 0) {
    line += ", " + plural(memberFailures, "member request failed", "member requests failed");
  }
  double sqlMs = std::chrono::duration<double, std::milli>(sql.storeTime).count();
  double restMs = o.milliseconds > sqlMs ? o.milliseconds - sqlMs : 0;
  line += ", " + milliseconds(o.milliseconds) + " (member SQL " + milliseconds(sqlMs) +
          ", module and SQL " + milliseconds(restMs) + ")";
  return line;
}

int statementExit(SqlTables::Fault fault) {
  switch (fault) {
    case SqlTables::Fault::Module:
      return kExitModule;
    case SqlTables::Fault::Request:
      return kExitRequest;
    case SqlTables::Fault::Refused:
      return kExitUsage;
    default:
      return kExitUsage;
  }
}

// The command's statements run on the store's connection, so that a
// heartbeat's node-status update does not wait for the statement that runs it.
int ReadOnlyStatements::authorize(void* data, int action, const char* arg1, const char* arg2,
                                  const char*, const char*) {
  auto& self = *static_cast<ReadOnlyStatements*>(data);
  if (!self.preparing_) return SQLITE_OK;  // the store's own statements
  switch (action) {
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
      self.refused_ = "ATTACH and DETACH are";
      return SQLITE_DENY;
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
      self.refused_ = "transactions are";
      return SQLITE_DENY;
    case SQLITE_PRAGMA:
      if (arg2 == nullptr) return SQLITE_OK;
      self.refused_ = std::string("setting PRAGMA ") + (arg1 ? arg1 : "") + " is";
      return SQLITE_DENY;
    default:
      return SQLITE_OK;
  }
}

ReadOnlyStatements::ReadOnlyStatements(sqlite3* db) : db_(db) {
  sqlite3_set_authorizer(db_, authorize, this);
}

ReadOnlyStatements::~ReadOnlyStatements() {
  sqlite3_set_authorizer(db_, nullptr, nullptr);
}

sqlite3_stmt* ReadOnlyStatements::prepare(const char*& next, const SqlTables& tables) {
  Statement statement;
  const char* tail = nullptr;
  preparing_ = true;
  refused_.clear();
  int prepared = sqlite3_prepare_v2(db_, next, -1, &statement.stmt, &tail);
  preparing_ = false;
  if (prepared != SQLITE_OK && !refused_.empty()) {
    throw Failure{kExitUsage,
                  kRefused + std::string(" vxrhost sql only reads (") + refused_ + " not allowed)"};
  }
  if (prepared != SQLITE_OK) {
    throw Failure{statementExit(tables.fault()), std::string("sql: ") + sqlite3_errmsg(db_)};
  }
  next = tail;
  if (statement.stmt != nullptr && !sqlite3_stmt_readonly(statement.stmt)) {
    throw Failure{kExitUsage, kRefused + std::string(" vxrhost sql only reads (") +
                                  escaped(sqlite3_sql(statement.stmt)) + " would write)"};
  }
  sqlite3_stmt* stmt = statement.stmt;
  statement.stmt = nullptr;
  return stmt;
}

bool refusedStatement(const Failure& failure) {
  return failure.message.rfind(kRefused, 0) == 0;
}

std::vector<OutputColumn> statementColumns(sqlite3_stmt* stmt) {
  std::vector<OutputColumn> columns;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
    const char* type = sqlite3_column_decltype(stmt, i);
    columns.push_back(
        {sqlite3_column_name(stmt, i), type != nullptr && std::string_view(type) == "INTEGER"});
  }
  return columns;
}

void readRow(sqlite3_stmt* stmt, std::vector<FieldView>& views) {
  int count = sqlite3_column_count(stmt);
  views.resize(static_cast<size_t>(count));
  // One look-up of each column's value (the column calls check the
  // statement each time); the connection is used by this thread alone.
  for (int i = 0; i < count; ++i) {
    sqlite3_value* value = sqlite3_column_value(stmt, i);
    sqlite3_int64 number = 0;
    bool integer = sqlite3_value_type(value) == SQLITE_INTEGER &&
                   (number = sqlite3_value_int64(value)) >= INT32_MIN && number <= INT32_MAX;
    if (integer) {
      views[static_cast<size_t>(i)] = static_cast<int32_t>(number);
    } else {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      views[static_cast<size_t>(i)] = std::string_view(
          text != nullptr ? text : "", static_cast<size_t>(sqlite3_value_bytes(value)));
    }
  }
}

SqlActivity requestsActivity(const std::vector<TableRequest>& requests) {
  SqlActivity sum;
  for (const TableRequest& r : requests) {
    sum.texts += r.sql.texts;
    sum.memberRequests += r.sql.memberRequests;
    sum.membersQueried = std::max(sum.membersQueried, r.sql.membersQueried);
    sum.storeTime += r.sql.storeTime;
  }
  return sum;
}

// The statements run in SQLite, on the store's own connection: the
// database must be a file.
std::unique_ptr<SqliteStore> openSqlDatabase(const Options& options) {
  std::string database = databaseOf(options.db, options.dbGiven);
  if (isPostgresConnection(database)) {
    throw Failure{kExitUsage, "sql: " + describeDatabase(database) +
                                  " is a PostgreSQL database; vxrhost sql runs its statements "
                                  "in SQLite and needs a database file"};
  }
  std::unique_ptr<Store> store = openDatabase(options.db, options.dbGiven);
  auto* sqlite = dynamic_cast<SqliteStore*>(store.get());
  if (sqlite == nullptr) throw Failure{kExitInternal, "sql: the store is not an SQLite store"};
  store.release();
  return std::unique_ptr<SqliteStore>(sqlite);
}

int commandSql(const Options& options, const std::string& given, bool explain) {
  Format format = formatOf(options);
  std::string dir = modulesDir(options.modules);
  auto store = openSqlDatabase(options);
  Host host(*store);
  configureTrace(host, options.trace, options.traceFile);
  SqlTables tables(host, dir);

  sqlite3* db = store->connection();
  std::string error;
  if (tables.attach(db, error) != SQLITE_OK) throw Failure{kExitInternal, error};
  ReadOnlyStatements guard(db);

  std::string text = given.empty() ? readStandardInput() : given;
  const char* next = text.c_str();
  int status = kExitOk;
  while ((status == kExitOk || status == kExitMember) && *next != '\0') {
    Statement statement;
    host.clearSqlTexts();
    tables.clearRequests();
    tables.clearFault();
    auto begin = Clock::now();
    statement.stmt = guard.prepare(next, tables);
    if (statement.stmt == nullptr) continue;  // blanks or a comment
    Clock::duration printing{};
    StatementOutcome o = printStatement(statement.stmt, format, explain, printing);
    o.milliseconds =
        std::chrono::duration<double, std::milli>(Clock::now() - begin - printing).count();
    bool failedStatement = o.rc != SQLITE_DONE;
    std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement.stmt);  // ends the requests of a statement stopped early
    statement.stmt = nullptr;
    if (explain) {
      for (const TableRequest& r : tables.requests())
        explainRequest(std::cout, r.table, r.filters, r.sqlTexts, requestEnding(r));
    }
    if (failedStatement) {
      if (!outputClosed()) std::cout.flush();
      throw Failure{statementExit(tables.fault()), "sql: " + message};
    }
    std::cout.flush();
    std::cerr << sqlSummary(o, tables.requests(), requestsActivity(tables.requests())) << '\n';
    // As query ends: a heartbeat not applied is a failed request; member
    // SQL that failed leaves the answer incomplete.
    for (const TableRequest& r : tables.requests()) {
      for (const MemberFailure& f : r.memberFailures) {
        std::cerr << "vxrhost: " << r.table << ": " << memberFailureText(f) << '\n';
        if (status == kExitOk) status = kExitMember;
      }
      if (r.nodeStatusUpdates > 0 && r.nodeStatusStatus != 0) {
        std::cerr << "vxrhost: the heartbeat was not applied: " << escaped(r.nodeStatusError)
                  << '\n';
        status = kExitRequest;
      }
    }
  }
  finishOutput();
  return status;
}

int commandExplain(const Options& options, const std::string& tableName,
                   const std::vector<FilterArg>& filterArgs) {
  const CatalogTable& table = tableNamed(tableName);
  std::vector<Filter> filters = parseFilters(table, filterArgs);
  TableHost on(options, table);
  Host& host = on.host;
  Module* module = on.module;
  RowSink discard = [](std::string_view) {};
  Outcome o = runRequest(host, *module, table, filters, &discard);
  std::string ending = plural(o.rowCount, "row", "rows") + ", status " +
                       std::to_string(o.finalStatus) + " (" + requestStatusText(o.finalStatus) +
                       ")" + o.where;
  explainRequest(std::cout, table.name, filters, host.sqlTexts(), ending);
  finishOutput();
  return finishRequest(table, o);
}

}  // namespace vxrhost::cli
