// The request lifecycle, driven end to end through a real module.
#include "test_support.h"
#include "vxr/lifecycle.h"
#include "vxrgoaal.h"

namespace {

using vxrhost::charCell;
using vxrhost::intCell;

struct Lifecycle : HostTest {
  vxrhost::Module* module = nullptr;
  Lifecycle() { module = host.load(VXR_MODULE_DIR "/VXRGOAAL.so"); }

  // One member answering rows of the given databases.
  void member(const std::string& thru, const std::string& origin,
              const std::vector<std::string>& databases) {
    auto& script = store.route(thru);
    script.charColumn("ORIGINNODE", 32)
        .charColumn("TIMESTAMP", 16)
        .charColumn("SYSID", 4)
        .charColumn("RX4ID", 4)
        .charColumn("IDNAME", 8)
        .charColumn("DSGROUP", 8)
        .charColumn("JTPDB", 8)
        .charColumn("JTPSP", 8);
    for (const char* name :
         {"JTPGETP", "JTPSYNR", "JTPPREF", "JTPASYW", "JTPOTHW", "JTPPCGP", "JTPPCIO", "JTPGPR",
          "JTPSYR", "JTPPRR", "JTPASR", "JTPOTR", "JTPRIOR"}) {
      script.intColumn(name);
    }
    for (const std::string& db : databases) {
      std::vector<std::string> cells = {charCell(origin, 32), charCell("1261208103015000", 16),
                                        charCell("SYSA", 4),  charCell("RXA1", 4),
                                        charCell("GRP1", 8),  charCell("GRP1", 8),
                                        charCell(db, 8),      charCell("SP1", 8)};
      for (int i = 0; i < 13; ++i) cells.push_back(intCell(10));
      script.row(cells);
    }
  }
};

TEST_F(Lifecycle, TwoRowsThenEndOfData) {
  scriptNodes(store, {{"TEMSA", "WNRX4:RXA1:SYSA", "04.20.00"}});
  member("TEMSA", "WNRX4:RXA1:SYSA", {"DB1", "DB2"});
  host.setTraceLevel("VXRGOAAL", kTraceDetail);
  auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  EXPECT_EQ(r.startStatus, 0);
  EXPECT_EQ(r.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  EXPECT_EQ(r.terminateStatus, 0);
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(std::string(r.row<GoaaRow>(0).JTPDB, 8), "DB2     ");  // newest first
  EXPECT_EQ(std::string(r.row<GoaaRow>(1).JTPDB, 8), "DB1     ");
  EXPECT_TRUE(traced("EOD with 2 rows emitted"));
  EXPECT_TRUE(traced("Invoked for table GROUPOBJACT"));
  // The work area: its size as asked of the host, eye-catcher first.
  ASSERT_EQ(r.storageSizes.size(), 1u);
#if VXR_ILP32
  EXPECT_EQ(r.storageSizes[0], 360);
#else
  EXPECT_GE(r.storageSizes[0], 360);
#endif
  EXPECT_EQ(r.workAreaBytes.substr(0, 8), "GOAAWORK");
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_F(Lifecycle, NoMemberGivesEndOfDataAtOnce) {
  scriptNodes(store, {});
  host.setTraceLevel("VXRGOAAL", kTraceDetail);
  auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  EXPECT_EQ(r.processStatuses, (std::vector<int32_t>{62}));
  EXPECT_TRUE(traced("EOD with 0 rows emitted"));
}

TEST_F(Lifecycle, FailureStatuses) {
  scriptNodes(store, {});
  {
    vxrhost::RunOptions options;
    options.nullParameterList = vxrhost::kPhaseAll;
    auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow), options);
    EXPECT_EQ(r.startStatus, vxr::kStatusNoParameterList);
    EXPECT_EQ(r.processStatuses.at(0), vxr::kStatusNoParameterList);
    EXPECT_EQ(r.terminateStatus, vxr::kStatusNoParameterList);
  }
  {
    vxrhost::RunOptions options;
    options.failGetStorage = true;
    auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow), options);
    EXPECT_EQ(r.startStatus, vxr::kStatusNoStorage);
  }
  {
    vxrhost::RunOptions options;
    options.skipStart = true;  // no work area was ever anchored
    auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow), options);
    EXPECT_EQ(r.processStatuses.at(0), vxr::kStatusNoWorkArea);
    EXPECT_EQ(r.terminateStatus, vxr::kStatusNoWorkArea);
  }
  {
    vxrhost::RunOptions options;
    options.mismatchRequestId = true;  // every request operation yields 2: no parameter list
    auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow), options);
    EXPECT_EQ(r.startStatus, vxr::kStatusNoParameterList);
  }
}

TEST_F(Lifecycle, ProcessAfterEndOfDataCollectsAfresh) {
  scriptNodes(store, {{"TEMSA", "WNRX4:RXA1:SYSA", "04.20.00"}});
  member("TEMSA", "WNRX4:RXA1:SYSA", {"DB1"});
  vxrhost::RunOptions options;
  options.extraProcessCalls = 2;
  auto r = host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow), options);
  // The earlier tables are released, not left unreachable (the sanitizer
  // build would report them).
  EXPECT_EQ(r.processStatuses, (std::vector<int32_t>{0, 62, 0, 62}));
  EXPECT_EQ(host.sqlTexts().size(), 4u);
}

TEST_F(Lifecycle, TraceLevelsAreCachedUntilTheyChange) {
  scriptNodes(store, {});
  host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  EXPECT_FALSE(traced("EOD with"));
  host.setTraceLevel("VXRGOAAL", kTraceDetail | kTraceFlow);
  host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  EXPECT_TRUE(traced("EOD with 0 rows emitted"));
  bool entry = false;
  for (const auto& line : host.traceLines()) entry |= line.function == "xrgoaapr";
  EXPECT_TRUE(entry);
  host.clearTrace();
  host.setTraceLevel("VXRGOAAL", 0);
  host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  EXPECT_FALSE(traced("EOD with"));
}

TEST_F(Lifecycle, BinaryFactsReadBackThroughTheLoader) {
  EXPECT_EQ(module->name(), "VXRGOAAL");
  const CNT1_MountBlock& mount = module->mountBlock();
  EXPECT_EQ(std::string(mount.name), "VXRGOAAL");
  for (size_t i = 8; i < sizeof mount.name; ++i) ASSERT_EQ(mount.name[i], '\0');
  EXPECT_EQ(mount.count, 1);
  const PRB1_Vector& vector = module->vector();
  EXPECT_EQ(vector.head[0], 23);
  EXPECT_EQ(vector.head[1], 130);
  for (int i = 4; i < 7; ++i) EXPECT_EQ(vector.slot[i].entry, nullptr);
  EXPECT_EQ(vector.tail, 0);
  vxrhost::CompileDate date = module->compileDate();
  EXPECT_TRUE(date.returnedFirstArgument);
  EXPECT_STREQ(date.version, "V130");
  EXPECT_EQ(std::strlen(date.date), 11u);
  EXPECT_EQ(std::strlen(date.time), 8u);
  EXPECT_EQ(module->compileDate().date, date.date);  // constant strings, not copies

  scriptNodes(store, {});
  host.setTraceLevel("VXRGOAAL", kTraceDetail);
  host.run(*module, "GROUPOBJACT", {}, sizeof(GoaaRow));
  auto info = module->buildInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->infoCount, 18);
  EXPECT_EQ(info->commentCount, 8);
  EXPECT_EQ(info->info.at(15), "vxr");
  EXPECT_EQ(info->info.at(0), date.date);
}

}  // namespace

namespace {

struct TableWork {
  VXR_ResultTable* table;
  VXR_ListHeader* list;
};

TEST(LifecycleTables, ATableThatCannotBeCreatedGives50AndItsMessage) {
  vxrhost::Host host;  // trace level 0: the message is written all the same
  const vxr::TableSpec tables[] = {
      {offsetof(TableWork, table),
       offsetof(TableWork, list),
       0,
       10,
       {vxr::kTraceAlways, "Unable to allocate Storage for TEST result\n"}},
      {offsetof(TableWork, table), offsetof(TableWork, list), 16, 10, {vxr::kTraceAlways, "x"}},
  };
  vxr::ModuleProgram program{};
  program.tables = tables;
  TableWork work{};
  EXPECT_EQ(vxr::createTableOf(program, &work, 0, testTrace()), vxr::kStatusNoTable);
  EXPECT_EQ(work.table, nullptr);
  EXPECT_TRUE(host.traceContains("Unable to allocate Storage for TEST result"));
  EXPECT_EQ(vxr::createTableOf(program, &work, 1, testTrace()), vxr::kStatusOk);
  EXPECT_EQ(work.list, &work.table->list);
  vxr::destroyTableOf(program, &work, 1);
  EXPECT_EQ(work.table, nullptr);
}

}  // namespace
