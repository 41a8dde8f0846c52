#include "vxrhost/store_factory.h"

#include "vxrhost/postgres_store.h"
#include "vxrhost/sqlite_store.h"

namespace vxrhost {

std::unique_ptr<Store> openStore(const std::string& db, const SqliteStoreOptions& sqlite,
                                 Error& error) {
  if (isPostgresConnection(db)) return PostgresStore::open(db, error);
  return SqliteStore::open(db, sqlite, error);
}

std::unique_ptr<Store> createStore(const std::string& db, const std::string& schemaSql,
                                   const std::string& dataSql, Error& error) {
  if (isPostgresConnection(db)) return PostgresStore::create(db, schemaSql, dataSql, error);
  return SqliteStore::create(db, schemaSql, dataSql, error);
}

std::string describeDatabase(const std::string& db) {
  return isPostgresConnection(db) ? describePostgres(db) : inQuotes(db);
}

}  // namespace vxrhost
