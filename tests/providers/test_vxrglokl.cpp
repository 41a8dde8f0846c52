// VXRGLOKL through the host core: the member queries per filter and agent
// version, the resource split of older agents' rows, the extended rows as
// delivered, and the failures that withhold every row. The scenarios are
// goldens in golden/vxrglokl/.
#include "module_fixture.h"
#include "vxrglokl.h"

namespace {

using vxrtest::agent;
using vxrtest::Row;

// Older agents answer with the first 20 columns, newer ones with all 29.
constexpr size_t kBase = 20, kExtended = 29;

Row conflict(const std::string& resource, const std::string& idname = "GRP1") {
  return {{"AUTHID", "AUTH1"}, {"LK_RESOURC", resource}, {"IDNAME", idname}};
}

class GlokTest : public vxrtest::ModuleFixture {
 protected:
  GlokTest() : ModuleFixture(kGlokTable, "VXR.RX4LKCONF") {}
};

// Node names at full width; the extended columns for agents from 04.01.01.
TEST_F(GlokTest, MemberSqlPerFilterAndAgentVersion) {
  member(1, {}, {.thru = "TEMSA", .count = kBase, .version = "04.01.00"});
  member(2, {}, agent("04.01.01", kExtended));
  expectRunsGolden("member-sql-per-filter-and-agent-version",
                   {{},
                    {{1, "IDNAME", "GRP1"}},
                    {{2, "IDNAME", "GRP1"}},  // other operators are ignored
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}},
                    {{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "IDNAME", "GRPX"}}});
}

// Every shape of resource name an older agent reports, one row each, the
// last fetched first: the resource name, then RESTYPE1, URESNAME1, ...
// RESTYPE4, RESNAME4 as far as they are not zero. The split is traced
// whatever the trace level.
TEST_F(GlokTest, ResourceNamesOfOlderAgentsSplitIntoTypesAndNames) {
  host_->setTraceLevel("VXRGLOKL", 0);
  member(1,
         {conflict("DB=DBX PS=SPY"), conflict("DB=DBPAY PS=SPPAY1 PT=0001"),
          conflict("DB=DBPAY PS=SPPAY2 PT=0003 PG=00001A"), conflict("DB=D PS=S XX=1"),
          // A later pair of the same kind replaces the earlier one whole.
          conflict("DB=D PS=S PT=ABCDEFGH PT=XY"), conflict("A=1 B=2 C=3 D=4 E=5"),
          // Cut at the field's width; a type without a name is left out.
          conflict("  DBXX==NAME   PS"), conflict("RS=PAY BATCH SERIAL"), conflict("RS PAY"),
          // "RS" ends the 50 characters: no name, and nothing read beyond them.
          conflict(std::string(48, ' ') + "RS"), conflict(std::string(47, ' ') + "RS="),
          conflict("SYSUTILX"), conflict("")},
         agent("03.10.00", kBase));
  run();
  expectGolden("resource-names-of-older-agents-split-into-types-and-names");
}

// Queried second, an older agent with one pair in its resource name; queried
// first, a newer agent with its UAUTHID and URESNAME1 delivered short. Row
// lines at 0x10: 128-character fields as text, at most 128 characters.
TEST_F(GlokTest, ExtendedRowsAsDeliveredAndBaseRowsOnlyTheirOwn) {
  member(1, {conflict("DB=DBOLD")}, agent("04.01.00", kBase));
  Row extended = conflict("DB=DBNEW PS=SPNEW PT=0001 PG=0002", "GRP2");
  extended.insert(extended.end(), {{"UAUTHID", "long.authorization.id"},
                                   {"RESTYPE1", "DB"},
                                   {"RESTYPE2", "PS"},
                                   {"RESTYPE3", "PT"},
                                   {"RESTYPE4", "PG"},
                                   {"URESNAME1", "DBNEW"},
                                   {"URESNAME2", "SPNEW"},
                                   {"RESNAME3", "0001"},
                                   {"RESNAME4", "0002"}});
  member(
      2, {extended},
      {.count = kExtended, .widths = {{"UAUTHID", 21}, {"URESNAME1", 5}}, .version = "04.20.00"});
  host_->setTraceLevel("VXRGLOKL", 0x10);
  run();
  expectGolden("extended-rows-as-delivered-and-base-rows-only-their-own");
}

TEST_F(GlokTest, RowsOfEveryMemberNewestFirstUnderTheOriginFilter) {
  member(1, {conflict("DB=A1"), conflict("DB=A2")}, agent("04.01.00", kBase));
  member(2, {}, agent("04.01.00", kBase));
  member(3, {conflict("DB=C1")}, agent("04.01.00", kBase));
  run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  expectGolden("rows-of-every-member-newest-first-under-the-origin-filter");
}

// A failing member or a row of the wrong width withholds every row, while the
// other members are still queried.
struct Failure {
  const char* golden;
  const char* version;
  size_t columns;
  int32_t openStatus;
};
class GlokFailure : public GlokTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(GlokFailure, WithholdsEveryRow) {
  const Failure& failure = GetParam();
  member(1, {conflict("DB=A1")}, agent("04.01.00", kBase));
  member(2, {conflict("DB=B1"), conflict("DB=B2")}, agent(failure.version, failure.columns))
      .failOpen(failure.openStatus);
  run();
  expectGolden(failure.golden);
}
INSTANTIATE_TEST_SUITE_P(
    Members, GlokFailure,
    ::testing::Values(Failure{"a-failing-member-withholds-every-row", "04.01.00", kBase, 7},
                      Failure{"an-extended-agent-sending-base-rows-withholds-every-row", "04.20.00",
                              kBase, 0},
                      Failure{"a-base-agent-sending-extended-rows-withholds-every-row", "04.01.00",
                              kExtended, 0}));

}  // namespace
