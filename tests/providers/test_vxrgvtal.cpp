// VXRGVTAL through the host core: the member queries per filter (the volume
// condition at exactly six characters), the merge per group and volume
// without a volume filter, every row on its own under one, the correlation
// id kept as delivered, and requests that end without rows. The scenarios
// are goldens in golden/vxrgvtal/.
#include "module_fixture.h"
#include "vxrgvtal.h"

namespace {

class GvtaTest : public vxrtest::ModuleFixture {
 protected:
  GvtaTest() : ModuleFixture(kGvtaTable, "VXR.LGOAVTA") {
    answer_ = vxrtest::selectList(
        "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,JVTAUID,JVTCRID,"
        "JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR");
    defaults_ = {{"IDNAME", "GRPA"}, {"DSGROUP", "GRPA"}, {"TIMESTAMP", "1261208100000000"}};
  }

  // A thread on `volume` with its plan, rates and time stamp.
  static vxrtest::Row thread(const char* volume, const char* plan, int tior, int rior, int wior,
                             int tio, int vuse, const char* time) {
    return {{"JVTVOL", volume}, {"JVTPLNM", plan}, {"JVTTIOR", tior}, {"JVTRIOR", rior},
            {"JVTWIOR", wior},  {"JVTTIO", tio},   {"JVTVUSE", vuse}, {"TIMESTAMP", time}};
  }

  // Threads on PAY001 in three members (rates 2, 4, 7), one on INV001.
  void threeMembers() {
    member(1, {thread("PAY001", "PLAN1", 2, 5, 1, 10, 50, "1261208100000100"),
               {{"JVTVOL", "INV001"}, {"JVTPLNM", "PLAN9"}, {"JVTTIOR", 9}}});
    member(2, {thread("PAY001", "PLAN2", 4, 1, 8, 20, 51, "1261208100000200")});
    vxrtest::Row third = thread("PAY001", "PLAN3", 7, 3, 2, 30, 38, "1261208100000300");
    third.push_back({"JVTAUID", "AUTH3"});
    member(3, {third});
  }
};

TEST_F(GvtaTest, MemberQueryPerFilter) {
  member(1, {});
  expectRunsGolden("member-query-per-filter",
                   {{},
                    {{1, "DSGROUP", "GRPA"}},
                    {{1, "IDNAME", "GRPB"}},
                    {{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}},
                    // The volume condition only after a group condition, at six characters.
                    {{1, "JVTVOL", "PAY001"}},
                    {{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}},
                    {{1, "JVTVOL", "PAY"}, {1, "IDNAME", "GRPB"}},
                    {{1, "ORIGINNODE", "GRPC:RX4plex:DSGROUP"}, {1, "JVTVOL", "PAY0012345"}},
                    {{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "P'Y 1"}},
                    {{1, "DSGROUP", "GROUPNAME12"}},
                    {{3, "JVTVOL", "PAY001"}, {1, "JVTPLNM", "PLAN1"}}});
}

// Averages over the merged rows, largest rates, the first row's ids.
TEST_F(GvtaTest, WithoutAVolumeFilterThreadsMergePerGroupAndVolume) {
  threeMembers();
  run();
  expectGolden("without-a-volume-filter-threads-merge-per-group-and-volume");
}

// With or without the group, the same rows.
TEST_F(GvtaTest, UnderAVolumeFilterEveryRowStandsAlone) {
  threeMembers();
  expectRunsGolden("under-a-volume-filter-every-row-stands-alone",
                   {{{1, "JVTVOL", "PAY001"}}, {{1, "DSGROUP", "GRPA"}, {1, "JVTVOL", "PAY001"}}});
}

TEST_F(GvtaTest, AShortCorrelationIdIsFollowedByZeros) {
  member(1, {{{"JVTVOL", "PAY001"}, {"JVTCRID", "ABCDEFGHIJKLMN"}}});
  member(2, {{{"JVTVOL", "PAY001"}, {"JVTCRID", "SHORT"}}}, {.widths = {{"JVTCRID", 5}}});
  run({{1, "JVTVOL", "PAY001"}});
  expectGolden("a-short-correlation-id-is-followed-by-zeros");
}

TEST_F(GvtaTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  expectFailureGoldens({{"JVTVOL", "PAY001"}});
}

TEST_F(GvtaTest, WorkAreaAndTraceLines) {
  threeMembers();
  run({{1, "JVTVOL", "PAY001"}});
  expectWorkArea("GVTAWORK", 300);
  expectGolden("work-area-and-trace-lines");
}

}  // namespace
