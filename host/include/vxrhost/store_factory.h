// The one place that turns a --db argument into a store: a PostgreSQL
// connection string (isPostgresConnection) opens a PostgresStore, anything
// else names an SQLite database file.
#pragma once

#include <memory>
#include <string>

#include "vxrhost/error.h"
#include "vxrhost/sqlite_store.h"
#include "vxrhost/store.h"

namespace vxrhost {

// Opens an existing database. nullptr and `error` on failure. `sqlite`
// applies when `db` names a file.
std::unique_ptr<Store> openStore(const std::string& db, const SqliteStoreOptions& sqlite,
                                 Error& error);
inline std::unique_ptr<Store> openStore(const std::string& db, Error& error) {
  return openStore(db, SqliteStoreOptions{}, error);
}

// Creates the schema (and loads the data script) in a new SQLite file or an
// empty PostgreSQL database, then opens it.
std::unique_ptr<Store> createStore(const std::string& db, const std::string& schemaSql,
                                   const std::string& dataSql, Error& error);

// How messages name the database: the file's path in quotes, or
// `database "vxr" on server "HOST:PORT"` (never a password).
std::string describeDatabase(const std::string& db);

}  // namespace vxrhost
