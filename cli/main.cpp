// vxrhost: the host stand-in's command. Runs one request of a catalog table
// through the host core against an SQLite database and prints the rows; also
// the heartbeat, the node-status table, the catalog and the modules. This
// file holds the command line; the commands are in commands.cpp.
#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "serve.h"
#include "sql.h"
#include "vxrhost/catalog.h"
#include "vxrhost/error.h"

namespace vxrhost::cli {
namespace {

// Control characters left in a message (from a system or library text) are
// escaped too, so that every error is one line.
std::string oneLine(const std::string& message) {
  return vxrhost::controlEscaped(message);
}

int usage(const std::string& message) {
  std::cerr << "vxrhost: " << oneLine(message) << " (see \"vxrhost --help\")\n";
  return kExitUsage;
}

int run(int argc, char** argv) {
  CLI::App app{"vxrhost: runs requests of the group table modules in the host stand-in", "vxrhost"};
  app.require_subcommand(0, 1);
  Options options;
  bool versionRequested = false;
  app.set_version_flag("--version", std::string("vxrhost ") + VXRHOST_VERSION,
                       "print the version (with -v, the modules' compile dates too)");
  bool withModules = false;
  app.add_flag("-v", withModules, "print the version and each module's compile date");

  std::vector<std::string> tableNames;
  for (const CatalogTable& table : catalogTables()) tableNames.emplace_back(table.name);
  const auto tableCheck = CLI::IsMember(tableNames, CLI::ignore_case);
  const auto formatCheck =
      CLI::IsMember(std::vector<std::string>(std::begin(kFormatNames), std::end(kFormatNames)));

  std::vector<CLI::Option*> dbOptions;
  auto addDb = [&](CLI::App* sub) {
    dbOptions.push_back(sub->add_option(
        "--db", options.db, "database file or PostgreSQL URL (default: the bundled sample)"));
  };
  auto addModules = [&](CLI::App* sub) {
    // $VXRHOST_MODULES is read after the parse: CLI11 would fill the one
    // shared variable from it through the options of the subcommands not
    // given, over the --modules of the one given.
    sub->add_option("--modules", options.modules,
                    "directory of the modules (default: $VXRHOST_MODULES, else beside vxrhost, "
                    "built or installed)");
  };
  auto addTrace = [&](CLI::App* sub) {
    sub->add_option("--trace", options.trace,
                    "trace levels, UNIT=MASK[,UNIT=MASK]... (* for every unit)");
    sub->add_option("--trace-file", options.traceFile,
                    "append trace lines to this file instead of stderr");
  };
  auto addSerialSql = [&](CLI::App* sub) {
    sub->add_flag("--serial-sql", options.serialSql,
                  "read member SQL rows at each fetch, not ahead on a second thread");
  };
  auto addFormat = [&](CLI::App* sub) {
    sub->add_option("--format", options.format, "output format: table, csv or json")
        ->check(formatCheck)
        ->capture_default_str();
  };

  std::string table;
  std::vector<std::string> filters;
  std::vector<std::string> filterOps;
  CLI::App* query = app.add_subcommand("query", "run one request of a table and print its rows");
  query->add_option("table", table, "table name (see \"vxrhost tables\")")
      ->required()
      ->check(tableCheck);
  CLI::Option* filterOption =
      query->add_option("--filter", filters, "index filter COL=VALUE (operator 1, equals)")
          ->allow_extra_args(false);
  CLI::Option* filterOpOption =
      query
          ->add_option("--filter-op", filterOps,
                       "index filter COL=CODE=VALUE with any operator code")
          ->allow_extra_args(false);
  addFormat(query);
  addDb(query);
  addModules(query);
  addTrace(query);
  addSerialSql(query);

  CLI::App* heartbeat =
      app.add_subcommand("heartbeat", "run the heartbeat (a no-fetch MEMBERSTATUS request)");
  addDb(heartbeat);
  addModules(heartbeat);
  addTrace(heartbeat);
  addSerialSql(heartbeat);

  CLI::App* nodes = app.add_subcommand("nodes", "print the node-status table");
  addFormat(nodes);
  addDb(nodes);

  std::string columnsOf;
  CLI::App* tables = app.add_subcommand("tables", "print the table catalog");
  tables->add_option("--columns", columnsOf, "print the attributes of this table instead")
      ->check(tableCheck);
  addFormat(tables);

  CLI::App* modules =
      app.add_subcommand("modules", "print each module's compile date and build information");
  addModules(modules);

  CLI::App* reset = app.add_subcommand("reset-sample", "recreate the bundled sample database");

  bool initSample = false;
  CLI::App* initDb = app.add_subcommand(
      "init-db", "create the schema in a new database file or an empty PostgreSQL database");
  addDb(initDb);
  initDb->add_flag("--sample", initSample, "load the sample data too");

  std::string statements;
  bool explainSql = false;
  CLI::App* sql = app.add_subcommand(
      "sql", "run SQL over the group tables and the database (statements from stdin if none)");
  sql->add_option("statement", statements, "SELECT statements, separated by ';'");
  sql->add_flag("--explain", explainSql,
                "print each group table's filters and member SQL instead of the rows");
  addFormat(sql);
  addDb(sql);
  addModules(sql);
  addTrace(sql);

  std::vector<std::string> explainFilters;
  CLI::App* explain = app.add_subcommand(
      "explain", "run one request of a table and print its filters and member SQL, no rows");
  explain->add_option("table", table, "table name (see \"vxrhost tables\")")
      ->required()
      ->check(tableCheck);
  explain->add_option("--filter", explainFilters, "index filter COL=VALUE (operator 1, equals)")
      ->allow_extra_args(false);
  addDb(explain);
  addModules(explain);
  addTrace(explain);
  addSerialSql(explain);

  ServeOptions serveOptions;
  CLI::App* serve =
      app.add_subcommand("serve", "serve the tables over HTTP, heartbeat on a schedule");
  serve->add_option("--listen", serveOptions.listen, "address and port, ADDR:PORT (0: any port)")
      ->capture_default_str();
  serve
      ->add_option("--heartbeat-interval", serveOptions.heartbeatInterval,
                   "seconds between heartbeats (0: none)")
      ->capture_default_str();
  serve->add_option("--workers", serveOptions.workers,
                    "request threads (default: the number of cores)");
  serve->add_option("--token-file", serveOptions.tokenFile,
                    "file holding the bearer token that requests must give");
  serve->add_option("--access-log", serveOptions.accessLog,
                    "append access-log lines to this file instead of stderr");
  serve->add_option("--console-dir", serveOptions.consoleDir,
                    "directory of the web console's files");
  serve
      ->add_option("--grace-period", serveOptions.gracePeriod,
                   "seconds that requests in flight get after SIGTERM or SIGINT")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  serve->add_flag("!--no-manual-heartbeat", serveOptions.manualHeartbeat,
                  "refuse POST /api/v1/heartbeat");
  addDb(serve);
  addModules(serve);
  addTrace(serve);
  addSerialSql(serve);

  // A word where the command belongs that is none of the commands (CLI11
  // would only say that an argument was not expected).
  if (argc > 1 && argv[1][0] != '-') {
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands({})) known = known || sub->check_name(argv[1]);
    if (!known) return usage("unknown command " + inQuotes(argv[1]));
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion&) {
    // --version ends the parse at once, so a -v after it is looked up here.
    versionRequested = true;
    for (int i = 1; i < argc; ++i) withModules = withModules || std::strcmp(argv[i], "-v") == 0;
  } catch (const CLI::CallForHelp& e) {
    int status = app.exit(e);
    finishOutput();
    return status;
  } catch (const CLI::CallForAllHelp& e) {
    int status = app.exit(e);
    finishOutput();
    return status;
  } catch (const CLI::ParseError& e) {
    return usage(e.what());
  }
  // The command line wins over the environment.
  if (options.modules.empty()) {
    if (const char* dir = std::getenv("VXRHOST_MODULES")) options.modules = dir;
  }
  if (withModules && !versionRequested) {
    for (const CLI::App* sub : app.get_subcommands()) {
      return usage("-v belongs to --version, not to the " + sub->get_name() + " command");
    }
  }
  if (versionRequested || withModules) return commandVersion(options, withModules);
  for (const CLI::Option* db : dbOptions) {
    if (db->count() == 0) continue;
    if (options.db.empty()) return usage("--db: an empty path names no database");
    options.dbGiven = true;
  }

  if (query->parsed()) {
    // The filters in command-line order: a later filter on a column
    // overrides an earlier one in the module.
    std::vector<FilterArg> ordered;
    size_t nextFilter = 0;
    size_t nextFilterOp = 0;
    for (const CLI::Option* option : query->parse_order()) {
      if (option == filterOption && nextFilter < filters.size()) {
        ordered.push_back({false, filters[nextFilter++]});
      } else if (option == filterOpOption && nextFilterOp < filterOps.size()) {
        ordered.push_back({true, filterOps[nextFilterOp++]});
      }
    }
    return commandQuery(options, table, ordered);
  }
  if (sql->parsed()) return commandSql(options, statements, explainSql);
  if (explain->parsed()) {
    std::vector<FilterArg> ordered;
    for (const std::string& text : explainFilters) ordered.push_back({false, text});
    return commandExplain(options, table, ordered);
  }
  if (heartbeat->parsed()) return commandHeartbeat(options);
  if (nodes->parsed()) return commandNodes(options);
  if (tables->parsed()) return commandTables(options, columnsOf);
  if (modules->parsed()) return commandModules(options);
  if (reset->parsed()) return commandResetSample();
  if (initDb->parsed()) return commandInitDb(options, initSample);
  if (serve->parsed()) return commandServe(options, serveOptions);
  return usage("a command is required");
}

}  // namespace
}  // namespace vxrhost::cli

int main(int argc, char** argv) {
  using namespace vxrhost::cli;
  using vxrhost::cli::oneLine;
  try {
    return run(argc, argv);
  } catch (const Failure& failure) {
    if (!outputClosed()) std::cout.flush();
    std::cerr << "vxrhost: " << oneLine(failure.message) << '\n';
    return failure.exitCode;
  } catch (const std::exception& e) {
    if (!outputClosed()) std::cout.flush();
    std::cerr << "vxrhost: internal error: " << vxrhost::controlEscaped(e.what()) << '\n';
    return kExitInternal;
  }
}
