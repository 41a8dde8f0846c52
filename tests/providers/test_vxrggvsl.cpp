// VXRGGVSL through the host core: the member queries per filter, the merge
// per group and volume (sums, averages, maxima, earliest time stamp), the two
// ratios and their guards, and requests that end without rows.
#include "member_rows.h"
#include "vxrggvsl.h"

namespace {

using member_rows::Cells;
using member_rows::text;
using vxrhost::Filter;
using vxrhost::RunResult;

class GgvsTest : public member_rows::MemberTest<GgvsRow> {
 protected:
  GgvsTest()
      : MemberTest("VXRGGVSL", "LGOAVOL",
                   {{"ORIGINNODE", 32},
                    {"TIMESTAMP", 16},
                    {"SYSID", 4},
                    {"RX4ID", 4},
                    {"IDNAME", 8},
                    {"DSGROUP", 8},
                    {"JVSVOLN", 6},
                    {"JVSVUTIL", 0},
                    {"JVSVRESP", 0},
                    {"JVSTIO", 0},
                    {"JVSDBIO", 0},
                    {"JVSTIOR", 0},
                    {"JVSDBIR", 0},
                    {"JVSDSNS", 0},
                    {"JVSEXTS", 0},
                    {"JVSVUSE", 0}}) {}
};

TEST_F(GgvsTest, MemberQueryPerFilter) {
  member(1, {});
  const char* kGroup = " AND       LGOAVOL.DSGROUP = '";
  struct Case {
    std::vector<Filter> filters;
    std::string conditions;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{{1, "DSGROUP", "GRPA"}}, std::string(kGroup) + "GRPA'"},
      {{{1, "IDNAME", "GRPB"}}, std::string(kGroup) + "GRPB'"},
      // The DSGROUP value wins over the IDNAME value.
      {{{1, "IDNAME", "GRPB"}, {1, "DSGROUP", "GRPA"}}, std::string(kGroup) + "GRPA'"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}}, std::string(kGroup) + "GRPC'"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPD"}},
       std::string(kGroup) + "GRPD'"},
      // Values are cut at their slot, end at a blank, and cannot end the literal.
      {{{1, "DSGROUP", "GROUPNAME12"}}, std::string(kGroup) + "GROUPNAM'"},
      {{{1, "DSGROUP", "G'P A"}}, std::string(kGroup) + "G''P'"},
      {{{2, "DSGROUP", "GRPA"}, {1, "JVSVOLN", "PAY001"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    RunResult result = run(c.filters);
    EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
    EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
  }
}

TEST_F(GgvsTest, VolumesMergePerGroupWithSumsAveragesAndMaxima) {
  // Two members share PAY001 of GRPA; GRPB has a PAY001 of its own.
  member(1, {{{"JVSVOLN", "PAY001"},
              {"TIMESTAMP", "1261208100000300"},
              {"JVSVUTIL", "41"},
              {"JVSVRESP", "3"},
              {"JVSTIO", "70"},
              {"JVSDBIO", "60"},
              {"JVSTIOR", "14"},
              {"JVSDBIR", "12"},
              {"JVSDSNS", "2"},
              {"JVSEXTS", "5"},
              {"JVSVUSE", "50"}},
             {{"JVSVOLN", "PAY001"},
              {"DSGROUP", "GRPB"},
              {"IDNAME", "GRPB"},
              {"JVSVRESP", "9"},
              {"JVSTIO", "3"},
              {"JVSDBIO", "1"},
              {"JVSDSNS", "3"},
              {"JVSEXTS", "10"}}});
  member(2, {{{"JVSVOLN", "PAY001"},
              {"TIMESTAMP", "1261208100000100"},
              {"JVSVUTIL", "38"},
              {"JVSVRESP", "8"},
              {"JVSTIO", "50"},
              {"JVSDBIO", "40"},
              {"JVSTIOR", "11"},
              {"JVSDBIR", "9"},
              {"JVSDSNS", "1"},
              {"JVSEXTS", "4"},
              {"JVSVUSE", "51"}},
             {{"JVSVOLN", "SCR001"}}});
  std::vector<GgvsRow> out = rows();
  ASSERT_EQ(out.size(), 3u);  // newest key first: GRPB PAY001, SCR001, GRPA PAY001
  const GgvsRow& other = out[0];
  EXPECT_EQ(text(other.DSGROUP), "GRPB    ");
  EXPECT_EQ(text(other.ORIGINNODE), "GRPB:RX4plex:DSGROUP            ");
  EXPECT_EQ(other.NUMRX4, 1);
  EXPECT_EQ(other.JVSVRESP, 9);
  EXPECT_EQ(other.JVSMVRESP, 9);
  EXPECT_EQ(other.JVSDBSHR, 333);
  EXPECT_EQ(other.JVSEXTR, 33);
  const GgvsRow& idle = out[1];
  EXPECT_EQ(text(idle.JVSVOLN), "SCR001");
  EXPECT_EQ(idle.JVSDBSHR, 0);  // no I/O, no data sets: both ratios 0
  EXPECT_EQ(idle.JVSEXTR, 0);
  const GgvsRow& shared = out[2];
  EXPECT_EQ(shared.NUMRX4, 2);
  EXPECT_EQ(text(shared.RX4ID), "RX42");  // the first row merged (member 2 is asked first)
  EXPECT_EQ(text(shared.TIMESTAMP), "1261208100000100");
  EXPECT_EQ(shared.JVSVUTIL, 39);
  EXPECT_EQ(shared.JVSVRESP, 5);
  EXPECT_EQ(shared.JVSMVRESP, 8);
  EXPECT_EQ(shared.JVSTIO, 120);  // counts are the group's sums
  EXPECT_EQ(shared.JVSDBIO, 100);
  EXPECT_EQ(shared.JVSTIOR, 12);
  EXPECT_EQ(shared.JVSDBIR, 10);
  EXPECT_EQ(shared.JVSMDBIR, 12);  // the smaller later rate leaves the largest
  EXPECT_EQ(shared.JVSDSNS, 3);
  EXPECT_EQ(shared.JVSEXTS, 9);
  EXPECT_EQ(shared.JVSVUSE, 50);
  EXPECT_EQ(shared.JVSDBSHR, 833);
  EXPECT_EQ(shared.JVSEXTR, 30);
  EXPECT_EQ(shared.SPARE[0] | shared.SPARE[1], 0);
}

TEST_F(GgvsTest, ThreeMembersAverageTruncatedAndOriginFilterNamesRows) {
  for (int n : {1, 2, 3}) {
    member(n, {{{"JVSVOLN", "PAY001"},
                {"JVSVRESP", std::to_string(n * 2)},
                {"JVSDBIR", std::to_string(10 - n)}}});
  }
  std::vector<GgvsRow> out = rows({{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:X"}});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(text(out[0].ORIGINNODE), member_rows::charCell("GRPA:RX4plex:DSGROUP:X", 32));
  EXPECT_EQ(out[0].NUMRX4, 3);
  EXPECT_EQ(out[0].JVSVRESP, 4);  // 12 / 3
  EXPECT_EQ(out[0].JVSMVRESP, 6);
  EXPECT_EQ(out[0].JVSDBIR, 8);  // 24 / 3
  EXPECT_EQ(out[0].JVSMDBIR, 9);
}

TEST_F(GgvsTest, LargeCountsNeitherWrapTheRatiosNorTheSums) {
  member(1, {{{"JVSVOLN", "BIG001"},
              {"JVSTIO", "6000000"},
              {"JVSDBIO", "5000000"},
              {"JVSDSNS", "1"},
              {"JVSEXTS", "300000000"}}});
  member(2, {{{"JVSVOLN", "BIG002"}, {"JVSTIO", "2000000000"}, {"JVSDBIO", "2000000000"}},
             {{"JVSVOLN", "BIG002"}, {"JVSTIO", "2000000000"}, {"JVSDBIO", "2000000000"}}});
  std::vector<GgvsRow> out = rows();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].JVSDBSHR, 833);
  EXPECT_EQ(out[0].JVSEXTR, INT32_MAX);
  EXPECT_EQ(out[1].JVSTIO, INT32_MAX);
  EXPECT_EQ(out[1].JVSDBSHR, 1000);
}

TEST_F(GgvsTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {{{"JVSVOLN", "PAY001"}}});
  member(2, {{{"JVSVOLN", "PAY002"}}}).failOpen(240);
  host_->setTraceLevel("VXRGGVSL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 2u);
  EXPECT_TRUE(host_->traceContains("collectGOAVOLS returned FALSE, EOD no data"));

  store_.route("THRU2").failOpen(0);
  memberWithShortRows(3);
  host_->setTraceLevel("VXRGGVSL", 0);
  result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (16) are not equal to SQLDA columns (15)"));
}

TEST_F(GgvsTest, WorkAreaAndEmissionTrace) {
  member(1, {{{"JVSVOLN", "PAY001"}}});
  host_->setTraceLevel("VXRGGVSL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  ASSERT_EQ(result.storageSizes.size(), 1u);
  EXPECT_GE(result.storageSizes[0], 268);
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GGVSWORK");
  EXPECT_TRUE(host_->traceContains("GGVS Anchor at "));
  EXPECT_TRUE(host_->traceContains("EOD with 1 rows emitted"));
}

}  // namespace
