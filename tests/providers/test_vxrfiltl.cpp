// VXRFILTL through the host core: the member status and object queries it
// sends, how it merges the members' status rows per IDNAME, the object
// counts, and the heartbeat's node-status updates.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "module_fixture.h"
#include "vxrfiltl.h"

namespace {

using vxrhost::charCell;
using vxrhost::Filter;
using vxrhost::intCell;
using vxrhost::RunResult;
using vxrhost::ScriptedStore;
using vxrtest::field;

constexpr char kSelect[] =
    "SELECT ORIGINNODE,TIME,IDSTATUS,IDTYPE,IDNAME,SMFID,RX4ID,RX4COUNT,SYS_TMAX,LOCKCNT,GBPCCNT,"
    "OADBCNT,OASTATUS";
constexpr char kView[] = "RX4plex:RX4plex:Skelvane";

// One member row of VXR.XR_SY_EXC.
struct Status {
  std::string idname = "GRP1";
  std::string idtype = "DSGRP";
  std::string idstatus = "ACTIVE";
  std::string time = "1071026132709000";
  std::string smfid = "SYSA";
  int32_t rx4count = 1, systmax = 0, lockcnt = 0, gbpccnt = 0, oadbcnt = 0;
  std::string oastatus = "YES";
};

struct Pair {
  std::string idname, japdb;
};

std::string pad(const std::string& value, size_t width) {
  return charCell(value, width);
}

// A kfastinh call as "node|parent|online"; the five constant arguments are
// checked once for every call.
struct Update {
  std::string node, parent, online;
  bool operator==(const Update&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Update& u) {
  return os << '"' << u.node << "\" parent \"" << u.parent << "\" " << u.online;
}
Update online(const std::string& node, const std::string& parent = kView) {
  return {node, parent, "Y"};
}
Update offline(const std::string& node, const std::string& parent = kView) {
  return {node, parent, "N"};
}
std::string group(const std::string& name) {
  return pad(name + ":RX4plex:DSGROUP", 32);
}

class FiltTest : public vxrtest::ModuleFixture {
 protected:
  FiltTest() : ModuleFixture(kFiltTable, "VXR.XR_SY_EXC") {
    host_->setTraceLevel("VXRFILTL", 0);
    store_.route("", "PRODUCT = 'XR'").charColumn("NODE", 32).charColumn("VERSION", 8);
  }

  static vxrtest::Reach reach(int n) {
    return {.origin = "WNRX4:M" + std::to_string(n), .version = "04.10.00"};
  }

  // A member agent reached through THRUn with origin node WNRX4:Mn. Members
  // added later are queried first (newest node first).
  ScriptedStore::Script& member(int n, const std::vector<Status>& rows) {
    std::vector<vxrtest::Row> named;
    for (const Status& s : rows) {
      named.push_back({{"TIME", s.time},
                       {"IDSTATUS", s.idstatus},
                       {"IDTYPE", s.idtype},
                       {"IDNAME", s.idname},
                       {"SMFID", s.smfid},
                       {"RX4ID", "RX4" + s.smfid},
                       {"RX4COUNT", s.rx4count},
                       {"SYS_TMAX", s.systmax},
                       {"LOCKCNT", s.lockcnt},
                       {"GBPCCNT", s.gbpccnt},
                       {"OADBCNT", s.oadbcnt},
                       {"OASTATUS", s.oastatus}});
    }
    return ModuleFixture::member(n, named, reach(n));
  }

  // The members' rows in the order they are to be filed, one member each.
  void members(const std::vector<std::vector<Status>>& inOrder) {
    for (size_t i = inOrder.size(); i-- > 0;) member(static_cast<int>(i + 1), inOrder[i]);
  }

  ScriptedStore::Script& objects(int n, const std::vector<Pair>& pairs) {
    std::vector<vxrtest::Row> named;
    for (const Pair& p : pairs) named.push_back({{"IDNAME", p.idname}, {"JAPDB", p.japdb}});
    vxrtest::Reach columns = reach(n);
    columns.columns = {"IDNAME", "JAPDB"};
    return alsoRows(n, "VXR.LOBJECTS", named, columns);
  }

  // Nodes the host lists online for the product, in fetch order.
  void registered(const std::vector<std::string>& nodes) {
    for (const std::string& node : nodes) {
      store_.route("", "PRODUCT = 'XR'").row({pad(node, 32), pad("04.10.00", 8)});
    }
  }

  RunResult run(const std::vector<Filter>& filters = {}) {
    updatesBefore_ = host_->nodeStatusCalls().size();
    return ModuleFixture::run(filters);
  }

  std::vector<FiltRow> rowsOf(const RunResult&) const { return rows<FiltRow>(); }

  std::vector<std::string> sqlWith(const std::string& table) const {
    std::vector<std::string> texts;
    for (const std::string& t : host_->sqlTexts()) {
      if (t.find(table) != std::string::npos) texts.push_back(t);
    }
    return texts;
  }

  // The heartbeat's updates of the last run.
  std::vector<Update> updates() const {
    std::vector<Update> result;
    const auto calls = host_->nodeStatusCalls();
    for (size_t i = updatesBefore_; i < calls.size(); ++i) {
      const auto& u = calls[i].update;
      EXPECT_EQ(u.nodeType, "V");
      EXPECT_EQ(u.code, "QJ");
      EXPECT_EQ(u.version, "04.10.00");
      EXPECT_EQ(u.affinity, "0020000000000000000000000000000000000000000");
      EXPECT_EQ(u.level, "10");
      result.push_back({u.node, u.parent, u.online});
    }
    return result;
  }

  size_t updatesBefore_ = 0;
};

// ---------------------------------------------------------------------------
// Queries

TEST_F(FiltTest, MemberAndObjectQueriesByteForByte) {
  member(1, {});
  objects(1, {});
  run();
  EXPECT_EQ(
      sqlWith("XR_SY_EXC"),
      std::vector<std::string>{std::string(kSelect) +
                               " FROM VXR.XR_SY_EXC AT('THRU1') WHERE ORIGINNODE ='WNRX4:M1';"});
  EXPECT_EQ(sqlWith("LOBJECTS"),
            std::vector<std::string>{"SELECT IDNAME,JAPDB FROM VXR.LOBJECTS AT('THRU1') WHERE "
                                     "ORIGINNODE = 'WNRX4:M1';"});

  // The IDNAME goes in at its full 8 characters; a quote is doubled.
  run({{1, "IDNAME", "GRP1"}});
  const std::string where = " AND      IDNAME ='GRP1    ';";
  EXPECT_EQ(sqlWith("XR_SY_EXC"),
            std::vector<std::string>{
                std::string(kSelect) +
                " FROM VXR.XR_SY_EXC AT('THRU1') WHERE ORIGINNODE ='WNRX4:M1'" + where});
  EXPECT_EQ(sqlWith("LOBJECTS"),
            std::vector<std::string>{
                "SELECT IDNAME,JAPDB FROM VXR.LOBJECTS AT('THRU1') WHERE ORIGINNODE = 'WNRX4:M1'" +
                where});
  run({{1, "IDNAME", "O'BRIENXYZ"}});
  ASSERT_EQ(sqlWith("XR_SY_EXC").size(), 1u);
  EXPECT_NE(sqlWith("XR_SY_EXC")[0].find(" AND      IDNAME ='O''BRIENX';"), std::string::npos);
}

TEST_F(FiltTest, OriginNodeFilterGivesTheIdnameAndNamesEveryRow) {
  member(1, {{.idname = "GRP1"}, {.idname = "SSA1", .idtype = "RX4SS"}});
  objects(1, {});
  RunResult result = run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  ASSERT_EQ(sqlWith("XR_SY_EXC").size(), 1u);
  EXPECT_NE(sqlWith("XR_SY_EXC")[0].find("'WNRX4:M1' AND      IDNAME ='GRP1    ';"),
            std::string::npos);
  for (const FiltRow& row : rowsOf(result)) EXPECT_EQ(field(row.ORIGINNODE), group("GRP1"));

  // An explicit IDNAME filter wins over the derived one.
  run({{1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}, {1, "IDNAME", "GRP2"}});
  EXPECT_NE(sqlWith("XR_SY_EXC")[0].find("IDNAME ='GRP2    ';"), std::string::npos);
}

TEST_F(FiltTest, OnlyEqualsFiltersOnTheKeyColumnsCount) {
  member(1, {});
  objects(1, {});
  run({{2, "IDNAME", "GRP1"}, {1, "IDNAMEX", "GRP1"}, {1, "ORIGINNOD", "GRP1:X"}});
  EXPECT_EQ(sqlWith("XR_SY_EXC")[0].find("IDNAME ='"), std::string::npos);

  host_->setTraceLevel("VXRFILTL", 0x01);
  run({{10, "IDNAME", "GRP1"}});
#if VXR_FLAVOUR_WINDOWS
  EXPECT_NE(sqlWith("XR_SY_EXC")[0].find("IDNAME ='GRP1    ';"), std::string::npos);
  EXPECT_TRUE(host_->traceContains("ZT31177li Index Filter (10) (IDNAME    ) (GRP1)"));
#else
  EXPECT_EQ(sqlWith("XR_SY_EXC")[0].find("IDNAME ='"), std::string::npos);
  EXPECT_FALSE(host_->traceContains("ZT31177"));
#endif
}

// ---------------------------------------------------------------------------
// Merging

TEST_F(FiltTest, OnlineMembersAddUpTheirCounts) {
  members({{{.time = "1071026132709000",
             .rx4count = 1,
             .systmax = 200,
             .lockcnt = 5,
             .gbpccnt = 4,
             .oastatus = "YES"}},
           {{.time = "1071026120000000",
             .rx4count = 1,
             .systmax = 300,
             .lockcnt = 7,
             .gbpccnt = 9,
             .oastatus = "YES"}}});
  objects(1, {});
  objects(2, {});
  host_->setTraceLevel("VXRFILTL", 0x01);
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 62}));
  ASSERT_EQ(result.rows.size(), 1u);
  expectGolden("online-members-add-up-their-counts");
  const FiltRow row = result.row<FiltRow>(0);
  EXPECT_EQ(field(row.Padding), std::string(2, '\0'));
}

TEST_F(FiltTest, OfflineMembersAndDisagreeingStates) {
  const Status on{.time = "1071026132709000", .rx4count = 3, .systmax = 30, .lockcnt = 300};
  const Status onNo{.time = "1071026100000000", .rx4count = 4, .oastatus = "NO"};
  const Status off{.idstatus = "OFFLINE",
                   .time = "1071026000000000",
                   .rx4count = 5,
                   .systmax = 50,
                   .lockcnt = 500,
                   .oastatus = "YES"};
  struct Case {
    const char* name;
    std::vector<Status> filed;
    int32_t rx4count, systmax, lockcnt;
    std::string time, idstatus, oastatus;
  };
  const std::vector<Case> cases = {
      {"online then online NO", {on, onNo}, 7, 30, 300, onNo.time, "ACTIVE  ", "Mix "},
      {"online then offline", {on, off}, 3, 30, 300, on.time, "ACTIVE  ", "Mix "},
      {"online NO then offline", {onNo, off}, 4, 0, 0, onNo.time, "ACTIVE  ", "NO  "},
      {"offline then online", {off, on}, 3, 30, 300, on.time, "ACTIVE  ", "Mix "},
      {"offline then online NO", {off, onNo}, 4, 0, 0, onNo.time, "ACTIVE  ", "NO  "},
      {"offline then online twice", {off, on, on}, 6, 60, 600, on.time, "ACTIVE  ", "Mix "},
      {"only offline", {off, off}, 0, 0, 0, off.time, "OFFLINE ", "NO  "},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    store_.route("").clearRows();
    member(static_cast<int>(i + 1), c.filed);
    objects(static_cast<int>(i + 1), {});
    RunResult result = run();
    ASSERT_EQ(result.rows.size(), 1u);
    FiltRow row = result.row<FiltRow>(0);
    EXPECT_EQ(row.RX4COUNT, c.rx4count);
    EXPECT_EQ(row.SYS_TMAX, c.systmax);
    EXPECT_EQ(row.LOCKCNT, c.lockcnt);
    EXPECT_EQ(field(row.TIME), c.time);
    EXPECT_EQ(field(row.IDSTATUS), c.idstatus);
    EXPECT_EQ(field(row.OASTATUS), c.oastatus);
  }
}

TEST_F(FiltTest, RowsAreNamedByGroupOrSubsystemNewestIdnameFirst) {
  member(1, {{.idname = "GRPA"},
             {.idname = "SSA1", .idtype = "RX4SS", .smfid = "SYSA"},
             {.idname = "GROUPABC"},
             {.idname = "GRPA"}});
  objects(1, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, (std::vector<int32_t>{0, 0, 0, 62}));
  std::vector<FiltRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(field(rows[0].ORIGINNODE), group("GROUPABC"));
  EXPECT_EQ(field(rows[1].ORIGINNODE), pad("SSA1:SYSA:RX4", 32));
  EXPECT_EQ(field(rows[2].ORIGINNODE), group("GRPA"));
  EXPECT_EQ(rows[2].RX4COUNT, 2);
}

// ---------------------------------------------------------------------------
// Object counts

TEST_F(FiltTest, ObjectCountsAreDistinctDatabasesPerIdname) {
  members({{{.idname = "GRP1", .oadbcnt = 17}, {.idname = "GRP2", .oadbcnt = 5}},
           {{.idname = "GRP1", .oadbcnt = 19}}});
  objects(1, {{"GRP1", "DBA"}, {"GRP1", "DBB"}});
  objects(2, {{"GRP1", "DBA"}, {"GRP1", "DBC"}, {"GRP3", "DBA"}});
  std::vector<FiltRow> rows = rowsOf(run());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0].IDNAME), pad("GRP2", 8));
  EXPECT_EQ(rows[0].OADBCNT, 0);
  EXPECT_EQ(rows[1].OADBCNT, 3);

  // One member's object query fails: the delivered counts stay.
  host_->setTraceLevel("VXRFILTL", 0x01);
  store_.route("THRU2", "FROM VXR.LOBJECTS").failOpen(vxrhost::sqlstatus::kInjected);
  rows = rowsOf(run());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].OADBCNT, 5);
  EXPECT_EQ(rows[1].OADBCNT, 17);
  EXPECT_TRUE(host_->traceContains("No Data from LobjectS"));

  // A row with another column count spoils the object query as well.
  store_.route("THRU2", "FROM VXR.LOBJECTS").failOpen(0);
  store_.route("THRU1", "FROM VXR.LOBJECTS").intColumn("EXTRA").clearRows();
  store_.route("THRU1", "FROM VXR.LOBJECTS").row({pad("GRP1", 8), pad("DBA", 8), intCell(1)});
  rows = rowsOf(run());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].OADBCNT, 17);
}

// ---------------------------------------------------------------------------
// No-fetch requests and the heartbeat

TEST_F(FiltTest, NoFetchRequestRegistersTheDetectedGroups) {
  members({{{.idname = "GRP1"}, {.idname = "SSA1", .idtype = "RX4SS"}},
           {{.idname = "GRP2", .oadbcnt = 8}, {.idname = "GRP1"}}});
  objects(1, {{"GRP1", "DBA"}});
  objects(2, {{"GRP2", "DBA"}});
  registered(
      {"GRP1:RX4plex:DSGROUP", "RX4plex:RX4plex:Skelvane", "GRP3:RX4plex:DSGROUP", "OTHER:NODE"});
  host_->setTraceLevel("VXRFILTL", 0x10);
  RunResult result = run({{1, "IDNAME", "*NOFETCH"}});

  EXPECT_EQ(sqlWith("LOBJECTS"), std::vector<std::string>{});
  for (const std::string& sql : sqlWith("XR_SY_EXC"))
    EXPECT_EQ(sql.find("IDNAME ="), std::string::npos);
  std::vector<FiltRow> rows = rowsOf(result);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(field(rows[0].IDNAME), pad("GRP2", 8));
  EXPECT_EQ(rows[0].OADBCNT, 8);  // as filed

  // The group view first, then the detected groups newest first, then the
  // listed nodes (newest first) that were not detected, apart from the view.
  EXPECT_EQ(updates(),
            (std::vector<Update>{online(kView, "*"), online(group("GRP2")), online(group("GRP1")),
                                 offline(pad("OTHER:NODE", 32)), offline(group("GRP3"))}));
  EXPECT_TRUE(host_->traceContains("Detected new node: GRP1:RX4plex:DSGROUP"));
  EXPECT_EQ(sqlWith("PRODUCT = 'XR'"),
            std::vector<std::string>{"SELECT NODE,       VERSION FROM Q7SRV.INODESTS WHERE "
                                     "NODETYPE = 'V' AND Q7ONLINE = 'Y' AND PRODUCT = 'XR';"});
}

TEST_F(FiltTest, HeartbeatWithNothingDetectedSetsEverythingOfflineViewLast) {
  // Rows filed, none of them an online DSGRP row: nothing is detected.
  member(1, {{.idname = "GRP1", .idstatus = "OFFLINE"}, {.idname = "SSA1", .idtype = "RX4SS"}});
  registered({"GRP1:RX4plex:DSGROUP", "RX4plex:RX4plex:Skelvane", "GRP3:RX4plex:DSGROUP"});
  RunResult result = run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_EQ(result.rows.size(), 2u);
  EXPECT_EQ(updates(), (std::vector<Update>{offline(group("GRP3")), offline(group("GRP1")),
                                            offline(kView, "*")}));

  // Without the view among the listed nodes it is not set offline.
  store_.route("", "PRODUCT = 'XR'").clearRows();
  registered({"GRP3:RX4plex:DSGROUP"});
  run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_EQ(updates(), (std::vector<Update>{offline(group("GRP3"))}));

  // Nothing listed, nothing detected: no update at all. Nothing listed but a
  // group detected: the view and the group still go online.
  store_.route("", "PRODUCT = 'XR'").clearRows();
  run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_EQ(updates(), std::vector<Update>{});
  member(2, {{.idname = "GRP9"}});
  run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_EQ(updates(), (std::vector<Update>{online(kView, "*"), online(group("GRP9"))}));
}

// Which member answers first must not decide whether a live group stays
// online: an online row that replaces an offline record registers its group.
class FiltOrderTest : public FiltTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FiltOrderTest, ALiveGroupStaysOnlineWhicheverMemberAnswersFirst) {
  const bool offlineFirst = GetParam();
  const Status down{.idname = "GRPB", .idstatus = "OFFLINE"};
  const Status up{.idname = "GRPB"};
  member(1, {offlineFirst ? up : down});  // members added later are queried first
  member(2, {offlineFirst ? down : up});
  registered({"GRPB:RX4plex:DSGROUP"});
  host_->setTraceLevel("VXRFILTL", 0x10);
  RunResult result = run({{1, "IDNAME", "*NOFETCH"}});
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(updates(), (std::vector<Update>{online(kView, "*"), online(group("GRPB"))}));
  EXPECT_TRUE(host_->traceContains("Detected new node: GRPB:RX4plex:DSGROUP"));
}
INSTANTIATE_TEST_SUITE_P(MemberOrder, FiltOrderTest, ::testing::Bool());

TEST_F(FiltTest, HeartbeatRunsOnlyForNoFetchRequestsThatFoundData) {
  member(1, {{.idname = "GRP1"}});
  objects(1, {});
  registered({"GRP3:RX4plex:DSGROUP"});
  run({{1, "IDNAME", "GRP1"}});
  EXPECT_EQ(updates(), std::vector<Update>{});
  // A later IDNAME filter replaces the no-fetch one altogether.
  run({{1, "IDNAME", "*NOFETCH"}, {1, "IDNAME", "GRP1"}});
  EXPECT_EQ(updates(), std::vector<Update>{});
  EXPECT_EQ(sqlWith("LOBJECTS").size(), 1u);

  store_.route("THRU1").clearRows();
  RunResult result = run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(updates(), std::vector<Update>{});
}

TEST_F(FiltTest, FailingMemberWithholdsEveryRowButKeepsTheHeartbeat) {
  members({{{.idname = "GRP1"}}, {{.idname = "GRP2"}}});
  store_.route("THRU2").failOpen(vxrhost::sqlstatus::kInjected);
  objects(1, {});
  registered({"RX4plex:RX4plex:Skelvane", "GRP1:RX4plex:DSGROUP"});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(sqlWith("LOBJECTS"), std::vector<std::string>{});
  // Not a no-fetch request: nothing was detected, so everything goes offline.
  EXPECT_EQ(updates(), (std::vector<Update>{offline(group("GRP1")), offline(kView, "*")}));

  // A no-fetch request keeps the groups detected before the failure online.
  result = run({{1, "IDNAME", "*NOFETCH"}});
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(updates(), (std::vector<Update>{online(kView, "*"), online(group("GRP1"))}));

  // A failure before any row was filed: no heartbeat.
  store_.route("THRU1").failOpen(vxrhost::sqlstatus::kInjected);
  result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_EQ(updates(), std::vector<Update>{});
}

TEST_F(FiltTest, RowOfAnotherColumnCountEndsTheRequestWithoutRows) {
  std::vector<std::string> row = memberCells(1, {{"IDNAME", "GRP1"}}, reach(1));
  row.push_back(intCell(1));
  member(1, {}).intColumn("EXTRA").row(row);
  objects(1, {});
  RunResult result = run();
  EXPECT_EQ(result.processStatuses, std::vector<int32_t>{62});
  EXPECT_TRUE(result.rows.empty());
}

// ---------------------------------------------------------------------------
// Registration

TEST_F(FiltTest, CompileDateAndLevelOfTheFlavour) {
  member(1, {});
  run();  // the own unit registers with its first trace check
  const vxrhost::CompileDate date = module_->compileDate();
  EXPECT_STREQ(date.version, "V130");
  bool found = false;
  for (const vxrhost::UnitInfo& unit : module_->units()) {
    if (unit.name != "VXRFILTL") continue;
    found = true;
#if VXR_FLAVOUR_WINDOWS
    EXPECT_EQ(unit.level, "ZT31177");
#else
    EXPECT_EQ(unit.level, "level200");
#endif
  }
  EXPECT_TRUE(found);
#if VXR_FLAVOUR_WINDOWS
  EXPECT_STREQ(date.date, "Oct 26 2007");
  EXPECT_STREQ(date.time, "13:27:09");
#else
  EXPECT_EQ(std::strlen(date.date), 11u);
  EXPECT_EQ(std::strlen(date.time), 8u);
#endif
}

}  // namespace
