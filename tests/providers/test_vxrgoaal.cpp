// VXRGOAAL through the host core: the member queries it sends, how it merges
// the members' object-activity rows under each filter, how it finishes each
// row (averaged rates, getpages per read, shares of the group totals), and
// how a request ends when something fails. The merge scenarios are goldens
// in golden/vxrgoaal/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_fixture.h"
#include "vxrgoaal.h"

namespace {

using vxrhost::Filter;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,"
    "JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR";

// One member row of VXR.LGOAACT. An empty rx4id is the member's own.
struct Activity {
  std::string idname = "GRP1";
  std::string dsgroup = "GRP1";
  std::string db = "DB1";
  std::string sp = "SP1";
  std::string timestamp = "1240101120000000";
  std::string rx4id = "";
  int32_t getp = 0, synr = 0, pref = 0, asyw = 0, othw = 0;
  int32_t pcgp = 0, pcio = 0;
  int32_t gpr = 0, syr = 0, prr = 0, asr = 0, otr = 0;
  int32_t rior = 0;
};

vxrtest::Row cellsOf(const Activity& a) {
  vxrtest::Row row = {{"IDNAME", a.idname}, {"DSGROUP", a.dsgroup},     {"JTPDB", a.db},
                      {"JTPSP", a.sp},      {"TIMESTAMP", a.timestamp}, {"JTPGETP", a.getp},
                      {"JTPSYNR", a.synr},  {"JTPPREF", a.pref},        {"JTPASYW", a.asyw},
                      {"JTPOTHW", a.othw},  {"JTPPCGP", a.pcgp},        {"JTPPCIO", a.pcio},
                      {"JTPGPR", a.gpr},    {"JTPSYR", a.syr},          {"JTPPRR", a.prr},
                      {"JTPASR", a.asr},    {"JTPOTR", a.otr},          {"JTPRIOR", a.rior}};
  if (!a.rx4id.empty()) row.push_back({"RX4ID", a.rx4id});
  return row;
}

class GoaaTest : public vxrtest::ModuleFixture {
 protected:
  GoaaTest() : ModuleFixture(kGoaaTable, "VXR.LGOAACT") {}

  // Member n: thru node THRUn, origin node WNRX4:RXAn:SYSA, RX4ID RXAn.
  // Members added later are queried first (newest node first).
  ScriptedStore::Script& member(int n, const std::vector<Activity>& rows,
                                vxrtest::Reach reach = {}) {
    std::vector<vxrtest::Row> named;
    for (const Activity& a : rows) named.push_back(cellsOf(a));
    return ModuleFixture::member(n, named, std::move(reach));
  }

  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LGOAACT AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='" + origin(n) + "'" + conditions + ";";
  }

  // A merge scenario: the members (1, 2, ...) and the filters, kept as a golden.
  void scenario(const std::string& name, const std::vector<std::vector<Activity>>& members,
                const std::vector<Filter>& filters) {
    for (size_t i = 0; i < members.size(); ++i) member(static_cast<int>(i) + 1, members[i]);
    run(filters);
    expectGolden(name);
  }
};

// ---------------------------------------------------------------------------
// Member queries

TEST_F(GoaaTest, MemberQueryIsExactByteForByte) {
  member(1, {{}}, {.thru = "TEMSA"});
  RunResult result = run({{1, "DSGROUP", "GRP1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  EXPECT_EQ(memberSql(),
            std::vector<std::string>{
                "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,"
                "JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,"
                "JTPOTR,JTPRIOR FROM VXR.LGOAACT AT ('TEMSA') WHERE ORIGINNODE ='WNRX4:RXA1:SYSA'"
                " AND LGOAACT.DSGROUP = 'GRP1';"});
}

TEST_F(GoaaTest, EveryMemberIsAskedNewestNodeFirst) {
  member(1, {});
  member(2, {});
  member(3, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(memberSql(), (std::vector<std::string>{sqlFor(3, ""), sqlFor(2, ""), sqlFor(1, "")}));
}

TEST_F(GoaaTest, FiltersAddTheirConditionsTrimmedAndQuoted) {
  member(1, {});
  expectRunsGolden(
      "filters-add-their-conditions-trimmed-and-quoted",
      {{},
       {{1, "DSGROUP", "GRP1"}},
       {{1, "IDNAME", "GRP1    "}},
       // DSGROUP and IDNAME write the same value; the later one stands.
       {{1, "DSGROUP", "GRPX"}, {1, "IDNAME", "GRP1"}},
       // Database and space conditions follow the group's only.
       {{1, "JTPDB", "DB1"}},
       {{1, "JTPSP", "SP1"}},
       {{1, "JTPDB", "DB1"}, {1, "DSGROUP", "GRP1"}},
       {{1, "JTPSP", "SP1"}, {1, "DSGROUP", "GRP1"}},
       {{1, "JTPSP", "SP1"}, {1, "JTPDB", "DB1"}, {1, "IDNAME", "GRP1"}},
       // The group named by the managed-system name, up to its colon.
       {{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}},
       {{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}, {1, "JTPDB", "DB1"}},
       {{1, "ORIGINNODE", "ABCDEFGHIJ"}},
       {{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}, {1, "DSGROUP", "GRP1"}},
       // A quote cannot end the literal.
       {{1, "DSGROUP", "O'B"}, {1, "JTPDB", "D'B"}, {1, "JTPSP", "'"}},
       {{1, "DSGROUP", "'OR'1'='1"}},
       // Values longer than their 8-character slot are cut to it.
       {{1, "DSGROUP", "GROUPNAME12"}, {1, "JTPDB", "DATABASE12"}, {1, "JTPSP", "SPACENAME1"}},
       // A value ends at its first blank after the first character.
       {{1, "DSGROUP", "GR P"}},
       // Only "equals" counts; ORIGINNODE must be named in full.
       {{2, "DSGROUP", "GRP1"}, {3, "IDNAME", "GRP1"}, {0, "ORIGINNODE", "GRP1:X"}},
       {{1, "ORIGINNOD", "GRP1:X"}, {1, "TIMESTAMP", "1"}}});
}

TEST_F(GoaaTest, ThruNodeKeepsItsLeadingBlankAndEndsAtTheNextBlank) {
  member(1, {{.getp = 1}}, {.thru = " TEMSA", .route = "TEMSA"});
  member(2, {{.getp = 2}},
         {.thru = "TEM SB", .route = "TEM", .origin = "WNRX4:RXA2:SYSA WITH TAIL"});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  const std::vector<std::string> sql = memberSql();
  ASSERT_EQ(sql.size(), 2u);
  EXPECT_EQ(sql[0], std::string(kSelect) +
                        " FROM VXR.LGOAACT AT ('TEM') WHERE ORIGINNODE ='WNRX4:RXA2:SYSA';");
  EXPECT_EQ(sql[1], std::string(kSelect) +
                        " FROM VXR.LGOAACT AT (' TEMSA') WHERE ORIGINNODE ='WNRX4:RXA1:SYSA';");
}

// ---------------------------------------------------------------------------
// Row names

// By their group, by the filter's value, cut at 32 characters.
TEST_F(GoaaTest, RowsAreNamedByTheirGroupOrByTheOriginNodeFilter) {
  member(1, {{.idname = "GRP1", .db = "DB1"}, {.idname = "GROUPABC", .db = "DB2"}});
  expectRunsGolden("rows-are-named-by-their-group-or-by-the-origin-node-filter",
                   {{},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP:and-more-than-32-characters"}}});
}

TEST_F(GoaaTest, OriginNodeFilterNamesTheGroupAndMergesPerDatabase) {
  member(1, {{.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB1", .getp = 100, .synr = 1}});
  member(2, {{.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB1", .getp = 300, .asyw = 1},
             {.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB2", .getp = 600, .othw = 2}});
  run({{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}});
  expectGolden("origin-node-filter-names-the-group-and-merges-per-database");
}

// ---------------------------------------------------------------------------
// Merge modes

TEST_F(GoaaTest, WithoutFiltersEveryRowStandsAlone) {
  member(1, {{.db = "DB1", .getp = 10, .synr = 1, .pcgp = 11, .pcio = 12, .gpr = 7},
             {.db = "DB1", .getp = 20, .synr = 1, .pcgp = 21, .pcio = 22, .gpr = 9}});
  member(2, {{.db = "DB1", .getp = 30, .synr = 1, .pcgp = 31, .pcio = 32},
             {.db = "DB2", .getp = 40, .synr = 1, .pcgp = 41, .pcio = 42}});
  run();
  expectGolden("without-filters-every-row-stands-alone");
}

TEST_F(GoaaTest, SpaceFilterHandsOutMemberRowsWithTheirOwnShares) {
  member(1, {{.getp = 100, .synr = 1, .pcgp = 17, .pcio = 18, .gpr = 3, .otr = 5}});
  member(2, {{.getp = 200, .pref = 2, .pcgp = 27, .pcio = 28, .gpr = 4, .otr = 6}});
  member(3, {{.getp = 300, .synr = 3, .pcgp = 37, .pcio = 38, .gpr = 5, .otr = 7}});
  run({{1, "DSGROUP", "GRP1"}, {1, "JTPSP", "SP1"}});
  expectGolden("space-filter-hands-out-member-rows-with-their-own-shares");
  // With a database filter as well: still no merging.
  EXPECT_EQ(run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}, {1, "JTPSP", "SP1"}}).rows.size(),
            3u);
}

TEST_F(GoaaTest, DatabaseFilterMergesTwoMembersIntoOneRow) {
  member(1, {{.timestamp = "1240101120000100",
              .getp = 100,
              .synr = 1,
              .asyw = 1,
              .pcgp = 5,
              .gpr = 4,
              .syr = -5,
              .prr = 1,
              .asr = 8,
              .otr = -1}});
  member(2, {{.timestamp = "1240101120000300",
              .getp = 300,
              .pref = 1,
              .othw = 2,
              .pcgp = 6,
              .gpr = 5,
              .syr = -6,
              .prr = 2,
              .asr = 9,
              .otr = -2}});
  run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}});
  expectGolden("database-filter-merges-two-members-into-one-row");
}

TEST_F(GoaaTest, DatabaseFilterMergesPerSpaceAgainstTheDatabaseTotals) {
  member(1, {{.sp = "SP1", .timestamp = "1240101120000100", .getp = 100, .synr = 1, .asyw = 1}});
  member(2, {{.sp = "SP1", .timestamp = "1240101120000300", .getp = 300, .pref = 1}});
  member(3, {{.sp = "SP2", .getp = 600, .synr = 1, .othw = 1, .gpr = 6},
             {.db = "DB2", .sp = "SP1", .getp = 5000, .othw = 7}});
  run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}});
  expectGolden("database-filter-merges-per-space-against-the-database-totals");
}

TEST_F(GoaaTest, DatabaseFilterWithoutGroupStillMergesPerGroupDatabaseAndSpace) {
  member(1, {{.getp = 100, .synr = 1}});
  member(2, {{.getp = 300, .synr = 1}, {.idname = "GRP2", .dsgroup = "GRP2", .getp = 50}});
  run({{1, "JTPDB", "DB1"}});
  expectGolden("database-filter-without-group-still-merges-per-group-database-and-space");
}

TEST_F(GoaaTest, IdnameFilterMergesPerDatabaseAgainstTheGroupTotals) {
  member(1, {{.db = "DB1",
              .sp = "SP1",
              .timestamp = "1240101120000300",
              .getp = 100,
              .synr = 1,
              .gpr = 3,
              .syr = -3},
             {.db = "DB2", .sp = "SP5", .getp = 500, .asyw = 2, .rior = 77}});
  member(2, {{.db = "DB1",
              .sp = "SP2",
              .timestamp = "1240101120000100",
              .getp = 150,
              .pref = 1,
              .gpr = 4,
              .syr = -4}});
  member(3, {{.db = "DB1",
              .sp = "SP3",
              .timestamp = "1240101120000200",
              .getp = 250,
              .synr = 2,
              .gpr = 5,
              .syr = -5}});
  run({{1, "IDNAME", "GRP1"}});
  expectGolden("idname-filter-merges-per-database-against-the-group-totals");
}

TEST_F(GoaaTest, IdnameFilterWithTwoMembers) {
  member(1, {{.db = "DB1", .sp = "SP1", .getp = 1, .synr = 1, .gpr = 1, .asr = -1}});
  member(2, {{.db = "DB1", .sp = "SP2", .getp = 2, .synr = 1, .gpr = 2, .asr = -2}});
  run({{1, "IDNAME", "GRP1"}});
  expectGolden("idname-filter-with-two-members");
}

// Every row stands alone with its share of the group's getpages and I/O,
// with three members and then with two.
TEST_F(GoaaTest, GroupFilterAloneKeepsRowsButSharesTheGroupTotals) {
  member(1, {{.db = "DB1", .getp = 100, .synr = 1, .gpr = 3}});
  member(2, {{.db = "DB1", .getp = 300, .asyw = 1, .gpr = 5}});
  member(3, {{.db = "DB2", .getp = 600, .othw = 2, .pcgp = 11, .pcio = 22}});
  run({{1, "DSGROUP", "GRP1"}});
  expectGolden("group-filter-alone-keeps-rows-but-shares-the-group-totals");
  store_.route("THRU3").clearRows();
  run({{1, "DSGROUP", "GRP1"}});
  expectGolden("group-filter-alone-with-two-members");
}

TEST_F(GoaaTest, RowsComeOutNewestKeyFirst) {
  member(1, {{.db = "DB1", .getp = 1},
             {.db = "DB2", .getp = 2},
             {.db = "DB1", .getp = 4},
             {.db = "DB3", .getp = 8}});
  run({{1, "IDNAME", "GRP1"}});
  expectGolden("rows-come-out-newest-key-first");
}

// ---------------------------------------------------------------------------
// Finishing a row

TEST_F(GoaaTest, RatiosAndSharesGuardAgainstZeroDivisors) {
  // Writes only: JTPRIOR stays as delivered.
  member(1, {{.db = "DB1", .getp = 50, .asyw = 4, .pcgp = 55, .pcio = 66, .rior = 77}});
  // A group without getpages or I/O: its shares are 0.
  member(2, {{.idname = "GRPZ", .dsgroup = "GRPZ", .pcgp = 55, .pcio = 66, .rior = 78}});
  // 1234 x 10 / 7, truncated.
  member(3, {{.db = "DB3", .getp = 1234, .synr = 3, .pref = 4, .othw = 3, .rior = 79}});
  run({{1, "DSGROUP", "GRP1"}});
  expectGolden("ratios-and-shares-guard-against-zero-divisors");
}

TEST_F(GoaaTest, GetpagesInTheMillionsKeepTheirShares) {
  // getpages x 1000 exceeds 32 bits here.
  member(1, {{.db = "DB1", .getp = 3000000, .synr = 1000}});
  member(2, {{.db = "DB2", .getp = 5000000, .synr = 1000}});
  run({{1, "DSGROUP", "GRP1"}});
  expectGolden("getpages-in-the-millions-keep-their-shares");
}

TEST_F(GoaaTest, LargeCountsKeepTheirRatiosAndIoShares) {
  // getpages x 10, the read count and the I/O count exceed 32 bits here.
  member(1, {{.db = "DB1", .getp = 300000000, .synr = 500, .pref = 500, .rior = 9},
             {.db = "DB2", .getp = 1000, .synr = 1500000000, .pref = 1000000000, .rior = 77},
             {.db = "DB3", .asyw = 500000000, .othw = 2000000000}});
  run({{1, "DSGROUP", "GRP1"}});
  expectGolden("large-counts-keep-their-ratios-and-io-shares");
}

// ---------------------------------------------------------------------------
// Failures and statuses

TEST_F(GoaaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens(cellsOf({.getp = 1}));
}

// A member whose request cannot even be prepared withholds every row too,
// and the request still ends; once it answers, its rows are handed out.
TEST_F(GoaaTest, AMemberNotPreparedWithholdsEveryRow) {
  member(1, {{.getp = 1}});
  member(2, {{.getp = 2}}).failPrepare(204);
  member(3, {{.getp = 3}});
  RunResult result = run({{1, "DSGROUP", "GRP1"}});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 3u);  // the other members are still asked
  EXPECT_TRUE(result.terminated);
  EXPECT_EQ(result.terminateStatus, 0);

  store_.route("THRU2").failPrepare(0);
  EXPECT_EQ(run({{1, "DSGROUP", "GRP1"}}).rows.size(), 3u);
}

TEST_F(GoaaTest, EmptyAnswersEndAtOnce) {
  member(1, {});
  host_->setTraceLevel("VXRGOAAL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(host_->traceContains("EOD with 0 rows emitted"));
}

// The lifecycle's failure statuses are checked for every table in
// every_table_test.cpp.
TEST_F(GoaaTest, WorkArea) {
  member(1, {{.getp = 1}});
  EXPECT_EQ(run().startStatus, 0);
  expectWorkArea("GOAAWORK", 360);
}

}  // namespace
