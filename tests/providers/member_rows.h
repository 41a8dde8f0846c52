// A fixture for module tests through the host core. Member agents are
// scripted on a ScriptedStore with the columns of the module's SELECT list
// (widths and types from the table's row layout); their rows are given as
// "COLUMN=value ..." (unnamed columns blank or 0; ORIGINNODE, SYSID and RX4ID
// name the member, IDNAME and DSGROUP default to GRPA). Rows handed out are
// shown as the values of chosen fields.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "vxr/rows.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace member_rows {

using vxrhost::charCell;
using vxrhost::Filter;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

inline std::vector<std::string> words(const std::string& text, char separator = ' ') {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string word; std::getline(in, word, separator);) {
    if (!word.empty()) out.push_back(word);
  }
  return out;
}

template <typename Row>
class MemberTest : public ::testing::Test {
 protected:
  MemberTest(std::string module, std::string baseTable, std::string select,
             std::span<const vxr::ColumnField> layout)
      : module_(std::move(module)),
        baseTable_(std::move(baseTable)),
        select_(std::move(select)),
        layout_(layout) {}

  void SetUp() override {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<vxrhost::Host>(store_);
    loaded_ = host_->load(std::string(VXR_MODULE_DIR) + "/" + module_ + ".so");
  }

  const vxr::ColumnField& field(const std::string& name) const {
    for (const vxr::ColumnField& f : layout_) {
      if (name == f.name) return f;
    }
    ADD_FAILURE() << "no field " << name;
    return layout_[0];
  }

  // Member n (thru node THRUn, origin WNRX4:Mn) answering with `rows`;
  // `widths` changes the delivered width of character columns. Members added
  // later are queried first.
  ScriptedStore::Script& member(int n, const std::vector<std::string>& rows,
                                const std::map<std::string, int>& widths = {}) {
    const std::string id = std::to_string(n);
    store_.route("").row(
        {charCell("THRU" + id, 32), charCell("WNRX4:M" + id, 32), charCell("04.20.00", 8)});
    ScriptedStore::Script& script = store_.route("THRU" + id);
    const std::vector<std::string> names = words(select_.substr(7), ',');
    std::vector<int> width;
    for (const std::string& name : names) {
      const vxr::ColumnField& f = field(name);
      width.push_back(widths.count(name) ? widths.at(name) : f.width);
      if (f.type == vxr::FieldType::Int32) {
        script.intColumn(name);
      } else {
        script.charColumn(name, width.back());
      }
    }
    for (const std::string& text : rows) {
      std::map<std::string, std::string> cells = {{"ORIGINNODE", "WNRX4:M" + id},
                                                  {"SYSID", "SYS" + id},
                                                  {"RX4ID", "RX4" + id},
                                                  {"IDNAME", "GRPA"},
                                                  {"DSGROUP", "GRPA"},
                                                  {"TIMESTAMP", "1261208100000000"}};
      for (const std::string& cell : words(text)) {
        cells[cell.substr(0, cell.find('='))] = cell.substr(cell.find('=') + 1);
      }
      std::vector<std::string> out;
      for (size_t i = 0; i < names.size(); ++i) {
        const std::string& value = cells[names[i]];
        out.push_back(field(names[i]).type == vxr::FieldType::Int32
                          ? vxrhost::intCell(value.empty() ? 0 : std::stoi(value))
                          : charCell(value, width[i]));
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
    const size_t columns = words(select_.substr(7), ',').size() - 1;
    for (size_t i = 0; i < columns; ++i) script.intColumn("C" + std::to_string(i));
    script.row(std::vector<std::string>(columns, vxrhost::intCell(1)));
  }

  RunResult run(const std::vector<Filter>& filters = {}) {
    host_->clearSqlTexts();
    return host_->run(*loaded_, module_, filters, sizeof(Row));
  }

  // The rows of a run, each shown as the values of `fields` (character
  // fields without trailing blanks), one line per row.
  std::vector<std::string> rows(const std::string& fields,
                                const std::vector<Filter>& filters = {}) {
    RunResult result = run(filters);
    EXPECT_EQ(result.processStatuses.back(), 62);
    std::vector<std::string> out;
    for (const std::string& bytes : result.rows) {
      std::string line;
      for (const std::string& name : words(fields)) {
        const vxr::ColumnField& f = field(name);
        std::string value = bytes.substr(f.offset, f.width);
        if (f.type == vxr::FieldType::Int32) {
          int32_t number;
          std::memcpy(&number, value.data(), sizeof number);
          value = std::to_string(number);
        } else {
          value.erase(value.find_last_not_of(' ') + 1);
        }
        line += (line.empty() ? "" : " ") + value;
      }
      out.push_back(line);
    }
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
    return select_ + " FROM VXR." + baseTable_ + " AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='WNRX4:M" + std::to_string(n) + "'" + conditions + ";";
  }

  // Each case's filters give exactly the member query with its conditions.
  struct SqlCase {
    std::vector<Filter> filters;
    std::string conditions;
  };
  void expectMemberSql(const std::vector<SqlCase>& cases) {
    member(1, {});
    for (const SqlCase& c : cases) {
      SCOPED_TRACE(c.conditions);
      EXPECT_EQ(run(c.filters).processStatuses, std::vector<int32_t>{62});
      EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
    }
  }

  ScriptedStore store_;
  std::unique_ptr<vxrhost::Host> host_;
  vxrhost::Module* loaded_ = nullptr;

 private:
  std::string module_, baseTable_, select_;
  std::span<const vxr::ColumnField> layout_;
};

}  // namespace member_rows
