#include "output.h"

#include <algorithm>
#include <nlohmann/json.hpp>

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

void printAligned(std::ostream& out, const OutputTable& table) {
  const size_t n = table.columns.size();
  std::vector<std::vector<std::string>> cells;
  cells.reserve(table.rows.size());
  std::vector<size_t> widths(n);
  for (size_t c = 0; c < n; ++c) widths[c] = table.columns[c].name.size();
  for (const auto& row : table.rows) {
    auto& line = cells.emplace_back();
    for (size_t c = 0; c < n; ++c) {
      line.push_back(c < row.size() ? printable(valueText(row[c])) : std::string());
      widths[c] = std::max(widths[c], line.back().size());
    }
  }
  auto emit = [&](const std::vector<std::string>& line) {
    std::string text;
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) text += "  ";
      const std::string& cell = line[c];
      std::string pad(widths[c] - cell.size(), ' ');
      text += table.columns[c].numeric ? pad + cell : cell + pad;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  };
  std::vector<std::string> header;
  for (const auto& column : table.columns) header.push_back(column.name);
  emit(header);
  for (const auto& line : cells) emit(line);
}

void printCsv(std::ostream& out, const OutputTable& table) {
  auto emit = [&](const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) out << (i ? "," : "") << csvField(fields[i]);
    out << "\r\n";
  };
  std::vector<std::string> header;
  for (const auto& column : table.columns) header.push_back(column.name);
  emit(header);
  for (const auto& row : table.rows) {
    std::vector<std::string> fields;
    for (const auto& value : row) fields.push_back(valueText(value));
    emit(fields);
  }
}

void printJson(std::ostream& out, const OutputTable& table) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const auto& row : table.rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (size_t c = 0; c < table.columns.size() && c < row.size(); ++c) {
      if (const auto* text = std::get_if<std::string>(&row[c])) {
        object[table.columns[c].name] = *text;
      } else {
        object[table.columns[c].name] = std::get<int32_t>(row[c]);
      }
    }
    array.push_back(std::move(object));
  }
  out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

void printOutput(std::ostream& out, const OutputTable& table, Format format) {
  switch (format) {
    case Format::Table:
      printAligned(out, table);
      break;
    case Format::Csv:
      printCsv(out, table);
      break;
    case Format::Json:
      printJson(out, table);
      break;
  }
}

}  // namespace vxrhost::cli
