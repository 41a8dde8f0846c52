// What every table of the catalog must do, run over each of them: the
// lifecycle's failure statuses, and the same rows from the indexed merges as
// from the list walks on generated groups (many members, repeated keys,
// every filter mode). The member tables and their columns come from
// data/schema.sql; rows are given by column name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"
#include "vxrhost/sqlite_store.h"

// Allocation failures of the modules. The test program's malloc stands in
// for the C library's: armed, it counts the calls made from a module's code
// and fails the one asked for, and it keeps the module's blocks still
// allocated, so that a request can be checked for leaks. (Sanitizer builds
// have their own allocator and leave this out.)
#if !defined(__SANITIZE_ADDRESS__)
#define VXR_TEST_ALLOCATIONS 1
extern "C" void* __libc_malloc(size_t size);
extern "C" void __libc_free(void* block);
namespace {
bool armed = false;
thread_local bool inHook = false;
int moduleCalls = 0;
int failAt = -1;
std::vector<void*>* outstanding = nullptr;
bool fromModule(void* caller) {
  Dl_info info;
  return dladdr(caller, &info) != 0 && info.dli_fname != nullptr &&
         std::strstr(info.dli_fname, "/modules/") != nullptr;
}
}  // namespace
extern "C" void* malloc(size_t size) {
  if (!armed || inHook) return __libc_malloc(size);
  inHook = true;
  void* block = nullptr;
  if (!fromModule(__builtin_return_address(0))) {
    block = __libc_malloc(size);
  } else if (moduleCalls++ != failAt) {
    block = __libc_malloc(size);
    outstanding->push_back(block);
  }
  inHook = false;
  return block;
}
extern "C" void free(void* block) {
  if (armed && !inHook && block != nullptr) {
    inHook = true;
    for (auto it = outstanding->begin(); it != outstanding->end(); ++it) {
      if (*it == block) {
        outstanding->erase(it);
        break;
      }
    }
    inHook = false;
  }
  __libc_free(block);
}
#endif

namespace {

namespace fs = std::filesystem;
using vxrhost::CatalogTable;
using vxrhost::Filter;
using vxrhost::Host;
using vxrhost::RunOptions;
using vxrhost::RunResult;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The member tables each module queries.
const std::map<std::string, std::vector<std::string>> kMemberTables = {
    {"VXRGOAAL", {"VXR.LGOAACT"}},
    {"VXRGOTAL", {"VXR.LGOATHA"}},
    {"VXRFILTL", {"VXR.XR_SY_EXC", "VXR.LOBJECTS"}},
    {"VXRGOASL", {"VXR.LOBJECTS"}},
    {"VXRGGVDL", {"VXR.LGOAVDB"}},
    {"VXRTSTAL", {"VXR.XR_TH_EXC"}},
    {"VXRGBPPL", {"VXR.LGB_POOL"}},
    {"VXRGBPCL", {"VXR.LGBP_CONN"}},
    {"VXRGGVSL", {"VXR.LGOAVOL"}},
    {"VXRGVTAL", {"VXR.LGOAVTA"}},
    {"VXRGSTSL", {"VXR.LGBPSTAT"}},
    {"VXRCFGGL", {"VXR.LVXR_CF"}},
    {"VXRGLOKL", {"VXR.RX4LKCONF"}},
    {"VXRTHDTL", {"VXR.XR_TH_EXC"}},
};

// A generated group: `members` member agents, each with `rows` rows in every
// member table; key columns drawn from pools of `keys` values so that keys
// repeat within and across members.
class Group {
 public:
  Group(const std::string& path, int members, int rows, int keys, unsigned seed) {
    vxrhost::Error error;
    const std::string schema = readFile(VXR_SOURCE_DIR "/data/schema.sql");
    {
      auto probe = vxrhost::SqliteStore::create(path + ".schema", schema, "", error);
      if (!probe) throw std::runtime_error(error.text());
      for (const std::string& table : probe->tableNames())
        columns_[table] = *probe->tableColumns(table);
    }
    fs::remove(path + ".schema");
    std::mt19937 random(seed);
    std::ostringstream sql;
    for (int m = 1; m <= members; ++m) {
      const std::string origin = "WNRX4:RXA" + std::to_string(m) + ":SYSA";
      sql << "INSERT INTO \"Q7SRV.INODESTS\" (NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, "
             "PRODUCT, VERSION) VALUES ('"
          << origin << "','TEMS" << m << "','" << origin << "','V','Y','R4','04.20.00');\n";
      sql << "INSERT INTO \"Q7SRV.INODESTS\" (NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, "
             "PRODUCT, VERSION) VALUES ('TEMS"
          << m << "','TEMS" << m << "','TEMS" << m << "','T','Y','EM','06.30.00');\n";
      for (const auto& [table, cols] : columns_) {
        if (table.rfind("VXR.", 0) != 0) continue;
        for (int r = 0; r < rows; ++r) sql << insert(table, cols, m, origin, keys, random);
      }
    }
    store_ = vxrhost::SqliteStore::create(path, schema, sql.str(), error);
    if (!store_) throw std::runtime_error(error.text());
  }
  vxrhost::Store& store() { return *store_; }

 private:
  static std::string pick(std::mt19937& random, const std::vector<std::string>& pool) {
    return pool[random() % pool.size()];
  }
  std::string insert(const std::string& table, const std::vector<vxrhost::ColumnInfo>& cols,
                     int member, const std::string& origin, int keys, std::mt19937& random) {
    std::ostringstream names, values;
    for (size_t i = 0; i < cols.size(); ++i) {
      const auto& c = cols[i];
      names << (i ? "," : "") << c.name;
      values << (i ? "," : "");
      std::string v;
      if (c.name == "ORIGINNODE") {
        v = origin;
      } else if (c.name == "DSGROUP" || c.name == "IDNAME" || c.name == "DSGROUPN") {
        v = pick(random, {"GRP1", "GRP2"});
      } else if (c.name == "STRUCTT") {
        v = pick(random, {"CACHE", "LOCK"});
      } else if (c.name == "RX4ID") {
        v = "RXA" + std::to_string(member);
      } else if (c.name == "IDSTATUS") {
        v = pick(random, {"ACTIVE", "OFFLINE"});
      } else if (c.name == "IDTYPE") {
        v = pick(random, {"DSGRP", "RX4SS"});
      } else if (c.name.find("TIME") != std::string::npos) {
        v = "12401011200" + std::to_string(10000 + random() % 90000);
      } else if (c.type == vxrhost::ColumnType::Int32) {
        values << static_cast<int>(random() % 100000);
        continue;
      } else {
        v = "K" + std::to_string(random() % keys);
      }
      if (v.size() > static_cast<size_t>(c.width)) v.resize(static_cast<size_t>(c.width));
      values << "'" << v << "'";
    }
    return "INSERT INTO \"" + table + "\" (" + names.str() + ") VALUES (" + values.str() + ");\n";
  }

  std::map<std::string, std::vector<vxrhost::ColumnInfo>> columns_;
  std::unique_ptr<vxrhost::SqliteStore> store_;
};

// Every filter mode of a table: none, and each key column alone and with the
// group, with values the generated groups hold.
std::vector<std::vector<Filter>> filterModes(const CatalogTable& table) {
  std::vector<std::vector<Filter>> modes = {{}};
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"DSGROUP", "GRP1"},    {"IDNAME", "GRP1"},
      {"JTPDB", "K1"},        {"JTPSP", "K2"},
      {"JT7DBNM", "K1"},      {"JT7SPNM", "K2"},
      {"IDNAME", "*NOFETCH"}, {"ORIGINNODE", "GRP2:RX4plex:DSGROUP"},
      {"JAPDB", "K1"},        {"JAPSPN", "K2"},
      {"JVPVOL", "K1"},       {"JVPDB", "K1"},
      {"JVPSP", "K2"},        {"PLAN_NAME", "K1"},
      {"CORRID", "K2"},       {"JVTVOL", "K1"},
      {"STRUCTN", "K1"}};
  for (const auto& [column, value] : keys) {
    if (table.attribute(column) == nullptr) continue;
    modes.push_back({{1, column, value}});
    if (column != "DSGROUP" && table.attribute("DSGROUP")) {
      modes.push_back({{1, "DSGROUP", "GRP1"}, {1, column, value}});
    }
  }
  return modes;
}

class EveryTable : public ::testing::TestWithParam<std::string> {
 protected:
  const CatalogTable& table() const { return *vxrhost::findCatalogTable(GetParam()); }
  std::string modulePath(const char* dir) const {
    return std::string(dir) + "/" + table().module + ".so";
  }
  RunResult run(Host& host, const char* dir, const std::vector<Filter>& filters,
                const RunOptions& options = {}) {
    vxrhost::Module* module = host.load(modulePath(dir));
    RunResult result = host.run(*module, table().name, filters, table().rowSize, options);
    host.unload(module);
    return result;
  }
  fs::path dir_ = fs::temp_directory_path() /
                  ("vxr_every_table_" + std::to_string(::getpid()) + "_" + GetParam());
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
};

TEST_P(EveryTable, LifecycleFailureStatuses) {
  Group group((dir_ / "empty.db").string(), 0, 0, 1, 1);
  Host host(group.store());
  // No parameter list in any phase: 60 from every entry.
  RunResult result = run(host, VXR_MODULE_DIR, {}, {.nullParameterList = vxrhost::kPhaseAll});
  EXPECT_EQ(result.startStatus, 60);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{60});
  EXPECT_EQ(result.terminateStatus, 60);
  // No storage for the work area: 64, and 71 from the entries that follow.
  result = run(host, VXR_MODULE_DIR, {}, {.stopAfterFailedStart = true, .failGetStorage = true});
  EXPECT_EQ(result.startStatus, 64);
  result = run(host, VXR_MODULE_DIR, {}, {.failGetStorage = true});
  EXPECT_EQ(result.startStatus, 64);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{71});
  EXPECT_EQ(result.terminateStatus, 71);
  // No work area anchored: 71 from process and terminate.
  result = run(host, VXR_MODULE_DIR, {}, {.skipStart = true});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{71});
  EXPECT_EQ(result.terminateStatus, 71);
  EXPECT_TRUE(result.rows.empty());
  // No member online: end of data at once, no rows.
  result = run(host, VXR_MODULE_DIR, {});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_P(EveryTable, IndexedMergesGiveTheWalksRowsByteForByte) {
  struct Shape {
    int members, rows, keys;
  };
  for (const Shape& shape : {Shape{1, 30, 3}, Shape{8, 20, 4}, Shape{4, 40, 30}}) {
    // The same generated group twice: each side's heartbeats write its own
    // node status, so both stores go through the same states.
    const unsigned seed = 7u + static_cast<unsigned>(shape.members);
    const std::string name = "g" + std::to_string(shape.members);
    Group walkGroup((dir_ / (name + "w.db")).string(), shape.members, shape.rows, shape.keys, seed);
    Group indexGroup((dir_ / (name + "i.db")).string(), shape.members, shape.rows, shape.keys,
                     seed);
    size_t rowsSeen = 0;
    for (const std::vector<Filter>& filters : filterModes(table())) {
      std::string shown;
      for (const Filter& f : filters) shown += f.column + "=" + f.value + " ";
      SCOPED_TRACE(shown + "members " + std::to_string(shape.members));
      RunResult walked;
      size_t walkedCalls = 0;
      {
        Host walkHost(walkGroup.store());
        walked = run(walkHost, VXR_WALK_MODULE_DIR, filters);
        walkedCalls = walkHost.nodeStatusCalls().size();
      }
      Host indexHost(indexGroup.store());
      const RunResult indexed = run(indexHost, VXR_MODULE_DIR, filters);
      EXPECT_EQ(indexed.processStatuses, walked.processStatuses);
      EXPECT_EQ(indexed.rows.size(), walked.rows.size());
      EXPECT_TRUE(indexed.rows == walked.rows);
      EXPECT_EQ(indexHost.nodeStatusCalls().size(), walkedCalls);
      rowsSeen += indexed.rows.size();
    }
    EXPECT_GT(rowsSeen, 0u);
  }
}

// Each declared filter, given alone (or with the filter it goes only with),
// changes the member SQL, unless it is declared to name or keep rows rather
// than narrow the query (ORIGINNODE narrows it through the group it names,
// where the table has a group filter): a filter that is read but never sent
// shows here.
TEST_P(EveryTable, EachDeclaredFilterNarrowsTheMemberQuery) {
  Group group((dir_ / "filters.db").string(), 2, 2, 2, 9);
  auto sqlOf = [&](const std::vector<Filter>& filters) {
    Host host(group.store());
    run(host, VXR_MODULE_DIR, filters);
    return host.sqlTexts();
  };
  auto valueFor = [](const std::string& column) {
    return column == "DSGROUP" || column == "IDNAME" ? "GRP1"
           : column == "ORIGINNODE"                  ? "GRP2:RX4plex:DSGROUP"
                                                     : "K1";
  };
  bool grouped = false;
  for (const vxr::Filter& declared : table().filters)
    grouped = grouped || (declared.role == vxr::FilterRole::Group && declared.condition);
  for (const vxr::Filter& declared : table().filters) {
    if (declared.column == nullptr) continue;
    std::string column = declared.column;
    column.erase(column.find_last_not_of(' ') + 1);
    SCOPED_TRACE(column);
    std::vector<Filter> base;
    if (declared.onlyWith != nullptr) base.push_back({1, declared.onlyWith, "GRP1"});
    std::vector<Filter> with = base;
    with.push_back({1, column, valueFor(column)});
    const bool narrows =
        declared.keeps == nullptr && (declared.role != vxr::FilterRole::NamesRows || grouped);
    EXPECT_EQ(sqlOf(with) != sqlOf(base), narrows);
  }
}

#if VXR_TEST_ALLOCATIONS
// A request on `group` whose k-th allocation from the module's code fails
// (none when k is negative); `blocks` collects what the module left allocated.
RunResult runFailingAt(const std::string& table, const std::string& module, vxrhost::Store& store,
                       int k, std::vector<void*>& blocks) {
  outstanding = &blocks;
  Host host(store);
  vxrhost::Module* loaded = host.load(std::string(VXR_MODULE_DIR) + "/" + module + ".so");
  moduleCalls = 0;
  failAt = k;
  armed = true;
  const CatalogTable& t = *vxrhost::findCatalogTable(table);
  RunResult result = host.run(*loaded, t.name, {}, t.rowSize);
  armed = false;
  host.unload(loaded);
  outstanding = nullptr;
  return result;
}

// The first allocation of a request is its first result table: without it
// the request ends with 50 at once, hands out nothing and frees everything.
TEST_P(EveryTable, NoResultTableEndsWith50) {
  Group group((dir_ / "table.db").string(), 2, 3, 2, 3);
  std::vector<void*> blocks;
  const RunResult result = runFailingAt(GetParam(), table().module, group.store(), 0, blocks);
  EXPECT_EQ(result.startStatus, 0);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{50});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(result.terminateStatus, 0);
  EXPECT_TRUE(blocks.empty()) << blocks.size() << " blocks left";
}

// Whichever allocation of a request fails, the request either ends without
// a row (50 or 62) or hands out exactly the rows of an undisturbed request
// (an allocation whose loss changes nothing, such as the heartbeat's node
// list); it never hands out an incomplete group, and it frees everything.
TEST_P(EveryTable, EveryLostAllocationEndsWithoutRowsOrChangesNothing) {
  Group group((dir_ / "alloc.db").string(), 3, 12, 3, 5);
  std::vector<void*> blocks;
  auto runFailing = [&](int k) {
    return runFailingAt(GetParam(), table().module, group.store(), k, blocks);
  };
  const RunResult clean = runFailing(-1);
  const int calls = moduleCalls;
  ASSERT_FALSE(clean.rows.empty());
  EXPECT_TRUE(blocks.empty());
  for (int k = 0; k < calls; ++k) {
    SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(calls));
    const RunResult result = runFailing(k);
    const int32_t last = result.lastProcessStatus();
    if (result.rows != clean.rows) {
      EXPECT_TRUE(result.rows.empty());
      EXPECT_TRUE(last == 50 || last == 62) << last;
    }
    EXPECT_TRUE(blocks.empty()) << blocks.size() << " blocks left";
    blocks.clear();
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(Catalog, EveryTable, ::testing::ValuesIn([] {
                           std::vector<std::string> names;
                           for (const CatalogTable& t : vxrhost::catalogTables())
                             names.push_back(t.name);
                           return names;
                         }()));

}  // namespace
