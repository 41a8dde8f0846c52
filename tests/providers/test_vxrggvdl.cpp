// VXRGGVDL through the host core: the member query under each filter, the
// merges by volume and by database with two and three members (sums,
// averages over the members holding the database, largest rates), rows left
// unmerged keeping their own figures, and requests that end without rows.
// The scenarios are goldens in golden/vxrggvdl/.
#include "module_fixture.h"
#include "vxrggvdl.h"

namespace {

vxrtest::Row volume(const std::string& vol, const std::string& db, const std::string& sp, int tior,
                    int use = 30, int tio = 100, const std::string& ts = "1261208103000900") {
  return {{"JVPVOL", vol},  {"JVPDB", db},     {"JVPSP", sp},         {"JVPDSNS", 2},
          {"JVPEXTS", 5},   {"JVPVUSE", use},  {"JVPTIO", tio},       {"JVPRIO", 60},
          {"JVPWIO", 40},   {"JVPTIOR", tior}, {"JVPRIOR", tior * 2}, {"JVPWIOR", tior * 3},
          {"TIMESTAMP", ts}};
}

class GgvdTest : public vxrtest::ModuleFixture {
 protected:
  GgvdTest() : ModuleFixture(kGgvdTable, "VXR.LGOAVDB") {
    defaults_ = {{"IDNAME", "GRP1"}, {"DSGROUP", "GRP1"}, {"TIMESTAMP", "1261208103000000"}};
  }
};

TEST_F(GgvdTest, MemberQueryUnderEachFilter) {
  member(1, {volume("PAY001", "DB1", "SP1", 5)});
  expectRunsGolden(
      "member-query-under-each-filter",
      {{},
       {{1, "DSGROUP", "GRP1"}, {1, "JVPVOL", "PAY001"}, {1, "JVPDB", "DB1"}, {1, "JVPSP", "SP1"}},
       // IDNAME sets the group condition and allows the others.
       {{1, "IDNAME", "GRP1"}},
       {{1, "IDNAME", "GRP1"}, {1, "JVPDB", "DB1"}},
       // ORIGINNODE gives the group condition alone.
       {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "JVPVOL", "PAY001"}},
       {{1, "JVPVOL", "PAY001"}},
       // A volume takes at most 7 characters, other values their slot's 8.
       {{1, "DSGROUP", "GRP1LONGER"}, {1, "JVPVOL", "PAY0012345"}}});
}

// Volume filter, two members: one row per group, volume and database,
// averaged over the members (sums saturate); then a database filter with a
// third member: the space is part of the key.
TEST_F(GgvdTest, MergedRowsAreAveragedOverTheMembersHoldingTheDatabase) {
  member(1, {volume("PAY001", "DB1", "SP1", 5, 31, 100, "1261208103000300"),
             volume("PAY001", "DB1", "SP2", 1)});
  member(2, {volume("PAY001", "DB1", "SP1", 6, 40, 2147483600, "1261208103000100")});
  run({{1, "JVPVOL", "PAY001"}});
  expectGolden("volume-filter-merges-two-members");
  member(3, {volume("PAY001", "DB1", "SP1", 10)});
  run({{1, "JVPDB", "DB1"}});
  expectGolden("database-filter-merges-three-members-per-space");
}

// Without filters or under a space filter, one member's rows and then three
// members' equal rows stand alone, each with the member count.
TEST_F(GgvdTest, UnmergedRowsKeepTheirOwnFigures) {
  const std::vector<vxrtest::FilterSet> unmerged = {{}, {{1, "JVPDB", "DB1"}, {1, "JVPSP", "SP1"}}};
  member(1, {volume("PAY001", "DB1", "SP1", 9, 30)});
  expectRunsGolden("unmerged-rows-of-one-member", unmerged);
  member(2, {volume("PAY001", "DB1", "SP1", 9, 30)});
  member(3, {volume("PAY001", "DB1", "SP1", 9, 30)});
  expectRunsGolden("unmerged-rows-of-three-members", unmerged);
}

TEST_F(GgvdTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {volume("PAY001", "DB1", "SP1", 5)});
  member(2, {volume("PAY002", "DB2", "SP2", 5)}).failOpen(8);
  run();
  expectGolden("a-failing-member-withholds-every-row");
  store_.route("THRU2").failOpen(0).intColumn("EXTRA");
  run({{1, "JVPVOL", "PAY001"}});
  expectGolden("a-column-too-many-withholds-every-row");
}

}  // namespace
