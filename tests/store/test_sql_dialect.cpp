#include <gtest/gtest.h>

#include <string>

#include "vxrhost/sql_dialect.h"

namespace vxrhost {
namespace {

SqlSelect parseOk(const std::string& sql) {
  SqlSelect plan;
  SqlParseError error;
  EXPECT_TRUE(parseSqlSelect(sql, plan, error)) << sql << "\n" << error.message;
  return plan;
}

std::vector<std::string> columnNames(const SqlSelect& plan) {
  std::vector<std::string> names;
  for (const auto& c : plan.columns) names.push_back(c.name);
  return names;
}

TEST(SqlDialect, NodeDiscoveryText) {
  SqlSelect plan = parseOk(
      "SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND "
      "Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';");
  EXPECT_EQ(plan.schema, "Q7SRV");
  EXPECT_EQ(plan.table, "INODESTS");
  EXPECT_EQ(plan.tablePosition, 49u);
  EXPECT_EQ(columnNames(plan), (std::vector<std::string>{"THRUNODE", "ORIGINNODE", "VERSION"}));
  EXPECT_FALSE(plan.atNode.has_value());
  ASSERT_EQ(plan.predicates.size(), 3u);
  EXPECT_EQ(plan.predicates[0].column.name, "NODETYPE");
  EXPECT_EQ(plan.predicates[0].op, SqlPredicate::Op::Equal);
  EXPECT_EQ(plan.predicates[0].literal, "V");
  EXPECT_EQ(plan.predicates[2].op, SqlPredicate::Op::Like);
  EXPECT_EQ(plan.predicates[2].literal, "WNRX4:*");
}

TEST(SqlDialect, MemberQueriesWithRoutingAndQualifiers) {
  SqlSelect plan = parseOk(
      "SELECT ORIGINNODE,JTPGPR, JTPSYR FROM VXR.LGOAACT AT ('HUB1') WHERE ORIGINNODE "
      "='WNRX4:M1' AND LGOAACT.DSGROUP = 'GRP1' AND   LGOAACT.JTPDB   = 'DB1';");
  EXPECT_EQ(plan.qualifiedTable(), "VXR.LGOAACT");
  EXPECT_EQ(columnNames(plan), (std::vector<std::string>{"ORIGINNODE", "JTPGPR", "JTPSYR"}));
  ASSERT_TRUE(plan.atNode.has_value());
  EXPECT_EQ(*plan.atNode, "HUB1");
  ASSERT_EQ(plan.predicates.size(), 3u);
  EXPECT_EQ(plan.predicates[1].column.name, "DSGROUP");
  EXPECT_EQ(plan.predicates[2].column.name, "JTPDB");
  EXPECT_EQ(plan.predicates[2].literal, "DB1");

  // No blank before the parenthesis, blanks kept inside literals, '=' glued to the literal.
  plan = parseOk(
      "SELECT ORIGINNODE,TIME FROM VXR.XR_SY_EXC AT('HUB1') WHERE ORIGINNODE='WNRX4:M1' AND      "
      "IDNAME ='GRP1    ';");
  EXPECT_EQ(*plan.atNode, "HUB1");
  EXPECT_EQ(plan.predicates[1].literal, "GRP1    ");

  // Full-width node names and a column list that ends with blanks before FROM.
  std::string node = "HUB1" + std::string(28, ' ');
  plan =
      parseOk("SELECT ORIGINNODE,DISPET ,UAUTHID,   RESTYPE1,  RESNAME4   FROM VXR.RX4LKCONF AT('" +
              node + "') WHERE ORIGINNODE ='" + node + "';");
  EXPECT_EQ(columnNames(plan),
            (std::vector<std::string>{"ORIGINNODE", "DISPET", "UAUTHID", "RESTYPE1", "RESNAME4"}));
  EXPECT_EQ(*plan.atNode, node);
  EXPECT_EQ(plan.predicates[0].literal, node);
}

TEST(SqlDialect, KeywordsAnyCaseSemicolonOptionalQuotesDoubled) {
  SqlSelect plan = parseOk("select A from S.T at ( 'N' ) where B like 'x*' and C = 'O''B'");
  EXPECT_EQ(*plan.atNode, "N");
  ASSERT_EQ(plan.predicates.size(), 2u);
  EXPECT_EQ(plan.predicates[0].op, SqlPredicate::Op::Like);
  EXPECT_EQ(plan.predicates[1].literal, "O'B");
  EXPECT_EQ(plan.predicates[1].literalPosition, 56u);

  plan = parseOk("\n\tSELECT A\nFROM S.T WHERE B = '' ;  \n");
  EXPECT_EQ(plan.predicates[0].literal, "");
  plan = parseOk("SELECT A FROM S.T WHERE B = ''''");
  EXPECT_EQ(plan.predicates[0].literal, "'");
}

struct BadCase {
  std::string sql;
  std::size_t position;
  std::string text;  // part of the message
};

TEST(SqlDialect, ErrorsNameProblemAndPosition) {
  const BadCase cases[] = {
      {"", 1, "expected \"SELECT\", found end of text"},
      {"SELECT A FORM S.T;", 10, "expected \"FROM\", found \"FORM\""},
      {"SELECT FROM S.T", 8, "expected a column name"},
      {"SELECT A, FROM S.T", 11, "expected a column name"},
      {"SELECT A FROM T;", 16, "expected \".\""},
      {"SELECT A FROM S.T AT 'N'", 22, "expected \"(\""},
      {"SELECT A FROM S.T AT (N)", 23, "expected a quoted node name"},
      {"SELECT A FROM S.T AT ('N' WHERE B = 'x'", 27, "expected \")\""},
      {"SELECT A FROM S.T WHERE B 'x'", 27, "expected \"=\" or \"LIKE\""},
      {"SELECT A FROM S.T WHERE B < 'x'", 27, "found character \"<\""},
      {"SELECT A FROM S.T WHERE B = C", 29, "expected a quoted literal"},
      {"SELECT A FROM S.T WHERE B = 'it''s", 29, "unterminated literal"},
      {"SELECT A FROM S.T WHERE B = 'x' AND", 36, "expected a column name, found end of text"},
      {"SELECT A FROM S.T WHERE B = 'x' OR C = 'y'", 33, "unexpected \"OR\" after the end"},
      {"SELECT A FROM S.T; SELECT B FROM S.T", 20, "unexpected \"SELECT\""},
      {"SELECT A FROM S.T WHERE X.B = 'x'", 25, "qualifier \"X\" at position 25"},
      {"SELECT A, U.B FROM S.T", 11, "does not name the table S.T"},
  };
  for (const auto& c : cases) {
    SqlSelect plan;
    SqlParseError error;
    EXPECT_FALSE(parseSqlSelect(c.sql, plan, error)) << c.sql;
    EXPECT_EQ(error.position, c.position) << c.sql << "\n" << error.message;
    EXPECT_NE(error.message.find(c.text), std::string::npos) << c.sql << "\n" << error.message;
    EXPECT_NE(error.message.find("position " + std::to_string(c.position)), std::string::npos)
        << error.message;
  }
}

}  // namespace
}  // namespace vxrhost
