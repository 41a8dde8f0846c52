// The vxrhost command end to end: each test runs the built executable
// against its own copy of the sample database in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../common/sample_database.h"
#include "vxrhost/catalog.h"
#include "vxrhost/sqlite_store.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class VxrhostTest : public vxrhost::testing::SampleDatabaseTest<VxrhostTest> {
 public:
  static constexpr const char* kScratchName = "cli";

 protected:
  void SetUp() override {
    dir_ = suiteDir_ / testName();
    fs::create_directories(dir_);
    db_ = (dir_ / "sample.db").string();
    copySample(db_);
  }

  // Runs vxrhost with `args`; the environment has no VXRHOST_* variables and
  // a data directory inside the test's directory, plus `env`.
  Outcome run(const std::vector<std::string>& args,
              const std::map<std::string, std::string>& env = {}, std::string outPath = "") {
    std::vector<std::string> strings;
    for (char** e = environ; *e != nullptr; ++e) {
      std::string entry = *e;
      std::string name = entry.substr(0, entry.find('='));
      if (name.rfind("VXRHOST_", 0) == 0 || name == "XDG_DATA_HOME" || name == "HOME" ||
          env.count(name) != 0) {
        continue;
      }
      strings.push_back(entry);
    }
    strings.push_back("HOME=" + (dir_ / "home").string());
    strings.push_back("XDG_DATA_HOME=" + (dir_ / "xdg").string());
    for (const auto& [name, value] : env) {
      if (name != "HOME" && name != "XDG_DATA_HOME") strings.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& s : strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{VXRHOST_EXE};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    const bool capture = outPath.empty();
    if (capture) outPath = (dir_ / "stdout").string();
    std::string errPath = (dir_ / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(),
                                     capture ? O_WRONLY | O_CREAT | O_TRUNC : O_WRONLY, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    Outcome result;
    int rc = posix_spawn(&pid, VXRHOST_EXE, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "cannot start " VXRHOST_EXE;
    if (rc != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (capture) result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
  }

  // A query of the test's database with the built modules.
  Outcome query(std::vector<std::string> args) {
    args.insert(args.begin(), "query");
    args.insert(args.end(), {"--db", db_, "--modules", VXR_MODULE_DIR});
    return run(args);
  }

  nlohmann::json jsonRows(std::vector<std::string> args) {
    args.insert(args.end(), {"--format", "json"});
    Outcome r = query(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out, nullptr, false);
  }

  void expectGolden(const std::string& name, const std::string& actual) {
    fs::path golden = fs::path(GOLDEN_DIR) / name;
    if (std::getenv("VXRHOST_UPDATE_GOLDEN") != nullptr) writeFile(golden, actual);
    ASSERT_TRUE(fs::exists(golden)) << golden;
    EXPECT_EQ(actual, readFile(golden)) << "differs from " << golden;
  }

  fs::path dir_;
  std::string db_;
};

TEST_F(VxrhostTest, QueryOutputInEachFormatMatchesItsGolden) {
  const std::string before = readFile(db_);
  for (const char* format : {"table", "csv", "json"}) {
    SCOPED_TRACE(format);
    Outcome r = query({"GROUPOBJACT", "--filter", "IDNAME=GRPA", "--format", format});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    expectGolden(
        std::string("groupobjact-grpa.") + (format == std::string("table") ? "txt" : format),
        r.out);
    // The summary: rows, the three online GRPA members and the other three
    // online agents asked for GRPA rows, end of data.
    EXPECT_NE(r.err.find("GROUPOBJACT: 3 rows, 6 members queried, status 62 (end of data), "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(" ms (member SQL "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("node status"), std::string::npos) << r.err;
  }
  EXPECT_EQ(readFile(db_), before) << "a query changed the database";
}

// CSV and JSON are printed as the rows come; without rows they still end
// in their empty forms, as the aligned table does.
TEST_F(VxrhostTest, QueryWithoutRowsPrintsTheEmptyForm) {
  const std::string csv = readFile(fs::path(GOLDEN_DIR) / "groupobjact-grpa.csv");
  const std::string header = csv.substr(0, csv.find("\r\n"));
  std::string names;  // the aligned header: the names two blanks apart
  for (char c : header) names += c == ',' ? std::string("  ") : std::string(1, c);
  const struct {
    const char* format;
    std::string out;
  } cases[] = {{"csv", header + "\r\n"}, {"json", "[]\n"}, {"table", names + "\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Outcome r = query({"GROUPOBJACT", "--filter", "IDNAME=NOSUCH", "--format", c.format});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(VxrhostTest, SampleDatabaseIsCreatedOnFirstUse) {
  const std::vector<std::string> args{"query",       "groupobjact", "--filter",
                                      "idname=GRPA", "--modules",   VXR_MODULE_DIR};
  fs::path sample = dir_ / "xdg" / "vxrhost" / "sample.db";
  Outcome first = run(args);
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(fs::exists(sample));
  expectGolden("groupobjact-grpa.txt", first.out);
  const std::string created = readFile(sample);
  Outcome second = run(args);
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(readFile(sample), created);

  // VXRHOST_DB moves the sample; VXRHOST_MODULES names the modules.
  fs::path elsewhere = dir_ / "elsewhere" / "my.db";
  Outcome moved = run({"query", "GROUPOBJACT", "--filter", "IDNAME=GRPA"},
                      {{"VXRHOST_DB", elsewhere.string()}, {"VXRHOST_MODULES", VXR_MODULE_DIR}});
  EXPECT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_EQ(moved.out, first.out);
  EXPECT_TRUE(fs::exists(elsewhere));

  // A damaged sample is not replaced behind the user's back; reset-sample
  // recreates it.
  writeFile(sample, "garbage");
  Outcome damaged = run(args);
  EXPECT_EQ(damaged.exitCode, 3);
  EXPECT_NE(damaged.err.find("reset-sample"), std::string::npos) << damaged.err;
  Outcome reset = run({"reset-sample"});
  EXPECT_EQ(reset.exitCode, 0) << reset.err;
  EXPECT_EQ(run(args).out, first.out);
}

// Every bad input a user can give, its message and exit status (the README
// lists the same table). Each error is one line on stderr, and nothing is
// written to the databases involved.
struct BadCase {
  const char* what;
  std::vector<std::string> args;
  int exitCode;
  std::string message;  // a part of the line
  std::map<std::string, std::string> env = {};
  std::string stdoutPath = "";  // default: captured
};

TEST_F(VxrhostTest, BadInputGivesOneClearLineAndItsExitStatus) {
  fs::path corrupt = dir_ / "corrupt.db";
  writeFile(corrupt, std::string("SQLite format 3") + std::string(200, 'x'));
  const std::string missing = (dir_ / "missing.db").string();
  fs::path junk = dir_ / "junk";
  fs::create_directories(junk);
  writeFile(junk / "VXRGOAAL.so", "not a shared library\n");
  const std::string link = (dir_ / "link.db").string();
  fs::create_symlink(dir_ / "gone.db", link);
  const std::string mods = VXR_MODULE_DIR;
  const std::string nomods = (dir_ / "nomods").string();
  auto q = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "query");
    args.insert(args.end(), {"--db", db_, "--modules", mods});
    return args;
  };
  const std::vector<BadCase> cases = {
      {"unknown command", {"frobnicate"}, 2, "vxrhost: unknown command \"frobnicate\" (see"},
      {"no command", {}, 2, "vxrhost: a command is required (see \"vxrhost --help\")"},
      {"no table", {"query"}, 2, "table is required"},
      {"unknown table", q({"FOO"}), 2, "table: FOO not in {"},
      {"table holding a newline", q({"FOO\nBAR"}), 2, "table: FOO\\nBAR not in"},
      {"unknown table of --columns", {"tables", "--columns", "NOPE"}, 2, "--columns: NOPE not in"},
      {"filter without =", q({"GROUPOBJACT", "--filter", "IDNAME"}), 2,
       "vxrhost: malformed --filter \"IDNAME\": no '=' (expected COL=VALUE)\n"},
      {"filter without column", q({"GROUPOBJACT", "--filter", "=GRPA"}), 2,
       "malformed --filter \"=GRPA\": no column name"},
      {"filter on no column", q({"GROUPOBJACT", "--filter", "NOSUCH=1"}), 2,
       "table GROUPOBJACT has no column \"NOSUCH\" in --filter"},
      {"filter column holding a tab", q({"GROUPOBJACT", "--filter", "ID\tNAME=1"}), 2,
       "has no column \"ID\\tNAME\""},
      {"operator not a number", q({"GROUPOBJACT", "--filter-op", "IDNAME=eq=GRPA"}), 2,
       "malformed --filter-op \"IDNAME=eq=GRPA\": operator code \"eq\" is not a number"},
      {"operator missing", q({"GROUPOBJACT", "--filter-op", "IDNAME=GRPA"}), 2,
       "no '=' after the operator code"},
      {"operator out of range", q({"GROUPOBJACT", "--filter-op", "IDNAME=32768=G"}), 2,
       "is not a number from 0 to 32767"},
      {"value wider than its column", q({"GROUPOBJACT", "--filter", "IDNAME=GRPA12345"}), 2,
       "--filter value \"GRPA12345\" is longer than column IDNAME (8 characters)"},
      {"long value holding a newline", q({"GROUPOBJACT", "--filter", "IDNAME=GR\nPA1234"}), 2,
       "value \"GR\\nPA1234\" is longer"},
      {"unknown format", q({"GROUPOBJACT", "--format", "xml"}), 2,
       "--format: xml not in {table,csv,json}"},
      {"format holding a newline", {"tables", "--format", "c\nsv"}, 2, "--format: c\\nsv not in"},
      {"bad trace levels", q({"GROUPOBJACT", "--trace", "VXRGOAAL"}), 2,
       "vxrhost: --trace: bad trace level \"VXRGOAAL\": no '='\n"},
      {"bad trace mask", q({"GROUPOBJACT", "--trace", "VXRGOAAL=0xZZ"}), 2,
       "mask is neither 0x-hex nor decimal"},
      {"trace file that cannot be opened",
       q({"GROUPOBJACT", "--trace-file", (dir_ / "no" / "t.log").string()}), 2,
       "--trace-file: cannot open trace file"},
      {"empty database name", {"nodes", "--db", ""}, 2, "--db: an empty path names no database"},
      {"missing database",
       {"nodes", "--db", missing},
       3,
       "vxrhost: cannot open database \"" + missing + "\": no such file\n"},
      {"corrupt database",
       {"heartbeat", "--db", corrupt.string(), "--modules", mods},
       3,
       "cannot open database \"" + corrupt.string() + "\": file is not a database"},
      {"database that is a directory", {"nodes", "--db", dir_.string()}, 3, "it is a directory"},
      {"PostgreSQL server that cannot be reached (no password shown)",
       {"nodes", "--db", "host=/nonexistent/vxr dbname=hosts password=hunter2"},
       3,
       "vxrhost: cannot open database \"hosts\" on server \"/nonexistent/vxr:5432\": connection "
       "to server on socket \"/nonexistent/vxr/.s.PGSQL.5432\" failed: No such file or "
       "directory\n"},
      {"init-db without --db", {"init-db"}, 2, "init-db needs --db"},
      {"init-db over an existing file", {"init-db", "--db", db_}, 3, "the file already exists"},
      {"sample path at a dangling link",
       {"nodes"},
       3,
       "cannot use the sample database \"" + link + "\": it is a symbolic link",
       {{"VXRHOST_DB", link}}},
      {"reset-sample at a dangling link",
       {"reset-sample"},
       3,
       "cannot reset the sample database \"" + link + "\": it is a symbolic link",
       {{"VXRHOST_DB", link}}},
      {"missing module directory",
       {"heartbeat", "--db", db_, "--modules", nomods},
       4,
       "vxrhost: module directory \"" + nomods + "\" does not exist\n"},
      {"module missing from its directory",
       {"query", "GROUPTHRDACT", "--db", db_, "--modules", junk.string()},
       4,
       "cannot load module \"VXRGOTAL\": \"" + (junk / "VXRGOTAL.so").string() +
           "\": No such file or directory"},
      {"module that does not load",
       {"query", "GROUPOBJACT", "--db", db_, "--modules", junk.string()},
       4,
       "cannot load module \"VXRGOAAL\": " + (junk / "VXRGOAAL.so").string()},
      {"module directory from the environment",
       {"modules"},
       4,
       "module directory \"" + nomods,
       {{"VXRHOST_MODULES", nomods}}},
      {"rows to a full disk",
       q({"GROUPOBJACT", "--format", "csv"}),
       6,
       "vxrhost: cannot write output: No space left on device\n",
       {},
       "/dev/full"},
      {"node listing to a full disk",
       {"nodes", "--db", db_},
       6,
       "cannot write output",
       {},
       "/dev/full"},
      {"catalog to a full disk", {"tables"}, 6, "cannot write output", {}, "/dev/full"},
  };
  const std::string sampleBefore = readFile(db_);
  const std::string corruptBefore = readFile(corrupt);
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome r = run(c.args, c.env, c.stdoutPath);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("vxrhost: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(readFile(db_), sampleBefore);
  EXPECT_EQ(readFile(corrupt), corruptBefore);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_FALSE(fs::exists(dir_ / "gone.db"));  // nothing was created behind the link
  EXPECT_FALSE(fs::exists(dir_ / "xdg"));      // no sample was made on the side
}

// What a hostile user tried, each with what vxrhost must say: failures
// that the modules cannot see (a member's SQL failing) are reported by the
// host, and nothing ends in a crash, a hang or a silent success.
struct HostileCase {
  const char* what;
  std::vector<std::string> args;
  int exitCode;
  std::vector<std::string> messages;  // parts of stderr, in any order
  std::map<std::string, std::string> env = {};
  std::string stdoutPath = "";
  std::vector<std::string> absent = {};  // must not be in stderr
  std::string out = "";                  // a part of stdout
};

TEST_F(VxrhostTest, HostileInputsAreReportedNeverHidden) {
  // A copy of the sample changed by an SQL script.
  auto changed = [&](const std::string& name, const std::string& sql) {
    std::string path = (dir_ / name).string();
    fs::copy_file(db_, path);
    std::string command = "sqlite3 '" + path + "' '" + sql + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  };
  // A generated group whose second member's rows cross a page that is
  // overwritten: its fetch fails part-way.
  const std::string malformed = (dir_ / "malformed.db").string();
  {
    std::string command = "bash '" VXR_SOURCE_DIR "/scripts/gen-group' '" + malformed +
                          "' -m 2 -n 3000 >/dev/null && sqlite3 '" + malformed +
                          "' \"SELECT pageno FROM dbstat WHERE name = 'VXR.LGOAACT' AND "
                          "pagetype = 'leaf' ORDER BY pageno LIMIT 1 OFFSET (SELECT count(*) * 3 / "
                          "4 FROM dbstat WHERE name = 'VXR.LGOAACT' AND pagetype = 'leaf')\" > '" +
                          (dir_ / "page").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    long page = std::stol(readFile(dir_ / "page"));
    std::fstream file(malformed, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * 4096);
    file << std::string(64, '\xff');
  }
  auto q = [&](const std::string& db, std::vector<std::string> args) {
    args.insert(args.begin(), "query");
    args.insert(args.end(), {"--db", db, "--modules", VXR_MODULE_DIR});
    return args;
  };
  // A module directory with one module cut short.
  const fs::path cut = dir_ / "cut";
  fs::create_directories(cut);
  for (const auto& entry : fs::directory_iterator(VXR_MODULE_DIR))
    fs::copy_file(entry.path(), cut / entry.path().filename());
  writeFile(cut / "VXRGOAAL.so", readFile(cut / "VXRGOAAL.so").substr(0, 4096));
  const std::string mods = VXR_MODULE_DIR;
  const std::string nomods = (dir_ / "nomods").string();
  // Escapes in a lock-conflict resource name, which the module always traces.
  const std::string escapes =
      changed("escapes.db",
              "UPDATE \"VXR.RX4LKCONF\" SET LK_RESOURC = \"X\" || char(27) || \"[2J\" || "
              "char(13) || char(7) || \"Y\"");
  const fs::path traced = dir_ / "trace.log";
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A node-status table that refuses every change.
  const std::string frozen =
      changed("frozen.db",
              "CREATE TRIGGER f1 BEFORE UPDATE ON \"Q7SRV.INODESTS\" BEGIN SELECT RAISE(ABORT, "
              "\"frozen\"); END; CREATE TRIGGER f2 BEFORE INSERT ON \"Q7SRV.INODESTS\" BEGIN "
              "SELECT RAISE(ABORT, \"frozen\"); END;");
  const fs::path notes = dir_ / "notes.txt";
  writeFile(notes, "my notes\n");
  const std::vector<HostileCase> cases = {
      {"member base table missing",
       q(changed("notable.db", "DROP TABLE \"VXR.LGOAACT\""), {"GROUPOBJACT"}),
       8,
       {"status 62 (end of data), 6 member requests failed, ",
        "\nvxrhost: member WNRX4:RXA2:SYSB: prepare failed: unknown table \"VXR.LGOAACT\""}},
      {"member column missing",
       q(changed("nocolumn.db", "ALTER TABLE \"VXR.LGOAACT\" DROP COLUMN JTPRIOR"),
         {"GROUPOBJACT", "--filter", "IDNAME=GRPA"}),
       8,
       {"6 member requests failed", "member WNRX4:RXA1:SYSA: prepare failed: unknown column"}},
      {"thru node offline",
       q(changed("offline.db",
                 "UPDATE \"Q7SRV.INODESTS\" SET Q7ONLINE = \"N\" WHERE NODE = \"TEMSA\""),
         {"GROUPOBJACT", "--format", "csv"}),
       8,
       {"3 member requests failed",
        "member WNRX4:RXB1:SYSA: open failed: node \"TEMSA\" is offline"}},
      {"member status with its members failing",
       q(changed("nostatus.db", "DROP TABLE \"VXR.XR_SY_EXC\""), {"MEMBERSTATUS"}),
       8,
       {"member requests failed", "prepare failed: unknown table \"VXR.XR_SY_EXC\""}},
      {"fetch failing part-way",
       q(malformed, {"GROUPOBJACT", "--format", "json"}),
       8,
       {"1 member request failed", "member WNRX4:RX02:SYS02: fetch failed after ",
        " rows: database disk image is malformed\n"}},
      {"rows past the output buffer to a full disk",
       q(malformed, {"GROUPOBJACT", "--format", "csv"}),
       6,
       {"vxrhost: cannot write output: No space left on device\n"},
       {},
       "/dev/full"},
      {"truncated module",
       {"query", "GROUPOBJACT", "--db", db_, "--modules", cut.string()},
       4,
       {"cannot load module \"VXRGOAAL\": \"" + (cut / "VXRGOAAL.so").string() +
        "\": file is truncated\n"}},
      {"truncated module among others",
       {"modules", "--modules", cut.string()},
       4,
       {"file is truncated"},
       {},
       "",
       {},
       "\nVXRGOTAL  V130  "},
      {"truncated module and --version -v",
       {"--version", "-v"},
       4,
       {"file is truncated"},
       {{"VXRHOST_MODULES", cut.string()}}},
      {"--modules over the environment",
       q(db_, {"GROUPOBJACT"}),
       0,
       {"status 62"},
       {{"VXRHOST_MODULES", nomods}}},
      {"environment under --modules",
       {"heartbeat", "--db", db_, "--modules", nomods},
       4,
       {"module directory \"" + nomods + "\" does not exist"},
       {{"VXRHOST_MODULES", mods}}},
      {"a column of the wrong type",
       q(changed("chartype.db",
                 "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, "
                 "\"JTPGETP     INTEGER\", \"JTPGETP CHAR(12)\") WHERE name = \"VXR.LGOAACT\""),
         {"GROUPOBJACT"}),
       3,
       {"table VXR.LGOAACT column JTPGETP is CHAR(12), expected INTEGER\n"}},
      {"reset of a file that is not the sample",
       {"reset-sample"},
       3,
       {"it is not a vxrhost sample database"},
       {{"VXRHOST_DB", notes.string()}}},
      {"the error of a non-sample file recommends no reset",
       {"nodes"},
       3,
       {"file is not a database\n"},
       {{"VXRHOST_DB", notes.string()}},
       "",
       {"reset-sample"}},
      {"database escapes on stderr",
       q(escapes, {"GROUPLOCKCONF"}),
       0,
       {"|X\\x1B[2J\\r\\x07Y"},
       {},
       "",
       {"\x1b", "\x07", "\r"}},
      {"database escapes kept in the trace file",
       q(escapes, {"GROUPLOCKCONF", "--trace-file", traced.string()}),
       0,
       {"status 62"},
       {},
       "",
       {"\\x1B"}},
      {"trace file on a full disk",
       q(db_, {"GROUPOBJACT", "--trace", "*=0x01", "--trace-file", "/dev/full"}),
       6,
       {"\nvxrhost: cannot write trace file \"/dev/full\": No space left on device\n"}},
      {"trace file a FIFO with no reader",
       q(db_, {"GROUPOBJACT", "--trace-file", fifo.string()}),
       2,
       {"--trace-file: cannot open trace file \"" + fifo.string() +
        "\": it is a FIFO with no reader"}},
      {"trace file a directory",
       q(db_, {"GROUPOBJACT", "--trace-file", dir_.string()}),
       2,
       {"Is a directory"}},
      {"heartbeat on a node-status table that refuses changes",
       {"heartbeat", "--db", frozen, "--modules", mods},
       5,
       {", node status unchanged (4 updates failed), ", "the heartbeat was not applied: "},
       {},
       "",
       {"node status changed", "\\\""}},
      {"-v before a subcommand",
       {"-v", "query", "GROUPOBJACT"},
       2,
       {"-v belongs to --version, not to the query command"}},
      {"quotes in messages stay quotes",
       {"query", "GROUPOBJACT", "--frob"},
       2,
       {"--frob"},
       {},
       "",
       {"\\\""}},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome r = run(c.args, c.env, c.stdoutPath);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    for (const std::string& message : c.messages) {
      EXPECT_NE(r.err.find(message), std::string::npos) << message << "\nin:\n" << r.err;
    }
    for (const std::string& text : c.absent) {
      EXPECT_EQ(r.err.find(text), std::string::npos) << text << "\nin:\n" << r.err;
    }
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
  EXPECT_EQ(readFile(notes), "my notes\n");
  EXPECT_NE(readFile(traced).find("X\x1b[2J\r\aY"), std::string::npos);
}

TEST_F(VxrhostTest, StaleTemporariesOfKilledFirstUsesAreRemoved) {
  fs::path sampleDir = dir_ / "xdg" / "vxrhost";
  fs::create_directories(sampleDir);
  // A process id above the kernel's limit never runs; ours does.
  const fs::path stale = sampleDir / "sample.db.new.999999999";
  const fs::path staleJournal = sampleDir / "sample.db.new.999999999-journal";
  const fs::path live = sampleDir / ("sample.db.new." + std::to_string(getpid()));
  for (const fs::path& p : {stale, staleJournal, live}) writeFile(p, "partial");
  Outcome r = run({"nodes", "--format", "csv"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(sampleDir / "sample.db"));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(staleJournal));
  EXPECT_TRUE(fs::exists(live));
}

TEST_F(VxrhostTest, NodesIgnoresExtraColumnsOfAnyName) {
  std::string sql =
      "ALTER TABLE \"Q7SRV.INODESTS\" ADD COLUMN \"my col\" CHAR(4); "
      "ALTER TABLE \"Q7SRV.INODESTS\" ADD COLUMN \"X.Y\" CHAR(4); "
      "ALTER TABLE \"Q7SRV.INODESTS\" ADD COLUMN \"FROM\" INTEGER;";
  std::string command = "sqlite3 '" + db_ + "' '" + sql + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  Outcome r = run({"nodes", "--db", db_, "--format", "csv"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("NODE,THRUNODE,ORIGINNODE,NODETYPE,Q7ONLINE,PRODUCT,VERSION,HOSTCODE,"
                        "AFFINITIES,HOSTLEVEL\r\n",
                        0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("RX4plex:RX4plex:Skelvane"), std::string::npos);
}

TEST_F(VxrhostTest, VersionHelpAndCompletion) {
  Outcome version = run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "vxrhost " VXRHOST_VERSION "\n");
  Outcome dates = run({"--version", "-v"}, {{"VXRHOST_MODULES", VXR_MODULE_DIR}});
  EXPECT_EQ(dates.exitCode, 0) << dates.err;
  EXPECT_NE(dates.out.find("\nVXRGOAAL  V130  "), std::string::npos) << dates.out;
  EXPECT_NE(dates.out.find("  GROUPOBJACT\n"), std::string::npos) << dates.out;
  Outcome help = run({"query", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--filter-op"), std::string::npos) << help.out;

  const std::string script = "source '" VXR_SOURCE_DIR
                             "/cli/vxrhost.bash-completion'\n"
                             "t() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _vxrhost;"
                             " echo \"${COMPREPLY[*]}\"; }\n"
                             "t " VXRHOST_EXE
                             " ''\n"
                             "t " VXRHOST_EXE
                             " query GROUPOBJA\n"
                             "t " VXRHOST_EXE
                             " query GROUPTHRDACT --filter JT7P\n"
                             "t " VXRHOST_EXE " nodes --format ''\n";
  writeFile(dir_ / "complete.sh", script);
  std::string command =
      "bash '" + (dir_ / "complete.sh").string() + "' > '" + (dir_ / "complete.out").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(
      readFile(dir_ / "complete.out"),
      "query sql explain heartbeat nodes tables modules reset-sample init-db serve --version -v "
      "--help\n"
      "GROUPOBJACT\n"
      "JT7PLNM= JT7PCGP= JT7PCIO=\n"
      "table csv json\n");
}

TEST_F(VxrhostTest, EveryModuleAnswersOnTheSample) {
  nlohmann::json goaa = jsonRows({"GROUPOBJACT"});
  ASSERT_TRUE(goaa.is_array());
  EXPECT_FALSE(goaa.empty());
  nlohmann::json gota = jsonRows({"GROUPTHRDACT"});
  ASSERT_TRUE(gota.is_array());
  ASSERT_FALSE(gota.empty());
  EXPECT_TRUE(gota[0]["JT7GETP"].is_number_integer());
  EXPECT_TRUE(gota[0]["JT7PLNM"].is_string());

  nlohmann::json status = jsonRows({"MEMBERSTATUS"});
  ASSERT_TRUE(status.is_array());
  std::set<std::string> names;
  for (const auto& row : status) names.insert(row["IDNAME"].get<std::string>());
  EXPECT_EQ(names, (std::set<std::string>{"GRPA", "GRPB", "RXS1"}));
  for (const auto& row : status) EXPECT_TRUE(row["OADBCNT"].is_number_integer());

  // The no-fetch request still hands out its rows (and runs the heartbeat).
  nlohmann::json nofetch = jsonRows({"MEMBERSTATUS", "--filter", "IDNAME=*NOFETCH"});
  ASSERT_TRUE(nofetch.is_array());
  EXPECT_EQ(nofetch.size(), status.size());
}

// The object space summaries and the volume use by database on the sample:
// DBPAY is shared by the three GRPA members, SPPAY1 reported by each of them,
// PAY001 used by DBPAY and DBINV.
TEST_F(VxrhostTest, ObjectSpaceAndVolumeTablesOnTheSample) {
  auto find = [](const nlohmann::json& rows, const char* column, const char* value) {
    for (const auto& row : rows)
      if (row[column] == value) return row;
    return nlohmann::json();
  };
  const nlohmann::json databases = jsonRows({"GOBJECTA", "--filter", "IDNAME=GRPA"});
  ASSERT_EQ(databases.size(), 3u);
  const nlohmann::json pay = find(databases, "JAPDB", "DBPAY");
  EXPECT_EQ(pay["NUMRX4"], 3);
  EXPECT_EQ(pay["SPNCount"], 3);
  EXPECT_EQ(pay["TSCount"], 2);
  EXPECT_EQ(pay["IXCount"], 1);
  EXPECT_EQ(pay["JAPEXTS"], 63);
  EXPECT_EQ(pay["JAPEXTR"], 42);

  const nlohmann::json spaces = jsonRows({"GROUPOBJSPACE", "--filter", "IDNAME=GRPA"});
  ASSERT_EQ(spaces.size(), 7u);
  const nlohmann::json sppay1 = find(spaces, "JAPSPN", "SPPAY1");
  EXPECT_EQ(sppay1["NUMRX4"], 3);
  EXPECT_EQ(sppay1["JAPMEXT"], 9);
  EXPECT_EQ(sppay1["TIMESTAMP"], "1261208103312010");

  const nlohmann::json volumes =
      jsonRows({"GROUPVOLDB", "--filter", "DSGROUP=GRPA", "--filter", "JVPVOL=PAY001"});
  ASSERT_EQ(volumes.size(), 2u);
  const nlohmann::json payVolume = find(volumes, "JVPDB", "DBPAY");
  EXPECT_EQ(payVolume["RX4COUNT"], 3);
  EXPECT_EQ(payVolume["JVPTIO"], 147700);
  EXPECT_EQ(payVolume["JVPTIOR"], 9846);  // 29540 / 3
  EXPECT_EQ(payVolume["JVPMTIOR"], 8400);
  EXPECT_EQ(find(volumes, "JVPDB", "DBINV")["RX4COUNT"], 1);
}

// Thread exceptions and, in the solaris flavour, the group buffer pools and
// their connections on the sample: the offline member's rows never appear,
// a key's figures come from the member queried first and its time stamp is
// the earliest, and a group filter keeps that group's connections alone.
TEST_F(VxrhostTest, ThreadExceptionAndBufferPoolTablesOnTheSample) {
  nlohmann::json exceptions = jsonRows({"GROUPTHRDEXC"});
  ASSERT_TRUE(exceptions.is_array());
  EXPECT_EQ(exceptions.size(), 9u);
  nlohmann::json payplan =
      jsonRows({"GROUPTHRDEXC", "--filter", "PLAN_NAME=PAYPLAN", "--filter", "CORRID=PAYJOB02"});
  ASSERT_EQ(payplan.size(), 1u);
  EXPECT_EQ(payplan[0]["EX_RX4ID"], "RXA2");
  EXPECT_EQ(payplan[0]["ORIGINNODE"], "GRPA:RX4plex:DSGROUP");

  if (vxrhost::findCatalogTable("GROUPBUFPOOL") == nullptr) GTEST_SKIP() << "solaris tables";
  nlohmann::json pools = jsonRows({"GROUPBUFPOOL", "--filter", "IDNAME=GRPA"});
  ASSERT_EQ(pools.size(), 3u);
  EXPECT_EQ(pools[2]["STRUCTN"], "GRPA_GBP0");
  EXPECT_EQ(pools[2]["RD_COUNT"], 5040);
  EXPECT_EQ(pools[2]["TIMESTAMP"], "1261208104112010");

  nlohmann::json connections =
      jsonRows({"GROUPBUFPOOLCONN", "--filter", "ORIGINNODE=GRPB:RX4plex:DSGROUP"});
  ASSERT_EQ(connections.size(), 2u);
  for (const auto& row : connections) EXPECT_EQ(row["DSGROUPN"], "GRPB");
  EXPECT_EQ(jsonRows({"GROUPBUFPOOLCONN"}).size(), 8u);
}

TEST_F(VxrhostTest, VolumeTablesOnTheSample) {
  // PAY001 is used by the three online GRPA members.
  nlohmann::json volumes = jsonRows({"GROUPVOLUME", "--filter", "IDNAME=GRPA"});
  ASSERT_TRUE(volumes.is_array());
  std::map<std::string, nlohmann::json> byVolume;
  for (const auto& row : volumes) byVolume[row["JVSVOLN"].get<std::string>()] = row;
  ASSERT_EQ(byVolume.size(), 4u);
  EXPECT_EQ(byVolume["PAY001"]["NUMRX4"], 3);
  EXPECT_EQ(byVolume["PAY001"]["JVSTIO"], 181100);
  EXPECT_EQ(byVolume["PAY001"]["JVSMVRESP"], 8);
  EXPECT_EQ(byVolume["PAY001"]["JVSDBSHR"], 940);

  // Under a volume filter the four PAY001 threads are listed one by one.
  nlohmann::json threads =
      jsonRows({"GROUPVOLTHRD", "--filter", "IDNAME=GRPA", "--filter", "JVTVOL=PAY001"});
  ASSERT_TRUE(threads.is_array());
  ASSERT_EQ(threads.size(), 4u);
  for (const auto& row : threads) EXPECT_EQ(row["NUMRX4"], 1);
  nlohmann::json merged = jsonRows({"GROUPVOLTHRD", "--filter", "IDNAME=GRPA"});
  ASSERT_TRUE(merged.is_array());
  EXPECT_EQ(merged.size(), 3u);
}

// Buffer pool structures merged over their members (GRPB_GBP1's sums stay
// at the largest value), and the lock structures with their contention
// percentages computed from the sums.
TEST_F(VxrhostTest, BufferPoolAndLockStructureTablesMatchTheirGoldens) {
  const std::pair<const char*, const char*> queries[] = {
      {"GROUPBPSTATS", "GROUPBPSTATS: 5 rows, 6 members queried, status 62 (end of data), "},
      {"GROUPLOCKSTRUCT", "GROUPLOCKSTRUCT: 3 rows, 6 members queried, status 62 (end of data), "}};
  for (const auto& [table, summary] : queries) {
    SCOPED_TRACE(table);
    Outcome r = query({table, "--format", "csv"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string name = table;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    expectGolden(name + ".csv", r.out);
    EXPECT_NE(r.err.find(summary), std::string::npos) << r.err;
  }
}

// The listing tables on the sample: the lock conflicts of GRPB (an older
// agent's resource names split by the module, a newer agent's delivered
// split) and the threads of GRPA (older and newer agents).
TEST_F(VxrhostTest, ListingTablesOnTheSampleMatchTheirGoldens) {
  const std::pair<std::string, std::string> queries[] = {
      {"GROUPLOCKCONF", "grouplockconf-grpb.csv"}, {"GROUPTHREADS", "groupthreads-grpa.csv"}};
  for (const auto& [table, golden] : queries) {
    SCOPED_TRACE(table);
    const std::string group = table == "GROUPLOCKCONF" ? "GRPB" : "GRPA";
    Outcome r = query({table, "--filter", "IDNAME=" + group, "--format", "csv"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    expectGolden(golden, r.out);
  }
}

TEST_F(VxrhostTest, FiltersKeepTheirOrderAndValuesMayHoldEquals) {
  // A later filter on the same column overrides an earlier one.
  nlohmann::json rows =
      jsonRows({"GROUPOBJACT", "--filter-op", "IDNAME=1=GRPB", "--filter", "IDNAME=GRPA"});
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_EQ(row["IDNAME"], "GRPA");
  rows = jsonRows({"GROUPOBJACT", "--filter", "IDNAME=GRPA", "--filter-op", "IDNAME=1=GRPB"});
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_EQ(row["IDNAME"], "GRPB");

  // "A=B" is the value: the filter is split at its first '=' only.
  fs::path trace = dir_ / "trace.log";
  Outcome r = query({"GROUPOBJACT", "--filter", "IDNAME=A=B", "--trace", "VXRGOAAL=0x01",
                     "--trace-file", trace.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("GROUPOBJACT: 0 rows"), std::string::npos) << r.err;
  std::string lines = readFile(trace);
  EXPECT_NE(lines.find("IDNAME"), std::string::npos) << lines;
  EXPECT_NE(lines.find("A=B"), std::string::npos) << lines;
}

TEST_F(VxrhostTest, SecondHeartbeatSeesTheFirstOnesResult) {
  const std::vector<std::string> heartbeat{"heartbeat", "--db", db_, "--modules", VXR_MODULE_DIR};
  Outcome first = run(heartbeat);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.err.find(", node status changed (4 updates), "), std::string::npos) << first.err;
  EXPECT_EQ(first.out.rfind("online   RX4plex:RX4plex:Skelvane (parent *)\n", 0), 0u) << first.out;
  EXPECT_NE(first.out.find("online   GRPA:RX4plex:DSGROUP (parent RX4plex:RX4plex:Skelvane)\n"),
            std::string::npos)
      << first.out;
  // GRPB's first-queried member is offline, but its online member keeps it online.
  EXPECT_NE(first.out.find("online   GRPB:RX4plex:DSGROUP (parent RX4plex:RX4plex:Skelvane)\n"),
            std::string::npos)
      << first.out;
  // GRPC was left online by an earlier heartbeat and no member reports it.
  EXPECT_NE(first.out.find("offline  GRPC:RX4plex:DSGROUP (parent RX4plex:RX4plex:Skelvane)\n"),
            std::string::npos)
      << first.out;

  Outcome nodes = run({"nodes", "--db", db_, "--format", "json"});
  ASSERT_EQ(nodes.exitCode, 0) << nodes.err;
  std::map<std::string, std::string> online;
  for (const auto& row : nlohmann::json::parse(nodes.out)) {
    online[row["NODE"].get<std::string>()] = row["Q7ONLINE"].get<std::string>();
  }
  EXPECT_EQ(online["GRPA:RX4plex:DSGROUP"], "Y");
  EXPECT_EQ(online["GRPB:RX4plex:DSGROUP"], "Y");
  EXPECT_EQ(online["GRPC:RX4plex:DSGROUP"], "N");
  EXPECT_EQ(online["RX4plex:RX4plex:Skelvane"], "Y");
  EXPECT_EQ(online["WNRX4:RXA1:SYSA"], "Y");  // member agents are not touched

  // The second heartbeat no longer finds GRPC online, so it has nothing to
  // set offline; the groups it detects are set online again.
  Outcome second = run(heartbeat);
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out.find("GRPC"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("online   GRPA:RX4plex:DSGROUP"), std::string::npos) << second.out;
}

TEST_F(VxrhostTest, CatalogAndModulesAreListed) {
  Outcome tables = run({"tables", "--format", "csv"});
  ASSERT_EQ(tables.exitCode, 0) << tables.err;
  EXPECT_EQ(tables.out.rfind("TABLE,MODULE,ROWSIZE,ATTRIBUTES,DESCRIPTION\r\n", 0), 0u);
  EXPECT_NE(tables.out.find("GROUPOBJACT,VXRGOAAL,148,23,"), std::string::npos) << tables.out;
  Outcome columns = run({"tables", "--columns", "groupthrdact"});
  ASSERT_EQ(columns.exitCode, 0) << columns.err;
  EXPECT_NE(columns.out.find("JT7CRID        104     12  Chars"), std::string::npos) << columns.out;
  EXPECT_EQ(run({"tables", "--columns", "NOPE"}).exitCode, 2);
  // The columns' parts as the tables declare them (CSV lines).
  const struct {
    const char* table;
    const char* line;
  } declared[] = {
      {"GROUPVOLDB",
       "JVPSP,90,8,Chars,key (with the JVPDB filter),sends AND LGOAVDB.JVPSP = "
       "'<value>' only with the DSGROUP filter"},
      {"GROUPOBJACT",
       "IDNAME,48,8,Chars,,\"fills the DSGROUP filter; without it, the group ORIGINNODE names\""},
      {"GROUPVOLDB", "RX4COUNT,68,4,Int32,members counted,"},
      {"GROUPVOLUME", "JVSMDBIR,112,4,Int32,largest of JVSDBIR,"},
      {"GROUPVOLUME", "NUMRX4,80,4,Int32,rows merged,"},
      {"GROUPLOCKSTRUCT", "R4GCONT,176,4,Int32,derived,"},
      {"GROUPBUFPOOLCONN",
       "IDNAME,124,8,Chars,,\"keeps the rows whose IDNAME is the value; "
       "without it, the group ORIGINNODE names\""},
      {"GROUPTHRDEXC", "CORRID,80,12,Chars,,sends AND EX_CORRID ='<12 characters>'"},
  };
  for (const auto& d : declared) {
    Outcome csv = run({"tables", "--columns", d.table, "--format", "csv"});
    EXPECT_NE(csv.out.find(std::string("\n") + d.line), std::string::npos) << d.line << "\n"
                                                                           << csv.out;
  }

  Outcome modules = run({"modules", "--modules", VXR_MODULE_DIR});
  ASSERT_EQ(modules.exitCode, 0) << modules.err;
  EXPECT_NE(modules.out.find("VXRGOAAL  V130  "), std::string::npos) << modules.out;
  EXPECT_NE(modules.out.find("GROUPOBJACT\n"), std::string::npos) << modules.out;
  EXPECT_NE(modules.out.find("  product       vxr\n"), std::string::npos) << modules.out;
}

}  // namespace
