#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "store_fixture.h"
#include "vxrhost/sqlite_store.h"

namespace vxrhost {
namespace {

namespace fs = std::filesystem;

const char* const kSchema = R"sql(
CREATE TABLE "Q7SRV.INODESTS" (NODE CHAR(32), THRUNODE CHAR(32), ORIGINNODE CHAR(32),
  NODETYPE CHAR(1), Q7ONLINE CHAR(1), PRODUCT CHAR(2), VERSION CHAR(8), HOSTCODE CHAR(2),
  AFFINITIES CHAR(43), HOSTLEVEL CHAR(2));
CREATE TABLE "VXR.LGOAACT" (ORIGINNODE CHAR(32), IDNAME CHAR(8), JTPDB CHAR(8), JTPGETP INTEGER);
)sql";

const char* const kData = R"sql(
INSERT INTO "Q7SRV.INODESTS" (NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, PRODUCT, VERSION)
  VALUES ('HUB1', '', 'HUB1', 'V', 'Y', 'XR', '04.10.00'),
         ('HUBOFF', '', 'HUBOFF', 'V', 'N', 'XR', '04.10.00'),
         ('WNRX4:M1', 'HUB1', 'WNRX4:M1', 'V', 'Y', 'XR', '04.01.00'),
         ('WNRX4:M2', 'HUBOFF', 'WNRX4:M2', 'V', 'N', 'XR', '04.01.00'),
         ('wnrx4:m3', 'HUB1', 'wnrx4:m3', 'V', 'Y', 'XR', '04.01.00');
INSERT INTO "VXR.LGOAACT" VALUES
  ('WNRX4:M1', 'GRP1', 'DB1', 10),
  ('WNRX4:M1', 'GRP1    ', 'DB2', NULL),
  ('WNRX4:M1', 'grp1', 'DB%1', 5000000000),
  ('WNRX4:M1', 'GRP1', 'DB_2', -5000000000),
  ('WNRX4:M1', 'GRP1', 'DBX2', 7),
  ('WNRX4:M1', 'GRP2', 'ABCDEFGHIJK', -3),
  ('WNRX4:M1', 'GRP2', 'O''B', 1);
)sql";

std::string pad(const std::string& s, std::size_t width) {
  std::string out = s;
  out.resize(width, ' ');
  return out;
}

int32_t asInt(const std::string& cell) {
  EXPECT_EQ(cell.size(), 4u);
  int32_t v = 0;
  std::memcpy(&v, cell.data(), sizeof v);
  return v;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every case runs on both stores: SQLite in a temporary file, PostgreSQL in
// a schema of its own in the database $VXR_TEST_PG names (skipped without).
class StoreTest : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir_ = fs::temp_directory_path() /
           ("vxr_store_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(dir_);
    dbPath_ = (dir_ / "host.db").string();
    if (GetParam() == StoreKind::Postgres) {
      if (!pg_.start()) GTEST_SKIP() << TestDatabase::skipReason();
      dbPath_ = pg_.url();
    }
    Error error;
    store_ = createStore(dbPath_, kSchema, dataFor(GetParam(), kData), error);
    ASSERT_TRUE(store_) << error;
  }
  void TearDown() override {
    store_.reset();
    pg_.stop();
    fs::remove_all(dir_);
  }

  // Runs one statement to its end; returns the first non-success status.
  int32_t run(const std::string& sql, std::vector<std::vector<std::string>>& rows,
              std::string& error) {
    return runToEnd(*store_, sql, rows, error);
  }

  std::vector<std::vector<std::string>> rows(const std::string& sql) {
    std::vector<std::vector<std::string>> out;
    std::string error;
    EXPECT_EQ(run(sql, out, error), sqlstatus::kOk) << sql << "\n" << error;
    return out;
  }

  // The first column of every row, trailing blanks removed.
  std::vector<std::string> firstColumn(const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& row : rows(sql)) {
      std::string v = row.at(0);
      v.erase(v.find_last_not_of(' ') + 1);
      out.push_back(v);
    }
    return out;
  }

  int32_t failure(const std::string& sql, std::string& error) {
    std::vector<std::vector<std::string>> out;
    return run(sql, out, error);
  }

  fs::path dir_;
  std::string dbPath_;
  TestDatabase pg_;
  std::unique_ptr<Store> store_;
};

// The cases that are the SQLite file's own.
using SqliteStoreTest = StoreTest;

using Names = std::vector<std::string>;

TEST_P(StoreTest, SchemaReadFromDatabase) {
  EXPECT_EQ(tableNamesOf(*store_), (Names{"Q7SRV.INODESTS", "VXR.LGOAACT"}));
  const auto* columns = tableColumnsOf(*store_, "VXR.LGOAACT");
  ASSERT_NE(columns, nullptr);
  ASSERT_EQ(columns->size(), 4u);
  EXPECT_EQ((*columns)[1].name, "IDNAME");
  EXPECT_EQ((*columns)[1].type, ColumnType::Char);
  EXPECT_EQ((*columns)[1].width, 8);
  EXPECT_EQ((*columns)[3].type, ColumnType::Int32);
  EXPECT_EQ((*columns)[3].width, 4);
}

TEST_P(StoreTest, NodeDiscoveryQueryDeliversPaddedOnlineMembers) {
  std::unique_ptr<PreparedStatement> statement;
  std::string error;
  const std::string sql =
      "SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND "
      "Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';";
  ASSERT_EQ(store_->prepare(sql, statement, error), sqlstatus::kOk) << error;
  ASSERT_EQ(statement->columns().size(), 3u);
  EXPECT_EQ(statement->columns()[2].width, 8);
  auto result = rows(sql);
  ASSERT_EQ(result.size(), 1u);  // M2 is offline, m3 differs in case
  EXPECT_EQ(result[0][0], pad("HUB1", 32));
  EXPECT_EQ(result[0][1], pad("WNRX4:M1", 32));
  EXPECT_EQ(result[0][2], "04.01.00");
}

TEST_P(StoreTest, CharSemantics) {
  // Trailing blanks do not count, on either side; case does.
  const Names grp1{"DB1", "DB2", "DB_2", "DBX2"};
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE IDNAME = 'GRP1';"), grp1);
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE IDNAME = 'GRP1    ';"), grp1);
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE IDNAME = 'grp1';"), Names{"DB%1"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE IDNAME = ' GRP1';"), Names{});

  // Delivery pads short values and cuts long ones to the column width; the
  // comparison sees the same value that is delivered.
  auto result = rows("SELECT IDNAME, JTPDB FROM VXR.LGOAACT WHERE IDNAME = 'GRP2';");
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0][0], "GRP2    ");
  EXPECT_EQ(result[0][1], "ABCDEFGH");
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = 'ABCDEFGH';"),
            Names{"ABCDEFGH"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = 'ABCDEFGHIJK';"), Names{});
  // Rows come in insertion order.
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT;"),
            (Names{"DB1", "DB2", "DB%1", "DB_2", "DBX2", "ABCDEFGH", "O'B"}));
}

TEST_P(StoreTest, LikeHasOnlyStarAsWildcard) {
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB*';"),
            (Names{"DB1", "DB2", "DB%1", "DB_2", "DBX2"}));
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB%*';"), Names{"DB%1"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB_2';"), Names{"DB_2"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB%';"), Names{});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE '*1';"),
            (Names{"DB1", "DB%1"}));
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'D*B*2';"),
            (Names{"DB2", "DB_2", "DBX2"}));
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'db*';"), Names{});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB?';"), Names{});
  // A pattern without '*' is an equality with blank-insensitive ends.
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB LIKE 'DB1   ';"), Names{"DB1"});
}

TEST_P(StoreTest, QuotesInLiteralsAreValuesNotSql) {
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = 'O''B';"), Names{"O'B"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = 'x'' OR ''1''=''1';"),
            Names{});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = '\"); DROP TABLE x; --';"),
            Names{});
}

TEST_P(StoreTest, IntegersAreInt32NullZeroSaturated) {
  auto result = rows("SELECT JTPGETP FROM VXR.LGOAACT;");
  ASSERT_EQ(result.size(), 7u);
  EXPECT_EQ(asInt(result[0][0]), 10);
  EXPECT_EQ(asInt(result[1][0]), 0);
  EXPECT_EQ(asInt(result[2][0]), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(asInt(result[3][0]), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(asInt(result[5][0]), -3);

  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPGETP = '-3';"), Names{"ABCDEFGH"});
  EXPECT_EQ(firstColumn("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPGETP = '0';"), Names{"DB2"});
  std::string error;
  EXPECT_EQ(failure("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPGETP = 'ten';", error),
            sqlstatus::kSyntaxError);
  EXPECT_NE(error.find("'ten' at position 47"), std::string::npos) << error;
  EXPECT_EQ(failure("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPGETP LIKE '1*';", error),
            sqlstatus::kSyntaxError);
}

TEST_P(StoreTest, PrepareChecksTableAndColumns) {
  std::string error;
  EXPECT_EQ(failure("SELECT JTPDB FROM VXR.NOPE;", error), sqlstatus::kUnknownTable);
  EXPECT_EQ(error, "unknown table \"VXR.NOPE\" at position 19");
  EXPECT_EQ(failure("SELECT JTPDB, FOO FROM VXR.LGOAACT;", error), sqlstatus::kUnknownColumn);
  EXPECT_EQ(error, "unknown column \"FOO\" at position 15 of table VXR.LGOAACT");
  EXPECT_EQ(failure("SELECT JTPDB FROM VXR.LGOAACT WHERE LGOAACT.DSGROUP = 'G';", error),
            sqlstatus::kUnknownColumn);
  EXPECT_EQ(error, "unknown column \"DSGROUP\" at position 45 of table VXR.LGOAACT");
  // Column names are matched as written.
  EXPECT_EQ(failure("SELECT jtpdb FROM VXR.LGOAACT;", error), sqlstatus::kUnknownColumn);
  EXPECT_EQ(failure("SELECT JTPDB FORM VXR.LGOAACT;", error), sqlstatus::kSyntaxError);
  EXPECT_NE(error.find("position 14"), std::string::npos) << error;
}

TEST_P(StoreTest, RoutingChecksTheThruNode) {
  std::string error;
  EXPECT_EQ(
      failure("SELECT JTPDB FROM VXR.LGOAACT AT ('NOPE') WHERE ORIGINNODE = 'WNRX4:M1';", error),
      sqlstatus::kUnknownNode);
  EXPECT_NE(error.find("\"NOPE\""), std::string::npos) << error;
  EXPECT_EQ(
      failure("SELECT JTPDB FROM VXR.LGOAACT AT ('HUBOFF') WHERE ORIGINNODE = 'WNRX4:M1';", error),
      sqlstatus::kNodeOffline);
  EXPECT_NE(error.find("\"HUBOFF\""), std::string::npos) << error;
  // Node names compare as CHAR: full-width names match, case matters.
  EXPECT_EQ(failure("SELECT JTPDB FROM VXR.LGOAACT AT ('hub1');", error), sqlstatus::kUnknownNode);
  EXPECT_EQ(rows("SELECT JTPDB FROM VXR.LGOAACT AT('" + pad("HUB1", 32) + "') WHERE ORIGINNODE ='" +
                 pad("WNRX4:M1", 32) + "' AND LGOAACT.IDNAME = 'GRP2';")
                .size(),
            2u);
}

TEST_P(StoreTest, ResultSetStaysAtEnd) {
  std::unique_ptr<PreparedStatement> statement;
  std::string error;
  ASSERT_EQ(store_->prepare("SELECT JTPDB FROM VXR.LGOAACT WHERE JTPDB = 'DB1';", statement, error),
            sqlstatus::kOk);
  std::unique_ptr<ResultSet> result;
  ASSERT_EQ(statement->open(result, error), sqlstatus::kOk);
  std::vector<std::string> cells;
  EXPECT_EQ(result->next(cells, error), sqlstatus::kOk);
  EXPECT_EQ(result->next(cells, error), sqlstatus::kEndOfData);
  EXPECT_EQ(result->next(cells, error), sqlstatus::kEndOfData);
  // A statement can be opened again, and its rows outlive the store object.
  ASSERT_EQ(statement->open(result, error), sqlstatus::kOk);
  store_.reset();
  EXPECT_EQ(result->next(cells, error), sqlstatus::kOk);
  EXPECT_EQ(cells.at(0), "DB1     ");
}

TEST_P(StoreTest, NodeStatusUpdateSeenByNextQuery) {
  const std::string origList =
      "SELECT NODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND Q7ONLINE = 'Y' "
      "AND PRODUCT = 'XR'   AND NODE LIKE 'GRP1*';";
  const std::string group = pad("GRP1:RX4plex:DSGROUP", 32);
  const std::string affinity = "0020000000000000000000000000000000000000000";
  NodeStatusUpdate update{group, "RX4plex:RX4plex:Skelvane", "Y", "V", "QJ", "04.10.00", affinity,
                          "10"};
  std::string error;
  ASSERT_EQ(store_->updateNodeStatus(update, error), sqlstatus::kOk) << error;
  EXPECT_EQ(firstColumn(origList), Names{"GRP1:RX4plex:DSGROUP"});

  auto full = rows(
      "SELECT NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, PRODUCT, VERSION, HOSTCODE, "
      "AFFINITIES, HOSTLEVEL FROM Q7SRV.INODESTS WHERE NODE = 'GRP1:RX4plex:DSGROUP';");
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(full[0], (std::vector<std::string>{group, pad("RX4plex:RX4plex:Skelvane", 32), group,
                                               "V", "Y", "XR", "04.10.00", "QJ", affinity, "10"}));

  // Offline again: the same row is updated, not a second one added.
  update.online = "N";
  ASSERT_EQ(store_->updateNodeStatus(update, error), sqlstatus::kOk) << error;
  EXPECT_EQ(firstColumn(origList), Names{});
  EXPECT_EQ(rows("SELECT NODE FROM Q7SRV.INODESTS WHERE NODE LIKE 'GRP1*';").size(), 1u);

  // A row stored unpadded is found by its full-width name; routing sees the change.
  NodeStatusUpdate hub{pad("HUBOFF", 32), "*", "Y", "V", "QJ", "04.10.00", affinity, "10"};
  ASSERT_EQ(store_->updateNodeStatus(hub, error), sqlstatus::kOk) << error;
  EXPECT_EQ(rows("SELECT NODE FROM Q7SRV.INODESTS WHERE NODE = 'HUBOFF';").size(), 1u);
  EXPECT_EQ(rows("SELECT JTPDB FROM VXR.LGOAACT AT ('HUBOFF') WHERE JTPDB = 'DB1';").size(), 1u);

  // Values that do not fit are refused rather than cut.
  update.affinity = affinity + "9";
  EXPECT_EQ(store_->updateNodeStatus(update, error), sqlstatus::kStoreFailure);
  EXPECT_NE(error.find("AFFINITIES"), std::string::npos) << error;
  update.node = "   ";
  EXPECT_EQ(store_->updateNodeStatus(update, error), sqlstatus::kStoreFailure);
}

TEST_P(SqliteStoreTest, QueriesLeaveTheFileUnchanged) {
  store_.reset();
  Error openError;
  store_ = SqliteStore::open(dbPath_, openError);
  ASSERT_TRUE(store_) << openError;
  std::string error;
  const std::string before = readFile(dbPath_);
  const auto mtime = fs::last_write_time(dbPath_);

  rows("SELECT THRUNODE, ORIGINNODE, VERSION FROM Q7SRV.INODESTS WHERE Q7ONLINE = 'Y';");
  rows("SELECT JTPDB, JTPGETP FROM VXR.LGOAACT AT ('HUB1') WHERE JTPDB LIKE 'DB*';");
  failure("SELECT JTPDB FROM VXR.LGOAACT AT ('HUBOFF');", error);
  failure("SELECT JTPDB FROM VXR.NOPE;", error);

  EXPECT_EQ(readFile(dbPath_), before);
  EXPECT_EQ(fs::last_write_time(dbPath_), mtime);
  EXPECT_FALSE(fs::exists(dbPath_ + "-journal"));
  EXPECT_FALSE(fs::exists(dbPath_ + "-wal"));
}

TEST_P(SqliteStoreTest, ReadOnlyStoreRefusesUpdates) {
  store_.reset();
  Error openError;
  SqliteStoreOptions options;
  options.readOnly = true;
  store_ = SqliteStore::open(dbPath_, options, openError);
  ASSERT_TRUE(store_) << openError;
  std::string error;
  const std::string before = readFile(dbPath_);
  NodeStatusUpdate update{"GRP9", "*", "Y", "V", "QJ", "04.10.00", "0", "10"};
  EXPECT_EQ(store_->updateNodeStatus(update, error), sqlstatus::kStoreFailure);
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_EQ(rows("SELECT NODE FROM Q7SRV.INODESTS WHERE NODE = 'HUB1';").size(), 1u);
  EXPECT_EQ(readFile(dbPath_), before);
}

TEST_P(SqliteStoreTest, OpenAndCreateFailCleanly) {
  Error error;
  EXPECT_FALSE(SqliteStore::open((dir_ / "missing.db").string(), error));
  EXPECT_EQ(error.status, sqlstatus::kNoDatabase);
  EXPECT_NE(error.text().find("no such file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir_ / "missing.db"));

  const fs::path junk = dir_ / "junk.db";
  std::ofstream(junk, std::ios::binary) << std::string(4096, 'x');
  EXPECT_FALSE(SqliteStore::open(junk.string(), error));
  EXPECT_NE(error.text().find("file is not a database"), std::string::npos) << error;

  // A valid database without the node-status table.
  const fs::path plain = dir_ / "plain.db";
  EXPECT_FALSE(
      SqliteStore::create(plain.string(), "CREATE TABLE \"VXR.T\" (A CHAR(1));", "", error));
  EXPECT_NE(error.text().find("Q7SRV.INODESTS"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(plain));

  // Unsupported column types, a failing script, an existing file.
  const fs::path real = dir_ / "real.db";
  EXPECT_FALSE(SqliteStore::create(
      real.string(), std::string(kSchema) + "CREATE TABLE \"VXR.R\" (X REAL);", "", error));
  EXPECT_NE(error.text().find("VXR.R column X"), std::string::npos) << error;
  const fs::path broken = dir_ / "broken.db";
  EXPECT_FALSE(
      SqliteStore::create(broken.string(), kSchema, "INSERT INTO nope VALUES (1);", error));
  EXPECT_NE(error.text().find("no such table: nope"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(broken));
  EXPECT_FALSE(SqliteStore::create(dbPath_, kSchema, kData, error));
  EXPECT_NE(error.text().find("already exists"), std::string::npos) << error;
  EXPECT_TRUE(SqliteStore::open(dbPath_, error)) << error;
}

TEST_P(StoreTest, SharedByThreads) {
  auto reader = [this](int* seen) {
    for (int i = 0; i < 100; ++i) {
      std::vector<std::vector<std::string>> out;
      std::string error;
      if (run("SELECT JTPDB FROM VXR.LGOAACT AT ('HUB1') WHERE IDNAME = 'GRP1';", out, error) ==
          sqlstatus::kOk) {
        *seen += static_cast<int>(out.size());
      }
    }
  };
  int seenA = 0, seenB = 0, updated = 0;
  std::thread a(reader, &seenA), b(reader, &seenB);
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      std::string error;
      NodeStatusUpdate u{"G" + std::to_string(i % 5), "*", "Y", "V", "QJ", "04.10.00", "0", "10"};
      if (store_->updateNodeStatus(u, error) == sqlstatus::kOk) ++updated;
    }
  });
  a.join();
  b.join();
  writer.join();
  EXPECT_EQ(seenA, 400);
  EXPECT_EQ(seenB, 400);
  EXPECT_EQ(updated, 50);
  EXPECT_EQ(rows("SELECT NODE FROM Q7SRV.INODESTS WHERE NODE LIKE 'G*';").size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, kBothStores, storeKindName);
INSTANTIATE_TEST_SUITE_P(Stores, SqliteStoreTest, ::testing::Values(StoreKind::Sqlite),
                         storeKindName);

// The project's schema (and sample data, when present) load and answer the
// node discovery query.
TEST(SqliteStoreProjectData, SchemaAndSampleLoad) {
#ifdef VXR_SOURCE_DIR
  const fs::path data = fs::path(VXR_SOURCE_DIR) / "data";
#else
  const fs::path data;
#endif
  if (data.empty() || !fs::exists(data / "schema.sql")) GTEST_SKIP() << "no data/schema.sql";
  const std::string sample = fs::exists(data / "sample.sql") ? readFile(data / "sample.sql") : "";
  const fs::path db =
      fs::temp_directory_path() / ("vxr_store_project_" + std::to_string(getpid()) + ".db");
  fs::remove(db);
  Error createError;
  auto store = SqliteStore::create(db.string(), readFile(data / "schema.sql"), sample, createError);
  ASSERT_TRUE(store) << createError;
  std::string error;
  EXPECT_NE(store->tableColumns("VXR.LGOAACT"), nullptr);
  std::unique_ptr<PreparedStatement> statement;
  EXPECT_EQ(store->prepare("SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE "
                           "NODETYPE = 'V' AND Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';",
                           statement, error),
            sqlstatus::kOk)
      << error;
  std::unique_ptr<ResultSet> rows;
  EXPECT_EQ(statement->open(rows, error), sqlstatus::kOk) << error;
  if (!sample.empty()) {
    // Node names sent at full width, trailing blanks and all, route and
    // match through the indexed node-name keys as trimmed names do.
    const std::string blanks(27, ' ');
    ASSERT_EQ(
        store->prepare("SELECT LK_RESOURC FROM VXR.RX4LKCONF AT('TEMSA" + blanks +
                           "') WHERE ORIGINNODE ='WNRX4:RXB1:SYSA" + std::string(17, ' ') + "';",
                       statement, error),
        sqlstatus::kOk)
        << error;
    ASSERT_EQ(statement->open(rows, error), sqlstatus::kOk) << error;
    std::vector<std::string> cells;
    int fetched = 0;
    while (rows->next(cells, error) == sqlstatus::kOk) ++fetched;
    EXPECT_EQ(fetched, 2);
  }
  store.reset();
  rows.reset();
  fs::remove(db);
}

}  // namespace
}  // namespace vxrhost
