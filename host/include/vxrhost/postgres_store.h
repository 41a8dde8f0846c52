// The host's store on a PostgreSQL database, reached through libpq.
//
// The same dialect as the SQLite store, answered with the same rows, types
// and widths: the tables of the dialect are those of the connection's current
// schema whose names hold a dot ("VXR.LGOAACT"); CHAR(n) columns are
// delivered blank-padded (or cut) to n bytes, integer columns as 4-byte int32
// (NULL 0 or blanks, values outside int32 saturated). Rows come in insertion
// order, kept by the column kRowOrderColumn that the schema adds to every
// table. Statements are rendered from the parsed dialect with quoted
// identifiers; every literal is a bound parameter.
//
// Rows are streamed (single-row mode): a member's rows are not held in memory
// twice. When another call needs the connection while a result is still
// streaming, that result's remaining rows are read into memory first.
//
// A batch of node-status updates is one transaction under a table lock that
// waits at most kNodeStatusLockWaitMs; concurrent batches of other processes
// come before or after it. A lost connection fails the call in progress with
// kStoreFailure; the next call connects again. A store may be shared by
// threads; its calls are serialised.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vxrhost/error.h"
#include "vxrhost/store.h"

namespace vxrhost {

// The column that keeps insertion order in every table of the PostgreSQL
// schema; never delivered.
inline constexpr const char* kRowOrderColumn = "vxr_row";

// Whether `db` names a PostgreSQL database (a "postgresql://" or
// "postgres://" URL, or a libpq keyword string starting with "host=" or
// "dbname=") rather than a database file.
bool isPostgresConnection(const std::string& db);

// How messages name the database of a connection string, without any
// password: `database "vxr" on server "/run/pg:5432"`.
std::string describePostgres(const std::string& conninfo);

// The PostgreSQL form of a schema script written for the SQLite store
// (data/schema.sql): CREATE TABLE statements with INTEGER columns as BIGINT
// (so that values outside int32 saturate on delivery as in SQLite) and the
// row-order column added; each CHAR-key index as a plain index on the column
// and the row order. Comments and other statements (PRAGMA) are dropped.
std::string postgresSchema(const std::string& sqliteSchema);

class PostgresStore : public Store {
 public:
  struct Impl;

  // Connects and reads the schema. Fails (nullptr, `error` set, kStoreFailure)
  // for a server that cannot be reached, a refused login, or a database
  // without a usable node-status table; the message names server and
  // database, never the password.
  static std::unique_ptr<PostgresStore> open(const std::string& conninfo, Error& error);

  // Creates the schema (postgresSchema of `schemaSql`) and loads `dataSql`
  // (INSERT statements) in one transaction, then opens the store. Refuses a
  // database that already has the node-status table.
  static std::unique_ptr<PostgresStore> create(const std::string& conninfo,
                                               const std::string& schemaSql,
                                               const std::string& dataSql, Error& error);

  ~PostgresStore() override;
  PostgresStore(const PostgresStore&) = delete;
  PostgresStore& operator=(const PostgresStore&) = delete;

  int32_t prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                  std::string& error) override;
  int32_t updateNodeStatus(const NodeStatusUpdate& update, std::string& error) override;
  int32_t applyNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                               std::string& error) override;
  // A session advisory lock (kHeartbeatLockKey) held by this store's
  // connection until it is given up, or the connection closes or is lost.
  int32_t tryHeartbeatLock(bool& held, std::string& error) override;
  int32_t releaseHeartbeatLock(std::string& error) override;

  std::vector<std::string> tableNames() const;
  const std::vector<ColumnInfo>* tableColumns(const std::string& qualifiedName) const;
  // `database "vxr" on server "..."`
  const std::string& description() const;

  // The advisory-lock key of the heartbeat.
  static constexpr int64_t kHeartbeatLockKey = 0x5658524842;  // "VXRHB"

 private:
  explicit PostgresStore(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};

}  // namespace vxrhost
