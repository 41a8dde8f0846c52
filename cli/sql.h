// vxrhost sql and vxrhost explain: SQL over the group tables (the catalog's
// tables as SQLite virtual tables) and the database's own tables.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "output.h"
#include "vxrhost/vtab.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vxrhost::cli {

// Runs `statements` (one or more, separated by ';'), or those read from
// standard input when empty, and prints each one's rows; with `explain`,
// what each group table's request got and sent instead of the rows.
int commandSql(const Options& options, const std::string& statements, bool explain);

// Runs one request of the table, as query does, and prints the filters it
// got and the member SQL texts it sent instead of its rows.
int commandExplain(const Options& options, const std::string& table,
                   const std::vector<FilterArg>& filters);

// The pieces that the server's SQL endpoint shares with the command.

// Statements on a connection that only read. While one is prepared, an
// authorizer refuses what would go beyond reading the database (attaching
// files, transactions, pragmas that set a value); a statement that writes is
// refused after prepare.
class ReadOnlyStatements {
 public:
  explicit ReadOnlyStatements(sqlite3* db);
  ~ReadOnlyStatements();
  ReadOnlyStatements(const ReadOnlyStatements&) = delete;
  ReadOnlyStatements& operator=(const ReadOnlyStatements&) = delete;

  // Prepares the first statement of `next` and moves `next` past it; null
  // for blanks or a comment. A refused statement or one SQLite rejects
  // throws Failure with the command's text ("sql: ..."), its exit status
  // from `tables`' fault.
  sqlite3_stmt* prepare(const char*& next, const SqlTables& tables);

 private:
  static int authorize(void* data, int action, const char* arg1, const char* arg2, const char*,
                       const char*);
  sqlite3* db_;
  bool preparing_ = false;
  std::string refused_;  // what the authorizer refused, for the message
};

// Whether a Failure of prepare() is a refusal (the statement would write).
bool refusedStatement(const Failure& failure);

// A statement's result columns (INTEGER ones numeric), and one row's values,
// each read once; the views stay valid until the next step.
std::vector<OutputColumn> statementColumns(sqlite3_stmt* stmt);
void readRow(sqlite3_stmt* stmt, std::vector<FieldView>& views);

// What one statement did, for its summary line.
struct StatementOutcome {
  int rc = 0;  // of the last step (SQLITE_DONE when it ran to its end)
  size_t rows = 0;
  double milliseconds = 0;
};

// "sql: 3 rows, 1 request of GROUPOBJACT, 6 members queried, ...".
std::string sqlSummary(const StatementOutcome& o, const std::vector<TableRequest>& requests,
                       const SqlActivity& sql);
// The SQL account of the requests added up (members queried: the most of
// any one request).
SqlActivity requestsActivity(const std::vector<TableRequest>& requests);
// The exit status for a failed statement: a module that did not load, a
// request that failed, else the statement itself.
int statementExit(SqlTables::Fault fault);

}  // namespace vxrhost::cli
