// A fixture for the listing tables: member agents answering a module through
// the host core, each with its version, delivering the first columns of its
// member table (data/schema.sql) with rows given by column name.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace member_rows {

using Row = std::map<std::string, std::string>;  // column -> value (integers in decimal)

struct Column {
  std::string name;
  bool integer;
  int width;
};

// The columns of `table` ("VXR.RX4LKCONF") in data/schema.sql, in order.
inline std::vector<Column> schemaColumns(const std::string& table) {
  std::ifstream in(VXR_SOURCE_DIR "/data/schema.sql");
  std::string line;
  std::vector<Column> columns;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!inside) {
      inside = line.find("CREATE TABLE \"" + table + "\"") != std::string::npos;
      continue;
    }
    if (line.rfind(");", 0) == 0) break;
    std::istringstream words(line);
    std::string name, type;
    words >> name >> type;
    if (type.rfind("CHAR(", 0) == 0) {
      columns.push_back({name, false, std::stoi(type.substr(5))});
    } else if (type == "INTEGER") {
      columns.push_back({name, true, 4});
    }
  }
  return columns;
}

template <size_t N>
std::string field(const char (&data)[N]) {
  return std::string(data, N);
}
// `text` followed by zero bytes up to `width`.
inline std::string zeroed(const std::string& text, size_t width) {
  std::string out = text;
  out.resize(width, '\0');
  return out;
}
inline std::string padded(const std::string& text, size_t width) {
  return vxrhost::charCell(text, width);
}

class Fixture : public ::testing::Test {
 protected:
  Fixture(const char* module, const char* table, size_t rowSize)
      : table_(table), columns_(schemaColumns(table)), rowSize_(rowSize) {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module + ".so");
  }

  // A member agent reached through `thru`, with `origin` and `version`,
  // answering with the first `count` columns of the member table (character
  // columns as wide as the schema says, or as `widths` says). Members added
  // later are queried first.
  vxrhost::ScriptedStore::Script& member(const std::string& thru, const std::string& origin,
                                         const std::string& version, size_t count,
                                         const std::vector<Row>& rows,
                                         const std::map<std::string, int>& widths = {}) {
    std::vector<Column> columns(columns_.begin(), columns_.begin() + static_cast<long>(count));
    for (Column& column : columns) {
      if (auto it = widths.find(column.name); it != widths.end()) column.width = it->second;
    }
    store_.route("").row({padded(thru, 32), padded(origin, 32), padded(version, 8)});
    vxrhost::ScriptedStore::Script& script = store_.route(thru, "ORIGINNODE ='" + origin);
    for (const Column& column : columns) {
      if (column.integer) {
        script.intColumn(column.name);
      } else {
        script.charColumn(column.name, column.width);
      }
    }
    for (const Row& row : rows) {
      std::vector<std::string> cells;
      for (const Column& column : columns) {
        auto it = row.find(column.name);
        std::string value = it == row.end() ? "" : it->second;
        if (column.name == "ORIGINNODE" && it == row.end()) value = origin;
        cells.push_back(column.integer ? vxrhost::intCell(value.empty() ? 0 : std::stoi(value))
                                       : padded(value, static_cast<size_t>(column.width)));
      }
      script.row(cells);
    }
    return script;
  }

  vxrhost::RunResult run(const std::vector<vxrhost::Filter>& filters = {}) {
    host_->clearSqlTexts();
    host_->clearTrace();
    return host_->run(*module_, "TABLE", filters, rowSize_);
  }

  template <typename T>
  static std::vector<T> rowsOf(const vxrhost::RunResult& result) {
    std::vector<T> rows;
    for (size_t i = 0; i < result.rows.size(); ++i) rows.push_back(result.row<T>(i));
    return rows;
  }

  // The member queries of the last run, in the order sent.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find(table_) != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  std::string table_;
  std::vector<Column> columns_;
  size_t rowSize_;
  vxrhost::ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* module_ = nullptr;
};

}  // namespace member_rows
