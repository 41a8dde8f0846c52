// A scripted group for module tests: member agents, each with its
// node-status row and its rows of one member table. The table's columns come
// from data/schema.sql; a row gives only the cells it cares about, by column
// name (integers as their decimal text), the rest defaulting to the
// member's own name, system and origin node, blanks or zero.
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

namespace vxrtest {

using Cells = std::map<std::string, std::string>;

struct SchemaColumn {
  std::string name;
  int width;  // 0: INTEGER
};

// The columns of `table` ("VXR.LOBJECTS") as data/schema.sql creates it.
inline std::vector<SchemaColumn> schemaColumns(const std::string& table) {
  std::ifstream in(VXR_SOURCE_DIR "/data/schema.sql");
  std::vector<SchemaColumn> columns;
  std::string line;
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
    if (type.rfind("CHAR(", 0) == 0) columns.push_back({name, std::stoi(type.substr(5))});
    if (type == "INTEGER") columns.push_back({name, 0});
  }
  return columns;
}

class MemberFixture : public ::testing::Test {
 protected:
  MemberFixture(const char* module, std::string table)
      : table_(std::move(table)), columns_(schemaColumns(table_)) {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module + ".so");
  }

  static std::string origin(int n) { return "WNRX4:RX" + std::to_string(n) + ":SYS"; }

  // Member n, reached through THRUn, member RXn on system SYSn. Members
  // added later are queried first (newest node first).
  vxrhost::ScriptedStore::Script& member(int n, const std::vector<Cells>& rows) {
    const std::string thru = "THRU" + std::to_string(n);
    store_.route("").row({vxrhost::charCell(thru, 32), vxrhost::charCell(origin(n), 32),
                          vxrhost::charCell("04.20.00", 8)});
    vxrhost::ScriptedStore::Script& script = store_.route(thru);
    for (const SchemaColumn& c : columns_) {
      if (c.width)
        script.charColumn(c.name, c.width);
      else
        script.intColumn(c.name);
    }
    const Cells defaults = {{"ORIGINNODE", origin(n)},
                            {"RX4ID", "RX" + std::to_string(n)},
                            {"SYSID", "SYS" + std::to_string(n)},
                            {"IDNAME", "GRP1"},
                            {"DSGROUP", "GRP1"},
                            {"TIMESTAMP", "1261208103000000"}};
    for (const Cells& given : rows) {
      std::vector<std::string> cells;
      for (const SchemaColumn& c : columns_) {
        std::string text;
        if (auto it = given.find(c.name); it != given.end())
          text = it->second;
        else if (auto d = defaults.find(c.name); d != defaults.end())
          text = d->second;
        cells.push_back(c.width ? vxrhost::charCell(text, c.width)
                                : vxrhost::intCell(text.empty() ? 0 : std::stoi(text)));
      }
      script.row(cells);
    }
    return script;
  }

  vxrhost::RunResult run(const std::string& table, const std::vector<vxrhost::Filter>& filters,
                         size_t rowSize) {
    host_->clearSqlTexts();
    return host_->run(*module_, table, filters, rowSize);
  }

  // The member queries of the last run, in the order sent, each cut to
  // what follows its origin-node condition.
  std::vector<std::string> conditions() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find("FROM " + table_) == std::string::npos) continue;
      const size_t at = text.find("WHERE ORIGINNODE ='");
      const size_t end = text.find('\'', at + 19);
      texts.push_back(text.substr(end + 1));
    }
    return texts;
  }
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts())
      if (text.find("FROM " + table_) != std::string::npos) texts.push_back(text);
    return texts;
  }

  std::string table_;
  std::vector<SchemaColumn> columns_;
  vxrhost::ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* module_ = nullptr;
};

template <size_t N>
std::string text(const char (&field)[N]) {
  const std::string s(field, N);
  return s.substr(0, s.find_last_not_of(' ') + 1);
}

}  // namespace vxrtest
