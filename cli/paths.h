// Where vxrhost finds its modules and data, and the bundled sample database.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "vxrhost/store_factory.h"

namespace vxrhost::cli {

// The modules directory: `given` (--modules or $VXRHOST_MODULES) when not
// empty, else "../modules" beside the executable (the build tree), else the
// installed modules directory relative to the executable. Fails with
// kExitModule when none of these exists.
std::string modulesDir(const std::string& given);

// The installed data directory (schema.sql, sample.sql) relative to the
// executable, or "" when the executable does not sit in an installed layout.
std::string dataDir();

// The bundled sample's path: $VXRHOST_DB, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/vxrhost/sample.db.
std::string samplePath();

// The web console's files: `given` (--console-dir) when not empty, else the
// installed share/vxr/console relative to the executable, else the source
// tree's console/ (a build tree).
std::string consoleDir(const std::string& given);

// The database that --db names when given, else the sample's path.
std::string databaseOf(const std::string& db, bool dbGiven);

// Opens `db` when given (an existing file, or a PostgreSQL connection
// string), else the sample, created on first use. `options` apply to an
// SQLite file; the schema check is always added. Fails with kExitDatabase
// naming the database.
std::unique_ptr<Store> openDatabase(const std::string& db, bool dbGiven,
                                    const SqliteStoreOptions& options = {});

// The schema and sample data scripts: the installed copies when vxrhost runs
// from an installed layout, else the copies compiled into it.
void sampleTexts(std::string& schema, std::string& data);

// Deletes and recreates the sample; prints where.
void resetSample(std::ostream& out);

}  // namespace vxrhost::cli
