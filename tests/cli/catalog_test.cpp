// The table catalog and the printers of the vxrhost command.
#include "vxrhost/catalog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "output.h"
#include "requests.h"

namespace {

using vxrhost::CatalogTable;
using vxrhost::CatalogValue;
using vxrhost::FieldView;

TEST(Catalog, TablesAreFoundWhateverTheirCase) {
  const CatalogTable* goaa = vxrhost::findCatalogTable("groupObjAct");
  ASSERT_NE(goaa, nullptr);
  EXPECT_STREQ(goaa->name, "GROUPOBJACT");
  EXPECT_STREQ(goaa->module, "VXRGOAAL");
  EXPECT_EQ(goaa->rowSize, 148u);
  ASSERT_NE(vxrhost::findCatalogTable("GROUPTHRDACT"), nullptr);
  EXPECT_STREQ(vxrhost::findCatalogTable("GROUPTHRDACT")->module, "VXRGOTAL");
  EXPECT_EQ(vxrhost::findCatalogTable("GROUPOBJAC"), nullptr);
  EXPECT_EQ(vxrhost::findCatalogTable(""), nullptr);
  auto served = vxrhost::catalogTablesOfModule("vxrgotal");
  ASSERT_EQ(served.size(), 1u);
  EXPECT_STREQ(served[0]->name, "GROUPTHRDACT");
}

// Every row layout covers its row without gap or overlap, so that no byte
// of a row is printed twice or dropped.
TEST(Catalog, LayoutsTileTheirRows) {
  ASSERT_FALSE(vxrhost::catalogTables().empty());
  for (const CatalogTable& table : vxrhost::catalogTables()) {
    size_t next = 0;
    for (const auto& field : table.layout) {
      EXPECT_EQ(field.offset, next) << table.name << " " << field.name;
      if (field.type == vxr::FieldType::Int32) {
        EXPECT_EQ(field.width, 4) << field.name;
      }
      next = field.offset + field.width;
    }
    EXPECT_EQ(next, table.rowSize) << table.name;
    EXPECT_NE(table.description[0], '\0');
  }
}

TEST(Catalog, AttributesLeavePaddingOut) {
  const CatalogTable* filt = vxrhost::findCatalogTable("MEMBERSTATUS");
  if (filt == nullptr) GTEST_SKIP() << "MEMBERSTATUS is not in this build's catalog";
  EXPECT_EQ(filt->rowSize, 104u);
  EXPECT_EQ(filt->layout.size(), 14u);
  auto attributes = filt->attributes();
  ASSERT_EQ(attributes.size(), 13u);
  EXPECT_STREQ(attributes[7]->name, "RX4COUNT");
  EXPECT_EQ(filt->attribute("Padding"), nullptr);
  ASSERT_NE(filt->attribute("oadbcnt"), nullptr);
  EXPECT_EQ(filt->attribute("oadbcnt")->offset, 96);
}

TEST(Catalog, DecodeRowGivesTrimmedTextsAndIntegers) {
  const CatalogTable* goaa = vxrhost::findCatalogTable("GROUPOBJACT");
  ASSERT_NE(goaa, nullptr);
  std::string row(goaa->rowSize, ' ');
  auto put = [&](const char* column, const std::string& bytes) {
    const vxr::ColumnField* field = goaa->attribute(column);
    ASSERT_NE(field, nullptr) << column;
    row.replace(field->offset, bytes.size(), bytes);
  };
  auto putInt = [&](const char* column, int32_t value) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4);
    put(column, bytes);
  };
  put("ORIGINNODE", "GRPA:RX4plex:DSGROUP");
  put("IDNAME", std::string("GR A\0\0\0\0", 8));  // inner blank kept, zeros trimmed
  put("JTPDB", " DB");                            // a leading blank is kept
  for (const auto* field : goaa->attributes()) {
    if (field->type == vxr::FieldType::Int32) putInt(field->name, 0);
  }
  putInt("JTPGETP", -2147483647 - 1);
  putInt("ROWSMERGED", 6);

  std::vector<CatalogValue> values = vxrhost::decodeRow(*goaa, row);
  ASSERT_EQ(values.size(), goaa->attributes().size());
  EXPECT_EQ(std::get<std::string>(values[0]), "GRPA:RX4plex:DSGROUP");
  EXPECT_EQ(std::get<std::string>(values[1]), "");  // all blanks
  EXPECT_EQ(std::get<std::string>(values[2]), "GR A");
  EXPECT_EQ(std::get<std::string>(values[6]), " DB");
  EXPECT_EQ(std::get<int32_t>(values[8]), INT32_MIN);
  EXPECT_EQ(std::get<int32_t>(values.back()), 6);
  EXPECT_EQ(vxrhost::valueText(values[8]), "-2147483648");

  EXPECT_THROW(vxrhost::decodeRow(*goaa, row.substr(1)), std::invalid_argument);
  EXPECT_THROW(vxrhost::decodeRow(*goaa, row + " "), std::invalid_argument);
  vxr::ColumnField beyond{"X", 146, 4, vxr::FieldType::Int32};
  EXPECT_THROW(vxrhost::decodeField(beyond, row), std::invalid_argument);
}

// Tails of blanks and zeros in any mix and length are trimmed, whatever
// the field's width and however the tail falls on eight-byte words; what
// precedes it (an inner blank, a byte that is neither) is kept.
TEST(Catalog, ViewFieldTrimsTailsOfAnyLength) {
  for (uint16_t width : {1, 7, 8, 9, 16, 17, 40}) {
    for (size_t kept = 0; kept <= width; ++kept) {
      std::string row(width, '\0');
      for (size_t i = kept; i < width; ++i) row[i] = i % 3 == 0 ? ' ' : '\0';
      for (size_t i = 0; i < kept; ++i) row[i] = i + 1 == kept ? '\xa0' : i % 2 ? ' ' : 'a';
      vxr::ColumnField field{"F", 0, width, vxr::FieldType::Chars};
      auto view = std::get<std::string_view>(vxrhost::viewField(field, row));
      EXPECT_EQ(view, std::string_view(row).substr(0, kept)) << width << " " << kept;
    }
  }
}

// A field is quoted when any of comma, quote, CR or LF occurs, wherever
// it falls in the text.
TEST(Output, CsvQuotesWhereverTheByteFalls) {
  const std::string plain(19, 'x');
  EXPECT_EQ(vxrhost::cli::csvField(plain), plain);
  for (char special : {',', '"', '\r', '\n'}) {
    for (size_t at = 0; at < plain.size(); ++at) {
      std::string text = plain;
      text[at] = special;
      const std::string field = vxrhost::cli::csvField(text);
      ASSERT_GE(field.size(), text.size() + 2) << at;
      EXPECT_EQ(field.front(), '"') << at;
      EXPECT_EQ(field.back(), '"') << at;
    }
  }
}

vxrhost::cli::OutputTable sampleTable() {
  vxrhost::cli::OutputTable table;
  table.columns = {{"NAME", false}, {"N", true}};
  table.rows.push_back({std::string("a,\"b\""), int32_t{7}});
  table.rows.push_back({std::string("line\nbreak"), int32_t{-12345}});
  table.rows.push_back({std::string("bad \xff byte"), int32_t{0}});
  return table;
}

std::string printed(vxrhost::cli::Format format) {
  std::ostringstream out;
  vxrhost::cli::printOutput(out, sampleTable(), format);
  return out.str();
}

TEST(Output, CsvQuotesWhatNeedsQuotingWithCrlfLines) {
  EXPECT_EQ(printed(vxrhost::cli::Format::Csv),
            "NAME,N\r\n\"a,\"\"b\"\"\",7\r\n\"line\nbreak\",-12345\r\nbad \xff byte,0\r\n");
  EXPECT_EQ(vxrhost::cli::csvField("plain"), "plain");
  EXPECT_EQ(vxrhost::cli::csvField("cr\r"), "\"cr\r\"");
}

TEST(Output, TableAlignsTextLeftAndNumbersRight) {
  EXPECT_EQ(printed(vxrhost::cli::Format::Table),
            "NAME             N\n"
            "a,\"b\"            7\n"
            "line?break  -12345\n"
            "bad \xff byte       0\n");
}

// The aligned table pads by display width: a two-byte letter takes one
// column, a wide character two, a byte of a character cut short one.
TEST(Output, TablePadsByDisplayWidth) {
  vxrhost::cli::OutputTable table;
  table.columns = {{"NAME", false}, {"N", true}};
  for (const char* name : {"caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac", "ab\xc3", "abcde"})
    table.rows.push_back({std::string(name), int32_t{1}});
  std::ostringstream out;
  vxrhost::cli::printOutput(out, table, vxrhost::cli::Format::Table);
  EXPECT_EQ(out.str(),
            "NAME   N\n"
            "caf\xc3\xa9   1\n"
            "\xe6\x97\xa5\xe6\x9c\xac   1\n"
            "ab\xc3    1\n"
            "abcde  1\n");
}

TEST(Output, JsonKeepsTypesAndReplacesBadBytes) {
  EXPECT_EQ(printed(vxrhost::cli::Format::Json),
            "[\n  {\n    \"NAME\": \"a,\\\"b\\\"\",\n    \"N\": 7\n  },\n"
            "  {\n    \"NAME\": \"line\\nbreak\",\n    \"N\": -12345\n  },\n"
            "  {\n    \"NAME\": \"bad \xef\xbf\xbd byte\",\n    \"N\": 0\n  }\n]\n");
  vxrhost::cli::OutputTable empty;
  empty.columns = {{"NAME", false}};
  std::ostringstream out;
  vxrhost::cli::printOutput(out, empty, vxrhost::cli::Format::Json);
  EXPECT_EQ(out.str(), "[]\n");
  EXPECT_FALSE(vxrhost::cli::parseFormat("JSON").has_value());
}

// The writer prints what the stream alone prints, in order, whether the rows
// fit in one chunk or go through its thread in many; a row of the wrong size
// ends the output after the rows before it.
TEST(Output, WriterPrintsWhatTheStreamPrints) {
  const CatalogTable& table = *vxrhost::findCatalogTable("GROUPTHREADS");
  std::vector<vxrhost::cli::OutputColumn> columns;
  for (const vxr::ColumnField* field : table.attributes())
    columns.push_back({field->name, field->type == vxr::FieldType::Int32});
  const struct {
    size_t rows;
    size_t wrongAt;  // a short row there; rows when none
  } cases[] = {{0, 0}, {3, 3}, {5000, 5000}, {5000, 4321}, {2, 0}};
  for (const auto& c : cases) {
    std::vector<std::string> rows;
    for (size_t i = 0; i < c.rows; ++i) {
      std::string row(table.rowSize, static_cast<char>('A' + i % 26));
      const std::string n = std::to_string(i);
      row.replace(0, n.size(), n);
      rows.push_back(i == c.wrongAt ? row.substr(1) : row);
    }
    std::ostringstream direct, written;
    vxrhost::cli::RowStream alone(direct, columns, vxrhost::cli::Format::Csv);
    std::vector<FieldView> values;
    for (size_t i = 0; i < c.rows && i < c.wrongAt; ++i) {
      vxrhost::viewRow(table, rows[i], values);
      alone.row(values);
    }
    vxrhost::cli::RowStream stream(written, columns, vxrhost::cli::Format::Csv);
    vxrhost::cli::RowWriter writer(stream, table);
    for (const std::string& row : rows) writer.add(row);
    if (c.wrongAt < c.rows) {
      EXPECT_THROW(writer.finish(), std::invalid_argument) << c.rows << " " << c.wrongAt;
    } else {
      writer.finish();
    }
    EXPECT_EQ(written.str(), direct.str()) << c.rows << " " << c.wrongAt;
  }
}

// A request whose member SQL failed: the summary line, the exit status and
// the JSON summary all say that the answer is incomplete.
TEST(Summary, MemberFailuresMakeTheAnswerIncomplete) {
  const CatalogTable& table = *vxrhost::findCatalogTable("GROUPOBJACT");
  vxrhost::cli::Outcome o;
  o.rowCount = 16501;
  o.finalStatus = 62;
  o.memberFailures = {
      {"WNRX4:RXA2:SYSB", "fetch", 220, "database disk image is malformed", 4000, "TEMSA"},
      {"WNRX4:RXB1:SYSA", "open", 211, "node \"TEMSA\" is\noffline", 0, "TEMSA"}};
  EXPECT_NE(vxrhost::cli::summaryLine(table, o).find(
                "16501 rows, 0 members queried, status 62 (end of data), 2 member "
                "requests failed, "),
            std::string::npos);
  EXPECT_EQ(vxrhost::memberFailureText(o.memberFailures[0]),
            "member WNRX4:RXA2:SYSB: fetch failed after 4,000 rows: database disk image is "
            "malformed");
  EXPECT_EQ(vxrhost::memberFailureText(o.memberFailures[1]),
            "member WNRX4:RXB1:SYSA: open failed: node \"TEMSA\" is\\noffline");
  nlohmann::ordered_json summary = vxrhost::cli::summaryJson(table, o);
  EXPECT_EQ(summary["complete"], false);
  ASSERT_EQ(summary["memberFailures"].size(), 2u);
  EXPECT_EQ(summary["memberFailures"][0]["rowsFetched"], 4000);
  EXPECT_EQ(summary["memberFailures"][1]["operation"], "open");
  EXPECT_EQ(summary["status"], 62);
  o.memberFailures.clear();
  EXPECT_EQ(vxrhost::cli::summaryJson(table, o)["complete"], true);
}

}  // namespace
