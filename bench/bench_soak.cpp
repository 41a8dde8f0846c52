// Soak: a long run of requests of every table in one process, on the sample
// database, with the process's resident memory sampled as it goes. After the
// warm-up (the first tenth) it should stay flat.
//   bench_soak [REQUESTS]   (default 1000000)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"
#include "vxrhost/sqlite_store.h"

namespace {

namespace fs = std::filesystem;
using namespace vxrhost;

long residentKiB() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  const long requests = argc > 1 ? std::atol(argv[1]) : 1000000;
  const fs::path data = fs::path(VXR_SOURCE_DIR) / "data";
  const fs::path db = fs::temp_directory_path() / ("vxr_soak_" + std::to_string(getpid()));
  vxrhost::Error error;
  auto store = SqliteStore::create(db.string(), readFile(data / "schema.sql"),
                                   readFile(data / "sample.sql"), error);
  if (!store) {
    std::fprintf(stderr, "bench_soak: %s\n", error.text().c_str());
    return 1;
  }
  long warm = 0, peak = 0;
  {
    Host host(*store);
    std::map<std::string, Module*> modules;
    auto tables = catalogTables();
    for (const CatalogTable& t : tables) {
      Module*& m = modules[t.module];
      if (m == nullptr) m = host.load(std::string(VXR_MODULE_DIR) + "/" + t.module + ".so");
    }
    const std::vector<Filter> filterSets[] = {{}, {{kFilterEquals, "IDNAME", "GRPA"}}};
    const long step = std::max(1L, requests / 20);
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < requests; ++i) {
      const CatalogTable& t = tables[static_cast<size_t>(i) % tables.size()];
      const auto& filters = filterSets[(static_cast<size_t>(i) / tables.size()) % 2];
      RunResult r = host.run(*modules[t.module], t.name, filters, t.rowSize);
      if (r.lastProcessStatus() != 62) {
        std::fprintf(stderr, "bench_soak: request %ld of %s ended with %d\n", i, t.name,
                     r.lastProcessStatus());
        return 1;
      }
      host.clearSqlTexts();  // the host's log of texts, kept for tests
      if ((i + 1) % step == 0) {
        long rss = residentKiB();
        if (i + 1 == requests / 10 || warm == 0) warm = rss;
        if (i + 1 > requests / 10) peak = std::max(peak, rss);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%9ld requests  %7ld KiB resident  %6.1f us/request\n", i + 1, rss,
                    s * 1e6 / static_cast<double>(i + 1));
        std::fflush(stdout);
      }
    }
  }
  store.reset();
  fs::remove(db);
  std::printf("resident after warm-up %ld KiB, highest later %ld KiB (%+ld KiB)\n", warm, peak,
              peak - warm);
  return 0;
}
