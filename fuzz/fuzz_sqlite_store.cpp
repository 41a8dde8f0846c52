// The SQLite store on arbitrary SQL texts (whole, or as conditions of a
// statement on known tables): every row has one cell per column at the
// column's width, a finished result stays finished, and a query never
// changes the file (its data version, seen from a second connection).
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "vxrhost/sqlite_store.h"

namespace {

using namespace vxrhost;

void check(bool ok) {
  if (!ok) std::abort();
}

const char* const kSchema = R"sql(
CREATE TABLE "Q7SRV.INODESTS" (NODE CHAR(32), THRUNODE CHAR(32), ORIGINNODE CHAR(32),
  NODETYPE CHAR(1), Q7ONLINE CHAR(1), PRODUCT CHAR(2), VERSION CHAR(8), HOSTCODE CHAR(2),
  AFFINITIES CHAR(43), HOSTLEVEL CHAR(2));
CREATE INDEX "Q7SRV.INODESTS:NODE" ON "Q7SRV.INODESTS"
  (ifnull(rtrim(substr(CAST(NODE AS BLOB), 1, 32)), ''));
CREATE TABLE "VXR.T" (ORIGINNODE CHAR(32), IDNAME CHAR(8), N INTEGER, W CHAR(3));
CREATE INDEX "VXR.T:ORIGINNODE" ON "VXR.T" (ifnull(rtrim(substr(CAST(ORIGINNODE AS BLOB), 1, 32)), ''));
)sql";

const char* const kData = R"sql(
INSERT INTO "Q7SRV.INODESTS" (NODE, Q7ONLINE) VALUES ('HUB', 'Y'), ('OFF', 'N'), ('Q''T', 'Y');
INSERT INTO "VXR.T" VALUES ('M1', 'GRP1', 1, 'abc'), ('M1  ', 'GRP1', 2, 'abcdef'),
  ('M2', 'G''2', 5000000000, NULL), (NULL, NULL, NULL, x'00ff'), ('ééé', '*', -7, ' ');
)sql";

struct Fixture {
  std::unique_ptr<SqliteStore> store;
  sqlite3* watcher = nullptr;
  Fixture() {
    const auto path =
        std::filesystem::temp_directory_path() / ("vxr_fuzz_store_" + std::to_string(getpid()));
    std::filesystem::remove(path);
    vxrhost::Error error;
    store = SqliteStore::create(path.string(), kSchema, kData, error);
    check(store != nullptr);
    check(sqlite3_open_v2(path.c_str(), &watcher, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK);
  }
  int64_t dataVersion() const {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(watcher, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK);
    check(sqlite3_step(st) == SQLITE_ROW);
    int64_t v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
  }
};

void runQuery(Fixture& f, const std::string& sql) {
  std::unique_ptr<PreparedStatement> statement;
  std::string error;
  if (f.store->prepare(sql, statement, error) != sqlstatus::kOk) return;
  const auto& columns = statement->columns();
  std::unique_ptr<ResultSet> rows;
  if (statement->open(rows, error) != sqlstatus::kOk) return;
  std::vector<std::string> cells;
  int32_t status;
  int count = 0;
  while ((status = rows->next(cells, error)) == sqlstatus::kOk && ++count < 1000) {
    check(cells.size() == columns.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
      check(cells[i].size() == static_cast<std::size_t>(columns[i].width));
    }
  }
  if (status != sqlstatus::kOk) {
    for (int again = 0; again < 2; ++again) check(rows->next(cells, error) == status);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  const int64_t before = fixture.dataVersion();
  std::string input(reinterpret_cast<const char*>(data), size);
  runQuery(fixture, input);
  runQuery(fixture, "SELECT ORIGINNODE, N, W, IDNAME FROM VXR.T WHERE " + input);
  runQuery(fixture, "SELECT W, N FROM VXR.T AT (" + input);
  check(fixture.dataVersion() == before);
  return 0;
}
