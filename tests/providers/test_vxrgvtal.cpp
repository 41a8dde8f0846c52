// VXRGVTAL through the host core: the member queries per filter (the volume
// condition at exactly six characters), the merge per group and volume
// without a volume filter, every row on its own under one, the correlation
// id kept as delivered, and requests that end without rows.
#include "member_rows.h"
#include "vxrgvtal.h"

namespace {

using member_rows::Cells;
using member_rows::text;
using vxrhost::Filter;
using vxrhost::RunResult;

class GvtaTest : public member_rows::MemberTest<GvtaRow> {
 protected:
  GvtaTest()
      : MemberTest("VXRGVTAL", "LGOAVTA",
                   {{"ORIGINNODE", 32},
                    {"TIMESTAMP", 16},
                    {"SYSID", 4},
                    {"RX4ID", 4},
                    {"IDNAME", 8},
                    {"DSGROUP", 8},
                    {"JVTVOL", 6},
                    {"JVTPLNM", 8},
                    {"JVTAUID", 8},
                    {"JVTCRID", 14},
                    {"JVTVUSE", 0},
                    {"JVTTIO", 0},
                    {"JVTRIO", 0},
                    {"JVTWIO", 0},
                    {"JVTTIOR", 0},
                    {"JVTRIOR", 0},
                    {"JVTWIOR", 0}}) {}

  // Three members with a thread each on PAY001 (rates 2, 4 and 7), member 1
  // with a second thread on INV001.
  void threeMembers() {
    member(1, {{{"JVTVOL", "PAY001"},
                {"JVTPLNM", "PLAN1"},
                {"JVTTIOR", "2"},
                {"JVTRIOR", "5"},
                {"JVTWIOR", "1"},
                {"JVTTIO", "10"},
                {"JVTVUSE", "50"},
                {"TIMESTAMP", "1261208100000100"}},
               {{"JVTVOL", "INV001"}, {"JVTPLNM", "PLAN9"}, {"JVTTIOR", "9"}}});
    member(2, {{{"JVTVOL", "PAY001"},
                {"JVTPLNM", "PLAN2"},
                {"JVTTIOR", "4"},
                {"JVTRIOR", "1"},
                {"JVTWIOR", "8"},
                {"JVTTIO", "20"},
                {"JVTVUSE", "51"},
                {"TIMESTAMP", "1261208100000200"}}});
    member(3, {{{"JVTVOL", "PAY001"},
                {"JVTPLNM", "PLAN3"},
                {"JVTAUID", "AUTH3"},
                {"JVTCRID", "CORR3"},
                {"JVTTIOR", "7"},
                {"JVTRIOR", "3"},
                {"JVTWIOR", "2"},
                {"JVTTIO", "30"},
                {"JVTVUSE", "38"},
                {"TIMESTAMP", "1261208100000300"}}});
  }
};

TEST_F(GvtaTest, MemberQueryPerFilter) {
  member(1, {});
  const std::string group = " AND       LGOAVTA.DSGROUP = '";
  const std::string volume = " AND   LGOAVTA.JVTVOL  = '";
  struct Case {
    std::vector<Filter> filters;
    std::string conditions;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{{1, "DSGROUP", "GRPA"}}, group + "GRPA'"},
      {{{1, "IDNAME", "GRPB"}}, group + "GRPB'"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}}, group + "GRPC'"},
      // A volume condition only after a group condition, at six characters.
      {{{1, "JVTVOL", "PAY001"}}, ""},
      {{{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}}, group + "GRPA'" + volume + "PAY001'"},
      {{{1, "JVTVOL", "PAY"}, {1, "IDNAME", "GRPB"}}, group + "GRPB'" + volume + "PAY   '"},
      {{{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "JVTVOL", "PAY0012345"}},
       group + "GRPC'" + volume + "PAY001'"},
      {{{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "P'Y 1"}}, group + "GRPA'" + volume + "P''Y 1 '"},
      {{{1, "DSGROUP", "GROUPNAME12"}}, group + "GROUPNAM'"},
      {{{3, "JVTVOL", "PAY001"}, {1, "JVTPLNM", "PLAN1"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    RunResult result = run(c.filters);
    EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
    EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
  }
}

TEST_F(GvtaTest, WithoutAVolumeFilterThreadsMergePerGroupAndVolume) {
  threeMembers();
  std::vector<GvtaRow> out = rows();
  ASSERT_EQ(out.size(), 2u);  // newest key first: INV001 (member 1 is asked last)
  EXPECT_EQ(text(out[0].JVTVOL), "INV001");
  EXPECT_EQ(out[0].NUMRX4, 1);
  EXPECT_EQ(out[0].JVTTIOR, 9);
  EXPECT_EQ(out[0].JVTMTIOR, 9);
  const GvtaRow& pay = out[1];
  EXPECT_EQ(pay.NUMRX4, 3);
  EXPECT_EQ(pay.JVTTIOR, 4);  // 13 / 3
  EXPECT_EQ(pay.JVTRIOR, 3);
  EXPECT_EQ(pay.JVTWIOR, 3);
  EXPECT_EQ(pay.JVTVUSE, 46);
  EXPECT_EQ(pay.JVTMTIOR, 7);
  EXPECT_EQ(pay.JVTMRIOR, 5);
  EXPECT_EQ(pay.JVTMWIOR, 8);
  EXPECT_EQ(pay.JVTTIO, 60);
  EXPECT_EQ(text(pay.TIMESTAMP), "1261208100000100");
  // The ids of the first merged row (member 3's).
  EXPECT_EQ(text(pay.JVTPLNM), "PLAN3   ");
  EXPECT_EQ(text(pay.JVTAUID), "AUTH3   ");
  EXPECT_EQ(text(pay.RX4ID), "RX43");
}

TEST_F(GvtaTest, UnderAVolumeFilterEveryRowStandsAlone) {
  threeMembers();
  for (const std::vector<Filter>& filters :
       {std::vector<Filter>{{1, "JVTVOL", "PAY001"}},
        std::vector<Filter>{{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}}}) {
    std::vector<GvtaRow> out = rows(filters);
    ASSERT_EQ(out.size(), 4u);  // in reverse order of arrival, nothing merged
    EXPECT_EQ(text(out[0].JVTPLNM), "PLAN9   ");
    EXPECT_EQ(text(out[3].JVTPLNM), "PLAN3   ");
    for (const GvtaRow& row : out) {
      EXPECT_EQ(row.NUMRX4, 1);
      EXPECT_EQ(row.JVTMTIOR, row.JVTTIOR);
    }
    EXPECT_EQ(out[1].JVTTIOR, 2);
    EXPECT_EQ(out[2].JVTWIOR, 8);
  }
}

TEST_F(GvtaTest, AShortCorrelationIdIsFollowedByZeros) {
  member(1, {{{"JVTVOL", "PAY001"}, {"JVTCRID", "ABCDEFGHIJKLMN"}}});
  member(2, {{{"JVTVOL", "PAY001"}, {"JVTCRID", "SHORT"}}}, {{"JVTCRID", 5}});
  std::vector<GvtaRow> out = rows({{1, "JVTVOL", "PAY001"}});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(text(out[0].JVTCRID), "ABCDEFGHIJKLMN");
  EXPECT_EQ(text(out[1].JVTCRID), std::string("SHORT") + std::string(9, '\0'));
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
  result = run();
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (17) are not equal to SQLDA columns (16)"));
}

TEST_F(GvtaTest, WorkAreaAndTraceLines) {
  threeMembers();
  host_->setTraceLevel("VXRGVTAL", 0x01);
  RunResult result = run({{1, "JVTVOL", "PAY001"}});
  ASSERT_EQ(result.storageSizes.size(), 1u);
  EXPECT_GE(result.storageSizes[0], 300);
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GVTAWORK");
  EXPECT_TRUE(host_->traceContains("Volume supplied, No Summary"));
  EXPECT_TRUE(host_->traceContains("GVTA Anchor at "));
  result = run();
  EXPECT_TRUE(host_->traceContains("summarizeVTA filterJVTVOL"));
  EXPECT_TRUE(host_->traceContains("Add new record to group"));
}

}  // namespace
