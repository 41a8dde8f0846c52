// The SQL dialect's parser on arbitrary text, and on statements whose
// literals are built from arbitrary bytes with doubled quotes: those parse
// back to exactly the same bytes, and every position lies within the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vxrhost/sql_dialect.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

std::string quoted(std::string_view bytes) {
  std::string out = "'";
  for (char c : bytes) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// Positions are 1-based and name a character of the text (or its end).
void checkPositions(std::string_view sql, const vxrhost::SqlSelect& plan) {
  auto inText = [&](std::size_t p) { check(p >= 1 && p <= sql.size()); };
  inText(plan.tablePosition);
  for (const auto& c : plan.columns) {
    inText(c.position);
    check(sql.substr(c.position - 1, c.name.size()) == c.name);
  }
  if (plan.atNode) inText(plan.atPosition), check(sql[plan.atPosition - 1] == '\'');
  for (const auto& p : plan.predicates) {
    inText(p.column.position);
    inText(p.literalPosition);
    check(sql[p.literalPosition - 1] == '\'');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  vxrhost::SqlSelect plan;
  vxrhost::SqlParseError error;
  if (vxrhost::parseSqlSelect(input, plan, error)) {
    checkPositions(input, plan);
  } else {
    check(error.position >= 1 && error.position <= size + 1);
    check(!error.message.empty());
  }

  // The input split in two at its first zero byte: an AT node and a literal.
  std::size_t cut = input.find('\0');
  std::string_view node = input.substr(0, cut);
  std::string_view literal = cut == std::string_view::npos ? "" : input.substr(cut + 1);
  const std::string sql = "SELECT A, T.B FROM S.T AT (" + quoted(node) +
                          ") WHERE A = " + quoted(literal) + " AND B LIKE " + quoted(node) + ";";
  check(vxrhost::parseSqlSelect(sql, plan, error));
  check(plan.atNode && *plan.atNode == node);
  check(plan.predicates.size() == 2);
  check(plan.predicates[0].literal == literal);
  check(plan.predicates[1].literal == node);
  checkPositions(sql, plan);
  return 0;
}
