// VXRTSTAL through the host core: the member queries per filter (the plan
// name and correlation id answer to the host's attribute names), one row per
// member row named by the group, and every row withheld on a failure.
#include "schema_members.h"
#include "vxrtstal.h"

namespace {

using vxrtest::MemberRow;
using vxrtest::text;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,EX_TIME,EX_QNSID,IDNAME,EX_RX4ID,TH_GROUPN,EX_PLAN,EX_CORRID,EX_GETP,"
    "EX_UPDCNT,EX_SRDCNT,EX_PREF,IMMWIO,LISTPREF,DYNPREF,SUCHPR,SUCHPW,UNSUCHPR,UNSUCHPW,UNGPOP,"
    "APAGER,PHPMOVE,TYPE_IND";

class TstaTest : public vxrtest::MemberFixture {
 protected:
  TstaTest() : MemberFixture("VXRTSTAL", "VXR.XR_TH_EXC", kSelect) {}
  std::vector<TstaRow> rows(const std::vector<vxrhost::Filter>& filters = {}) {
    last_ = run(filters, sizeof(TstaRow));
    std::vector<TstaRow> out;
    for (size_t i = 0; i < last_.rows.size(); ++i) out.push_back(last_.row<TstaRow>(i));
    return out;
  }
  vxrhost::RunResult last_;
};

TEST_F(TstaTest, EachFilterAddsItsConditionAtFullWidth) {
  const std::string base =
      std::string(kSelect) + " FROM VXR.XR_TH_EXC AT('THRU1') WHERE ORIGINNODE ='WNRX4:M1'";
  const struct {
    std::vector<vxrhost::Filter> filters;
    std::string conditions;
  } cases[] = {
      {{}, ""},
      {{{1, "IDNAME", "GRPA"}}, " AND IDNAME ='GRPA    '"},
      {{{1, "PLAN_NAME", "PAYPLAN"}}, " AND EX_PLAN ='PAYPLAN '"},
      {{{1, "CORRID", "PAYJOB01"}}, " AND EX_CORRID ='PAYJOB01    '"},
      {{{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}}, " AND IDNAME ='GRPB    '"},
      {{{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPA"}},
       " AND IDNAME ='GRPA    '"},
      {{{1, "IDNAME", "GRPA"}, {1, "PLAN_NAME", "PAYPLAN"}, {1, "CORRID", "O'HARA"}},
       " AND IDNAME ='GRPA    ' AND EX_PLAN ='PAYPLAN ' AND EX_CORRID ='O''HARA      '"},
      // Only "equals" counts; a later filter on a column replaces an earlier one.
      {{{2, "PLAN_NAME", "PAYPLAN"}, {1, "CORRID", "A"}, {1, "CORRID", "B"}},
       " AND EX_CORRID ='B           '"},
  };
  member(1, {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conditions);
    EXPECT_TRUE(rows(c.filters).empty());
    EXPECT_EQ(memberSql(), std::vector<std::string>{base + c.conditions + ";"});
  }
}

TEST_F(TstaTest, EveryMemberRowIsOneRowNamedByTheGroupLastFetchedFirst) {
  auto exception = [](const char* plan, const char* time, int getp) {
    return MemberRow{{"IDNAME", "GRPA"},
                     {"EX_PLAN", plan},
                     {"EX_TIME", time},
                     {"EX_CORRID", "JOB"},
                     {"EX_GETP", std::to_string(getp)},
                     {"TYPE_IND", "2"}};
  };
  member(1, {exception("P1", "T11", 11), exception("P2", "T12", 12), exception("P3", "T13", 13)});
  member(2, {exception("P4", "T21", 21), exception("P5", "T22", 22)});
  std::vector<TstaRow> out = rows();
  ASSERT_EQ(out.size(), 5u);
  const int getp[] = {13, 12, 11, 22, 21};  // member 2 is queried first
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].EX_GETP, getp[i]);
    EXPECT_EQ(out[i].TYPE_IND, 2);
    EXPECT_EQ(text(out[i].ORIGINNODE), "GRPA:RX4plex:DSGROUP            ");
  }
  EXPECT_EQ(text(out[0].PLAN_NAME), "P3      ");
  EXPECT_EQ(text(out[0].CORRID), "JOB         ");
  EXPECT_EQ(text(out[0].EX_TIME), "T13             ");

  out = rows({{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:X"}});
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(text(out[4].ORIGINNODE), "GRPA:RX4plex:DSGROUP:X          ");
}

TEST_F(TstaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailuresWithholdEveryRow({{"IDNAME", "GRPA"}}, sizeof(TstaRow));
}

TEST_F(TstaTest, WorkAreaAndTraceLines) {
  expectWorkAreaAndTrace({{"IDNAME", "GRPA"}}, {{1, "PLAN_NAME", "X"}}, sizeof(TstaRow), "THDSWORK",
                         296,
                         {"Index Filter 1 PLAN_NAME  X ", "filt Anchor at", "REALNODE=\\THRU1",
                          "Vtable SQL= SELECT ORIGINNODE,EX_TIME"});
}

}  // namespace
