// Request and storage objects, the records the host hands out, and the
// request driver over the well-formed fixture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

using vxrhost::charCell;
using vxrhost::intCell;
namespace hs = vxrhost::hoststatus;

std::string fixture(const std::string& name) {
  return FIXTURE_DIR "/" + name + ".so";
}

struct FixtureRow {
  char name[8];
  int32_t value;
};

template <class F>
F requestOp(HDL1_CommonHandle h, int slot) {
  return reinterpret_cast<F>(
      static_cast<const HDL1_Object*>(h.object)->classRecord->requestOperations[slot - 1]);
}

int32_t getItem(HDL1_CommonHandle h, int32_t item, void** result) {
  return requestOp<HDL1_GetItemFn>(h, kSlotGetItem)(h.id, h.object, item, result);
}

template <class T>
T at(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
  return value;
}

class Driver : public ::testing::Test {
 protected:
  Driver() : host(store) {
    store.route("MEMB1")
        .charColumn("NAME", 8)
        .intColumn("VALUE")
        .row({charCell("ALPHA", 8), intCell(7)})
        .row({charCell("BETA", 8), intCell(-3)});
    mod = host.load(fixture("FXGOODL"));
  }
  vxrhost::ScriptedStore store;
  vxrhost::Host host;
  vxrhost::Module* mod = nullptr;
};

TEST_F(Driver, RunsStartProcessTerminate) {
  auto r = host.run(*mod, "FIXTURE", {{1, "NODE", "MEMB1"}}, sizeof(FixtureRow));
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.startStatus, 0);
  EXPECT_EQ(r.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  EXPECT_EQ(r.processCalls, 3);
  EXPECT_TRUE(r.terminated);
  EXPECT_EQ(r.terminateStatus, 0);
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(std::string(r.row<FixtureRow>(0).name, 8), "ALPHA   ");
  EXPECT_EQ(r.row<FixtureRow>(0).value, 7);
  EXPECT_EQ(r.row<FixtureRow>(1).value, -3);
  EXPECT_NE(r.workArea, nullptr);
  EXPECT_EQ(r.workAreaBytes.substr(0, 8), "FXGDWORK");
  ASSERT_EQ(r.storageSizes.size(), 1u);
  EXPECT_EQ(r.workAreaBytes.size(), static_cast<size_t>(r.storageSizes[0]));
  EXPECT_EQ(host.sqlTexts(),
            std::vector<std::string>{"SELECT NAME, VALUE FROM VXR.FIXTURE AT ('MEMB1')"});
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

// A member's failed prepare, open or fetch reaches the module as a status
// it may take for the end of the member's data; the host keeps each one
// (named by the route, no ORIGINNODE condition here) with the rows fetched
// before it. The relative runaway guard lets an answer of any size end.
TEST_F(Driver, MemberFailuresAreKeptAndTheGuardFollowsTheRows) {
  auto whole = host.run(*mod, "FIXTURE", {{1, "NODE", "MEMB1"}}, sizeof(FixtureRow),
                        {.maxProcessCalls = 1, .processCallsBeyondRows = 0});
  EXPECT_FALSE(whole.hitProcessLimit);
  EXPECT_EQ(whole.rowsFetched, 2u);
  EXPECT_EQ(whole.rows.size(), 2u);
  EXPECT_TRUE(whole.memberFailures.empty());

  const struct {
    const char* node;
    const char* operation;
    void (*fail)(vxrhost::ScriptedStore::Script&);
    size_t rowsFetched;
  } cases[] = {
      {"MEMB2", "prepare", [](vxrhost::ScriptedStore::Script& s) { s.failPrepare(202); }, 0},
      {"MEMB3", "open", [](vxrhost::ScriptedStore::Script& s) { s.failOpen(211); }, 0},
      {"MEMB4", "fetch", [](vxrhost::ScriptedStore::Script& s) { s.failFetchAfter(1, 220); }, 1},
  };
  for (const auto& c : cases) {
    auto& script = store.route(c.node).charColumn("NAME", 8).intColumn("VALUE");
    script.row({charCell("ALPHA", 8), intCell(7)}).row({charCell("BETA", 8), intCell(-3)});
    c.fail(script);
  }
  // The same whether the member rows are read ahead or at each fetch.
  for (bool ahead : {true, false})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.operation) + (ahead ? " read ahead" : " read at the fetch"));
      auto r = host.run(*mod, "FIXTURE", {{1, "NODE", c.node}}, sizeof(FixtureRow),
                        {.overlapMemberSql = ahead});
      EXPECT_EQ(r.rowsFetched, c.rowsFetched);
      ASSERT_EQ(r.memberFailures.size(), 1u);
      const vxrhost::MemberFailure& f = r.memberFailures[0];
      EXPECT_EQ(f.node, c.node);
      EXPECT_EQ(f.route, c.node);
      EXPECT_EQ(f.operation, c.operation);
      EXPECT_EQ(f.rowsFetched, c.rowsFetched);
      EXPECT_EQ(vxrhost::memberFailureText(f).rfind(std::string("member ") + c.node + ": " +
                                                        c.operation + " failed" +
                                                        (c.rowsFetched ? " after 1 row: " : ": "),
                                                    0),
                0u)
          << vxrhost::memberFailureText(f);
    }
}

TEST_F(Driver, FailuresReachTheModule) {
  auto noStorage = host.run(*mod, "FIXTURE", {}, sizeof(FixtureRow), {.failGetStorage = true});
  EXPECT_EQ(noStorage.startStatus, 64);
  EXPECT_EQ(noStorage.processStatuses, std::vector<int32_t>{71});  // no work area anchored
  EXPECT_EQ(noStorage.terminateStatus, 71);

  auto noParm = host.run(*mod, "FIXTURE", {}, 12, {.nullParameterList = vxrhost::kPhaseAll});
  EXPECT_EQ(noParm.startStatus, 60);
  EXPECT_EQ(noParm.processStatuses, std::vector<int32_t>{60});
  EXPECT_EQ(noParm.terminateStatus, 60);

  auto badId = host.run(*mod, "FIXTURE", {}, 12, {.mismatchStorageId = true});
  EXPECT_EQ(badId.startStatus, 64);

  // A route without a script fails at prepare; the module returns the status.
  auto noRoute = host.run(*mod, "FIXTURE", {{1, "NODE", "NOWHERE"}}, 12);
  EXPECT_EQ(noRoute.processStatuses, std::vector<int32_t>{vxrhost::sqlstatus::kUnknownNode});
  EXPECT_TRUE(host.traceContains("HOST CreateAccessPlan prepare failed with 210"));
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_F(Driver, ProcessAfterEndAndSkippedStart) {
  auto r = host.run(*mod, "FIXTURE", {{1, "NODE", "MEMB1"}}, 12, {.extraProcessCalls = 2});
  EXPECT_EQ(r.processStatuses, (std::vector<int32_t>{0, 0, 62, 62, 62}));
  auto skipped = host.run(*mod, "FIXTURE", {}, 12, {.skipStart = true});
  EXPECT_FALSE(skipped.started);
  EXPECT_EQ(skipped.processStatuses, std::vector<int32_t>{71});
}

TEST(RequestObjects, ParameterListAndFilterRecordsAtTheirOffsets) {
  vxrhost::Host host;
  auto req = host.newRequest("GROUPOBJACT", {{1, "DSGROUP", "GRP1"}, {4, "JTPDB", "DB01XYZ"}}, 8);
  void* parm = reinterpret_cast<void*>(1);
  ASSERT_EQ(getItem(req->handle(), kItemParameterList, &parm), 0);
  ASSERT_EQ(parm, req->parameterList());
  EXPECT_STREQ(static_cast<const char*>(parm) + kParmTableNameOffset, "GROUPOBJACT");
  EXPECT_EQ(at<void*>(parm, kParmWorkAreaOffset), nullptr);
  auto* storage = at<HDL1_CommonHandle*>(parm, kParmStorageHandleOffset);
  EXPECT_EQ(storage->id, req->storageHandle().id);
  EXPECT_EQ(storage->object, req->storageHandle().object);

  void* f = nullptr;
  ASSERT_EQ(getItem(req->handle(), kItemIndexFilter, &f), 0);
  EXPECT_EQ(at<int16_t>(f, kFilterOperatorOffset), 1);
  EXPECT_EQ(at<int16_t>(f, kFilterLengthOffset), 4);
  EXPECT_EQ(std::memcmp(static_cast<char*>(f) + kFilterColumnOffset, "DSGROUP   \0", 11), 0);
  EXPECT_EQ(std::string(at<const char*>(f, kFilterValueOffset), 4), "GRP1");
  ASSERT_EQ(getItem(req->handle(), kItemIndexFilter, &f), 0);
  EXPECT_EQ(at<int16_t>(f, kFilterOperatorOffset), 4);
  EXPECT_EQ(std::string(at<const char*>(f, kFilterValueOffset), 7), "DB01XYZ");
  EXPECT_EQ(getItem(req->handle(), kItemIndexFilter, &f), hs::kNoMoreFilters);
  EXPECT_EQ(getItem(req->handle(), 99, &f), hs::kUnknownItem);
  EXPECT_EQ(req->filtersRead(), 2u);

  EXPECT_THROW(host.newRequest("T", {{1, "ELEVENCHARS", "x"}}, 8), std::invalid_argument);
  EXPECT_THROW(host.newRequest(std::string(64, 'T'), {}, 8), std::invalid_argument);
}

TEST(RequestObjects, PutItemAndStorage) {
  vxrhost::Host host;
  auto req = host.newRequest("T", {}, 4);
  HDL1_CommonHandle h = req->handle();
  HDL1_CommonHandle s = req->storageHandle();
  void* area = nullptr;
  ASSERT_EQ(requestOp<HDL1_GetStorageFn>(s, kSlotGetStorage)(s.id, s.object, 32, &area), 0);
  const auto* bytes = static_cast<const unsigned char*>(area);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(bytes[i], 0xA5) << i;  // not zeroed for the module
  EXPECT_EQ(requestOp<HDL1_GetStorageFn>(s, kSlotGetStorage)(s.id, s.object, 0, &area),
            hs::kNoStorage);
  req->failGetStorage(true);
  EXPECT_EQ(requestOp<HDL1_GetStorageFn>(s, kSlotGetStorage)(s.id, s.object, 8, &area),
            hs::kNoStorage);

  auto put = requestOp<HDL1_PutItemFn>(h, kSlotPutItem);
  ASSERT_EQ(put(h.id, h.object, kItemWorkArea, area), 0);
  EXPECT_EQ(at<void*>(req->parameterList(), kParmWorkAreaOffset), area);
  EXPECT_EQ(req->workArea(), area);
  char row[4] = {'a', 'b', 'c', 'd'};
  ASSERT_EQ(put(h.id, h.object, kItemOutputRow, row), 0);
  row[0] = 'z';  // copied when handed over
  ASSERT_EQ(req->rows().size(), 1u);
  EXPECT_EQ(req->rows()[0], "abcd");
  EXPECT_EQ(put(h.id, h.object, kItemOutputRow, nullptr), hs::kNullArgument);

  req->nullParameterList(true);
  void* parm = reinterpret_cast<void*>(1);
  EXPECT_NE(getItem(h, kItemParameterList, &parm), 0);
  EXPECT_EQ(parm, nullptr);
}

TEST(RequestObjects, HandlesAreChecked) {
  vxrhost::Host host;
  auto req = host.newRequest("T", {}, 4);
  HDL1_CommonHandle h = req->handle();
  auto get = requestOp<HDL1_GetItemFn>(h, kSlotGetItem);
  void* result = nullptr;
  EXPECT_EQ(get(static_cast<uint16_t>(h.id + 1), h.object, kItemParameterList, &result),
            hs::kIdMismatch);
  HDL1_Object fake{0, h.id, static_cast<const HDL1_Object*>(h.object)->classRecord};
  EXPECT_EQ(get(h.id, &fake, kItemParameterList, &result), hs::kBadObject);
  HDL1_CommonHandle s = req->storageHandle();
  EXPECT_EQ(get(s.id, s.object, kItemParameterList, &result), hs::kBadObject);
  EXPECT_EQ(get(h.id, h.object, kItemParameterList, nullptr), hs::kNullArgument);
  ASSERT_TRUE(host.corruptObjectId(h.object));
  EXPECT_EQ(get(h.id, h.object, kItemParameterList, &result), hs::kIdMismatch);
  EXPECT_FALSE(host.corruptObjectId(&fake));
}

// The cursor steps the request a process call at a time; finishing it
// early (or dropping it) still terminates the request and frees what the
// module held.
TEST_F(Driver, CursorStepsAndEndsEarly) {
  std::vector<std::string> rows;
  {
    vxrhost::RequestCursor cursor(host, *mod, "FIXTURE", {{1, "NODE", "MEMB1"}}, sizeof(FixtureRow),
                                  {}, [&](std::string_view row) { rows.emplace_back(row); });
    EXPECT_TRUE(cursor.step());
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_FALSE(cursor.ended());
    const vxrhost::RunResult& r = cursor.finish();
    EXPECT_EQ(r.processCalls, 1);
    EXPECT_TRUE(r.terminated);
    EXPECT_EQ(r.terminateStatus, 0);
    EXPECT_FALSE(cursor.step());
  }
  EXPECT_EQ(host.liveSqlObjects(), 0u);
  {
    vxrhost::RequestCursor dropped(host, *mod, "FIXTURE", {{1, "NODE", "MEMB1"}},
                                   sizeof(FixtureRow));
    EXPECT_TRUE(dropped.step());
  }
  EXPECT_EQ(host.liveSqlObjects(), 0u);
  vxrhost::RequestCursor whole(host, *mod, "FIXTURE", {{1, "NODE", "MEMB1"}}, sizeof(FixtureRow));
  while (whole.step()) {
  }
  EXPECT_TRUE(whole.ended());
  EXPECT_EQ(whole.finish().processStatuses, (std::vector<int32_t>{0, 0, 62}));
  EXPECT_EQ(whole.result().rows.size(), 2u);
}

}  // namespace
