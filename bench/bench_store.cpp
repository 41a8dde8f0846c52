// The store side of a whole GROUPOBJACT request on a generated group
// (scripts/gen-group): the members' SQL texts as the module sends them,
// prepared, routed and fetched through the SQLite store, against a bare
// SQLite scan of the same rows and columns.
//   VXR_BENCH_DB=group.db bench_store [benchmark flags]
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "vxrhost/sqlite_store.h"

namespace {

using namespace vxrhost;

const char kColumns[] =
    "ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,"
    "JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR";

std::string databasePath() {
  const char* path = std::getenv("VXR_BENCH_DB");
  return path ? path : "";
}

// Every row's cells as the module would take them, through the store.
void StoreMemberQueries(benchmark::State& state) {
  vxrhost::Error openError;
  auto store = SqliteStore::open(databasePath(), openError);
  std::string error;
  if (!store) {
    state.SkipWithError(("set VXR_BENCH_DB to a generated group: " + openError.text()).c_str());
    return;
  }
  // The members as node discovery lists them.
  std::vector<std::pair<std::string, std::string>> members;
  {
    std::unique_ptr<PreparedStatement> st;
    std::unique_ptr<ResultSet> rows;
    store->prepare(
        "SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' "
        "AND Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';",
        st, error);
    st->open(rows, error);
    std::vector<std::string> cells;
    while (rows->next(cells, error) == sqlstatus::kOk) {
      auto trim = [](std::string s) { return s.substr(0, s.find(' ')); };
      members.emplace_back(trim(cells[0]), trim(cells[1]));
    }
  }
  int64_t fetched = 0;
  for (auto _ : state) {
    std::vector<std::string> cells;
    for (const auto& [thru, origin] : members) {
      std::unique_ptr<PreparedStatement> st;
      std::unique_ptr<ResultSet> rows;
      std::string sql = std::string("SELECT ") + kColumns + " FROM VXR.LGOAACT AT ('" + thru +
                        "') WHERE ORIGINNODE ='" + origin + "';";
      if (store->prepare(sql, st, error) != sqlstatus::kOk ||
          st->open(rows, error) != sqlstatus::kOk) {
        state.SkipWithError(error.c_str());
        return;
      }
      while (rows->next(cells, error) == sqlstatus::kOk) ++fetched;
    }
  }
  state.counters["members"] = static_cast<double>(members.size());
  state.SetItemsProcessed(fetched);
}

// The same rows and columns read straight from SQLite: one scan, each value
// taken as text or integer.
void BareScan(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    state.SkipWithError("set VXR_BENCH_DB to a generated group");
    sqlite3_close(db);
    return;
  }
  sqlite3_stmt* st = nullptr;
  std::string sql = std::string("SELECT ") + kColumns + " FROM \"VXR.LGOAACT\"";
  sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  int64_t fetched = 0, sink = 0;
  for (auto _ : state) {
    sqlite3_reset(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int i = 0; i < 8; ++i) sink += sqlite3_column_bytes(st, i);
      for (int i = 8; i < 21; ++i) sink += sqlite3_column_int(st, i);
      ++fetched;
    }
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_finalize(st);
  sqlite3_close(db);
  state.SetItemsProcessed(fetched);
}

}  // namespace

BENCHMARK(StoreMemberQueries)->Unit(benchmark::kMillisecond);
BENCHMARK(BareScan)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
