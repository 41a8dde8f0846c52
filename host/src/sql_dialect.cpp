#include "vxrhost/sql_dialect.h"

#include <cctype>

namespace vxrhost {
namespace {

enum class TokenKind { Identifier, Literal, Punct, End, Invalid };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;        // identifier as written, literal value, or the punctuation character
  std::size_t offset = 0;  // 0-based offset of the token's first character
  bool unterminated = false;
};

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '#' || c == '@' ||
         c == '$';
}

bool isIdentChar(char c) {
  return isIdentStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool equalsKeyword(const std::string& text, std::string_view keyword) {
  if (text.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view sql) : sql_(sql) { advance(); }

  bool parse(SqlSelect& plan, SqlParseError& error) {
    error_ = &error;
    plan = SqlSelect{};

    if (!expectKeyword("SELECT")) return false;
    if (!parseColumnList(plan)) return false;
    if (!expectKeyword("FROM")) return false;
    if (!parseTable(plan)) return false;

    if (isKeyword("AT")) {
      advance();
      if (!expectPunct('(')) return false;
      if (current_.kind != TokenKind::Literal) return expected("a quoted node name");
      plan.atNode = current_.text;
      plan.atPosition = current_.offset + 1;
      advance();
      if (!expectPunct(')')) return false;
    }

    if (isKeyword("WHERE")) {
      advance();
      for (;;) {
        SqlPredicate predicate;
        if (!parsePredicate(plan, predicate)) return false;
        plan.predicates.push_back(std::move(predicate));
        if (!isKeyword("AND")) break;
        advance();
      }
    }

    if (isPunct(';')) advance();
    if (current_.kind != TokenKind::End) {
      return fail(current_.offset,
                  "unexpected " + describe(current_) + " after the end of the statement");
    }

    // Qualifiers in the select list stand before FROM; check them now that the table is known.
    for (const auto& q : pendingQualifiers_) {
      if (q.name != plan.table) return badQualifier(q, plan);
    }
    return true;
  }

 private:
  struct Qualifier {
    std::string name;
    std::size_t offset;
  };

  // Reads the next token into current_.
  void advance() {
    while (pos_ < sql_.size() && isSpace(sql_[pos_])) ++pos_;
    current_ = Token{};
    current_.offset = pos_;
    if (pos_ >= sql_.size()) {
      current_.kind = TokenKind::End;
      return;
    }
    char c = sql_[pos_];
    if (isIdentStart(c)) {
      std::size_t start = pos_;
      while (pos_ < sql_.size() && isIdentChar(sql_[pos_])) ++pos_;
      current_.kind = TokenKind::Identifier;
      current_.text = std::string(sql_.substr(start, pos_ - start));
      return;
    }
    if (c == '\'') {
      ++pos_;
      current_.kind = TokenKind::Literal;
      for (;;) {
        if (pos_ >= sql_.size()) {
          current_.unterminated = true;
          current_.kind = TokenKind::Invalid;
          return;
        }
        if (sql_[pos_] == '\'') {
          if (pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '\'') {
            current_.text += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          return;
        }
        current_.text += sql_[pos_++];
      }
    }
    if (c == ',' || c == '.' || c == '(' || c == ')' || c == '=' || c == ';') {
      current_.kind = TokenKind::Punct;
      current_.text = std::string(1, c);
      ++pos_;
      return;
    }
    current_.kind = TokenKind::Invalid;
    current_.text = std::string(1, c);
    ++pos_;
  }

  bool isKeyword(std::string_view keyword) const {
    return current_.kind == TokenKind::Identifier && equalsKeyword(current_.text, keyword);
  }
  bool isPunct(char c) const { return current_.kind == TokenKind::Punct && current_.text[0] == c; }

  static std::string describe(const Token& token) {
    switch (token.kind) {
      case TokenKind::End:
        return "end of text";
      case TokenKind::Identifier:
        return "\"" + token.text + "\"";
      case TokenKind::Literal:
        return "literal '" + token.text + "'";
      case TokenKind::Punct:
        return "\"" + token.text + "\"";
      case TokenKind::Invalid:
        break;
    }
    if (token.unterminated) return "unterminated literal";
    return "character \"" + token.text + "\"";
  }

  bool fail(std::size_t offset, const std::string& problem) {
    error_->position = offset + 1;
    error_->message = "syntax error at position " + std::to_string(offset + 1) + ": " + problem;
    return false;
  }

  bool expected(const std::string& what) {
    return fail(current_.offset, "expected " + what + ", found " + describe(current_));
  }

  // The quoted word is built by appending into one string: g++ 12 at -O2
  // reports a false -Wrestrict on a chain of operator+ here.
  static std::string quotedWord(std::string_view word) {
    std::string text;
    text.reserve(word.size() + 2);
    text.push_back('"');
    text.append(word);
    text.push_back('"');
    return text;
  }

  bool expectKeyword(std::string_view keyword) {
    if (!isKeyword(keyword)) return expected(quotedWord(keyword));
    advance();
    return true;
  }

  bool expectPunct(char c) {
    if (!isPunct(c)) return expected(quotedWord(std::string_view(&c, 1)));
    advance();
    return true;
  }

  bool badQualifier(const Qualifier& q, const SqlSelect& plan) {
    error_->position = q.offset + 1;
    error_->message = "qualifier \"" + q.name + "\" at position " + std::to_string(q.offset + 1) +
                      " does not name the table " + plan.qualifiedTable();
    return false;
  }

  // [qualifier.]column; the qualifier is returned separately.
  bool parseColumn(SqlColumnRef& column, std::optional<Qualifier>& qualifier) {
    if (current_.kind != TokenKind::Identifier) return expected("a column name");
    Token first = current_;
    advance();
    if (isPunct('.')) {
      advance();
      if (current_.kind != TokenKind::Identifier) return expected("a column name after \".\"");
      qualifier = Qualifier{first.text, first.offset};
      column.name = current_.text;
      column.position = current_.offset + 1;
      advance();
    } else {
      column.name = first.text;
      column.position = first.offset + 1;
    }
    return true;
  }

  bool parseColumnList(SqlSelect& plan) {
    for (;;) {
      if (isKeyword("FROM")) return expected("a column name");
      SqlColumnRef column;
      std::optional<Qualifier> qualifier;
      if (!parseColumn(column, qualifier)) return false;
      if (qualifier) pendingQualifiers_.push_back(*qualifier);
      plan.columns.push_back(std::move(column));
      if (!isPunct(',')) return true;
      advance();
    }
  }

  bool parseTable(SqlSelect& plan) {
    if (current_.kind != TokenKind::Identifier) return expected("a table name");
    plan.schema = current_.text;
    plan.tablePosition = current_.offset + 1;
    advance();
    if (!isPunct('.')) return expected("\".\" between schema and table name");
    advance();
    if (current_.kind != TokenKind::Identifier) return expected("a table name after \".\"");
    plan.table = current_.text;
    advance();
    return true;
  }

  bool parsePredicate(const SqlSelect& plan, SqlPredicate& predicate) {
    std::optional<Qualifier> qualifier;
    if (!parseColumn(predicate.column, qualifier)) return false;
    if (qualifier && qualifier->name != plan.table) return badQualifier(*qualifier, plan);
    if (isPunct('=')) {
      predicate.op = SqlPredicate::Op::Equal;
    } else if (isKeyword("LIKE")) {
      predicate.op = SqlPredicate::Op::Like;
    } else {
      return expected("\"=\" or \"LIKE\"");
    }
    advance();
    if (current_.kind != TokenKind::Literal) return expected("a quoted literal");
    predicate.literal = current_.text;
    predicate.literalPosition = current_.offset + 1;
    advance();
    return true;
  }

  std::string_view sql_;
  std::size_t pos_ = 0;
  Token current_;
  SqlParseError* error_ = nullptr;
  std::vector<Qualifier> pendingQualifiers_;
};

}  // namespace

bool parseSqlSelect(std::string_view sql, SqlSelect& plan, SqlParseError& error) {
  Parser parser(sql);
  return parser.parse(plan, error);
}

}  // namespace vxrhost
