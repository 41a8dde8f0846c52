// The table catalog: the tables that the registered modules declare in their
// headers (VXR_TABLES), so that the host and the module can never disagree
// on names or offsets. The list of modules is generated from the
// registration list.
#include "vxrhost/catalog.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "vxr_catalog_modules.h"

namespace vxrhost {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Every declared table, in name order.
std::vector<CatalogTable> collectTables() {
  std::vector<CatalogTable> tables;
#define VXR_CATALOG_MODULE(MODULE)                                                         \
  for (const vxr::TableInfo& info : vxrTablesOf##MODULE) {                                 \
    tables.push_back({info.name, info.module, info.description, info.rowSize, info.layout, \
                      info.filters, info.merge, info.derived});                            \
  }
  VXR_CATALOG_MODULES
#undef VXR_CATALOG_MODULE
  std::sort(tables.begin(), tables.end(), [](const CatalogTable& a, const CatalogTable& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  return tables;
}

const std::vector<CatalogTable>& allTables() {
  static const std::vector<CatalogTable> tables = collectTables();
  return tables;
}

}  // namespace

std::vector<const vxr::ColumnField*> CatalogTable::attributes() const {
  std::vector<const vxr::ColumnField*> out;
  for (const auto& field : layout) {
    if (field.type != vxr::FieldType::Padding) out.push_back(&field);
  }
  return out;
}

const vxr::ColumnField* CatalogTable::attribute(std::string_view column) const {
  for (const auto& field : layout) {
    if (field.type != vxr::FieldType::Padding && equalsIgnoringCase(field.name, column)) {
      return &field;
    }
  }
  return nullptr;
}

std::span<const CatalogTable> catalogTables() {
  return allTables();
}

const CatalogTable* findCatalogTable(std::string_view name) {
  for (const auto& table : allTables()) {
    if (equalsIgnoringCase(table.name, name)) return &table;
  }
  return nullptr;
}

std::vector<const CatalogTable*> catalogTablesOfModule(std::string_view module) {
  std::vector<const CatalogTable*> out;
  for (const auto& table : allTables()) {
    if (equalsIgnoringCase(table.module, module)) out.push_back(&table);
  }
  return out;
}

FieldView viewField(const vxr::ColumnField& field, std::string_view row) {
  if (size_t{field.offset} + field.width > row.size()) {
    throw std::invalid_argument(std::string("attribute ") + field.name + " at offset " +
                                std::to_string(field.offset) + " width " +
                                std::to_string(field.width) + " lies beyond a row of " +
                                std::to_string(row.size()) + " bytes");
  }
  switch (field.type) {
    case vxr::FieldType::Int32: {
      if (field.width != sizeof(int32_t)) {
        throw std::invalid_argument(std::string("integer attribute ") + field.name + " has width " +
                                    std::to_string(field.width));
      }
      int32_t value = 0;
      std::memcpy(&value, row.data() + field.offset, sizeof value);
      return value;
    }
    case vxr::FieldType::Chars: {
      const char* text = row.data() + field.offset;
      size_t length = field.width;
      // Wide fields are mostly trailing blanks or zeros: eight bytes at a
      // time while all eight are one or the other, then byte by byte.
      for (uint64_t word; length >= 8; length -= 8) {
        std::memcpy(&word, text + length - 8, 8);
        if ((word & ~0x2020202020202020ull) != 0) break;
      }
      while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0')) --length;
      return std::string_view(text, length);
    }
    case vxr::FieldType::Padding:
      break;
  }
  return std::string_view();
}

namespace {
CatalogValue valueOf(const FieldView& view) {
  if (const auto* text = std::get_if<std::string_view>(&view)) return std::string(*text);
  return std::get<int32_t>(view);
}
}  // namespace

CatalogValue decodeField(const vxr::ColumnField& field, std::string_view row) {
  return valueOf(viewField(field, row));
}

void viewRow(const CatalogTable& table, std::string_view row, std::vector<FieldView>& views) {
  if (row.size() != table.rowSize) {
    throw std::invalid_argument("a row of " + std::string(table.name) + " has " +
                                std::to_string(table.rowSize) + " bytes, not " +
                                std::to_string(row.size()));
  }
  views.clear();
  for (const auto& field : table.layout) {
    if (field.type != vxr::FieldType::Padding) views.push_back(viewField(field, row));
  }
}

std::vector<CatalogValue> decodeRow(const CatalogTable& table, std::string_view row) {
  std::vector<FieldView> views;
  viewRow(table, row, views);
  std::vector<CatalogValue> values;
  values.reserve(views.size());
  for (const FieldView& view : views) values.push_back(valueOf(view));
  return values;
}

const char* fieldTypeName(vxr::FieldType type) {
  switch (type) {
    case vxr::FieldType::Chars:
      return "Chars";
    case vxr::FieldType::Int32:
      return "Int32";
    case vxr::FieldType::Padding:
      return "Padding";
  }
  return "?";
}

std::string valueText(const CatalogValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::to_string(std::get<int32_t>(value));
}

}  // namespace vxrhost
