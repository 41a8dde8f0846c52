// Requests of every module at once: THREADS threads (default 8) share one host
// and one store on the sample database and each runs every table's requests
// ROUNDS times (default 5). Every thread's rows must be byte for byte those of
// a sequential run. Run under ThreadSanitizer by scripts/tsan.sh; the plain
// build runs it as a test.
//
//   concurrent_requests [THREADS] [ROUNDS]
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"
#include "vxrhost/sqlite_store.h"

namespace {

namespace fs = std::filesystem;
using namespace vxrhost;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Job {
  const CatalogTable* table;
  Module* module;
  std::vector<Filter> filters;
  std::string label;
};

// The rows and final status of one request, as one byte string.
std::string runJob(Host& host, const Job& job) {
  RunResult r = host.run(*job.module, job.table->name, job.filters, job.table->rowSize);
  std::string out = std::to_string(r.lastProcessStatus()) + ":";
  for (const std::string& row : r.rows) out += row;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc > 1 ? std::atoi(argv[1]) : 8;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path data = fs::path(VXR_SOURCE_DIR) / "data";
  const fs::path db = fs::temp_directory_path() / ("vxr_concurrent_" + std::to_string(getpid()));
  fs::remove(db);
  vxrhost::Error error;
  auto store = SqliteStore::create(db.string(), readFile(data / "schema.sql"),
                                   readFile(data / "sample.sql"), error);
  if (!store) {
    std::fprintf(stderr, "concurrent_requests: %s\n", error.text().c_str());
    return 1;
  }
  int passed = 0, failed = 0;
  {
    Host host(*store);
    std::map<std::string, Module*> modules;
    std::vector<Job> jobs;
    for (const CatalogTable& table : catalogTables()) {
      Module*& module = modules[table.module];
      if (module == nullptr)
        module = host.load(std::string(VXR_MODULE_DIR) + "/" + table.module + ".so");
      // Queries only: a heartbeat would change what later requests see.
      const std::vector<std::vector<Filter>> filterSets = {
          {},
          {{kFilterEquals, "IDNAME", "GRPA"}},
          {{kFilterEquals, "IDNAME", "GRPB"}},
          {{kFilterEquals, "ORIGINNODE", "GRPA:RX4plex:DSGROUP"}}};
      for (const auto& filters : filterSets) {
        if (!filters.empty() && table.attribute(filters[0].column) == nullptr) continue;
        std::string label = table.name;
        for (const Filter& f : filters) label += " " + f.column + "=" + f.value;
        jobs.push_back({&table, module, filters, label});
      }
    }
    std::vector<std::string> expected;
    for (const Job& job : jobs) expected.push_back(runJob(host, job));

    std::vector<std::vector<int>> mismatches(threads, std::vector<int>(jobs.size(), 0));
    std::atomic<bool> go{false};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
      pool.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        for (int round = 0; round < rounds; ++round) {
          // Each thread starts at a different table, so that all modules run at once.
          for (size_t k = 0; k < jobs.size(); ++k) {
            size_t j = (k + static_cast<size_t>(t)) % jobs.size();
            if (runJob(host, jobs[j]) != expected[j]) ++mismatches[t][j];
          }
        }
      });
    }
    go.store(true);
    for (auto& th : pool) th.join();
    for (size_t j = 0; j < jobs.size(); ++j) {
      int bad = 0;
      for (int t = 0; t < threads; ++t) bad += mismatches[t][j];
      if (bad == 0) {
        ++passed;
      } else {
        ++failed;
        std::printf("MISMATCH %s: %d of %d runs differ from the sequential run\n",
                    jobs[j].label.c_str(), bad, threads * rounds);
      }
    }
    std::printf("%zu requests x %d threads x %d rounds (%zu rows bytes in the sequential run)\n",
                jobs.size(), threads, rounds, [&] {
                  size_t n = 0;
                  for (const auto& e : expected) n += e.size();
                  return n;
                }());
  }
  store.reset();
  fs::remove(db);
  std::printf("concurrent requests: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
