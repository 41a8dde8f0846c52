// VXRCFGGL through the host core: the member queries per filter, the merge
// per group and lock structure, the contention percentages and their
// guards, and how a request ends when a member fails or sends the wrong
// columns. The scenarios are goldens in golden/vxrcfggl/.
#include "module_fixture.h"
#include "vxrcfggl.h"

namespace {

using vxrtest::Row;

class CfggTest : public vxrtest::ModuleFixture {
 protected:
  CfggTest() : ModuleFixture(kCfggTable, "VXR.LVXR_CF") {
    answer_ = vxrtest::selectList(
        "SELECT CONNECT,DSGROUP,R4CPLOK,R4FCONT,R4GCONT,R4PLOCK,R4SUSFAL,R4SUSIRL,R4SUSXES,"
        "R4UPLOK,FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,ORIGINNODE,RECORDA,"
        "RECORDP,RECORDU,STRUCTN,STRUCTP,STRUCTS,STRUCTST,STRUCTT,STRUCTU,TIMESTAMP");
    defaults_ = {{"DSGROUP", "GRP1"}, {"IDNAME", "GRP1"}};  // rows of group GRP1 unless given
  }
};

TEST_F(CfggTest, MemberQueriesPerFilter) {
  member(1, {});
  expectRunsGolden("member-queries-per-filter",
                   {{},
                    {{1, "IDNAME", "GRP1"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "IDNAME", "GRP2"}},
                    // The whole column name must match; only "equals" counts.
                    {{1, "IDNAMEX", "GRP1"}, {1, "IDNAM", "GRP1"}, {2, "IDNAME", "GRP1"}},
                    // Quotes doubled; a long value cut at its 8 characters.
                    {{1, "IDNAME", "G'1"}},
                    {{1, "IDNAME", "GROUPNAME12"}}});
}

// GRP1's row adds up the counters and takes its percentages from the sums
// (100 of 1000 global, 1 of 100 false contention), the earliest time, the
// fields of the member queried first; GRP2's own percentage is never used.
TEST_F(CfggTest, MembersMergePerGroupAndStructureWithRatesFromTheSums) {
  member(1, {{{"STRUCTN", "LOCK1"},
              {"R4PLOCK", 600},
              {"R4SUSIRL", 60},
              {"R4SUSXES", 6},
              {"R4SUSFAL", 1},
              {"TIMESTAMP", "1261208103000100"},
              {"LOCKU", 11},
              {"STRUCTT", "LOCK"}}});
  member(2, {{{"STRUCTN", "LOCK1"},
              {"R4PLOCK", 300},
              {"R4SUSIRL", 30},
              {"R4SUSXES", 3},
              {"R4GCONT", 77},
              {"R4FCONT", 88},
              {"LOCKU", 22},
              {"STRUCTST", "ACTIVE"},
              {"TIMESTAMP", "1261208103000200"}}});
  member(3, {{{"STRUCTN", "LOCK1"}, {"DSGROUP", "GRP2"}, {"IDNAME", "GRP2"}, {"R4GCONT", 5}}});
  run();
  expectGolden("members-merge-per-group-and-structure-with-rates-from-the-sums");
}

// One structure per case, rows in reverse: R4GCONT and R4FCONT of each.
TEST_F(CfggTest, RatesAndTheirGuards) {
  member(1, {{{"STRUCTN", "THIRD"}, {"R4SUSIRL", 2}, {"R4SUSFAL", 1}},   // 100, 33
             {{"STRUCTN", "ZERO"}, {"R4GCONT", 50}, {"R4FCONT", 50}},    // 0, 0
             {{"STRUCTN", "NOSUSP"}, {"R4PLOCK", 500}, {"R4UPLOK", 5}},  // 0, 0
             {{"STRUCTN", "ORDER"}, {"R4PLOCK", 71}, {"R4SUSXES", 29}},  // (29 / 100) x 100: 28
             // Counters that cancel out: no division by zero.
             {{"STRUCTN", "CANCEL"}, {"R4PLOCK", 5}, {"R4SUSIRL", -5}},                     // 0, 0
             {{"STRUCTN", "CANCELS"}, {"R4SUSIRL", 5}, {"R4SUSFAL", -5}, {"R4PLOCK", 10}},  // 0, 0
             {{"STRUCTN", "NEGATIVE"}, {"R4PLOCK", 300}, {"R4SUSIRL", -100}, {"R4SUSFAL", 50}},
             {{"STRUCTN", "HUGE"},
              {"R4PLOCK", 2'000'000'000},
              {"R4CPLOK", 2'000'000'000},
              {"R4SUSIRL", 2'000'000'000},
              {"R4SUSFAL", 2'000'000'000}}});  // 50, 50
  run();
  expectGolden("rates-and-their-guards");
}

TEST_F(CfggTest, SumsSaturateBeforeTheRates) {
  member(1, {{{"STRUCTN", "LOCK1"}, {"R4PLOCK", 2'000'000'000}, {"R4SUSIRL", 2'000'000'000}}});
  member(2, {{{"STRUCTN", "LOCK1"}, {"R4PLOCK", 2'000'000'000}, {"R4SUSIRL", 2'000'000'000}}});
  run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  expectGolden("sums-saturate-before-the-rates");
}

TEST_F(CfggTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  host_->setTraceLevel("VXRCFGGL", 0x80);
  member(1, {{{"STRUCTN", "LOCK1"}, {"R4PLOCK", 1}}});
  member(2, {{{"STRUCTN", "LOCK1"}}}, {.drop = 1});
  run();
  expectGolden("a-column-too-few-withholds-every-row");
  member(3, {{{"STRUCTN", "LOCK3"}}}).failPrepare(230);
  run();
  expectGolden("a-member-not-prepared-withholds-every-row");
}

TEST_F(CfggTest, WorkAreaAndTraceLines) {
  host_->setTraceLevel("VXRCFGGL", 0x0D);
  member(1, {{{"STRUCTN", "LOCK1"}}, {{"STRUCTN", "LOCK1"}}});
  run({{1, "IDNAME", "GRP1"}});
  expectWorkArea("CFGGWORK", 288);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
