// The host's trace services: level masks per unit, synchronisation counters,
// and the trace lines that modules and the host write.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host_state.h"

namespace vxrhost {

std::string TraceLine::render() const {
  return unit + " " + function + " " + text;
}

namespace {

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool parseMask(std::string_view text, int32_t& mask) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return false;
  }
  mask = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

std::string_view functionView(const RAS1_Anchor* anchor) {
  if (anchor == nullptr || anchor->name == nullptr || anchor->nameLength <= 0 ||
      anchor->nameLength > 256) {
    return "?";
  }
  return std::string_view(anchor->name, static_cast<size_t>(anchor->nameLength));
}

std::string_view unitView(const RAS1_UnitBlock* unit) {
  if (unit == nullptr || unit->name == nullptr || unit->nameLength <= 0 || unit->nameLength > 256) {
    return "?";
  }
  return std::string_view(unit->name, static_cast<size_t>(unit->nameLength));
}

std::string_view stripNewline(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

// Writes all of `text` to `fd`; false with errno set when it cannot.
bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// True when one of the eight bytes of `word` is below 0x20 or is 0x7f.
constexpr bool hasControl(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = kOnes * 0x80;
  const uint64_t del = word ^ (kOnes * 0x7f);
  return (((word - kOnes * 0x20) & ~word) | ((del - kOnes) & ~del)) & kHighs;
}

// Appends `text` with its control characters escaped as controlEscaped
// does, the runs between them in one piece. Trace lines seldom hold one:
// eight bytes are checked at a time.
void appendControlEscaped(std::string& out, std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    for (uint64_t word; i + 8 <= text.size(); i += 8) {
      std::memcpy(&word, text.data() + i, 8);
      if (hasControl(word)) break;
    }
    if (i >= text.size()) break;
    auto u = static_cast<unsigned char>(text[i]);
    if (u >= 0x20 && u != 0x7f) continue;
    out.append(text.substr(start, i - start));
    out += escaped(text.substr(i, 1));
    start = i + 1;
  }
  out.append(text.substr(start));
}

// Files a line of a module's (or the host's) trace: with a host, under its
// trace lock, the anchor's unit noted; without one, on stderr.
void traceLine(const RAS1_Anchor* anchor, std::string_view text, int32_t line) {
  const std::string_view unit = anchor != nullptr ? unitView(anchor->unit) : "?";
  if (auto* state = detail::currentState()) {
    std::lock_guard lock(state->traceMutex);
    if (anchor != nullptr) state->noteUnit(anchor->unit);
    state->emitLocked(unit, functionView(anchor), text, line);
    return;
  }
  std::string rendered;
  for (std::string_view part :
       {unit, std::string_view(" "), functionView(anchor), std::string_view(" "), text}) {
    appendControlEscaped(rendered, part);
  }
  rendered += '\n';
  std::fwrite(rendered.data(), 1, rendered.size(), stderr);
}

}  // namespace

int32_t parseTraceLevels(std::string_view spec,
                         std::vector<std::pair<std::string, int32_t>>& levels, Error& error) {
  levels.clear();
  error.clear();
  while (!spec.empty()) {
    size_t comma = spec.find(',');
    std::string_view item = trimBlanks(spec.substr(0, comma));
    spec = comma == std::string_view::npos ? std::string_view() : spec.substr(comma + 1);
    if (item.empty()) continue;
    auto bad = [&](const char* why) {
      levels.clear();
      return error.set(hoststatus::kBadTraceLevels, "bad trace level " + inQuotes(item), why);
    };
    size_t eq = item.find('=');
    if (eq == std::string_view::npos) return bad("no '='");
    std::string_view unit = trimBlanks(item.substr(0, eq));
    std::string_view maskText = trimBlanks(item.substr(eq + 1));
    int32_t mask = 0;
    if (unit.empty()) return bad("no unit named");
    if (!parseMask(maskText, mask)) return bad("the mask is neither 0x-hex nor decimal");
    levels.emplace_back(std::string(unit), mask);
  }
  return hoststatus::kOk;
}

namespace detail {

std::string unitName(const RAS1_UnitBlock* unit) {
  return std::string(unitView(unit));
}

int32_t HostState::levelOf(const std::string& unit) const {
  auto it = levels.find(unit);
  return it == levels.end() ? defaultLevel : it->second;
}

void HostState::noteUnit(const RAS1_UnitBlock* unit) {
  if (unit == nullptr || units.count(unit) != 0) return;
  SeenUnit seen;
  seen.block = unit;
  seen.name = unitName(unit);
  Dl_info info{};
  if (dladdr(unit, &info) != 0) seen.base = info.dli_fbase;
  units.emplace(unit, std::move(seen));
}

void HostState::forgetUnitsOf(const void* base) {
  std::lock_guard lock(traceMutex);
  for (auto it = units.begin(); it != units.end();) {
    it = it->second.base == base ? units.erase(it) : std::next(it);
  }
  for (auto& [name, byAddress] : counters) {
    for (auto it = byAddress.begin(); it != byAddress.end();) {
      it = it->second == base ? byAddress.erase(it) : std::next(it);
    }
  }
}

void HostState::emit(TraceLine line) {
  std::lock_guard lock(traceMutex);
  if (sink == Sink::Memory) {
    lines.push_back(std::move(line));
    return;
  }
  emitLocked(line.unit, line.function, line.text, line.line);
}

void HostState::emitLocked(std::string_view unit, std::string_view function, std::string_view text,
                           int32_t line) {
  if (sink == Sink::Memory) {
    lines.push_back(TraceLine{std::string(unit), std::string(function), std::string(text), line});
    return;
  }
  // Module lines may carry database bytes: stderr and a trace file that is
  // a terminal must not get their control characters as they are.
  const bool escape = sink == Sink::Stderr || file.terminal;
  for (std::string_view part :
       {unit, std::string_view(" "), function, std::string_view(" "), text}) {
    if (escape) {
      appendControlEscaped(pending, part);
    } else {
      pending.append(part);
    }
  }
  pending += '\n';
  if (pending.size() >= kPendingLimit || currentRun() == nullptr) flushTraceLocked();
}

void HostState::flushTrace() {
  std::lock_guard lock(traceMutex);
  flushTraceLocked();
}

void HostState::flushTraceLocked() {
  if (pending.empty()) return;
  if (sink == Sink::Stderr) {
    // Unbuffered: written at once, in order with what else goes to stderr.
    std::fwrite(pending.data(), 1, pending.size(), stderr);
  } else if (sink == Sink::File && !writeAll(file.fd, pending) && file.failure.empty()) {
    file.failure = std::strerror(errno);
  }
  pending.clear();
}

void HostState::hostLine(const std::string& function, const std::string& text) {
  emit(TraceLine{"HOST", function, std::string(stripNewline(text)), 0});
}

}  // namespace detail

void detail::HostState::TraceFile::close() {
  if (fd >= 0) ::close(fd);
  fd = -1;
  terminal = false;
  path.clear();
  failure.clear();
}

// --- Host's trace settings --------------------------------------------------

void Host::setTraceLevel(const std::string& unit, int32_t mask) {
  auto& s = *state_;
  std::lock_guard lock(s.traceMutex);
  auto advance = [&](const std::string& name) {
    auto it = s.counters.find(name);
    if (it == s.counters.end()) return;
    for (auto& [counter, base] : it->second) {
      std::atomic_ref<int32_t>(*counter).fetch_add(1);
    }
  };
  if (unit == "*") {
    s.defaultLevel = mask;
    for (auto& [name, level] : s.levels) level = mask;
    for (auto& [name, byAddress] : s.counters) advance(name);
    return;
  }
  s.levels[unit] = mask;
  advance(unit);
}

int32_t Host::setTraceLevels(std::string_view spec, Error& error) {
  std::vector<std::pair<std::string, int32_t>> levels;
  if (int32_t status = parseTraceLevels(spec, levels, error); status != hoststatus::kOk)
    return status;
  for (auto& [unit, mask] : levels) setTraceLevel(unit, mask);
  return hoststatus::kOk;
}

void Host::setDefaultTraceLevel(int32_t mask) {
  auto& s = *state_;
  std::lock_guard lock(s.traceMutex);
  s.defaultLevel = mask;
  for (auto& [name, byAddress] : s.counters) {
    if (s.levels.count(name) != 0) continue;
    for (auto& [counter, base] : byAddress) std::atomic_ref<int32_t>(*counter).fetch_add(1);
  }
}

int32_t Host::traceLevel(const std::string& unit) const {
  std::lock_guard lock(state_->traceMutex);
  return state_->levelOf(unit);
}

void Host::traceToMemory() {
  std::lock_guard lock(state_->traceMutex);
  state_->flushTraceLocked();
  state_->file.close();
  state_->sink = detail::HostState::Sink::Memory;
}

void Host::traceToStderr() {
  std::lock_guard lock(state_->traceMutex);
  state_->flushTraceLocked();
  state_->file.close();
  state_->sink = detail::HostState::Sink::Stderr;
}

int32_t Host::traceToFile(const std::string& path, Error& error) {
  error.clear();
  std::lock_guard lock(state_->traceMutex);
  state_->flushTraceLocked();
  auto& file = state_->file;
  file.close();
  const std::string what = "cannot open trace file " + inQuotes(path);
  auto fail = [&](const std::string& why) {
    file.close();
    state_->sink = detail::HostState::Sink::Stderr;
    return error.set(hoststatus::kFileFailed, what, why);
  };
  // Opened without blocking, so that a FIFO with no reader is refused at
  // once instead of waiting forever; writes then block as usual.
  file.fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (file.fd < 0) {
    int why = errno;
    struct stat st {};
    if (why == ENXIO && ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
      return fail("it is a FIFO with no reader");
    }
    return fail(std::strerror(why));
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return fail(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return fail("it is a directory");
  int flags = ::fcntl(file.fd, F_GETFL);
  if (flags < 0 || ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return fail(std::strerror(errno));
  }
  file.terminal = ::isatty(file.fd) != 0;
  file.path = path;
  state_->sink = detail::HostState::Sink::File;
  return hoststatus::kOk;
}

std::string Host::traceFileFailure() const {
  std::lock_guard lock(state_->traceMutex);
  state_->flushTraceLocked();
  if (state_->file.failure.empty()) return {};
  return "cannot write trace file " + inQuotes(state_->file.path) + ": " + state_->file.failure;
}

std::vector<TraceLine> Host::traceLines() const {
  std::lock_guard lock(state_->traceMutex);
  return state_->lines;
}

std::vector<std::string> Host::traceText() const {
  std::lock_guard lock(state_->traceMutex);
  std::vector<std::string> out;
  out.reserve(state_->lines.size());
  for (const auto& line : state_->lines) out.push_back(line.render());
  return out;
}

bool Host::traceContains(std::string_view text) const {
  std::lock_guard lock(state_->traceMutex);
  for (const auto& line : state_->lines) {
    if (line.render().find(text) != std::string::npos) return true;
  }
  return false;
}

void Host::clearTrace() {
  std::lock_guard lock(state_->traceMutex);
  state_->lines.clear();
}

void Host::hostTrace(const std::string& function, const std::string& text) {
  state_->hostLine(function, text);
}

}  // namespace vxrhost

// --- Host functions -----------------------------------------------------------

using vxrhost::stripNewline;
using vxrhost::traceLine;
using vxrhost::detail::currentState;

extern "C" int32_t RAS1_Sync(void* anchorAddress) {
  auto* anchor = static_cast<RAS1_Anchor*>(anchorAddress);
  if (anchor == nullptr) return 0;
  int32_t mask = 0;
  auto* state = currentState();
  std::unique_lock<std::mutex> lock;
  if (state != nullptr) {
    lock = std::unique_lock(state->traceMutex);
    state->noteUnit(anchor->unit);
    std::string unit = vxrhost::detail::unitName(anchor->unit);
    mask = state->levelOf(unit);
    if (anchor->syncCounter != nullptr) {
      auto& byAddress = state->counters[unit];
      if (byAddress.count(anchor->syncCounter) == 0) {
        Dl_info info{};
        const void* base = dladdr(anchor->syncCounter, &info) != 0 ? info.dli_fbase : nullptr;
        byAddress.emplace(anchor->syncCounter, base);
      }
    }
  }
  int32_t counter =
      anchor->syncCounter != nullptr ? std::atomic_ref<int32_t>(*anchor->syncCounter).load() : 0;
  std::atomic_ref<int32_t>(anchor->cachedFlags).store(mask);
  std::atomic_ref<int32_t>(anchor->cachedCounter).store(counter);
  return mask;
}

extern "C" void RAS1_Event(void* anchorAddress, int32_t line, int32_t kind, ...) {
  auto* anchor = static_cast<RAS1_Anchor*>(anchorAddress);
  std::string text;
  switch (kind) {
    case kEventEntry:
      text = "entry";
      break;
    case kEventExitStatus: {
      va_list args;
      va_start(args, kind);
      int32_t status = va_arg(args, int32_t);
      va_end(args);
      text = "exit status=" + std::to_string(status);
      break;
    }
    case kEventExit:
      text = "exit";
      break;
    default:
      text = "event kind=" + std::to_string(kind);
      break;
  }
  traceLine(anchor, text, line);
}

extern "C" void RAS1_Printf(void* anchorAddress, int32_t line, const char* format, ...) {
  auto* anchor = static_cast<RAS1_Anchor*>(anchorAddress);
  // Formatted on the stack; a longer text in a string of its own.
  char buffer[512];
  std::string_view text;
  std::string longText;
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buffer) {
      text = std::string_view(buffer, static_cast<size_t>(n));
    } else if (n >= 0) {
      longText.resize(static_cast<size_t>(n) + 1);
      std::vsnprintf(longText.data(), longText.size(), format, again);
      longText.resize(static_cast<size_t>(n));
      text = longText;
    }
    va_end(again);
  }
  traceLine(anchor, stripNewline(text), line);
}
