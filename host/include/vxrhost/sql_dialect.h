// The SQL dialect that modules send to the host:
//
//   SELECT col [, col]... FROM schema.table [AT ('node')]
//          [WHERE pred [AND pred]...] [;]
//
//   pred := [table.]col = 'literal' | [table.]col LIKE 'pattern'
//
// Keywords are case-insensitive; identifiers are kept as written. Literals
// are quoted with single quotes, a quote inside is written twice, and every
// character inside (blanks included) is kept. Whitespace between tokens is
// free. The parser checks syntax only; whether the table and columns exist
// is for the store, which knows the schema. Positions are 1-based character
// positions in the SQL text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vxrhost {

// A column named in the select list or in a predicate.
struct SqlColumnRef {
  std::string name;
  std::size_t position = 0;  // of the column name (after any qualifier)
};

struct SqlPredicate {
  enum class Op { Equal, Like };
  SqlColumnRef column;
  Op op = Op::Equal;
  std::string literal;  // quotes removed, doubled quotes undone
  std::size_t literalPosition = 0;
};

struct SqlSelect {
  std::string schema;
  std::string table;
  std::size_t tablePosition = 0;  // of the schema name
  std::vector<SqlColumnRef> columns;
  std::optional<std::string> atNode;  // the routing clause's node, as written
  std::size_t atPosition = 0;         // of the node literal
  std::vector<SqlPredicate> predicates;

  // "SCHEMA.TABLE"
  std::string qualifiedTable() const { return schema + "." + table; }
};

struct SqlParseError {
  std::size_t position = 0;
  std::string message;  // "syntax error at position 42: expected "FROM", found ..."
};

// Parses one statement. On failure returns false and fills `error`; `plan`
// is then unspecified.
bool parseSqlSelect(std::string_view sql, SqlSelect& plan, SqlParseError& error);

}  // namespace vxrhost
