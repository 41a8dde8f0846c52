// vxrhost: the host stand-in's command. Runs one request of a catalog table
// through the host core against an SQLite database and prints the rows; also
// the heartbeat, the node-status table, the catalog and the modules.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "output.h"
#include "sample_sql.h"
#include "vxrhost/catalog.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"
#include "vxrhost/sql_dialect.h"
#include "vxrhost/sqlite_store.h"

namespace fs = std::filesystem;

namespace vxrhost::cli {
namespace {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitInternal = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDatabase = 3;
constexpr int kExitModule = 4;
constexpr int kExitRequest = 5;

// Ends the command: one line on stderr and an exit status.
struct Failure {
  int exitCode;
  std::string message;
};

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string inQuotes(const std::string& text) {
  return "\"" + text + "\"";
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// --- Options shared by the subcommands ---------------------------------------

struct Common {
  std::string db;
  std::string modules;
  std::string trace;
  std::string traceFile;
  std::string format = "table";
};

Format formatOf(const Common& common) {
  auto format = parseFormat(common.format);
  if (!format)
    throw Failure{kExitUsage,
                  "unknown format " + inQuotes(common.format) + " (table, csv or json)"};
  return *format;
}

// --- Modules -------------------------------------------------------------------

std::string modulesDir(const Common& common) {
  if (!common.modules.empty()) return common.modules;
  if (std::string dir = env("VXRHOST_MODULES"); !dir.empty()) return dir;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    throw Failure{kExitModule,
                  "cannot find the modules: the executable's path is unknown (use --modules)"};
  return (exe.parent_path() / ".." / "modules").lexically_normal().string();
}

void checkModulesDir(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    throw Failure{kExitModule, "module directory " + inQuotes(dir) + " does not exist"};
  }
}

Module* loadModule(Host& host, const std::string& dir, const std::string& name) {
  checkModulesDir(dir);
  std::string path = (fs::path(dir) / (name + ".so")).string();
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    throw Failure{kExitModule, "module " + name + " not found: no file " + inQuotes(path)};
  }
  std::string error;
  Module* module = host.tryLoad(path, error);
  if (module == nullptr) {
    // The loader's message names the module, the file and the defect.
    throw Failure{kExitModule, oneLine(error)};
  }
  return module;
}

// --- Database --------------------------------------------------------------------

std::string samplePath() {
  if (std::string path = env("VXRHOST_DB"); !path.empty()) return path;
  fs::path base;
  if (std::string xdg = env("XDG_DATA_HOME"); !xdg.empty() && fs::path(xdg).is_absolute()) {
    base = xdg;
  } else if (std::string home = env("HOME"); !home.empty()) {
    base = fs::path(home) / ".local" / "share";
  } else {
    throw Failure{
        kExitDatabase,
        "no place for the sample database: neither XDG_DATA_HOME nor HOME is set (use --db)"};
  }
  return (base / "vxrhost" / "sample.db").string();
}

// Writes the sample into a file of its own and links it into place, so that
// a reader never sees a half-written sample and two first uses do not clash.
void createSample(const std::string& path) {
  std::error_code ec;
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent, ec);
  if (ec) {
    throw Failure{kExitDatabase,
                  "cannot create the sample database " + inQuotes(path) + ": " + ec.message()};
  }
  std::string temp = path + ".new." + std::to_string(::getpid());
  fs::remove(temp, ec);
  std::string error;
  auto store = SqliteStore::create(temp, kSampleSchemaSql, kSampleDataSql, error);
  if (!store) throw Failure{kExitDatabase, "cannot create the sample database: " + oneLine(error)};
  store.reset();
  int linked = ::link(temp.c_str(), path.c_str());
  int linkError = errno;
  fs::remove(temp, ec);
  if (linked != 0 && linkError != EEXIST) {
    throw Failure{kExitDatabase, "cannot create the sample database " + inQuotes(path) + ": " +
                                     std::strerror(linkError)};
  }
}

std::unique_ptr<SqliteStore> openDatabase(const Common& common) {
  std::string error;
  if (!common.db.empty()) {
    auto store = SqliteStore::open(common.db, error);
    if (!store) throw Failure{kExitDatabase, oneLine(error)};
    return store;
  }
  std::string path = samplePath();
  std::error_code ec;
  if (!fs::exists(path, ec)) createSample(path);
  auto store = SqliteStore::open(path, error);
  if (!store) {
    throw Failure{kExitDatabase,
                  oneLine(error) + " (\"vxrhost reset-sample\" recreates the sample)"};
  }
  return store;
}

// --- Tracing ---------------------------------------------------------------------

// Trace lines go to the trace file when one is given, else to stderr: with
// no levels set that leaves only the host's own failure lines and the
// modules' lines that are written at every level.
void configureTrace(Host& host, const Common& common) {
  if (!common.trace.empty()) {
    try {
      host.setTraceLevels(common.trace);
    } catch (const std::invalid_argument& e) {
      throw Failure{kExitUsage, "bad --trace " + inQuotes(common.trace) + ": " + oneLine(e.what())};
    }
  }
  if (!common.traceFile.empty()) {
    try {
      host.traceToFile(common.traceFile);
    } catch (const std::runtime_error& e) {
      throw Failure{kExitUsage, oneLine(e.what())};
    }
  } else {
    host.traceToStderr();
  }
}

// --- Requests --------------------------------------------------------------------

const CatalogTable& tableNamed(const std::string& name) {
  const CatalogTable* table = findCatalogTable(name);
  if (table == nullptr) {
    throw Failure{kExitUsage, "unknown table " + inQuotes(name) + " (see \"vxrhost tables\")"};
  }
  return *table;
}

Filter makeFilter(const CatalogTable& table, const std::string& option, const std::string& column,
                  int16_t op, const std::string& value) {
  const vxr::ColumnField* field = table.attribute(column);
  if (field == nullptr) {
    throw Failure{kExitUsage, "table " + std::string(table.name) + " has no column " +
                                  inQuotes(column) + " in " + option +
                                  " (see \"vxrhost tables --columns " + table.name + "\")"};
  }
  // A value wider than its column can never match it, and a module copies
  // the value into a slot of the column's width.
  size_t limit = field->type == vxr::FieldType::Int32 ? 11 : field->width;
  if (value.size() > limit) {
    throw Failure{kExitUsage, option + " value " + inQuotes(value) + " is longer than column " +
                                  field->name + " (" + std::to_string(limit) + " characters)"};
  }
  return Filter{op, field->name, value};
}

// "COL=VALUE" (operator 1) or "COL=CODE=VALUE"; the value may hold '='.
Filter parseFilter(const CatalogTable& table, const std::string& text, bool withOperator) {
  const std::string option = withOperator ? "--filter-op" : "--filter";
  const std::string expected = withOperator ? "COL=CODE=VALUE" : "COL=VALUE";
  auto malformed = [&](const std::string& why) {
    return Failure{kExitUsage, "malformed " + option + " " + inQuotes(text) + ": " + why +
                                   " (expected " + expected + ")"};
  };
  size_t eq = text.find('=');
  if (eq == std::string::npos) throw malformed("no '='");
  std::string column = upper(text.substr(0, eq));
  if (column.empty()) throw malformed("no column name");
  std::string rest = text.substr(eq + 1);
  int16_t op = kFilterEquals;
  if (withOperator) {
    size_t eq2 = rest.find('=');
    if (eq2 == std::string::npos) throw malformed("no '=' after the operator code");
    std::string code = rest.substr(0, eq2);
    rest = rest.substr(eq2 + 1);
    char* end = nullptr;
    errno = 0;
    long value = code.empty() ? -1 : std::strtol(code.c_str(), &end, 10);
    if (code.empty() || *end != '\0' || errno != 0 || value < 0 || value > INT16_MAX) {
      throw malformed("operator code " + inQuotes(code) + " is not a number from 0 to 32767");
    }
    op = static_cast<int16_t>(value);
  }
  return makeFilter(table, option, column, op, rest);
}

const char* statusMeaning(int32_t status) {
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

struct Outcome {
  RunResult result;
  int32_t finalStatus = 0;
  bool failed = false;
  std::string where;  // "at start", "" for process
  size_t members = 0;
  size_t memberTexts = 0;
  double milliseconds = 0;
};

Outcome runRequest(Host& host, const Module& module, const CatalogTable& table,
                   const std::vector<Filter>& filters) {
  RunOptions options;
  options.stopAfterFailedStart = true;  // no work area: nothing to process
  options.maxProcessCalls = 10000000;   // a guard against a module that never ends
  host.clearSqlTexts();
  auto begin = std::chrono::steady_clock::now();
  Outcome o;
  o.result = host.run(module, table.name, filters, table.rowSize, options);
  o.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  const RunResult& r = o.result;
  if (r.started && r.startStatus != 0) {
    o.finalStatus = r.startStatus;
    o.where = " at start";
  } else {
    o.finalStatus = r.lastProcessStatus();
  }
  o.failed = o.finalStatus != 62 || r.hitProcessLimit;
  // A member is the node a text is routed to (its thru node) together with
  // the member agent its WHERE clause names.
  std::set<std::string> members;
  for (const std::string& text : host.sqlTexts()) {
    std::string node = atNode(text);
    if (node.empty()) continue;
    ++o.memberTexts;
    std::string member = text;
    SqlSelect plan;
    SqlParseError error;
    if (parseSqlSelect(text, plan, error)) {
      member = node;
      for (const SqlPredicate& p : plan.predicates) {
        if (p.column.name == "ORIGINNODE") member += "\n" + p.literal;
      }
    }
    members.insert(member);
  }
  o.members = members.size();
  return o;
}

// The summary line on stderr; returns the exit status of the request.
int finishRequest(const CatalogTable& table, const Outcome& o) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f ms", o.milliseconds);
  std::string line = std::string(table.name) + ": " + std::to_string(o.result.rows.size()) +
                     (o.result.rows.size() == 1 ? " row, " : " rows, ") +
                     std::to_string(o.members) + (o.members == 1 ? " member" : " members") +
                     " queried";
  if (o.memberTexts != o.members)
    line += " (" + std::to_string(o.memberTexts) + " member requests)";
  line += ", status " + std::to_string(o.finalStatus) + " (" + statusMeaning(o.finalStatus) + ")" +
          o.where + ", " + elapsed;
  std::cout.flush();
  std::cerr << line << '\n';
  if (o.result.hitProcessLimit) {
    std::cerr << "vxrhost: request for " << table.name << " stopped after " << o.result.processCalls
              << " process calls without end of data\n";
    return kExitRequest;
  }
  if (o.failed) {
    std::cerr << "vxrhost: request for " << table.name << " ended with status " << o.finalStatus
              << " (" << statusMeaning(o.finalStatus) << ")" << o.where << '\n';
    return kExitRequest;
  }
  return kExitOk;
}

OutputTable rowsOf(const CatalogTable& table, const std::vector<std::string>& rows) {
  OutputTable out;
  for (const vxr::ColumnField* field : table.attributes()) {
    out.columns.push_back({field->name, field->type == vxr::FieldType::Int32});
  }
  for (const std::string& row : rows) out.rows.push_back(decodeRow(table, row));
  return out;
}

// --- Subcommands -----------------------------------------------------------------

struct FilterArg {
  bool withOperator;
  std::string text;
};

int commandQuery(const Common& common, const std::string& tableName,
                 const std::vector<FilterArg>& filterArgs) {
  const CatalogTable& table = tableNamed(tableName);
  std::vector<Filter> filters;
  for (const FilterArg& arg : filterArgs)
    filters.push_back(parseFilter(table, arg.text, arg.withOperator));
  Format format = formatOf(common);
  std::string dir = modulesDir(common);
  checkModulesDir(dir);
  auto store = openDatabase(common);
  Host host(*store);
  configureTrace(host, common);
  Module* module = loadModule(host, dir, table.module);
  Outcome o = runRequest(host, *module, table, filters);
  if (!o.failed || !o.result.rows.empty())
    printOutput(std::cout, rowsOf(table, o.result.rows), format);
  return finishRequest(table, o);
}

int commandHeartbeat(const Common& common) {
  const CatalogTable& table = tableNamed("MEMBERSTATUS");
  std::string dir = modulesDir(common);
  checkModulesDir(dir);
  auto store = openDatabase(common);
  Host host(*store);
  configureTrace(host, common);
  Module* module = loadModule(host, dir, table.module);
  Outcome o = runRequest(host, *module, table, {Filter{kFilterEquals, "IDNAME", "*NOFETCH"}});
  auto calls = host.nodeStatusCalls();
  int failedUpdates = 0;
  for (const auto& call : calls) {
    const NodeStatusUpdate& u = call.update;
    std::string node = u.node.substr(0, u.node.find_last_not_of(' ') + 1);
    std::cout << (u.online == "Y" ? "online   " : "offline  ") << node << " (parent " << u.parent
              << ")";
    if (call.status != 0) {
      std::cout << "  failed with " << call.status << " (" << hoststatus::text(call.status) << ")";
      ++failedUpdates;
    }
    std::cout << '\n';
  }
  if (calls.empty()) {
    std::cout.flush();
    std::cerr << "vxrhost: the heartbeat set no node online or offline\n";
  }
  int status = finishRequest(table, o);
  if (status == kExitOk && failedUpdates > 0) {
    std::cerr << "vxrhost: " << failedUpdates << " of " << calls.size()
              << " node-status updates failed\n";
    if (o.result.nodeStatusStatus != 0)
      std::cerr << "vxrhost: the heartbeat was not applied: " << o.result.nodeStatusError << '\n';
    return kExitRequest;
  }
  return status;
}

int commandNodes(const Common& common) {
  Format format = formatOf(common);
  auto store = openDatabase(common);
  const std::vector<ColumnInfo>* columns = store->tableColumns(kNodeStatusTable);
  if (columns == nullptr || columns->empty()) {
    throw Failure{kExitDatabase,
                  "database " + inQuotes(store->path()) + " has no node-status table"};
  }
  OutputTable out;
  std::string sql = "SELECT ";
  for (size_t i = 0; i < columns->size(); ++i) {
    sql += (i ? "," : "") + (*columns)[i].name;
    out.columns.push_back({(*columns)[i].name, (*columns)[i].type == ColumnType::Int32});
  }
  sql += std::string(" FROM ") + kNodeStatusTable;
  auto fail = [&](int32_t status, const std::string& error) {
    return Failure{kExitDatabase, "cannot read " + std::string(kNodeStatusTable) + " of " +
                                      inQuotes(store->path()) + ": " + oneLine(error) +
                                      " (status " + std::to_string(status) + ")"};
  };
  std::unique_ptr<PreparedStatement> statement;
  std::string error;
  if (int32_t status = store->prepare(sql, statement, error); status != sqlstatus::kOk)
    throw fail(status, error);
  std::unique_ptr<ResultSet> rows;
  if (int32_t status = statement->open(rows, error); status != sqlstatus::kOk)
    throw fail(status, error);
  std::vector<std::string> cells;
  for (;;) {
    int32_t status = rows->next(cells, error);
    if (status == sqlstatus::kEndOfData) break;
    if (status != sqlstatus::kOk) throw fail(status, error);
    auto& row = out.rows.emplace_back();
    const auto& infos = statement->columns();
    for (size_t i = 0; i < cells.size() && i < infos.size(); ++i) {
      vxr::ColumnField field{
          infos[i].name.c_str(), 0, static_cast<uint16_t>(cells[i].size()),
          infos[i].type == ColumnType::Int32 ? vxr::FieldType::Int32 : vxr::FieldType::Chars};
      row.push_back(decodeField(field, cells[i]));
    }
  }
  printOutput(std::cout, out, format);
  return kExitOk;
}

int commandTables(const Common& common, const std::string& columnsOf) {
  Format format = formatOf(common);
  OutputTable out;
  if (!columnsOf.empty()) {
    const CatalogTable& table = tableNamed(columnsOf);
    out.columns = {{"ATTRIBUTE", false}, {"OFFSET", true}, {"WIDTH", true}, {"TYPE", false}};
    for (const vxr::ColumnField* field : table.attributes()) {
      out.rows.push_back({std::string(field->name), int32_t{field->offset}, int32_t{field->width},
                          std::string(fieldTypeName(field->type))});
    }
  } else {
    out.columns = {{"TABLE", false},
                   {"MODULE", false},
                   {"ROWSIZE", true},
                   {"ATTRIBUTES", true},
                   {"DESCRIPTION", false}};
    for (const CatalogTable& table : catalogTables()) {
      out.rows.push_back(
          {std::string(table.name), std::string(table.module), static_cast<int32_t>(table.rowSize),
           static_cast<int32_t>(table.attributes().size()), std::string(table.description)});
    }
  }
  printOutput(std::cout, out, format);
  return kExitOk;
}

// Labels of the build-information strings, in their order.
constexpr const char* kInfoLabels[] = {
    "build date", "build time", "build source", "",        "platform",    "platform",
    "builder",    "os release", "os version",   "os name", "build host",  "machine",
    "platform",   "platform",   "build number", "product", "build level", "version id"};
constexpr const char* kCommentLabels[] = {"compiler", "options", "compiler", "options",
                                          "macros",   "notice",  "notice",   ""};

void printBuildInfo(const BuildInfo& info) {
  auto print = [](const std::vector<std::string>& values, const char* const* labels, size_t count) {
    std::map<std::string, std::string> shown;
    for (size_t i = 0; i < values.size(); ++i) {
      std::string label = i < count && labels[i][0] ? labels[i] : "item " + std::to_string(i + 1);
      if (values[i].empty() || shown[label] == values[i]) continue;
      shown[label] = values[i];
      std::printf("  %-13s %s\n", label.c_str(), oneLine(values[i]).c_str());
    }
  };
  print(info.info, kInfoLabels, std::size(kInfoLabels));
  print(info.comments, kCommentLabels, std::size(kCommentLabels));
}

int commandModules(const Common& common) {
  std::string dir = modulesDir(common);
  checkModulesDir(dir);
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".so" && entry.is_regular_file(ec))
      files.push_back(entry.path());
  }
  if (ec)
    throw Failure{kExitModule,
                  "cannot list module directory " + inQuotes(dir) + ": " + ec.message()};
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    throw Failure{kExitModule, "module directory " + inQuotes(dir) + " holds no modules (*.so)"};
  }
  // The build information is read through the module's own trace unit,
  // which the host knows once the module has traced: one request against a
  // store that answers nothing (it ends at once, with no rows) does that.
  ScriptedStore nothing;
  Host host(nothing);
  host.traceToMemory();
  int failures = 0;
  std::string firstError;
  for (const fs::path& file : files) {
    std::string error;
    Module* module = host.tryLoad(file.string(), error);
    std::string stem = file.stem().string();
    if (module == nullptr) {
      std::printf("%-8s  cannot load: %s\n", stem.c_str(), oneLine(error).c_str());
      if (failures++ == 0) firstError = oneLine(error);
      continue;
    }
    CompileDate date = module->compileDate();
    auto tables = catalogTablesOfModule(module->name());
    std::string served;
    for (const CatalogTable* table : tables)
      served += (served.empty() ? "" : ",") + std::string(table->name);
    std::printf("%-8s  %s  %s %s  %s\n", module->name().c_str(), date.version ? date.version : "?",
                date.date ? date.date : "?", date.time ? date.time : "?",
                served.empty() ? "(no table in the catalog)" : served.c_str());
    std::printf("  %-13s %s\n", "file", file.string().c_str());
    const CatalogTable* probe = tables.empty() ? nullptr : tables.front();
    host.run(*module, probe ? probe->name : "PROBE", {}, probe ? probe->rowSize : 1024);
    if (auto info = module->buildInfo()) printBuildInfo(*info);
  }
  if (failures > 0) {
    std::cout.flush();
    throw Failure{
        kExitModule,
        firstError + (failures > 1 ? " (and " + std::to_string(failures - 1) + " more)" : "")};
  }
  return kExitOk;
}

int commandResetSample() {
  std::string path = samplePath();
  std::error_code ec;
  if (fs::exists(path, ec)) {
    fs::remove(path, ec);
    if (ec)
      throw Failure{kExitDatabase,
                    "cannot remove the sample database " + inQuotes(path) + ": " + ec.message()};
    fs::remove(path + "-journal", ec);
  }
  createSample(path);
  std::cout << "sample database created at " << path << '\n';
  return kExitOk;
}

// --- Command line ------------------------------------------------------------------

int run(int argc, char** argv) {
  CLI::App app{"vxrhost: runs requests of the group table modules in the host stand-in", "vxrhost"};
  app.require_subcommand(1);
  Common common;
  auto addDb = [&](CLI::App* sub) {
    sub->add_option("--db", common.db, "database file (default: the bundled sample)");
  };
  auto addModules = [&](CLI::App* sub) {
    sub->add_option("--modules", common.modules,
                    "directory of the modules (default: ../modules beside vxrhost)");
  };
  auto addTrace = [&](CLI::App* sub) {
    sub->add_option("--trace", common.trace,
                    "trace levels, UNIT=MASK[,UNIT=MASK]... (* for every unit)");
    sub->add_option("--trace-file", common.traceFile,
                    "append trace lines to this file instead of stderr");
  };
  auto addFormat = [&](CLI::App* sub) {
    sub->add_option("--format", common.format, "output format: table, csv or json")
        ->capture_default_str();
  };

  std::string table;
  std::vector<std::string> filters;
  std::vector<std::string> filterOps;
  CLI::App* query = app.add_subcommand("query", "run one request of a table and print its rows");
  query->add_option("table", table, "table name (see \"vxrhost tables\")")->required();
  CLI::Option* filterOption =
      query->add_option("--filter", filters, "index filter COL=VALUE (operator 1, equals)")
          ->allow_extra_args(false);
  CLI::Option* filterOpOption =
      query
          ->add_option("--filter-op", filterOps,
                       "index filter COL=CODE=VALUE with any operator code")
          ->allow_extra_args(false);
  addFormat(query);
  addDb(query);
  addModules(query);
  addTrace(query);

  CLI::App* heartbeat =
      app.add_subcommand("heartbeat", "run the heartbeat (a no-fetch MEMBERSTATUS request)");
  addDb(heartbeat);
  addModules(heartbeat);
  addTrace(heartbeat);

  CLI::App* nodes = app.add_subcommand("nodes", "print the node-status table");
  addFormat(nodes);
  addDb(nodes);

  std::string columnsOf;
  CLI::App* tables = app.add_subcommand("tables", "print the table catalog");
  tables->add_option("--columns", columnsOf, "print the attributes of this table instead");
  addFormat(tables);

  CLI::App* modules =
      app.add_subcommand("modules", "print each module's compile date and build information");
  addModules(modules);

  CLI::App* reset = app.add_subcommand("reset-sample", "recreate the bundled sample database");

  // A word where the command belongs that is none of the commands (CLI11
  // would only say that a command is required).
  if (argc > 1 && argv[1][0] != '-') {
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands({})) known = known || sub->check_name(argv[1]);
    if (!known) {
      std::cerr << "vxrhost: unknown command " << inQuotes(argv[1])
                << " (see \"vxrhost --help\")\n";
      return kExitUsage;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "vxrhost: " << oneLine(e.what()) << " (see \"vxrhost --help\")\n";
    return kExitUsage;
  }

  if (query->parsed()) {
    // The filters in command-line order: a later filter on a column
    // overrides an earlier one in the module.
    std::vector<FilterArg> ordered;
    size_t nextFilter = 0;
    size_t nextFilterOp = 0;
    for (const CLI::Option* option : query->parse_order()) {
      if (option == filterOption && nextFilter < filters.size()) {
        ordered.push_back({false, filters[nextFilter++]});
      } else if (option == filterOpOption && nextFilterOp < filterOps.size()) {
        ordered.push_back({true, filterOps[nextFilterOp++]});
      }
    }
    return commandQuery(common, table, ordered);
  }
  if (heartbeat->parsed()) return commandHeartbeat(common);
  if (nodes->parsed()) return commandNodes(common);
  if (tables->parsed()) return commandTables(common, columnsOf);
  if (modules->parsed()) return commandModules(common);
  if (reset->parsed()) return commandResetSample();
  return kExitUsage;
}

}  // namespace
}  // namespace vxrhost::cli

int main(int argc, char** argv) {
  try {
    return vxrhost::cli::run(argc, argv);
  } catch (const vxrhost::cli::Failure& failure) {
    std::cout.flush();
    std::cerr << "vxrhost: " << failure.message << '\n';
    return failure.exitCode;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "vxrhost: internal error: " << vxrhost::cli::oneLine(e.what()) << '\n';
    return vxrhost::cli::kExitInternal;
  }
}
