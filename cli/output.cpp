#include "output.h"

#include <algorithm>
#include <cerrno>
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

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

namespace {

// Text for the aligned table: one character per byte, so that widths hold.
std::string printable(std::string text) {
  for (char& c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = '?';
  }
  return text;
}

void printAligned(std::ostream& out, const std::vector<OutputColumn>& columns,
                  const RowSource& rows) {
  const size_t n = columns.size();
  std::vector<size_t> widths(n);
  for (size_t c = 0; c < n; ++c) widths[c] = columns[c].name.size();
  std::vector<CatalogValue> values;
  std::vector<std::string> cells(n);
  auto render = [&](size_t i) {
    values.clear();
    rows.row(i, values);
    for (size_t c = 0; c < n; ++c)
      cells[c] = c < values.size() ? printable(valueText(values[c])) : "";
  };
  for (size_t i = 0; i < rows.count; ++i) {
    render(i);
    for (size_t c = 0; c < n; ++c) widths[c] = std::max(widths[c], cells[c].size());
  }
  std::string line;
  auto emit = [&] {
    line.clear();
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) line += "  ";
      size_t pad = widths[c] - cells[c].size();
      if (columns[c].numeric) line.append(pad, ' ');
      line += cells[c];
      if (!columns[c].numeric) line.append(pad, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    out << line;
  };
  for (size_t c = 0; c < n; ++c) cells[c] = columns[c].name;
  emit();
  for (size_t i = 0; i < rows.count && out; ++i) {
    render(i);
    emit();
  }
}

void printCsv(std::ostream& out, const std::vector<OutputColumn>& columns, const RowSource& rows) {
  std::string line;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) line += ',';
    line += csvField(columns[c].name);
  }
  out << line << "\r\n";
  std::vector<CatalogValue> values;
  for (size_t i = 0; i < rows.count && out; ++i) {
    values.clear();
    rows.row(i, values);
    line.clear();
    for (size_t c = 0; c < values.size(); ++c) {
      if (c > 0) line += ',';
      line += csvField(valueText(values[c]));
    }
    out << line << "\r\n";
  }
}

// One object per row, each printed as nlohmann's indented dump of the whole
// array would print it.
void printJson(std::ostream& out, const std::vector<OutputColumn>& columns, const RowSource& rows) {
  if (rows.count == 0) {
    out << "[]\n";
    return;
  }
  out << "[\n";
  std::vector<CatalogValue> values;
  for (size_t i = 0; i < rows.count && out; ++i) {
    values.clear();
    rows.row(i, values);
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (size_t c = 0; c < columns.size() && c < values.size(); ++c) {
      if (const auto* text = std::get_if<std::string>(&values[c])) {
        object[columns[c].name] = *text;
      } else {
        object[columns[c].name] = std::get<int32_t>(values[c]);
      }
    }
    std::string text = object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::string indented = "  ";
    for (char ch : text) {
      indented += ch;
      if (ch == '\n') indented += "  ";
    }
    out << indented << (i + 1 < rows.count ? ",\n" : "\n");
  }
  out << "]\n";
}

}  // namespace

void printOutput(std::ostream& out, const std::vector<OutputColumn>& columns, const RowSource& rows,
                 Format format) {
  switch (format) {
    case Format::Table:
      printAligned(out, columns, rows);
      break;
    case Format::Csv:
      printCsv(out, columns, rows);
      break;
    case Format::Json:
      printJson(out, columns, rows);
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
  int why = errno;
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
