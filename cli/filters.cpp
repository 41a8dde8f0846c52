#include "filters.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "failure.h"

namespace vxrhost::cli {
namespace {

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

const CatalogTable& tableNamed(const std::string& name) {
  const CatalogTable* table = findCatalogTable(name);
  if (table == nullptr) {
    throw Failure{kExitUsage, "unknown table " + inQuotes(name) + " (see \"vxrhost tables\")"};
  }
  return *table;
}

Filter parseFilter(const CatalogTable& table, const std::string& text, bool withOperator) {
  const std::string option = withOperator ? "--filter-op" : "--filter";
  const std::string expected = withOperator ? "COL=CODE=VALUE" : "COL=VALUE";
  auto malformed = [&](const std::string& why) {
    return Failure{kExitUsage, "malformed " + option + " " + inQuotes(text) + ": " + why +
                                   " (expected " + expected + ")"};
  };
  size_t eq = text.find('=');
  if (eq == std::string::npos) throw malformed("no '='");
  std::string column = upper(text.substr(0, eq));
  if (column.empty()) throw malformed("no column name");
  std::string value = text.substr(eq + 1);
  int16_t op = kFilterEquals;
  if (withOperator) {
    size_t eq2 = value.find('=');
    if (eq2 == std::string::npos) throw malformed("no '=' after the operator code");
    std::string code = value.substr(0, eq2);
    value = value.substr(eq2 + 1);
    char* end = nullptr;
    errno = 0;
    long number = code.empty() ? -1 : std::strtol(code.c_str(), &end, 10);
    if (code.empty() || *end != '\0' || errno != 0 || number < 0 || number > INT16_MAX) {
      throw malformed("operator code " + inQuotes(code) + " is not a number from 0 to 32767");
    }
    op = static_cast<int16_t>(number);
  }
  const vxr::ColumnField* field = table.attribute(column);
  if (field == nullptr) {
    throw Failure{kExitUsage, "table " + std::string(table.name) + " has no column " +
                                  inQuotes(column) + " in " + option +
                                  " (see \"vxrhost tables --columns " + table.name + "\")"};
  }
  // A value wider than its column can never match it, and a module copies
  // the value into a slot of the column's width.
  size_t limit = field->type == vxr::FieldType::Int32 ? 11 : field->width;
  if (value.size() > limit) {
    throw Failure{kExitUsage, option + " value " + inQuotes(value) + " is longer than column " +
                                  field->name + " (" + std::to_string(limit) + " characters)"};
  }
  return Filter{op, field->name, value};
}

}  // namespace vxrhost::cli
