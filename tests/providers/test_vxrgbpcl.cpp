// VXRGBPCL through the host core: one member query without conditions, one
// row per group, structure and connected system with the first member's
// fields and the earliest time stamp, the IDNAME row filter with two groups
// online, and every row withheld on a failure. The scenarios are goldens in
// golden/vxrgbpcl/.
#include "module_fixture.h"
#include "vxrgbpcl.h"

namespace {

vxrtest::Row connection(const char* group, const char* structure, const char* system,
                        const char* time, const char* job) {
  return {{"DSGROUPN", group}, {"IDNAME", group},   {"STRUCTN", structure},
          {"SYSID", system},   {"TIMESTAMP", time}, {"JOBNAME", job}};
}

class GbpcTest : public vxrtest::ModuleFixture {
 protected:
  GbpcTest() : ModuleFixture(kGbpcTable, "VXR.LGBP_CONN") {}
};

// Member 2 is queried first: its fields stand, member 1's earlier time
// replaces its own; member 1's new key is filed last.
TEST_F(GbpcTest, OneRowPerGroupStructureAndSystemWithTheEarliestTime) {
  member(1, {connection("GRPA", "GBP0", "SYSA", "1261208104211000", "J1A"),
             connection("GRPA", "GBP0", "SYSB", "1261208104215020", "J1B")});
  member(2, {connection("GRPA", "GBP0", "SYSA", "1261208104212010", "J2A"),
             connection("GRPA", "GBP1", "SYSA", "1261208104212020", "J2C")});
  run();
  expectGolden("one-row-per-group-structure-and-system");
}

// Two groups online at once: a group filter keeps that group's connections
// alone, named by it, while every member is asked for all of its rows.
TEST_F(GbpcTest, AGroupFilterKeepsOnlyThatGroupsRows) {
  member(1, {connection("GRPA", "GBP0", "SYSA", "T", "JA")});
  member(2, {connection("GRPB", "GBP0", "SYSA", "T", "JB"),
             connection("GRPBX", "GBP0", "SYSA", "T", "JX")});
  expectRunsGolden("a-group-filter-keeps-only-that-groups-rows",
                   {{{1, "ORIGINNODE", "GRPB:RX4plex:DSGROUP"}},
                    {{1, "IDNAME", "GRPA"}},
                    {{1, "IDNAME", "GRPBX"}},
                    {}});
}

TEST_F(GbpcTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens(connection("GRPA", "GBP0", "SYSA", "T", "J"));
}

TEST_F(GbpcTest, WorkAreaAndTraceLines) {
  host_->setTraceLevel("VXRGBPCL", 0xFF);
  member(1, {connection("GRPA", "GBP0", "SYSA", "T", "J")});
  run({{1, "ORIGINNODE", "GRPA:RX4plex:DSGROUP"}});
  expectWorkArea("GBPCWORK", 244);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
