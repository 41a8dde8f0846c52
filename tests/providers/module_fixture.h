// ModuleFixture: a module's request driven through the host core, with the
// member tables as data/schema.sql declares them and the outcome kept as a
// text golden that a reviewer reads as the module's behaviour.
//
//   class GoaaScenario : public vxrtest::ModuleFixture {
//    protected:
//     GoaaScenario() : ModuleFixture(kGoaaTable, "VXR.LGOAACT") {}
//   };
//   TEST_F(GoaaScenario, DatabaseFilter) {
//     member(1, {{{"JTPDB", "DB1"}, {"JTPGETP", 100}}, {{"JTPDB", "DB2"}}});
//     member(2, {{{"JTPDB", "DB1"}, {"JTPGETP", 300}}});
//     run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}});
//     expectGolden("database-filter");
//   }
//
// - member(n, rows) adds member agent n: node-status row with thru node
//   THRUn and origin node origin(n) ("WNRX4:RXAn:SYSA"); its member table
//   answers every query routed AT THRUn. Members added later are queried
//   first. Each row names only the columns it sets; the others take
//   defaults(): ORIGINNODE origin(n), RX4ID "RXAn", SYSID "SYSA", and what
//   the test class put into defaults_; else blank or 0 as in the schema.
//   The columns are the member table's, in schema order (the SELECT lists
//   follow it); a Reach given to member() changes the thru node, route,
//   origin node or answer columns. alsoRows() scripts a further member
//   table on the same route (served to the texts that name it).
// - run(filters) runs one request; the result stays in result_.
// - expectGolden(name) compares the last run, rendered as text (filters,
//   statuses, every SQL text, every row field by field, the module unit's
//   detail trace lines with addresses and storage sizes masked), with
//   tests/providers/golden/<module>/<name>.txt. VXRHOST_UPDATE_GOLDEN=1
//   writes the file instead.
// - rows<Row>() decodes the rows for assertions in code.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "vxr/rows.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace vxrtest {

struct SchemaColumn {
  std::string name;
  bool integer = false;
  int width = 0;
};

// The tables of data/schema.sql: name -> columns in declaration order.
inline const std::map<std::string, std::vector<SchemaColumn>>& schemaTables() {
  static const auto tables = [] {
    std::map<std::string, std::vector<SchemaColumn>> result;
    std::ifstream in(VXR_SOURCE_DIR "/data/schema.sql");
    std::string line;
    std::vector<SchemaColumn>* table = nullptr;
    const std::regex create(R"re(^CREATE TABLE "([^"]+)" \()re");
    const std::regex column(R"(^\s+([A-Z0-9_]+)\s+(CHAR\((\d+)\)|INTEGER))");
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, create)) {
        table = &result[m[1]];
      } else if (table && line.rfind(");", 0) == 0) {
        table = nullptr;
      } else if (table && std::regex_search(line, m, column)) {
        const bool integer = m[2] == "INTEGER";
        table->push_back({m[1], integer, integer ? 4 : std::stoi(m[3])});
      }
    }
    return result;
  }();
  return tables;
}

inline const std::vector<SchemaColumn>& schemaColumns(const std::string& table) {
  static const std::vector<SchemaColumn> none;
  auto it = schemaTables().find(table);
  if (it == schemaTables().end()) {
    ADD_FAILURE() << table << " is not in data/schema.sql";
    return none;
  }
  return it->second;
}

// A cell given by the test: text for CHAR columns, a number for INTEGER.
using Value = std::variant<std::string, int32_t>;
struct Cell {
  std::string column;
  Value value;
  Cell(std::string c, const char* v) : column(std::move(c)), value(std::string(v)) {}
  Cell(std::string c, std::string v) : column(std::move(c)), value(std::move(v)) {}
  Cell(std::string c, int32_t v) : column(std::move(c)), value(v) {}
};
using Row = std::vector<Cell>;

// How member() reaches a member when not as THRUn / origin(n).
struct Reach {
  std::string thru = "";                  // the node-status row's thru node (default THRUn)
  std::string route = "";                 // the store's route for it (default: thru)
  std::string origin = "";                // origin node (default origin(n))
  std::vector<std::string> columns = {};  // answer columns (default: the table's)
  std::string version = "04.20.00";       // the agent's version in its node-status row
};

class ModuleFixture : public ::testing::Test {
 protected:
  ModuleFixture(const vxr::TableInfo& table, std::string memberTable)
      : table_(table), memberTable_(std::move(memberTable)) {
    std::string lower = table.module;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    goldenDir_ = std::string(VXR_SOURCE_DIR) + "/tests/providers/golden/" + lower;
    vxrhost::ScriptedStore::Script& nodes = store_.route("");
    for (const char* name : {"THRUNODE", "ORIGINNODE", "VERSION"}) {
      for (const SchemaColumn& c : schemaColumns("Q7SRV.INODESTS")) {
        if (c.name == name) nodes.charColumn(c.name, c.width);
      }
    }
    host_ = std::make_unique<vxrhost::Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + table.module + ".so");
    host_->setTraceLevel(table.module, 0x01);
  }

  static std::string origin(int n) { return "WNRX4:RXA" + std::to_string(n) + ":SYSA"; }

  // Member agent n with its member-table rows.
  vxrhost::ScriptedStore::Script& member(int n, const std::vector<Row>& rows, Reach reach = {}) {
    complete(n, reach);
    store_.route("").row({vxrhost::charCell(reach.thru, 32), vxrhost::charCell(reach.origin, 32),
                          vxrhost::charCell(reach.version, 8)});
    return scripted(store_.route(reach.route), memberTable_, n, rows, reach);
  }

  // Rows of a further member table of member n (added with member()): they
  // answer the texts on its route that name the table.
  vxrhost::ScriptedStore::Script& alsoRows(int n, const std::string& table,
                                           const std::vector<Row>& rows, Reach reach = {}) {
    complete(n, reach);
    return scripted(store_.route(reach.route, "FROM " + table), table, n, rows, reach);
  }

  // The cells member() would script for `row` of member n.
  std::vector<std::string> memberCells(int n, const Row& row, Reach reach = {}) const {
    complete(n, reach);
    return cells(n, reach.origin, memberTable_, schemaColumns(memberTable_), row);
  }

  // The SQL texts of the last run that name the member table.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find(memberTable_) != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  vxrhost::RunResult& run(const std::vector<vxrhost::Filter>& filters = {},
                          const vxrhost::RunOptions& options = {}) {
    host_->clearSqlTexts();
    host_->clearTrace();
    filters_ = filters;
    result_ = host_->run(*module_, table_.name, filters, table_.rowSize, options);
    return result_;
  }

  template <typename R>
  std::vector<R> rows() const {
    std::vector<R> out;
    for (size_t i = 0; i < result_.rows.size(); ++i) out.push_back(result_.row<R>(i));
    return out;
  }

  // The last run as text.
  std::string rendered() const {
    std::ostringstream out;
    out << "filters:";
    for (const vxrhost::Filter& f : filters_)
      out << " " << f.op << " " << f.column << "='" << f.value << "'";
    out << "\nstatuses: start " << result_.startStatus << ", process";
    for (int32_t s : result_.processStatuses) out << " " << s;
    out << ", terminate " << result_.terminateStatus << "\nsql:\n";
    for (const std::string& text : host_->sqlTexts()) out << "  " << text << "\n";
    out << "rows: " << result_.rows.size() << "\n";
    for (const std::string& row : result_.rows) out << "  " << renderRow(row) << "\n";
    out << "trace:\n";
    // Addresses and the work area's size differ between builds.
    const std::regex address(R"(\b(Anchor|link|storage) at +[0-9A-Fa-f]+\b)");
    const std::regex size(R"(of size \d+)");
    for (const vxrhost::TraceLine& line : host_->traceLines()) {
      if (line.unit != table_.module) continue;
      const std::string text = std::regex_replace(line.text, address, "$1 at <address>");
      out << "  " << line.function << ": " << std::regex_replace(text, size, "of size <size>")
          << "\n";
    }
    return out.str();
  }

  void expectGolden(const std::string& name) const {
    const std::string path = goldenDir_ + "/" + name + ".txt";
    const std::string actual = rendered();
    if (std::getenv("VXRHOST_UPDATE_GOLDEN") != nullptr) {
      std::filesystem::create_directories(goldenDir_);
      std::ofstream(path, std::ios::binary) << actual;
      return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path << " is missing: run with VXRHOST_UPDATE_GOLDEN=1";
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "golden " << path;
  }

  std::map<std::string, Value> defaults_;
  vxrhost::ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* module_ = nullptr;
  vxrhost::RunResult result_;

 private:
  void complete(int n, Reach& reach) const {
    if (reach.thru.empty()) reach.thru = "THRU" + std::to_string(n);
    if (reach.route.empty()) reach.route = reach.thru;
    if (reach.origin.empty()) reach.origin = origin(n);
  }

  vxrhost::ScriptedStore::Script& scripted(vxrhost::ScriptedStore::Script& script,
                                           const std::string& table, int n,
                                           const std::vector<Row>& rows, const Reach& reach) {
    std::vector<SchemaColumn> cols;
    for (const SchemaColumn& c : schemaColumns(table)) {
      if (reach.columns.empty()) cols.push_back(c);
    }
    for (const std::string& name : reach.columns) {
      for (const SchemaColumn& c : schemaColumns(table)) {
        if (c.name == name) cols.push_back(c);
      }
    }
    for (const SchemaColumn& c : cols) {
      if (c.integer) {
        script.intColumn(c.name);
      } else {
        script.charColumn(c.name, c.width);
      }
    }
    for (const Row& row : rows) script.row(cells(n, reach.origin, table, cols, row));
    return script;
  }

  std::vector<std::string> cells(int n, const std::string& originNode, const std::string& table,
                                 const std::vector<SchemaColumn>& cols, const Row& row) const {
    std::map<std::string, Value> values = {{"ORIGINNODE", originNode},
                                           {"RX4ID", "RXA" + std::to_string(n)},
                                           {"SYSID", std::string("SYSA")}};
    for (const auto& [column, value] : defaults_) values[column] = value;
    for (const Cell& cell : row) {
      bool known = false;
      for (const SchemaColumn& c : cols) known = known || c.name == cell.column;
      EXPECT_TRUE(known) << cell.column << " is not a column of " << table;
      values[cell.column] = cell.value;
    }
    std::vector<std::string> out;
    for (const SchemaColumn& c : cols) {
      auto it = values.find(c.name);
      if (c.integer) {
        out.push_back(vxrhost::intCell(it == values.end() ? 0 : std::get<int32_t>(it->second)));
      } else {
        out.push_back(vxrhost::charCell(it == values.end() ? "" : std::get<std::string>(it->second),
                                        static_cast<size_t>(c.width)));
      }
    }
    return out;
  }

  std::string renderRow(const std::string& row) const {
    std::ostringstream out;
    for (const vxr::ColumnField& f : table_.layout) {
      if (f.type == vxr::FieldType::Padding) continue;
      out << (&f == table_.layout.data() ? "" : " ") << f.name << "=";
      if (f.type == vxr::FieldType::Int32) {
        int32_t v;
        std::memcpy(&v, row.data() + f.offset, 4);
        out << v;
      } else {
        std::string text = row.substr(f.offset, f.width);
        text.erase(text.find_last_not_of(' ') + 1);
        out << "'" << text << "'";
      }
    }
    return out.str();
  }

  const vxr::TableInfo& table_;
  std::string memberTable_;
  std::string goldenDir_;
  std::vector<vxrhost::Filter> filters_;
};

}  // namespace vxrtest
