// VXRGLOKL through the host core: the member queries per filter and agent
// version, the resource split of older agents' rows, the extended rows as
// delivered, and the failures that withhold every row.
#include "schema_rows.h"
#include "vxrglokl.h"

namespace {

using member_rows::field;
using member_rows::padded;
using member_rows::Row;
using member_rows::zeroed;
using vxrhost::Filter;

constexpr char kBase[] =
    "SELECT ORIGINNODE,LK_ET,PLAN_NAME,SMFID,RX4ID,AUTHID,CONNID,CONNTYPE,TH_STATUS,LK_RESOURC,"
    "LK_LEVEL,LK_STATUS,SUBSYS,TH_TYPE,LK_TYPE,LK_TOKEN,IDNAME,TIMESTAMP,CORRID,DISPET ";
constexpr char kExtension[] =
    ",UAUTHID,   RESTYPE1,  RESTYPE2,  RESTYPE3,  RESTYPE4,  URESNAME1, URESNAME2, RESNAME3,  "
    "RESNAME4  ";

class GlokTest : public member_rows::Fixture {
 protected:
  GlokTest() : Fixture("VXRGLOKL", "VXR.RX4LKCONF", sizeof(GlokRow)) {}

  static Row conflict(const std::string& resource, const std::string& idname = "GRP1") {
    return {{"AUTHID", "AUTH1"}, {"LK_RESOURC", resource}, {"IDNAME", idname}};
  }
  std::vector<GlokRow> rows(const vxrhost::RunResult& result) { return rowsOf<GlokRow>(result); }

  // The statement sent to a member, node names at full width.
  static std::string sql(bool extended, const std::string& thru, const std::string& origin,
                         const std::string& idname = "") {
    std::string text = std::string(kBase) + (extended ? kExtension : "") +
                       " FROM VXR.RX4LKCONF AT('" + padded(thru, 32) + "') WHERE ORIGINNODE ='" +
                       padded(origin, 32) + "'";
    if (!idname.empty()) text += " AND IDNAME ='" + padded(idname, 8) + "'";
    return text + ";";
  }
};

TEST_F(GlokTest, MemberSqlPerFilterAndAgentVersion) {
  member("TEMSA", "WNRX4:M1", "04.01.00", 20, {});
  member("THRU2", "WNRX4:M2", "04.01.01", 29, {});
  struct Case {
    std::vector<Filter> filters;
    std::string idname;
  };
  const Case cases[] = {
      {{}, ""},
      {{{1, "IDNAME", "GRP1"}}, "GRP1"},
      {{{2, "IDNAME", "GRP1"}}, ""},  // other operators are ignored
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}, "GRP1"},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPX"}}, "GRPX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filters.empty() ? "no filter" : c.filters.back().column);
    EXPECT_EQ(run(c.filters).lastProcessStatus(), 62);
    EXPECT_EQ(memberSql(), (std::vector<std::string>{sql(true, "THRU2", "WNRX4:M2", c.idname),
                                                     sql(false, "TEMSA", "WNRX4:M1", c.idname)}));
  }
}

// Every shape of resource name an older agent reports, one row each.
TEST_F(GlokTest, ResourceNamesOfOlderAgentsSplitIntoTypesAndNames) {
  // The resource name, then RESTYPE1, URESNAME1, ... RESTYPE4, RESNAME4 as
  // far as they are not zero.
  struct Case {
    std::string resource;
    std::vector<std::string> pairs;
  };
  const Case cases[] = {
      {"DB=DBX PS=SPY", {"DB", "DBX", "PS", "SPY"}},
      {"DB=DBPAY PS=SPPAY1 PT=0001", {"DB", "DBPAY", "PS", "SPPAY1", "PT", "0001"}},
      {"DB=DBPAY PS=SPPAY2 PT=0003 PG=00001A",
       {"DB", "DBPAY", "PS", "SPPAY2", "PT", "0003", "PG", "00001A"}},
      {"DB=D PS=S XX=1", {"DB", "D", "PS", "S", "", "", "XX", "1"}},
      // A later pair of the same kind replaces the earlier one whole.
      {"DB=D PS=S PT=ABCDEFGH PT=XY", {"DB", "D", "PS", "S", "PT", "XY"}},
      {"A=1 B=2 C=3 D=4 E=5", {"A", "1", "B", "2", "", "", "D", "4"}},
      // Cut at the field's width; a type without a name is left out.
      {"  DBXX==NAME   PS", {"DB", "NAME"}},
      {"RS=PAY BATCH SERIAL", {"RS", padded("PAY BATCH SERIAL", 47)}},
      {"RS PAY", {"RS", padded("PAY", 47)}},
      // "RS" ends the 50 characters: no name, and nothing read beyond them.
      {std::string(48, ' ') + "RS", {"RS"}},
      {std::string(47, ' ') + "RS=", {"RS"}},
      {"SYSUTILX", {}},
      {"", {}},
  };
  std::vector<Row> fetched;
  for (const Case& c : cases) fetched.push_back(conflict(c.resource));
  member("THRU1", "WNRX4:M1", "03.10.00", 20, fetched);
  const vxrhost::RunResult result = run();
  ASSERT_EQ(result.rows.size(), std::size(cases));
  const std::vector<GlokRow> got = rows(result);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const GlokRow& r = got[std::size(cases) - 1 - i];  // the last fetched comes first
    SCOPED_TRACE("resource |" + c.resource + "|");
    EXPECT_EQ(field(r.LK_RESOURC), padded(c.resource, 50));
    std::vector<std::string> e = c.pairs;
    e.resize(8);
    EXPECT_EQ(field(r.RESTYPE1), zeroed(e[0], 2));
    EXPECT_EQ(field(r.URESNAME1), zeroed(e[1], 128));
    EXPECT_EQ(field(r.RESTYPE2), zeroed(e[2], 2));
    EXPECT_EQ(field(r.URESNAME2), zeroed(e[3], 128));
    EXPECT_EQ(field(r.RESTYPE3), zeroed(e[4], 2));
    EXPECT_EQ(field(r.RESNAME3), zeroed(e[5], 32));
    EXPECT_EQ(field(r.RESTYPE4), zeroed(e[6], 2));
    EXPECT_EQ(field(r.RESNAME4), zeroed(e[7], 32));
    EXPECT_EQ(field(r.UAUTHID), zeroed("AUTH1   ", 128));
    EXPECT_EQ(field(r.ORIGINNODE), padded("GRP1:RX4plex:DSGROUP", 32));
  }
  // The split is traced whatever the trace level.
  EXPECT_TRUE(host_->traceContains("RES=|DB=DBX PS=SPY"));
  EXPECT_TRUE(host_->traceContains("RESNAME43=|XY|"));
  EXPECT_TRUE(host_->traceContains("URESNAME1=|PAY BATCH SERIAL"));
}

TEST_F(GlokTest, ExtendedRowsAsDeliveredAndBaseRowsOnlyTheirOwn) {
  // Queried second: an older agent, one pair in its resource name.
  member("THRU1", "WNRX4:M1", "04.01.00", 20, {conflict("DB=DBOLD")});
  // Queried first: a newer agent, its UAUTHID and URESNAME1 delivered short.
  Row extended = conflict("DB=DBNEW PS=SPNEW PT=0001 PG=0002", "GRP2");
  extended.insert({{"UAUTHID", "long.authorization.id"},
                   {"RESTYPE1", "DB"},
                   {"RESTYPE2", "PS"},
                   {"RESTYPE3", "PT"},
                   {"RESTYPE4", "PG"},
                   {"URESNAME1", "DBNEW"},
                   {"URESNAME2", "SPNEW"},
                   {"RESNAME3", "0001"},
                   {"RESNAME4", "0002"}});
  member("THRU2", "WNRX4:M2", "04.20.00", 29, {extended}, {{"UAUTHID", 21}, {"URESNAME1", 5}});
  host_->setTraceLevel("VXRGLOKL", 0x10);
  const std::vector<GlokRow> got = rows(run());
  ASSERT_EQ(got.size(), 2u);
  const GlokRow& base = got[0];
  EXPECT_EQ(field(base.UAUTHID), zeroed("AUTH1   ", 128));
  EXPECT_EQ(field(base.RESTYPE1), "DB");
  EXPECT_EQ(field(base.URESNAME1), zeroed("DBOLD", 128));
  EXPECT_EQ(field(base.URESNAME2) + field(base.RESNAME3) + field(base.RESNAME4),
            std::string(192, '\0'));
  EXPECT_EQ(field(base.RESTYPE2) + field(base.RESTYPE3) + field(base.RESTYPE4),
            std::string(6, '\0'));
  EXPECT_EQ(field(base.PADDING), std::string(2, '\0'));
  const GlokRow& ext = got[1];
  EXPECT_EQ(field(ext.ORIGINNODE), padded("GRP2:RX4plex:DSGROUP", 32));
  EXPECT_EQ(field(ext.UAUTHID), zeroed("long.authorization.id", 128));
  EXPECT_EQ(field(ext.URESNAME1), zeroed("DBNEW", 128));
  EXPECT_EQ(field(ext.URESNAME2), padded("SPNEW", 128));
  EXPECT_EQ(field(ext.RESTYPE3) + field(ext.RESTYPE4), "PTPG");
  EXPECT_EQ(field(ext.RESNAME4), padded("0002", 32));
  // Row lines at 0x10: 128-character fields as text, at most 128 characters.
  EXPECT_TRUE(host_->traceContains("AUTHID=AUTH1    UAUTHID=AUTH1   "));
  EXPECT_TRUE(host_->traceContains("RESTYPE1=DB URESNAME1=DBNEW"));
}

TEST_F(GlokTest, RowsOfEveryMemberNewestFirstUnderTheOriginFilter) {
  member("THRU1", "WNRX4:M1", "04.01.00", 20, {conflict("DB=A1"), conflict("DB=A2")});
  member("THRU2", "WNRX4:M2", "04.01.00", 20, {});
  member("THRU3", "WNRX4:M3", "04.01.00", 20, {conflict("DB=C1")});
  const vxrhost::RunResult result = run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 62}));
  std::vector<std::string> names;
  for (const GlokRow& r : rows(result)) {
    names.push_back(std::string(r.URESNAME1, 2));
    EXPECT_EQ(field(r.ORIGINNODE), padded("GRP1:RX4plex:DSGROUP", 32));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A2", "A1", "C1"}));
}

// A failing member or a row of the wrong width withholds every row, while the
// other members are still queried.
enum class Failure { Open, ExtendedAgentSendsBase, BaseAgentSendsExtended };
class GlokFailure : public GlokTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(GlokFailure, WithholdsEveryRow) {
  const Failure failure = GetParam();
  member("THRU1", "WNRX4:M1", "04.01.00", 20, {conflict("DB=A1")});
  const bool newer = failure == Failure::ExtendedAgentSendsBase;
  auto& second = member("THRU2", "WNRX4:M2", newer ? "04.20.00" : "04.01.00",
                        failure == Failure::BaseAgentSendsExtended ? 29 : 20,
                        {conflict("DB=B1"), conflict("DB=B2")});
  if (failure == Failure::Open) second.failOpen(7);
  const vxrhost::RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 2u);
  if (failure == Failure::ExtendedAgentSendsBase) {
    EXPECT_TRUE(host_->traceContains("Count of colums (29) are not equal to SQLDA columns (20)"));
  } else if (failure == Failure::BaseAgentSendsExtended) {
    EXPECT_TRUE(host_->traceContains("Count of colums (20) are not equal to SQLDA columns (29)"));
  }
}
INSTANTIATE_TEST_SUITE_P(Members, GlokFailure,
                         ::testing::Values(Failure::Open, Failure::ExtendedAgentSendsBase,
                                           Failure::BaseAgentSendsExtended));

}  // namespace
