// VXRGOTAL through the host core: the member queries it sends, how it merges
// the members' thread rows under each filter, and how it finishes each row
// (averaged rates, getpages per read, shares of the group totals). The merge
// scenarios are goldens in golden/vxrgotal/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_fixture.h"
#include "vxrgotal.h"

namespace {

using vxrhost::Filter;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,JT7PLNM,JT7AUID,"
    "JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,"
    "JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR";

// One member row of VXR.LGOATHA.
struct Thread {
  std::string idname = "GRPA";
  std::string dsgroup = "GRPA";
  std::string db = "DB1";
  std::string sp = "SP1";
  std::string timestamp = "1070101120000000";
  std::string plan = "PLAN1";
  int32_t getp = 0, synr = 0, spre = 0, lpre = 0, dpre = 0, asyw = 0, othw = 0;
  int32_t pcgp = 0, pcio = 0;
  int32_t gpr = 0, syr = 0, spr = 0, lpr = 0, dpr = 0, asr = 0, otr = 0;
  int32_t rior = 0;
};

// Member n's row: system SYSn, member RX4n, correlation id CORRn.
vxrtest::Row cellsOf(int n, const Thread& t) {
  const std::string id = std::to_string(n);
  return {{"SYSID", "SYS" + id},    {"RX4ID", "RX4" + id}, {"JT7AUID", "AUTH"},
          {"JT7CRID", "CORR" + id}, {"IDNAME", t.idname},  {"DSGROUP", t.dsgroup},
          {"JT7DBNM", t.db},        {"JT7SPNM", t.sp},     {"TIMESTAMP", t.timestamp},
          {"JT7PLNM", t.plan},      {"JT7GETP", t.getp},   {"JT7SYNR", t.synr},
          {"JT7SPRE", t.spre},      {"JT7LPRE", t.lpre},   {"JT7DPRE", t.dpre},
          {"JT7ASYW", t.asyw},      {"JT7OTHW", t.othw},   {"JT7PCGP", t.pcgp},
          {"JT7PCIO", t.pcio},      {"JT7GPR", t.gpr},     {"JT7SYR", t.syr},
          {"JT7SPR", t.spr},        {"JT7LPR", t.lpr},     {"JT7DPR", t.dpr},
          {"JT7ASR", t.asr},        {"JT7OTR", t.otr},     {"JT7RIOR", t.rior}};
}

class GotaTest : public vxrtest::ModuleFixture {
 protected:
  GotaTest() : ModuleFixture(kGotaTable, "VXR.LGOATHA") {}

  // A member agent reached through THRUn with origin node WNRX4:Mn, answering
  // with `rows`. Members added later are queried first (newest node first).
  ScriptedStore::Script& member(int n, const std::vector<Thread>& rows, vxrtest::Reach reach = {}) {
    std::vector<vxrtest::Row> named;
    for (const Thread& t : rows) named.push_back(cellsOf(n, t));
    reach.origin = "WNRX4:M" + std::to_string(n);
    reach.version = "04.01.00";
    return ModuleFixture::member(n, named, reach);
  }

  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LGOATHA AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='WNRX4:M" + std::to_string(n) + "'" + conditions + ";";
  }
};

// ---------------------------------------------------------------------------
// Member queries

TEST_F(GotaTest, EveryMemberIsAskedForItsOwnRowsNewestNodeFirst) {
  member(1, {});
  member(2, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(memberSql(), (std::vector<std::string>{sqlFor(2, ""), sqlFor(1, "")}));
}

TEST_F(GotaTest, FiltersAddTheirConditionsTrimmedAndQuoted) {
  member(1, {});
  expectRunsGolden("filters-add-their-conditions-trimmed-and-quoted",
                   {{{1, "DSGROUP", "GRPA"}},
                    {{1, "IDNAME", "GRPA    "}},
                    {{1, "JT7DBNM", "DB1"}},
                    {{1, "JT7SPNM", "SP1"}},
                    {{1, "JT7SPNM", "SP1"}, {1, "JT7DBNM", "DB1"}, {1, "DSGROUP", "GRPA"}},
                    // The group named by the managed-system name, up to its colon.
                    {{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "ABCDEFGHIJ"}},
                    {{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}, {1, "DSGROUP", "GRPC"}},
                    // A quote cannot end the literal.
                    {{1, "DSGROUP", "O'B"}, {1, "JT7DBNM", "D'B"}},
                    {{1, "DSGROUP", "'OR'1'='1"}},
                    // Values longer than their slot: a group name has 8 characters, a
                    // database or space name goes into the SQL with at most 9.
                    {{1, "DSGROUP", "GROUPNAME12"}},
                    {{1, "JT7DBNM", "DATABASE1234567"}},
                    {{1, "JT7SPNM", "SPACENAME1234567"}},
                    // A value ends at its first blank after the first character.
                    {{1, "DSGROUP", "GR P"}},
                    // Only "equals" counts; other columns are not key columns.
                    {{2, "DSGROUP", "GRPA"}, {3, "JT7DBNM", "DB1"}},
                    {{1, "JT7PLNM", "PLAN1"}, {1, "ORIGINNOD", "GRPA"}}});
}

// By their group, or by the filter's value cut at 32 characters.
TEST_F(GotaTest, RowsAreNamedByTheOriginNodeFilterOrByTheirGroup) {
  member(1, {{.idname = "GRPA", .dsgroup = "GRPA", .db = "DB1"},
             {.idname = "GROUPABC", .dsgroup = "GROUPABC", .db = "DB2"}});
  expectRunsGolden("rows-are-named-by-the-origin-node-filter-or-by-their-group",
                   {{}, {{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:and-more-than-32-characters"}}});
}

// ---------------------------------------------------------------------------
// Merging

TEST_F(GotaTest, WithoutFiltersRowsMergePerGroupAndDatabase) {
  member(1, {{.db = "DB1",
              .sp = "SP1",
              .timestamp = "1070101120000300",
              .getp = 100,
              .synr = 1,
              .pcgp = 11,
              .gpr = 10,
              .syr = -10,
              .rior = 5},
             {.db = "DB2", .sp = "SP1", .getp = 7}});
  member(2, {{.db = "DB1",
              .sp = "SP2",
              .timestamp = "1070101120000100",
              .getp = 200,
              .synr = 2,
              .pcgp = 22,
              .gpr = 10,
              .syr = -10,
              .rior = 6},
             {.idname = "GRPB", .dsgroup = "GRPB", .db = "DB1", .getp = 9}});
  member(3, {{.db = "DB1",
              .sp = "SP3",
              .timestamp = "1070101120000200",
              .getp = 300,
              .synr = 3,
              .pcgp = 33,
              .pcio = 44,
              .gpr = 11,
              .syr = -11,
              .rior = 7}});
  run();
  expectGolden("without-filters-rows-merge-per-group-and-database");
}

TEST_F(GotaTest, DatabaseFilterMergesPerSpaceAgainstTheDatabaseTotals) {
  member(1, {{.sp = "SP1", .getp = 100, .synr = 1, .asyw = 1, .gpr = 4, .spr = 9}});
  member(2, {{.sp = "SP1", .getp = 300, .spre = 1, .gpr = 5, .spr = 10}});
  member(3, {{.sp = "SP2", .getp = 600, .lpre = 1, .gpr = 6, .spr = 11},
             {.db = "DB2", .sp = "SP2", .getp = 5000, .othw = 7}});
  run({{1, "DSGROUP", "GRPA"}, {1, "JT7DBNM", "DB1"}});
  expectGolden("database-filter-merges-per-space-against-the-database-totals");
}

TEST_F(GotaTest, SpaceFilterHandsOutEveryMemberRowAsDelivered) {
  member(1, {{.getp = 100, .synr = 1, .pcgp = 17, .pcio = 18, .gpr = 3}});
  member(2, {{.getp = 200, .synr = 2, .pcgp = 27, .pcio = 28, .gpr = 5}});
  member(3, {{.getp = 300, .synr = 3, .pcgp = 37, .pcio = 38, .gpr = 7}});
  run({{1, "DSGROUP", "GRPA"}, {1, "JT7DBNM", "DB1"}, {1, "JT7SPNM", "SP1"}});
  expectGolden("space-filter-hands-out-every-member-row-as-delivered");
}

TEST_F(GotaTest, GroupFilterGivesEachDatabaseItsShareOfTheGroup) {
  member(1, {{.db = "DB1", .getp = 250, .synr = 1, .gpr = 3}});
  member(2, {{.db = "DB1", .sp = "SP9", .getp = 0, .gpr = 4},
             {.db = "DB2", .getp = 750, .synr = 1, .dpre = 1}});
  run({{1, "DSGROUP", "GRPA"}});
  expectGolden("group-filter-gives-each-database-its-share-of-the-group");
}

TEST_F(GotaTest, GroupDerivedFromTheOriginNodeGivesGroupShares) {
  member(1, {{.idname = "GRPAB", .dsgroup = "GRPAB", .db = "DB1", .getp = 1, .asyw = 1}});
  member(2, {{.idname = "GRPAB", .dsgroup = "GRPAB", .db = "DB2", .getp = 3, .othw = 3}});
  run({{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}});
  expectGolden("group-derived-from-the-origin-node-gives-group-shares");
}

// ---------------------------------------------------------------------------
// Finishing a row

TEST_F(GotaTest, RatiosGuardAgainstZeroDivisors) {
  // Read count 0 (I/O only from writes): the delivered JT7RIOR stays.
  member(1, {{.db = "DB1", .getp = 50, .asyw = 4, .pcgp = 55, .pcio = 66, .rior = 77}});
  // A group without getpages or I/O: shares of zero totals are 0.
  member(2, {{.idname = "GRPZ", .dsgroup = "GRPZ", .pcgp = 55, .pcio = 66, .rior = 78}});
  // 1234 x 10 / 7, truncated.
  member(3, {{.db = "DB3", .getp = 1234, .synr = 1, .spre = 2, .lpre = 3, .dpre = 1}});
  run({{1, "IDNAME", "GRPA"}});
  expectGolden("ratios-guard-against-zero-divisors");
}

TEST_F(GotaTest, GetpagesInTheMillionsKeepTheirShares) {
  // getpages x 1000 and x 10 exceed 32 bits here.
  member(1, {{.db = "DB1", .getp = 3000000, .synr = 1000}});
  member(2, {{.db = "DB1", .getp = 1000000}, {.db = "DB2", .getp = 4000000}});
  member(3, {{.db = "DB3", .getp = 300000000, .synr = 500, .dpre = 500}});
  run({{1, "DSGROUP", "GRPA"}});
  expectGolden("getpages-in-the-millions-keep-their-shares");
}

TEST_F(GotaTest, SumsSaturateInsteadOfWrapping) {
  member(1, {{.getp = 2000000000, .synr = 2000000000, .gpr = 2000000000}});
  member(2, {{.getp = 2000000000, .synr = 2000000000, .gpr = 2000000000}});
  run({{1, "DSGROUP", "GRPA"}});
  expectGolden("sums-saturate-instead-of-wrapping");
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(GotaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens(cellsOf(1, {.getp = 1}));
}

TEST_F(GotaTest, WorkAreaAndTraceLines) {
  member(1, {{.db = "DB1"}, {.db = "DB2"}});
  run({{1, "JT7DBNM", "DB1"}});
  expectWorkArea("GOTAWORK", 372);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
