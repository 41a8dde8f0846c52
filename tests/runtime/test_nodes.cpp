#include "test_support.h"
#include "vxr/nodes.h"

namespace {

using vxrhost::charCell;

struct NodeDiscovery : HostTest {
  VXR_ResultTable* table = nullptr;
  VXR_ListHeader* list = nullptr;
  void create(int32_t elementSize) {
    list = vxr::createTable(&table, elementSize, vxr::kNodesPerBlock);
  }
  ~NodeDiscovery() override { vxr::destroyTable(&table); }
  std::vector<std::string> thruNodes() {
    std::vector<std::string> names;
    for (VXR_ListLinks* e : vxr::walk(list)) names.emplace_back(vxr::nodeOf(e).thruNode);
    return names;
  }
};

TEST_F(NodeDiscovery, ListsOnlineMembersNewestFirst) {
  scriptNodes(store,
              {{"TEMSA", "WNRX4:RXA1:SYSA", "04.20.00"}, {"TEMSB", "WNRX4:RXB1:SYSB", "04.01"}});
  create(vxr::elementSize<VXR_NodeRecord>());
  EXPECT_EQ(buildNodeList(table, list), 1);
  EXPECT_EQ(host.sqlTexts(),
            std::vector<std::string>{
                "SELECT THRUNODE, ORIGINNODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = "
                "'V' AND Q7ONLINE = 'Y' AND ORIGINNODE LIKE 'WNRX4:*';"});
  ASSERT_EQ(thruNodes().size(), 2u);
  const VXR_NodeRecord& first = vxr::nodeOf(vxr::newest(list));
  EXPECT_EQ(std::string(first.thruNode), "TEMSB" + std::string(27, ' '));
  EXPECT_EQ(std::string(first.originNode), "WNRX4:RXB1:SYSB" + std::string(17, ' '));
  EXPECT_EQ(std::string(first.version), "04.01   ");  // a short value is blank-padded
  EXPECT_EQ(first.spare, 0);
}

TEST_F(NodeDiscovery, ThirtyThreeMembersNeedASecondBlock) {
  std::vector<std::array<std::string, 3>> members;
  for (int i = 0; i < 33; ++i)
    members.push_back({"T" + std::to_string(i), "WNRX4:M" + std::to_string(i), "04.20.00"});
  scriptNodes(store, members);
  create(vxr::elementSize<VXR_NodeRecord>());
  EXPECT_EQ(buildNodeList(table, list), 1);
  EXPECT_EQ(table->totalElements, 33);
  EXPECT_EQ(table->totalBlocks, 2);
  EXPECT_EQ(thruNodes().front().substr(0, 3), "T32");
  EXPECT_EQ(thruNodes().back().substr(0, 3), "T0 ");
}

TEST_F(NodeDiscovery, FailedOrEmptyQueriesLeaveAnEmptyListAndStillReturn1) {
  scriptNodes(store, {});
  create(vxr::elementSize<VXR_NodeRecord>());
  EXPECT_EQ(buildNodeList(table, list), 1);
  EXPECT_TRUE(vxr::listEmpty(list));
  store.route("").failOpen(90);
  EXPECT_EQ(buildNodeList(table, list), 1);
  EXPECT_TRUE(vxr::listEmpty(list));
  EXPECT_EQ(host.liveSqlObjects(), 0u);
}

TEST_F(NodeDiscovery, ARowWithTooFewColumnsIsNotCopied) {
  store.route("").charColumn("THRUNODE", 32).row({charCell("TEMSA", 32)});
  create(vxr::elementSize<VXR_NodeRecord>());
  EXPECT_EQ(buildNodeList(table, list), 1);
  EXPECT_TRUE(vxr::listEmpty(list));
}

TEST_F(NodeDiscovery, OriginListNodePatterns) {
  store.route("")
      .charColumn("NODE", 32)
      .charColumn("VERSION", 8)
      .row({charCell("GRP1:RX4plex:DSGROUP", 32), charCell("04.10.00", 8)});
  create(vxr::elementSize<VXR_OriginRecord>());
  const std::string base =
      "SELECT NODE,       VERSION FROM Q7SRV.INODESTS WHERE NODETYPE = 'V' AND Q7ONLINE = 'Y'";
  struct Case {
    const char* name;
    const char* product;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"AB CD", "XR", base + " AND PRODUCT = 'XR'   AND NODE LIKE 'AB*';"},
      {"", "XR", base + " AND PRODUCT = 'XR';"},
      {" ", "XR", base + " AND PRODUCT = 'XR';"},
      {"ABCDEFGHIJKL", nullptr, base + " AND PRODUCT = 'QM'   AND NODE LIKE 'ABCDEFGH*';"},
      {"O'B", "XR", base + " AND PRODUCT = 'XR'   AND NODE LIKE 'O''B*';"},
  };
  for (const Case& c : cases) {
    host.clearSqlTexts();
    EXPECT_EQ(buildOrigList(c.name, table, list, c.product), 1);
    ASSERT_EQ(host.sqlTexts().size(), 1u);
    EXPECT_EQ(host.sqlTexts()[0], c.expected) << "node name '" << c.name << "'";
  }
  const auto* origin = static_cast<const VXR_OriginRecord*>(vxr::elementData(vxr::newest(list)));
  EXPECT_EQ(std::string(origin->node, 32), "GRP1:RX4plex:DSGROUP            ");
  EXPECT_EQ(std::string(origin->version, 8), "04.10.00");
}

}  // namespace
