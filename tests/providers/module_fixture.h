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
//   origin node or answer columns (by name, the table's first `count`, a
//   few `drop`ped at the end, CHAR columns delivered narrower). The test
//   class may set answer_ (e.g. from its SELECT list with selectList()) for
//   every member. alsoRows() scripts a further member table on the same
//   route (served to the texts that name it). A Raw cell is delivered as it
//   stands (shorter than its column, for instance).
// - run(filters) runs one request on the current table (use() switches to
//   another table of the module); the result stays in result_.
// - expectGolden(name) compares the last run, rendered as text (filters,
//   statuses, every SQL text, every row field by field, the trace lines of
//   the module's unit -- traceUnit() names another -- with addresses and
//   storage sizes masked), with tests/providers/golden/<module>/<name>.txt.
//   VXRHOST_UPDATE_GOLDEN=1 writes the file instead. expectRunsGolden(name,
//   cases) runs each filter set and keeps its statuses, member queries and
//   rows (and trace lines, if asked) the same way; expectFailureGoldens(row)
//   keeps the two failures every table shares (a member's request not
//   opened, a member answering a column too few). CHAR fields show without
//   trailing blanks, or exactly with their count of trailing zero bytes
//   ('AB  '+6*\0); padding shows only when it is not all zero bytes.
// - rows<Row>() decodes the rows for assertions in code; expectWorkArea()
//   checks the work area's eye-catcher and its size on 32-bit targets.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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

#include "vxr/declaration.h"
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

// A CHAR field of a decoded row, all its bytes.
template <size_t N>
std::string field(const char (&data)[N]) {
  return std::string(data, N);
}

// The column names of a SELECT list ("SELECT A,B, C"), blanks dropped.
inline std::vector<std::string> selectList(const std::string& select) {
  std::vector<std::string> names;
  std::istringstream list(select.substr(select.find(' ') + 1));
  for (std::string name; std::getline(list, name, ',');) {
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    names.push_back(name);
  }
  return names;
}

// Cell bytes delivered as they stand, whatever the column's width.
struct Raw {
  std::string bytes;
};

// A cell given by the test: text for CHAR columns, a number for INTEGER.
using Value = std::variant<std::string, int32_t, Raw>;
struct Cell {
  std::string column;
  Value value;
  Cell(std::string c, const char* v) : column(std::move(c)), value(std::string(v)) {}
  Cell(std::string c, std::string v) : column(std::move(c)), value(std::move(v)) {}
  Cell(std::string c, int32_t v) : column(std::move(c)), value(v) {}
  Cell(std::string c, Raw v) : column(std::move(c)), value(std::move(v)) {}
};
using Row = std::vector<Cell>;

// How member() reaches a member when not as THRUn / origin(n).
struct Reach {
  std::string thru = "";                   // the node-status row's thru node (default THRUn)
  std::string route = "";                  // the store's route for it (default: thru)
  std::string origin = "";                 // origin node (default origin(n))
  std::vector<std::string> columns = {};   // answer columns (default: answer_, else the table's)
  size_t count = 0;                        // else the table's first `count` columns
  size_t drop = 0;                         // that many answer columns fewer, at the end
  std::map<std::string, int> widths = {};  // CHAR columns delivered at another width
  std::string version = "04.20.00";        // the agent's version in its node-status row
};

// An agent of `version` answering with the table's first `columns` columns.
inline Reach agent(const char* version, size_t columns) {
  return {.count = columns, .version = version};
}

// One request of a member-query table: its filters.
using FilterSet = std::vector<vxrhost::Filter>;

class ModuleFixture : public ::testing::Test {
 protected:
  ModuleFixture(const vxr::TableInfo& table, std::string memberTable)
      : table_(&table), memberTable_(std::move(memberTable)), traceUnit_(table.module) {
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
    return cells(n, reach.origin, memberTable_, answerColumns(memberTable_, reach), row);
  }

  // Requests go to another table of the module from now on.
  void use(const vxr::TableInfo& table) { table_ = &table; }

  // The module traces under `unit` (its trace lines are the golden's).
  void traceUnit(const std::string& unit) {
    traceUnit_ = unit;
    host_->setTraceLevel(unit, 0x01);
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
    result_ = host_->run(*module_, table_->name, filters, table_->rowSize, options);
    return result_;
  }

  template <typename R>
  std::vector<R> rows() const {
    std::vector<R> out;
    for (size_t i = 0; i < result_.rows.size(); ++i) out.push_back(result_.row<R>(i));
    return out;
  }

  // Two runs kept as goldens: with member 2's request failing to open, and
  // then, at trace level 0, with member 3 answering a column too few beside
  // it. Each member answers with `row`.
  void expectFailureGoldens(const Row& row) {
    member(1, {row});
    member(2, {row}).failOpen(240);
    run();
    expectGolden("a-failing-member-withholds-every-row");
    store_.route("THRU2").failOpen(0);
    member(3, {row}, {.drop = 1});
    host_->setTraceLevel(traceUnit_, 0);
    run();
    expectGolden("a-column-too-few-withholds-every-row");
  }

  // The work area of the last run: its eye-catcher, and its size (exact on
  // 32-bit targets, at least that on 64-bit ones).
  void expectWorkArea(const std::string& eyeCatcher, int32_t size32) const {
    ASSERT_EQ(result_.storageSizes.size(), 1u);
    EXPECT_GE(result_.storageSizes[0], size32);
    if (sizeof(void*) == 4) {
      EXPECT_EQ(result_.storageSizes[0], size32);
    }
    EXPECT_EQ(result_.workAreaBytes.substr(0, 8), eyeCatcher);
  }

  // The last run's filters and statuses as text.
  std::string renderedStatuses() const {
    std::ostringstream out;
    out << "filters:";
    for (const vxrhost::Filter& f : filters_)
      out << " " << f.op << " " << f.column << "='" << f.value << "'";
    out << "\nstatuses: start " << result_.startStatus << ", process";
    for (int32_t s : result_.processStatuses) out << " " << s;
    out << ", terminate " << result_.terminateStatus << "\n";
    return out.str();
  }

  std::string renderedRows() const {
    std::string out = "rows: " + std::to_string(result_.rows.size()) + "\n";
    for (const std::string& row : result_.rows) out += "  " + renderRow(row) + "\n";
    return out;
  }

  // The module unit's trace lines of the last run, addresses and the work
  // area's size masked (they differ between builds).
  std::string renderedTrace() const {
    std::string out;
    const std::regex address(R"(\b(Anchor|link|storage) at +[0-9A-Fa-f]+\b)");
    const std::regex size(R"(of size \d+)");
    for (const vxrhost::TraceLine& line : host_->traceLines()) {
      if (line.unit != traceUnit_) continue;
      const std::string text = std::regex_replace(line.text, address, "$1 at <address>");
      out += "  " + line.function + ": " + std::regex_replace(text, size, "of size <size>") + "\n";
    }
    return out;
  }

  // The last run as text.
  std::string rendered() const {
    std::ostringstream out;
    out << renderedStatuses() << "sql:\n";
    for (const std::string& text : host_->sqlTexts()) out << "  " << text << "\n";
    out << renderedRows() << "trace:\n" << renderedTrace();
    return out.str();
  }

  void expectGolden(const std::string& name) const { compareGolden(name, rendered()); }

  // Each filter set run in turn: statuses, member queries, rows.
  void expectRunsGolden(const std::string& name, const std::vector<FilterSet>& cases,
                        bool withTrace = false) {
    std::string text;
    for (const FilterSet& filters : cases) {
      run(filters);
      text += renderedStatuses();
      for (const std::string& sql : memberSql()) text += "  " + sql + "\n";
      text += renderedRows();
      if (withTrace) text += "trace:\n" + renderedTrace();
    }
    compareGolden(name, text);
  }

  void compareGolden(const std::string& name, const std::string& actual) const {
    const std::string path = goldenDir_ + "/" + name + ".txt";
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
  std::vector<std::string> answer_;  // the member table's answer columns, if not all
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

  // The columns a member answers with, typed and sized from the schema.
  std::vector<SchemaColumn> answerColumns(const std::string& table, const Reach& reach) const {
    const std::vector<SchemaColumn>& schema = schemaColumns(table);
    const std::vector<std::string>& names =
        !reach.columns.empty() || table != memberTable_ ? reach.columns : answer_;
    std::vector<SchemaColumn> cols;
    if (names.empty()) {
      const size_t count = reach.count ? std::min(reach.count, schema.size()) : schema.size();
      cols.assign(schema.begin(), schema.begin() + static_cast<std::ptrdiff_t>(count));
    }
    for (const std::string& name : names) {
      bool known = false;
      for (const SchemaColumn& c : schema) {
        if (c.name == name) {
          cols.push_back(c);
          known = true;
        }
      }
      EXPECT_TRUE(known) << name << " is not a column of " << table;
    }
    cols.resize(cols.size() - std::min(reach.drop, cols.size()));
    for (SchemaColumn& c : cols) {
      if (auto it = reach.widths.find(c.name); it != reach.widths.end()) c.width = it->second;
    }
    return cols;
  }

  vxrhost::ScriptedStore::Script& scripted(vxrhost::ScriptedStore::Script& script,
                                           const std::string& table, int n,
                                           const std::vector<Row>& rows, const Reach& reach) {
    const std::vector<SchemaColumn> cols = answerColumns(table, reach);
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
      for (const SchemaColumn& c : schemaColumns(table)) known = known || c.name == cell.column;
      EXPECT_TRUE(known) << cell.column << " is not a column of " << table;
      values[cell.column] = cell.value;
    }
    std::vector<std::string> out;
    for (const SchemaColumn& c : cols) {
      auto it = values.find(c.name);
      if (it != values.end() && std::holds_alternative<Raw>(it->second)) {
        out.push_back(std::get<Raw>(it->second).bytes);
      } else if (c.integer) {
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
    for (const vxr::ColumnField& f : table_->layout) {
      // Padding shows only when it holds more than zero bytes.
      if (f.type == vxr::FieldType::Padding &&
          row.substr(f.offset, f.width) == std::string(f.width, '\0')) {
        continue;
      }
      out << (&f == table_->layout.data() ? "" : " ") << f.name << "=";
      if (f.type == vxr::FieldType::Int32) {
        int32_t v;
        std::memcpy(&v, row.data() + f.offset, 4);
        out << v;
      } else {
        out << renderText(row.substr(f.offset, f.width));
      }
    }
    return out.str();
  }

  // A CHAR field: trailing blanks dropped; a field that ends in zero bytes
  // is shown exactly, followed by their count ('AB  '+6*\0); other control
  // bytes as \xHH.
  static std::string renderText(std::string text) {
    const size_t end = text.find_last_not_of('\0') + 1;
    const size_t zeros = text.size() - end;
    text.resize(end);
    if (zeros == 0) text.erase(text.find_last_not_of(' ') + 1);
    std::string out = "'";
    for (char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u >= 0x7f) {
        static const char hex[] = "0123456789ABCDEF";
        out += std::string("\\x") + hex[u >> 4] + hex[u & 15];
      } else {
        out += c;
      }
    }
    out += "'";
    if (zeros) out += "+" + std::to_string(zeros) + "*\\0";
    return out;
  }

  const vxr::TableInfo* table_;
  std::string memberTable_;
  std::string traceUnit_;
  std::string goldenDir_;
  std::vector<vxrhost::Filter> filters_;
};

}  // namespace vxrtest
