// VXRGOAAL through the host core: the member queries it sends, how it merges
// the members' object-activity rows under each filter, how it finishes each
// row (averaged rates, getpages per read, shares of the group totals), and
// how a request ends when something fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "vxrgoaal.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

using vxrhost::charCell;
using vxrhost::Filter;
using vxrhost::Host;
using vxrhost::intCell;
using vxrhost::RunOptions;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,JTPSYNR,JTPPREF,"
    "JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,JTPOTR,JTPRIOR";

// One member row of VXR.LGOAACT. An empty rx4id is the member's own.
struct Activity {
  std::string idname = "GRP1";
  std::string dsgroup = "GRP1";
  std::string db = "DB1";
  std::string sp = "SP1";
  std::string timestamp = "1240101120000000";
  std::string rx4id = "";
  int32_t getp = 0, synr = 0, pref = 0, asyw = 0, othw = 0;
  int32_t pcgp = 0, pcio = 0;
  int32_t gpr = 0, syr = 0, prr = 0, asr = 0, otr = 0;
  int32_t rior = 0;
};

template <size_t N>
std::string field(const char (&data)[N]) {
  return std::string(data, N);
}

class GoaaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.route("")
        .charColumn("THRUNODE", 32)
        .charColumn("ORIGINNODE", 32)
        .charColumn("VERSION", 8);
    host_ = std::make_unique<Host>(store_);
    module_ = host_->load(std::string(VXR_MODULE_DIR) + "/VXRGOAAL.so");
  }

  // A member agent reached through `thru` (served by the store under
  // `route`), with its node-status row and its VXR.LGOAACT rows. Members
  // added later are queried first (newest node first).
  ScriptedStore::Script& memberAt(const std::string& thru, const std::string& route,
                                  const std::string& origin, const std::string& rx4id,
                                  const std::vector<Activity>& rows) {
    store_.route("").row({charCell(thru, 32), charCell(origin, 32), charCell("04.20.00", 8)});
    ScriptedStore::Script& script = store_.route(route);
    const std::pair<const char*, int> charColumns[] = {
        {"ORIGINNODE", 32}, {"TIMESTAMP", 16}, {"SYSID", 4}, {"RX4ID", 4},
        {"IDNAME", 8},      {"DSGROUP", 8},    {"JTPDB", 8}, {"JTPSP", 8}};
    const char* intColumns[] = {"JTPGETP", "JTPSYNR", "JTPPREF", "JTPASYW", "JTPOTHW",
                                "JTPPCGP", "JTPPCIO", "JTPGPR",  "JTPSYR",  "JTPPRR",
                                "JTPASR",  "JTPOTR",  "JTPRIOR"};
    for (const auto& [name, width] : charColumns) script.charColumn(name, width);
    for (const char* name : intColumns) script.intColumn(name);
    for (const Activity& a : rows) {
      std::vector<std::string> cells = {
          charCell(origin, 32),  charCell(a.timestamp, 16),
          charCell("SYSA", 4),   charCell(a.rx4id.empty() ? rx4id : a.rx4id, 4),
          charCell(a.idname, 8), charCell(a.dsgroup, 8),
          charCell(a.db, 8),     charCell(a.sp, 8),
          intCell(a.getp),       intCell(a.synr),
          intCell(a.pref),       intCell(a.asyw),
          intCell(a.othw),       intCell(a.pcgp),
          intCell(a.pcio),       intCell(a.gpr),
          intCell(a.syr),        intCell(a.prr),
          intCell(a.asr),        intCell(a.otr),
          intCell(a.rior)};
      script.row(cells);
    }
    return script;
  }

  // Member n: thru node THRUn, origin node WNRX4:RXAn:SYSA, RX4ID RXAn.
  ScriptedStore::Script& member(int n, const std::vector<Activity>& rows) {
    const std::string id = std::to_string(n);
    return memberAt("THRU" + id, "THRU" + id, origin(n), "RXA" + id, rows);
  }
  static std::string origin(int n) { return "WNRX4:RXA" + std::to_string(n) + ":SYSA"; }

  RunResult run(const std::vector<Filter>& filters = {}, const RunOptions& options = {}) {
    host_->clearSqlTexts();
    return host_->run(*module_, "GROUPOBJACT", filters, sizeof(GoaaRow), options);
  }

  static std::vector<GoaaRow> rowsOf(const RunResult& result) {
    std::vector<GoaaRow> rows;
    for (size_t i = 0; i < result.rows.size(); ++i) rows.push_back(result.row<GoaaRow>(i));
    return rows;
  }

  // The member queries of the last run, in the order sent.
  std::vector<std::string> memberSql() const {
    std::vector<std::string> texts;
    for (const std::string& text : host_->sqlTexts()) {
      if (text.find("VXR.LGOAACT") != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  static std::string sqlFor(int n, const std::string& conditions) {
    return std::string(kSelect) + " FROM VXR.LGOAACT AT ('THRU" + std::to_string(n) +
           "') WHERE ORIGINNODE ='" + origin(n) + "'" + conditions + ";";
  }

  ScriptedStore store_;
  std::unique_ptr<Host> host_;
  vxrhost::Module* module_ = nullptr;
};

// ---------------------------------------------------------------------------
// Member queries

TEST_F(GoaaTest, MemberQueryIsExactByteForByte) {
  memberAt("TEMSA", "TEMSA", "WNRX4:RXA1:SYSA", "RXA1", {{}});
  RunResult result = run({{1, "DSGROUP", "GRP1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  EXPECT_EQ(memberSql(),
            std::vector<std::string>{
                "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JTPDB,JTPSP,JTPGETP,"
                "JTPSYNR,JTPPREF,JTPASYW,JTPOTHW,JTPPCGP,JTPPCIO,JTPGPR, JTPSYR,JTPPRR,JTPASR,"
                "JTPOTR,JTPRIOR FROM VXR.LGOAACT AT ('TEMSA') WHERE ORIGINNODE ='WNRX4:RXA1:SYSA'"
                " AND LGOAACT.DSGROUP = 'GRP1';"});
}

TEST_F(GoaaTest, EveryMemberIsAskedNewestNodeFirst) {
  member(1, {});
  member(2, {});
  member(3, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(memberSql(), (std::vector<std::string>{sqlFor(3, ""), sqlFor(2, ""), sqlFor(1, "")}));
}

TEST_F(GoaaTest, FiltersAddTheirConditionsTrimmedAndQuoted) {
  member(1, {});
  struct Case {
    std::vector<Filter> filters;
    std::string conditions;
  };
  const std::string group = " AND LGOAACT.DSGROUP = 'GRP1'";
  const std::vector<Case> cases = {
      {{}, ""},
      {{{1, "DSGROUP", "GRP1"}}, group},
      {{{1, "IDNAME", "GRP1    "}}, group},
      // DSGROUP and IDNAME write the same value; the later one stands.
      {{{1, "DSGROUP", "GRPX"}, {1, "IDNAME", "GRP1"}}, group},
      // Database and space conditions follow the group's only.
      {{{1, "JTPDB", "DB1"}}, ""},
      {{{1, "JTPSP", "SP1"}}, ""},
      {{{1, "JTPDB", "DB1"}, {1, "DSGROUP", "GRP1"}}, group + " AND   LGOAACT.JTPDB   = 'DB1'"},
      {{{1, "JTPSP", "SP1"}, {1, "DSGROUP", "GRP1"}}, group + " AND   LGOAACT.JTPSP   = 'SP1'"},
      {{{1, "JTPSP", "SP1"}, {1, "JTPDB", "DB1"}, {1, "IDNAME", "GRP1"}},
       group + " AND   LGOAACT.JTPDB   = 'DB1' AND   LGOAACT.JTPSP   = 'SP1'"},
      // The group named by the managed-system name, up to its colon.
      {{{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}}, " AND LGOAACT.DSGROUP = 'GRP1A'"},
      {{{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}, {1, "JTPDB", "DB1"}},
       " AND LGOAACT.DSGROUP = 'GRP1A' AND   LGOAACT.JTPDB   = 'DB1'"},
      {{{1, "ORIGINNODE", "ABCDEFGHIJ"}}, " AND LGOAACT.DSGROUP = 'ABCDEFGH'"},
      {{{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}, {1, "DSGROUP", "GRP1"}}, group},
      // A quote cannot end the literal.
      {{{1, "DSGROUP", "O'B"}, {1, "JTPDB", "D'B"}, {1, "JTPSP", "'"}},
       " AND LGOAACT.DSGROUP = 'O''B' AND   LGOAACT.JTPDB   = 'D''B'"
       " AND   LGOAACT.JTPSP   = ''''"},
      {{{1, "DSGROUP", "'OR'1'='1"}}, " AND LGOAACT.DSGROUP = '''OR''1''='''"},
      // Values longer than their 8-character slot are cut to it.
      {{{1, "DSGROUP", "GROUPNAME12"}, {1, "JTPDB", "DATABASE12"}, {1, "JTPSP", "SPACENAME1"}},
       " AND LGOAACT.DSGROUP = 'GROUPNAM' AND   LGOAACT.JTPDB   = 'DATABASE'"
       " AND   LGOAACT.JTPSP   = 'SPACENAM'"},
      // A value ends at its first blank after the first character.
      {{{1, "DSGROUP", "GR P"}}, " AND LGOAACT.DSGROUP = 'GR'"},
      // Only "equals" counts; ORIGINNODE must be named in full.
      {{{2, "DSGROUP", "GRP1"}, {3, "IDNAME", "GRP1"}, {0, "ORIGINNODE", "GRP1:X"}}, ""},
      {{{1, "ORIGINNOD", "GRP1:X"}, {1, "TIMESTAMP", "1"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conditions);
    run(c.filters);
    EXPECT_EQ(memberSql(), std::vector<std::string>{sqlFor(1, c.conditions)});
  }
}

TEST_F(GoaaTest, ThruNodeKeepsItsLeadingBlankAndEndsAtTheNextBlank) {
  memberAt(" TEMSA", "TEMSA", "WNRX4:RXA1:SYSA", "RXA1", {{.getp = 1}});
  memberAt("TEM SB", "TEM", "WNRX4:RXA2:SYSA WITH TAIL", "RXA2", {{.getp = 2}});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  const std::vector<std::string> sql = memberSql();
  ASSERT_EQ(sql.size(), 2u);
  EXPECT_EQ(sql[0], std::string(kSelect) +
                        " FROM VXR.LGOAACT AT ('TEM') WHERE ORIGINNODE ='WNRX4:RXA2:SYSA';");
  EXPECT_EQ(sql[1], std::string(kSelect) +
                        " FROM VXR.LGOAACT AT (' TEMSA') WHERE ORIGINNODE ='WNRX4:RXA1:SYSA';");
}

// ---------------------------------------------------------------------------
// Row names

TEST_F(GoaaTest, RowsAreNamedByTheirGroupOrByTheOriginNodeFilter) {
  member(1, {{.idname = "GRP1", .db = "DB1"}, {.idname = "GROUPABC", .db = "DB2"}});
  std::vector<GoaaRow> rows = rowsOf(run());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].ORIGINNODE), "GROUPABC:RX4plex:DSGROUP        ");
  EXPECT_EQ(field(rows[1].ORIGINNODE), "GRP1:RX4plex:DSGROUP            ");

  rows = rowsOf(run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}}));
  ASSERT_EQ(rows.size(), 2u);
  for (const GoaaRow& row : rows) {
    EXPECT_EQ(field(row.ORIGINNODE), "GRP1:RX4plex:DSGROUP            ");
  }

  const std::string longOrigin = "GRP1:RX4plex:DSGROUP:and-more-than-32-characters";
  rows = rowsOf(run({{1, "ORIGINNODE", longOrigin}}));
  ASSERT_EQ(rows.size(), 2u);
  for (const GoaaRow& row : rows) EXPECT_EQ(field(row.ORIGINNODE), longOrigin.substr(0, 32));
}

TEST_F(GoaaTest, OriginNodeFilterNamesTheGroupAndMergesPerDatabase) {
  host_->setTraceLevel("VXRGOAAL", 0x01);
  member(1, {{.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB1", .getp = 100, .synr = 1}});
  member(2, {{.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB1", .getp = 300, .asyw = 1},
             {.idname = "GRP1A", .dsgroup = "GRP1A", .db = "DB2", .getp = 600, .othw = 2}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "ORIGINNODE", "GRP1A:RX4plex:DSGROUP"}}));
  // Five letters and three blanks, the value the group condition is made of.
  EXPECT_TRUE(host_->traceContains("DSGROUP=\\GRP1A   \\"));
  EXPECT_TRUE(host_->traceContains("summarizeOAA filterIDNAME"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].JTPDB), "DB2     ");
  EXPECT_EQ(rows[0].JTPPCGP, 600);
  EXPECT_EQ(rows[0].JTPPCIO, 500);
  EXPECT_EQ(field(rows[1].JTPDB), "DB1     ");
  EXPECT_EQ(rows[1].ROWSMERGED, 2);
  EXPECT_EQ(rows[1].NUMRX4, 2);
  EXPECT_EQ(rows[1].JTPGETP, 400);
  EXPECT_EQ(rows[1].JTPPCGP, 400);
  EXPECT_EQ(rows[1].JTPPCIO, 500);
  for (const GoaaRow& row : rows) {
    EXPECT_EQ(field(row.ORIGINNODE), "GRP1A:RX4plex:DSGROUP           ");
  }
}

// ---------------------------------------------------------------------------
// Merge modes

TEST_F(GoaaTest, WithoutFiltersEveryRowStandsAlone) {
  member(1, {{.db = "DB1", .getp = 10, .synr = 1, .pcgp = 11, .pcio = 12, .gpr = 7},
             {.db = "DB1", .getp = 20, .synr = 1, .pcgp = 21, .pcio = 22, .gpr = 9}});
  member(2, {{.db = "DB1", .getp = 30, .synr = 1, .pcgp = 31, .pcio = 32},
             {.db = "DB2", .getp = 40, .synr = 1, .pcgp = 41, .pcio = 42}});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 0, 62}));
  std::vector<GoaaRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 4u);
  // Member 2 is queried first, so its rows come out last; newest first.
  const int32_t getp[] = {20, 10, 40, 30};
  const int32_t numrx4[] = {2, 2, 1, 2};
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].ROWSMERGED, 1);
    EXPECT_EQ(rows[i].JTPGETP, getp[i]);
    EXPECT_EQ(rows[i].NUMRX4, numrx4[i]);
    // No totals: the shares are the member's own.
    EXPECT_EQ(rows[i].JTPPCGP, getp[i] + 1);
    EXPECT_EQ(rows[i].JTPPCIO, getp[i] + 2);
    EXPECT_EQ(rows[i].JTPRIOR, getp[i] * 10);
  }
  EXPECT_EQ(rows[0].JTPGPR, 9);
  EXPECT_EQ(rows[1].JTPGPR, 7);
}

TEST_F(GoaaTest, SpaceFilterHandsOutMemberRowsWithTheirOwnShares) {
  member(1, {{.getp = 100, .synr = 1, .pcgp = 17, .pcio = 18, .gpr = 3, .otr = 5}});
  member(2, {{.getp = 200, .pref = 2, .pcgp = 27, .pcio = 28, .gpr = 4, .otr = 6}});
  member(3, {{.getp = 300, .synr = 3, .pcgp = 37, .pcio = 38, .gpr = 5, .otr = 7}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}, {1, "JTPSP", "SP1"}}));
  ASSERT_EQ(rows.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const int32_t n = static_cast<int32_t>(i) + 1;
    EXPECT_EQ(rows[i].ROWSMERGED, 1);
    EXPECT_EQ(rows[i].NUMRX4, 3);
    EXPECT_EQ(rows[i].JTPGETP, 100 * n);
    EXPECT_EQ(rows[i].JTPPCGP, 10 * n + 7);
    EXPECT_EQ(rows[i].JTPPCIO, 10 * n + 8);
    EXPECT_EQ(rows[i].JTPGPR, 2 + n);
    EXPECT_EQ(rows[i].JTPOTR, 4 + n);
    EXPECT_EQ(rows[i].JTPRIOR, 1000);
  }

  // With a database filter as well: still no merging.
  rows = rowsOf(run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}, {1, "JTPSP", "SP1"}}));
  EXPECT_EQ(rows.size(), 3u);
}

TEST_F(GoaaTest, DatabaseFilterMergesTwoMembersIntoOneRow) {
  member(1, {{.timestamp = "1240101120000100",
              .getp = 100,
              .synr = 1,
              .asyw = 1,
              .pcgp = 5,
              .gpr = 4,
              .syr = -5,
              .prr = 1,
              .asr = 8,
              .otr = -1}});
  member(2, {{.timestamp = "1240101120000300",
              .getp = 300,
              .pref = 1,
              .othw = 2,
              .pcgp = 6,
              .gpr = 5,
              .syr = -6,
              .prr = 2,
              .asr = 9,
              .otr = -2}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}}));
  ASSERT_EQ(rows.size(), 1u);
  const GoaaRow& row = rows[0];
  EXPECT_EQ(row.ROWSMERGED, 2);
  EXPECT_EQ(row.NUMRX4, 2);
  EXPECT_EQ(row.JTPGETP, 400);
  EXPECT_EQ(row.JTPSYNR, 1);
  EXPECT_EQ(row.JTPPREF, 1);
  EXPECT_EQ(row.JTPASYW, 1);
  EXPECT_EQ(row.JTPOTHW, 2);
  // Rates averaged over the two rows, truncated toward zero.
  EXPECT_EQ(row.JTPGPR, 4);   // 9 / 2
  EXPECT_EQ(row.JTPSYR, -5);  // -11 / 2
  EXPECT_EQ(row.JTPPRR, 1);   // 3 / 2
  EXPECT_EQ(row.JTPASR, 8);   // 17 / 2
  EXPECT_EQ(row.JTPOTR, -1);  // -3 / 2
  EXPECT_EQ(row.JTPRIOR, 2000);
  EXPECT_EQ(row.JTPPCGP, 1000);
  EXPECT_EQ(row.JTPPCIO, 1000);
  // The row filed first (member 2) gives every field that is not added up,
  // the earliest time stamp wins.
  EXPECT_EQ(field(row.RX4ID), "RXA2");
  EXPECT_EQ(field(row.TIMESTAMP), "1240101120000100");
}

TEST_F(GoaaTest, DatabaseFilterMergesPerSpaceAgainstTheDatabaseTotals) {
  member(1, {{.sp = "SP1", .timestamp = "1240101120000100", .getp = 100, .synr = 1, .asyw = 1}});
  member(2, {{.sp = "SP1", .timestamp = "1240101120000300", .getp = 300, .pref = 1}});
  member(3, {{.sp = "SP2", .getp = 600, .synr = 1, .othw = 1, .gpr = 6},
             {.db = "DB2", .sp = "SP1", .getp = 5000, .othw = 7}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}, {1, "JTPDB", "DB1"}}));
  ASSERT_EQ(rows.size(), 3u);

  const GoaaRow& sp1 = rows[0];  // filed by member 2, merged with member 1
  EXPECT_EQ(field(sp1.JTPSP), "SP1     ");
  EXPECT_EQ(field(sp1.JTPDB), "DB1     ");
  EXPECT_EQ(sp1.ROWSMERGED, 2);
  EXPECT_EQ(sp1.NUMRX4, 3);
  EXPECT_EQ(field(sp1.TIMESTAMP), "1240101120000100");
  EXPECT_EQ(sp1.JTPPCGP, 400);  // 400 of DB1's 1000 getpages
  EXPECT_EQ(sp1.JTPPCIO, 600);  // 3 of DB1's 5 I/Os

  EXPECT_EQ(field(rows[1].JTPDB), "DB2     ");  // totals of its own
  EXPECT_EQ(rows[1].NUMRX4, 1);
  EXPECT_EQ(rows[1].JTPPCGP, 1000);
  EXPECT_EQ(rows[1].JTPPCIO, 1000);

  const GoaaRow& sp2 = rows[2];
  EXPECT_EQ(field(sp2.JTPSP), "SP2     ");
  EXPECT_EQ(sp2.ROWSMERGED, 1);
  EXPECT_EQ(sp2.NUMRX4, 3);
  EXPECT_EQ(sp2.JTPGPR, 6);
  EXPECT_EQ(sp2.JTPRIOR, 6000);
  EXPECT_EQ(sp2.JTPPCGP, 600);
  EXPECT_EQ(sp2.JTPPCIO, 400);
}

TEST_F(GoaaTest, DatabaseFilterWithoutGroupStillMergesPerGroupDatabaseAndSpace) {
  member(1, {{.getp = 100, .synr = 1}});
  member(2, {{.getp = 300, .synr = 1}, {.idname = "GRP2", .dsgroup = "GRP2", .getp = 50}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "JTPDB", "DB1"}}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].DSGROUP), "GRP2    ");
  EXPECT_EQ(rows[0].NUMRX4, 1);
  EXPECT_EQ(rows[0].JTPPCGP, 1000);
  EXPECT_EQ(rows[0].JTPPCIO, 0);  // no I/O in GRP2's totals
  EXPECT_EQ(field(rows[1].DSGROUP), "GRP1    ");
  EXPECT_EQ(rows[1].ROWSMERGED, 2);
  EXPECT_EQ(rows[1].NUMRX4, 2);
  EXPECT_EQ(rows[1].JTPGETP, 400);
  EXPECT_EQ(rows[1].JTPPCGP, 1000);
  EXPECT_EQ(rows[1].JTPPCIO, 1000);
}

TEST_F(GoaaTest, IdnameFilterMergesPerDatabaseAgainstTheGroupTotals) {
  member(1, {{.db = "DB1",
              .sp = "SP1",
              .timestamp = "1240101120000300",
              .getp = 100,
              .synr = 1,
              .gpr = 3,
              .syr = -3},
             {.db = "DB2", .sp = "SP5", .getp = 500, .asyw = 2, .rior = 77}});
  member(2, {{.db = "DB1",
              .sp = "SP2",
              .timestamp = "1240101120000100",
              .getp = 150,
              .pref = 1,
              .gpr = 4,
              .syr = -4}});
  member(3, {{.db = "DB1",
              .sp = "SP3",
              .timestamp = "1240101120000200",
              .getp = 250,
              .synr = 2,
              .gpr = 5,
              .syr = -5}});
  RunResult result = run({{1, "IDNAME", "GRP1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 62}));
  std::vector<GoaaRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 2u);

  const GoaaRow& db2 = rows[0];
  EXPECT_EQ(field(db2.JTPDB), "DB2     ");
  EXPECT_EQ(db2.ROWSMERGED, 1);
  EXPECT_EQ(db2.NUMRX4, 1);
  EXPECT_EQ(db2.JTPRIOR, 77);   // no reads: as delivered
  EXPECT_EQ(db2.JTPPCGP, 500);  // 500 of the group's 1000 getpages
  EXPECT_EQ(db2.JTPPCIO, 333);  // 2 of the group's 6 I/Os

  const GoaaRow& db1 = rows[1];
  EXPECT_EQ(field(db1.JTPDB), "DB1     ");
  EXPECT_EQ(db1.ROWSMERGED, 3);
  EXPECT_EQ(db1.NUMRX4, 3);
  EXPECT_EQ(db1.JTPGETP, 500);
  EXPECT_EQ(db1.JTPSYNR, 3);
  EXPECT_EQ(db1.JTPPREF, 1);
  EXPECT_EQ(field(db1.TIMESTAMP), "1240101120000100");
  // The first row filed (member 3) names the space and the member.
  EXPECT_EQ(field(db1.JTPSP), "SP3     ");
  EXPECT_EQ(field(db1.RX4ID), "RXA3");
  EXPECT_EQ(db1.JTPGPR, 4);   // 12 / 3
  EXPECT_EQ(db1.JTPSYR, -4);  // -12 / 3
  EXPECT_EQ(db1.JTPRIOR, 1250);
  EXPECT_EQ(db1.JTPPCGP, 500);
  EXPECT_EQ(db1.JTPPCIO, 666);  // 4 of 6, truncated
  EXPECT_EQ(field(db1.ORIGINNODE), "GRP1:RX4plex:DSGROUP            ");
}

TEST_F(GoaaTest, IdnameFilterWithTwoMembers) {
  member(1, {{.db = "DB1", .sp = "SP1", .getp = 1, .synr = 1, .gpr = 1, .asr = -1}});
  member(2, {{.db = "DB1", .sp = "SP2", .getp = 2, .synr = 1, .gpr = 2, .asr = -2}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "IDNAME", "GRP1"}}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].ROWSMERGED, 2);
  EXPECT_EQ(rows[0].NUMRX4, 2);
  EXPECT_EQ(rows[0].JTPGPR, 1);   // 3 / 2
  EXPECT_EQ(rows[0].JTPASR, -1);  // -3 / 2
  EXPECT_EQ(rows[0].JTPRIOR, 15);
  EXPECT_EQ(rows[0].JTPPCGP, 1000);
  EXPECT_EQ(rows[0].JTPPCIO, 1000);
  EXPECT_EQ(field(rows[0].JTPSP), "SP2     ");
}

TEST_F(GoaaTest, GroupFilterAloneKeepsRowsButSharesTheGroupTotals) {
  member(1, {{.db = "DB1", .getp = 100, .synr = 1, .gpr = 3}});
  member(2, {{.db = "DB1", .getp = 300, .asyw = 1, .gpr = 5}});
  member(3, {{.db = "DB2", .getp = 600, .othw = 2, .pcgp = 11, .pcio = 22}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}}));
  ASSERT_EQ(rows.size(), 3u);
  const int32_t getp[] = {100, 300, 600}, pcio[] = {250, 250, 500}, numrx4[] = {2, 2, 1};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].ROWSMERGED, 1);
    EXPECT_EQ(rows[i].JTPGETP, getp[i]);
    EXPECT_EQ(rows[i].JTPPCGP, getp[i]);  // of 1000
    EXPECT_EQ(rows[i].JTPPCIO, pcio[i]);
    EXPECT_EQ(rows[i].NUMRX4, numrx4[i]);
  }
  EXPECT_EQ(rows[0].JTPGPR, 3);
  EXPECT_EQ(rows[1].JTPGPR, 5);

  // Two members.
  store_.route("THRU3").clearRows();
  rows = rowsOf(run({{1, "DSGROUP", "GRP1"}}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].JTPPCGP, 250);
  EXPECT_EQ(rows[0].JTPPCIO, 500);
  EXPECT_EQ(rows[1].JTPPCGP, 750);
  EXPECT_EQ(rows[1].JTPPCIO, 500);
}

TEST_F(GoaaTest, RowsComeOutNewestKeyFirst) {
  member(1, {{.db = "DB1", .getp = 1},
             {.db = "DB2", .getp = 2},
             {.db = "DB1", .getp = 4},
             {.db = "DB3", .getp = 8}});
  RunResult result = run({{1, "IDNAME", "GRP1"}});
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 62}));
  std::vector<GoaaRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(field(rows[0].JTPDB), "DB3     ");
  EXPECT_EQ(field(rows[1].JTPDB), "DB2     ");
  EXPECT_EQ(field(rows[2].JTPDB), "DB1     ");
  EXPECT_EQ(rows[2].JTPGETP, 5);
  EXPECT_EQ(rows[2].NUMRX4, 1);  // one member, however many rows
}

// ---------------------------------------------------------------------------
// Finishing a row

TEST_F(GoaaTest, RatiosAndSharesGuardAgainstZeroDivisors) {
  // Writes only: JTPRIOR stays as delivered.
  member(1, {{.db = "DB1", .getp = 50, .asyw = 4, .pcgp = 55, .pcio = 66, .rior = 77}});
  // A group without getpages or I/O: its shares are 0.
  member(2, {{.idname = "GRPZ", .dsgroup = "GRPZ", .pcgp = 55, .pcio = 66, .rior = 78}});
  // 1234 x 10 / 7, truncated.
  member(3, {{.db = "DB3", .getp = 1234, .synr = 3, .pref = 4, .othw = 3, .rior = 79}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].JTPRIOR, 77);
  EXPECT_EQ(rows[0].JTPPCGP, 38);   // 50 of GRP1's 1284 getpages
  EXPECT_EQ(rows[0].JTPPCIO, 285);  // 4 of GRP1's 14 I/Os
  EXPECT_EQ(field(rows[1].DSGROUP), "GRPZ    ");
  EXPECT_EQ(rows[1].JTPRIOR, 78);
  EXPECT_EQ(rows[1].JTPPCGP, 0);
  EXPECT_EQ(rows[1].JTPPCIO, 0);
  EXPECT_EQ(rows[2].JTPRIOR, 1762);
  EXPECT_EQ(rows[2].JTPPCGP, 961);
  EXPECT_EQ(rows[2].JTPPCIO, 714);
}

TEST_F(GoaaTest, GetpagesInTheMillionsKeepTheirShares) {
  // getpages x 1000 exceeds 32 bits here.
  member(1, {{.db = "DB1", .getp = 3000000, .synr = 1000}});
  member(2, {{.db = "DB2", .getp = 5000000, .synr = 1000}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].JTPGETP, 3000000);
  EXPECT_EQ(rows[0].JTPPCGP, 375);
  EXPECT_EQ(rows[0].JTPRIOR, 30000);
  EXPECT_EQ(rows[1].JTPPCGP, 625);
  EXPECT_EQ(rows[1].JTPPCIO, 500);
}

TEST_F(GoaaTest, LargeCountsKeepTheirRatiosAndIoShares) {
  // getpages x 10, the read count and the I/O count exceed 32 bits here.
  member(1, {{.db = "DB1", .getp = 300000000, .synr = 500, .pref = 500, .rior = 9},
             {.db = "DB2", .getp = 1000, .synr = 1500000000, .pref = 1000000000, .rior = 77},
             {.db = "DB3", .asyw = 500000000, .othw = 2000000000}});
  std::vector<GoaaRow> rows = rowsOf(run({{1, "DSGROUP", "GRP1"}}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(field(rows[2].JTPDB), "DB1     ");
  EXPECT_EQ(rows[2].JTPRIOR, 3000000);
  EXPECT_EQ(rows[2].JTPPCGP, 999);
  EXPECT_EQ(rows[2].JTPPCIO, 0);
  // 2.5e9 reads: getpages per read truncate to 0; half of the group's I/O.
  EXPECT_EQ(rows[1].JTPRIOR, 0);
  EXPECT_EQ(rows[1].JTPPCGP, 0);
  EXPECT_EQ(rows[1].JTPPCIO, 499);
  EXPECT_EQ(rows[0].JTPPCIO, 499);
}

// ---------------------------------------------------------------------------
// Failures and statuses

TEST_F(GoaaTest, AFailingMemberWithholdsEveryRow) {
  member(1, {{.getp = 1}});
  member(2, {{.getp = 2}}).failOpen(240);
  member(3, {{.getp = 3}});
  host_->setTraceLevel("VXRGOAAL", 0x01);
  RunResult result = run({{1, "DSGROUP", "GRP1"}});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(memberSql().size(), 3u);  // the other members are still asked
  EXPECT_TRUE(host_->traceContains("collectLGOAACT returned FALSE, EOD no data"));
  EXPECT_TRUE(result.terminated);
  EXPECT_EQ(result.terminateStatus, 0);

  // A member whose request cannot even be prepared.
  store_.route("THRU2").failOpen(0).failPrepare(204);
  result = run({{1, "DSGROUP", "GRP1"}});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());

  store_.route("THRU2").failPrepare(0);
  EXPECT_EQ(run({{1, "DSGROUP", "GRP1"}}).rows.size(), 3u);
}

TEST_F(GoaaTest, AMemberAnsweringTwentyColumnsWithholdsEveryRow) {
  member(1, {{.getp = 1}});
  ScriptedStore::Script& shortRows = store_.route("THRU2");
  store_.route("").row({charCell("THRU2", 32), charCell(origin(2), 32), charCell("04.20.00", 8)});
  for (int i = 0; i < 20; ++i) shortRows.intColumn("C" + std::to_string(i));
  shortRows.row(std::vector<std::string>(20, intCell(1)));
  RunResult result = run();  // every trace level 0: the mismatch is traced anyway
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(host_->traceContains("Count of colums (21) are not equal to SQLDA columns (20)"));
}

TEST_F(GoaaTest, EmptyAnswersEndAtOnce) {
  member(1, {});
  host_->setTraceLevel("VXRGOAAL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(host_->traceContains("EOD with 0 rows emitted"));
}

TEST_F(GoaaTest, RequestStatuses) {
  member(1, {{.getp = 1}});

  RunResult ok = run();
  EXPECT_EQ(ok.startStatus, 0);
  ASSERT_EQ(ok.storageSizes.size(), 1u);
  EXPECT_GE(ok.storageSizes[0], 360);
  if (sizeof(void*) == 4) {
    EXPECT_EQ(ok.storageSizes[0], 360);
  }
  EXPECT_EQ(ok.workAreaBytes.substr(0, 8), "GOAAWORK");

  RunOptions noList;
  noList.nullParameterList = vxrhost::kPhaseAll;
  RunResult result = run({}, noList);
  EXPECT_EQ(result.startStatus, 60);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{60});
  EXPECT_EQ(result.terminateStatus, 60);

  RunOptions noStorage;
  noStorage.failGetStorage = true;
  result = run({}, noStorage);
  EXPECT_EQ(result.startStatus, 64);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{71});
  EXPECT_EQ(result.terminateStatus, 71);

  RunOptions noStart;
  noStart.skipStart = true;
  result = run({}, noStart);
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{71});
  EXPECT_EQ(result.terminateStatus, 71);
  EXPECT_TRUE(result.rows.empty());
}

}  // namespace
