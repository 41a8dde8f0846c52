// Times one group object-activity request end to end through the host core:
// node discovery, one member query per member, the merges and the emission.
//   bench_request [members] [rows per member]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vxrgoaal.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

using vxrhost::charCell;
using vxrhost::intCell;

int main(int argc, char** argv) {
  const int members = argc > 1 ? std::atoi(argv[1]) : 16;
  const int rows = argc > 2 ? std::atoi(argv[2]) : 2000;

  vxrhost::ScriptedStore store;
  auto& nodes = store.route("")
                    .charColumn("THRUNODE", 32)
                    .charColumn("ORIGINNODE", 32)
                    .charColumn("VERSION", 8);
  for (int m = 0; m < members; ++m) {
    const std::string thru = "TEMS" + std::to_string(m);
    nodes.row({charCell(thru, 32), charCell("WNRX4:RX" + std::to_string(m), 32),
               charCell("04.20.00", 8)});
    auto& script = store.route(thru);
    for (const char* name :
         {"ORIGINNODE", "TIMESTAMP", "SYSID", "RX4ID", "IDNAME", "DSGROUP", "JTPDB", "JTPSP"}) {
      const int width = std::string(name) == "ORIGINNODE"                                ? 32
                        : std::string(name) == "TIMESTAMP"                               ? 16
                        : (std::string(name) == "SYSID" || std::string(name) == "RX4ID") ? 4
                                                                                         : 8;
      script.charColumn(name, width);
    }
    for (int i = 0; i < 13; ++i) script.intColumn("N" + std::to_string(i));
    for (int r = 0; r < rows; ++r) {
      std::vector<std::string> cells = {charCell("WNRX4:RX" + std::to_string(m), 32),
                                        charCell("1261208103015000", 16),
                                        charCell("SYSA", 4),
                                        charCell("R" + std::to_string(m), 4),
                                        charCell("GRPA", 8),
                                        charCell("GRPA", 8),
                                        charCell("DB" + std::to_string(r % 50), 8),
                                        charCell("SP" + std::to_string(r), 8)};
      for (int i = 0; i < 13; ++i) cells.push_back(intCell(1000 + r));
      script.row(cells);
    }
  }

  vxrhost::Host host(store);
  vxrhost::Module* module = host.load(VXR_MODULE_DIR "/VXRGOAAL.so");
  for (const char* filter : {"", "IDNAME"}) {
    std::vector<vxrhost::Filter> filters;
    if (*filter) filters.push_back({1, filter, "GRPA"});
    const auto start = std::chrono::steady_clock::now();
    vxrhost::RunResult result = host.run(*module, "GROUPOBJACT", filters, sizeof(GoaaRow));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-8s members=%d rows=%d emitted=%zu status=%d %.1f ms\n",
                *filter ? filter : "none", members, members * rows, result.rows.size(),
                result.lastProcessStatus(), ms);
  }
  return 0;
}
