// SQL over the group tables: the virtual tables in process against the
// sample (the rows, the filters handed down, early ends, joins), then
// vxrhost sql / explain and the extension in Debian's sqlite3 as a user
// runs them.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "../common/sample_database.h"
#include "requests.h"
#include "vxrhost/sqlite_store.h"
#include "vxrhost/vtab.h"

namespace fs = std::filesystem;
using namespace vxrhost;

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Answer {
  int rc = SQLITE_OK;
  std::string error;
  Rows rows;
};

class SqlTest : public vxrhost::testing::SampleDatabaseTest<SqlTest> {
 public:
  static constexpr const char* kScratchName = "sql";

 protected:
  void SetUp() override {
    db_ = (suiteDir_ / testName()).string() + ".db";
    copySample(db_);
    Error error;
    store_ = SqliteStore::open(db_, error);
    ASSERT_TRUE(store_) << error;
  }
  void TearDown() override {
    tables_.reset();
    host_.reset();
  }

  // The rows vxrhost query gives for each (table, filters), each value as
  // its text; run in a host of their own before the SQL host exists.
  std::vector<Rows> queryRows(
      const std::vector<std::pair<const CatalogTable*, std::vector<Filter>>>& requests) {
    Host host(*store_);
    std::map<std::string, Module*> modules;
    std::vector<Rows> all;
    for (const auto& [table, filters] : requests) {
      Module*& module = modules[table->module];
      if (module == nullptr) module = cli::loadModule(host, VXR_MODULE_DIR, table->module);
      cli::Outcome o = cli::runRequest(host, *module, *table, filters);
      Rows& rows = all.emplace_back();
      for (size_t i = 0; i < o.rowCount; ++i) {
        auto& row = rows.emplace_back();
        for (const CatalogValue& v :
             decodeRow(*table, std::string_view(o.rows).substr(i * table->rowSize, table->rowSize)))
          row.push_back(valueText(v));
      }
    }
    return all;
  }

  void openSql() {
    host_ = std::make_unique<Host>(*store_);
    host_->traceToMemory();
    tables_ = std::make_unique<SqlTables>(*host_, VXR_MODULE_DIR);
    std::string error;
    ASSERT_EQ(tables_->attach(store_->connection(), error), SQLITE_OK) << error;
  }

  Answer sql(const std::string& text) {
    Answer a;
    tables_->clearRequests();
    sqlite3* db = store_->connection();
    sqlite3_stmt* stmt = nullptr;
    a.rc = sqlite3_prepare_v2(db, text.c_str(), -1, &stmt, nullptr);
    while (a.rc == SQLITE_OK && (a.rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      auto& row = a.rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        row.emplace_back(t ? t : "");
      }
      a.rc = SQLITE_OK;
    }
    if (a.rc == SQLITE_DONE) a.rc = SQLITE_OK;
    if (a.rc != SQLITE_OK) a.error = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    return a;
  }

  std::string db_;
  std::unique_ptr<SqliteStore> store_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<SqlTables> tables_;
};

size_t attributeIndex(const CatalogTable& table, const char* name) {
  auto attributes = table.attributes();
  for (size_t i = 0; i < attributes.size(); ++i)
    if (std::string_view(attributes[i]->name) == name) return i;
  return attributes.size();
}

// A filtered SELECT of every table gives vxrhost query's rows, in its
// order, and the filter reached the module: it got it as an index filter,
// and the member SQL of the tables that narrow it to a group (those with a
// DSGROUP filter) carries the group.
TEST_F(SqlTest, FilteredSelectOfEveryTableIsTheQuery) {
  std::vector<std::pair<const CatalogTable*, std::vector<Filter>>> requests;
  for (const CatalogTable& table : catalogTables()) {
    bool byIdname = attributeIndex(table, "IDNAME") < table.attributes().size() &&
                    std::string_view(table.name) != "GROUPBPSTATS";
    requests.push_back({&table,
                        {byIdname ? Filter{kFilterEquals, "IDNAME", "GRPA"}
                                  : Filter{kFilterEquals, "ORIGINNODE", "GRPA:RX4plex:DSGROUP"}}});
    for (const char* column : filterColumns(table))
      EXPECT_LT(attributeIndex(table, column), table.attributes().size()) << table.name << column;
  }
  std::vector<Rows> expected = queryRows(requests);
  openSql();
  for (size_t i = 0; i < requests.size(); ++i) {
    const auto& [table, filters] = requests[i];
    SCOPED_TRACE(table->name);
    Answer a = sql(std::string("SELECT * FROM ") + table->name + " WHERE " + filters[0].column +
                   " = '" + filters[0].value + "'");
    ASSERT_EQ(a.rc, SQLITE_OK) << a.error;
    EXPECT_EQ(a.rows, expected[i]);
    EXPECT_FALSE(a.rows.empty());
    ASSERT_EQ(tables_->requests().size(), 1u);
    const TableRequest& r = tables_->requests()[0];
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].column, filters[0].column);
    bool narrows = false;
    for (const char* column : filterColumns(*table))
      narrows |= std::string_view(column) == "DSGROUP";
    bool carried = false;
    for (const std::string& text : r.sqlTexts) carried |= text.find("'GRPA'") != std::string::npos;
    EXPECT_EQ(carried, narrows);
    EXPECT_TRUE(r.terminated);
    EXPECT_EQ(r.finalStatus, 62);
  }
}

// Conditions the module cannot take are SQLite's alone: the request gets
// no filter, and the rows are the query's rows that meet the condition.
TEST_F(SqlTest, UnpushableConditionsAreAppliedBySqlite) {
  const CatalogTable& objact = *findCatalogTable("GROUPOBJACT");
  Rows all = queryRows({{&objact, {}}})[0];
  size_t getp = attributeIndex(objact, "JTPGETP");
  size_t idname = attributeIndex(objact, "IDNAME");
  struct Case {
    const char* where;
    std::function<bool(const std::vector<std::string>&)> keeps;
  };
  const Case cases[] = {
      {"JTPGETP > 100000", [&](const auto& row) { return std::stoll(row[getp]) > 100000; }},
      {"IDNAME LIKE 'GR%'", [&](const auto& row) { return row[idname].rfind("GR", 0) == 0; }},
      {"IDNAME IS NULL", [](const auto&) { return false; }},
  };
  openSql();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    Rows expected;
    for (const auto& row : all)
      if (c.keeps(row)) expected.push_back(row);
    Answer a = sql(std::string("SELECT * FROM GROUPOBJACT WHERE ") + c.where);
    ASSERT_EQ(a.rc, SQLITE_OK) << a.error;
    EXPECT_EQ(a.rows, expected);
    ASSERT_EQ(tables_->requests().size(), 1u);
    EXPECT_TRUE(tables_->requests()[0].filters.empty());
  }
}

// A LIMIT ends the request early (fewer process calls than the module's
// rows, terminate called); with ORDER BY every row is read first and the
// answer is the query's top rows.
TEST_F(SqlTest, LimitEndsTheRequestEarly) {
  const CatalogTable& threads = *findCatalogTable("GROUPTHREADS");
  const CatalogTable& objact = *findCatalogTable("GROUPOBJACT");
  auto expected = queryRows({{&threads, {}}, {&objact, {}}});
  openSql();
  Answer a = sql("SELECT * FROM GROUPTHREADS LIMIT 3");
  ASSERT_EQ(a.rc, SQLITE_OK) << a.error;
  EXPECT_EQ(a.rows, Rows(expected[0].begin(), expected[0].begin() + 3));
  ASSERT_EQ(tables_->requests().size(), 1u);
  const TableRequest& r = tables_->requests()[0];
  EXPECT_TRUE(r.stoppedEarly);
  EXPECT_TRUE(r.terminated);
  EXPECT_LT(static_cast<size_t>(r.processCalls), expected[0].size());
  EXPECT_EQ(host_->liveSqlObjects(), 0u);

  size_t getp = attributeIndex(objact, "JTPGETP");
  Rows top = expected[1];
  std::stable_sort(top.begin(), top.end(), [&](const auto& x, const auto& y) {
    return std::stoll(x[getp]) > std::stoll(y[getp]);
  });
  a = sql("SELECT JTPGETP FROM GROUPOBJACT ORDER BY JTPGETP DESC LIMIT 3");
  ASSERT_EQ(a.rc, SQLITE_OK) << a.error;
  ASSERT_EQ(a.rows.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(a.rows[i][0], top[i][getp]);
}

// The buffer pools joined with their connections: every pair the query's
// rows give, whichever side SQLite reads first.
TEST_F(SqlTest, JoinOfBufferPoolsAndConnections) {
  const CatalogTable& pools = *findCatalogTable("GROUPBUFPOOL");
  const CatalogTable& conns = *findCatalogTable("GROUPBUFPOOLCONN");
  auto rows = queryRows({{&pools, {}}, {&conns, {}}});
  std::multiset<std::string> expected;
  for (const auto& p : rows[0]) {
    for (const auto& c : rows[1]) {
      if (p[attributeIndex(pools, "STRUCTN")] == c[attributeIndex(conns, "STRUCTN")] &&
          p[attributeIndex(pools, "IDNAME")] == c[attributeIndex(conns, "IDNAME")]) {
        expected.insert(p[attributeIndex(pools, "STRUCTN")] + "|" +
                        c[attributeIndex(conns, "SYSID")]);
      }
    }
  }
  ASSERT_FALSE(expected.empty());
  openSql();
  Answer a =
      sql("SELECT b.STRUCTN, c.SYSID FROM GROUPBUFPOOL b JOIN GROUPBUFPOOLCONN c "
          "ON b.STRUCTN = c.STRUCTN AND b.IDNAME = c.IDNAME");
  ASSERT_EQ(a.rc, SQLITE_OK) << a.error;
  std::multiset<std::string> got;
  for (const auto& row : a.rows) got.insert(row[0] + "|" + row[1]);
  EXPECT_EQ(got, expected);
}

// Filters no row can match run no request; a failing request and a module
// that does not load are SQL errors naming the table.
TEST_F(SqlTest, NullFiltersAndFailures) {
  openSql();
  for (const char* text : {"SELECT * FROM GROUPOBJACT WHERE IDNAME = NULL",
                           "SELECT * FROM GROUPOBJACT WHERE IDNAME = 'GRPA12345'"}) {
    Answer a = sql(text);
    EXPECT_EQ(a.rc, SQLITE_OK) << a.error;
    EXPECT_TRUE(a.rows.empty()) << text;
    EXPECT_TRUE(tables_->requests().empty() || !tables_->requests()[0].ran) << text;
  }
  RunOptions failing;
  failing.stopAfterFailedStart = true;
  failing.failGetStorage = true;
  tables_->setRunOptions(failing);
  Answer a = sql("SELECT * FROM GROUPOBJACT WHERE IDNAME = 'GRPA'");
  EXPECT_EQ(a.rc, SQLITE_ERROR);
  EXPECT_EQ(a.error,
            "GROUPOBJACT: the request ended with status 64 (work area not obtained) at start");
  EXPECT_EQ(tables_->fault(), SqlTables::Fault::Request);
}

// --- The command and the extension ------------------------------------------

struct Shell {
  int status = -1;
  std::string out;  // stdout and stderr
};

Shell shell(const std::string& command) {
  Shell s;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return s;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) s.out.append(buffer, n);
  int status = pclose(pipe);
  s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return s;
}

TEST_F(SqlTest, CommandLine) {
  const std::string vxrhost = std::string("env -u VXRHOST_MODULES ") + VXRHOST_EXE;
  const std::string db = " --db " + db_ + " ";
  // A database whose members' activity table is gone: every member's SQL
  // fails, and the answer is incomplete.
  const std::string broken = db_ + ".broken";
  fs::copy_file(db_, broken, fs::copy_options::overwrite_existing);
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(broken.c_str(), &handle), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(handle, "DROP TABLE \"VXR.LGOAACT\"", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(handle);
  struct Case {
    std::string command;
    int status;
    std::vector<std::string> shows;
  };
  const Case cases[] = {
      {vxrhost + " sql" + db +
           "--format csv \"SELECT JTPDB, JTPSP, JTPGETP FROM GROUPOBJACT "
           "WHERE IDNAME='GRPA' ORDER BY JTPGETP DESC LIMIT 10\"",
       0,
       {"JTPDB,JTPSP,JTPGETP\r\nDBPAY,SPPAY1,9917400\r\nDBINV,SPINV1,269200\r\n",
        "sql: 3 rows, 1 request of GROUPOBJACT, 6 members queried"}},
      {"printf \"SELECT 1 AS a;\\n SELECT 'x' AS b\" | " + vxrhost + " sql" + db + "--format json",
       0,
       {"\"a\": 1", "\"b\": \"x\""}},
      {vxrhost + " sql" + db + "\"SELECT * FROM MEMBERSTATUS WHERE IDNAME='*NOFETCH'\"",
       0,
       {"node status changed (4 updates)"}},
      {vxrhost + " sql" + db + "'DELETE FROM \"Q7SRV.INODESTS\"'",
       2,
       {"vxrhost: sql: statement refused: vxrhost sql only reads"}},
      {vxrhost + " sql" + db + "\"ATTACH 'x.db' AS x\"",
       2,
       {"(ATTACH and DETACH are not allowed)"}},
      {vxrhost + " sql" + db + "\"SELECT NOSUCH FROM GROUPOBJACT\"",
       2,
       {"vxrhost: sql: no such column: NOSUCH\n"}},
      {vxrhost + " sql" + db + "--explain \"SELECT * FROM GROUPOBJACT WHERE IDNAME='GRPA'\"",
       0,
       {"GROUPOBJACT\n  filters: IDNAME = 'GRPA'\n  SQL texts sent: 7\n",
        "LGOAACT.DSGROUP = 'GRPA'", "3 rows, 4 process calls, status 62 (end of data)"}},
      {vxrhost + " sql --db " + broken +
           " \"SELECT count(*) FROM GROUPOBJACT WHERE IDNAME='GRPA'\"",
       8,
       {"sql: 1 row, 1 request of GROUPOBJACT, 6 members queried, 6 member requests failed",
        "vxrhost: GROUPOBJACT: member WNRX4:RXA1:SYSA: prepare failed: "}},
      {vxrhost + " explain GROUPOBJACT" + db + "--filter IDNAME=GRPA --filter JTPDB=DBPAY",
       0,
       {"filters: IDNAME = 'GRPA' AND JTPDB = 'DBPAY'", "LGOAACT.JTPDB   = 'DBPAY';"}},
  };
  for (const Case& c : cases) {
    Shell s = shell(c.command);
    EXPECT_EQ(s.status, c.status) << c.command << "\n" << s.out;
    for (const std::string& text : c.shows)
      EXPECT_NE(s.out.find(text), std::string::npos) << c.command << "\n" << s.out;
  }
}

TEST_F(SqlTest, ExtensionInTheSqliteShell) {
#if VXR_SANITIZED
  GTEST_SKIP() << "the extension is built with the sanitizers, Debian's sqlite3 is not";
#endif
  if (shell("command -v sqlite3").status != 0) GTEST_SKIP() << "no sqlite3 command";
  Shell s =
      shell(std::string("env -u VXRHOST_MODULES sqlite3 ") + db_ + " \".load " + VXRSQLITE_PATH +
            "\" \"SELECT JTPDB, JTPSP, JTPGETP FROM GROUPOBJACT WHERE IDNAME='GRPA' "
            "ORDER BY JTPGETP DESC LIMIT 2\"");
  EXPECT_EQ(s.status, 0) << s.out;
  EXPECT_EQ(s.out, "DBPAY|SPPAY1|9917400\nDBINV|SPINV1|269200\n");
}

}  // namespace
