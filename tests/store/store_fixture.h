// What the store suites share: which store a case runs on, a scratch
// PostgreSQL schema per case, and a statement run to its end.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "vxrhost/postgres_store.h"
#include "vxrhost/sqlite_store.h"
#include "vxrhost/store_factory.h"

namespace vxrhost {

enum class StoreKind { Sqlite, Postgres };

inline void PrintTo(StoreKind kind, std::ostream* out) {
  *out << (kind == StoreKind::Sqlite ? "SQLite" : "PostgreSQL");
}

inline const auto kBothStores = ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres);

inline std::string storeKindName(const ::testing::TestParamInfo<StoreKind>& info) {
  return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
}

// A connection string with one more libpq keyword.
inline std::string withKeyword(const std::string& url, const std::string& keyword,
                               const std::string& value) {
  if (url.rfind("postgres", 0) == 0) {
    std::string escaped;
    for (char c : value) escaped += c == '=' ? std::string("%3D") : std::string(1, c);
    return url + (url.find('?') == std::string::npos ? "?" : "&") + keyword + "=" + escaped;
  }
  return url + " " + keyword + "='" + value + "'";
}

// A schema of its own in the database $VXR_TEST_PG names, dropped at the end:
// the cases do not see each other's tables.
class TestDatabase {
 public:
  static const char* baseUrl() {
    const char* url = std::getenv("VXR_TEST_PG");
    return url && *url ? url : nullptr;
  }
  static std::string skipReason() {
    return "no PostgreSQL: set VXR_TEST_PG to a database URL (scripts/pg-cluster.sh start)";
  }
  // False when no database is given.
  bool start() {
    if (!baseUrl()) return false;
    static int counter = 0;
    schema_ = "vxrt_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    admin(("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_).c_str());
    url_ = withKeyword(baseUrl(), "options", "-csearch_path=" + schema_);
    return true;
  }
  void stop() {
    if (!schema_.empty()) admin(("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE").c_str());
    schema_.clear();
  }
  ~TestDatabase() { stop(); }
  const std::string& url() const { return url_; }
  const std::string& schema() const { return schema_; }
  // Runs SQL on a connection of its own; the first row's first value.
  static std::string admin(const char* sql) {
    PGconn* conn = PQconnectdb(baseUrl());
    std::string value;
    if (PQstatus(conn) == CONNECTION_OK) {
      PQsetNoticeProcessor(
          conn, [](void*, const char*) {}, nullptr);
      PGresult* r = PQexec(conn, sql);
      EXPECT_TRUE(PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK)
          << sql << ": " << PQresultErrorMessage(r);
      if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) value = PQgetvalue(r, 0, 0);
      PQclear(r);
    } else {
      ADD_FAILURE() << PQerrorMessage(conn);
    }
    PQfinish(conn);
    return value;
  }

 private:
  std::string schema_;
  std::string url_;
};

// A data script as the store can hold it: PostgreSQL refuses a CHAR value
// longer than its column when it is inserted, so the fixture's over-long
// value is stored cut, as SQLite delivers it.
inline std::string dataFor(StoreKind kind, std::string data) {
  if (kind != StoreKind::Postgres) return data;
  const std::string from = "'ABCDEFGHIJK'";
  if (auto at = data.find(from); at != std::string::npos)
    data.replace(at, from.size(), "'ABCDEFGH'");
  return data;
}

inline int32_t runToEnd(Store& store, const std::string& sql,
                        std::vector<std::vector<std::string>>& rows, std::string& error) {
  rows.clear();
  std::unique_ptr<PreparedStatement> statement;
  int32_t status = store.prepare(sql, statement, error);
  if (status != sqlstatus::kOk) return status;
  std::unique_ptr<ResultSet> result;
  status = statement->open(result, error);
  if (status != sqlstatus::kOk) return status;
  std::vector<std::string> cells;
  while ((status = result->next(cells, error)) == sqlstatus::kOk) rows.push_back(cells);
  return status == sqlstatus::kEndOfData ? sqlstatus::kOk : status;
}

inline std::vector<std::string> tableNamesOf(Store& store) {
  if (auto* pg = dynamic_cast<PostgresStore*>(&store)) return pg->tableNames();
  return dynamic_cast<SqliteStore&>(store).tableNames();
}

inline const std::vector<ColumnInfo>* tableColumnsOf(Store& store, const std::string& table) {
  if (auto* pg = dynamic_cast<PostgresStore*>(&store)) return pg->tableColumns(table);
  return dynamic_cast<SqliteStore&>(store).tableColumns(table);
}

}  // namespace vxrhost
