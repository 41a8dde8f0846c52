// VXRCFGGL through the host core: the member queries per filter, the merge
// per group and lock structure, the contention percentages and their
// guards, and how a request ends when a member fails or sends the wrong
// columns.
#include "named_cells.h"
#include "vxrcfggl.h"

namespace {

using vxrhost::RunResult;

constexpr char kSelect[] =
    "SELECT CONNECT,DSGROUP,R4CPLOK,R4FCONT,R4GCONT,R4PLOCK,R4SUSFAL,R4SUSIRL,R4SUSXES,R4UPLOK,"
    "FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,ORIGINNODE,RECORDA,RECORDP,RECORDU,"
    "STRUCTN,STRUCTP,STRUCTS,STRUCTST,STRUCTT,STRUCTU,TIMESTAMP";

// A lock structure row of group GRP1 (unless given otherwise).
Cells lockRow(const std::string& structure, Cells more = {}) {
  more.emplace("STRUCTN", structure);
  more.emplace("DSGROUP", "GRP1");
  more.emplace("IDNAME", "GRP1");
  return more;
}

class CfggTest : public MemberRowsTest {
 protected:
  CfggTest()
      : MemberRowsTest("VXRCFGGL", "GROUPLOCKSTRUCT", kSelect, "VXR.LVXR_CF", kCfggRowAttributes,
                       sizeof(CfggRow)) {}
  std::vector<CfggRow> rows(const std::vector<vxrhost::Filter>& filters = {}) {
    return rowsOf<CfggRow>(run(filters));
  }
  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LVXR_CF AT('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE = '" + origin(n) + "'" + conditions + ";";
  }
};

TEST_F(CfggTest, MemberQueriesPerFilter) {
  member(1, {});
  struct Case {
    std::vector<vxrhost::Filter> filters;
    std::string conditions;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{{1, "IDNAME", "GRP1"}}, " AND       IDNAME = 'GRP1    '"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}, " AND       IDNAME = 'GRP1    '"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "IDNAME", "GRP2"}},
       " AND       IDNAME = 'GRP2    '"},
      // The whole column name must match; only "equals" counts.
      {{{1, "IDNAMEX", "GRP1"}, {1, "IDNAM", "GRP1"}, {2, "IDNAME", "GRP1"}}, ""},
      // Quotes doubled; a long value cut at its 8 characters.
      {{{1, "IDNAME", "G'1"}}, " AND       IDNAME = 'G''1     '"},
      {{{1, "IDNAME", "GROUPNAME12"}}, " AND       IDNAME = 'GROUPNAM'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    run(c.filters);
    EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
  }
}

TEST_F(CfggTest, MembersMergePerGroupAndStructureWithRatesFromTheSums) {
  member(1, {lockRow("LOCK1", {{"R4PLOCK", 600},
                               {"R4SUSIRL", 60},
                               {"R4SUSXES", 6},
                               {"R4SUSFAL", 1},
                               {"TIMESTAMP", "1261208103000100"},
                               {"LOCKU", 11},
                               {"STRUCTT", "LOCK"}})});
  member(2, {lockRow("LOCK1", {{"R4PLOCK", 300},
                               {"R4SUSIRL", 30},
                               {"R4SUSXES", 3},
                               {"R4GCONT", 77},
                               {"R4FCONT", 88},
                               {"LOCKU", 22},
                               {"STRUCTST", "ACTIVE"},
                               {"TIMESTAMP", "1261208103000200"}})});
  member(3, {lockRow("LOCK1", {{"DSGROUP", "GRP2"}, {"IDNAME", "GRP2"}, {"R4GCONT", 5}})});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  const std::vector<CfggRow> got = rowsOf<CfggRow>(result);
  ASSERT_EQ(got.size(), 2u);
  const CfggRow& merged = got[0];
  EXPECT_EQ(text(merged.DSGROUP), "GRP1    ");
  EXPECT_EQ(merged.R4PLOCK, 900);
  EXPECT_EQ(merged.R4SUSIRL, 90);
  EXPECT_EQ(merged.R4SUSXES, 9);
  EXPECT_EQ(merged.R4SUSFAL, 1);
  EXPECT_EQ(merged.R4GCONT, 10);  // 100 of 1000
  EXPECT_EQ(merged.R4FCONT, 1);   // 1 of 100
  EXPECT_EQ(text(merged.TIMESTAMP), "1261208103000100");
  EXPECT_EQ(merged.LOCKU, 22);  // the member queried first
  EXPECT_EQ(text(merged.STRUCTST), "ACTIVE  ");
  EXPECT_EQ(text(merged.STRUCTT), "     ");
  EXPECT_EQ(text(merged.PADDING), std::string(3, '\0'));
  EXPECT_EQ(text(merged.ORIGINNODE), "GRP1:RX4plex:DSGROUP            ");
  EXPECT_EQ(text(got[1].DSGROUP), "GRP2    ");
  EXPECT_EQ(got[1].R4GCONT, 0);  // the member's own percentage is never used
}

TEST_F(CfggTest, RatesAndTheirGuards) {
  struct Case {
    const char* structure;
    Cells counters;
    int32_t global, falseContention;
  };
  const std::vector<Case> cases = {
      {"THIRD", {{"R4SUSIRL", 2}, {"R4SUSFAL", 1}}, 100, 33},
      {"ZERO", {{"R4GCONT", 50}, {"R4FCONT", 50}}, 0, 0},
      {"NOSUSP", {{"R4PLOCK", 500}, {"R4UPLOK", 5}}, 0, 0},
      {"ORDER", {{"R4PLOCK", 71}, {"R4SUSXES", 29}}, 28, 0},  // (29 / 100) x 100, truncated
      // Counters that cancel out: no division by zero.
      {"CANCEL", {{"R4PLOCK", 5}, {"R4SUSIRL", -5}}, 0, 0},
      {"CANCELS", {{"R4SUSIRL", 5}, {"R4SUSFAL", -5}, {"R4PLOCK", 10}}, 0, 0},
      {"NEGATIVE", {{"R4PLOCK", 300}, {"R4SUSIRL", -100}, {"R4SUSFAL", 50}}, -20, -100},
      {"HUGE",
       {{"R4PLOCK", 2'000'000'000},
        {"R4CPLOK", 2'000'000'000},
        {"R4SUSIRL", 2'000'000'000},
        {"R4SUSFAL", 2'000'000'000}},
       50,
       50},
  };
  std::vector<Cells> given;
  for (const Case& c : cases) given.push_back(lockRow(c.structure, c.counters));
  member(1, given);
  const std::vector<CfggRow> got = rows();
  ASSERT_EQ(got.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[cases.size() - 1 - i];
    SCOPED_TRACE(c.structure);
    EXPECT_EQ(got[i].R4GCONT, c.global);
    EXPECT_EQ(got[i].R4FCONT, c.falseContention);
  }
}

TEST_F(CfggTest, SumsSaturateBeforeTheRates) {
  member(1, {lockRow("LOCK1", {{"R4PLOCK", 2'000'000'000}, {"R4SUSIRL", 2'000'000'000}})});
  member(2, {lockRow("LOCK1", {{"R4PLOCK", 2'000'000'000}, {"R4SUSIRL", 2'000'000'000}})});
  const std::vector<CfggRow> got = rows({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].R4PLOCK, INT32_MAX);
  EXPECT_EQ(got[0].R4SUSIRL, INT32_MAX);
  EXPECT_EQ(got[0].R4GCONT, 50);
}

TEST_F(CfggTest, AFailingMemberOrAWrongColumnCountWithholdsEveryRow) {
  member(1, {lockRow("LOCK1", {{"R4PLOCK", 1}})});
  member(2, {lockRow("LOCK1")}, 28);
  host_->setTraceLevel("VXRCFGGL", 0x80);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (29) are not equal to SQLDA columns (28)"));

  member(3, {lockRow("LOCK3")}).failPrepare(230);
  result = run();
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Unable to create select request path"));
}

TEST_F(CfggTest, WorkAreaAndTraceLines) {
  member(1, {lockRow("LOCK1"), lockRow("LOCK1")});
  host_->setTraceLevel("VXRCFGGL", 0x0D);
  RunResult result = run({{1, "IDNAME", "GRP1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  ASSERT_EQ(result.storageSizes.size(), 1u);
  if (sizeof(void*) == 4) {
    EXPECT_EQ(result.storageSizes[0], 288);
  }
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "CFGGWORK");
  for (const char* line :
       {"Set up VXRCFGGL", "Index Filter 1 IDNAME     GRP1 ", "Get new group record",
        "Add up total columns", "Cfgg Anchor at", "EOD in Process Rtn", "Teardown"}) {
    EXPECT_TRUE(host_->traceContains(line)) << line;
  }
}

}  // namespace
