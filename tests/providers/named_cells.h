// A module under test and its member agents, whose rows are given by column
// name: the columns are those of the module's SELECT list, their widths and
// types those of the table's row layout. Cells not given are blank or 0,
// ORIGINNODE is the member's own; Raw cells are delivered as they stand
// (shorter than their column, for instance).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "vxr/rows.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

struct Raw {
  std::string bytes;
};
using Cell = std::variant<std::string, int32_t, Raw>;
using Cells = std::map<std::string, Cell>;

class MemberRowsTest : public ::testing::Test {
 protected:
  MemberRowsTest(const char* module, const char* table, const char* select, const char* from,
                 std::span<const vxr::ColumnField> layout, size_t rowSize)
      : table_(table), from_(from), layout_(layout), rowSize_(rowSize) {
    std::istringstream list(std::string(select).substr(7));
    for (std::string name; std::getline(list, name, ',');) columns_.push_back(name);
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module + ".so");
  }

  static std::string origin(int n) { return "WNRX4:M" + std::to_string(n); }

  // Member n, reached through THRUn, answering with `rows`; with `columns`
  // it answers with only that many of the SELECT list's columns. Members
  // added later are queried first.
  vxrhost::ScriptedStore::Script& member(int n, const std::vector<Cells>& rows,
                                         size_t columns = SIZE_MAX) {
    const std::string thru = "THRU" + std::to_string(n);
    store_.route("").row({vxrhost::charCell(thru, 32), vxrhost::charCell(origin(n), 32),
                          vxrhost::charCell("04.20.00", 8)});
    vxrhost::ScriptedStore::Script& script = store_.route(thru);
    const size_t count = std::min(columns, columns_.size());
    for (size_t i = 0; i < count; ++i) {
      const vxr::ColumnField& f = attribute(columns_[i]);
      if (f.type == vxr::FieldType::Int32) {
        script.intColumn(f.name);
      } else {
        script.charColumn(f.name, f.width);
      }
    }
    for (const Cells& given : rows) {
      std::vector<std::string> cells;
      for (size_t i = 0; i < count; ++i) {
        const vxr::ColumnField& f = attribute(columns_[i]);
        auto it = given.find(f.name);
        Cell cell = it != given.end()                 ? it->second
                    : f.type == vxr::FieldType::Int32 ? Cell{int32_t{0}}
                    : columns_[i] == "ORIGINNODE"     ? Cell{origin(n)}
                                                      : Cell{std::string()};
        if (const auto* text = std::get_if<std::string>(&cell)) {
          cells.push_back(vxrhost::charCell(*text, f.width));
        } else if (const auto* value = std::get_if<int32_t>(&cell)) {
          cells.push_back(vxrhost::intCell(*value));
        } else {
          cells.push_back(std::get<Raw>(cell).bytes);
        }
      }
      script.row(cells);
    }
    return script;
  }

  vxrhost::RunResult run(const std::vector<vxrhost::Filter>& filters = {}) {
    host_->clearSqlTexts();
    return host_->run(*module_, table_, filters, rowSize_);
  }

  template <class Row>
  static std::vector<Row> rowsOf(const vxrhost::RunResult& result) {
    std::vector<Row> rows;
    for (size_t i = 0; i < result.rows.size(); ++i) rows.push_back(result.row<Row>(i));
    return rows;
  }

  // The member queries of the last run, in the order sent.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find(from_) != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  vxrhost::ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* module_ = nullptr;

 private:
  const vxr::ColumnField& attribute(const std::string& name) const {
    for (const vxr::ColumnField& f : layout_) {
      if (name == f.name) return f;
    }
    throw std::runtime_error("no attribute " + name);
  }
  std::string table_;
  std::string from_;
  std::span<const vxr::ColumnField> layout_;
  size_t rowSize_;
  std::vector<std::string> columns_;
};

template <size_t N>
std::string text(const char (&data)[N]) {
  return std::string(data, N);
}
