// A module driven through the host core with fuzzed member answers: the node
// list and each member's rows with any column count, cells delivered shorter
// or longer than their fields, arbitrary bytes, and index filters whose values
// hold quotes, blanks and colons. The request must end (no runaway), hand out
// rows of exactly the table's row size, and leave no sanitizer report.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

using namespace vxrhost;

void check(bool ok) {
  if (!ok) std::abort();
}

// The host keeps one store for its life; each input gets a fresh script.
class ForwardingStore : public Store, public SqlClientFaults {
 public:
  std::unique_ptr<ScriptedStore> target = std::make_unique<ScriptedStore>();
  int32_t prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                  std::string& error) override {
    return target->prepare(sql, statement, error);
  }
  int32_t updateNodeStatus(const NodeStatusUpdate& update, std::string& error) override {
    return target->updateNodeStatus(update, error);
  }
  int32_t clientFault(SqlOp op, const std::string& route) override {
    return target->clientFault(op, route);
  }
};

struct Fixture {
  ForwardingStore store;
  Host host{store};
  std::map<std::string, Module*> modules;
  Fixture() {
    for (const CatalogTable& table : catalogTables()) {
      Module*& m = modules[table.module];
      if (m == nullptr) m = host.load(std::string(VXR_MODULE_DIR) + "/" + table.module + ".so");
    }
  }
};

// Text with a fair share of the characters that matter to SQL and names.
std::string text(FuzzedDataProvider& in, size_t max) {
  static const char kSpecial[] = "' :*\"\\;,=()AT";
  std::string out;
  size_t n = in.ConsumeIntegralInRange<size_t>(0, max);
  for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
    uint8_t b = in.ConsumeIntegral<uint8_t>();
    out += b < 64 ? kSpecial[b % (sizeof kSpecial - 1)] : static_cast<char>(b);
  }
  return out;
}

void scriptRows(FuzzedDataProvider& in, ScriptedStore::Script& script, int maxRows) {
  int columns = in.ConsumeIntegralInRange<int>(0, 40);
  for (int c = 0; c < columns; ++c) {
    if (in.ConsumeBool()) {
      script.intColumn("I" + std::to_string(c));
    } else {
      script.charColumn("C" + std::to_string(c), in.ConsumeIntegralInRange<int>(1, 64));
    }
  }
  int rows = in.ConsumeIntegralInRange<int>(0, maxRows);
  for (int r = 0; r < rows && in.remaining_bytes() > 0; ++r) {
    int cells = columns + in.ConsumeIntegralInRange<int>(-1, 1);
    std::vector<std::string> row;
    for (int c = 0; c < cells; ++c) row.push_back(text(in, 80));
    script.row(std::move(row));
  }
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
    script.failFetchAfter(in.ConsumeIntegralInRange<int>(0, rows), sqlstatus::kStoreFailure);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  FuzzedDataProvider in(data, size);
  fixture.store.target = std::make_unique<ScriptedStore>();
  ScriptedStore& store = *fixture.store.target;

  auto tables = catalogTables();
  const CatalogTable& table = tables[in.ConsumeIntegralInRange<size_t>(0, tables.size() - 1)];
  std::vector<Filter> filters;
  auto attributes = table.attributes();
  int filterCount = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < filterCount; ++i) {
    Filter f;
    f.op = in.ConsumeBool() ? kFilterEquals : in.ConsumeIntegral<int16_t>();
    f.column =
        in.ConsumeBool()
            ? std::string(
                  attributes[in.ConsumeIntegralInRange<size_t>(0, attributes.size() - 1)]->name)
            : text(in, 10);
    if (f.column.size() > 10) f.column.resize(10);
    f.value = in.ConsumeBool() ? "*NOFETCH" : text(in, 40);
    filters.push_back(std::move(f));
  }

  // The node list, then each member's answers by the route of its thru node.
  ScriptedStore::Script& nodes = store.route("");
  nodes.charColumn("THRUNODE", 32).charColumn("ORIGINNODE", 32).charColumn("VERSION", 8);
  int members = in.ConsumeIntegralInRange<int>(0, 6);
  for (int m = 0; m < members; ++m) {
    std::string thru = in.ConsumeBool() ? "THRU" + std::to_string(m) : text(in, 40);
    std::string origin = in.ConsumeBool() ? "WNRX4:RX" + std::to_string(m) + ":SYS" : text(in, 40);
    std::string version = in.ConsumeBool() ? "04.20.00" : text(in, 12);
    nodes.row({in.ConsumeBool() ? charCell(thru, 32) : thru,
               in.ConsumeBool() ? charCell(origin, 32) : origin, version});
    std::string route = atNode("AT ('" + thru.substr(0, thru.find(' ')) + "')");
    scriptRows(in, store.route(route), 30);
    if (in.ConsumeBool()) scriptRows(in, store.route(route, "FROM VXR.LOBJECTS"), 10);
  }

  RunOptions options;
  options.maxProcessCalls = 10000;
  RunResult r = fixture.host.run(*fixture.modules.at(table.module), table.name, filters,
                                 table.rowSize, options);
  // The host's logs grow with every request; keep them from looking like leaks.
  fixture.host.clearSqlTexts();
  fixture.host.clearTrace();
  check(!r.hitProcessLimit);
  check(r.terminated);
  for (const std::string& row : r.rows) {
    check(row.size() == table.rowSize);
    decodeRow(table, row);
  }
  return 0;
}
