// VXRGBPCL through the host core: one member query without conditions, one
// row per group, structure and connected system with the first member's
// fields and the earliest time stamp, the IDNAME row filter with two groups
// online, and every row withheld on a failure.
#include "schema_members.h"
#include "vxrgbpcl.h"

namespace {

using vxrtest::MemberRow;
using vxrtest::text;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,CONSTAT,STRUCTN,DSGROUPN,DSGROUPE,CF_NAME,JOBNAME,RX4ID,"
    "IDNAME";

MemberRow connection(const char* group, const char* structure, const char* system, const char* time,
                     const char* job) {
  return {{"DSGROUPN", group}, {"IDNAME", group},   {"STRUCTN", structure},
          {"SYSID", system},   {"TIMESTAMP", time}, {"JOBNAME", job}};
}

class GbpcTest : public vxrtest::MemberFixture {
 protected:
  GbpcTest() : MemberFixture("VXRGBPCL", "VXR.LGBP_CONN", kSelect) {}
  std::vector<GbpcRow> rows(const std::vector<vxrhost::Filter>& filters = {}) {
    last_ = run(filters, sizeof(GbpcRow));
    std::vector<GbpcRow> out;
    for (size_t i = 0; i < last_.rows.size(); ++i) out.push_back(last_.row<GbpcRow>(i));
    return out;
  }
  vxrhost::RunResult last_;
};

TEST_F(GbpcTest, OneRowPerGroupStructureAndSystemWithTheEarliestTime) {
  member(1, {connection("GRPA", "GBP0", "SYSA", "1261208104211000", "J1A"),
             connection("GRPA", "GBP0", "SYSB", "1261208104215020", "J1B")});
  member(2, {connection("GRPA", "GBP0", "SYSA", "1261208104212010", "J2A"),
             connection("GRPA", "GBP1", "SYSA", "1261208104212020", "J2C")});
  std::vector<GbpcRow> out = rows();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(text(out[0].SYSID), "SYSB    ");  // member 1's new key, filed last
  EXPECT_EQ(text(out[1].STRUCTN), "GBP1            ");
  // Member 2 is queried first: its fields stand, member 1's earlier time replaces its own.
  EXPECT_EQ(text(out[2].SYSID), "SYSA    ");
  EXPECT_EQ(text(out[2].JOBNAME), "J2A     ");
  EXPECT_EQ(text(out[2].TIMESTAMP), "1261208104211000");
  EXPECT_EQ(text(out[2].ORIGINNODE), "GRPA:RX4plex:DSGROUP            ");
}

// Two groups online at once: a group filter keeps that group's connections
// alone, named by it, while every member is asked for all of its rows.
TEST_F(GbpcTest, AGroupFilterKeepsOnlyThatGroupsRows) {
  member(1, {connection("GRPA", "GBP0", "SYSA", "T", "JA")});
  member(2, {connection("GRPB", "GBP0", "SYSA", "T", "JB"),
             connection("GRPBX", "GBP0", "SYSA", "T", "JX")});
  const std::string sql =
      std::string(kSelect) + " FROM VXR.LGBP_CONN AT('THRU2') WHERE ORIGINNODE ='WNRX4:M2';";
  const struct {
    vxrhost::Filter filter;
    const char* job;
    const char* origin;
  } cases[] = {
      {{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}, "JB      ", "GRPB:RX4plex:DSGROUP            "},
      {{1, "IDNAME", "GRPA"}, "JA      ", "GRPA:RX4plex:DSGROUP            "},
      {{1, "IDNAME", "GRPBX"}, "JX      ", "GRPBX:RX4plex:DSGROUP           "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter.value);
    std::vector<GbpcRow> out = rows({c.filter});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(text(out[0].JOBNAME), c.job);
    EXPECT_EQ(text(out[0].ORIGINNODE), c.origin);
    ASSERT_EQ(memberSql().size(), 2u);
    EXPECT_EQ(memberSql()[0], sql);
  }
  EXPECT_EQ(rows().size(), 3u);
}

TEST_F(GbpcTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailuresWithholdEveryRow(connection("GRPA", "GBP0", "SYSA", "T", "J"), sizeof(GbpcRow));
}

TEST_F(GbpcTest, WorkAreaAndTraceLines) {
  expectWorkAreaAndTrace(connection("GRPA", "GBP0", "SYSA", "T", "J"),
                         {{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP"}}, sizeof(GbpcRow), "GBPCWORK",
                         244,
                         {"Index Filter 1 ORIGINNODE GRPA:RX4plex:DSGROUP ", "filt Anchor at",
                          "Vtable SQL= SELECT ORIGINNODE,TIMESTAMP"});
}

}  // namespace
