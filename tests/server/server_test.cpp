// vxrhost serve end to end: each test starts the built executable on an
// ephemeral port against its own copy of the sample database and talks to it
// over HTTP. The server's stderr must hold no sanitizer report when it ends
// (scripts/tsan.sh runs this test against a ThreadSanitizer build).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../common/sample_database.h"
#include "store_fixture.h"
#include "vxrhost/catalog.h"
#include "vxrhost/sqlite_store.h"

extern char** environ;

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Exit {
  int code = -1;
  std::string out, err;
};

// Runs vxrhost to its end (a query, or a server that refuses to start).
Exit runVxrhost(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> all{VXRHOST_EXE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : all) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::string out = (dir / "run.out").string(), err = (dir / "run.err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  Exit e;
  int rc = posix_spawn(&pid, VXRHOST_EXE, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return e;
  int status = 0;
  waitpid(pid, &status, 0);
  e.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  e.out = readFile(out);
  e.err = readFile(err);
  return e;
}

// A running `vxrhost serve`; stopped with SIGTERM when it goes.
class ServerProcess {
 public:
  // Starts the server; false when it did not print its address (then
  // exitCode() and errors() say why).
  bool start(std::vector<std::string> args, const fs::path& dir) {
    errPath_ = dir / "server.err";
    std::vector<std::string> all{VXRHOST_EXE,   "serve",     "--listen",
                                 "127.0.0.1:0", "--modules", VXR_MODULE_DIR};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : all) argv.push_back(s.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    int rc = posix_spawn(&pid_, VXRHOST_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
      close(pipeFds[0]);
      pid_ = 0;
      return false;
    }
    // The first line: "listening on http://127.0.0.1:PORT".
    std::string line;
    char c;
    pollfd p{pipeFds[0], POLLIN, 0};
    while (poll(&p, 1, 60000) == 1 && read(pipeFds[0], &c, 1) == 1 && c != '\n') line += c;
    close(pipeFds[0]);
    size_t colon = line.rfind(':');
    if (line.rfind("listening on http://", 0) != 0 || colon == std::string::npos) {
      stop();
      return false;
    }
    port_ = std::stoi(line.substr(colon + 1));
    return true;
  }
  ~ServerProcess() { stop(); }

  // SIGTERM, then the exit status.
  int stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
      exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      pid_ = 0;
    }
    return exit_;
  }
  int exitCode() const { return exit_; }
  pid_t pid() const { return pid_; }
  int port() const { return port_; }
  std::string errors() const { return readFile(errPath_); }
  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(60);
    return c;
  }

 private:
  pid_t pid_ = 0;
  int port_ = 0;
  int exit_ = -1;
  fs::path errPath_;
};

// A connection of its own, for a client that stops reading or goes away.
int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void sendText(int fd, const std::string& text) {
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string receive(int fd, size_t atLeast) {
  std::string got;
  char buffer[65536];
  while (got.size() < atLeast) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

class ServeTest : public vxrhost::testing::SampleDatabaseTest<ServeTest> {
 public:
  static constexpr const char* kScratchName = "serve";

 protected:
  void SetUp() override {
    dir_ = suiteDir_ / testName();
    fs::create_directories(dir_);
    db_ = (dir_ / "sample.db").string();
    copySample(db_);
  }
  void TearDown() override {
    if (server_.pid() > 0) {
      EXPECT_EQ(server_.stop(), 0) << server_.errors();
    }
    EXPECT_EQ(server_.errors().find("WARNING: ThreadSanitizer"), std::string::npos)
        << server_.errors();
  }
  // The test's server, without the scheduled heartbeat unless asked for.
  void serve(std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--db", db_});
    if (std::find(args.begin(), args.end(), "--heartbeat-interval") == args.end())
      args.insert(args.end(), {"--heartbeat-interval", "0"});
    ASSERT_TRUE(server_.start(args, dir_)) << server_.errors();
  }
  // A database with one group of 4 members x 5000 rows (a large answer).
  void largeGroup() {
    db_ = (dir_ / "large.db").string();
    std::string cmd =
        "'" VXR_SOURCE_DIR "/scripts/gen-group' '" + db_ + "' -m 4 -n 5000 >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  // The rows of `vxrhost query` for the same database.
  Exit query(const std::string& table, std::vector<std::string> args) {
    args.insert(args.begin(), {"query", table, "--db", db_, "--modules", VXR_MODULE_DIR});
    return runVxrhost(args, dir_);
  }

  fs::path dir_;
  std::string db_;
  ServerProcess server_;
};

TEST_F(ServeTest, EveryEndpointAnswers) {
  serve();
  auto c = server_.client();
  const struct {
    const char* method;
    const char* path;
    int code;
    const char* contentType;
    const char* holds;  // in the body, or in the Allow header for 405
  } cases[] = {
      {"GET", "/healthz", 200, "application/json", "\"ok\""},
      {"GET", "/readyz", 200, "application/json", "\"ready\""},
      {"GET", "/metrics", 200, "text/plain; version=0.0.4", "vxrhost_build_info{version="},
      {"GET", "/api/v1/tables", 200, "application/json", "\"table\":\"GROUPOBJACT\""},
      {"GET", "/api/v1/nodes", 200, "application/json", "\"NODE\": \"TEMSA\""},
      {"GET", "/api/v1/heartbeat", 200, "application/json", "\"manual\":true"},
      {"POST", "/api/v1/heartbeat", 200, "application/json", "\"node\":\"GRPA:RX4plex:DSGROUP\""},
      {"GET", "/api/v1/heartbeat", 200, "application/json", "\"trigger\":\"manual\""},
      {"GET", "/", 200, "text/html", "<html"},
      {"GET", "/static/index.html", 200, "text/html", "<html"},
      {"GET", "/static/nothing.js", 404, "application/json", "\"error\":\"not found\""},
      {"GET", "/static/..%2Findex.html", 404, "application/json", "\"error\""},
      {"GET", "/api/v2/tables", 404, "application/json", "no such path: /api/v2/tables"},
      {"POST", "/api/v1/tables", 405, "application/json", "GET"},
      {"POST", "/api/v1/sql", 405, "application/json", "GET"},
      {"DELETE", "/api/v1/heartbeat", 405, "application/json", "GET, POST"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.method) + " " + t.path);
    httplib::Result r = std::string(t.method) == "GET"    ? c.Get(t.path)
                        : std::string(t.method) == "POST" ? c.Post(t.path)
                                                          : c.Delete(t.path);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, t.code) << r->body;
    EXPECT_EQ(r->get_header_value("Content-Type").rfind(t.contentType, 0), 0u);
    std::string where = t.code == 405 ? r->get_header_value("Allow") : r->body;
    EXPECT_NE(where.find(t.holds), std::string::npos) << where;
  }
  auto tables = json::parse(c.Get("/api/v1/tables")->body);
  EXPECT_EQ(tables["tables"].size(), vxrhost::catalogTables().size());
}

TEST_F(ServeTest, RowsEqualTheCommandsRowsForEveryTable) {
  serve();
  auto c = server_.client();
  for (const vxrhost::CatalogTable& table : vxrhost::catalogTables()) {
    for (std::string filter : {"", "IDNAME=GRPA"}) {
      SCOPED_TRACE(std::string(table.name) + " " + filter);
      auto r = c.Get("/api/v1/tables/" + std::string(table.name) + "/rows?" + filter);
      ASSERT_TRUE(r);
      ASSERT_EQ(r->status, 200) << r->body;
      json got = json::parse(r->body);
      std::vector<std::string> args{"--format", "json"};
      if (!filter.empty()) args.insert(args.end(), {"--filter", filter});
      Exit cli = query(table.name, args);
      ASSERT_EQ(cli.code, 0) << cli.err;
      EXPECT_EQ(got["rows"], json::parse(cli.out));
      EXPECT_EQ(got["summary"]["rows"], got["rows"].size());
      EXPECT_EQ(got["summary"]["status"], 62);
    }
  }
  // CSV byte for byte, by parameter and by Accept header.
  Exit cli = query("GROUPOBJACT", {"--format", "csv", "--filter", "IDNAME=GRPA"});
  auto csv = c.Get("/api/v1/tables/GROUPOBJACT/rows?IDNAME=GRPA&format=csv");
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->body, cli.out);
  auto accepted = c.Get("/api/v1/tables/GROUPOBJACT/rows?IDNAME=GRPA", {{"Accept", "text/csv"}});
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->body, cli.out);
}

TEST_F(ServeTest, BadInputGetsTheCommandsText) {
  serve();
  auto c = server_.client();
  // The API's query item, the command's option for the same mistake (empty:
  // the API's own text), the status and the text.
  const struct {
    const char* table;
    const char* item;
    std::vector<std::string> option;
    int code;
    const char* text;
  } cases[] = {
      {"NOSUCH", "", {}, 404, "unknown table \"NOSUCH\" (see \"vxrhost tables\")"},
      {"GROUPOBJACT", "IDNAME", {"--filter", "IDNAME"}, 400, ""},
      {"GROUPOBJACT", "=GRPA", {"--filter", "=GRPA"}, 400, ""},
      {"GROUPOBJACT", "NOSUCH=1", {"--filter", "NOSUCH=1"}, 400, ""},
      {"GROUPOBJACT", "IDNAME=GRPA12345", {"--filter", "IDNAME=GRPA12345"}, 400, ""},
      {"GROUPOBJACT", "filter-op=IDNAME=eq=GRPA", {"--filter-op", "IDNAME=eq=GRPA"}, 400, ""},
      {"GROUPOBJACT", "filter-op=IDNAME=GRPA", {"--filter-op", "IDNAME=GRPA"}, 400, ""},
      {"GROUPOBJACT", "filter-op=IDNAME=32768=G", {"--filter-op", "IDNAME=32768=G"}, 400, ""},
      {"GROUPOBJACT", "format=xml", {}, 400, "format: xml not in {json,csv}"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.table) + "?" + t.item);
    auto r = c.Get("/api/v1/tables/" + std::string(t.table) + "/rows?" + t.item);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, t.code);
    std::string expected = t.text;
    if (!t.option.empty()) {
      Exit cli = query(t.table, t.option);
      EXPECT_EQ(cli.code, 2);
      expected = cli.err.substr(std::string("vxrhost: ").size());
      expected.pop_back();  // the line end
    }
    EXPECT_EQ(json::parse(r->body)["error"], expected);
  }
}

TEST_F(ServeTest, TokenIsNeededExceptForHealth) {
  fs::path token = dir_ / "token";
  std::ofstream(token) << "s3cret-token\n";
  fs::permissions(token, fs::perms::owner_read | fs::perms::owner_write);
  serve({"--token-file", token.string()});
  auto c = server_.client();
  const struct {
    const char* path;
    const char* authorization;  // null: none
    int code;
  } cases[] = {
      {"/api/v1/tables", nullptr, 401},
      {"/api/v1/tables", "Bearer wrong-token!", 401},
      {"/api/v1/tables", "Bearer s3cret-token", 200},
      {"/metrics", "Bearer s3cret-token", 200},
      {"/metrics", "Basic czNjcmV0LXRva2Vu", 401},
      {"/healthz", nullptr, 200},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.path) + " " + (t.authorization ? t.authorization : "-"));
    httplib::Headers headers;
    if (t.authorization) headers.emplace("Authorization", t.authorization);
    auto r = c.Get(t.path, headers);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, t.code) << r->body;
  }
}

TEST_F(ServeTest, UnsafeOrImpossibleStartsAreRefused) {
  fs::path open = dir_ / "open-token";
  std::ofstream(open) << "token\n";
  fs::permissions(open, fs::perms::others_read, fs::perm_options::add);
  serve();
  const std::string taken = "127.0.0.1:" + std::to_string(server_.port());
  const struct {
    std::vector<std::string> args;
    int code;
    const char* text;
  } cases[] = {
      {{"--listen", "0.0.0.0:0"}, 7, "not a loopback address, and no --token-file"},
      {{"--token-file", open.string()}, 7, "readable or writable by others"},
      {{"--token-file", (dir_ / "none").string()}, 7, "No such file or directory"},
      {{"--listen", taken}, 7, "cannot listen on"},
      {{"--listen", "127.0.0.1"}, 2, "--listen: bad address"},
      {{"--db", (dir_ / "missing.db").string()}, 3, "no such file"},
  };
  for (const auto& t : cases) {
    std::vector<std::string> args{"serve", "--modules", VXR_MODULE_DIR};
    args.insert(args.end(), t.args.begin(), t.args.end());
    if (std::find(args.begin(), args.end(), "--db") == args.end())
      args.insert(args.end(), {"--db", db_});
    Exit e = runVxrhost(args, dir_);
    SCOPED_TRACE(e.err);
    EXPECT_EQ(e.code, t.code);
    EXPECT_EQ(e.err.rfind("vxrhost: ", 0), 0u);
    EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1);
    EXPECT_NE(e.err.find(t.text), std::string::npos);
  }
}

TEST_F(ServeTest, ScheduledHeartbeatAndManualOff) {
  serve({"--heartbeat-interval", "1", "--no-manual-heartbeat"});
  auto c = server_.client();
  json beat;
  for (int i = 0;
       i < 100 && !(beat = json::parse(c.Get("/api/v1/heartbeat")->body))["last"].is_object(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(beat["manual"], false);
  EXPECT_EQ(beat["interval_seconds"], 1);
  EXPECT_EQ(beat["last"]["trigger"], "schedule");
  EXPECT_EQ(beat["last"]["applied"], true);
  EXPECT_TRUE(beat["next"].is_string());
  auto post = c.Post("/api/v1/heartbeat");
  ASSERT_TRUE(post);
  EXPECT_EQ(post->status, 403);
  std::string metrics = c.Get("/metrics")->body;
  EXPECT_NE(metrics.find("vxrhost_heartbeats_total{result=\"applied\"}"), std::string::npos);
  EXPECT_NE(metrics.find("vxrhost_nodes{state=\"online\""), std::string::npos);
  EXPECT_NE(metrics.find("vxrhost_group_members{group=\"GRPA\",state=\"ACTIVE\"} 3"),
            std::string::npos)
      << metrics;
}

// The answer's encoding by Accept-Encoding: never Brotli (its highest
// quality, httplib's only one, costs minutes on a large answer), gzip when
// accepted, else none.
TEST_F(ServeTest, AnswersAreGzipOrPlainNeverBrotli) {
  serve();
  const struct {
    const char* path;
    const char* accepted;
    const char* encoding;
  } cases[] = {
      {"/api/v1/tables/GROUPOBJACT/rows", "br, gzip, deflate", "gzip"},
      {"/api/v1/tables/GROUPOBJACT/rows?format=csv", "br", ""},
      {"/api/v1/tables/GROUPOBJACT/rows", "gzip;q=0, br", ""},
      {"/api/v1/tables", "br;q=1, GZIP;q=0.5", "gzip"},
      {"/", "br", ""},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.path) + " " + t.accepted);
    int fd = connectTo(server_.port());
    ASSERT_GE(fd, 0);
    sendText(fd, std::string("GET ") + t.path + " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: " +
                     t.accepted + "\r\nConnection: close\r\n\r\n");
    std::string got = receive(fd, std::string::npos);
    close(fd);
    std::string head = got.substr(0, got.find("\r\n\r\n"));
    ASSERT_EQ(head.rfind("HTTP/1.1 200", 0), 0u) << head;
    size_t at = head.find("Content-Encoding: ");
    std::string encoding =
        at == std::string::npos ? "" : head.substr(at + 18, head.find("\r\n", at) - at - 18);
    EXPECT_EQ(encoding, t.encoding) << head;
  }
}

// Idle connections (here: requests that never end, held until the read
// timeout) take connection threads, not the workers: with one worker, a
// database request on another connection is answered while they wait.
TEST_F(ServeTest, IdleConnectionsDoNotHoldTheWorkers) {
  serve({"--workers", "1"});
  std::vector<int> idle;
  for (int i = 0; i < 4; ++i) {
    idle.push_back(connectTo(server_.port()));
    ASSERT_GE(idle.back(), 0);
    sendText(idle.back(), "GET /api/v1/nodes HTTP/1.1\r\nHost: x\r\n");
  }
  auto c = server_.client();
  for (const char* path : {"/api/v1/nodes", "/api/v1/tables/GROUPOBJACT/rows"}) {
    auto r = c.Get(path);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
  }
  for (int fd : idle) {  // still open: the answers did not wait for them to time out
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0);
    close(fd);
  }
}

// The scheduled ticks a server lists, by their time (whole seconds): ran or not.
std::map<long long, bool> ticksOf(const ServerProcess& server) {
  std::map<long long, bool> ticks;
  auto r = server.client().Get("/api/v1/heartbeat");
  if (!r) return ticks;
  json body = json::parse(r->body);
  for (const json& t : body["ticks"])
    ticks[std::llround(t["time_epoch"].get<double>())] = t["ran"].get<bool>();
  return ticks;
}

// Two servers on one PostgreSQL database with heartbeats every second: every
// tick both had is run by exactly one; when that one stops, the other runs
// the next ticks. Needs a database (VXR_TEST_PG; scripts/pg-test.sh).
TEST_F(ServeTest, TwoServersOnOnePostgresStoreRunEachTickOnce) {
  vxrhost::TestDatabase database;
  if (!database.start()) GTEST_SKIP() << database.skipReason();
  Exit init = runVxrhost({"init-db", "--db", database.url(), "--sample"}, dir_);
  ASSERT_EQ(init.code, 0) << init.err;
  db_ = database.url();
  serve({"--heartbeat-interval", "1"});
  for (int i = 0; i < 100 && ticksOf(server_).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ServerProcess other;
  fs::create_directories(dir_ / "other");
  ASSERT_TRUE(other.start({"--db", db_, "--heartbeat-interval", "1"}, dir_ / "other"))
      << other.errors();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  auto first = ticksOf(server_), second = ticksOf(other);
  int shared = 0;
  for (const auto& [at, ran] : second) {
    auto it = first.find(at);
    if (it == first.end()) continue;
    ++shared;
    EXPECT_NE(ran, it->second) << "tick " << at << (ran ? ": run by both" : ": run by neither");
  }
  ASSERT_GE(shared, 7);
  EXPECT_NE(
      other.client().Get("/metrics")->body.find("vxrhost_heartbeats_total{result=\"skipped\"}"),
      std::string::npos);

  // The one that ran them goes; the other runs the next ticks.
  ServerProcess& runner = first.rbegin()->second ? server_ : other;
  ServerProcess& stays = &runner == &server_ ? other : server_;
  auto stopped = std::chrono::system_clock::now();
  EXPECT_EQ(runner.stop(), 0) << runner.errors();
  long long after =
      std::chrono::duration_cast<std::chrono::seconds>(stopped.time_since_epoch()).count();
  bool taken = false;
  for (int i = 0; i < 100 && !taken; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const auto& [at, ran] : ticksOf(stays)) taken = taken || (at > after && ran);
  }
  EXPECT_TRUE(taken);
  EXPECT_EQ(other.stop(), 0) << other.errors();
  EXPECT_EQ(other.errors().find("WARNING: ThreadSanitizer"), std::string::npos) << other.errors();
}

// A client that reads a little of a large answer and goes away: the request
// ends (counted as cancelled), nothing stays in flight, the server goes on.
TEST_F(ServeTest, ClientGoingAwayMidStreamEndsItsRequest) {
  largeGroup();
  serve();
  int fd = connectTo(server_.port());
  ASSERT_GE(fd, 0);
  sendText(fd, "GET /api/v1/tables/GROUPOBJACT/rows HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_GE(receive(fd, 100000).size(), 100000u);
  close(fd);
  auto c = server_.client();
  std::string metrics;
  for (int i = 0; i < 200; ++i) {
    metrics = c.Get("/metrics")->body;
    if (metrics.find("status=\"cancelled\"} 1") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(metrics.find("vxrhost_requests_total{table=\"GROUPOBJACT\",status=\"cancelled\"} 1"),
            std::string::npos)
      << metrics;
  EXPECT_NE(metrics.find("vxrhost_in_flight_requests 1\n"), std::string::npos);  // this one
  EXPECT_EQ(c.Get("/api/v1/tables/GROUPOBJACT/rows?IDNAME=NOSUCH")->status, 200);
}

// SIGTERM while a large answer is being sent: it is sent whole, then the
// server exits 0 (a grace period long enough for a slow, shared machine).
TEST_F(ServeTest, SigtermLetsTheRequestInFlightFinish) {
  largeGroup();
  serve({"--grace-period", "120"});
  int fd = connectTo(server_.port());
  ASSERT_GE(fd, 0);
  sendText(fd,
           "GET /api/v1/tables/GROUPOBJACT/rows HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  std::string got = receive(fd, 100000);
  kill(server_.pid(), SIGTERM);
  got += receive(fd, std::string::npos);
  close(fd);
  EXPECT_EQ(server_.stop(), 0) << server_.errors();
  // The last chunk and the summary's end.
  EXPECT_NE(got.find("\"status\":62"), std::string::npos);
  EXPECT_EQ(got.substr(got.size() - 5), "0\r\n\r\n");
}

// GET /api/v1/sql against `vxrhost sql` for the same statement: the rows
// and CSV as the command prints them, refusals and errors with its texts
// (the heartbeat's statement is the API's own refusal).
TEST_F(ServeTest, SqlAnswersAsTheCommand) {
  serve({"--workers", "2"});
  auto c = server_.client();
  auto sqlCommand = [&](const std::string& statement, const char* format) {
    return runVxrhost(
        {"sql", statement, "--db", db_, "--modules", VXR_MODULE_DIR, "--format", format}, dir_);
  };
  const std::string filtered =
      "SELECT JTPDB, JTPSP, JTPGETP FROM GROUPOBJACT WHERE IDNAME='GRPA' ORDER BY JTPGETP DESC";
  const std::string join =
      "SELECT b.STRUCTN, c.SYSID FROM GROUPBUFPOOL b JOIN GROUPBUFPOOLCONN c "
      "USING (STRUCTN, IDNAME) WHERE b.IDNAME='GRPA' ORDER BY 1, 2";
  const struct {
    std::string q;
    const char* extra;   // more query items
    const char* accept;  // Accept header, or null
    int code;
    const char* format;  // the command's output the body equals ("json": its rows), or null
    const char* error;   // the error text, when the command gives none
  } cases[] = {
      {filtered, "", nullptr, 200, "json", nullptr},
      {join, "", nullptr, 200, "json", nullptr},
      {filtered, "&format=csv", nullptr, 200, "csv", nullptr},
      {filtered, "", "text/csv", 200, "csv", nullptr},
      {"DELETE FROM \"Q7SRV.INODESTS\"", "", nullptr, 403, nullptr, nullptr},
      {"SELECT * FROM GROUPOBJACT; PRAGMA journal_mode=DELETE", "", nullptr, 400, nullptr,
       "sql: one statement per request"},
      {"SELECT NOSUCH FROM GROUPOBJACT", "", nullptr, 400, nullptr, nullptr},
      {"SELECT * FROM MEMBERSTATUS WHERE IDNAME='*NOFETCH'", "", nullptr, 403, nullptr,
       "sql: MEMBERSTATUS: IDNAME='*NOFETCH' runs the heartbeat, which writes the node status; "
       "POST /api/v1/heartbeat runs it"},
      {"", "", nullptr, 400, nullptr, "sql: no statement (q=SELECT ...)"},
      {filtered, "&format=xml", nullptr, 400, nullptr, "format: xml not in {json,csv}"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.q + t.extra);
    httplib::Headers headers;
    if (t.accept) headers.emplace("Accept", t.accept);
    auto r = c.Get("/api/v1/sql?q=" + httplib::detail::encode_query_param(t.q) + t.extra, headers);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, t.code) << r->body;
    if (t.code == 200) {
      Exit cli = sqlCommand(t.q, t.format);
      ASSERT_EQ(cli.code, 0) << cli.err;
      if (std::string(t.format) == "csv") {
        EXPECT_EQ(r->body, cli.out);
        continue;
      }
      json got = json::parse(r->body);
      EXPECT_EQ(got["rows"], json::parse(cli.out));
      EXPECT_GT(got["rows"].size(), 1u);
      EXPECT_EQ(got["summary"]["rows"], got["rows"].size());
      // The command's summary line, up to its times.
      std::string line = got["summary"]["line"];
      EXPECT_EQ(line.substr(0, line.find(" queried")), cli.err.substr(0, cli.err.find(" queried")));
      continue;
    }
    std::string expected = t.error ? t.error : "";
    if (!t.error) {
      Exit cli = sqlCommand(t.q, "json");
      EXPECT_EQ(cli.code, 2);
      expected = cli.err.substr(std::string("vxrhost: ").size());
      expected.pop_back();  // the line end
    }
    EXPECT_EQ(json::parse(r->body)["error"], expected);
  }
  // Workers answering at once, each on its own connection and tables.
  std::string expected = c.Get("/api/v1/sql?q=" + httplib::detail::encode_query_param(join))->body;
  std::vector<std::thread> clients;
  std::atomic<int> same{0};
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&] {
      auto own = server_.client();
      for (int k = 0; k < 3; ++k) {
        auto r = own.Get("/api/v1/sql?q=" + httplib::detail::encode_query_param(join));
        if (r && r->status == 200 && json::parse(r->body)["rows"] == json::parse(expected)["rows"])
          ++same;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(same.load(), 12);
}

}  // namespace
