// VXRTHDTL through the host core: mounted as VXRTHDTL, tracing as VXRGTHDL;
// the member queries per filter and agent version, base rows completed from
// their shorter columns, and the failures that withhold every row.
#include "schema_rows.h"
#include "vxrthdtl.h"

namespace {

using member_rows::field;
using member_rows::padded;
using member_rows::Row;
using member_rows::zeroed;
using vxrhost::Filter;

constexpr char kBase[] =
    "SELECT ORIGINNODE,EX_ETIM,THD_CPU,THD_WAIT,EX_PLAN,EX_QNSID,EX_RX4ID,EX_AUTHID,EX_CONNID,"
    "TH_CONNTYP,THREADSTAT,TH_TYPE,TH_SPN,TH_GROUPN,TH_GMN,IDNAME,EX_TIME,EX_CORRID,DISP_ET,"
    "DISP_CPU,DISP_WAIT,EX_PKGN,EX_COLLID";

class GthdTest : public member_rows::Fixture {
 protected:
  GthdTest() : Fixture("VXRTHDTL", "VXR.XR_TH_EXC", sizeof(GthdRow)) {}

  static Row thread(const std::string& plan, const std::string& idname = "GRP1") {
    return {{"EX_PLAN", plan},
            {"IDNAME", idname},
            {"EX_AUTHID", "AUTH" + plan},
            {"EX_PKGN", "PKG" + plan},
            {"EX_COLLID", "COLLECTION_" + plan}};
  }
  static std::string sql(bool extended, const std::string& thru, const std::string& origin,
                         const std::string& idname = "") {
    std::string text = std::string(kBase) +
                       (extended ? ",UEX_AUTHID,UTDIDPACK,UTDIDPCOL,EX_IDBT" : "") +
                       " FROM VXR.XR_TH_EXC AT('" + thru + "') WHERE ORIGINNODE ='" + origin + "'";
    if (!idname.empty()) text += " AND IDNAME ='" + padded(idname, 8) + "'";
    return text + ";";
  }
};

TEST_F(GthdTest, MountedUnderItsNameTracingUnderItsSourcesUnit) {
  EXPECT_EQ(module_->name(), "VXRTHDTL");
  EXPECT_STREQ(module_->entry().name, "VXRTHDTL");
  run();
  const auto info = module_->buildInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->unit, "VXRGTHDL");
  EXPECT_EQ(std::string(module_->compileDate().version), "V130");
}

TEST_F(GthdTest, MemberSqlPerFilterAndAgentVersion) {
  member("TEMSA", "WNRX4:M1", "04.01.00", 23, {});
  member("THRU2", "WNRX4:M2", "04.01.01", 27, {});
  struct Case {
    std::vector<Filter> filters;
    std::string idname;
  };
  const Case cases[] = {
      {{}, ""},
      {{{1, "IDNAME", "GRPAB"}}, "GRPAB"},
      {{{3, "IDNAME", "GRP1"}}, ""},
      {{{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}, "GRP1"},
  };
  host_->setTraceLevel("VXRGTHDL", 0x09);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filters.empty() ? "no filter" : c.filters.back().column);
    EXPECT_EQ(run(c.filters).lastProcessStatus(), 62);
    EXPECT_EQ(memberSql(), (std::vector<std::string>{sql(true, "THRU2", "WNRX4:M2", c.idname),
                                                     sql(false, "TEMSA", "WNRX4:M1", c.idname)}));
    EXPECT_TRUE(host_->traceContains("VXRGTHDL collectGThreadData Set numcol V4 Agent"));
  }
  EXPECT_TRUE(host_->traceContains("Creating Index Filter for IDNAME initial value GRP1:RX4 "));
  EXPECT_TRUE(host_->traceContains("Final value for IDNAME is GRP1     "));
  const std::string withCondition = sql(false, "TEMSA", "WNRX4:M1", "GRP1");
  EXPECT_TRUE(
      host_->traceContains("Vtable SQL 4= " + withCondition.substr(0, withCondition.size() - 1)));
}

TEST_F(GthdTest, BaseRowsAfterExtendedRowsCarryOnlyTheirOwnCopies) {
  member("THRU1", "WNRX4:M1", "04.01.00", 23, {thread("OLD")});
  Row extended = thread("NEW", "GRP2");
  extended.insert({{"UEX_AUTHID", "long.authorization.id"},
                   {"UTDIDPACK", "PACKAGE.OF.THE.NEW.AGENT"},
                   {"UTDIDPCOL", "COLLECTION.NEW"},
                   {"EX_IDBT", "0120"}});
  member("THRU2", "WNRX4:M2", "04.20.00", 27, {extended}, {{"UTDIDPCOL", 14}, {"EX_IDBT", 2}});
  const std::vector<GthdRow> got = rowsOf<GthdRow>(run());
  ASSERT_EQ(got.size(), 2u);
  const GthdRow& base = got[0];
  EXPECT_EQ(field(base.ORIGINNODE), padded("GRP1:RX4plex:DSGROUP", 32));
  EXPECT_EQ(field(base.UEX_AUTHID), zeroed("AUTHOLD ", 128));
  EXPECT_EQ(field(base.UTDIDPACK), zeroed("PKGOLD  ", 128));
  EXPECT_EQ(field(base.UTDIDPCOL), zeroed(padded("COLLECTION_OLD", 18), 128));
  EXPECT_EQ(field(base.EX_IDBT), std::string(4, '\0'));
  const GthdRow& ext = got[1];
  EXPECT_EQ(field(ext.ORIGINNODE), padded("GRP2:RX4plex:DSGROUP", 32));
  EXPECT_EQ(field(ext.UEX_AUTHID), padded("long.authorization.id", 128));
  EXPECT_EQ(field(ext.UTDIDPACK), padded("PACKAGE.OF.THE.NEW.AGENT", 128));
  EXPECT_EQ(field(ext.UTDIDPCOL), zeroed("COLLECTION.NEW", 128));  // delivered short
  EXPECT_EQ(field(ext.EX_IDBT), zeroed("01", 4));
  EXPECT_EQ(field(ext.EX_COLLID), padded("COLLECTION_NEW", 18));
}

TEST_F(GthdTest, UnderTheOriginFilterEveryRowCarriesTheFilterValue) {
  member("THRU1", "WNRX4:M1", "04.01.00", 23, {thread("P1"), thread("P2"), thread("P3")});
  member("THRU2", "WNRX4:M2", "04.20.00", 27, {thread("Q1"), thread("Q2")});
  const vxrhost::RunResult result = run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 0, 0, 62}));
  std::vector<std::string> plans;
  for (const GthdRow& r : rowsOf<GthdRow>(result)) {
    plans.push_back(std::string(r.EX_PLAN, 2));
    EXPECT_EQ(field(r.ORIGINNODE), padded("GRP1:RX4plex:DSGROUP", 32));
  }
  EXPECT_EQ(plans, (std::vector<std::string>{"P3", "P2", "P1", "Q2", "Q1"}));
}

// A failing member or a row of the wrong width withholds every row.
class GthdFailure : public GthdTest, public ::testing::WithParamInterface<int> {};

TEST_P(GthdFailure, WithholdsEveryRow) {
  member("THRU1", "WNRX4:M1", "04.01.00", 23, {thread("P1")});
  const int delivered = GetParam();
  auto& second =
      member("THRU2", "WNRX4:M2", "04.20.00", delivered == 0 ? 27 : delivered, {thread("Q1")});
  if (delivered == 0) second.failPrepare(9);
  const vxrhost::RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 2u);
  if (delivered != 0) {
    EXPECT_TRUE(host_->traceContains("Count of colums (27) are not equal to SQLDA columns (" +
                                     std::to_string(delivered) + ")"));
  }
}
INSTANTIATE_TEST_SUITE_P(Members, GthdFailure, ::testing::Values(0, 23, 26));

}  // namespace
