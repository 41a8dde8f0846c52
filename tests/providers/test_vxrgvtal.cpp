// VXRGVTAL through the host core: the member queries per filter (the volume
// condition at exactly six characters), the merge per group and volume
// without a volume filter, every row on its own under one, the correlation
// id kept as delivered, and requests that end without rows.
#include "member_rows.h"
#include "vxrgvtal.h"

namespace {

using vxrhost::Filter;
using vxrhost::RunResult;
using Rows = std::vector<std::string>;

class GvtaTest : public member_rows::MemberTest<GvtaRow> {
 protected:
  GvtaTest()
      : MemberTest("VXRGVTAL", "LGOAVTA",
                   "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,JVTAUID,"
                   "JVTCRID,JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR",
                   kGvtaRowAttributes) {}

  // Threads on PAY001 in three members (rates 2, 4, 7), one on INV001.
  void threeMembers() {
    member(1, {"JVTVOL=PAY001 JVTPLNM=PLAN1 JVTTIOR=2 JVTRIOR=5 JVTWIOR=1 JVTTIO=10 JVTVUSE=50 "
               "TIMESTAMP=1261208100000100",
               "JVTVOL=INV001 JVTPLNM=PLAN9 JVTTIOR=9"});
    member(2, {"JVTVOL=PAY001 JVTPLNM=PLAN2 JVTTIOR=4 JVTRIOR=1 JVTWIOR=8 JVTTIO=20 JVTVUSE=51 "
               "TIMESTAMP=1261208100000200"});
    member(3, {"JVTVOL=PAY001 JVTPLNM=PLAN3 JVTAUID=AUTH3 JVTTIOR=7 JVTRIOR=3 JVTWIOR=2 "
               "JVTTIO=30 JVTVUSE=38 TIMESTAMP=1261208100000300"});
  }
};

TEST_F(GvtaTest, MemberQueryPerFilter) {
  const std::string group = " AND       LGOAVTA.DSGROUP = '";
  const std::string volume = " AND   LGOAVTA.JVTVOL  = '";
  expectMemberSql({
      {{}, ""},
      {{{1, "DSGROUP", "GRPA"}}, group + "GRPA'"},
      {{{1, "IDNAME", "GRPB"}}, group + "GRPB'"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}}, group + "GRPC'"},
      // The volume condition only after a group condition, at six characters.
      {{{1, "JVTVOL", "PAY001"}}, ""},
      {{{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}}, group + "GRPA'" + volume + "PAY001'"},
      {{{1, "JVTVOL", "PAY"}, {1, "IDNAME", "GRPB"}}, group + "GRPB'" + volume + "PAY   '"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "JVTVOL", "PAY0012345"}},
       group + "GRPC'" + volume + "PAY001'"},
      {{{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "P'Y 1"}}, group + "GRPA'" + volume + "P''Y 1 '"},
      {{{1, "DSGROUP", "GROUPNAME12"}}, group + "GROUPNAM'"},
      {{{3, "JVTVOL", "PAY001"}, {1, "JVTPLNM", "PLAN1"}}, ""},
  });
}

constexpr char kShown[] =
    "JVTVOL JVTPLNM JVTAUID RX4ID TIMESTAMP NUMRX4 JVTTIO JVTTIOR JVTRIOR JVTWIOR JVTVUSE "
    "JVTMTIOR JVTMRIOR JVTMWIOR";

TEST_F(GvtaTest, WithoutAVolumeFilterThreadsMergePerGroupAndVolume) {
  threeMembers();
  // Averages over the merged rows, largest rates, the first row's ids.
  EXPECT_EQ(rows(kShown), (Rows{"INV001 PLAN9  RX41 1261208100000000 1 0 9 0 0 0 9 0 0",
                                "PAY001 PLAN3 AUTH3 RX43 1261208100000100 3 60 4 3 3 46 7 5 8"}));
}

TEST_F(GvtaTest, UnderAVolumeFilterEveryRowStandsAlone) {
  threeMembers();
  const Rows each = {"INV001 PLAN9  RX41 1261208100000000 1 0 9 0 0 0 9 0 0",
                     "PAY001 PLAN1  RX41 1261208100000100 1 10 2 5 1 50 2 5 1",
                     "PAY001 PLAN2  RX42 1261208100000200 1 20 4 1 8 51 4 1 8",
                     "PAY001 PLAN3 AUTH3 RX43 1261208100000300 1 30 7 3 2 38 7 3 2"};
  EXPECT_EQ(rows(kShown, {{1, "JVTVOL", "PAY001"}}), each);
  EXPECT_EQ(rows(kShown, {{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}}), each);
}

TEST_F(GvtaTest, AShortCorrelationIdIsFollowedByZeros) {
  member(1, {"JVTVOL=PAY001 JVTCRID=ABCDEFGHIJKLMN"});
  member(2, {"JVTVOL=PAY001 JVTCRID=SHORT"}, {{"JVTCRID", 5}});
  EXPECT_EQ(rows("JVTCRID", {{1, "JVTVOL", "PAY001"}}),
            (Rows{"ABCDEFGHIJKLMN", std::string("SHORT") + std::string(9, '\0')}));
}

TEST_F(GvtaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  threeMembers();
  store_.route("THRU2").failOpen(240);
  host_->setTraceLevel("VXRGVTAL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 3u);
  EXPECT_TRUE(host_->traceContains("collectLGOAVTA returned FALSE, EOD no data"));

  store_.route("THRU2").failOpen(0);
  memberWithShortRows(4);
  host_->setTraceLevel("VXRGVTAL", 0);
  EXPECT_TRUE(run().rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (17) are not equal to SQLDA columns (16)"));
}

TEST_F(GvtaTest, WorkAreaAndTraceLines) {
  threeMembers();
  host_->setTraceLevel("VXRGVTAL", 0x01);
  RunResult result = run({{1, "JVTVOL", "PAY001"}});
  EXPECT_TRUE(sizeof(void*) != 4 || result.storageSizes == std::vector<int32_t>{300});
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GVTAWORK");
  EXPECT_TRUE(host_->traceContains("Volume supplied, No Summary"));
  EXPECT_TRUE(host_->traceContains("GVTA Anchor at "));
  run();
  EXPECT_TRUE(host_->traceContains("summarizeVTA filterJVTVOL"));
  EXPECT_TRUE(host_->traceContains("Add new record to group"));
}

}  // namespace
