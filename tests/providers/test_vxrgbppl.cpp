// VXRGBPPL through the host core: the member queries per filter, one row
// per group and cache structure with the first member's figures and the
// earliest time stamp, and every row withheld on a failure. The scenarios
// are goldens in golden/vxrgbppl/.
#include "module_fixture.h"
#include "vxrgbppl.h"

namespace {

vxrtest::Row pool(const char* group, const char* structure, const char* time, int reads) {
  return {{"DSGROUP", group},
          {"IDNAME", group},
          {"STRUCTN", structure},
          {"TIMESTAMP", time},
          {"STRUCTT", "CACHE"},
          {"RD_COUNT", reads},
          {"SMFID", "S" + std::to_string(reads)}};
}

class GbppTest : public vxrtest::ModuleFixture {
 protected:
  GbppTest() : ModuleFixture(kGbppTable, "VXR.LGB_POOL") {}
};

TEST_F(GbppTest, CacheStructuresAreAskedForUnderTheIdnameCondition) {
  member(1, {});
  expectRunsGolden("member-query-per-filter", {{},
                                               {{1, "IDNAME", "GRPA"}},
                                               {{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}},
                                               {{2, "IDNAME", "GRPA"}, {1, "STRUCTN", "X"}}});
}

// Member 3 is queried first: its GBP0 row gives the figures, member 2 the
// earliest time; another group's structure stands apart.
TEST_F(GbppTest, OneRowPerGroupAndStructureWithTheFirstFiguresAndTheEarliestTime) {
  member(1, {pool("GRPA", "GBP0", "1261208104115010", 10), pool("GRPB", "GBP0", "T1", 40)});
  member(2, {pool("GRPA", "GBP0", "1261208104112010", 20)});
  member(3, {pool("GRPA", "GBP0", "1261208104118010", 30), pool("GRPA", "GBP1", "T3", 31)});
  run();
  expectGolden("one-row-per-group-and-structure");
}

TEST_F(GbppTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens(pool("GRPA", "GBP0", "T", 1));
}

TEST_F(GbppTest, WorkAreaAndTraceLines) {
  host_->setTraceLevel("VXRGBPPL", 0xFF);
  member(1, {pool("GRPA", "GBP0", "T", 1)});
  run({{1, "IDNAME", "GRPA"}});
  expectWorkArea("GBPPWORK", 248);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
