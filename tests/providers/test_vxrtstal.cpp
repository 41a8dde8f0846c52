// VXRTSTAL through the host core: the member queries per filter (the plan
// name and correlation id answer to the host's attribute names), one row per
// member row named by the group, and every row withheld on a failure. The
// scenarios are goldens in golden/vxrtstal/.
#include "module_fixture.h"
#include "vxrtstal.h"

namespace {

class TstaTest : public vxrtest::ModuleFixture {
 protected:
  TstaTest() : ModuleFixture(kTstaTable, "VXR.XR_TH_EXC") {
    answer_ = vxrtest::selectList(
        "SELECT ORIGINNODE,EX_TIME,EX_QNSID,IDNAME,EX_RX4ID,TH_GROUPN,EX_PLAN,EX_CORRID,EX_GETP,"
        "EX_UPDCNT,EX_SRDCNT,EX_PREF,IMMWIO,LISTPREF,DYNPREF,SUCHPR,SUCHPW,UNSUCHPR,UNSUCHPW,"
        "UNGPOP,APAGER,PHPMOVE,TYPE_IND");
  }
};

// Each filter adds its condition at full width.
TEST_F(TstaTest, EachFilterAddsItsConditionAtFullWidth) {
  member(1, {});
  expectRunsGolden("member-query-per-filter",
                   {{},
                    {{1, "IDNAME", "GRPA"}},
                    {{1, "PLAN_NAME", "PAYPLAN"}},
                    {{1, "CORRID", "PAYJOB01"}},
                    {{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPA"}},
                    {{1, "IDNAME", "GRPA"}, {1, "PLAN_NAME", "PAYPLAN"}, {1, "CORRID", "O'HARA"}},
                    // Only "equals" counts; a later filter on a column replaces an earlier one.
                    {{2, "PLAN_NAME", "PAYPLAN"}, {1, "CORRID", "A"}, {1, "CORRID", "B"}}});
}

// Member 2 is queried first; each member's rows come last fetched first.
TEST_F(TstaTest, EveryMemberRowIsOneRowNamedByTheGroupLastFetchedFirst) {
  auto exception = [](const char* plan, const char* time, int getp) {
    return vxrtest::Row{{"IDNAME", "GRPA"},   {"EX_PLAN", plan}, {"EX_TIME", time},
                        {"EX_CORRID", "JOB"}, {"EX_GETP", getp}, {"TYPE_IND", 2}};
  };
  member(1, {exception("P1", "T11", 11), exception("P2", "T12", 12), exception("P3", "T13", 13)});
  member(2, {exception("P4", "T21", 21), exception("P5", "T22", 22)});
  expectRunsGolden("every-member-row-is-one-row-named-by-the-group",
                   {{}, {{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP:X"}}});
}

TEST_F(TstaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens({{"IDNAME", "GRPA"}});
}

TEST_F(TstaTest, WorkAreaAndTraceLines) {
  host_->setTraceLevel("VXRTSTAL", 0xFF);
  member(1, {{{"IDNAME", "GRPA"}}});
  run({{1, "PLAN_NAME", "X"}});
  expectWorkArea("THDSWORK", 296);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
