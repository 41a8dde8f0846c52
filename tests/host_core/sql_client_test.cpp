// The host's SQL client driven the way a module drives it: through the
// operation tables of the path, plan, request and cursor objects.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

using vxrhost::charCell;
using vxrhost::intCell;
using vxrhost::SqlOp;
namespace hs = vxrhost::hoststatus;
namespace ss = vxrhost::sqlstatus;

template <class F>
F op(HDL1_CommonHandle h, int slot) {
  return reinterpret_cast<F>(
      static_cast<const HDL1_Object*>(h.object)->classRecord->sqlOperations[slot - 1]);
}

template <class T>
T at(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
  return value;
}

// The calls of one query, in the order the runtime makes them.
struct Session {
  HDL1_CommonHandle path{}, plan{}, request{}, cursor{};
  HDL1_CommonHandle* handleList = &cursor;
  void* input = nullptr;
  void* output = nullptr;

  int32_t createPath() { return sql1cpth("SRVR01", sql1cpli(), &path); }
  int32_t prepare(const char* sql) {
    return op<HDL1_CreateAccessPlanFn>(path, kSlotCreateAccessPlan)(path.id, path.object, sql,
                                                                    &plan);
  }
  int32_t createRequest() {
    return op<HDL1_CreateRequestFn>(path, kSlotCreateRequest)(path.id, path.object, &request, 0, 0,
                                                              0, 0, 1, &plan, &handleList, 0);
  }
  int32_t getInput() {
    return op<HDL1_GetSQLDAFn>(request, kSlotGetInputSQLDA)(request.id, request.object, &input);
  }
  int32_t open() {
    return op<HDL1_OpenRequestFn>(request, kSlotOpenRequest)(request.id, request.object, input);
  }
  int32_t getOutput() {
    return op<HDL1_GetSQLDAFn>(cursor, kSlotGetOutputSQLDA)(cursor.id, cursor.object, &output);
  }
  int32_t fetch() { return op<HDL1_FetchFn>(cursor, kSlotFetch)(cursor.id, cursor.object, output); }
  int32_t close() {
    return op<HDL1_CloseRequestFn>(request, kSlotCloseRequest)(request.id, request.object);
  }
  int32_t dropRequest() { return op<HDL1_DropFn>(request, kSlotDrop)(request.id, request.object); }
  int32_t dropPlan() { return op<HDL1_DropFn>(plan, kSlotDrop)(plan.id, plan.object); }
  int32_t dropPath() { return op<HDL1_DropFn>(path, kSlotDrop)(path.id, path.object); }
  // Path, plan, request and input descriptor; 0 or the first failure.
  int32_t build(const char* sql) {
    int32_t s = createPath();
    if (s == 0) s = prepare(sql);
    if (s == 0) s = createRequest();
    if (s == 0) s = getInput();
    return s;
  }
  int32_t openAll() {
    int32_t s = open();
    return s == 0 ? getOutput() : s;
  }
  void dropAll() {
    dropRequest();
    dropPlan();
    dropPath();
  }

  int16_t count() const { return at<int16_t>(output, kSqldaCountOffset); }
  const unsigned char* entry(int i) const {
    return static_cast<const unsigned char*>(output) + kSqldaFirstEntryOffset + i * kSqldaEntrySize;
  }
  int16_t length(int i) const { return at<int16_t>(entry(i), kSqldaLengthOffset); }
  std::string data(int i) const {
    const char* p = at<const char*>(entry(i), kSqldaDataOffset);
    return p ? std::string(p, static_cast<size_t>(length(i))) : std::string("<null>");
  }
};

class SqlClient : public ::testing::Test {
 protected:
  SqlClient() : host(store) {
    store.route("MEMB1:XR4")
        .charColumn("NAME", 8)
        .intColumn("COUNT")
        .charColumn("NODE", 32)
        .row({charCell("ALPHA", 8), intCell(0x01020304), charCell("MEMB1:XR4", 32)})
        .row({charCell("B", 8), intCell(-2), charCell("", 32)});
  }
  vxrhost::ScriptedStore store;
  vxrhost::Host host;
};

TEST_F(SqlClient, OutputDescriptorLayoutAndRows) {
  Session q;
  ASSERT_EQ(q.build("SELECT NAME, COUNT, NODE FROM VXR.T AT ('MEMB1:XR4')"), 0);
  EXPECT_EQ(q.input != nullptr, true);
  ASSERT_EQ(q.openAll(), 0);
  ASSERT_EQ(q.count(), 3);
  ASSERT_EQ(q.fetch(), 0);
  EXPECT_EQ(q.length(0), 8);
  EXPECT_EQ(q.data(0), "ALPHA   ");
  EXPECT_EQ(q.length(1), 4);
  EXPECT_EQ(q.data(1), intCell(0x01020304));
  int32_t value = 0;
  std::memcpy(&value, q.data(1).data(), 4);
  EXPECT_EQ(value, 0x01020304);  // the platform's byte order
  EXPECT_EQ(q.length(2), 32);
  EXPECT_EQ(q.data(2), charCell("MEMB1:XR4", 32));
  ASSERT_EQ(q.fetch(), 0);
  EXPECT_EQ(q.data(0), "B       ");
  EXPECT_EQ(q.fetch(), ss::kEndOfData);
  EXPECT_EQ(q.data(0), "<null>");  // no stale row after the end
  EXPECT_EQ(q.fetch(), ss::kEndOfData);
  EXPECT_EQ(q.close(), 0);
  EXPECT_EQ(host.liveSqlObjects(), 4u);
  EXPECT_EQ(q.dropRequest(), 0);
  EXPECT_EQ(q.dropPlan(), 0);
  EXPECT_EQ(q.dropPath(), 0);
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_F(SqlClient, TextsAreRecordedExactlyAndRouted) {
  const char* texts[] = {
      "SELECT NAME, COUNT, NODE FROM VXR.T AT('  MEMB1:XR4 ') WHERE NAME = 'A''B'  ",
      "SELECT X FROM Q7SRV.INODESTS",
  };
  store.route("").charColumn("X", 4).row({charCell("x", 4)});
  for (const char* text : texts) {
    Session q;
    ASSERT_EQ(q.build(text), 0) << text;
    q.dropAll();
  }
  EXPECT_EQ(host.sqlTexts(), (std::vector<std::string>{texts[0], texts[1]}));
  EXPECT_EQ(store.texts(), host.sqlTexts());
  EXPECT_EQ(store.prepareCount("MEMB1:XR4"), 1);
  EXPECT_EQ(store.prepareCount(""), 1);
  EXPECT_EQ(vxrhost::atNode("SELECT A FROM FLAT ('X') AT ('N1')"), "N1");
  bool closed = true;
  EXPECT_EQ(vxrhost::atNode("SELECT A FROM T AT ('N1", &closed), "");
  EXPECT_FALSE(closed);
}

TEST(AtClause, ReadWithTheDialectsLiteralRule) {
  struct Case {
    const char* sql;
    bool present;
    bool closed;
    const char* node;
  };
  const Case cases[] = {
      {"SELECT A FROM T AT ('N1') WHERE B = 'x'", true, true, "N1"},
      {"SELECT A FROM T AT('  N1  ')", true, true, "N1"},
      {"SELECT A FROM T AT ('''')", true, true, "'"},  // a node named '
      {"SELECT A FROM T AT ('O''Hara:X')", true, true, "O'Hara:X"},
      {"SELECT A FROM T AT ('')", true, true, ""},  // an empty route is still a route
      {"SELECT A FROM T WHERE B = 'AT (''N9'')'", false, true, ""},  // inside a literal
      {"SELECT A FROM T", false, true, ""},
      {"SELECT A FROM T AT ('N1''", true, false, ""},
  };
  for (const Case& c : cases) {
    vxrhost::AtClause at = vxrhost::findAtClause(c.sql);
    EXPECT_EQ(at.present, c.present) << c.sql;
    EXPECT_EQ(at.closed, c.closed) << c.sql;
    EXPECT_EQ(at.node, c.node) << c.sql;
  }
  EXPECT_EQ(vxrhost::fromTable("SELECT 'FROM X' FROM VXR.LGOAACT AT ('N')"), "VXR.LGOAACT");
}

TEST_F(SqlClient, MembersAreCountedByRequestsSentPerBaseTable) {
  store.route("").charColumn("X", 4);
  store.route("'").charColumn("X", 4);
  const char* texts[] = {
      "SELECT X FROM VXR.A AT ('MEMB1:XR4')", "SELECT X FROM VXR.A AT ('''')",
      "SELECT X FROM VXR.A AT ('')",          "SELECT X FROM VXR.B AT ('MEMB1:XR4')",
      "SELECT X FROM VXR.B AT ('''')",        "SELECT X FROM Q7SRV.INODESTS",
  };
  for (const char* text : texts) {
    Session q;
    ASSERT_EQ(q.build(text), 0) << text;
    ASSERT_EQ(q.openAll(), 0) << text;
    while (q.fetch() == 0) {
    }
    q.close();
    q.dropAll();
  }
  EXPECT_EQ(store.prepareCount("'"), 2);  // the route of AT ('''') is a single quote
  vxrhost::SqlActivity a = host.sqlActivity();
  EXPECT_EQ(a.texts, 6u);
  EXPECT_EQ(a.memberRequests, 5u);
  EXPECT_EQ(a.membersQueried, 3u);
  EXPECT_GT(a.storeTime.count(), 0);
  host.clearSqlTexts();
  EXPECT_EQ(host.sqlActivity().memberRequests, 0u);
}

TEST_F(SqlClient, PathNeedsTheServerAndClientList) {
  HDL1_CommonHandle path{};
  EXPECT_EQ(sql1cpth("SRVR02", sql1cpli(), &path), hs::kUnknownServer);
  EXPECT_EQ(sql1cpth("SRVR01", &path, &path), hs::kBadArgument);
  EXPECT_EQ(sql1cpth("SRVR01", sql1cpli(), nullptr), hs::kNullArgument);
  EXPECT_EQ(host.liveSqlObjects(), 0u);
  EXPECT_TRUE(host.traceContains("HOST sql1cpth unknown SQL server \"SRVR02\""));
}

TEST_F(SqlClient, StoreFailuresCarryTheirStatus) {
  store.route("BAD").failPrepare(ss::kUnknownTable);
  store.route("SHUT").charColumn("A", 1).failOpen(ss::kNodeOffline);
  store.route("FLAKY").charColumn("A", 1).row({"a"}).row({"b"}).failFetchAfter(1, ss::kInjected);
  {
    Session q;
    ASSERT_EQ(q.createPath(), 0);
    EXPECT_EQ(q.prepare("SELECT A FROM T AT ('BAD')"), ss::kUnknownTable);
    EXPECT_TRUE(host.traceContains("HOST CreateAccessPlan prepare failed with 202"));
    EXPECT_EQ(q.dropPath(), 0);
  }
  {
    Session q;
    ASSERT_EQ(q.build("SELECT A FROM T AT ('SHUT')"), 0);
    EXPECT_EQ(q.open(), ss::kNodeOffline);
    EXPECT_EQ(q.close(), ss::kBadState);  // never opened
    q.dropAll();
  }
  {
    Session q;
    ASSERT_EQ(q.build("SELECT A FROM T AT ('FLAKY')"), 0);
    ASSERT_EQ(q.openAll(), 0);
    EXPECT_EQ(q.fetch(), 0);
    EXPECT_EQ(q.fetch(), ss::kInjected);
    EXPECT_EQ(q.close(), 0);
    q.dropAll();
  }
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_F(SqlClient, ClientFaultsAndLeftoversFreedAtTeardown) {
  auto& route = store.route("MEMB1:XR4");
  route.failClient(SqlOp::CreateRequest, 241, 0, 1)
      .failClient(SqlOp::GetInputSqlda, 242, 0, 1)
      .failClient(SqlOp::GetOutputSqlda, 243, 0, 1)
      .failClient(SqlOp::CloseRequest, 244, 0, 1)
      .failClient(SqlOp::DropPlan, 245, 0, 1);
  store.failPath(246, 0, 1);
  const char* sql = "SELECT NAME FROM T AT ('MEMB1:XR4')";
  Session q;
  EXPECT_EQ(q.createPath(), 246);
  ASSERT_EQ(q.createPath(), 0);
  ASSERT_EQ(q.prepare(sql), 0);
  EXPECT_EQ(q.createRequest(), 241);
  ASSERT_EQ(q.createRequest(), 0);
  EXPECT_EQ(q.getInput(), 242);
  ASSERT_EQ(q.getInput(), 0);
  ASSERT_EQ(q.open(), 0);
  EXPECT_EQ(q.getOutput(), 243);
  ASSERT_EQ(q.getOutput(), 0);
  EXPECT_EQ(q.close(), 244);
  EXPECT_EQ(q.dropRequest(), 0);
  EXPECT_EQ(q.dropPlan(), 245);  // the plan stays alive
  EXPECT_EQ(q.dropPath(), 0);
  EXPECT_EQ(host.liveSqlObjects(vxrhost::ObjectKind::Plan), 1u);
  EXPECT_TRUE(host.traceContains("HOST DropPlan injected failure with 245"));
  // The Host frees the plan when it goes (checked by LeakSanitizer).
}

TEST_F(SqlClient, HandlesAndOrderAreChecked) {
  const char* sql = "SELECT NAME FROM T AT ('MEMB1:XR4')";
  {
    host.mismatchNextHandle(vxrhost::ObjectKind::Plan);
    Session q;
    ASSERT_EQ(q.createPath(), 0);
    ASSERT_EQ(q.prepare(sql), 0);
    EXPECT_NE(q.plan.id, static_cast<const HDL1_Object*>(q.plan.object)->id);
    EXPECT_EQ(q.createRequest(), hs::kIdMismatch);
    EXPECT_EQ(q.dropPlan(), hs::kIdMismatch);
    EXPECT_EQ(q.dropPath(), 0);
  }
  {
    host.mismatchNextHandle(vxrhost::ObjectKind::Cursor);
    Session q;
    ASSERT_EQ(q.build(sql), 0);
    EXPECT_EQ(q.open(), 0);
    EXPECT_EQ(q.getOutput(), hs::kIdMismatch);
    q.cursor.id = static_cast<uint16_t>(static_cast<const HDL1_Object*>(q.cursor.object)->id);
    ASSERT_EQ(q.getOutput(), 0);
    EXPECT_EQ(q.open(), ss::kBadState);  // already open
    void* other = q.input;
    EXPECT_EQ(op<HDL1_FetchFn>(q.cursor, kSlotFetch)(q.cursor.id, q.cursor.object, other),
              hs::kBadArgument);
    // A cursor handle is no request handle.
    EXPECT_EQ(op<HDL1_DropFn>(q.request, kSlotDrop)(q.cursor.id, q.cursor.object), hs::kBadObject);
    q.dropAll();
  }
  {
    Session q;
    ASSERT_EQ(q.build(sql), 0);
    ASSERT_EQ(q.getOutput(), 0);
    EXPECT_EQ(q.fetch(), ss::kBadState);  // not open
    q.dropAll();
  }
  EXPECT_EQ(host.liveSqlObjects(), 1u);  // the mismatched plan, freed at teardown
}

TEST_F(SqlClient, MissingCellsReadAsEmpty) {
  store.route("SHORT").charColumn("A", 2).charColumn("B", 2).row({"xy"});
  Session q;
  ASSERT_EQ(q.build("SELECT A, B FROM T AT ('SHORT')"), 0);
  ASSERT_EQ(q.openAll(), 0);
  ASSERT_EQ(q.fetch(), 0);
  EXPECT_EQ(q.data(0), "xy");
  EXPECT_EQ(q.length(1), 0);
  EXPECT_TRUE(host.traceContains("has 1 cells for 2 columns"));
  q.close();
  q.dropAll();
}

TEST_F(SqlClient, NodeStatusUpdatesReachTheStore) {
  EXPECT_EQ(kfastinh("GRP1:RX4plex:DSGROUP", "RX4plex:RX4plex:Skelvane", "Y", "V", "QJ", "V130",
                     "aff", "lvl"),
            0);
  store.failNodeStatus(ss::kStoreFailure);
  EXPECT_EQ(kfastinh("GRP2", "", "N", "", "QJ", nullptr, "", ""), ss::kStoreFailure);
  auto calls = host.nodeStatusCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].update.node, "GRP1:RX4plex:DSGROUP");
  EXPECT_EQ(calls[0].update.parent, "RX4plex:RX4plex:Skelvane");
  EXPECT_EQ(calls[0].update.level, "lvl");
  EXPECT_EQ(calls[1].update.version, "");
  EXPECT_EQ(calls[1].status, ss::kStoreFailure);
  ASSERT_EQ(store.nodeUpdates().size(), 2u);
  EXPECT_EQ(store.nodeUpdates()[0].online, "Y");
}

// --- Member statements read ahead ------------------------------------------

// One member statement as a module goes through it, and again after a close
// and a fresh open: each fetch's status and row, then the trace lines.
struct ReadAheadCase {
  const char* name;
  int rows;
  int failAfter;   // rows delivered before a fetch fails; -1: none
  int closeAfter;  // fetches before the module closes; -1: until a non-zero status
};

std::vector<std::string> transcript(vxrhost::Host& host, const std::string& route,
                                    const ReadAheadCase& c) {
  std::vector<std::string> seen;
  Session q;
  EXPECT_EQ(q.build(("SELECT NAME, N FROM VXR.BIG AT ('" + route + "')").c_str()), 0);
  for (int pass = 0; pass < 2; ++pass) {
    seen.push_back("open " + std::to_string(q.openAll()));
    for (int fetched = 0; c.closeAfter < 0 || fetched < c.closeAfter; ++fetched) {
      int32_t status = q.fetch();
      seen.push_back(std::to_string(status) + (status == 0 ? " " + q.data(0) + q.data(1) : ""));
      if (status == 0) continue;
      // Fetching on: the end stays the end, a failure repeats.
      seen.push_back("again " + std::to_string(q.fetch()));
      break;
    }
    seen.push_back("close " + std::to_string(q.close()));
  }
  q.dropAll();
  for (const std::string& line : host.traceText()) seen.push_back(line);
  host.clearTrace();
  return seen;
}

TEST_F(SqlClient, ReadAheadChangesNothingTheModuleSees) {
  if (!VXR_READ_AHEAD) GTEST_SKIP() << "this build has no reader threads (VXR_READ_AHEAD is off)";
  // The reader buffers 2,048 rows and publishes them 32 at a time.
  const ReadAheadCase cases[] = {
      {"every row", 6000, -1, -1},
      {"no row", 0, -1, -1},
      {"fails at once", 6000, 0, -1},
      {"fails mid-buffer", 6000, 300, -1},
      {"fails at the end of the ring", 6000, 2048, -1},
      {"closed before a fetch", 6000, -1, 0},
      {"closed early", 6000, -1, 5},
      {"closed with a full buffer", 6000, -1, 3000},
  };
  for (const ReadAheadCase& c : cases) {
    std::string route = std::string("BIG:") + c.name;
    auto& script = store.route(route).charColumn("NAME", 6).intColumn("N");
    for (int i = 0; i < c.rows; ++i) script.row({charCell("R" + std::to_string(i), 6), intCell(i)});
    if (c.failAfter >= 0) script.failFetchAfter(c.failAfter, ss::kInjected);
    host.overlapMemberSql(false);
    std::vector<std::string> serial = transcript(host, route, c);
    host.overlapMemberSql(true);
    std::vector<std::string> ahead = transcript(host, route, c);
    EXPECT_EQ(ahead, serial) << c.name;
    EXPECT_GE(serial.size(), 4u) << c.name;  // open, close, open, close at least
  }
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

// A store that notes the threads its rows are read on.
class ThreadNotingStore : public vxrhost::Store {
 public:
  explicit ThreadNotingStore(vxrhost::Store& inner) : inner_(inner) {}
  int32_t prepare(const std::string& sql, std::unique_ptr<vxrhost::PreparedStatement>& statement,
                  std::string& error) override {
    std::unique_ptr<vxrhost::PreparedStatement> inner;
    int32_t status = inner_.prepare(sql, inner, error);
    if (inner != nullptr) statement = std::make_unique<Statement>(std::move(inner), threads_);
    return status;
  }
  int32_t updateNodeStatus(const vxrhost::NodeStatusUpdate& update, std::string& error) override {
    return inner_.updateNodeStatus(update, error);
  }
  // Whether every row was read on this thread.
  bool readHere() {
    std::lock_guard lock(threads_.mutex);
    bool here = threads_.ids == std::set<std::thread::id>{std::this_thread::get_id()};
    threads_.ids.clear();
    return here;
  }

 private:
  struct Threads {
    std::mutex mutex;
    std::set<std::thread::id> ids;
  };
  struct Rows : vxrhost::ResultSet {
    Rows(std::unique_ptr<vxrhost::ResultSet> r, Threads& t) : inner(std::move(r)), threads(t) {}
    int32_t next(std::vector<std::string>& cells, std::string& error) override {
      std::lock_guard lock(threads.mutex);
      threads.ids.insert(std::this_thread::get_id());
      return inner->next(cells, error);
    }
    std::unique_ptr<vxrhost::ResultSet> inner;
    Threads& threads;
  };
  struct Statement : vxrhost::PreparedStatement {
    Statement(std::unique_ptr<vxrhost::PreparedStatement> s, Threads& t)
        : inner(std::move(s)), threads(t) {}
    const std::vector<vxrhost::ColumnInfo>& columns() const override { return inner->columns(); }
    int32_t open(std::unique_ptr<vxrhost::ResultSet>& rows, std::string& error) override {
      std::unique_ptr<vxrhost::ResultSet> r;
      int32_t status = inner->open(r, error);
      if (r != nullptr) rows = std::make_unique<Rows>(std::move(r), threads);
      return status;
    }
    std::unique_ptr<vxrhost::PreparedStatement> inner;
    Threads& threads;
  };
  vxrhost::Store& inner_;
  Threads threads_;
};

TEST(ReadAhead, OnlyMemberStatementsAndOnlyWhenAllowed) {
  if (!VXR_READ_AHEAD) GTEST_SKIP() << "this build has no reader threads (VXR_READ_AHEAD is off)";
  vxrhost::ScriptedStore scripted;
  scripted.route("M:XR4").charColumn("A", 1).row({"a"}).row({"b"});
  scripted.route("").charColumn("A", 1).row({"a"});
  ThreadNotingStore store(scripted);
  vxrhost::Host host(store);
  const struct {
    const char* sql;
    bool allowed;
    bool readHere;
  } cases[] = {
      {"SELECT A FROM T AT ('M:XR4')", true, false},
      {"SELECT A FROM T AT ('M:XR4')", false, true},
      {"SELECT A FROM Q7SRV.INODESTS", true, true},  // no member: read at the fetch
  };
  for (const auto& c : cases) {
    host.overlapMemberSql(c.allowed);
    Session q;
    ASSERT_EQ(q.build(c.sql), 0);
    ASSERT_EQ(q.openAll(), 0);
    while (q.fetch() == 0) {
    }
    EXPECT_EQ(q.close(), 0);
    q.dropAll();
    EXPECT_EQ(store.readHere(), c.readHere) << c.sql << (c.allowed ? " allowed" : "");
  }
}

TEST(ReadAhead, AnOpenStatementEndsWithTheHost) {
  vxrhost::ScriptedStore store;
  auto& script = store.route("M:XR4").charColumn("A", 1);
  for (int i = 0; i < 2000; ++i) script.row({"x"});
  auto host = std::make_unique<vxrhost::Host>(store);
  Session q;
  ASSERT_EQ(q.build("SELECT A FROM T AT ('M:XR4')"), 0);
  ASSERT_EQ(q.openAll(), 0);
  ASSERT_EQ(q.fetch(), 0);
  host.reset();  // the reader is stopped before the rows it reads go
}

}  // namespace
