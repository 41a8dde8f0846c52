// The catalog's tables as SQLite virtual tables (see vtab.h). Built twice:
// into the vxrhost command against SQLite's library, and into the loadable
// extension, where every SQLite call goes through the loading process's
// routines (sqlite_api.h).
#include "vxrhost/vtab.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <string_view>

#include "sqlite_api.h"

namespace vxrhost {
namespace {

struct FilterColumns {
  const char* table;
  std::vector<const char*> columns;
};

// The filter columns of each table's module, as its filter rules read them.
const std::vector<FilterColumns>& filterColumnList() {
  static const std::vector<FilterColumns> list = {
      {"GOBJECTA", {"DSGROUP", "IDNAME", "JAPDB", "ORIGINNODE"}},
      {"GROUPBPSTATS", {"STRUCTN", "ORIGINNODE"}},
      {"GROUPBUFPOOL", {"IDNAME", "ORIGINNODE"}},
      {"GROUPBUFPOOLCONN", {"IDNAME", "ORIGINNODE"}},
      {"GROUPLOCKCONF", {"IDNAME", "ORIGINNODE"}},
      {"GROUPLOCKSTRUCT", {"IDNAME", "ORIGINNODE"}},
      {"GROUPOBJACT", {"DSGROUP", "IDNAME", "JTPDB", "JTPSP", "ORIGINNODE"}},
      {"GROUPOBJSPACE", {"DSGROUP", "IDNAME", "JAPDB", "JAPSPN", "ORIGINNODE"}},
      {"GROUPTHRDACT", {"DSGROUP", "IDNAME", "JT7DBNM", "JT7SPNM", "ORIGINNODE"}},
      {"GROUPTHRDEXC", {"IDNAME", "PLAN_NAME", "CORRID", "ORIGINNODE"}},
      {"GROUPTHREADS", {"IDNAME", "ORIGINNODE"}},
      {"GROUPVOLDB", {"DSGROUP", "IDNAME", "JVPVOL", "JVPDB", "JVPSP", "ORIGINNODE"}},
      {"GROUPVOLTHRD", {"DSGROUP", "IDNAME", "JVTVOL", "ORIGINNODE"}},
      {"GROUPVOLUME", {"DSGROUP", "IDNAME", "ORIGINNODE"}},
      {"MEMBERSTATUS", {"IDNAME", "ORIGINNODE"}},
  };
  return list;
}

// Member SQL of a virtual table runs inside the statement that reads the
// table, on the same connection: a reader thread stepping it there would use
// the connection while this thread does (or wait for its lock for ever), so
// these requests read their member statements themselves.
RunOptions onThisThread(RunOptions options) {
  options.overlapMemberSql = false;
  return options;
}

// As vxrhost query runs a request: nothing to process after a failed start,
// and a guard against a module that never ends.
RunOptions defaultOptions() {
  RunOptions options;
  options.stopAfterFailedStart = true;
  options.maxProcessCalls = 10000000;
  return onThisThread(options);
}

}  // namespace

std::span<const char* const> filterColumns(const CatalogTable& table) {
  for (const FilterColumns& entry : filterColumnList()) {
    if (std::strcmp(entry.table, table.name) == 0) return entry.columns;
  }
  return {};
}

const char* requestStatusText(int32_t status) {
  switch (status) {
    case 0:
      return "row";
    case 50:
      return "result table not created";
    case 60:
      return "parameter list not found";
    case 62:
      return "end of data";
    case 64:
      return "work area not obtained";
    case 71:
      return "no work area";
    default:
      return "unexpected status";
  }
}

// --- The virtual table -------------------------------------------------------

struct TableSpec {
  SqlTables::Impl* owner = nullptr;
  const CatalogTable* table = nullptr;
  std::vector<const vxr::ColumnField*> attributes;
  std::vector<int> filterAttributes;  // attribute indices of the filter columns
  std::string schema;                 // the CREATE TABLE text declared for it
};

struct SqlTables::Impl {
  Host& host;
  std::string modulesDir;
  std::vector<TableSpec> specs;
  std::map<std::string, Module*> modules;  // by module name, loaded on first use
  std::vector<TableRequest> requests;
  RunOptions options = defaultOptions();
  std::string heartbeatRefusal;  // why a heartbeat is refused, or empty
  bool keep = true;
  size_t live = 0;
  Fault fault = Fault::None;  // requests started and not yet finished

  Impl(Host& h, std::string dir) : host(h), modulesDir(std::move(dir)) {}

  // The table's module, loaded on first use; null with `error` set.
  Module* module(const CatalogTable& table, std::string& error) {
    auto found = modules.find(table.module);
    if (found != modules.end()) return found->second;
    std::error_code ec;
    if (!std::filesystem::is_directory(modulesDir, ec)) {
      error = "module directory \"" + modulesDir + "\" does not exist";
      return nullptr;
    }
    Error why;
    Module* loaded = host.load(
        (std::filesystem::path(modulesDir) / (std::string(table.module) + ".so")).string(), &why);
    if (loaded == nullptr) {
      error = why.text();
      return nullptr;
    }
    modules.emplace(table.module, loaded);
    return loaded;
  }
};

namespace {

struct Table : sqlite3_vtab {
  TableSpec* spec = nullptr;
  Module* module = nullptr;
};

struct Cursor : sqlite3_vtab_cursor {
  std::unique_ptr<RequestCursor> request;
  TableRequest record;
  std::string pending;  // rows handed out and not yet read, back to back
  size_t next = 0;      // offset of the next pending row
  std::string_view row;
  sqlite3_int64 rowid = 0;
  bool eof = true;
};

Table& tableOf(sqlite3_vtab_cursor* cursor) {
  return *static_cast<Table*>(cursor->pVtab);
}

int fail(sqlite3_vtab* vtab, const std::string& message) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
  return SQLITE_ERROR;
}

// Runs a call of the request, giving it the SQL texts sent meanwhile.
template <class Call>
void tracked(Host& host, TableRequest& record, Call call) {
  size_t before = host.sqlTextCount();
  call();
  size_t after = host.sqlTextCount();
  if (after <= before) return;
  std::vector<std::string> texts = host.sqlTexts();
  for (size_t i = before; i < after && i < texts.size(); ++i) record.sqlTexts.push_back(texts[i]);
}

// Ends the cursor's request, if one runs, and files its record. Returns
// the error of a request that ended with a failure status, else "".
std::string endRequest(Cursor& cursor) {
  Table& table = tableOf(&cursor);
  SqlTables::Impl& owner = *table.spec->owner;
  TableRequest& record = cursor.record;
  if (cursor.request != nullptr) {
    record.stoppedEarly = !cursor.request->ended();
    RunResult* result = nullptr;
    tracked(owner.host, record, [&] { result = &cursor.request->finish(); });
    record.rows = result->rowCount;
    record.processCalls = result->processCalls;
    record.terminated = result->terminated;
    record.failedAtStart = result->started && result->startStatus != 0;
    record.finalStatus = record.failedAtStart ? result->startStatus : result->lastProcessStatus();
    record.hitProcessLimit = result->hitProcessLimit;
    record.nodeStatusUpdates = result->nodeStatusUpdates;
    record.nodeStatusStatus = result->nodeStatusStatus;
    record.nodeStatusError = result->nodeStatusError;
    record.memberFailures = std::move(result->memberFailures);
    record.sql = result->sql;
    cursor.request.reset();
    --owner.live;
  } else if (record.table.empty()) {
    return {};  // nothing was asked
  }
  std::string error;
  if (record.failed()) {
    owner.fault = SqlTables::Fault::Request;
    error = record.table;
    if (record.hitProcessLimit) {
      error += ": the request stopped after " + std::to_string(record.processCalls) +
               " process calls without end of data";
    } else {
      error += ": the request ended with status " + std::to_string(record.finalStatus) + " (" +
               requestStatusText(record.finalStatus) + ")" +
               (record.failedAtStart ? " at start" : "");
    }
  }
  if (owner.keep) owner.requests.push_back(std::move(record));
  cursor.record = TableRequest{};
  return error;
}

// Moves to the next row: a pending one, else process calls until the module
// hands one out or the request ends (an error when it failed).
int advance(Cursor& cursor) {
  Table& table = tableOf(&cursor);
  size_t rowSize = table.spec->table->rowSize;
  if (cursor.next >= cursor.pending.size()) {
    cursor.pending.clear();
    cursor.next = 0;
    Host& host = table.spec->owner->host;
    while (cursor.pending.empty() && cursor.request != nullptr && !cursor.request->ended()) {
      tracked(host, cursor.record, [&] { cursor.request->step(); });
    }
  }
  if (cursor.next < cursor.pending.size()) {
    cursor.row = std::string_view(cursor.pending).substr(cursor.next, rowSize);
    cursor.next += rowSize;
    ++cursor.rowid;
    return SQLITE_OK;
  }
  cursor.eof = true;
  cursor.row = {};
  std::string error = endRequest(cursor);
  return error.empty() ? SQLITE_OK : fail(&table, error);
}

int xConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** vtab, char** error) {
  auto* spec = static_cast<TableSpec*>(aux);
  try {
    std::string why;
    Module* module = spec->owner->module(*spec->table, why);
    if (module == nullptr) {
      spec->owner->fault = SqlTables::Fault::Module;
      *error = sqlite3_mprintf("%s", why.c_str());
      return SQLITE_ERROR;
    }
    int rc = sqlite3_declare_vtab(db, spec->schema.c_str());
    if (rc != SQLITE_OK) return rc;
    // The tables run requests (and a heartbeat writes the node status):
    // only statements may use them, not triggers or views of a schema.
    sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
    auto* table = new Table();
    table->spec = spec;
    table->module = module;
    *vtab = table;
    return SQLITE_OK;
  } catch (const std::exception& e) {
    *error = sqlite3_mprintf("%s: %s", spec->table->name, e.what());
    return SQLITE_ERROR;
  }
}

int xDisconnect(sqlite3_vtab* vtab) {
  delete static_cast<Table*>(vtab);
  return SQLITE_OK;
}

// Each equality on a filter column (the first of each column) is handed to
// the module; SQLite checks it again (omit stays off). Fewer rows are
// expected for each filter, so plans that give the module filters win.
int xBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const TableSpec& spec = *static_cast<Table*>(vtab)->spec;
  std::string columns;
  int used = 0;
  std::vector<bool> taken(spec.filterAttributes.size(), false);
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& constraint = info->aConstraint[i];
    if (!constraint.usable || constraint.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    for (size_t k = 0; k < spec.filterAttributes.size(); ++k) {
      if (spec.filterAttributes[k] != constraint.iColumn || taken[k]) continue;
      taken[k] = true;
      info->aConstraintUsage[i].argvIndex = ++used;
      info->aConstraintUsage[i].omit = 0;
      if (!columns.empty()) columns += ',';
      columns += std::to_string(constraint.iColumn);
    }
  }
  double rows = 100000;
  for (int i = 0; i < used; ++i) rows /= 10;
  info->estimatedRows = static_cast<sqlite3_int64>(rows < 1 ? 1 : rows);
  info->estimatedCost = 1000 + rows;  // a request costs its member queries
  info->idxNum = used;
  info->idxStr = sqlite3_mprintf("%s", columns.c_str());
  info->needToFreeIdxStr = 1;
  return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
  *cursor = new Cursor();
  return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* base) {
  auto* cursor = static_cast<Cursor*>(base);
  try {
    endRequest(*cursor);
  } catch (...) {
  }
  delete cursor;
  return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor* base, int, const char* idxStr, int argc, sqlite3_value** argv) {
  auto& cursor = *static_cast<Cursor*>(base);
  Table& table = tableOf(base);
  const TableSpec& spec = *table.spec;
  SqlTables::Impl& owner = *spec.owner;
  try {
    endRequest(cursor);  // a cursor filtered again (the inner side of a join)
    cursor.pending.clear();
    cursor.next = 0;
    cursor.rowid = 0;
    cursor.eof = false;
    TableRequest& record = cursor.record;
    record.table = spec.table->name;
    std::string_view columns = idxStr != nullptr ? idxStr : "";
    bool matchable = true;
    for (int k = 0; k < argc; ++k) {
      size_t comma = columns.find(',');
      int column = std::stoi(std::string(columns.substr(0, comma)));
      columns = comma == std::string_view::npos ? std::string_view() : columns.substr(comma + 1);
      const vxr::ColumnField& field = *spec.attributes.at(static_cast<size_t>(column));
      // NULL equals nothing, and no value wider than the column equals one
      // of its values: no request is needed for those.
      if (sqlite3_value_type(argv[k]) == SQLITE_NULL) {
        matchable = false;
        continue;
      }
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[k]));
      std::string value(text != nullptr ? text : "",
                        static_cast<size_t>(sqlite3_value_bytes(argv[k])));
      if (value.size() > field.width) matchable = false;
      record.filters.push_back(Filter{kFilterEquals, field.name, std::move(value)});
    }
    if (!owner.heartbeatRefusal.empty() && std::strcmp(spec.table->name, "MEMBERSTATUS") == 0) {
      for (const Filter& f : record.filters) {
        if (f.column == "IDNAME" && f.value.rfind("*NOFETCH", 0) == 0) {
          owner.fault = SqlTables::Fault::Refused;
          cursor.eof = true;
          cursor.record = TableRequest{};
          return fail(base->pVtab, std::string(spec.table->name) + ": " + owner.heartbeatRefusal);
        }
      }
    }
    if (!matchable) {
      cursor.eof = true;
      endRequest(cursor);
      return SQLITE_OK;
    }
    if (!owner.keep && owner.live == 0) owner.host.clearSqlTexts();
    record.ran = true;
    Cursor* self = &cursor;
    tracked(owner.host, record, [&] {
      cursor.request = std::make_unique<RequestCursor>(
          owner.host, *table.module, spec.table->name, record.filters, spec.table->rowSize,
          owner.options, [self](std::string_view row) { self->pending.append(row); });
    });
    ++owner.live;
    return advance(cursor);
  } catch (const std::exception& e) {
    return fail(base->pVtab, std::string(spec.table->name) + ": " + e.what());
  }
}

int xNext(sqlite3_vtab_cursor* base) {
  try {
    return advance(*static_cast<Cursor*>(base));
  } catch (const std::exception& e) {
    return fail(base->pVtab, std::string(tableOf(base).spec->table->name) + ": " + e.what());
  }
}

int xEof(sqlite3_vtab_cursor* base) {
  return static_cast<Cursor*>(base)->eof ? 1 : 0;
}

int xColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
  auto& cursor = *static_cast<Cursor*>(base);
  const TableSpec& spec = *tableOf(base).spec;
  if (column < 0 || static_cast<size_t>(column) >= spec.attributes.size()) {
    sqlite3_result_null(context);
    return SQLITE_OK;
  }
  FieldView value = viewField(*spec.attributes[static_cast<size_t>(column)], cursor.row);
  if (const auto* number = std::get_if<int32_t>(&value)) {
    sqlite3_result_int(context, *number);
  } else {
    std::string_view text = std::get<std::string_view>(value);
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = static_cast<Cursor*>(base)->rowid;
  return SQLITE_OK;
}

sqlite3_module makeModule() {
  sqlite3_module m{};
  m.iVersion = 0;
  m.xCreate = nullptr;  // eponymous only: no CREATE VIRTUAL TABLE
  m.xConnect = xConnect;
  m.xBestIndex = xBestIndex;
  m.xDisconnect = xDisconnect;
  m.xDestroy = xDisconnect;
  m.xOpen = xOpen;
  m.xClose = xClose;
  m.xFilter = xFilter;
  m.xNext = xNext;
  m.xEof = xEof;
  m.xColumn = xColumn;
  m.xRowid = xRowid;
  return m;  // no xUpdate: read-only
}

const sqlite3_module kModule = makeModule();

}  // namespace

SqlTables::SqlTables(Host& host, std::string modulesDir)
    : impl_(std::make_unique<Impl>(host, std::move(modulesDir))) {
  impl_->specs.reserve(catalogTables().size());
  for (const CatalogTable& table : catalogTables()) {
    TableSpec& spec = impl_->specs.emplace_back();
    spec.owner = impl_.get();
    spec.table = &table;
    spec.attributes = table.attributes();
    spec.schema = "CREATE TABLE x(";
    for (size_t i = 0; i < spec.attributes.size(); ++i) {
      const vxr::ColumnField& field = *spec.attributes[i];
      if (i > 0) spec.schema += ", ";
      spec.schema += std::string("\"") + field.name + "\" " +
                     (field.type == vxr::FieldType::Int32 ? "INTEGER" : "TEXT");
      for (const char* column : filterColumns(table)) {
        if (std::strcmp(column, field.name) == 0) {
          spec.filterAttributes.push_back(static_cast<int>(i));
        }
      }
    }
    spec.schema += ")";
  }
}

SqlTables::~SqlTables() = default;

int SqlTables::attach(sqlite3* db, std::string& error) {
  for (TableSpec& spec : impl_->specs) {
    int rc = sqlite3_create_module_v2(db, spec.table->name, &kModule, &spec, nullptr);
    if (rc != SQLITE_OK) {
      error = std::string("cannot register table ") + spec.table->name + ": " + sqlite3_errmsg(db);
      return rc;
    }
  }
  return SQLITE_OK;
}

void SqlTables::setRunOptions(const RunOptions& options) {
  impl_->options = onThisThread(options);
}
const RunOptions& SqlTables::runOptions() const {
  return impl_->options;
}
void SqlTables::addModule(const std::string& name, Module* module) {
  impl_->modules[name] = module;
}
void SqlTables::refuseHeartbeat(std::string why) {
  impl_->heartbeatRefusal = std::move(why);
}
void SqlTables::keepRequests(bool on) {
  impl_->keep = on;
}
const std::vector<TableRequest>& SqlTables::requests() const {
  return impl_->requests;
}
void SqlTables::clearRequests() {
  impl_->requests.clear();
}
SqlTables::Fault SqlTables::fault() const {
  return impl_->fault;
}
void SqlTables::clearFault() {
  impl_->fault = Fault::None;
}

}  // namespace vxrhost
