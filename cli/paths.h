// Where vxrhost finds its modules and data, and the bundled sample database.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "vxrhost/sqlite_store.h"

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

// Opens `db` when given (it must exist), else the sample, created on first
// use. Fails with kExitDatabase naming the file.
std::unique_ptr<SqliteStore> openDatabase(const std::string& db, bool dbGiven,
                                          const SqliteStoreOptions& options = {});

// Deletes and recreates the sample; prints where.
void resetSample(std::ostream& out);

}  // namespace vxrhost::cli
