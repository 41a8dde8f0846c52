#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"
#include "vxr/helpers.h"
#include "vxr/registration.h"

VXR_BUILD_STAMP();

namespace {

struct Item {
  int32_t value;
};
using ItemElement = vxr::Element<Item>;

int32_t valueOf(VXR_ListLinks* element) {
  return static_cast<Item*>(vxr::elementData(element))->value;
}

TEST(ResultTable, EleventhElementOpensSecondBlock) {
  vxrhost::Host host;
  host.setTraceLevel("VXRMUTL", kTraceDetail);
  VXR_ResultTable* table = nullptr;
  ASSERT_EQ(RSLTinit(&table, vxr::elementSize<Item>(), 10), 0);
  EXPECT_EQ(table->freeInBlock, 0);
  EXPECT_EQ(table->blockSize, vxr::elementSize<Item>() * 10 + int32_t{sizeof(void*)});
  EXPECT_TRUE(vxr::listEmpty(&table->list));

  std::vector<char*> elements;
  for (int i = 0; i < 11; ++i) {
    void* element = nullptr;
    ASSERT_EQ(RSLTget(table, &element), 0);
    elements.push_back(static_cast<char*>(element));
  }
  EXPECT_EQ(table->totalBlocks, 2);
  EXPECT_EQ(table->totalElements, 11);
  // Elements come in address order within a block, after its next-block word.
  EXPECT_EQ(elements[0], static_cast<char*>(table->firstBlock) + sizeof(void*));
  EXPECT_EQ(elements[9] - elements[0], 9 * vxr::elementSize<Item>());
  EXPECT_EQ(elements[10], static_cast<char*>(table->currentBlock) + sizeof(void*));
  void* chained = nullptr;
  std::memcpy(&chained, table->firstBlock, sizeof chained);
  EXPECT_EQ(chained, table->currentBlock);
  EXPECT_TRUE(host.traceContains("RSLT Element 1 at"));
  EXPECT_TRUE(host.traceContains("RSLT Element 10 at"));

  EXPECT_EQ(RSLTdestroy(&table), 0);
  EXPECT_EQ(table, nullptr);
}

// Blocks come out of shared chunks: however many there are, and for odd
// element sizes, blocks (and elements) never overlap, each block starts on
// a 16-byte boundary, the chain holds every block in order, an element
// keeps what was written into it, and destroy traces every block.
TEST(ResultTable, ManyBlocksStayApartAndChained) {
  struct Case {
    int32_t elementSize;
    int32_t perBlock;
    int32_t elements;
  };
  for (const Case c :
       {Case{13, 10, 5000}, Case{696, 10, 20000}, Case{8, 1, 3000}, Case{1 << 20, 5, 3}}) {
    SCOPED_TRACE(c.elementSize);
    vxrhost::Host host;
    host.setTraceLevel("VXRMUTL", kTraceDetail);
    VXR_ResultTable* table = nullptr;
    ASSERT_EQ(RSLTinit(&table, c.elementSize, c.perBlock), 0);
    std::vector<char*> elements;
    for (int32_t i = 0; i < c.elements; ++i) {
      void* element = nullptr;
      ASSERT_EQ(RSLTget(table, &element), 0);
      std::memset(element, static_cast<unsigned char>(i), static_cast<size_t>(c.elementSize));
      elements.push_back(static_cast<char*>(element));
    }
    std::vector<char*> blocks;
    for (void* block = table->firstBlock; block != nullptr;) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
      blocks.push_back(static_cast<char*>(block));
      std::memcpy(&block, block, sizeof block);
    }
    ASSERT_EQ(static_cast<int32_t>(blocks.size()), table->totalBlocks);
    EXPECT_EQ(blocks.back(), table->currentBlock);
    std::vector<char*> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
      EXPECT_GE(sorted[i] - sorted[i - 1], table->blockSize);
    for (int32_t i = 0; i < c.elements; ++i) {
      EXPECT_EQ(elements[static_cast<size_t>(i)],
                blocks[static_cast<size_t>(i / c.perBlock)] + sizeof(void*) +
                    static_cast<size_t>(i % c.perBlock) * static_cast<size_t>(c.elementSize));
      EXPECT_EQ(elements[static_cast<size_t>(i)][c.elementSize - 1], static_cast<char>(i));
    }
    host.clearTrace();
    ASSERT_EQ(RSLTdestroy(&table), 0);
    size_t freed = 0;
    for (const std::string& line : host.traceText())
      freed += line.find("RSLT Freeing block") != std::string::npos;
    EXPECT_EQ(freed, blocks.size());
  }
}

TEST(ResultTable, DestroyWithoutElementsFreesOnlyTheAnchor) {
  vxrhost::Host host;
  host.setTraceLevel("VXRMUTL", kTraceDetail);
  VXR_ResultTable* table = nullptr;
  ASSERT_EQ(RSLTinit(&table, 16, 10), 0);
  EXPECT_EQ(RSLTdestroy(&table), 0);
  EXPECT_FALSE(host.traceContains("RSLT Freeing block"));
  EXPECT_TRUE(host.traceContains("RSLTDestroy done..."));
}

TEST(ResultTable, OverwrittenEyeCatcherIsRefusedWhateverTheLevel) {
  vxrhost::Host host;  // trace level 0
  VXR_ResultTable* table = nullptr;
  ASSERT_EQ(RSLTinit(&table, 16, 10), 0);
  void* element = nullptr;
  ASSERT_EQ(RSLTget(table, &element), 0);
  table->eyeCatcher[0] = 'X';
  VXR_ResultTable* kept = table;
  EXPECT_EQ(RSLTdestroy(&table), vxr::kRsltVerifyFailed);
  EXPECT_EQ(table, kept);
  EXPECT_TRUE(host.traceContains("RSLT Destroy failed verify"));
  table->eyeCatcher[0] = 'V';
  EXPECT_EQ(RSLTdestroy(&table), 0);
}

TEST(ResultTable, UnusableSizesAreRefused) {
  vxrhost::Host host;
  VXR_ResultTable* table = nullptr;
  EXPECT_EQ(RSLTinit(&table, 0, 10), vxr::kRsltAnchorNotObtained);
  EXPECT_EQ(RSLTinit(&table, 16, -1), vxr::kRsltAnchorNotObtained);
  EXPECT_EQ(RSLTinit(&table, 1 << 20, 1 << 20), vxr::kRsltAnchorNotObtained);
  EXPECT_EQ(table, nullptr);
}

TEST(ResultList, WalksNewestFirstAndKeepsBothEnds) {
  vxrhost::Host host;
  VXR_ResultTable* table = nullptr;
  VXR_ListHeader* list = vxr::createTable(&table, vxr::elementSize<Item>(), 2);
  ASSERT_NE(list, nullptr);
  // An empty list: the header's newest is the header itself, the end marker.
  EXPECT_EQ(list->ends.older, list->endMarker);
  EXPECT_EQ(list->ends.newer, list->endMarker);
  int visited = 0;
  for (VXR_ListLinks* element : vxr::walk(list)) visited += element != nullptr;
  EXPECT_EQ(visited, 0);

  for (int32_t value : {1, 2, 3}) {
    Item item{value};
    ASSERT_NE(vxr::fileCopy(table, list, &item, sizeof item), nullptr);
  }
  std::vector<int32_t> order;
  for (VXR_ListLinks* element : vxr::walk(list)) order.push_back(valueOf(element));
  EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 1}));
  // Newer links run the other way, from the oldest back to the header.
  VXR_ListLinks* oldest = list->ends.newer;
  EXPECT_EQ(valueOf(oldest), 1);
  EXPECT_EQ(valueOf(oldest->newer), 2);
  EXPECT_EQ(valueOf(oldest->newer->newer), 3);
  EXPECT_EQ(oldest->newer->newer->newer, list->endMarker);
  vxr::destroyTable(&table);
  EXPECT_EQ(table, nullptr);
}

}  // namespace
