// VXRTHDTL through the host core: mounted as VXRTHDTL, tracing as VXRGTHDL;
// the member queries per filter and agent version, base rows completed from
// their shorter columns, and the failures that withhold every row. The
// scenarios are goldens in golden/vxrthdtl/.
#include "module_fixture.h"
#include "vxrthdtl.h"

namespace {

using vxrtest::agent;
using vxrtest::Row;

// Older agents answer with the first 23 columns, newer ones with all 27.
constexpr size_t kBase = 23, kExtended = 27;

Row thread(const std::string& plan, const std::string& idname = "GRP1") {
  return {{"EX_PLAN", plan},
          {"IDNAME", idname},
          {"EX_AUTHID", "AUTH" + plan},
          {"EX_PKGN", "PKG" + plan},
          {"EX_COLLID", "COLLECTION_" + plan}};
}

class GthdTest : public vxrtest::ModuleFixture {
 protected:
  GthdTest() : ModuleFixture(kGthdTable, "VXR.XR_TH_EXC") { traceUnit("VXRGTHDL"); }
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

// The extended columns for agents from 04.01.01; each request traces its
// base agents and, at 0x09, how the IDNAME condition came about.
TEST_F(GthdTest, MemberSqlPerFilterAndAgentVersion) {
  member(1, {}, {.thru = "TEMSA", .count = kBase, .version = "04.01.00"});
  member(2, {}, agent("04.01.01", kExtended));
  host_->setTraceLevel("VXRGTHDL", 0x09);
  expectRunsGolden("member-sql-per-filter-and-agent-version",
                   {{},
                    {{1, "IDNAME", "GRPAB"}},
                    {{3, "IDNAME", "GRP1"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}},
                   true);
}

// A newer agent's UTDIDPCOL and EX_IDBT come short; an older agent's row
// carries copies of its own shorter columns and nothing of the newer row.
TEST_F(GthdTest, BaseRowsAfterExtendedRowsCarryOnlyTheirOwnCopies) {
  member(1, {thread("OLD")}, agent("04.01.00", kBase));
  Row extended = thread("NEW", "GRP2");
  extended.insert(extended.end(), {{"UEX_AUTHID", "long.authorization.id"},
                                   {"UTDIDPACK", "PACKAGE.OF.THE.NEW.AGENT"},
                                   {"UTDIDPCOL", "COLLECTION.NEW"},
                                   {"EX_IDBT", "0120"}});
  member(
      2, {extended},
      {.count = kExtended, .widths = {{"UTDIDPCOL", 14}, {"EX_IDBT", 2}}, .version = "04.20.00"});
  run();
  expectGolden("base-rows-after-extended-rows-carry-only-their-own-copies");
}

TEST_F(GthdTest, UnderTheOriginFilterEveryRowCarriesTheFilterValue) {
  member(1, {thread("P1"), thread("P2"), thread("P3")}, agent("04.01.00", kBase));
  member(2, {thread("Q1"), thread("Q2")}, agent("04.20.00", kExtended));
  run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  expectGolden("under-the-origin-filter-every-row-carries-the-filter-value");
}

// A member that cannot be prepared, or a newer agent answering with too few
// columns, withholds every row.
class GthdFailure : public GthdTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(GthdFailure, WithholdsEveryRow) {
  const size_t delivered = GetParam();
  member(1, {thread("P1")}, agent("04.01.00", kBase));
  member(2, {thread("Q1")}, agent("04.20.00", delivered ? delivered : kExtended))
      .failPrepare(delivered ? 0 : 9);
  run();
  expectGolden(delivered ? "a-newer-agent-answering-" + std::to_string(delivered) +
                               "-columns-withholds-every-row"
                         : std::string("a-member-not-prepared-withholds-every-row"));
}
INSTANTIATE_TEST_SUITE_P(Members, GthdFailure, ::testing::Values(0, 23, 26));

}  // namespace
