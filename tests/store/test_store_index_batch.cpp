// The CHAR key index and batches of node-status updates.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "vxrhost/sqlite_store.h"

namespace vxrhost {
namespace {

namespace fs = std::filesystem;

const char* const kTables = R"sql(
CREATE TABLE "Q7SRV.INODESTS" (NODE CHAR(32), THRUNODE CHAR(32), ORIGINNODE CHAR(32),
  NODETYPE CHAR(1), Q7ONLINE CHAR(1), PRODUCT CHAR(2), VERSION CHAR(8), HOSTCODE CHAR(2),
  AFFINITIES CHAR(43), HOSTLEVEL CHAR(2));
CREATE TABLE "VXR.T" (ORIGINNODE CHAR(4), N INTEGER);
)sql";

const char* const kIndexes = R"sql(
CREATE INDEX "Q7SRV.INODESTS:NODE" ON "Q7SRV.INODESTS"
  (ifnull(rtrim(substr(CAST(NODE AS BLOB), 1, 32)), ''));
CREATE INDEX "VXR.T:ORIGINNODE" ON "VXR.T" ( IFNULL(rtrim(substr(CAST("ORIGINNODE" AS BLOB),1,4)),'') );
)sql";

// Values that differ only in what the comparison ignores or keeps: blanks,
// the width cut (in bytes, even inside a UTF-8 character), NULL, numbers,
// blobs, quotes.
const char* const kRows = R"sql(
INSERT INTO "Q7SRV.INODESTS" (NODE, Q7ONLINE) VALUES ('HUB', 'Y'), ('HUB  ', 'N'), ('OFF', 'N');
INSERT INTO "VXR.T" VALUES ('AB', 1), ('AB  ', 2), (' AB', 3), ('ABCDE', 4), ('ABCD', 5),
  (NULL, 6), ('', 7), ('   ', 8), (12, 9), ('12', 10), (x'41420000', 11), ('ééé', 12),
  (CAST('ééé' AS BLOB), 13), ('O''B', 14), ('ab', 15), (x'4142', 16);
)sql";

class KeyIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vxr_index_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    vxrhost::Error error;
    plain_ = SqliteStore::create((dir_ / "plain.db").string(), kTables, kRows, error);
    ASSERT_TRUE(plain_) << error;
    indexed_ = SqliteStore::create((dir_ / "indexed.db").string(), std::string(kTables) + kIndexes,
                                   kRows, error);
    ASSERT_TRUE(indexed_) << error;
  }
  void TearDown() override {
    plain_.reset();
    indexed_.reset();
    fs::remove_all(dir_);
  }

  static std::vector<std::string> answer(SqliteStore& store, const std::string& sql) {
    std::vector<std::string> out;
    std::unique_ptr<PreparedStatement> statement;
    std::unique_ptr<ResultSet> rows;
    std::string error;
    int32_t status = store.prepare(sql, statement, error);
    if (status == sqlstatus::kOk) status = statement->open(rows, error);
    if (status != sqlstatus::kOk) return {"status " + std::to_string(status) + ": " + error};
    std::vector<std::string> cells;
    while ((status = rows->next(cells, error)) == sqlstatus::kOk) {
      std::string row;
      for (const auto& c : cells) row += c + "|";
      out.push_back(row);
    }
    out.push_back("end " + std::to_string(status));
    return out;
  }

  fs::path dir_;
  std::unique_ptr<SqliteStore> plain_, indexed_;
};

TEST_F(KeyIndexTest, LookupAnswersAsTheScan) {
  const char* const literals[] = {"AB",  "AB   ",  " AB", "ABCD", "ABCDE", "",    "    ", "12",
                                  "ééé", "éé\xc3", "éé",  "O''B", "ab",    "AB*", "A"};
  for (const char* literal : literals) {
    for (const char* at : {"", " AT ('HUB')", " AT ('HUB   ')", " AT ('OFF')", " AT ('NONE')"}) {
      const std::string sql = std::string("SELECT ORIGINNODE, N FROM VXR.T") + at +
                              " WHERE ORIGINNODE = '" + literal + "' AND N = '" + "1" + "'";
      const std::string all =
          std::string("SELECT N FROM VXR.T") + at + " WHERE ORIGINNODE = '" + literal + "';";
      EXPECT_EQ(answer(*indexed_, all), answer(*plain_, all)) << all;
      EXPECT_EQ(answer(*indexed_, sql), answer(*plain_, sql)) << sql;
    }
  }
  EXPECT_EQ(answer(*indexed_, "SELECT N FROM VXR.T WHERE ORIGINNODE = 'AB';").size(), 4u);

  std::vector<std::string> steps;
  std::string error;
  ASSERT_EQ(
      indexed_->queryPlan("SELECT N FROM VXR.T AT ('HUB') WHERE ORIGINNODE = 'AB'", steps, error),
      sqlstatus::kOk)
      << error;
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_NE(steps[0].find("USING INDEX VXR.T:ORIGINNODE"), std::string::npos) << steps[0];
  ASSERT_EQ(plain_->queryPlan("SELECT N FROM VXR.T WHERE ORIGINNODE = 'AB'", steps, error),
            sqlstatus::kOk);
  EXPECT_NE(steps.at(0).find("SCAN"), std::string::npos) << steps[0];
}

// A batch of node-status updates is one transaction: all of it or none.
TEST_F(KeyIndexTest, NodeStatusBatchLandsWholeOrNotAtAll) {
  const std::string nodes = "SELECT NODE, Q7ONLINE FROM Q7SRV.INODESTS;";
  const auto before = answer(*indexed_, nodes);
  auto update = [](std::string node, std::string online) {
    return NodeStatusUpdate{node, "*", online, "V", "QJ", "04.10.00", "0", "10"};
  };
  std::string error;

  // A bad value anywhere refuses the batch before anything is written.
  EXPECT_EQ(indexed_->applyNodeStatusBatch(
                {update("G1", "Y"), update("HUB", "N"), update("G2", "TOOLONG")}, error),
            sqlstatus::kStoreFailure);
  EXPECT_NE(error.find("Q7ONLINE"), std::string::npos) << error;
  EXPECT_EQ(answer(*indexed_, nodes), before);

  // Another connection holds the write lock: the batch gives up after one
  // overall wait and changes nothing.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "indexed.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(indexed_->applyNodeStatusBatch({update("G1", "Y"), update("HUB", "N")}, error),
            sqlstatus::kStoreFailure);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kNodeStatusLockWaitMs - 100));
  EXPECT_LT(waited, std::chrono::milliseconds(kNodeStatusLockWaitMs + 1500));
  EXPECT_NE(error.find("none of the 2 updates"), std::string::npos) << error;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(answer(*indexed_, nodes), before);

  // Free again: both land; "HUB" matches its padded twin as well.
  ASSERT_EQ(indexed_->applyNodeStatusBatch({update("G1", "Y"), update("HUB", "N")}, error),
            sqlstatus::kOk)
      << error;
  auto after = answer(*indexed_, nodes);
  EXPECT_EQ(after.size(), before.size() + 1);
  EXPECT_EQ(answer(*indexed_, "SELECT NODE FROM Q7SRV.INODESTS WHERE Q7ONLINE = 'Y';").size(),
            2u);  // G1 and the end line
}

}  // namespace
}  // namespace vxrhost
