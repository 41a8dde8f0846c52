#include "serve.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "failure.h"
#include "filters.h"
#include "paths.h"
#include "requests.h"
#include "server_metrics.h"
#include "sql.h"
#include "vxrhost/postgres_store.h"
#include "vxrhost/store_factory.h"

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

namespace vxrhost::cli {
namespace {

using Clock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;

constexpr size_t kConnectionThreads = 64;  // connections served at once, idle ones too
constexpr size_t kQueueLimit = 64;  // connections waiting for a thread, requests for a worker
constexpr auto kWorkerWait = std::chrono::seconds(30);  // longest wait for a worker
constexpr size_t kStreamBufferBytes = 256 << 10;        // rows buffered ahead of a slow client
constexpr size_t kBatchBytes = 16 << 10;                // rows handed to the sender at a time
constexpr const char* kChartDir = "/usr/share/javascript/chart.js";

std::string isoTime(WallClock::time_point t) {
  std::time_t seconds = WallClock::to_time_t(t);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

double epochSeconds(WallClock::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

std::string dumped(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void sendJson(httplib::Response& res, int code, const json& body) {
  res.status = code;
  res.set_content(dumped(body) + "\n", "application/json");
}

void sendError(httplib::Response& res, int code, const std::string& error,
               const std::string& detail) {
  sendJson(res, code, json{{"error", error}, {"detail", detail}});
}

// httplib picks the answer's encoding from the request's Accept-Encoding
// alone, and with "br" (every browser sends it) compresses with Brotli at its
// highest quality: a streamed answer of 10 MB then took over a minute of the
// server's CPU instead of seconds. The request's Accept-Encoding is cut down
// to gzip (zlib's default level, a small part of the cost of the rows) when
// the client accepts it with a weight above 0, else to nothing (identity).
void withoutBrotli(httplib::Request& req) {
  if (!req.has_header("Accept-Encoding")) return;
  bool gzip = false;
  auto [from, to] = req.headers.equal_range("Accept-Encoding");
  for (auto it = from; it != to; ++it) {
    std::istringstream items(it->second);
    for (std::string item; std::getline(items, item, ',');) {
      size_t semicolon = item.find(';');
      std::string coding = item.substr(0, semicolon);
      coding.erase(0, coding.find_first_not_of(" \t"));
      coding.erase(coding.find_last_not_of(" \t") + 1);
      for (char& c : coding) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (coding != "gzip" && coding != "x-gzip") continue;
      double weight = 1;
      if (size_t q = item.find("q=", semicolon == std::string::npos ? item.size() : semicolon);
          q != std::string::npos)
        weight = std::strtod(item.c_str() + q + 2, nullptr);
      gzip = gzip || weight > 0;
    }
  }
  req.headers.erase("Accept-Encoding");
  if (gzip) req.headers.emplace("Accept-Encoding", "gzip");
}

// --- Listening address and token ---------------------------------------------

struct ListenAddress {
  std::string host;
  int port = 0;
};

ListenAddress parseListen(const std::string& text) {
  auto bad = [&](const std::string& why) {
    return Failure{kExitUsage, "--listen: bad address " + inQuotes(text) + ": " + why +
                                   " (expected ADDR:PORT)"};
  };
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) throw bad("no ':'");
  ListenAddress a;
  a.host = text.substr(0, colon);
  if (a.host.size() >= 2 && a.host.front() == '[' && a.host.back() == ']') {
    a.host = a.host.substr(1, a.host.size() - 2);
  }
  if (a.host.empty()) throw bad("no address");
  std::string port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
    throw bad("the port is not a number from 0 to 65535");
  }
  a.port = std::stoi(port);
  return a;
}

bool isLoopback(const std::string& host) {
  if (host == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string readToken(const std::string& path) {
  auto refuse = [&](const std::string& why) {
    return Failure{kExitServer, "cannot use token file " + inQuotes(path) + ": " + why};
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw refuse(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw refuse("it is not a regular file");
  if ((st.st_mode & (S_IROTH | S_IWOTH)) != 0) {
    throw refuse("it is readable or writable by others (chmod o-rw)");
  }
  std::ifstream in(path, std::ios::binary);
  std::string token((std::istreambuf_iterator<char>(in)), {});
  if (!in.good() && !in.eof()) throw refuse("cannot read it");
  while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back()))) token.pop_back();
  if (token.empty()) throw refuse("it holds no token");
  if (token.find_first_of(" \t\r\n") != std::string::npos) {
    throw refuse("the token holds blanks or line ends");
  }
  return token;
}

// Compares in time that depends on the lengths only, not on where the texts
// differ.
bool sameToken(std::string_view given, std::string_view token) {
  unsigned char diff = given.size() == token.size() ? 0 : 1;
  for (size_t i = 0; i < given.size(); ++i) {
    diff |= static_cast<unsigned char>(given[i] ^ token[i % token.size()]);
  }
  return diff == 0;
}

// --- Worker pool ---------------------------------------------------------------

// Where the request on this thread came from, for the access log and the
// metrics.
struct ThreadState {
  bool overflow = false;  // an overflow thread: the request gets 503
  bool active = false;    // a request was begun and not yet logged
  // The virtual tables of this connection thread, attached to its own SQLite
  // connection (and outliving it): SQL statements and the requests they run
  // use this thread alone. Opened on the first statement and kept.
  std::unique_ptr<SqlTables> sqlTables;
  std::unique_ptr<SqliteStore> store;
  Clock::time_point begin;
  std::string method, path, client;
  size_t streamed = 0;  // bytes of a streamed body
};
thread_local ThreadState t_thread;

// The server's connections go to `threads` threads, which read requests,
// answer the cheap ones and wait out idle keep-alive time. Past them, up to
// kQueueLimit wait; a connection beyond that is answered 503 at once by an
// overflow thread, so no client waits without bound.
class ConnectionPool : public httplib::TaskQueue {
 public:
  ConnectionPool(size_t threads, std::function<void()> afterTask)
      : afterTask_(std::move(afterTask)) {
    for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { loop(jobs_, false); });
    threads_.emplace_back([this] { loop(overflow_, true); });
  }
  ~ConnectionPool() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard lock(mutex_);
      (jobs_.size() < kQueueLimit ? jobs_ : overflow_).push_back(std::move(fn));
    }
    ready_.notify_all();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      stopping_ = true;
    }
    ready_.notify_all();
    for (auto& t : threads_) t.join();
  }

 private:
  void loop(std::deque<std::function<void()>>& queue, bool overflow) {
    t_thread.overflow = overflow;
    for (;;) {
      std::function<void()> fn;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return stopping_ || !queue.empty(); });
        if (queue.empty()) return;  // stopping, and every queued connection served
        fn = std::move(queue.front());
        queue.pop_front();
      }
      fn();
      afterTask_();
    }
  }

  std::function<void()> afterTask_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_, overflow_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The requests that read the database (a module's request, the node-status
// table) run on one of `workers` workers, each with its own store connection
// (its own PostgreSQL connection with a PostgreSQL store), opened on first
// use and kept. Past them, up to kQueueLimit requests wait, each at most
// kWorkerWait; any further one is refused, so no client waits without bound.
class Workers {
 public:
  // A worker and its store, given back when the lease goes.
  class Lease {
   public:
    Lease(Workers& workers, std::unique_ptr<Store> store)
        : workers_(workers), store_(std::move(store)) {}
    ~Lease() { workers_.release(std::move(store_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Store& store() { return *store_; }

   private:
    Workers& workers_;
    std::unique_ptr<Store> store_;
  };

  Workers(size_t count, std::string database) : count_(count), database_(std::move(database)) {}

  // A worker, or nullptr with `res` answered: 503 with Retry-After when all
  // are busy and the queue is full or the wait too long, 503 when the
  // worker's store does not open.
  std::shared_ptr<Lease> acquire(httplib::Response& res) {
    std::unique_ptr<Store> store;
    {
      std::unique_lock lock(mutex_);
      if (busy_ == count_ && waiting_ >= kQueueLimit) return busy(res);
      ++waiting_;
      bool free = released_.wait_for(lock, kWorkerWait, [&] { return busy_ < count_; });
      --waiting_;
      if (!free) return busy(res);
      ++busy_;
      if (!idle_.empty()) {
        store = std::move(idle_.back());
        idle_.pop_back();
      }
    }
    if (!store) {
      Error error;
      store = openStore(database_, SqliteStoreOptions{}, error);
      if (!store) {
        release(nullptr);
        sendError(res, 503, error.message, error.detail);
        return nullptr;
      }
    }
    return std::make_shared<Lease>(*this, std::move(store));
  }

 private:
  std::shared_ptr<Lease> busy(httplib::Response& res) {
    res.set_header("Retry-After", "1");
    sendError(
        res, 503, "the server is busy",
        "every worker is taken and " + std::to_string(kQueueLimit) + " requests wait; try again");
    return nullptr;
  }
  void release(std::unique_ptr<Store> store) {
    {
      std::lock_guard lock(mutex_);
      if (store) idle_.push_back(std::move(store));
      --busy_;
    }
    released_.notify_one();
  }

  const size_t count_;
  const std::string database_;
  std::mutex mutex_;
  std::condition_variable released_;
  size_t busy_ = 0, waiting_ = 0;
  std::vector<std::unique_ptr<Store>> idle_;
};

// --- Heartbeat -----------------------------------------------------------------

// A scheduled tick: whether this server ran its heartbeat, or why not.
struct Tick {
  WallClock::time_point at;
  bool ran = false;
  bool skipped = false;  // another server holds the heartbeat lock
  std::string reason;
};

struct HeartbeatReport {
  WallClock::time_point start;
  double seconds = 0;
  std::string trigger;  // "schedule" or "manual"
  Outcome outcome;
  bool applied = false;
};

// Runs the heartbeat, one at a time: on its schedule and when asked. A
// request while one runs waits for that one and gets its report.
//
// Ticks fall on whole multiples of the interval (epoch time), so that the
// ticks of several servers sharing one store coincide. Each tick gives the
// store's heartbeat lock up and tries to take it again; only the server
// that gets it runs the tick's heartbeat, and keeps the lock until its next
// tick, so that a server whose timer fires a little later cannot run the
// same tick. When that server stops, its lock goes with its connection and
// another takes the next tick. A store of one process always grants it.
class Heartbeats {
 public:
  Heartbeats(Host& host, const Module& module, Store& store, Metrics& metrics, int interval)
      : host_(host), module_(module), store_(store), metrics_(metrics), interval_(interval) {}
  ~Heartbeats() { stop(); }

  void start() {
    if (interval_ > 0) thread_ = std::thread([this] { schedule(); });
  }
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // The heartbeat run now, or the one that was running (a skipped tick
  // does not count: then one is run).
  std::shared_ptr<const HeartbeatReport> runNow() {
    std::unique_lock lock(mutex_);
    while (running_) {
      uint64_t awaited = finished_ + 1;
      changed_.wait(lock, [&] { return finished_ >= awaited; });
      if (lastRun_ >= awaited) return last_;
    }
    running_ = true;
    lock.unlock();
    return ended(run("manual"), std::nullopt);
  }

  std::shared_ptr<const HeartbeatReport> last() const {
    std::lock_guard lock(mutex_);
    return last_;
  }
  std::optional<WallClock::time_point> next() const {
    std::lock_guard lock(mutex_);
    return next_;
  }
  // The last ticks, oldest first.
  std::vector<Tick> ticks() const {
    std::lock_guard lock(mutex_);
    return {ticks_.begin(), ticks_.end()};
  }
  int interval() const { return interval_; }

 private:
  static constexpr size_t kTicksKept = 64;

  // A scheduled tick: runs the heartbeat if this server holds the lock.
  void tick(WallClock::time_point at) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !running_; });
      running_ = true;
    }
    Tick t;
    t.at = at;
    std::string error;
    bool held = false;
    store_.releaseHeartbeatLock(error);
    if (store_.tryHeartbeatLock(held, error) != sqlstatus::kOk) {
      t.reason = "cannot take the heartbeat lock: " + error;
      std::cerr << "vxrhost: the heartbeat was not run: " << escaped(t.reason)
                << " (tried again at the next tick)\n";
      metrics_.heartbeatNotRun("failed");
    } else if (!held) {
      t.skipped = true;
      t.reason = "another server holds the heartbeat lock";
      metrics_.heartbeatNotRun("skipped");
    }
    t.ran = held;
    ended(held ? run("schedule") : nullptr, std::move(t));
  }

  std::shared_ptr<const HeartbeatReport> ended(std::shared_ptr<const HeartbeatReport> report,
                                               std::optional<Tick> tick) {
    std::unique_lock lock(mutex_);
    ++finished_;
    if (report) {
      last_ = report;
      lastRun_ = finished_;
    }
    if (tick) {
      ticks_.push_back(std::move(*tick));
      if (ticks_.size() > kTicksKept) ticks_.pop_front();
    }
    running_ = false;
    lock.unlock();
    changed_.notify_all();
    return report;
  }

  std::shared_ptr<const HeartbeatReport> run(const std::string& trigger) {
    auto report = std::make_shared<HeartbeatReport>();
    report->trigger = trigger;
    report->start = WallClock::now();
    auto begin = Clock::now();
    RunOptions options;
    options.store = &store_;
    report->outcome = runRequest(host_, module_, *findCatalogTable("MEMBERSTATUS"),
                                 {Filter{kFilterEquals, "IDNAME", "*NOFETCH"}}, nullptr, options);
    report->seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const Outcome& o = report->outcome;
    report->applied = !o.failed && o.nodeStatusStatus == 0;
    if (!report->applied) {
      std::cerr << "vxrhost: the heartbeat was not applied: "
                << escaped(o.failed ? "status " + std::to_string(o.finalStatus) + " (" +
                                          requestStatusText(o.finalStatus) + ")"
                                    : o.nodeStatusError)
                << " (retried at the next tick)\n";
    }
    NodeStatusTable nodes;
    Error error;
    bool nodesRead = readNodeStatus(store_, nodes, error) == sqlstatus::kOk;
    metrics_.heartbeat(o, report->applied, epochSeconds(WallClock::now()),
                       nodesRead ? &nodes : nullptr);
    if (report->applied) countGroupMembers();
    return report;
  }

  // The groups' members by state, from the member-status rows that follow
  // the heartbeat's updates: one fetching request, on the heartbeat's own
  // connection and within its turn.
  void countGroupMembers() {
    const CatalogTable& table = *findCatalogTable("MEMBERSTATUS");
    const vxr::ColumnField* group = table.attribute("IDNAME");
    const vxr::ColumnField* state = table.attribute("IDSTATUS");
    const vxr::ColumnField* count = table.attribute("RX4COUNT");
    if (group == nullptr || state == nullptr || count == nullptr) return;
    std::map<std::pair<std::string, std::string>, int64_t> members;
    RowSink sink = [&](std::string_view row) {
      auto text = [&](const vxr::ColumnField* f) { return valueText(decodeField(*f, row)); };
      CatalogValue n = decodeField(*count, row);
      members[{text(group), text(state)}] +=
          std::holds_alternative<int32_t>(n) ? std::get<int32_t>(n) : 0;
    };
    RunOptions options;
    options.store = &store_;
    Outcome o = runRequest(host_, module_, table, {}, &sink, options);
    if (!o.failed) metrics_.groupMembers(std::move(members));
  }

  // The first tick at once, then on every multiple of the interval.
  void schedule() {
    WallClock::time_point at = WallClock::now();
    for (;;) {
      tick(at);
      std::unique_lock lock(mutex_);
      auto sinceEpoch =
          std::chrono::duration_cast<std::chrono::seconds>(WallClock::now().time_since_epoch());
      at = WallClock::time_point((sinceEpoch / std::chrono::seconds(interval_) + 1) *
                                 std::chrono::seconds(interval_));
      next_ = at;
      if (changed_.wait_until(lock, at, [&] { return stopping_; })) {
        next_.reset();
        return;
      }
    }
  }

  Host& host_;
  const Module& module_;
  Store& store_;
  Metrics& metrics_;
  const int interval_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool stopping_ = false;
  uint64_t finished_ = 0;  // heartbeats and ticks ended
  uint64_t lastRun_ = 0;   // the number of the last that ran a heartbeat
  std::shared_ptr<const HeartbeatReport> last_;
  std::deque<Tick> ticks_;
  std::optional<WallClock::time_point> next_;
  std::thread thread_;
};

// The command's JSON summary, and what a server's client needs beside it:
// whether the answer is incomplete (a member's SQL failed: the rows were
// already sent, so the status stays 200 and the summary says so), failed,
// cut off by the client, and the command's summary line.
json requestSummary(const CatalogTable& table, const Outcome& o) {
  json s = summaryJson(table, o);
  s["incomplete"] = !o.memberFailures.empty();
  s["failed"] = o.failed;
  if (o.cancelled) s["cancelled"] = true;
  if (o.nodeUpdates > 0) {
    s["nodeStatusApplied"] = o.nodeStatusStatus == 0;
    if (o.nodeStatusStatus != 0) s["nodeStatusError"] = o.nodeStatusError;
  }
  s["line"] = summaryLine(table, o);
  return s;
}

std::string trimmedRight(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return text.substr(0, end == std::string::npos ? 0 : end + 1);
}

json heartbeatJson(const HeartbeatReport& r) {
  const Outcome& o = r.outcome;
  json updates = json::array();
  for (const NodeStatusUpdate& u : o.nodeStatusChanges) {
    json entry{{"node", trimmedRight(u.node)},
               {"parent", trimmedRight(u.parent)},
               {"online", u.online == "Y"},
               {"applied", o.nodeStatusStatus == 0}};
    if (o.nodeStatusStatus != 0) entry["reason"] = o.nodeStatusError;
    updates.push_back(std::move(entry));
  }
  return json{{"start", isoTime(r.start)},
              {"start_epoch", epochSeconds(r.start)},
              {"duration_seconds", r.seconds},
              {"trigger", r.trigger},
              {"applied", r.applied},
              {"updates", std::move(updates)},
              {"summary", requestSummary(*findCatalogTable("MEMBERSTATUS"), o)}};
}

// --- Rows, streamed ------------------------------------------------------------

// An ostream that appends to a string the caller owns and may empty.
class StringOutput : public std::ostream {
 public:
  explicit StringOutput(std::string& out) : std::ostream(&buffer_), buffer_(out) {}

 private:
  struct Buffer : std::streambuf {
    explicit Buffer(std::string& out) : out(out) {}
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      out.append(s, static_cast<size_t>(n));
      return n;
    }
    int_type overflow(int_type c) override {
      if (c != traits_type::eof()) out.push_back(static_cast<char>(c));
      return c;
    }
    std::string& out;
  };
  Buffer buffer_;
};

// One request of a table whose rows go to the client as the module hands
// them out. The module runs on a thread of its own and fills a bounded
// buffer; the worker sends it. The status line waits for the first row (or
// the end), so a request that fails before any row is a 502.
class RowsRequest {
 public:
  RowsRequest(Host& host, const Module& module, const CatalogTable& table,
              std::vector<Filter> filters, Format format, std::shared_ptr<Workers::Lease> worker,
              Metrics& metrics)
      : host_(host),
        module_(module),
        table_(table),
        filters_(std::move(filters)),
        format_(format),
        worker_(std::move(worker)),
        metrics_(metrics) {
    for (const vxr::ColumnField* field : table.attributes())
      columns_.push_back({field->name, field->type == vxr::FieldType::Int32});
    if (format_ == Format::Json) {
      json names = json::array();
      for (const OutputColumn& c : columns_) names.push_back(c.name);
      pending_ =
          "{\"table\":" + dumped(table.name) + ",\"columns\":" + dumped(names) + ",\"rows\":";
    }
  }
  ~RowsRequest() {
    cancel();
    if (producer_.joinable()) producer_.join();
  }

  void start() {
    producer_ = std::thread([this] { produce(); });
  }

  // Waits for the first row or the end; true when the request failed with
  // no row (the caller answers 502 with outcome()).
  bool failedBeforeRows() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_ || batches_ > 0; });
    return done_ && outcome_.rowCount == 0 && outcome_.failed;
  }
  const Outcome& outcome() const { return outcome_; }

  // The content provider: hands the buffered text on; false ends the
  // response (the client went away, or everything was sent).
  bool send(httplib::DataSink& sink) {
    std::string chunk;
    bool finished;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return done_ || !pending_.empty(); });
      chunk.swap(pending_);
      finished = done_;
    }
    changed_.notify_all();
    if (!chunk.empty()) {
      if (!sink.write(chunk.data(), chunk.size())) {
        cancel();
        return false;
      }
      t_thread.streamed += chunk.size();
    }
    if (finished) sink.done();
    return true;
  }

  void cancel() {
    cancelled_.store(true);
    changed_.notify_all();
  }

 private:
  // Hands rows on in batches: the first at once (the status line waits for
  // it), then every kBatchBytes, so the lock and the wake-up are not paid per
  // row. Waits while the client is a buffer behind.
  void append(std::string& text) {
    if (batches_ > 0 && text.size() < kBatchBytes) return;
    std::unique_lock lock(mutex_);
    pending_.append(text);
    text.clear();
    ++batches_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending_.size() < kStreamBufferBytes || cancelled_; });
  }

  void produce() {
    std::string batch;
    StringOutput text(batch);
    RowStream stream(text, columns_, format_);
    std::vector<FieldView> values;
    RowSink sink = [&](std::string_view row) {
      if (cancelled_.load()) return;
      viewRow(table_, row, values);
      stream.row(values);
      append(batch);
    };
    RunOptions options;
    options.store = &worker_->store();
    options.cancel = &cancelled_;
    Outcome o = runRequest(host_, module_, table_, filters_, &sink, options);
    stream.finish();
    text.flush();
    std::string tail = std::move(batch);
    if (format_ == Format::Json)
      tail += ",\"summary\":" + dumped(requestSummary(table_, o)) + "}\n";
    metrics_.request(table_.name, o);
    {
      std::lock_guard lock(mutex_);
      pending_ += tail;
      outcome_ = std::move(o);
      done_ = true;
    }
    changed_.notify_all();
  }

  Host& host_;
  const Module& module_;
  const CatalogTable& table_;
  std::vector<Filter> filters_;
  Format format_;
  std::shared_ptr<Workers::Lease> worker_;  // given back once the producer has ended
  Metrics& metrics_;
  std::vector<OutputColumn> columns_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;
  size_t batches_ = 0;
  bool done_ = false;
  Outcome outcome_;
  std::atomic<bool> cancelled_{false};
  std::thread producer_;
};

// --- SQL, streamed --------------------------------------------------------------

// One SQL statement over the worker's own connection and virtual tables, its
// rows read as the client takes them: each send steps the statement (and so
// the group tables' requests) for one batch. Everything runs on the worker's
// thread, which alone uses that connection; finalizing the statement (a
// client gone, or the end) ends the requests it started.
class SqlRequest {
 public:
  SqlRequest(SqliteStore& store, SqlTables& tables, Format format,
             std::shared_ptr<Workers::Lease> worker)
      : worker_(std::move(worker)),
        db_(store.connection()),
        tables_(tables),
        format_(format),
        out_(batch_) {}
  ~SqlRequest() {
    sqlite3_finalize(stmt_);
    tables_.clearRequests();
  }
  SqlRequest(const SqlRequest&) = delete;
  SqlRequest& operator=(const SqlRequest&) = delete;

  // Prepares `text`, one reading statement, and runs it to its first row.
  // A statement refused or failing before any row throws Failure with the
  // command's text.
  void begin(const std::string& text) {
    tables_.clearRequests();
    tables_.clearFault();
    begin_ = Clock::now();
    const char* next = text.c_str();
    {
      ReadOnlyStatements guard(db_);
      stmt_ = guard.prepare(next, tables_);
      if (stmt_ == nullptr) throw Failure{kExitUsage, "sql: no statement"};
      bool another = false;
      try {
        sqlite3_stmt* more = guard.prepare(next, tables_);
        another = more != nullptr;
        sqlite3_finalize(more);
      } catch (const Failure&) {
        another = true;  // a second statement, whatever it is
      }
      if (another) throw Failure{kExitUsage, "sql: one statement per request"};
    }
    columns_ = statementColumns(stmt_);
    if (format_ == Format::Json) {
      json names = json::array();
      for (const OutputColumn& c : columns_) names.push_back(c.name);
      batch_ = "{\"columns\":" + dumped(names) + ",\"rows\":";
    }
    stream_ = std::make_unique<RowStream>(out_, columns_, format_);
    step();
    if (done_ && !error_.empty()) {
      throw Failure{statementExit(tables_.fault()), error_};
    }
  }
  SqlTables::Fault fault() const { return tables_.fault(); }

  // The content provider: one batch of rows; false ends the response (the
  // client went away).
  bool send(httplib::DataSink& sink) {
    while (!done_ && batch_.size() < kBatchBytes) step();
    if (!batch_.empty()) {
      if (!sink.write(batch_.data(), batch_.size())) return false;
      t_thread.streamed += batch_.size();
      batch_.clear();
    }
    if (done_) sink.done();
    return true;
  }

 private:
  void step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
      ++rows_;
      readRow(stmt_, views_);
      stream_->row(views_);
      return;
    }
    done_ = true;
    if (rc != SQLITE_DONE) error_ = std::string("sql: ") + sqlite3_errmsg(db_);
    stream_->finish();
    out_.flush();
    if (format_ == Format::Json) batch_ += ",\"summary\":" + dumped(summary(rc)) + "}\n";
  }

  // The command's summary line and its figures; the error of a statement
  // that failed after rows were sent.
  json summary(int rc) const {
    StatementOutcome o;
    o.rc = rc;
    o.rows = rows_;
    o.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - begin_).count();
    const std::vector<TableRequest>& requests = tables_.requests();
    SqlActivity sql = requestsActivity(requests);
    json failures = json::array();
    size_t nodeUpdates = 0;
    for (const TableRequest& r : requests) {
      nodeUpdates += r.nodeStatusUpdates;
      for (const MemberFailure& f : r.memberFailures)
        failures.push_back(r.table + ": " + memberFailureText(f));
    }
    json s{{"rows", rows_},
           {"requests", requests.size()},
           {"members_queried", sql.membersQueried},
           {"member_requests", sql.memberRequests},
           {"node_status_updates", nodeUpdates},
           {"incomplete", !failures.empty()},
           {"member_failures", std::move(failures)},
           {"failed", !error_.empty()}};
    if (!error_.empty()) s["error"] = error_;
    s["line"] = sqlSummary(o, requests, sql);
    return s;
  }

  std::shared_ptr<Workers::Lease> worker_;  // held until the statement is finalized
  sqlite3* db_;
  SqlTables& tables_;
  Format format_;
  std::string batch_;  // text not yet sent
  StringOutput out_;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<OutputColumn> columns_;
  std::unique_ptr<RowStream> stream_;
  std::vector<FieldView> views_;
  size_t rows_ = 0;
  bool done_ = false;
  std::string error_;
  Clock::time_point begin_;
};

// --- The server ----------------------------------------------------------------

// The query of a request target, in order ("a=1&b=2" -> {"a=1", "b=2"},
// decoded), so that a later filter on a column overrides an earlier one.
std::vector<std::string> queryItems(const std::string& target) {
  std::vector<std::string> items;
  size_t q = target.find('?');
  if (q == std::string::npos) return items;
  std::string query = target.substr(q + 1);
  size_t from = 0;
  while (from <= query.size()) {
    size_t amp = query.find('&', from);
    std::string item = query.substr(from, amp == std::string::npos ? amp : amp - from);
    if (!item.empty()) items.push_back(httplib::detail::decode_url(item, true));
    if (amp == std::string::npos) break;
    from = amp + 1;
  }
  return items;
}

// The format of a "format=NAME" item; a Failure for one not in {json,csv}.
Format formatItem(const std::string& item) {
  std::string name = item.substr(7);
  std::optional<Format> format = parseFormat(name);
  if (!format || *format == Format::Table) {
    throw Failure{kExitUsage, "format: " + name + " not in {json,csv}"};
  }
  return *format;
}

// The format of an answer without "format=": CSV when the client accepts it.
Format acceptedFormat(const httplib::Request& req) {
  return req.get_header_value("Accept").find("text/csv") != std::string::npos ? Format::Csv
                                                                              : Format::Json;
}

const char* contentTypeOf(const std::string& name) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".png", "image/png"},
      {".svg", "image/svg+xml"},
      {".json", "application/json"},
      {".ico", "image/x-icon"},
      {".txt", "text/plain; charset=utf-8"}};
  std::string ext = fs::path(name).extension().string();
  for (const auto& [suffix, type] : kTypes) {
    if (ext == suffix) return type;
  }
  return "application/octet-stream";
}

bool readWhole(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return in.good() || in.eof();
}

// httplib's server, able to stop taking connections while those it has
// taken are served to their end: its stop() would cut a streamed answer
// short, as the sending loop ends once the listening socket is gone.
class HttpServer : public httplib::Server {
 public:
  // The accept loop fails and ends; the workers finish what they hold.
  void stopAccepting() { ::shutdown(svr_sock_, SHUT_RDWR); }
};

class Server {
 public:
  Server(const Options& options, const ServeOptions& serve) : options_(options), serve_(serve) {}

  int run();

 private:
  void routes();
  SqliteStore* sqlStore(httplib::Response& res);
  SqlTables* sqlTables(httplib::Response& res);
  void rows(const httplib::Request& req, httplib::Response& res);
  void sql(const httplib::Request& req, httplib::Response& res);
  void begin(const httplib::Request& req);
  void finish(int code, size_t bodyBytes = 0);
  void accessLine(int code);
  void staticFile(httplib::Response& res, const std::string& name);

  const Options& options_;
  const ServeOptions& serve_;
  std::string token_;
  std::string consoleDir_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<Workers> workers_;
  std::unique_ptr<Host> host_;
  std::map<std::string, Module*> modules_;  // by table
  Metrics metrics_;
  std::unique_ptr<Heartbeats> heartbeats_;
  HttpServer http_;
  std::FILE* accessLog_ = stderr;
  std::mutex accessMutex_;
  WallClock::time_point started_ = WallClock::now();
};

SqliteStore* Server::sqlStore(httplib::Response& res) {
  if (t_thread.store) return t_thread.store.get();
  std::string database = databaseOf(options_.db, options_.dbGiven);
  if (isPostgresConnection(database)) {
    // The statements run in SQLite: its virtual tables over a PostgreSQL
    // store would need a second engine between the two.
    sendError(res, 501, "sql: the SQL endpoint needs an SQLite database",
              "this server's database is " + describeDatabase(database));
    return nullptr;
  }
  Error error;
  t_thread.store = SqliteStore::open(database, SqliteStoreOptions{}, error);
  if (!t_thread.store) {
    sendError(res, 503, error.message, error.detail);
    return nullptr;
  }
  return t_thread.store.get();
}

SqlTables* Server::sqlTables(httplib::Response& res) {
  if (t_thread.sqlTables) return t_thread.sqlTables.get();
  if (sqlStore(res) == nullptr) return nullptr;
  auto tables = std::make_unique<SqlTables>(*host_, std::string());
  for (const CatalogTable& table : catalogTables())
    tables->addModule(table.module, modules_.at(table.name));
  tables->refuseHeartbeat(
      "IDNAME='*NOFETCH' runs the heartbeat, which writes the node status; "
      "POST /api/v1/heartbeat runs it");
  RunOptions options = tables->runOptions();
  options.store = t_thread.store.get();
  tables->setRunOptions(options);
  std::string error;
  if (tables->attach(t_thread.store->connection(), error) != SQLITE_OK) {
    sendError(res, 500, "cannot register the group tables", error);
    return nullptr;
  }
  t_thread.sqlTables = std::move(tables);
  return t_thread.sqlTables.get();
}

void Server::begin(const httplib::Request& req) {
  if (t_thread.active) finish(499);
  t_thread.active = true;
  t_thread.begin = Clock::now();
  t_thread.method = req.method;
  t_thread.path = req.path;
  t_thread.client = req.remote_addr + ":" + std::to_string(req.remote_port);
  t_thread.streamed = 0;
  metrics_.inFlight(+1);
}

// Ends the request begun on this thread: its access-log line and metrics.
void Server::finish(int code, size_t bodyBytes) {
  if (!t_thread.active) return;
  t_thread.streamed += bodyBytes;
  t_thread.active = false;
  metrics_.inFlight(-1);
  metrics_.http(code);
  accessLine(code);
}

void Server::accessLine(int code) {
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - t_thread.begin).count();
  char line[160];
  std::snprintf(line, sizeof line, " %d %zu %.1fms\n", code, t_thread.streamed, ms);
  std::string text = isoTime(WallClock::now()) + " " + t_thread.client + " " + t_thread.method +
                     " " + escaped(t_thread.path) + line;
  std::lock_guard lock(accessMutex_);
  std::fputs(text.c_str(), accessLog_);
  std::fflush(accessLog_);
}

void Server::staticFile(httplib::Response& res, const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos || name.front() == '.') {
    sendError(res, 404, "not found", "no console file " + inQuotes(name));
    return;
  }
  fs::path path = fs::path(consoleDir_) / name;
  if (name == "chart.js") {
    path.clear();
    for (const char* candidate : {"chart.umd.min.js", "chart.min.js", "Chart.min.js"}) {
      std::error_code ec;
      if (fs::is_regular_file(fs::path(kChartDir) / candidate, ec)) {
        path = fs::path(kChartDir) / candidate;
        break;
      }
    }
    if (path.empty()) {
      sendError(res, 404, "chart.js is not installed",
                std::string("none of chart.umd.min.js, chart.min.js, Chart.min.js in ") +
                    kChartDir + " (Debian package libjs-chart.js)");
      return;
    }
  }
  std::string body;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || !readWhole(path, body)) {
    sendError(res, 404, "not found", "no console file " + inQuotes(name));
    return;
  }
  res.status = 200;
  res.set_content(body, contentTypeOf(name));
}

void Server::rows(const httplib::Request& req, httplib::Response& res) {
  const CatalogTable* table = nullptr;
  std::vector<Filter> filters;
  std::optional<Format> format;
  try {
    table = &tableNamed(req.matches[1]);
  } catch (const Failure& f) {
    sendError(res, 404, f.message, "no such table");
    return;
  }
  try {
    for (const std::string& item : queryItems(req.target)) {
      if (item.rfind("format=", 0) == 0) {
        format = formatItem(item);
      } else if (item.rfind("filter-op=", 0) == 0) {
        filters.push_back(parseFilter(*table, item.substr(10), true));
      } else {
        filters.push_back(parseFilter(*table, item, false));
      }
    }
  } catch (const Failure& f) {
    sendError(res, 400, f.message, "bad request of table " + std::string(table->name));
    return;
  }
  if (!format) format = acceptedFormat(req);
  auto worker = workers_->acquire(res);
  if (!worker) return;
  auto request =
      std::make_shared<RowsRequest>(*host_, *modules_.at(table->name), *table, std::move(filters),
                                    *format, std::move(worker), metrics_);
  request->start();
  if (request->failedBeforeRows()) {
    const Outcome& o = request->outcome();
    json body{{"error", "request for " + std::string(table->name) + " ended with status " +
                            std::to_string(o.finalStatus) + " (" +
                            requestStatusText(o.finalStatus) + ")" + o.where},
              {"detail", summaryLine(*table, o)},
              {"status", o.finalStatus},
              {"meaning", requestStatusText(o.finalStatus)},
              {"summary", requestSummary(*table, o)}};
    sendJson(res, 502, body);
    return;
  }
  res.status = 200;
  res.set_chunked_content_provider(
      *format == Format::Csv ? "text/csv; charset=utf-8" : "application/json",
      [request](size_t, httplib::DataSink& sink) { return request->send(sink); },
      [request](bool) { request->cancel(); });
}

void Server::sql(const httplib::Request& req, httplib::Response& res) {
  std::string text;
  std::optional<Format> format;
  auto httpStatus = [](const Failure& f, SqlTables::Fault fault) {
    if (refusedStatement(f) || fault == SqlTables::Fault::Refused) return 403;
    if (f.exitCode == kExitRequest) return 502;
    return f.exitCode == kExitUsage ? 400 : 500;
  };
  try {
    for (const std::string& item : queryItems(req.target)) {
      if (item.rfind("q=", 0) == 0) {
        text = item.substr(2);
      } else if (item.rfind("format=", 0) == 0) {
        format = formatItem(item);
      } else {
        throw Failure{kExitUsage,
                      "sql: unknown parameter " + inQuotes(item.substr(0, item.find('=')))};
      }
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
      throw Failure{kExitUsage, "sql: no statement (q=SELECT ...)"};
    }
  } catch (const Failure& f) {
    sendError(res, 400, f.message, "bad request of /api/v1/sql");
    return;
  }
  if (!format) format = acceptedFormat(req);
  // A statement counts as one of the requests that read the database: it
  // holds a worker while it runs, though its rows come from this thread's
  // own connection, where its virtual tables live.
  auto worker = workers_->acquire(res);
  if (!worker) return;
  SqlTables* tables = sqlTables(res);
  if (tables == nullptr) return;
  auto request = std::make_shared<SqlRequest>(*t_thread.store, *tables, *format, std::move(worker));
  try {
    request->begin(text);
  } catch (const Failure& f) {
    sendError(res, httpStatus(f, request->fault()), f.message, "statement: " + escaped(text));
    return;
  }
  res.status = 200;
  res.set_chunked_content_provider(
      *format == Format::Csv ? "text/csv; charset=utf-8" : "application/json",
      [request](size_t, httplib::DataSink& sink) { return request->send(sink); });
}

void Server::routes() {
  http_.Get("/healthz", [](const httplib::Request&, httplib::Response& res) {
    sendJson(res, 200, json{{"status", "ok"}});
  });
  http_.Get("/readyz", [this](const httplib::Request&, httplib::Response& res) {
    auto last = heartbeats_->last();
    auto ticks = heartbeats_->ticks();
    std::string reason;
    if (!ticks.empty() && !ticks.back().ran) {
      // A tick that another server ran leaves this one ready.
      if (!ticks.back().skipped) reason = "the last tick was not run: " + ticks.back().reason;
    } else if (last != nullptr && !last->applied) {
      reason = "the last heartbeat (" + isoTime(last->start) + ") was not applied";
    } else if (last == nullptr && heartbeats_->interval() > 0 &&
               WallClock::now() - started_ > std::chrono::seconds(heartbeats_->interval() + 5)) {
      reason = "no heartbeat has run although one is due";
    }
    if (reason.empty()) {
      sendJson(res, 200, json{{"status", "ready"}});
    } else {
      sendJson(res, 503, json{{"error", "not ready"}, {"detail", reason}});
    }
  });
  http_.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(metrics_.exposition(), "text/plain; version=0.0.4; charset=utf-8");
  });
  http_.Get("/api/v1/tables", [](const httplib::Request&, httplib::Response& res) {
    json tables = json::array();
    for (const CatalogTable& table : catalogTables()) {
      json attributes = json::array();
      for (const vxr::ColumnField* f : table.attributes()) {
        ColumnRole role = columnRole(table, f->name);
        attributes.push_back(json{{"name", f->name},
                                  {"offset", f->offset},
                                  {"width", f->width},
                                  {"type", fieldTypeName(f->type)},
                                  {"filter", !role.filter.empty()},
                                  {"filter_does", std::move(role.filter)},
                                  {"merge", std::move(role.merge)}});
      }
      tables.push_back(json{{"table", table.name},
                            {"module", table.module},
                            {"row_size", table.rowSize},
                            {"description", table.description},
                            {"attributes", std::move(attributes)}});
    }
    sendJson(res, 200, json{{"tables", std::move(tables)}});
  });
  http_.Get("/api/v1/tables/([^/]+)/rows",
            [this](const httplib::Request& req, httplib::Response& res) { rows(req, res); });
  http_.Get("/api/v1/sql",
            [this](const httplib::Request& req, httplib::Response& res) { sql(req, res); });
  http_.Get("/api/v1/nodes", [this](const httplib::Request&, httplib::Response& res) {
    auto worker = workers_->acquire(res);
    if (!worker) return;
    NodeStatusTable nodes;
    Error error;
    if (readNodeStatus(worker->store(), nodes, error) != sqlstatus::kOk) {
      sendError(res, 503, error.message, error.detail);
      return;
    }
    std::ostringstream rows;
    OutputTable table = nodeStatusOutput(nodes);
    printOutput(rows, table, Format::Json);
    json columns = json::array();
    for (const OutputColumn& c : table.columns) columns.push_back(c.name);
    res.status = 200;
    res.set_content("{\"table\":" + dumped(nodestatus::kTable) + ",\"columns\":" + dumped(columns) +
                        ",\"rows\":" + rows.str() + "}\n",
                    "application/json");
  });
  http_.Get("/api/v1/heartbeat", [this](const httplib::Request&, httplib::Response& res) {
    auto last = heartbeats_->last();
    auto next = heartbeats_->next();
    json ticks = json::array();
    for (const Tick& t : heartbeats_->ticks()) {
      json entry{{"time", isoTime(t.at)}, {"time_epoch", epochSeconds(t.at)}, {"ran", t.ran}};
      if (!t.ran) {
        entry["skipped"] = t.skipped;
        entry["reason"] = t.reason;
      }
      ticks.push_back(std::move(entry));
    }
    json body{{"manual", serve_.manualHeartbeat},
              {"interval_seconds", heartbeats_->interval()},
              {"last", last ? heartbeatJson(*last) : json(nullptr)},
              {"ticks", std::move(ticks)},
              {"next", next ? json(isoTime(*next)) : json(nullptr)},
              {"next_epoch", next ? json(epochSeconds(*next)) : json(nullptr)}};
    sendJson(res, 200, body);
  });
  http_.Post("/api/v1/heartbeat", [this](const httplib::Request&, httplib::Response& res) {
    if (!serve_.manualHeartbeat) {
      sendError(res, 403, "the heartbeat cannot be run on request",
                "the server was started with --no-manual-heartbeat");
      return;
    }
    auto report = heartbeats_->runNow();
    sendJson(res, 200, heartbeatJson(*report));
  });
  http_.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    staticFile(res, "index.html");
  });
  http_.Get("/static/([^/]*)", [this](const httplib::Request& req, httplib::Response& res) {
    staticFile(res, req.matches[1]);
  });
}

int Server::run() {
  ListenAddress address = parseListen(serve_.listen);
  if (!isLoopback(address.host) && serve_.tokenFile.empty()) {
    throw Failure{kExitServer, "refusing to listen on " + inQuotes(serve_.listen) +
                                   ": not a loopback address, and no --token-file"};
  }
  if (!serve_.tokenFile.empty()) token_ = readToken(serve_.tokenFile);
  if (serve_.heartbeatInterval < 0) {
    throw Failure{kExitUsage, "--heartbeat-interval: a negative interval"};
  }
  consoleDir_ = consoleDir(serve_.consoleDir);
  if (!serve_.accessLog.empty()) {
    accessLog_ = std::fopen(serve_.accessLog.c_str(), "a");
    if (accessLog_ == nullptr) {
      throw Failure{kExitUsage, "--access-log: cannot open " + inQuotes(serve_.accessLog) + ": " +
                                    std::strerror(errno)};
    }
  }
  std::string dir = modulesDir(options_.modules);
  SqliteStoreOptions storeOptions;
  storeOptions.writeAheadLog = true;
  store_ = openDatabase(options_.db, options_.dbGiven, storeOptions);
  host_ = std::make_unique<Host>(*store_);
  host_->keepLogs(false);
  configureTrace(*host_, options_.trace, options_.traceFile);
  std::map<std::string, Module*> byName;
  for (const CatalogTable& table : catalogTables()) {
    Module*& module = byName[table.module];
    if (module == nullptr) module = loadModule(*host_, dir, table.module);
    modules_[table.name] = module;
  }
  heartbeats_ = std::make_unique<Heartbeats>(*host_, *modules_.at("MEMBERSTATUS"), *store_,
                                             metrics_, serve_.heartbeatInterval);

  size_t workers = serve_.workers > 0 ? static_cast<size_t>(serve_.workers)
                                      : std::max(1u, std::thread::hardware_concurrency());
  workers_ = std::make_unique<Workers>(workers, databaseOf(options_.db, options_.dbGiven));
  http_.new_task_queue = [this] {
    return new ConnectionPool(kConnectionThreads, [this] { finish(499); });
  };
  http_.set_keep_alive_timeout(2);
  http_.set_read_timeout(5);
  http_.set_write_timeout(10);
  http_.set_payload_max_length(64 << 10);
  http_.set_tcp_nodelay(true);
  // Not httplib's default SO_REUSEPORT, which would let a second server
  // share a port in use instead of failing.
  http_.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  http_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    begin(req);
    // The request is httplib's own, not const; only its Accept-Encoding changes.
    withoutBrotli(const_cast<httplib::Request&>(req));
    if (t_thread.overflow) {
      res.set_header("Retry-After", "1");
      res.set_header("Connection", "close");
      sendError(res, 503, "the server is busy",
                "every connection thread is taken and " + std::to_string(kQueueLimit) +
                    " connections wait; try again");
      return httplib::Server::HandlerResponse::Handled;
    }
    // A body of unknown length would be read until the read timeout: a POST
    // is to say "Content-Length: 0" (or send its body chunked).
    if ((req.method == "POST" || req.method == "PUT" || req.method == "PATCH") &&
        !req.has_header("Content-Length") && !req.has_header("Transfer-Encoding")) {
      res.set_header("Connection", "close");
      sendError(res, 411, "length required",
                req.method + " needs a Content-Length header (0 for no body)");
      return httplib::Server::HandlerResponse::Handled;
    }
    bool open = req.path == "/healthz" || req.path == "/" || req.path.rfind("/static/", 0) == 0;
    if (!token_.empty() && !open) {
      std::string auth = req.get_header_value("Authorization");
      if (auth.rfind("Bearer ", 0) != 0 || !sameToken(std::string_view(auth).substr(7), token_)) {
        res.set_header("WWW-Authenticate", "Bearer");
        sendError(res, 401, "unauthorized",
                  auth.empty() ? "no Authorization: Bearer token" : "wrong token");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  http_.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty() || res.content_provider_) return;
    if (res.status == 404) {
      static const std::pair<std::regex, const char*> kKnown[] = {
          {std::regex("/healthz|/readyz|/metrics|/api/v1/tables|/api/v1/nodes|/|/static/[^/]*|"
                      "/api/v1/tables/[^/]+/rows|/api/v1/sql"),
           "GET"},
          {std::regex("/api/v1/heartbeat"), "GET, POST"}};
      for (const auto& [pattern, allow] : kKnown) {
        if (std::regex_match(req.path, pattern) && req.method != "GET") {
          res.status = 405;
          res.set_header("Allow", allow);
          sendError(res, 405, "method not allowed",
                    req.method + " " + req.path + " (allowed: " + allow + ")");
          return;
        }
      }
      sendError(res, 404, "not found", "no such path: " + req.path);
      return;
    }
    sendError(res, res.status, res.status == 414 ? "the request line is too long" : "bad request",
              req.method + " " + req.path);
  });
  http_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    // A request refused before routing (a request line too long, a malformed
    // one) was not begun; it is logged and counted all the same.
    if (!t_thread.active) begin(req);
    finish(res.status, res.body.size());
  });
  routes();

  int port = address.port;
  errno = 0;
  bool bound = port == 0 ? (port = http_.bind_to_any_port(address.host)) > 0
                         : http_.bind_to_port(address.host, port);
  if (!bound) {
    throw Failure{kExitServer, "cannot listen on " + inQuotes(serve_.listen) + ": " +
                                   (errno != 0 ? std::strerror(errno) : "cannot bind")};
  }
  std::string shown =
      address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
  std::cout << "listening on http://" << shown << ":" << port << std::endl;

  // SIGTERM and SIGINT are taken by a thread of their own (every thread
  // created from here on has them blocked): stop accepting, let in-flight
  // requests and a running heartbeat finish within the grace period.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  std::atomic<bool> stopped{false};
  std::thread signals([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (stopped.exchange(true)) return;
    std::cerr << "vxrhost: " << (signal == SIGTERM ? "SIGTERM" : "SIGINT")
              << ": stopping (in-flight requests get " << serve_.gracePeriod << " s)\n";
    std::thread([grace = serve_.gracePeriod] {
      std::this_thread::sleep_for(std::chrono::seconds(grace));
      std::cerr << "vxrhost: the grace period is over; requests still running are cut off\n";
      std::_Exit(0);
    }).detach();
    http_.stopAccepting();
  });
  heartbeats_->start();
  http_.listen_after_bind();
  http_.stop();
  heartbeats_->stop();
  if (!stopped.exchange(true)) pthread_kill(signals.native_handle(), SIGTERM);
  signals.join();
  if (accessLog_ != stderr) std::fclose(accessLog_);
  return kExitOk;
}

}  // namespace

int commandServe(const Options& options, const ServeOptions& serve) {
  // Stop signals are waited for by one thread; they are blocked before any
  // thread exists so that every thread inherits the mask. A client that
  // goes away must not end the process with SIGPIPE.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  Server server(options, serve);
  return server.run();
}

}  // namespace vxrhost::cli
