#include <functional>

#include "test_support.h"
#include "vxr/sql.h"

namespace {

using vxrhost::ObjectKind;
using vxrhost::SqlOp;

constexpr char kText[] = "SELECT NAME FROM VXR.T AT ('TEMSA');";

// One host at a time: every case builds its own.
struct SqlLayer {
  vxrhost::ScriptedStore store;
  vxrhost::Host host{store};
  VXRSQLAP block;
  bool traced(std::string_view text) const { return host.traceContains(text); }
  SqlLayer() {
    std::memset(&block, 0, sizeof block);
    block.sqlText = kText;
    store.route("TEMSA")
        .charColumn("NAME", 8)
        .row({vxrhost::charCell("A", 8)})
        .row({vxrhost::charCell("B", 8)});
  }
  vxrhost::ScriptedStore::Script& script() { return store.route("TEMSA"); }
};

TEST(SqlLayer, PreparesOpensFetchesClosesAndDrops) {
  SqlLayer t;
  auto& host = t.host;
  auto& block = t.block;
  auto traced = [&](std::string_view x) { return t.traced(x); };
  host.setTraceLevel("VXRMSQL", kTraceSql | kTraceDetail);
  ASSERT_EQ(vxrsqlp(&block), 0);
  EXPECT_EQ(std::string(block.eyeCatcher, 8), "VXRSQLAP");
  EXPECT_EQ(block.pathOpen, 1);
  EXPECT_EQ(block.planCount, 1);
  EXPECT_EQ(block.handleList, &block.cursor);
  ASSERT_EQ(vxrsqli(&block), 0);
  EXPECT_EQ(block.requestOpen, 1);
  int rows = 0;
  while (vxrsqlf(&block) == 0) ++rows;
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(vxrsqlc(&block), 0);
  EXPECT_EQ(block.requestOpen, 0);
  EXPECT_EQ(vxrsqld(&block), 0);
  EXPECT_EQ(block.pathOpen, 1);  // the flag stays set after the drop
  EXPECT_EQ(host.liveSqlObjects(), 0u);
  EXPECT_EQ(host.sqlTexts(), std::vector<std::string>{kText});
  EXPECT_TRUE(traced("Creating path for SQL\n length 36 " + std::string(kText)) ||
              traced("length 36"));
  EXPECT_TRUE(traced("Create Request successful"));
}

TEST(SqlLayer, EachPrepareStepFailingLeavesNothingBehind) {
  struct Case {
    const char* name;
    std::function<void(SqlLayer&)> inject;
    int32_t expected;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"path", [](SqlLayer& t) { t.store.failPath(55, 0, 1); }, 55, "Create Path failed with 55"},
      {"plan", [](SqlLayer& t) { t.script().failPrepare(56); }, 56,
       "Create Access Plan failed with 56"},
      {"request", [](SqlLayer& t) { t.script().failClient(SqlOp::CreateRequest, 57, 0, 1); }, 57,
       "Create Request failed with 57."},
      {"input", [](SqlLayer& t) { t.script().failClient(SqlOp::GetInputSqlda, 58, 0, 1); }, 64,
       " GetInputSQLDA failed with 58"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SqlLayer t;
    t.host.setTraceLevel("VXRMSQL", kTraceError);
    c.inject(t);
    EXPECT_EQ(vxrsqlp(&t.block), c.expected);
    EXPECT_EQ(t.block.pathOpen, 0);
    EXPECT_EQ(t.host.liveSqlObjects(), 0u);
    EXPECT_TRUE(t.traced(c.message));
    // The caller must not drop after a failed prepare; if it does, nothing is dropped.
    EXPECT_EQ(vxrsqld(&t.block), kSqlStatusFailed);
    EXPECT_TRUE(t.traced("Drop request incorrectly called with closed path "));
  }
}

TEST(SqlLayer, OpenAndOutputDescriptorFailuresReport64) {
  {
    SqlLayer s;
    auto& host = s.host;
    auto& block = s.block;
    s.script().failOpen(70);
    ASSERT_EQ(vxrsqlp(&block), 0);
    EXPECT_EQ(vxrsqli(&block), kSqlStatusFailed);
    EXPECT_EQ(block.requestOpen, 0);
    EXPECT_EQ(vxrsqlc(&block), 0);  // never opened: nothing to close
    EXPECT_EQ(vxrsqld(&block), 0);
    EXPECT_EQ(host.liveSqlObjects(), 0u);
  }
  SqlLayer t;
  t.script().failClient(SqlOp::GetOutputSqlda, 71, 0, 1);
  ASSERT_EQ(vxrsqlp(&t.block), 0);
  EXPECT_EQ(vxrsqli(&t.block), kSqlStatusFailed);
  EXPECT_EQ(t.block.requestOpen, 1);  // the request was opened before the descriptor failed
  EXPECT_EQ(vxrsqlc(&t.block), 0);
  EXPECT_EQ(vxrsqld(&t.block), 0);
  EXPECT_EQ(t.host.liveSqlObjects(), 0u);
}

TEST(SqlLayer, CloseAndDropFailures) {
  SqlLayer t;
  auto& block = t.block;
  auto script = [&]() -> vxrhost::ScriptedStore::Script& { return t.script(); };
  script().failClient(SqlOp::CloseRequest, 80, 0, 1);
  script().failClient(SqlOp::DropPlan, 81, 0, 1);
  script().failClient(SqlOp::DropPath, 82, 0, 1);
  ASSERT_EQ(vxrsqlp(&block), 0);
  ASSERT_EQ(vxrsqli(&block), 0);
  while (vxrsqlf(&block) == 0) {
  }
  EXPECT_EQ(vxrsqlc(&block), kSqlStatusFailed);
  EXPECT_EQ(block.requestOpen, 0);
  // All three drops are attempted; the first failure is reported.
  EXPECT_EQ(vxrsqld(&block), 81);
}

TEST(SqlLayer, MismatchedHandleIdsYieldStatus2WithoutACall) {
  {
    SqlLayer s;
    s.host.mismatchNextHandle(ObjectKind::Path);
    EXPECT_EQ(vxrsqlp(&s.block), 2);  // CreateAccessPlan is not called on the path
    EXPECT_EQ(s.host.sqlTexts().size(), 0u);
  }
  SqlLayer t;
  t.host.mismatchNextHandle(ObjectKind::Cursor);
  ASSERT_EQ(vxrsqlp(&t.block), 0);
  EXPECT_EQ(vxrsqli(&t.block), kSqlStatusFailed);  // GetOutputSQLDA on the cursor: 2
  EXPECT_EQ(vxrsqlf(&t.block), 2);
  EXPECT_EQ(vxrsqlc(&t.block), 0);
  EXPECT_EQ(vxrsqld(&t.block), 0);
}

}  // namespace
