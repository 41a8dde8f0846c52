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

// Writes the sample into a file of its own and links it into place, so that
// a reader never sees a half-written sample and two first uses do not clash.
void createSample(const std::string& path) {
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
  Error error;
  auto store = SqliteStore::create(temp, schema, data, error);
  if (!store) sampleFailure(path, error.detail.empty() ? error.text() : error.detail);
  store.reset();
  int linked = ::link(temp.c_str(), path.c_str());
  int linkError = errno;
  fs::remove(temp, ec);
  if (linked != 0 && linkError != EEXIST) sampleFailure(path, std::strerror(linkError));
  // EEXIST: another first use was quicker, which is fine if it left a file.
  std::string what;
  if (entryAt(path, what) != Entry::Regular) sampleFailure(path, what);
}

}  // namespace

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

std::unique_ptr<SqliteStore> openDatabase(const std::string& db, bool dbGiven,
                                          const SqliteStoreOptions& options) {
  Error error;
  if (dbGiven) {
    auto store = SqliteStore::open(db, options, error);
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
    throw Failure{kExitDatabase, error.text() + " (\"vxrhost reset-sample\" recreates the sample)"};
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
  if (entry == Entry::Regular) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) {
      throw Failure{kExitDatabase,
                    "cannot remove the sample database " + inQuotes(path) + ": " + ec.message()};
    }
    fs::remove(path + "-journal", ec);
  }
  createSample(path);
  out << "sample database created at " << path << '\n';
}

}  // namespace vxrhost::cli
