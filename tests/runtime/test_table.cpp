// The member query of a table declaration: each filter that came adds its
// condition, a condition shared by two filters goes once, a filter tied to
// another goes only with it, and the routing keeps the table's spelling.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "vxr/table.h"

namespace {

struct TestRow {
  char ORIGINNODE[32];
  char IDNAME[8];
  char DSGROUP[8];
  char VOLUME[8];
  int32_t COUNT;
};
constexpr vxr::ColumnField kTestLayout[] = {VXR_FIELD(TestRow, ORIGINNODE),
                                            VXR_FIELD(TestRow, IDNAME), VXR_FIELD(TestRow, DSGROUP),
                                            VXR_FIELD(TestRow, VOLUME), VXR_FIELD(TestRow, COUNT)};
VXR_ANCHOR_ON(kTestCollect, kTestUnit, testUnitSync, "collectTest");
VXR_ANCHOR_ON(kTestFile, kTestUnit, testUnitSync, "fileTest");

constexpr char kGroupCondition[] = " AND DSGROUP = '";
constexpr vxr::Filter kFilters[] = {
    {.column = "DSGROUP",
     .condition = kGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .notSent = "*ALL"},
    {.column = nullptr,
     .condition = kGroupCondition,
     .literal = vxr::Literal::Trimmed,
     .role = vxr::FilterRole::Group},
    {.column = "VOLUME", .sent = 6, .condition = " AND VOLUME = '", .onlyWith = "DSGROUP"},
    vxr::kOriginFilter,
};
constexpr vxr::KeyChoice kKeys[] = {{"VOLUME", nullptr}, {nullptr, "DSGROUP"}};
constexpr vxr::TableInfo kTestInfo = {.name = "TESTTABLE",
                                      .module = "VXRTESTL",
                                      .description = "test",
                                      .rowSize = sizeof(TestRow),
                                      .layout = kTestLayout,
                                      .filters = kFilters,
                                      .merge = {.sums = "COUNT", .keys = kKeys}};
constexpr vxr::Table<TestRow> kTable = {
    .info = &kTestInfo,
    .eyeCatcher = "TESTWORK",
    .workAreaSize = 200,
    .query = {.select = "SELECT ORIGINNODE,IDNAME,DSGROUP,VOLUME,COUNT",
              .base = "VXR.TEST",
              .routing = vxr::kAtSpaced,
              .condition = "KIND = 'A'"},
    .collect = &kTestCollect,
    .file = &kTestFile,
};
using Run = vxr::TableRun<kTable>;

std::string memberSql(const std::vector<std::pair<int, const char*>>& came) {
  alignas(8) char work[sizeof(Run::Work)] = {};
  for (const vxr::FilterSlot& slot : Run::kSlots) vxr::clearFilterSlot(work, slot);
  for (const auto& [index, value] : came) {
    const vxr::FilterSlot& slot = Run::kSlots[index];
    vxr::storeInt(work, slot.flag, 1);
    std::memcpy(work + slot.value, value, std::strlen(value));
  }
  VXR_NodeRecord node{};
  std::strcpy(node.thruNode, "THRU1");
  std::strcpy(node.originNode, "WNRX4:RXA1:SYSA");
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlTableQuery(sql, kTable.query, nullptr, node, kFilters, Run::kSlots, work, testTrace(),
                     {});
  return sql.text;
}

TEST(TableQuery, EachFilterThatCameAddsItsConditionOnce) {
  const std::string base =
      "SELECT ORIGINNODE,IDNAME,DSGROUP,VOLUME,COUNT FROM VXR.TEST AT ('THRU1') WHERE KIND = 'A' "
      "AND ORIGINNODE ='WNRX4:RXA1:SYSA'";
  const struct {
    std::vector<std::pair<int, const char*>> came;
    std::string conditions;
  } cases[] = {
      {{}, ""},
      {{{0, "GRPA"}}, " AND DSGROUP = 'GRPA'"},
      {{{1, "GRPB"}}, " AND DSGROUP = 'GRPB'"},               // the derived group
      {{{0, "GRPA"}, {1, "GRPB"}}, " AND DSGROUP = 'GRPA'"},  // shared: once, the filter's
      {{{2, "VOL0001"}}, ""},                                 // only with DSGROUP
      {{{1, "GRPB"}, {2, "VOL0001"}}, " AND DSGROUP = 'GRPB'"},
      {{{0, "GRPA"}, {2, "VOL0001"}}, " AND DSGROUP = 'GRPA' AND VOLUME = 'VOL000'"},
      {{{3, "GRPA:RX4plex:DSGROUP"}}, ""},  // names rows only
      {{{0, "*ALL"}}, ""},                  // a value that is never sent
  };
  for (const auto& c : cases) EXPECT_EQ(memberSql(c.came), base + c.conditions + ";");
}

TEST(TableQuery, DeclarationLaysOutTheWorkAreaAndReadsTheRuleByColumn) {
  EXPECT_EQ(Run::kProgram.workAreaSize, std::max<int32_t>(200, sizeof(Run::Work)));
  EXPECT_STREQ(Run::kProgram.eyeCatcher, "TESTWORK");
  ASSERT_EQ(Run::kRules.size(), 3u);  // the derived group has no column of its own
  EXPECT_EQ(Run::kChoicesMade[0].length, 0u);
  EXPECT_EQ(Run::kChoicesMade[1].key[0].offset, offsetof(TestRow, DSGROUP));
  ASSERT_EQ(Run::kSums.size(), 1u);
  EXPECT_EQ(Run::kSums[0], offsetof(TestRow, COUNT));
}

// A table with further steps: its own state with a result table, and a
// second query counting names into the summary rows.
struct TestState {
  VXR_ListHeader* seenList;
  VXR_ResultTable* seenTable;
  bool flag;
};
constexpr vxr::TableSpec kStateTables[] = {VXR_TABLE(TestState, seenTable, seenList, 16, 10)};
void noteCollected(TestState& state, const vxr::Collected&, const vxr::Trace&) {
  state.flag = true;
}
constexpr vxr::Table<TestRow, TestState> kStepsTable = {
    .info = &kTestInfo,
    .eyeCatcher = "STEPWORK",
    .workAreaSize = 260,
    .query = kTable.query,
    .collect = &kTestCollect,
    .file = &kTestFile,
    .names = {.query = {.select = "SELECT IDNAME,VOLUME", .base = "VXR.NAMES"}, .into = "COUNT"},
    .stateTables = kStateTables,
    .collected = noteCollected,
};
using StepsRun = vxr::TableRun<kStepsTable>;

TEST(TableSteps, TablesOfTheStateAreCreatedByTheStepsAndDestroyedBeforeTheNodeTable) {
  const vxr::ModuleProgram& program = StepsRun::kProgram;
  ASSERT_EQ(program.tables.size(), 4u);  // summary, node, pairs, the state's
  EXPECT_EQ(std::vector<uint8_t>(program.createOrder.begin(), program.createOrder.end()),
            (std::vector<uint8_t>{0, 1}));
  EXPECT_EQ(std::vector<uint8_t>(program.destroyOrder.begin(), program.destroyOrder.end()),
            (std::vector<uint8_t>{0, 2, 3, 1}));
  using Work = StepsRun::Work;
  EXPECT_EQ(program.tables[3].anchor, offsetof(Work, steps) +
                                          offsetof(vxr::StepsWork<TestState>, state) +
                                          offsetof(TestState, seenTable));
  EXPECT_EQ(program.tables[3].elementSize, 16);
  EXPECT_NE(program.furtherCollection, nullptr);
  EXPECT_EQ(Run::kProgram.furtherCollection, nullptr);
  EXPECT_TRUE(Run::kProgram.createOrder.empty());

  // The state starts afresh with every collection.
  alignas(8) char work[sizeof(Work)] = {};
  reinterpret_cast<Work*>(work)->steps.state.flag = true;
  ASSERT_NE(program.reset, nullptr);
  program.reset(work);
  EXPECT_FALSE(reinterpret_cast<Work*>(work)->steps.state.flag);
}

}  // namespace
