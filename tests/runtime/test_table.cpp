// The member query of a table declaration: each filter that came adds its
// condition, a condition shared by two filters goes once, a filter tied to
// another goes only with it, and the routing keeps the table's spelling.
// A table summarising member rows of another layout: what its row takes of
// a member row, the filter that fills another's value too, and the order of
// its tables.
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

// Member rows of a layout of their own, summarised per group and volume
// with the distinct names (of kind "IX" apart) and members counted.
struct MemberRow {
  char ORIGINNODE[32];
  char IDNAME[8];
  char DSGROUP[8];
  char VOLUME[8];
  char RX4ID[4];
  char NAME[8];
  char KIND[4];
  int32_t COUNT;
};
struct VolumeRow {
  char ORIGINNODE[32];
  char IDNAME[8];
  char DSGROUP[8];
  char RX4ID[4];
  char VOLUME[8];
  int32_t COUNT;
  int32_t NAMES, INDEXES, OTHERS, MEMBERS;
};
constexpr vxr::ColumnField kMemberLayout[] = {
    VXR_FIELD(MemberRow, ORIGINNODE), VXR_FIELD(MemberRow, IDNAME), VXR_FIELD(MemberRow, DSGROUP),
    VXR_FIELD(MemberRow, VOLUME),     VXR_FIELD(MemberRow, RX4ID),  VXR_FIELD(MemberRow, NAME),
    VXR_FIELD(MemberRow, KIND),       VXR_FIELD(MemberRow, COUNT)};
constexpr vxr::ColumnField kVolumeLayout[] = {
    VXR_FIELD(VolumeRow, ORIGINNODE), VXR_FIELD(VolumeRow, IDNAME),  VXR_FIELD(VolumeRow, DSGROUP),
    VXR_FIELD(VolumeRow, RX4ID),      VXR_FIELD(VolumeRow, VOLUME),  VXR_FIELD(VolumeRow, COUNT),
    VXR_FIELD(VolumeRow, NAMES),      VXR_FIELD(VolumeRow, INDEXES), VXR_FIELD(VolumeRow, OTHERS),
    VXR_FIELD(VolumeRow, MEMBERS)};
constexpr vxr::TableInfo kMemberInfo = {.name = "MEMBERS",
                                        .module = "VXRTESTL",
                                        .description = "test",
                                        .rowSize = sizeof(MemberRow),
                                        .layout = kMemberLayout};
constexpr vxr::Filter kVolumeFilters[] = {
    {.column = "DSGROUP", .condition = kGroupCondition, .role = vxr::FilterRole::Group},
    {.column = "IDNAME", .alsoFills = "DSGROUP", .takesDerived = true},
    vxr::kOriginFilter,
};
constexpr vxr::TableInfo kVolumeInfo = {
    .name = "VOLUMES",
    .module = "VXRTESTL",
    .description = "test",
    .rowSize = sizeof(VolumeRow),
    .layout = kVolumeLayout,
    .filters = kVolumeFilters,
    .merge = {.key = "DSGROUP,VOLUME",
              .sums = "COUNT",
              .members = {.into = "MEMBERS", .database = "VOLUME"}}};
constexpr const char* kIndexKinds[] = {"IX"};
constexpr vxr::Table<VolumeRow, vxr::NoState, MemberRow> kVolumes = {
    .info = &kVolumeInfo,
    .eyeCatcher = "TESTWORK",
    .workAreaSize = 400,
    .query = {.select = "SELECT ORIGINNODE,IDNAME,DSGROUP,VOLUME,RX4ID,NAME,KIND,COUNT",
              .base = "VXR.TEST"},
    .collect = &kTestCollect,
    .file = &kTestFile,
    .memberRow = &kMemberInfo,
    .distinct = {.name = "NAME",
                 .kind = "KIND",
                 .kinds = kIndexKinds,
                 .into = "NAMES",
                 .ofKinds = "INDEXES",
                 .otherKinds = "OTHERS"},
};
using VolumeRun = vxr::TableRun<kVolumes>;

TEST(TableQuery, MemberRowsOfAnotherLayoutAndTheTablesBesideTheRows) {
  MemberRow member;
  std::memset(&member, 'm', sizeof member);
  member.COUNT = 7;
  VolumeRow row;
  std::memset(&row, 'x', sizeof row);
  VolumeRun::convert(member, row);
  EXPECT_EQ(std::string(row.VOLUME, 8), "mmmmmmmm");
  EXPECT_EQ(std::string(row.RX4ID, 4), "mmmm");
  EXPECT_EQ(row.COUNT, 7);
  EXPECT_EQ(row.NAMES | row.INDEXES | row.OTHERS | row.MEMBERS, 0);  // no member field

  // IDNAME fills the group's value too; the group slot comes second.
  ASSERT_EQ(VolumeRun::kRules.size(), 3u);
  EXPECT_EQ(VolumeRun::kRules[1].slots[1].value, VolumeRun::kSlots[0].value);
  EXPECT_EQ(VolumeRun::kDerivedToo, 1);

  // Member table, names, summary, node; the summary is destroyed first.
  const auto& tables = VolumeRun::kProgram.tables;
  ASSERT_EQ(tables.size(), 4u);
  EXPECT_EQ(tables[0].elementSize, vxr::elementSize<vxr::DatabaseMember>());
  EXPECT_EQ(tables[1].elementSize, vxr::elementSize<vxr::DatabaseName>());
  EXPECT_EQ(tables[2].elementSize, vxr::elementSize<VolumeRow>());
  EXPECT_EQ(VolumeRun::kProgram.nodeTable, 3);
  EXPECT_EQ(std::vector<uint8_t>(VolumeRun::kProgram.destroyOrder.begin(),
                                 VolumeRun::kProgram.destroyOrder.end()),
            (std::vector<uint8_t>{2, 0, 1, 3}));
}

}  // namespace
