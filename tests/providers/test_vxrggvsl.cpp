// VXRGGVSL through the host core: the member queries per filter, the merge
// per group and volume (sums, averages, maxima, earliest time stamp), the two
// ratios and their guards, and requests that end without rows.
#include "member_rows.h"
#include "vxrggvsl.h"

namespace {

using vxrhost::RunResult;
using Rows = std::vector<std::string>;

class GgvsTest : public member_rows::MemberTest<GgvsRow> {
 protected:
  GgvsTest()
      : MemberTest("VXRGGVSL", "LGOAVOL",
                   "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVSVOLN,JVSVUTIL,"
                   "JVSVRESP,JVSTIO,JVSDBIO,JVSTIOR,JVSDBIR,JVSDSNS,JVSEXTS,JVSVUSE",
                   kGgvsRowAttributes) {}
};

TEST_F(GgvsTest, MemberQueryPerFilter) {
  const std::string group = " AND       LGOAVOL.DSGROUP = '";
  expectMemberSql({
      {{}, ""},
      {{{1, "DSGROUP", "GRPA"}}, group + "GRPA'"},
      {{{1, "IDNAME", "GRPB"}}, group + "GRPB'"},
      {{{1, "IDNAME", "GRPB"}, {1, "DSGROUP", "GRPA"}}, group + "GRPA'"},  // DSGROUP wins
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}}, group + "GRPC'"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPD"}}, group + "GRPD'"},
      // Cut at the slot, ended at a blank, quotes doubled.
      {{{1, "DSGROUP", "GROUPNAME12"}}, group + "GROUPNAM'"},
      {{{1, "DSGROUP", "G'P A"}}, group + "G''P'"},
      {{{2, "DSGROUP", "GRPA"}, {1, "JVSVOLN", "PAY001"}}, ""},
  });
}

constexpr char kShown[] =
    "DSGROUP JVSVOLN RX4ID TIMESTAMP NUMRX4 JVSVUTIL JVSVRESP JVSMVRESP JVSTIO JVSDBIO JVSTIOR "
    "JVSDBIR JVSMDBIR JVSDSNS JVSEXTS JVSVUSE JVSDBSHR JVSEXTR";

TEST_F(GgvsTest, VolumesMergePerGroupWithSumsAveragesMaximaAndRatios) {
  member(1, {"JVSVOLN=PAY001 TIMESTAMP=1261208100000300 JVSVUTIL=41 JVSVRESP=3 JVSTIO=70 "
             "JVSDBIO=60 JVSTIOR=14 JVSDBIR=12 JVSDSNS=2 JVSEXTS=5 JVSVUSE=50",
             "JVSVOLN=PAY001 DSGROUP=GRPB IDNAME=GRPB JVSVRESP=9 JVSTIO=3 JVSDBIO=1 JVSDSNS=3 "
             "JVSEXTS=10"});
  member(2, {"JVSVOLN=PAY001 TIMESTAMP=1261208100000100 JVSVUTIL=38 JVSVRESP=8 JVSTIO=50 "
             "JVSDBIO=40 JVSTIOR=11 JVSDBIR=9 JVSDSNS=1 JVSEXTS=4 JVSVUSE=51",
             "JVSVOLN=SCR001"});
  // Newest key first; a volume of another group stands apart; counts are the
  // group's sums beside averaged rates; no I/O or no data sets give ratio 0.
  EXPECT_EQ(rows(kShown), (Rows{
                              "GRPB PAY001 RX41 1261208100000000 1 0 9 9 3 1 0 0 0 3 10 0 333 33",
                              "GRPA SCR001 RX42 1261208100000000 1 0 0 0 0 0 0 0 0 0 0 0 0 0",
                              "GRPA PAY001 RX42 1261208100000100 2 39 5 8 120 100 12 10 12 3 9 "
                              "50 833 30",
                          }));
  EXPECT_EQ(rows("ORIGINNODE")[0], "GRPB:RX4plex:DSGROUP");
}

TEST_F(GgvsTest, ThreeMembersAverageTruncatedUnderAnOriginFilter) {
  for (int n : {1, 2, 3}) {
    member(n, {"JVSVOLN=PAY001 JVSVRESP=" + std::to_string(n * 2) +
               " JVSDBIR=" + std::to_string(10 - n)});
  }
  EXPECT_EQ(rows("ORIGINNODE NUMRX4 JVSVRESP JVSMVRESP JVSDBIR JVSMDBIR",
                 {{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:X"}}),
            Rows{"GRPA:RX4plex:DSGROUP:X 3 4 6 8 9"});
}

TEST_F(GgvsTest, LargeCountsNeitherWrapTheRatiosNorTheSums) {
  member(1, {"JVSVOLN=BIG001 JVSTIO=6000000 JVSDBIO=5000000 JVSDSNS=1 JVSEXTS=300000000"});
  member(2, {"JVSVOLN=BIG002 JVSTIO=2000000000 JVSDBIO=2000000000",
             "JVSVOLN=BIG002 JVSTIO=2000000000 JVSDBIO=2000000000"});
  EXPECT_EQ(rows("JVSVOLN JVSTIO JVSDBSHR JVSEXTR"),
            (Rows{"BIG001 6000000 833 2147483647", "BIG002 2147483647 1000 0"}));
}

TEST_F(GgvsTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {"JVSVOLN=PAY001"});
  member(2, {"JVSVOLN=PAY002"}).failOpen(240);
  host_->setTraceLevel("VXRGGVSL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 2u);
  EXPECT_TRUE(host_->traceContains("collectGOAVOLS returned FALSE, EOD no data"));

  store_.route("THRU2").failOpen(0);
  memberWithShortRows(3);
  host_->setTraceLevel("VXRGGVSL", 0);
  EXPECT_TRUE(run().rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (16) are not equal to SQLDA columns (15)"));
}

TEST_F(GgvsTest, WorkAreaAndEmissionTrace) {
  member(1, {"JVSVOLN=PAY001"});
  host_->setTraceLevel("VXRGGVSL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  EXPECT_TRUE(sizeof(void*) != 4 || result.storageSizes == std::vector<int32_t>{268});
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GGVSWORK");
  EXPECT_TRUE(host_->traceContains("GGVS Anchor at "));
  EXPECT_TRUE(host_->traceContains("EOD with 1 rows emitted"));
}

}  // namespace
