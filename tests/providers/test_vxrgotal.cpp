// VXRGOTAL through the host core: the member queries it sends, how it merges
// the members' thread rows under each filter, and how it finishes each row
// (averaged rates, getpages per read, shares of the group totals).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vxrgotal.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

using vxrhost::charCell;
using vxrhost::Filter;
using vxrhost::Host;
using vxrhost::intCell;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JT7DBNM,JT7SPNM,JT7PLNM,JT7AUID,"
    "JT7CRID,JT7GETP,JT7SYNR,JT7SPRE,JT7LPRE,JT7DPRE,JT7ASYW,JT7OTHW,JT7PCGP,JT7PCIO,JT7GPR,"
    "JT7SYR,JT7SPR,JT7LPR,JT7DPR,JT7ASR,JT7OTR,JT7RIOR";

// One member row of VXR.LGOATHA.
struct Thread {
  std::string idname = "GRPA";
  std::string dsgroup = "GRPA";
  std::string db = "DB1";
  std::string sp = "SP1";
  std::string timestamp = "1070101120000000";
  std::string plan = "PLAN1";
  int32_t getp = 0, synr = 0, spre = 0, lpre = 0, dpre = 0, asyw = 0, othw = 0;
  int32_t pcgp = 0, pcio = 0;
  int32_t gpr = 0, syr = 0, spr = 0, lpr = 0, dpr = 0, asr = 0, otr = 0;
  int32_t rior = 0;
};

std::string field(const char* data, size_t width) {
  return std::string(data, width);
}
template <size_t N>
std::string field(const char (&data)[N]) {
  return field(data, N);
}

class GotaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/VXRGOTAL.so");
  }

  // A member agent reached through THRUn with origin node WNRX4:Mn, answering
  // with `rows`. Members added later are queried first (newest node first).
  ScriptedStore::Script& member(int n, const std::vector<Thread>& rows) {
    const std::string thru = "THRU" + std::to_string(n);
    store_.route("").row(
        {charCell(thru, 32), charCell("WNRX4:M" + std::to_string(n), 32), charCell("04.01.00", 8)});
    ScriptedStore::Script& script = store_.route(thru);
    const std::pair<const char*, int> charColumns[] = {
        {"ORIGINNODE", 32}, {"TIMESTAMP", 16}, {"SYSID", 4},   {"RX4ID", 4},
        {"IDNAME", 8},      {"DSGROUP", 8},    {"JT7DBNM", 8}, {"JT7SPNM", 8},
        {"JT7PLNM", 8},     {"JT7AUID", 8},    {"JT7CRID", 12}};
    for (const auto& [name, width] : charColumns) script.charColumn(name, width);
    for (const char* name : {"JT7GETP", "JT7SYNR", "JT7SPRE", "JT7LPRE", "JT7DPRE", "JT7ASYW",
                             "JT7OTHW", "JT7PCGP", "JT7PCIO", "JT7GPR", "JT7SYR", "JT7SPR",
                             "JT7LPR", "JT7DPR", "JT7ASR", "JT7OTR", "JT7RIOR"}) {
      script.intColumn(name);
    }
    for (const Thread& t : rows) {
      script.row({charCell("WNRX4:M" + std::to_string(n), 32),
                  charCell(t.timestamp, 16),
                  charCell("SYS" + std::to_string(n), 4),
                  charCell("RX4" + std::to_string(n), 4),
                  charCell(t.idname, 8),
                  charCell(t.dsgroup, 8),
                  charCell(t.db, 8),
                  charCell(t.sp, 8),
                  charCell(t.plan, 8),
                  charCell("AUTH", 8),
                  charCell("CORR" + std::to_string(n), 12),
                  intCell(t.getp),
                  intCell(t.synr),
                  intCell(t.spre),
                  intCell(t.lpre),
                  intCell(t.dpre),
                  intCell(t.asyw),
                  intCell(t.othw),
                  intCell(t.pcgp),
                  intCell(t.pcio),
                  intCell(t.gpr),
                  intCell(t.syr),
                  intCell(t.spr),
                  intCell(t.lpr),
                  intCell(t.dpr),
                  intCell(t.asr),
                  intCell(t.otr),
                  intCell(t.rior)});
    }
    return script;
  }

  RunResult run(const std::vector<Filter>& filters = {}) {
    host_->clearSqlTexts();
    return host_->run(*module_, "GOTA", filters, sizeof(GotaRow));
  }

  static std::vector<GotaRow> rowsOf(const RunResult& result) {
    std::vector<GotaRow> rows;
    for (size_t i = 0; i < result.rows.size(); ++i) rows.push_back(result.row<GotaRow>(i));
    return rows;
  }

  // The member queries of the last run, in the order sent.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find("VXR.LGOATHA") != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LGOATHA AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='WNRX4:M" + std::to_string(n) + "'" + conditions + ";";
  }

  ScriptedStore store_;
  std::unique_ptr<Host> host_;
  vxrhost::Module* module_ = nullptr;
};

// ---------------------------------------------------------------------------
// Member queries

TEST_F(GotaTest, EveryMemberIsAskedForItsOwnRowsNewestNodeFirst) {
  member(1, {});
  member(2, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(memberSql(), (std::vector<std::string>{sqlFor(2, ""), sqlFor(1, "")}));
}

TEST_F(GotaTest, FiltersAddTheirConditionsTrimmedAndQuoted) {
  member(1, {});
  struct Case {
    std::vector<Filter> filters;
    std::string conditions;
  };
  const std::vector<Case> cases = {
      {{{1, "DSGROUP", "GRPA"}}, " AND LGOATHA.DSGROUP = 'GRPA'"},
      {{{1, "IDNAME", "GRPA    "}}, " AND LGOATHA.DSGROUP = 'GRPA'"},
      {{{1, "JT7DBNM", "DB1"}}, " AND  LGOATHA.JT7DBNM = 'DB1'"},
      {{{1, "JT7SPNM", "SP1"}}, " AND  LGOATHA.JT7SPNM = 'SP1'"},
      {{{1, "JT7SPNM", "SP1"}, {1, "JT7DBNM", "DB1"}, {1, "DSGROUP", "GRPA"}},
       " AND LGOATHA.DSGROUP = 'GRPA' AND  LGOATHA.JT7DBNM = 'DB1' AND  LGOATHA.JT7SPNM = 'SP1'"},
      // The group named by the managed-system name, up to its colon.
      {{{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}}, " AND LGOATHA.DSGROUP = 'GRPAB'"},
      {{{1, "ORIGINNODE", "ABCDEFGHIJ"}}, " AND LGOATHA.DSGROUP = 'ABCDEFGH'"},
      {{{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}, {1, "DSGROUP", "GRPC"}},
       " AND LGOATHA.DSGROUP = 'GRPC'"},
      // A quote cannot end the literal.
      {{{1, "DSGROUP", "O'B"}, {1, "JT7DBNM", "D'B"}},
       " AND LGOATHA.DSGROUP = 'O''B' AND  LGOATHA.JT7DBNM = 'D''B'"},
      {{{1, "DSGROUP", "'OR'1'='1"}}, " AND LGOATHA.DSGROUP = '''OR''1''='''"},
      // Values longer than their slot: a group name has 8 characters, a
      // database or space name goes into the SQL with at most 9.
      {{{1, "DSGROUP", "GROUPNAME12"}}, " AND LGOATHA.DSGROUP = 'GROUPNAM'"},
      {{{1, "JT7DBNM", "DATABASE1234567"}}, " AND  LGOATHA.JT7DBNM = 'DATABASE1'"},
      {{{1, "JT7SPNM", "SPACENAME1234567"}}, " AND  LGOATHA.JT7SPNM = 'SPACENAME'"},
      // A value ends at its first blank after the first character.
      {{{1, "DSGROUP", "GR P"}}, " AND LGOATHA.DSGROUP = 'GR'"},
      // Only "equals" counts; other columns are not key columns.
      {{{2, "DSGROUP", "GRPA"}, {3, "JT7DBNM", "DB1"}}, ""},
      {{{1, "JT7PLNM", "PLAN1"}, {1, "ORIGINNOD", "GRPA"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    run(c.filters);
    EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
  }
}

TEST_F(GotaTest, RowsAreNamedByTheOriginNodeFilterOrByTheirGroup) {
  member(1, {{.idname = "GRPA", .dsgroup = "GRPA", .db = "DB1"},
             {.idname = "GROUPABC", .dsgroup = "GROUPABC", .db = "DB2"}});
  std::vector<GotaRow> rows = rowsOf(run());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].ORIGINNODE), "GROUPABC:RX4plex:DSGROUP        ");
  EXPECT_EQ(field(rows[1].ORIGINNODE), "GRPA:RX4plex:DSGROUP            ");

  const std::string longOrigin = "GRPA:RX4plex:DSGROUP:and-more-than-32-characters";
  rows = rowsOf(run({{1, "ORIGINNODE", longOrigin}}));
  ASSERT_EQ(rows.size(), 2u);
  for (const GotaRow& row : rows) EXPECT_EQ(field(row.ORIGINNODE), longOrigin.substr(0, 32));
}

// ---------------------------------------------------------------------------
// Merging

TEST_F(GotaTest, WithoutFiltersRowsMergePerGroupAndDatabase) {
  member(1, {{.db = "DB1",
              .sp = "SP1",
              .timestamp = "1070101120000300",
              .getp = 100,
              .synr = 1,
              .pcgp = 11,
              .gpr = 10,
              .syr = -10,
              .rior = 5},
             {.db = "DB2", .sp = "SP1", .getp = 7}});
  member(2, {{.db = "DB1",
              .sp = "SP2",
              .timestamp = "1070101120000100",
              .getp = 200,
              .synr = 2,
              .pcgp = 22,
              .gpr = 10,
              .syr = -10,
              .rior = 6},
             {.idname = "GRPB", .dsgroup = "GRPB", .db = "DB1", .getp = 9}});
  member(3, {{.db = "DB1",
              .sp = "SP3",
              .timestamp = "1070101120000200",
              .getp = 300,
              .synr = 3,
              .pcgp = 33,
              .pcio = 44,
              .gpr = 11,
              .syr = -11,
              .rior = 7}});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 62}));
  std::vector<GotaRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 3u);

  // Newest key first: member 3 is queried first, member 1 last.
  EXPECT_EQ(field(rows[0].JT7DBNM), "DB2     ");
  EXPECT_EQ(rows[0].ROWSMERGED, 1);
  EXPECT_EQ(field(rows[1].DSGROUP), "GRPB    ");
  EXPECT_EQ(rows[1].JT7GETP, 9);

  const GotaRow& db1 = rows[2];
  EXPECT_EQ(field(db1.DSGROUP), "GRPA    ");
  EXPECT_EQ(db1.ROWSMERGED, 3);
  EXPECT_EQ(db1.JT7GETP, 600);
  EXPECT_EQ(db1.JT7SYNR, 6);
  EXPECT_EQ(field(db1.TIMESTAMP), "1070101120000100");
  // Everything else stays that of the first row filed.
  EXPECT_EQ(field(db1.JT7SPNM), "SP3     ");
  EXPECT_EQ(field(db1.JT7CRID), "CORR3       ");
  EXPECT_EQ(field(db1.RX4ID), "RX43");
  // 31 / 3 and -31 / 3, truncated toward zero.
  EXPECT_EQ(db1.JT7GPR, 10);
  EXPECT_EQ(db1.JT7SYR, -10);
  EXPECT_EQ(db1.JT7RIOR, 1000);  // 600 x 10 / 6
  // No group filter, no totals: the shares are the first row's.
  EXPECT_EQ(db1.JT7PCGP, 33);
  EXPECT_EQ(db1.JT7PCIO, 44);
}

TEST_F(GotaTest, DatabaseFilterMergesPerSpaceAgainstTheDatabaseTotals) {
  member(1, {{.sp = "SP1", .getp = 100, .synr = 1, .asyw = 1, .gpr = 4, .spr = 9}});
  member(2, {{.sp = "SP1", .getp = 300, .spre = 1, .gpr = 5, .spr = 10}});
  member(3, {{.sp = "SP2", .getp = 600, .lpre = 1, .gpr = 6, .spr = 11},
             {.db = "DB2", .sp = "SP2", .getp = 5000, .othw = 7}});
  RunResult result = run({{1, "DSGROUP", "GRPA"}, {1, "JT7DBNM", "DB1"}});
  std::vector<GotaRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 3u);

  // Newest key first: DB1/SP1 was filed last (member 2), member 1 merged
  // into it.
  const GotaRow& sp1 = rows[0];
  EXPECT_EQ(field(sp1.JT7SPNM), "SP1     ");
  EXPECT_EQ(sp1.ROWSMERGED, 2);
  EXPECT_EQ(sp1.JT7GETP, 400);
  EXPECT_EQ(sp1.JT7GPR, 4);     // 9 / 2
  EXPECT_EQ(sp1.JT7SPR, 9);     // 19 / 2
  EXPECT_EQ(sp1.JT7PCGP, 400);  // 400 of DB1's 1000 getpages
  EXPECT_EQ(sp1.JT7PCIO, 750);  // 3 of DB1's 4 I/Os

  // DB2 has totals of its own: all of its getpages and I/O.
  EXPECT_EQ(field(rows[1].JT7DBNM), "DB2     ");
  EXPECT_EQ(rows[1].JT7PCGP, 1000);
  EXPECT_EQ(rows[1].JT7PCIO, 1000);

  const GotaRow& sp2 = rows[2];
  EXPECT_EQ(field(sp2.JT7SPNM), "SP2     ");
  EXPECT_EQ(sp2.ROWSMERGED, 1);
  EXPECT_EQ(sp2.JT7GPR, 6);
  EXPECT_EQ(sp2.JT7PCGP, 600);
  EXPECT_EQ(sp2.JT7PCIO, 250);
}

TEST_F(GotaTest, SpaceFilterHandsOutEveryMemberRowAsDelivered) {
  member(1, {{.getp = 100, .synr = 1, .pcgp = 17, .pcio = 18, .gpr = 3}});
  member(2, {{.getp = 200, .synr = 2, .pcgp = 27, .pcio = 28, .gpr = 5}});
  member(3, {{.getp = 300, .synr = 3, .pcgp = 37, .pcio = 38, .gpr = 7}});
  std::vector<GotaRow> rows =
      rowsOf(run({{1, "DSGROUP", "GRPA"}, {1, "JT7DBNM", "DB1"}, {1, "JT7SPNM", "SP1"}}));
  ASSERT_EQ(rows.size(), 3u);
  const int32_t expected[][3] = {{100, 17, 18}, {200, 27, 28}, {300, 37, 38}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].ROWSMERGED, 1);
    EXPECT_EQ(rows[i].JT7GETP, expected[i][0]);
    EXPECT_EQ(rows[i].JT7PCGP, expected[i][1]);
    EXPECT_EQ(rows[i].JT7PCIO, expected[i][2]);
    EXPECT_EQ(rows[i].JT7GPR, 3 + 2 * static_cast<int32_t>(i));
    EXPECT_EQ(rows[i].JT7RIOR, 1000);
  }
}

TEST_F(GotaTest, GroupFilterGivesEachDatabaseItsShareOfTheGroup) {
  member(1, {{.db = "DB1", .getp = 250, .synr = 1, .gpr = 3}});
  member(2, {{.db = "DB1", .sp = "SP9", .getp = 0, .gpr = 4},
             {.db = "DB2", .getp = 750, .synr = 1, .dpre = 1}});
  std::vector<GotaRow> rows = rowsOf(run({{1, "DSGROUP", "GRPA"}}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].JT7DBNM), "DB2     ");
  EXPECT_EQ(rows[0].JT7PCGP, 750);
  EXPECT_EQ(rows[0].JT7PCIO, 666);  // 2 of 3 I/Os, truncated
  EXPECT_EQ(field(rows[1].JT7DBNM), "DB1     ");
  EXPECT_EQ(field(rows[1].JT7SPNM), "SP9     ");
  EXPECT_EQ(rows[1].ROWSMERGED, 2);
  EXPECT_EQ(rows[1].JT7GPR, 3);  // 7 / 2
  EXPECT_EQ(rows[1].JT7PCGP, 250);
  EXPECT_EQ(rows[1].JT7PCIO, 333);
}

TEST_F(GotaTest, GroupDerivedFromTheOriginNodeGivesGroupShares) {
  member(1, {{.idname = "GRPAB", .dsgroup = "GRPAB", .db = "DB1", .getp = 1, .asyw = 1}});
  member(2, {{.idname = "GRPAB", .dsgroup = "GRPAB", .db = "DB2", .getp = 3, .othw = 3}});
  std::vector<GotaRow> rows = rowsOf(run({{1, "ORIGINNODE", "GRPAB:RX4plex:DSGROUP"}}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].JT7DBNM), "DB1     ");
  EXPECT_EQ(rows[0].JT7PCGP, 250);
  EXPECT_EQ(rows[0].JT7PCIO, 250);
  EXPECT_EQ(rows[1].JT7PCGP, 750);
  EXPECT_EQ(field(rows[1].ORIGINNODE), "GRPAB:RX4plex:DSGROUP           ");
}

// ---------------------------------------------------------------------------
// Finishing a row

TEST_F(GotaTest, RatiosGuardAgainstZeroDivisors) {
  // Read count 0 (I/O only from writes): the delivered JT7RIOR stays.
  member(1, {{.db = "DB1", .getp = 50, .asyw = 4, .pcgp = 55, .pcio = 66, .rior = 77}});
  // A group without getpages or I/O: shares of zero totals are 0.
  member(2, {{.idname = "GRPZ", .dsgroup = "GRPZ", .pcgp = 55, .pcio = 66, .rior = 78}});
  // 1234 x 10 / 7, truncated.
  member(3, {{.db = "DB3", .getp = 1234, .synr = 1, .spre = 2, .lpre = 3, .dpre = 1}});
  std::vector<GotaRow> rows = rowsOf(run({{1, "IDNAME", "GRPA"}}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].JT7RIOR, 77);
  EXPECT_EQ(rows[0].JT7PCGP, 38);   // 50 of GRPA's 1284 getpages
  EXPECT_EQ(rows[0].JT7PCIO, 363);  // 4 of GRPA's 11 I/Os
  EXPECT_EQ(field(rows[1].DSGROUP), "GRPZ    ");
  EXPECT_EQ(rows[1].JT7RIOR, 78);
  EXPECT_EQ(rows[1].JT7PCGP, 0);
  EXPECT_EQ(rows[1].JT7PCIO, 0);
  EXPECT_EQ(rows[2].JT7RIOR, 1762);
}

TEST_F(GotaTest, GetpagesInTheMillionsKeepTheirShares) {
  // getpages x 1000 and x 10 exceed 32 bits here.
  member(1, {{.db = "DB1", .getp = 3000000, .synr = 1000}});
  member(2, {{.db = "DB1", .getp = 1000000}, {.db = "DB2", .getp = 4000000}});
  member(3, {{.db = "DB3", .getp = 300000000, .synr = 500, .dpre = 500}});
  std::vector<GotaRow> rows = rowsOf(run({{1, "DSGROUP", "GRPA"}}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(field(rows[0].JT7DBNM), "DB2     ");
  EXPECT_EQ(rows[0].JT7PCGP, 12);  // 4e6 of 308e6
  EXPECT_EQ(field(rows[1].JT7DBNM), "DB1     ");
  EXPECT_EQ(rows[1].JT7GETP, 4000000);
  EXPECT_EQ(rows[1].JT7PCGP, 12);
  EXPECT_EQ(rows[1].JT7RIOR, 40000);
  EXPECT_EQ(rows[1].JT7PCIO, 500);
  EXPECT_EQ(rows[2].JT7PCGP, 974);
  EXPECT_EQ(rows[2].JT7RIOR, 3000000);
  EXPECT_EQ(rows[2].JT7PCIO, 500);
}

TEST_F(GotaTest, SumsSaturateInsteadOfWrapping) {
  member(1, {{.getp = 2000000000, .synr = 2000000000, .gpr = 2000000000}});
  member(2, {{.getp = 2000000000, .synr = 2000000000, .gpr = 2000000000}});
  std::vector<GotaRow> rows = rowsOf(run({{1, "DSGROUP", "GRPA"}}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].JT7GETP, INT32_MAX);
  EXPECT_EQ(rows[0].JT7SYNR, INT32_MAX);
  EXPECT_EQ(rows[0].JT7GPR, INT32_MAX / 2);
  EXPECT_EQ(rows[0].JT7RIOR, 10);
  EXPECT_EQ(rows[0].JT7PCGP, 536);  // INT32_MAX of the exact 4e9 getpages
  EXPECT_EQ(rows[0].JT7PCIO, 536);
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(GotaTest, AFailingMemberWithholdsEveryRow) {
  member(1, {{.getp = 1}});
  member(2, {{.getp = 2}}).failOpen(240);
  member(3, {{.getp = 3}});
  host_->setTraceLevel("VXRGOTAL", 0x01);
  RunResult result = run({{1, "DSGROUP", "GRPA"}});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 3u);  // the other members are still asked
  EXPECT_TRUE(host_->traceContains("collectLGOAOTA returned FALSE, EOD no data"));
}

TEST_F(GotaTest, AWrongColumnCountWithholdsEveryRow) {
  member(1, {{.getp = 1}});
  ScriptedStore::Script& shortRows = store_.route("THRU2");
  store_.route("").row({charCell("THRU2", 32), charCell("WNRX4:M2", 32), charCell("04.01.00", 8)});
  for (int i = 0; i < 27; ++i) shortRows.intColumn("C" + std::to_string(i));
  shortRows.row(std::vector<std::string>(27, intCell(1)));
  RunResult result = run();  // trace levels all 0: the mismatch is traced anyway
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (28) are not equal to SQLDA columns (27)"));
}

TEST_F(GotaTest, WorkAreaAndTraceLines) {
  member(1, {{.db = "DB1"}, {.db = "DB2"}});
  host_->setTraceLevel("VXRGOTAL", 0x01);
  RunResult result = run({{1, "JT7DBNM", "DB1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  ASSERT_EQ(result.storageSizes.size(), 1u);
  EXPECT_GE(result.storageSizes[0], 372);
  if (sizeof(void*) == 4) {
    EXPECT_EQ(result.storageSizes[0], 372);
  }
  EXPECT_EQ(result.workAreaBytes.substr(0, 8), "GOTAWORK");
  for (const char* line :
       {"JT7DBNM match Index Filter 1 JT7DBNM    DB1", "summarizeOTA filterJT7DBNM",
        "summGETP filterJT7DB", "calcOTArate filterJT7DBNM", "GOTA Anchor at",
        "EOD with 2 rows emitted"}) {
    EXPECT_TRUE(host_->traceContains(line)) << line;
  }
}

}  // namespace
