// The module-side merge cost per member row: object-activity rows filed by
// group, database and space into a result table, as VXRGOAAL and VXRGOTAL
// do, for 1k to 1M rows over 10 to 100k distinct keys. Built twice: on the
// runtime with the key index (bench_merge) and on the walking runtime
// (bench_merge_walk), which is only run up to 64k rows.
#include <benchmark/benchmark.h>

#include <vector>

#include "vxr/merge.h"
#include "vxr/registration.h"
#include "vxrgoaal.h"
#include "vxrhost/host.h"

VXR_BUILD_STAMP();

namespace {

constexpr uint16_t kCounters[] = {offsetof(GoaaRow, JTPGETP), offsetof(GoaaRow, JTPSYNR),
                                  offsetof(GoaaRow, JTPPREF), offsetof(GoaaRow, JTPASYW),
                                  offsetof(GoaaRow, JTPOTHW)};
constexpr vxr::MergeRule kMerge = {.sums = kCounters,
                                   .timestamp = offsetof(GoaaRow, TIMESTAMP),
                                   .rowsMerged = offsetof(GoaaRow, ROWSMERGED)};
constexpr vxr::ByteRange kKey[] = {VXR_KEY(GoaaRow, DSGROUP), VXR_KEY(GoaaRow, JTPDB),
                                   VXR_KEY(GoaaRow, JTPSP)};

std::vector<GoaaRow> makeRows(int64_t rows, int64_t keys) {
  std::vector<GoaaRow> out(static_cast<size_t>(rows));
  uint64_t x = 88172645463325252ull;
  for (GoaaRow& row : out) {
    std::memset(&row, ' ', sizeof row);
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const int64_t key = static_cast<int64_t>(x % static_cast<uint64_t>(keys));
    std::memcpy(row.DSGROUP, "GRP1    ", 8);
    // Database key / 16 and space key % 16, as 8 decimal digits each.
    int64_t db = key / 16;
    for (int i = 7; i >= 0; --i, db /= 10) row.JTPDB[i] = static_cast<char>('0' + db % 10);
    row.JTPSP[0] = static_cast<char>('A' + key % 16);
    row.JTPGETP = static_cast<int32_t>(x % 1000);
  }
  return out;
}

void merge(benchmark::State& state) {
  vxrhost::Host host;
  const std::vector<GoaaRow> rows = makeRows(state.range(0), state.range(1));
  const vxr::Trace trace{nullptr, 0};
  for (auto _ : state) {
    VXR_ResultTable* table = nullptr;
    vxr::createTable(&table, vxr::elementSize<GoaaRow>(), 10);
    for (const GoaaRow& row : rows) {
      benchmark::DoNotOptimize(vxr::fileRow(trace, table, &row, sizeof row, kKey, &kMerge));
    }
    RSLTdestroy(&table);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["ns_per_row"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

#if VXR_BENCH_WALK
BENCHMARK(merge)
    ->ArgsProduct({{1000, 4000, 16000, 64000}, {10, 1000, 100000}})
    ->Unit(benchmark::kMillisecond);
#else
BENCHMARK(merge)
    ->ArgsProduct({{1000, 10000, 80000, 160000, 320000, 640000, 1000000}, {10, 1000, 100000}})
    ->Unit(benchmark::kMillisecond);
#endif

BENCHMARK_MAIN();
