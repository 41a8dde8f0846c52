// VXRGOASL through the host core: the member query under each filter, the
// space summary and the database summary (GOBJECTA) built from the same
// member rows, and requests that end without rows.
#include "member_fixture.h"
#include "vxrgoasl.h"

namespace {

using vxrhost::Filter;
using vxrtest::Cells;
using vxrtest::text;

Cells space(const std::string& db, const std::string& sp, const std::string& type, int vols,
            int dsns, int exts, int mext, const std::string& ts = "1261208103000900") {
  return {{"JAPDB", db},
          {"JAPSPN", sp},
          {"JAPTYPE", type},
          {"JAPVOLS", std::to_string(vols)},
          {"JAPDSNS", std::to_string(dsns)},
          {"JAPEXTS", std::to_string(exts)},
          {"JAPEXTR", "99"},
          {"JAPMEXT", std::to_string(mext)},
          {"TIMESTAMP", ts}};
}

class GoasTest : public vxrtest::MemberFixture {
 protected:
  GoasTest() : MemberFixture("VXRGOASL", "VXR.LOBJECTS") {}
  std::vector<GoasRow> spaces(const std::vector<Filter>& filters = {}) {
    last_ = run("GROUPOBJSPACE", filters, sizeof(GoasRow));
    std::vector<GoasRow> rows;
    for (size_t i = 0; i < last_.rows.size(); ++i) rows.push_back(last_.row<GoasRow>(i));
    return rows;
  }
  std::vector<GoadRow> databases(const std::vector<Filter>& filters = {}) {
    last_ = run("GOBJECTA", filters, sizeof(GoadRow));
    std::vector<GoadRow> rows;
    for (size_t i = 0; i < last_.rows.size(); ++i) rows.push_back(last_.row<GoadRow>(i));
    return rows;
  }
  vxrhost::RunResult last_;
};

TEST_F(GoasTest, MemberQueryUnderEachFilter) {
  member(1, {space("DB1", "SP1", "TSP", 1, 1, 1, 1)});
  const struct {
    std::vector<Filter> filters;
    std::string conditions;
  } cases[] = {
      {{}, ";"},
      {{{1, "DSGROUP", "GRP1"}}, " AND LOBJECTS.DSGROUP = 'GRP1';"},
      {{{1, "DSGROUP", "GRP1"}, {1, "JAPDB", "DB1"}, {1, "JAPSPN", "SP1"}},
       " AND LOBJECTS.DSGROUP = 'GRP1' AND LOBJECTS.JAPDB = 'DB1' AND LOBJECTS.JAPSPN = 'SP1';"},
      // The database and space conditions need a group filter.
      {{{1, "IDNAME", "GRP1"}, {1, "JAPDB", "DB1"}}, " AND LOBJECTS.DSGROUP = 'GRP1';"},
      {{{1, "JAPDB", "DB1"}}, ";"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}, " AND LOBJECTS.DSGROUP = 'GRP1';"},
      // Other operators do not count; values longer than their slot are cut.
      {{{2, "DSGROUP", "GRP1"}}, ";"},
      {{{1, "DSGROUP", "GROUPLONGER"}, {1, "JAPDB", "O'NEILL"}},
       " AND LOBJECTS.DSGROUP = 'GROUPLON' AND LOBJECTS.JAPDB = 'O''NEILL';"},
  };
  for (const auto& c : cases) {
    for (const char* table : {"GROUPOBJSPACE", "GOBJECTA"}) {
      run(table, c.filters, sizeof(GoasRow));
      EXPECT_EQ(conditions(), std::vector<std::string>{c.conditions}) << table << c.conditions;
    }
  }
  run("GOBJECTA", {}, sizeof(GoadRow));
  EXPECT_EQ(memberSql().at(0),
            "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JAPDB,JAPSPN,JAPTYPE,JAPBP,"
            "JAPVOLS,JAPDSNS,JAPEXTS,JAPEXTR,JAPMEXT FROM VXR.LOBJECTS AT ('THRU1') WHERE "
            "ORIGINNODE ='WNRX4:RX1:SYS';");
}

TEST_F(GoasTest, SpaceSummaryMergesASpaceOverItsMembers) {
  member(1, {space("DB1", "SP1", "TSP", 2, 4, 18, 7, "1261208103000300"),
             space("DB1", "IX1", "INDX", 1, 1, 2, 2)});
  member(2, {space("DB1", "SP1", "TSP", 3, 5, 19, 9, "1261208103000100")});
  member(3, {space("DB1", "SP1", "TSP", 4, 6, 20, 8, "1261208103000200")});
  std::vector<GoasRow> rows = spaces();
  ASSERT_EQ(rows.size(), 2u);
  // Newest key first; member 3 is queried first and its figures stand.
  EXPECT_EQ(text(rows[0].JAPSPN), "IX1");
  EXPECT_EQ(rows[0].NUMRX4, 1);
  EXPECT_EQ(text(rows[1].JAPSPN), "SP1");
  EXPECT_EQ(rows[1].NUMRX4, 3);
  EXPECT_EQ(text(rows[1].RX4ID), "RX3");
  EXPECT_EQ(rows[1].JAPVOLS, 4);
  EXPECT_EQ(rows[1].JAPEXTR, 99);
  EXPECT_EQ(rows[1].JAPMEXT, 9);
  EXPECT_EQ(text(rows[1].TIMESTAMP), "1261208103000100");
  EXPECT_EQ(text(rows[1].ORIGINNODE), "GRP1:RX4plex:DSGROUP");

  // A space filter: every member row is a row of its own.
  rows = spaces({{1, "DSGROUP", "GRP1"}, {1, "JAPSPN", "SP1"}});
  ASSERT_EQ(rows.size(), 4u);
  for (const GoasRow& row : rows) EXPECT_EQ(row.NUMRX4, 1);

  // An ORIGINNODE filter names every row.
  rows = spaces({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP:X"}});
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(text(rows[0].ORIGINNODE), "GRP1:RX4plex:DSGROUP:X");
}

TEST_F(GoasTest, DatabaseSummaryCountsSpacesAndMembersAndAddsEveryRow) {
  member(1, {space("DB1", "SP1", "TSP", 2, 1, 4, 3, "1261208103000200"),
             space("DB1", "IX1", "INDX", 1, 1, 2, 2), space("DB2", "SP9", "TSP", 1, 0, 5, 1)});
  member(2,
         {space("DB1", "SP1", "TSP", 2, 1, 4, 6, "1261208103000100"),
          space("DB1", "IX2", "PTIX", 1, 0, 0, 1), space("DB3", "SP3", "TSP", 1, 1, 400000000, 1)});
  std::vector<GoadRow> rows = databases();
  ASSERT_EQ(rows.size(), 3u);
  // Newest key first: member 2 is queried first (DB1, DB3), then DB2.
  EXPECT_EQ(text(rows[0].JAPDB), "DB2");
  EXPECT_EQ(rows[0].JAPEXTR, 0);  // no data sets
  EXPECT_EQ(text(rows[1].JAPDB), "DB3");
  EXPECT_EQ(rows[1].JAPEXTR, INT32_MAX);  // ten times the extents, saturated
  const GoadRow& db1 = rows[2];
  EXPECT_EQ(text(db1.JAPDB), "DB1");
  EXPECT_EQ(db1.NUMRX4, 2);
  EXPECT_EQ(db1.SPNCount, 3);  // SP1 counted once
  EXPECT_EQ(db1.TSCount, 1);
  EXPECT_EQ(db1.IXCount, 2);  // INDX and PTIX
  EXPECT_EQ(db1.JAPVOLS, 6);  // SP1 added from both members
  EXPECT_EQ(db1.JAPDSNS, 3);
  EXPECT_EQ(db1.JAPEXTS, 10);
  EXPECT_EQ(db1.JAPEXTR, 33);
  EXPECT_EQ(db1.JAPMEXT, 6);
  EXPECT_EQ(text(db1.TIMESTAMP), "1261208103000100");
  EXPECT_EQ(text(db1.RX4ID), "RX2");
}

TEST_F(GoasTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {space("DB1", "SP1", "TSP", 1, 1, 1, 1)});
  member(2, {space("DB2", "SP2", "TSP", 1, 1, 1, 1)}).failOpen(8);
  for (const char* table : {"GROUPOBJSPACE", "GOBJECTA"}) {
    const vxrhost::RunResult result = run(table, {}, sizeof(GoasRow));
    EXPECT_TRUE(result.rows.empty()) << table;
    EXPECT_EQ(result.lastProcessStatus(), 62);
  }
  member(3, {space("DB3", "SP3", "TSP", 1, 1, 1, 1)}).intColumn("EXTRA");
  store_.route("THRU2").failOpen(0);
  for (const char* table : {"GROUPOBJSPACE", "GOBJECTA"}) {
    const vxrhost::RunResult result = run(table, {}, sizeof(GoasRow));
    EXPECT_TRUE(result.rows.empty()) << table;
    EXPECT_EQ(result.lastProcessStatus(), 62);
  }
}

}  // namespace
