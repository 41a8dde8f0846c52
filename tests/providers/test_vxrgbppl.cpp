// VXRGBPPL through the host core: the member queries per filter, one row
// per group and cache structure with the first member's figures and the
// earliest time stamp, and every row withheld on a failure.
#include "schema_members.h"
#include "vxrgbppl.h"

namespace {

using vxrtest::MemberRow;
using vxrtest::text;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,RD_COUNT,RD_HIT_CNT,RD_HIT_PCT,XI_COUNT,XI_RATE,DIRENT,DATAPG,STRUCTS,"
    "CONNECT,SMFID,STRUCTN,DSGROUP,TIMESTAMP,STRUCTST,STRUCTT,IDNAME";

MemberRow pool(const char* group, const char* structure, const char* time, int reads) {
  return {{"DSGROUP", group},
          {"IDNAME", group},
          {"STRUCTN", structure},
          {"TIMESTAMP", time},
          {"STRUCTT", "CACHE"},
          {"RD_COUNT", std::to_string(reads)},
          {"SMFID", "S" + std::to_string(reads)}};
}

class GbppTest : public vxrtest::MemberFixture {
 protected:
  GbppTest() : MemberFixture("VXRGBPPL", "VXR.LGB_POOL", kSelect) {}
  std::vector<GbppRow> rows(const std::vector<vxrhost::Filter>& filters = {}) {
    last_ = run(filters, sizeof(GbppRow));
    std::vector<GbppRow> out;
    for (size_t i = 0; i < last_.rows.size(); ++i) out.push_back(last_.row<GbppRow>(i));
    return out;
  }
  vxrhost::RunResult last_;
};

TEST_F(GbppTest, CacheStructuresAreAskedForUnderTheIdnameCondition) {
  const std::string base =
      std::string(kSelect) +
      " FROM VXR.LGB_POOL AT('THRU1') WHERE STRUCTT = 'CACHE' AND ORIGINNODE ='WNRX4:M1'";
  const struct {
    std::vector<vxrhost::Filter> filters;
    std::string conditions;
  } cases[] = {
      {{}, ""},
      {{{1, "IDNAME", "GRPA"}}, " AND IDNAME ='GRPA    '"},
      {{{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}}, " AND IDNAME ='GRPB    '"},
      {{{2, "IDNAME", "GRPA"}, {1, "STRUCTN", "X"}}, ""},
  };
  member(1, {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conditions);
    EXPECT_TRUE(rows(c.filters).empty());
    EXPECT_EQ(last_.processStatuses, std::vector<int32_t>{62});
    EXPECT_EQ(memberSql(), std::vector<std::string>{base + c.conditions + ";"});
  }
}

TEST_F(GbppTest, OneRowPerGroupAndStructureWithTheFirstFiguresAndTheEarliestTime) {
  member(1, {pool("GRPA", "GBP0", "1261208104115010", 10), pool("GRPB", "GBP0", "T1", 40)});
  member(2, {pool("GRPA", "GBP0", "1261208104112010", 20)});
  member(3, {pool("GRPA", "GBP0", "1261208104118010", 30), pool("GRPA", "GBP1", "T3", 31)});
  std::vector<GbppRow> out = rows();
  ASSERT_EQ(out.size(), 3u);
  // Member 3 is queried first: its GBP0 row gives the figures, member 2 the time.
  EXPECT_EQ(text(out[0].DSGROUP), "GRPB    ");
  EXPECT_EQ(out[0].RD_COUNT, 40);
  EXPECT_EQ(text(out[0].ORIGINNODE), "GRPB:RX4plex:DSGROUP            ");
  EXPECT_EQ(text(out[1].STRUCTN), "GBP1            ");
  EXPECT_EQ(out[1].RD_COUNT, 31);
  EXPECT_EQ(text(out[2].STRUCTN), "GBP0            ");
  EXPECT_EQ(out[2].RD_COUNT, 30);
  EXPECT_EQ(text(out[2].SMFID), "S30 ");
  EXPECT_EQ(text(out[2].TIMESTAMP), "1261208104112010");
  EXPECT_EQ(text(out[2].STRUCTT), "CACHE");
}

TEST_F(GbppTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailuresWithholdEveryRow(pool("GRPA", "GBP0", "T", 1), sizeof(GbppRow));
}

TEST_F(GbppTest, WorkAreaAndTraceLines) {
  expectWorkAreaAndTrace(pool("GRPA", "GBP0", "T", 1), {{1, "IDNAME", "GRPA"}}, sizeof(GbppRow),
                         "GBPPWORK", 248,
                         {"Index Filter 1 IDNAME     GRPA ", "filt Anchor at",
                          "Vtable SQL= SELECT ORIGINNODE,RD_COUNT"});
}

}  // namespace
