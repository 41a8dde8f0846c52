// VXRGSTSL through the host core: the member queries per filter, the merge
// per group and structure, detail rows under a structure filter, and how a
// request ends when a member fails or sends the wrong columns.
#include "named_cells.h"
#include "vxrgstsl.h"

namespace {

using vxrhost::RunResult;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,DSGROUP,IDNAME,STRUCTN,NUMRX4,XIREAD,XIREADN,GBPREAD,"
    "GBPREADN,CHGWRITE,CLNWRITE,PFREAD,PFREADN,RDFAILS,WRFAILS,SYSWRCHN,SYSWRCLN,COCLASST,COGBPT,"
    "COPAGES,COENGNA,WRENGNA,RPLREQ,RPLRCHN,RPLRCLN,NUMCHECK,NUMREBLD,STGSTAT,UNLCO,READCOC,"
    "READCOST,DELNAME,RDIRINFO,UNREGP,REGPAGE";

// A structure row of group GRP1 (unless given otherwise).
Cells gbp(const std::string& structure, Cells more = {}) {
  more.emplace("STRUCTN", structure);
  more.emplace("DSGROUP", "GRP1");
  more.emplace("IDNAME", "GRP1");
  return more;
}

class GstsTest : public MemberRowsTest {
 protected:
  GstsTest()
      : MemberRowsTest("VXRGSTSL", "GROUPBPSTATS", kSelect, "VXR.LGBPSTAT", kGstsRowAttributes,
                       sizeof(GstsRow)) {}
  std::vector<GstsRow> rows(const std::vector<vxrhost::Filter>& filters = {}) {
    return rowsOf<GstsRow>(run(filters));
  }
  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LGBPSTAT AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE='" + origin(n) + "'" + conditions + ";";
  }
};

TEST_F(GstsTest, MemberQueriesPerFilter) {
  member(1, {});
  member(2, {});
  struct Case {
    std::vector<vxrhost::Filter> filters;
    std::string conditions;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{{1, "STRUCTN", "GBP0"}}, " AND STRUCTN = 'GBP0            '"},
      {{{1, "STRUCTNAME", "GBP0"}}, " AND STRUCTN = 'GBP0            '"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}, " AND DSGROUP = 'GRP1    '"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "STRUCTN", "GBP0"}},
       " AND DSGROUP = 'GRP1    ' AND STRUCTN = 'GBP0            '"},
      // A DSGROUP filter by itself adds nothing; other operators do not count.
      {{{1, "DSGROUP", "GRP1"}, {2, "STRUCTN", "GBP0"}}, ""},
      // Quotes doubled; a long value cut at its 16 characters.
      {{{1, "STRUCTN", "G'BP"}}, " AND STRUCTN = 'G''BP            '"},
      {{{1, "STRUCTN", "GROUPBUFFERPOOL_0_LONG"}}, " AND STRUCTN = 'GROUPBUFFERPOOL_'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    EXPECT_EQ(run(c.filters).processStatuses, std::vector<int32_t>{62});
    EXPECT_EQ(memberSql(),
              (std::vector<std::string>{sqlFor(2, c.conditions), sqlFor(1, c.conditions)}));
  }
}

TEST_F(GstsTest, MembersMergePerGroupAndStructureNewestKeyFirst) {
  member(1, {gbp("GBP0", {{"XIREAD", 100},
                          {"NUMRX4", 1},
                          {"SYSWRCLN", -4},
                          {"TIMESTAMP", "1261208103000200"},
                          {"SYSID", "SYS1"}}),
             gbp("GBP1", {{"XIREAD", 7}})});
  member(2, {gbp("GBP0", {{"XIREAD", 250},
                          {"NUMRX4", 1},
                          {"SYSWRCLN", 1},
                          {"TIMESTAMP", "1261208103000100"},
                          {"SYSID", "SYS2"}})});
  member(3, {gbp("GBP0", {{"XIREAD", 50},
                          {"NUMRX4", 1},
                          {"REGPAGE", 9},
                          {"SYSID", "SYS3"},
                          {"RX4ID", "RX43"},
                          {"TIMESTAMP", "1261208103000300"}}),
             gbp("GBP0", {{"DSGROUP", "GRP2"}, {"IDNAME", "GRP2"}, {"XIREAD", 1}})});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 62}));
  const std::vector<GstsRow> got = rowsOf<GstsRow>(result);
  ASSERT_EQ(got.size(), 3u);
  // Keys first seen GRP1/GBP0 (member 3), GRP2/GBP0, GRP1/GBP1: emitted reversed.
  EXPECT_EQ(text(got[0].STRUCTN), "GBP1            ");
  EXPECT_EQ(got[0].XIREAD, 7);
  EXPECT_EQ(text(got[1].DSGROUP), "GRP2    ");
  EXPECT_EQ(text(got[1].ORIGINNODE), "GRP2:RX4plex:DSGROUP            ");
  const GstsRow& merged = got[2];
  EXPECT_EQ(merged.XIREAD, 400);
  EXPECT_EQ(merged.NUMRX4, 3);
  EXPECT_EQ(merged.SYSWRCLN, -3);
  EXPECT_EQ(merged.REGPAGE, 9);
  EXPECT_EQ(text(merged.TIMESTAMP), "1261208103000100");
  EXPECT_EQ(text(merged.SYSID), "SYS3");  // the member queried first
  EXPECT_EQ(text(merged.RX4ID), "RX43");
  EXPECT_EQ(text(merged.ORIGINNODE), "GRP1:RX4plex:DSGROUP            ");
}

TEST_F(GstsTest, StructureFilterHandsOutEveryMemberRow) {
  member(1, {gbp("GBP0", {{"XIREAD", 1}})});
  member(2, {gbp("GBP0", {{"XIREAD", 2}}), gbp("GBP0", {{"XIREAD", 3}})});
  const std::vector<GstsRow> got =
      rows({{1, "STRUCTN", "GBP0"}, {1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP:X"}});
  ASSERT_EQ(got.size(), 3u);
  const int32_t expected[] = {1, 3, 2};  // newest row first
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i].XIREAD, expected[i]);
    EXPECT_EQ(text(got[i].ORIGINNODE), "GRP1:RX4plex:DSGROUP:X          ");
  }
}

TEST_F(GstsTest, SumsSaturate) {
  member(1, {gbp("GBP0", {{"XIREAD", 2'000'000'000}, {"WRFAILS", -2'000'000'000}})});
  member(2, {gbp("GBP0", {{"XIREAD", 2'000'000'000}, {"WRFAILS", -2'000'000'000}})});
  const std::vector<GstsRow> got = rows();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].XIREAD, INT32_MAX);
  EXPECT_EQ(got[0].WRFAILS, INT32_MIN);
}

TEST_F(GstsTest, AShortColumnLeavesNoBytesOfThePreviousRow) {
  // The second row's structure name comes in 4 bytes: it is GBP0, not
  // GBP0 followed by the rest of the first row's name.
  member(1, {gbp("GBP0_SECOND_NAME", {{"XIREAD", 1}}),
             gbp("", {{"STRUCTN", Raw{"GBP0"}}, {"XIREAD", 2}})});
  member(2, {gbp("GBP0", {{"XIREAD", 4}})});
  const std::vector<GstsRow> got = rows();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(text(got[0].STRUCTN), "GBP0_SECOND_NAME");
  EXPECT_EQ(got[1].XIREAD, 6);
}

TEST_F(GstsTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {gbp("GBP0", {{"XIREAD", 1}})});
  member(2, {gbp("GBP1", {{"XIREAD", 2}})}, 37);
  host_->setTraceLevel("VXRGSTSL", 0x80);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (38) are not equal to SQLDA columns (37)"));

  member(3, {gbp("GBP3")}).failOpen(240);
  result = run();
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 3u);
  EXPECT_TRUE(host_->traceContains("Unable to open request for input"));
}

TEST_F(GstsTest, WorkAreaAndTraceLines) {
  member(1, {gbp("GBP0")});
  host_->setTraceLevel("VXRGSTSL", 0x0D);
  RunResult result = run({{1, "STRUCTN", "GBP0"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  ASSERT_EQ(result.storageSizes.size(), 1u);
  if (sizeof(void*) == 4) {
    EXPECT_EQ(result.storageSizes[0], 344);
  }
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GSTSWORK");
  for (const char* line :
       {"Set up VXRGSTSL", "Invoked for table GROUPBPSTATS", "Index Filter 1 STRUCTN    GBP0 ",
        "First call (rowCnt=0)", "Entering SQL while...", "While complete.",
        "Returning detail for STRUCTN: GBP0             ", "Get new group record", "Gsts Anchor at",
        "EOD in Process Rtn", "Teardown"}) {
    EXPECT_TRUE(host_->traceContains(line)) << line;
  }
}

}  // namespace
