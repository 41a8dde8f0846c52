// The host's store on one SQLite database file.
//
// Every table whose name holds a schema and a dot ("VXR.LGOAACT",
// "Q7SRV.INODESTS") is a table of the dialect; its columns are CHAR(n) or
// INTEGER. Values are delivered and compared as in a fixed-width database:
// CHAR values blank-padded (or cut) to the column width, trailing blanks
// insignificant in = and LIKE, comparisons case-sensitive, LIKE's only
// wildcard '*'. Integers are delivered as 4-byte int32 in the platform's byte
// order; NULL gives 0 or blanks, values outside int32 saturate.
//
// Queries never write: the file is unchanged by prepare/open/next. The only
// writes are the node-status updates. A batch of them (one request's) is one
// transaction: it lands whole or not at all, and waits for another process's
// lock kNodeStatusLockWaitMs in all before it fails. A store may be shared by
// threads; its calls are serialised.
//
// An index on a CHAR column's key, the expression
//   ifnull(rtrim(substr(CAST(COLUMN AS BLOB), 1, WIDTH)), '')
// as its first column (data/schema.sql has them for ORIGINNODE and the node
// names), makes an equality on that column a lookup instead of a scan. The
// answers are the same with or without it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vxrhost/error.h"
#include "vxrhost/store.h"

struct sqlite3;

namespace vxrhost {

struct SqliteStoreOptions {
  bool readOnly = false;  // updateNodeStatus then fails with kStoreFailure
  // The schema the modules expect (SQL, e.g. data/schema.sql). When given,
  // every column that the database and this schema both have must have the
  // same type (CHAR of the same width, or INTEGER); the first mismatch fails
  // the open, so that no module reads bytes of the wrong type. A missing
  // table or column is left to the queries that name it.
  std::string expectedSchemaSql;
  // An open connection to the file to use instead of a connection of the
  // store's own; it is borrowed (not closed). Statements of its owner and
  // the store's then share one view of the file, so a node-status update
  // does not wait for the owner's reading statement to end.
  sqlite3* connection = nullptr;
  // Switches the database file to write-ahead logging (it stays so): readers
  // on other connections then never wait for a writer, nor it for them.
  bool writeAheadLog = false;
};

// The node-status table that routing reads and updateNodeStatus writes.
inline constexpr const char* kNodeStatusTable = "Q7SRV.INODESTS";
// How long a batch of node-status updates waits, in all, for the write lock;
// and how long one query step waits for a writer to finish.
inline constexpr int kNodeStatusLockWaitMs = 3000;
inline constexpr int kQueryLockWaitMs = 5000;

class SqliteStore : public Store {
 public:
  struct Impl;

  // Opens an existing database. Fails (nullptr, `error` set) for a missing
  // file (kNoDatabase), a file that is not a database, a table with a column
  // type other than CHAR(n)/INTEGER, or a database without a usable
  // node-status table (kStoreFailure). The message names the file, the
  // detail says why.
  static std::unique_ptr<SqliteStore> open(const std::string& path,
                                           const SqliteStoreOptions& options, Error& error);
  static std::unique_ptr<SqliteStore> open(const std::string& path, Error& error) {
    return open(path, SqliteStoreOptions{}, error);
  }

  // Creates a new database file from a schema script and a data script (each
  // any number of SQLite statements; either may be empty), then opens it
  // read-write. Refuses to overwrite an existing file. On failure the
  // partly-written file is removed.
  static std::unique_ptr<SqliteStore> create(const std::string& path, const std::string& schemaSql,
                                             const std::string& dataSql, Error& error);

  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  int32_t prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                  std::string& error) override;
  int32_t updateNodeStatus(const NodeStatusUpdate& update, std::string& error) override;
  int32_t applyNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                               std::string& error) override;

  // The schema as read at open: "SCHEMA.TABLE" names in name order, and the
  // columns of one table (nullptr for an unknown table).
  std::vector<std::string> tableNames() const;
  const std::vector<ColumnInfo>* tableColumns(const std::string& qualifiedName) const;

  // How SQLite runs a SELECT of the dialect: the details of its plan, one
  // line per step ("SEARCH ... USING INDEX ..." or "SCAN ..."); kOk or the
  // status prepare would give.
  int32_t queryPlan(const std::string& sql, std::vector<std::string>& steps, std::string& error);

  const std::string& path() const;
  bool readOnly() const;
  // The store's connection. Statements run on it must not write, nor keep a
  // transaction open across the store's calls.
  sqlite3* connection() const;

 private:
  explicit SqliteStore(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};

}  // namespace vxrhost
