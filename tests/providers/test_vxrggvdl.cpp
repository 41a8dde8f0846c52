// VXRGGVDL through the host core: the member query under each filter, the
// merges by volume and by database with two and three members (sums,
// averages over the members holding the database, largest rates), rows left
// unmerged keeping their own figures, and requests that end without rows.
#include "member_fixture.h"
#include "vxrggvdl.h"

namespace {

using vxrhost::Filter;
using vxrtest::Cells;
using vxrtest::text;

Cells volume(const std::string& vol, const std::string& db, const std::string& sp, int tior,
             int use = 30, int tio = 100, const std::string& ts = "1261208103000900") {
  return {{"JVPVOL", vol},
          {"JVPDB", db},
          {"JVPSP", sp},
          {"JVPDSNS", "2"},
          {"JVPEXTS", "5"},
          {"JVPVUSE", std::to_string(use)},
          {"JVPTIO", std::to_string(tio)},
          {"JVPRIO", "60"},
          {"JVPWIO", "40"},
          {"JVPTIOR", std::to_string(tior)},
          {"JVPRIOR", std::to_string(tior * 2)},
          {"JVPWIOR", std::to_string(tior * 3)},
          {"TIMESTAMP", ts}};
}

class GgvdTest : public vxrtest::MemberFixture {
 protected:
  GgvdTest() : MemberFixture("VXRGGVDL", "VXR.LGOAVDB") {}
  std::vector<GgvdRow> rows(const std::vector<Filter>& filters = {}) {
    last_ = run("GROUPVOLDB", filters, sizeof(GgvdRow));
    std::vector<GgvdRow> out;
    for (size_t i = 0; i < last_.rows.size(); ++i) out.push_back(last_.row<GgvdRow>(i));
    return out;
  }
  vxrhost::RunResult last_;
};

TEST_F(GgvdTest, MemberQueryUnderEachFilter) {
  member(1, {volume("PAY001", "DB1", "SP1", 5)});
  const std::string group = " AND       LGOAVDB.DSGROUP = 'GRP1'";
  const struct {
    std::vector<Filter> filters;
    std::string conditions;
  } cases[] = {
      {{}, ";"},
      {{{1, "DSGROUP", "GRP1"}, {1, "JVPVOL", "PAY001"}, {1, "JVPDB", "DB1"}, {1, "JVPSP", "SP1"}},
       group +
           " AND   LGOAVDB.JVPVOL  = 'PAY001' AND   LGOAVDB.JVPDB   = 'DB1' AND   LGOAVDB.JVPSP  "
           " = 'SP1';"},
      // IDNAME sets the group condition and allows the others.
      {{{1, "IDNAME", "GRP1"}}, group + ";"},
      {{{1, "IDNAME", "GRP1"}, {1, "JVPDB", "DB1"}}, group + " AND   LGOAVDB.JVPDB   = 'DB1';"},
      // ORIGINNODE gives the group condition alone.
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "JVPVOL", "PAY001"}}, group + ";"},
      {{{1, "JVPVOL", "PAY001"}}, ";"},
      // A volume takes at most 7 characters, other values their slot's 8.
      {{{1, "DSGROUP", "GRP1LONGER"}, {1, "JVPVOL", "PAY0012345"}},
       " AND       LGOAVDB.DSGROUP = 'GRP1LONG' AND   LGOAVDB.JVPVOL  = 'PAY0012';"},
  };
  for (const auto& c : cases) {
    rows(c.filters);
    EXPECT_EQ(conditions(), std::vector<std::string>{c.conditions}) << c.conditions;
  }
  EXPECT_EQ(memberSql().at(0),
            "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVPVOL,JVPDB,JVPSP,JVPDSNS,"
            "JVPEXTS,JVPVUSE,JVPTIO,JVPRIO,JVPWIO,JVPTIOR,JVPRIOR,JVPWIOR FROM VXR.LGOAVDB AT "
            "('THRU1') WHERE ORIGINNODE ='WNRX4:RX1:SYS' AND       LGOAVDB.DSGROUP = 'GRP1LONG' "
            "AND   LGOAVDB.JVPVOL  = 'PAY0012';");
}

TEST_F(GgvdTest, MergedRowsAreAveragedOverTheMembersHoldingTheDatabase) {
  member(1, {volume("PAY001", "DB1", "SP1", 5, 31, 100, "1261208103000300"),
             volume("PAY001", "DB1", "SP2", 1)});
  member(2, {volume("PAY001", "DB1", "SP1", 6, 40, 2147483600, "1261208103000100")});
  // Volume filter, two members: one row per group, volume and database.
  std::vector<GgvdRow> out = rows({{1, "JVPVOL", "PAY001"}});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].RX4COUNT, 2);
  EXPECT_EQ(out[0].JVPTIOR, 6);         // (5 + 1 + 6) / 2
  EXPECT_EQ(out[0].JVPMTIOR, 6);        // largest of 5, 1, 6
  EXPECT_EQ(out[0].JVPMWIOR, 18);       // largest JVPWIOR
  EXPECT_EQ(out[0].JVPVUSE, 50);        // (31 + 30 + 40) / 2
  EXPECT_EQ(out[0].JVPTIO, INT32_MAX);  // the sum saturates
  EXPECT_EQ(out[0].JVPDSNS, 6);
  EXPECT_EQ(text(out[0].TIMESTAMP), "1261208103000100");
  EXPECT_EQ(text(out[0].RX4ID), "RX2");  // the first merged row's

  // Database filter: the space is part of the key; three members.
  member(3, {volume("PAY001", "DB1", "SP1", 10)});
  out = rows({{1, "JVPDB", "DB1"}});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(text(out[0].JVPSP), "SP2");
  EXPECT_EQ(out[0].RX4COUNT, 3);
  EXPECT_EQ(out[0].JVPTIOR, 0);  // 1 / 3
  EXPECT_EQ(out[0].JVPMTIOR, 1);
  EXPECT_EQ(out[1].JVPTIOR, 7);  // (10 + 6 + 5) / 3
  EXPECT_EQ(out[1].JVPMRIOR, 20);
}

TEST_F(GgvdTest, UnmergedRowsKeepTheirOwnFigures) {
  const std::vector<std::vector<Filter>> unmerged = {{},
                                                     {{1, "JVPDB", "DB1"}, {1, "JVPSP", "SP1"}}};
  member(1, {volume("PAY001", "DB1", "SP1", 9, 30)});
  for (const std::vector<Filter>& filters : unmerged) {
    std::vector<GgvdRow> out = rows(filters);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].RX4COUNT, 1);
    EXPECT_EQ(out[0].JVPTIOR, 9);
  }
  member(2, {volume("PAY001", "DB1", "SP1", 9, 30)});
  member(3, {volume("PAY001", "DB1", "SP1", 9, 30)});
  for (const std::vector<Filter>& filters : unmerged) {
    std::vector<GgvdRow> out = rows(filters);
    ASSERT_EQ(out.size(), 3u);
    for (const GgvdRow& row : out) {
      EXPECT_EQ(row.RX4COUNT, 3);
      EXPECT_EQ(row.JVPTIOR, 9);
      EXPECT_EQ(row.JVPWIOR, 27);
      EXPECT_EQ(row.JVPVUSE, 30);
      EXPECT_EQ(row.JVPMTIOR, 9);
    }
  }
}

TEST_F(GgvdTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {volume("PAY001", "DB1", "SP1", 5)});
  member(2, {volume("PAY002", "DB2", "SP2", 5)}).failOpen(8);
  EXPECT_TRUE(rows().empty());
  EXPECT_EQ(last_.lastProcessStatus(), 62);
  store_.route("THRU2").failOpen(0).intColumn("EXTRA");
  EXPECT_TRUE(rows({{1, "JVPVOL", "PAY001"}}).empty());
  EXPECT_EQ(last_.lastProcessStatus(), 62);
}

}  // namespace
