// VXRGGVSL through the host core: the member queries per filter, the merge
// per group and volume (sums, averages, maxima, earliest time stamp), the two
// ratios and their guards, and requests that end without rows. The scenarios
// are goldens in golden/vxrggvsl/.
#include "module_fixture.h"
#include "vxrggvsl.h"

namespace {

class GgvsTest : public vxrtest::ModuleFixture {
 protected:
  GgvsTest() : ModuleFixture(kGgvsTable, "VXR.LGOAVOL") {
    answer_ = vxrtest::selectList(
        "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVSVOLN,JVSVUTIL,JVSVRESP,JVSTIO,"
        "JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE");
    defaults_ = {{"IDNAME", "GRPA"}, {"DSGROUP", "GRPA"}, {"TIMESTAMP", "1261208100000000"}};
  }
};

TEST_F(GgvsTest, MemberQueryPerFilter) {
  member(1, {});
  expectRunsGolden("member-query-per-filter",
                   {{},
                    {{1, "DSGROUP", "GRPA"}},
                    {{1, "IDNAME", "GRPB"}},
                    {{1, "IDNAME", "GRPB"}, {1, "DSGROUP", "GRPA"}},  // DSGROUP wins
                    {{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPD"}},
                    // Cut at the slot, ended at a blank, quotes doubled.
                    {{1, "DSGROUP", "GROUPNAME12"}},
                    {{1, "DSGROUP", "G'P A"}},
                    {{2, "DSGROUP", "GRPA"}, {1, "JVSVOLN", "PAY001"}}});
}

// Newest key first; a volume of another group stands apart; counts are the
// group's sums beside averaged rates; no I/O or no data sets give ratio 0.
TEST_F(GgvsTest, VolumesMergePerGroupWithSumsAveragesMaximaAndRatios) {
  member(1, {{{"JVSVOLN", "PAY001"},
              {"TIMESTAMP", "1261208100000300"},
              {"JVSVUTIL", 41},
              {"JVSVRESP", 3},
              {"JVSTIO", 70},
              {"JVSDBIO", 60},
              {"JVSTIOR", 14},
              {"JVSDBIR", 12},
              {"JVSDSNS", 2},
              {"JVSEXTS", 5},
              {"JVSVUSE", 50}},
             {{"JVSVOLN", "PAY001"},
              {"DSGROUP", "GRPB"},
              {"IDNAME", "GRPB"},
              {"JVSVRESP", 9},
              {"JVSTIO", 3},
              {"JVSDBIO", 1},
              {"JVSDSNS", 3},
              {"JVSEXTS", 10}}});
  member(2, {{{"JVSVOLN", "PAY001"},
              {"TIMESTAMP", "1261208100000100"},
              {"JVSVUTIL", 38},
              {"JVSVRESP", 8},
              {"JVSTIO", 50},
              {"JVSDBIO", 40},
              {"JVSTIOR", 11},
              {"JVSDBIR", 9},
              {"JVSDSNS", 1},
              {"JVSEXTS", 4},
              {"JVSVUSE", 51}},
             {{"JVSVOLN", "SCR001"}}});
  run();
  expectGolden("volumes-merge-per-group-with-sums-averages-maxima-and-ratios");
}

TEST_F(GgvsTest, ThreeMembersAverageTruncatedUnderAnOriginFilter) {
  for (int n : {1, 2, 3})
    member(n, {{{"JVSVOLN", "PAY001"}, {"JVSVRESP", n * 2}, {"JVSDBIR", 10 - n}}});
  run({{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:X"}});
  expectGolden("three-members-average-truncated-under-an-origin-filter");
}

TEST_F(GgvsTest, LargeCountsNeitherWrapTheRatiosNorTheSums) {
  member(1, {{{"JVSVOLN", "BIG001"},
              {"JVSTIO", 6000000},
              {"JVSDBIO", 5000000},
              {"JVSDSNS", 1},
              {"JVSEXTS", 300000000}}});
  const vxrtest::Row big = {{"JVSVOLN", "BIG002"}, {"JVSTIO", 2000000000}, {"JVSDBIO", 2000000000}};
  member(2, {big, big});
  run();
  expectGolden("large-counts-neither-wrap-the-ratios-nor-the-sums");
}

TEST_F(GgvsTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens({{"JVSVOLN", "PAY001"}});
}

TEST_F(GgvsTest, WorkAreaAndEmissionTrace) {
  member(1, {{{"JVSVOLN", "PAY001"}}});
  run();
  expectWorkArea("GGVSWORK", 268);
  expectGolden("work-area-and-emission-trace");
}

}  // namespace
