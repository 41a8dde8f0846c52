// The vxrhost subcommands. Each returns the exit status or throws Failure.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "output.h"
#include "vxrhost/catalog.h"
#include "vxrhost/host.h"

namespace vxrhost::cli {

// Options shared by the subcommands.
struct Options {
  std::string db;
  bool dbGiven = false;
  std::string modules;  // --modules, or $VXRHOST_MODULES
  std::string trace;
  std::string traceFile;
  std::string format = "table";
  bool serialSql = false;  // --serial-sql: member SQL read at each fetch, not ahead
};

struct FilterArg {
  bool withOperator;
  std::string text;
};

// The filters of the command line, parsed against `table`.
std::vector<Filter> parseFilters(const CatalogTable& table, const std::vector<FilterArg>& args);

// What one table's requests run on, set up from the command's options: the
// database, member SQL read ahead or not (--serial-sql), the trace and the
// table's module.
struct TableHost {
  TableHost(const Options& options, const CatalogTable& table);
  std::string dir;  // the modules directory, checked before the database opens
  std::unique_ptr<Store> store;
  Host host;
  Module* module = nullptr;
};

// The node-status table as the printers take it (one value per column).
OutputTable nodeStatusOutput(const NodeStatusTable& nodes);

int commandQuery(const Options& options, const std::string& table,
                 const std::vector<FilterArg>& filters);
int commandHeartbeat(const Options& options);
int commandNodes(const Options& options);
int commandTables(const Options& options, const std::string& columnsOf);
int commandModules(const Options& options);
int commandResetSample();
// Creates the schema in --db, with the sample data when `withSample`.
int commandInitDb(const Options& options, bool withSample);
// The version line; with modules, each module's compile date too.
int commandVersion(const Options& options, bool modules);

}  // namespace vxrhost::cli
