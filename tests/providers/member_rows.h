// A fixture for module tests through the host core: member agents scripted
// on a ScriptedStore, their rows given by column name (unnamed columns are
// blank or 0; ORIGINNODE, SYSID and RX4ID name the member), the member
// queries of a run and the rows handed out.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace member_rows {

using vxrhost::charCell;
using vxrhost::Filter;
using vxrhost::intCell;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

struct Column {
  std::string name;
  int width;  // 0: INTEGER
};
using Cells = std::map<std::string, std::string>;  // column -> value (integers in decimal)

template <typename Row>
class MemberTest : public ::testing::Test {
 protected:
  MemberTest(std::string module, std::string baseTable, std::vector<Column> columns)
      : module_(std::move(module)),
        baseTable_(std::move(baseTable)),
        columns_(std::move(columns)) {}

  void SetUp() override {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    loaded_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module_ + ".so");
  }

  // Member n (thru node THRUn, origin WNRX4:Mn) answering with `rows`;
  // `widths` overrides the delivered width of character columns. Members
  // added later are queried first.
  ScriptedStore::Script& member(int n, const std::vector<Cells>& rows,
                                const std::map<std::string, int>& widths = {}) {
    const std::string id = std::to_string(n);
    store_.route("").row(
        {charCell("THRU" + id, 32), charCell("WNRX4:M" + id, 32), charCell("04.20.00", 8)});
    ScriptedStore::Script& script = store_.route("THRU" + id);
    for (const Column& c : columns_) {
      auto w = widths.find(c.name);
      if (c.width == 0) {
        script.intColumn(c.name);
      } else {
        script.charColumn(c.name, w == widths.end() ? c.width : w->second);
      }
    }
    const Cells defaults = {{"ORIGINNODE", "WNRX4:M" + id},
                            {"SYSID", "SYS" + id},
                            {"RX4ID", "RX4" + id},
                            {"IDNAME", "GRPA"},
                            {"DSGROUP", "GRPA"},
                            {"TIMESTAMP", "1261208100000000"}};
    for (const Cells& cells : rows) {
      std::vector<std::string> out;
      for (const Column& c : columns_) {
        auto v = cells.find(c.name);
        auto d = defaults.find(c.name);
        const std::string value = v != cells.end()      ? v->second
                                  : d != defaults.end() ? d->second
                                                        : "";
        auto w = widths.find(c.name);
        out.push_back(c.width == 0 ? intCell(value.empty() ? 0 : std::stoi(value))
                                   : charCell(value, w == widths.end() ? c.width : w->second));
      }
      script.row(out);
    }
    return script;
  }

  // A member whose rows have one column too few.
  void memberWithShortRows(int n) {
    const std::string id = std::to_string(n);
    store_.route("").row(
        {charCell("THRU" + id, 32), charCell("WNRX4:M" + id, 32), charCell("04.20.00", 8)});
    ScriptedStore::Script& script = store_.route("THRU" + id);
    for (size_t i = 0; i + 1 < columns_.size(); ++i) script.intColumn("C" + std::to_string(i));
    script.row(std::vector<std::string>(columns_.size() - 1, intCell(1)));
  }

  RunResult run(const std::vector<Filter>& filters = {}) {
    host_->clearSqlTexts();
    return host_->run(*loaded_, module_, filters, sizeof(Row));
  }
  std::vector<Row> rows(const std::vector<Filter>& filters = {}) {
    RunResult result = run(filters);
    EXPECT_EQ(result.processStatuses.back(), 62);
    std::vector<Row> out;
    for (size_t i = 0; i < result.rows.size(); ++i) out.push_back(result.row<Row>(i));
    return out;
  }

  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find("VXR." + baseTable_) != std::string::npos) texts.push_back(text);
    }
    return texts;
  }
  std::string sqlFor(int n, const std::string& conditions) const {
    std::string select = "SELECT ";
    for (size_t i = 0; i < columns_.size(); ++i) select += (i ? "," : "") + columns_[i].name;
    return select + " FROM VXR." + baseTable_ + " AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='WNRX4:M" + std::to_string(n) + "'" + conditions + ";";
  }

  ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* loaded_ = nullptr;

 private:
  std::string module_, baseTable_;
  std::vector<Column> columns_;
};

template <size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, N);
}

}  // namespace member_rows
