// Member agents for module tests, scripted from data/schema.sql: a member
// answers its module's SELECT with the columns the SELECT names, typed and
// sized as the member table declares them; rows are given by column name
// (columns left out are blank or 0).
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

using MemberRow = std::map<std::string, std::string>;

struct SchemaColumn {
  bool isChar = true;
  int width = 4;
};

// The columns of a member table ("VXR.LGB_POOL") as data/schema.sql declares them.
inline std::map<std::string, SchemaColumn> schemaColumns(const std::string& table) {
  std::ifstream in(VXR_SOURCE_DIR "/data/schema.sql");
  std::map<std::string, SchemaColumn> columns;
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
    if (type.rfind("CHAR(", 0) == 0) {
      columns[name] = {true, std::stoi(type.substr(5))};
    } else if (type.rfind("INTEGER", 0) == 0) {
      columns[name] = {false, 4};
    }
  }
  return columns;
}

// The column names of a SELECT list.
inline std::vector<std::string> selectColumns(const std::string& select) {
  std::vector<std::string> names;
  std::istringstream list(select.substr(select.find(' ') + 1));
  std::string name;
  while (std::getline(list, name, ',')) names.push_back(name);
  return names;
}

class MemberFixture : public ::testing::Test {
 protected:
  MemberFixture(std::string module, std::string table, std::string select)
      : module_name_(std::move(module)),
        table_(std::move(table)),
        select_(std::move(select)),
        columns_(schemaColumns(table_)) {}

  void SetUp() override {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module_name_ + ".so");
  }

  // Member n: origin node WNRX4:Mn reached through THRUn, answering with
  // `rows` (and delivering `dropColumns` columns fewer than asked for).
  // Members added later are queried first (newest node first).
  vxrhost::ScriptedStore::Script& member(int n, const std::vector<MemberRow>& rows,
                                         int dropColumns = 0) {
    const std::string thru = "THRU" + std::to_string(n);
    const std::string origin = "WNRX4:M" + std::to_string(n);
    store_.route("").row({vxrhost::charCell(thru, 32), vxrhost::charCell(origin, 32),
                          vxrhost::charCell("04.20.00", 8)});
    vxrhost::ScriptedStore::Script& script = store_.route(thru);
    std::vector<std::string> names = selectColumns(select_);
    names.resize(names.size() - static_cast<size_t>(dropColumns));
    for (const std::string& name : names) {
      const SchemaColumn& c = columns_.at(name);
      if (c.isChar) {
        script.charColumn(name, c.width);
      } else {
        script.intColumn(name);
      }
    }
    for (MemberRow row : rows) {
      if (!row.count("ORIGINNODE")) row["ORIGINNODE"] = origin;
      std::vector<std::string> cells;
      for (const std::string& name : names) {
        const SchemaColumn& c = columns_.at(name);
        const std::string value = row.count(name) ? row.at(name) : "";
        cells.push_back(c.isChar ? vxrhost::charCell(value, static_cast<size_t>(c.width))
                                 : vxrhost::intCell(value.empty() ? 0 : std::stoi(value)));
      }
      script.row(cells);
    }
    return script;
  }

  vxrhost::RunResult run(const std::vector<vxrhost::Filter>& filters, size_t rowSize) {
    host_->clearSqlTexts();
    return host_->run(*module_, module_name_, filters, rowSize);
  }

  // The member queries of the last run, in the order sent.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find("FROM " + table_) != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  // A failing member, then a member that delivers a column fewer: every
  // row is withheld (62), though the other members are still queried.
  void expectFailuresWithholdEveryRow(const MemberRow& row, size_t rowSize) {
    const int columns = static_cast<int>(selectColumns(select_).size());
    member(1, {row});
    member(2, {row}).failOpen(240);
    vxrhost::RunResult result = run({}, rowSize);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
    EXPECT_EQ(memberSql().size(), 2u);
    store_.route("THRU2").failOpen(0);
    member(3, {row}, 1);
    result = run({}, rowSize);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
    EXPECT_TRUE(host_->traceContains("Count of colums (" + std::to_string(columns) +
                                     ") are not equal to SQLDA columns (" +
                                     std::to_string(columns - 1) + ")"));
  }

  // One member row under `filters` at every trace level: the work area
  // (eye-catcher, and its size on 32-bit targets) and the lines written.
  void expectWorkAreaAndTrace(const MemberRow& row, const std::vector<vxrhost::Filter>& filters,
                              size_t rowSize, const std::string& eyeCatcher, int32_t size,
                              const std::vector<std::string>& lines) {
    host_->setTraceLevel(module_name_, 0xFF);
    member(1, {row});
    const vxrhost::RunResult result = run(filters, rowSize);
    EXPECT_EQ(result.rows.size(), 1u);
    if (sizeof(void*) == 4) {
      EXPECT_EQ(result.storageSizes, std::vector<int32_t>{size});
    }
    EXPECT_EQ(result.workAreaBytes.substr(0, 8), eyeCatcher);
    for (const std::string& line : lines) EXPECT_TRUE(host_->traceContains(line)) << line;
    EXPECT_FALSE(host_->traceContains("EOD with"));  // no end-of-data line
  }

  std::string module_name_, table_, select_;
  std::map<std::string, SchemaColumn> columns_;
  vxrhost::ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* module_ = nullptr;
};

template <size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, N);
}

}  // namespace vxrtest
