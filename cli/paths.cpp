#include "paths.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "failure.h"
#include "sample_sql.h"
#include "vxrhost/sqlite_store.h"

namespace fs = std::filesystem;

namespace vxrhost::cli {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path executableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

bool isDirectory(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

std::string readText(const fs::path& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  ok = in.good() || in.eof();
  return text.str();
}

// Temporary files of first uses that were killed: "<sample>.new.<pid>" of a
// process that no longer runs.
void removeStaleTemporaries(const fs::path& sample) {
  std::error_code ec;
  const std::string prefix = sample.filename().string() + ".new.";
  fs::path parent = sample.parent_path().empty() ? fs::path(".") : sample.parent_path();
  for (const auto& entry : fs::directory_iterator(parent, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    std::string rest = name.substr(prefix.size());
    std::string pidText = rest.substr(0, rest.find('-'));  // "-journal" beside it
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    if (pidText.size() > 9) continue;
    pid_t pid = static_cast<pid_t>(std::stol(pidText));
    if (pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to judge
    std::error_code ignored;
    fs::remove(entry.path(), ignored);
  }
}

[[noreturn]] void sampleFailure(const std::string& path, const std::string& why) {
  throw Failure{kExitDatabase, "cannot create the sample database " + inQuotes(path) + ": " + why};
}

// What sits at the sample's path: nothing, a regular file, or something
// that is not a database file (a link, a directory, a device).
enum class Entry { Missing, Regular, Other };
Entry entryAt(const std::string& path, std::string& what) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Entry::Missing;
  if (S_ISREG(st.st_mode)) return Entry::Regular;
  what = S_ISLNK(st.st_mode)   ? "it is a symbolic link, not a regular file"
         : S_ISDIR(st.st_mode) ? "it is a directory, not a regular file"
                               : "it is not a regular file";
  return Entry::Other;
}

// The sample database carries this application id ("VXRS") in its header,
// so that reset-sample replaces a sample and nothing else.
constexpr uint32_t kSampleApplicationId = 0x56585253;

// True when the file at `path` is an SQLite database marked as the sample.
bool isMarkedSample(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[72] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() != sizeof header || std::memcmp(header, "SQLite format 3", 16) != 0) {
    return false;
  }
  uint32_t id = uint32_t{header[68]} << 24 | uint32_t{header[69]} << 16 |
                uint32_t{header[70]} << 8 | header[71];
  return id == kSampleApplicationId;
}

// Writes the sample into a file of its own and links it into place, so that
// a reader never sees a half-written sample and two first uses do not clash;
// with `replace`, renames it over the existing one instead, so that a reader
// sees the old sample or the new, never none.
void createSample(const std::string& path, bool replace = false) {
  std::error_code ec;
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent, ec);
  if (ec) sampleFailure(path, ec.message());
  removeStaleTemporaries(path);
  std::string temp = path + ".new." + std::to_string(::getpid());
  fs::remove(temp, ec);
  std::string schema;
  std::string data;
  sampleTexts(schema, data);
  data += "\nPRAGMA application_id = " + std::to_string(kSampleApplicationId) + ";\n";
  Error error;
  auto store = SqliteStore::create(temp, schema, data, error);
  if (!store) sampleFailure(path, error.detail.empty() ? error.text() : error.detail);
  store.reset();
  if (replace) {
    fs::remove(path + "-journal", ec);  // it belonged to the old file
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      int why = errno;
      fs::remove(temp, ec);
      sampleFailure(path, std::strerror(why));
    }
    return;
  }
  int linked = ::link(temp.c_str(), path.c_str());
  int linkError = errno;
  fs::remove(temp, ec);
  if (linked != 0 && linkError != EEXIST) sampleFailure(path, std::strerror(linkError));
  // EEXIST: another first use was quicker, which is fine if it left a file.
  std::string what;
  if (entryAt(path, what) != Entry::Regular) sampleFailure(path, what);
}

}  // namespace

// The schema and sample data: the installed copies when vxrhost runs from an
// installed layout, else the copies compiled into it.
void sampleTexts(std::string& schema, std::string& data) {
  schema = kSampleSchemaSql;
  data = kSampleDataSql;
  std::string dir = dataDir();
  if (dir.empty()) return;
  bool okSchema = false;
  bool okData = false;
  std::string s = readText(fs::path(dir) / "schema.sql", okSchema);
  std::string d = readText(fs::path(dir) / "sample.sql", okData);
  if (okSchema && okData && !s.empty()) {
    schema = std::move(s);
    data = std::move(d);
  }
}

std::string dataDir() {
  fs::path dir = executableDir();
  if (dir.empty()) return {};
  fs::path data = (dir / VXRHOST_DATA_FROM_BINDIR).lexically_normal();
  return isDirectory(data) ? data.string() : std::string();
}

std::string modulesDir(const std::string& given) {
  if (!given.empty()) return given;
  fs::path dir = executableDir();
  if (dir.empty()) {
    throw Failure{kExitModule,
                  "cannot find the modules: the executable's path is unknown (use --modules)"};
  }
  fs::path buildTree = (dir / ".." / "modules").lexically_normal();
  fs::path installed = (dir / VXRHOST_MODULES_FROM_BINDIR).lexically_normal();
  if (isDirectory(buildTree)) return buildTree.string();
  if (isDirectory(installed)) return installed.string();
  throw Failure{kExitModule, "no module directory: neither " + inQuotes(buildTree.string()) +
                                 " nor " + inQuotes(installed.string()) +
                                 " exists (use --modules or VXRHOST_MODULES)"};
}

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

std::string consoleDir(const std::string& given) {
  if (!given.empty()) return given;
  fs::path dir = executableDir();
  if (!dir.empty()) {
    fs::path installed = (dir / VXRHOST_DATA_FROM_BINDIR / "console").lexically_normal();
    if (isDirectory(installed)) return installed.string();
  }
  return VXRHOST_CONSOLE_SOURCE_DIR;
}

std::string databaseOf(const std::string& db, bool dbGiven) {
  return dbGiven ? db : samplePath();
}

std::unique_ptr<Store> openDatabase(const std::string& db, bool dbGiven,
                                    const SqliteStoreOptions& given) {
  Error error;
  // The base tables' columns are checked against the schema the modules
  // are built for: a column of another type is an error, not wrong bytes.
  SqliteStoreOptions options = given;
  std::string data;
  sampleTexts(options.expectedSchemaSql, data);
  if (dbGiven) {
    auto store = openStore(db, options, error);
    if (!store) throw Failure{kExitDatabase, error.text()};
    return store;
  }
  std::string path = samplePath();
  std::string what;
  Entry entry = entryAt(path, what);
  if (entry == Entry::Other) {
    throw Failure{kExitDatabase, "cannot use the sample database " + inQuotes(path) + ": " + what};
  }
  if (entry == Entry::Missing) createSample(path);
  auto store = SqliteStore::open(path, options, error);
  if (!store) {
    // reset-sample would replace it only if it is the sample, or in the
    // default place.
    bool resettable = env("VXRHOST_DB").empty() || isMarkedSample(path);
    throw Failure{kExitDatabase,
                  error.text() + (resettable ? " (\"vxrhost reset-sample\" recreates the sample)"
                                             : std::string())};
  }
  return store;
}

void resetSample(std::ostream& out) {
  std::string path = samplePath();
  std::string what;
  Entry entry = entryAt(path, what);
  if (entry == Entry::Other) {
    throw Failure{kExitDatabase,
                  "cannot reset the sample database " + inQuotes(path) + ": " + what};
  }
  // $VXRHOST_DB may name any file: only one marked as the sample is
  // replaced. The default place is vxrhost's own, so a damaged sample there
  // is replaced whatever it holds.
  if (entry == Entry::Regular && !env("VXRHOST_DB").empty() && !isMarkedSample(path)) {
    throw Failure{kExitDatabase, "cannot reset the sample database " + inQuotes(path) +
                                     ": it is not a vxrhost sample database (VXRHOST_DB names "
                                     "it); remove it first if it may go"};
  }
  createSample(path, entry == Entry::Regular);
  out << "sample database created at " << path << '\n';
}

}  // namespace vxrhost::cli
