// VXRGOASL through the host core: the member query under each filter, the
// space summary and the database summary (GOBJECTA) built from the same
// member rows, and requests that end without rows. The scenarios are
// goldens in golden/vxrgoasl/.
#include "module_fixture.h"
#include "vxrgoasl.h"

namespace {

vxrtest::Row space(const std::string& db, const std::string& sp, const std::string& type, int vols,
                   int dsns, int exts, int mext, const std::string& ts = "1261208103000900") {
  return {{"JAPDB", db},     {"JAPSPN", sp},    {"JAPTYPE", type},
          {"JAPVOLS", vols}, {"JAPDSNS", dsns}, {"JAPEXTS", exts},
          {"JAPEXTR", 99},   {"JAPMEXT", mext}, {"TIMESTAMP", ts}};
}

class GoasTest : public vxrtest::ModuleFixture {
 protected:
  GoasTest() : ModuleFixture(kGoasTable, "VXR.LOBJECTS") {
    defaults_ = {{"IDNAME", "GRP1"}, {"DSGROUP", "GRP1"}, {"TIMESTAMP", "1261208103000000"}};
  }
  // Both tables, kept as goldens <name>-spaces and <name>-databases.
  void expectBothTables(const std::string& name, const std::vector<vxrtest::FilterSet>& cases) {
    use(kGoasTable);
    expectRunsGolden(name + "-spaces", cases);
    use(kGoadTable);
    expectRunsGolden(name + "-databases", cases);
  }
};

// Both tables send the same query.
TEST_F(GoasTest, MemberQueryUnderEachFilter) {
  member(1, {space("DB1", "SP1", "TSP", 1, 1, 1, 1)});
  expectBothTables("member-query-under-each-filter",
                   {{},
                    {{1, "DSGROUP", "GRP1"}},
                    {{1, "DSGROUP", "GRP1"}, {1, "JAPDB", "DB1"}, {1, "JAPSPN", "SP1"}},
                    // The database and space conditions need a group filter.
                    {{1, "IDNAME", "GRP1"}, {1, "JAPDB", "DB1"}},
                    {{1, "JAPDB", "DB1"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}},
                    // Other operators do not count; values longer than their slot are cut.
                    {{2, "DSGROUP", "GRP1"}},
                    {{1, "DSGROUP", "GROUPLONGER"}, {1, "JAPDB", "O'NEILL"}}});
}

// Newest key first; member 3 is queried first and its figures stand, with
// the earliest time. A space filter makes every member row a row of its
// own; an ORIGINNODE filter names every row.
TEST_F(GoasTest, SpaceSummaryMergesASpaceOverItsMembers) {
  member(1, {space("DB1", "SP1", "TSP", 2, 4, 18, 7, "1261208103000300"),
             space("DB1", "IX1", "INDX", 1, 1, 2, 2)});
  member(2, {space("DB1", "SP1", "TSP", 3, 5, 19, 9, "1261208103000100")});
  member(3, {space("DB1", "SP1", "TSP", 4, 6, 20, 8, "1261208103000200")});
  expectRunsGolden("space-summary-merges-a-space-over-its-members",
                   {{},
                    {{1, "DSGROUP", "GRP1"}, {1, "JAPSPN", "SP1"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP:X"}}});
}

// Newest key first: member 2 is queried first (DB1, DB3), then DB2. DB1
// counts SP1 once, INDX and PTIX as indexes, and adds up every row; DB2
// has no data sets (ratio 0), DB3's ratio saturates.
TEST_F(GoasTest, DatabaseSummaryCountsSpacesAndMembersAndAddsEveryRow) {
  member(1, {space("DB1", "SP1", "TSP", 2, 1, 4, 3, "1261208103000200"),
             space("DB1", "IX1", "INDX", 1, 1, 2, 2), space("DB2", "SP9", "TSP", 1, 0, 5, 1)});
  member(2,
         {space("DB1", "SP1", "TSP", 2, 1, 4, 6, "1261208103000100"),
          space("DB1", "IX2", "PTIX", 1, 0, 0, 1), space("DB3", "SP3", "TSP", 1, 1, 400000000, 1)});
  use(kGoadTable);
  run();
  expectGolden("database-summary-counts-spaces-and-members");
}

TEST_F(GoasTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {space("DB1", "SP1", "TSP", 1, 1, 1, 1)});
  member(2, {space("DB2", "SP2", "TSP", 1, 1, 1, 1)}).failOpen(8);
  expectBothTables("a-failing-member-withholds-every-row", {{}});
  member(3, {space("DB3", "SP3", "TSP", 1, 1, 1, 1)}).intColumn("EXTRA");
  store_.route("THRU2").failOpen(0);
  expectBothTables("a-column-too-many-withholds-every-row", {{}});
}

}  // namespace
