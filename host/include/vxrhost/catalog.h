// The host's table catalog: for every table that a module serves, the host's
// table name, the module, the row size and the row's attributes, as the
// module's own row layout declares them. The vxrhost command and the tests
// decode the rows that modules hand out through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vxr/declaration.h"

namespace vxrhost {

// One typed value of a decoded row: the text of a character attribute
// (trailing blanks and zero bytes removed) or a signed 32-bit integer.
using CatalogValue = std::variant<std::string, int32_t>;

struct CatalogTable {
  const char* name;         // the host's table name, e.g. "GROUPOBJACT"
  const char* module;       // the module serving it, e.g. "VXRGOAAL"
  const char* description;  // one line
  size_t rowSize;           // bytes of one row as the module hands it out
  // The module's attribute table, in row order, padding fields included.
  std::span<const vxr::ColumnField> layout;
  std::span<const vxr::Filter> filters;  // what each filter of the table does
  vxr::MergeColumns merge;               // how rows from several members merge
  const char* derived;                   // columns the module computes, or null

  // The attributes proper (padding left out), in row order.
  std::vector<const vxr::ColumnField*> attributes() const;
  // The attribute named `column` (case-insensitive), or nullptr.
  const vxr::ColumnField* attribute(std::string_view column) const;
};

// Every table of the catalog, in name order.
std::span<const CatalogTable> catalogTables();

// The table named `name` (case-insensitive), or nullptr.
const CatalogTable* findCatalogTable(std::string_view name);

// What a table's declaration says of one of its columns.
struct ColumnRole {
  // Its part in merging rows, e.g. "key", "sum", "earliest time stamp",
  // "largest of JVPTIOR", "rows merged", "members counted", "derived";
  // several joined by ", ". Empty for a column that keeps the first row's
  // value (or of a table that lists every row).
  std::string merge;
  // What a filter on it does, e.g. "sends AND IDNAME ='<8 characters>'";
  // empty when the column is no filter.
  std::string filter;
};
ColumnRole columnRole(const CatalogTable& table, std::string_view column);

// The catalog's tables that `module` serves (case-insensitive).
std::vector<const CatalogTable*> catalogTablesOfModule(std::string_view module);

// The row's attribute values, one per attribute in the order of
// attributes(). Throws std::invalid_argument when the row is not exactly
// rowSize bytes long.
std::vector<CatalogValue> decodeRow(const CatalogTable& table, std::string_view row);

// One field: Chars trimmed of trailing blanks and zero bytes, Int32 read in
// the platform's byte order. The field must lie within `row`
// (std::invalid_argument otherwise); Padding yields an empty text.
CatalogValue decodeField(const vxr::ColumnField& field, std::string_view row);

// The same value without a copy: a Chars field's text points into `row`.
using FieldView = std::variant<std::string_view, int32_t>;
FieldView viewField(const vxr::ColumnField& field, std::string_view row);
// Every attribute's view into `views` (replaced), checked as decodeRow checks.
void viewRow(const CatalogTable& table, std::string_view row, std::vector<FieldView>& views);

// "Chars", "Int32" or "Padding".
const char* fieldTypeName(vxr::FieldType type);

// Text of a value as the command prints it (decimal for integers).
std::string valueText(const CatalogValue& value);

}  // namespace vxrhost
