#include "output.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>

#include "failure.h"

namespace vxrhost::cli {

std::optional<Format> parseFormat(std::string_view name) {
  if (name == "table") return Format::Table;
  if (name == "csv") return Format::Csv;
  if (name == "json") return Format::Json;
  return std::nullopt;
}

namespace {

// The reason of the first failed write of the rows, kept when it happens:
// the stream fails for good then, and a later flush only says EIO.
int g_writeErrno = 0;

void checkWrite(const std::ostream& out) {
  if (!out && g_writeErrno == 0) g_writeErrno = errno != 0 ? errno : EIO;
}

// The bytes that make a CSV field quoted: comma, quote, CR and LF.
constexpr auto kQuoted = [] {
  std::array<bool, 256> quoted{};
  for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
  return quoted;
}();

// Eight bytes at a time: a word holds a byte equal to c when the word
// xor'ed with c in every byte has a zero byte.
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr bool hasByte(uint64_t word, unsigned char c) {
  const uint64_t x = word ^ (kOnes * c);
  return ((x - kOnes) & ~x & (kOnes << 7)) != 0;
}

bool needsQuotes(std::string_view text) {
  size_t i = 0;
  for (uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (hasByte(word, ',') || hasByte(word, '"') || hasByte(word, '\r') || hasByte(word, '\n'))
      return true;
  }
  for (; i < text.size(); ++i) {
    if (kQuoted[static_cast<unsigned char>(text[i])]) return true;
  }
  return false;
}

void appendCsvField(std::string& line, std::string_view text) {
  if (!needsQuotes(text)) {
    line += text;
    return;
  }
  line += '"';
  for (char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// A value's text, or nothing for an integer.
const std::string* textOf(const CatalogValue& value) {
  return std::get_if<std::string>(&value);
}
const std::string_view* textOf(const FieldView& value) {
  return std::get_if<std::string_view>(&value);
}

template <class Value>
void appendCsvValue(std::string& line, const Value& value) {
  if (const auto* text = textOf(value)) {
    appendCsvField(line, *text);
    return;
  }
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, std::get<int32_t>(value));
  line.append(digits, static_cast<size_t>(end - digits));
}

}  // namespace

std::string csvField(std::string_view text) {
  std::string field;
  appendCsvField(field, text);
  return field;
}

RowStream::RowStream(std::ostream& out, const std::vector<OutputColumn>& columns, Format format)
    : out_(out), columns_(columns), format_(format) {}

template <class Value>
void RowStream::print(const std::vector<Value>& values) {
  if (rows_++ == 0) begin();
  if (!out_) return;
  if (format_ == Format::Csv) {
    line_.clear();
    for (size_t c = 0; c < values.size(); ++c) {
      if (c > 0) line_ += ',';
      appendCsvValue(line_, values[c]);
    }
    line_ += "\r\n";
    out_ << line_;
    checkWrite(out_);
    return;
  }
  // One object per row, each printed as nlohmann's indented dump of the
  // whole array would print it.
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (size_t c = 0; c < columns_.size() && c < values.size(); ++c) {
    if (const auto* text = textOf(values[c])) {
      object[columns_[c].name] = std::string(*text);
    } else {
      object[columns_[c].name] = std::get<int32_t>(values[c]);
    }
  }
  std::string text = object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  line_.assign(rows_ > 1 ? ",\n  " : "  ");
  for (char ch : text) {
    line_ += ch;
    if (ch == '\n') line_ += "  ";
  }
  out_ << line_;
  checkWrite(out_);
}

void RowStream::row(const std::vector<CatalogValue>& values) {
  print(values);
}
void RowStream::row(const std::vector<FieldView>& values) {
  print(values);
}

void RowStream::row(const CatalogTable& table, std::string_view row) {
  if (format_ != Format::Csv || row.size() != table.rowSize) {
    viewRow(table, row, views_);  // refuses a row of the wrong size
    print(views_);
    return;
  }
  if (rows_++ == 0) begin();
  if (!out_) return;
  line_.clear();
  bool first = true;
  for (const vxr::ColumnField& field : table.layout) {
    if (field.type == vxr::FieldType::Padding) continue;
    if (!first) line_ += ',';
    first = false;
    appendCsvValue(line_, viewField(field, row));
  }
  line_ += "\r\n";
  out_ << line_;
  checkWrite(out_);
}

void RowStream::begin() {
  if (format_ == Format::Csv) {
    line_.clear();
    for (size_t c = 0; c < columns_.size(); ++c) {
      if (c > 0) line_ += ',';
      appendCsvField(line_, columns_[c].name);
    }
    out_ << line_ << "\r\n";
  } else {
    out_ << "[\n";
  }
}

void RowStream::finish() {
  if (format_ == Format::Csv) {
    if (rows_ == 0) begin();
  } else {
    out_ << (rows_ == 0 ? "[]\n" : "\n]\n");
  }
}

namespace {
// About 256 kB of rows go to the writer at a time: handing a chunk over
// costs little against printing it. The module waits once four wait.
constexpr size_t kChunkBytes = size_t{256} << 10;
constexpr size_t kChunksQueued = 4;
}  // namespace

RowWriter::RowWriter(RowStream& stream, const CatalogTable& table)
    : stream_(stream), table_(table) {
  chunk_.reserve(kChunkBytes + table.rowSize);
}

RowWriter::~RowWriter() {
  stopped_ = true;  // left without finish(): a failure is on its way out
  stopWriter();
}

void RowWriter::stopWriter() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

void RowWriter::print(const std::string& chunk) {
  const size_t size = table_.rowSize;
  for (size_t at = 0; at + size <= chunk.size(); at += size) {
    if (!stream_.good()) {
      stopped_ = true;
      return;
    }
    stream_.row(table_, std::string_view(chunk).substr(at, size));
  }
}

void RowWriter::add(std::string_view row) {
  if (refused_ || stopped_.load(std::memory_order_relaxed)) return;
  // Called inside the module's process call: nothing may unwind from here.
  try {
    if (row.size() != table_.rowSize) {
      std::vector<FieldView> values;
      viewRow(table_, row, values);  // refuses it, with the reason
    }
    chunk_.append(row);
    if (chunk_.size() >= kChunkBytes) handOver();
  } catch (...) {
    refused_ = true;
    addFailure_ = std::current_exception();
  }
}

void RowWriter::handOver() {
  std::string next;
  {
    std::unique_lock lock(mutex_);
    if (!writer_.joinable()) writer_ = std::thread([this] { run(); });
    changed_.wait(lock, [&] { return queue_.size() < kChunksQueued; });
    queue_.push_back(std::move(chunk_));
    if (!spare_.empty()) {
      next = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  changed_.notify_all();
  next.clear();
  next.reserve(kChunkBytes + table_.rowSize);
  chunk_ = std::move(next);
}

void RowWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::string chunk = std::move(queue_.front());
    queue_.erase(queue_.begin());
    lock.unlock();
    changed_.notify_all();
    if (!stopped_) {
      try {
        print(chunk);
      } catch (...) {
        failure_ = std::current_exception();
        stopped_ = true;
      }
    }
    lock.lock();
    spare_.push_back(std::move(chunk));
  }
}

void RowWriter::finish() {
  stopWriter();
  if (failure_) std::rethrow_exception(failure_);
  if (!stopped_) print(chunk_);
  chunk_.clear();
  if (addFailure_) std::rethrow_exception(addFailure_);
}

namespace {

// Text for the aligned table: control characters shown as '?'.
std::string printable(std::string text) {
  for (char& c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = '?';
  }
  return text;
}

// Columns a text takes on a terminal: UTF-8 characters by their width (two
// for the wide East Asian ranges, none for combining marks); a byte that is
// not part of a valid character (a CHAR value cut inside one) counts one.
size_t displayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    auto u = static_cast<unsigned char>(text[i]);
    size_t length = u < 0x80 ? 1 : (u >> 5) == 6 ? 2 : (u >> 4) == 14 ? 3 : (u >> 3) == 30 ? 4 : 0;
    uint32_t code = length == 1 ? u : length == 2 ? u & 0x1f : length == 3 ? u & 0x0f : u & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      auto c = static_cast<unsigned char>(text[i + k]);
      valid = (c & 0xc0) == 0x80;
      code = code << 6 | (c & 0x3f);
    }
    if (!valid) {
      ++width;
      ++i;
      continue;
    }
    i += length;
    if ((code >= 0x300 && code <= 0x36f) || (code >= 0x200b && code <= 0x200f)) continue;
    bool wide = (code >= 0x1100 && code <= 0x115f) || (code >= 0x2e80 && code <= 0xa4cf) ||
                (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff) ||
                (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60) ||
                (code >= 0xffe0 && code <= 0xffe6) || (code >= 0x1f300 && code <= 0x1faff) ||
                (code >= 0x20000 && code <= 0x3fffd);
    width += wide ? 2 : 1;
  }
  return width;
}

void printAligned(std::ostream& out, const std::vector<OutputColumn>& columns,
                  const RowSource& rows) {
  const size_t n = columns.size();
  std::vector<size_t> widths(n);
  for (size_t c = 0; c < n; ++c) widths[c] = displayWidth(columns[c].name);
  std::vector<CatalogValue> values;
  std::vector<std::string> cells(n);
  std::vector<size_t> cellWidths(n);
  auto render = [&](size_t i) {
    values.clear();
    rows.row(i, values);
    for (size_t c = 0; c < n; ++c) {
      cells[c] = c < values.size() ? printable(valueText(values[c])) : "";
      cellWidths[c] = displayWidth(cells[c]);
    }
  };
  for (size_t i = 0; i < rows.count; ++i) {
    render(i);
    for (size_t c = 0; c < n; ++c) widths[c] = std::max(widths[c], cellWidths[c]);
  }
  std::string line;
  auto emit = [&] {
    line.clear();
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) line += "  ";
      size_t pad = widths[c] - cellWidths[c];
      if (columns[c].numeric) line.append(pad, ' ');
      line += cells[c];
      if (!columns[c].numeric) line.append(pad, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    out << line;
    checkWrite(out);
  };
  for (size_t c = 0; c < n; ++c) {
    cells[c] = columns[c].name;
    cellWidths[c] = displayWidth(cells[c]);
  }
  emit();
  for (size_t i = 0; i < rows.count && out; ++i) {
    render(i);
    emit();
  }
}

void printStreamed(std::ostream& out, const std::vector<OutputColumn>& columns,
                   const RowSource& rows, Format format) {
  RowStream stream(out, columns, format);
  std::vector<CatalogValue> values;
  for (size_t i = 0; i < rows.count && out; ++i) {
    values.clear();
    rows.row(i, values);
    stream.row(values);
  }
  stream.finish();
}

}  // namespace

void printOutput(std::ostream& out, const std::vector<OutputColumn>& columns, const RowSource& rows,
                 Format format) {
  switch (format) {
    case Format::Table:
      printAligned(out, columns, rows);
      break;
    case Format::Csv:
    case Format::Json:
      printStreamed(out, columns, rows, format);
      break;
  }
}

void printOutput(std::ostream& out, const OutputTable& table, Format format) {
  RowSource source{table.rows.size(),
                   [&](size_t i, std::vector<CatalogValue>& values) { values = table.rows[i]; }};
  printOutput(out, table.columns, source, format);
}

namespace {
bool g_closed = false;
}  // namespace

bool outputClosed() {
  return g_closed;
}

void finishOutput() {
  // std::cout writes through stdout's buffer; a failure on the way leaves
  // the stream failed and stdout in error, and flushing again gives errno.
  errno = 0;
  bool failed = !std::cout.flush() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  int why = g_writeErrno != 0 ? g_writeErrno : errno;
  if (!failed) {
    errno = 0;
    g_closed = true;
    failed = std::fclose(stdout) != 0;
    why = errno;
  }
  if (failed) {
    throw Failure{kExitOutput,
                  std::string("cannot write output: ") + std::strerror(why != 0 ? why : EIO)};
  }
}

}  // namespace vxrhost::cli
