// VXRGSTSL through the host core: the member queries per filter, the merge
// per group and structure, detail rows under a structure filter, and how a
// request ends when a member fails or sends the wrong columns. The
// scenarios are goldens in golden/vxrgstsl/.
#include "module_fixture.h"
#include "vxrgstsl.h"

namespace {

using vxrtest::Raw;
using vxrtest::Row;

class GstsTest : public vxrtest::ModuleFixture {
 protected:
  GstsTest() : ModuleFixture(kGstsTable, "VXR.LGBPSTAT") {
    answer_ = vxrtest::selectList(
        "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,DSGROUP,IDNAME,STRUCTN,NUMRX4,XIREAD,XIREADN,"
        "GBPREAD,GBPREADN,CHGWRITE,CLNWRITE,PFREAD,PFREADN,RDFAILS,WRFAILS,SYSWRCHN,SYSWRCLN,"
        "COCLASST,COGBPT,COPAGES,COENGNA,WRENGNA,RPLREQ,RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,"
        "STGSTAT,UNLCO,READCOC,READCOST,DELNAME,RDIRINFO,UNREGP,REGPAGE");
    defaults_ = {{"DSGROUP", "GRP1"}, {"IDNAME", "GRP1"}};  // rows of group GRP1 unless given
  }
};

TEST_F(GstsTest, MemberQueriesPerFilter) {
  member(1, {});
  member(2, {});
  expectRunsGolden("member-queries-per-filter",
                   {{},
                    {{1, "STRUCTN", "GBP0"}},
                    {{1, "STRUCTNAME", "GBP0"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "STRUCTN", "GBP0"}},
                    // A DSGROUP filter by itself adds nothing; other operators do not count.
                    {{1, "DSGROUP", "GRP1"}, {2, "STRUCTN", "GBP0"}},
                    // Quotes doubled; a long value cut at its 16 characters.
                    {{1, "STRUCTN", "G'BP"}},
                    {{1, "STRUCTN", "GROUPBUFFERPOOL_0_LONG"}}});
}

// Keys first seen GRP1/GBP0 (member 3), GRP2/GBP0, GRP1/GBP1: emitted
// reversed. The merged row adds up the counters, keeps the earliest time and
// the ids of the member queried first.
TEST_F(GstsTest, MembersMergePerGroupAndStructureNewestKeyFirst) {
  member(1, {{{"STRUCTN", "GBP0"},
              {"XIREAD", 100},
              {"NUMRX4", 1},
              {"SYSWRCLN", -4},
              {"TIMESTAMP", "1261208103000200"},
              {"SYSID", "SYS1"}},
             {{"STRUCTN", "GBP1"}, {"XIREAD", 7}}});
  member(2, {{{"STRUCTN", "GBP0"},
              {"XIREAD", 250},
              {"NUMRX4", 1},
              {"SYSWRCLN", 1},
              {"TIMESTAMP", "1261208103000100"},
              {"SYSID", "SYS2"}}});
  member(3, {{{"STRUCTN", "GBP0"},
              {"XIREAD", 50},
              {"NUMRX4", 1},
              {"REGPAGE", 9},
              {"SYSID", "SYS3"},
              {"RX4ID", "RX43"},
              {"TIMESTAMP", "1261208103000300"}},
             {{"STRUCTN", "GBP0"}, {"DSGROUP", "GRP2"}, {"IDNAME", "GRP2"}, {"XIREAD", 1}}});
  run();
  expectGolden("members-merge-per-group-and-structure-newest-key-first");
}

// Newest row first, each named by the origin-node filter.
TEST_F(GstsTest, StructureFilterHandsOutEveryMemberRow) {
  member(1, {{{"STRUCTN", "GBP0"}, {"XIREAD", 1}}});
  member(2, {{{"STRUCTN", "GBP0"}, {"XIREAD", 2}}, {{"STRUCTN", "GBP0"}, {"XIREAD", 3}}});
  run({{1, "STRUCTN", "GBP0"}, {1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP:X"}});
  expectGolden("structure-filter-hands-out-every-member-row");
}

TEST_F(GstsTest, SumsSaturate) {
  member(1, {{{"STRUCTN", "GBP0"}, {"XIREAD", 2'000'000'000}, {"WRFAILS", -2'000'000'000}}});
  member(2, {{{"STRUCTN", "GBP0"}, {"XIREAD", 2'000'000'000}, {"WRFAILS", -2'000'000'000}}});
  run();
  expectGolden("sums-saturate");
}

// The second row's structure name comes in 4 bytes: it is GBP0, not GBP0
// followed by the rest of the first row's name, and merges with member 2's.
TEST_F(GstsTest, AShortColumnLeavesNoBytesOfThePreviousRow) {
  member(1, {{{"STRUCTN", "GBP0_SECOND_NAME"}, {"XIREAD", 1}},
             {{"STRUCTN", Raw{"GBP0"}}, {"XIREAD", 2}}});
  member(2, {{{"STRUCTN", "GBP0"}, {"XIREAD", 4}}});
  run();
  expectGolden("a-short-column-leaves-no-bytes-of-the-previous-row");
}

TEST_F(GstsTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  host_->setTraceLevel("VXRGSTSL", 0x80);
  member(1, {{{"STRUCTN", "GBP0"}, {"XIREAD", 1}}});
  member(2, {{{"STRUCTN", "GBP1"}, {"XIREAD", 2}}}, {.drop = 1});
  run();
  expectGolden("a-column-too-few-withholds-every-row");
  member(3, {{{"STRUCTN", "GBP3"}}}).failOpen(240);
  run();
  expectGolden("a-failing-member-withholds-every-row");
}

TEST_F(GstsTest, WorkAreaAndTraceLines) {
  host_->setTraceLevel("VXRGSTSL", 0x0D);
  member(1, {{{"STRUCTN", "GBP0"}}});
  run({{1, "STRUCTN", "GBP0"}});
  expectWorkArea("GSTSWORK", 344);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
