// The catalog's reading of a table's declaration, column by column: the
// column's part in merging rows and what a filter on it does, as
// `vxrhost tables --columns` and the server's catalog show them.
#include <string>
#include <string_view>
#include <vector>

#include "vxrhost/catalog.h"

namespace vxrhost {
namespace {

// A name without the blanks a declaration may pad it with ("CORRID  ").
std::string_view bare(const char* name) {
  std::string_view text = name != nullptr ? name : "";
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// True when `names` ("A,B, C") lists `column`.
bool lists(const char* names, std::string_view column) {
  std::string_view rest = names != nullptr ? names : "";
  while (!rest.empty()) {
    const size_t end = rest.find_first_of(", ");
    if (rest.substr(0, end) == column) return true;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return false;
}

void add(std::string& text, std::string_view part, const char* separator = ", ") {
  if (!text.empty()) text += separator;
  text += part;
}

// " AND       LGOAVDB.DSGROUP = '" with its literal, blanks run together:
// "AND LGOAVDB.DSGROUP = '<value>'".
std::string sentCondition(const vxr::Filter& filter) {
  std::string text;
  for (const char* p = filter.condition; *p; ++p) {
    if (*p == ' ' && (text.empty() || text.back() == ' ')) continue;
    text += *p;
  }
  const unsigned width = filter.sent != 0 ? filter.sent : filter.width;
  text += filter.literal == vxr::Literal::Trimmed ? "<value>"
                                                  : "<" + std::to_string(width) + " characters>";
  return text + "'";
}

std::string filterText(const CatalogTable& table, const vxr::Filter& filter) {
  std::string text;
  if (filter.role == vxr::FilterRole::NamesRows) {
    text = "names every row, not sent";
    for (const vxr::Filter& group : table.filters) {
      if (group.role != vxr::FilterRole::Group) continue;
      text += group.column == nullptr
                  ? "; its group sends " + sentCondition(group)
                  : "; its group fills the " + std::string(bare(group.column)) + " filter";
    }
    return text;
  }
  if (filter.keeps != nullptr) {
    text = "keeps the rows whose " + std::string(filter.keeps) + " is the value";
  } else if (filter.condition != nullptr) {
    text = "sends " + sentCondition(filter);
    if (filter.onlyWith != nullptr)
      text += " only with the " + std::string(filter.onlyWith) + " filter";
  } else if (filter.alsoFills != nullptr) {
    text = "fills the " + std::string(filter.alsoFills) + " filter";
  } else {
    text = "not sent";
  }
  if (filter.notSent != nullptr) text += ", except " + std::string(filter.notSent);
  if (filter.otherOperator != 0)
    text += "; operator " + std::to_string(filter.otherOperator) + " counts as equals";
  if (filter.role == vxr::FilterRole::Group || filter.takesDerived)
    text += "; without it, the group ORIGINNODE names";
  return text;
}

}  // namespace

ColumnRole columnRole(const CatalogTable& table, std::string_view column) {
  ColumnRole role;
  const vxr::MergeColumns& merge = table.merge;
  if (lists(merge.key, column)) add(role.merge, "key");
  std::string when;
  for (size_t i = 0; i < merge.keys.size(); ++i) {
    const vxr::KeyChoice& choice = merge.keys[i];
    if (!lists(choice.key, column)) continue;
    add(when,
        choice.filter != nullptr ? "with the " + std::string(bare(choice.filter)) + " filter"
        : i == 0                 ? "always"
                                 : "otherwise",
        "; ");
  }
  if (!when.empty()) add(role.merge, "key (" + when + ")");
  if (lists(merge.sums, column)) add(role.merge, "sum");
  if (lists(merge.earliest, column)) add(role.merge, "earliest time stamp");
  if (lists(merge.rowsMerged, column)) add(role.merge, "rows merged");
  for (const vxr::Largest& largest : merge.largest) {
    if (column == largest.column) add(role.merge, "largest of " + std::string(largest.of));
  }
  if (lists(merge.members.into, column)) add(role.merge, "members counted");
  if (lists(table.derived, column)) add(role.merge, "derived");
  for (const vxr::Filter& filter : table.filters) {
    if (column == bare(filter.column)) {
      add(role.filter, filterText(table, filter), "; ");
    } else if (column == bare(filter.alsoColumn)) {
      add(role.filter, "as " + std::string(bare(filter.column)) + ": " + filterText(table, filter),
          "; ");
    }
  }
  return role;
}

}  // namespace vxrhost
