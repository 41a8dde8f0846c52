// vxrhost sql and vxrhost explain: SQL over the group tables (the catalog's
// tables as SQLite virtual tables) and the database's own tables.
#pragma once

#include <string>
#include <vector>

#include "commands.h"

namespace vxrhost::cli {

// Runs `statements` (one or more, separated by ';'), or those read from
// standard input when empty, and prints each one's rows; with `explain`,
// what each group table's request got and sent instead of the rows.
int commandSql(const Options& options, const std::string& statements, bool explain);

// Runs one request of the table, as query does, and prints the filters it
// got and the member SQL texts it sent instead of its rows.
int commandExplain(const Options& options, const std::string& table,
                   const std::vector<FilterArg>& filters);

}  // namespace vxrhost::cli
