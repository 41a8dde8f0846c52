// vxrhost init-db: creates the store's schema in a new database file or an
// empty PostgreSQL database, and loads the sample data with --sample.
#include <iostream>

#include "commands.h"
#include "failure.h"
#include "paths.h"

namespace vxrhost::cli {

int commandInitDb(const Options& options, bool withSample) {
  if (!options.dbGiven) {
    throw Failure{kExitUsage, "init-db needs --db (a new database file or a PostgreSQL URL)"};
  }
  std::string schema;
  std::string data;
  sampleTexts(schema, data);
  Error error;
  auto store = createStore(options.db, schema, withSample ? data : std::string(), error);
  if (!store) throw Failure{kExitDatabase, error.text()};
  std::cout << "schema " << (withSample ? "and sample data " : "") << "created in "
            << describeDatabase(options.db) << '\n';
  finishOutput();
  return kExitOk;
}

}  // namespace vxrhost::cli
