#include "vxr/result_table.h"

#include <cstdlib>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include "runtime_units.h"
#include "table_store.h"
#include "vxr/trace.h"

namespace {
constexpr char kEyeCatcher[8] = {'V', 'X', 'R', 'R', 'S', 'L', 'T', ' '};

// Blocks in a chunk start on this boundary, as a block of its own would.
constexpr size_t kBlockAlign = 16;
constexpr size_t kChunkHeader = kBlockAlign;  // the address of the chunk before
constexpr size_t kChunkBytes = size_t{4} << 20;

// Under the sanitizers every block is a chunk of its own, so that an element
// written past its block's end is caught as before.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kBlockPerChunk = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kBlockPerChunk = true;
#else
constexpr bool kBlockPerChunk = false;
#endif
#else
constexpr bool kBlockPerChunk = false;
#endif

// A large chunk's pages are made present in one call rather than one
// page fault each as its elements are first written (where the system
// knows the call; otherwise they fault in as before).
void prefault([[maybe_unused]] void* chunk, [[maybe_unused]] size_t size) {
#if defined(MADV_POPULATE_WRITE)
  constexpr uintptr_t kPage = 4096;
  constexpr size_t kWorthIt = size_t{1} << 20;
  if (size < kWorthIt) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(chunk) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(chunk) + size) & ~(kPage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

size_t blockStride(const VXR_ResultTable* table) {
  return (static_cast<size_t>(table->blockSize) + kBlockAlign - 1) & ~(kBlockAlign - 1);
}

// A new block of the table, or null when no memory is to be had.
void* takeBlock(VXR_ResultTable* table) {
  vxr::detail::TableTrailer& trailer = vxr::detail::trailerOf(table);
  const size_t stride = blockStride(table);
  if (trailer.chunkLeft == 0) {
    // As many blocks as the table has (one for the first), up to a chunk's
    // size; a block larger than that alone.
    const size_t held = static_cast<size_t>(table->totalBlocks) - 1;
    size_t blocks = held == 0 || kBlockPerChunk ? 1 : held;
    const size_t most = stride < kChunkBytes ? (kChunkBytes - kChunkHeader) / stride : 1;
    if (blocks > most) blocks = most;
    // A chunk on large pages is filled up to its last page's end.
    constexpr size_t kLargePage = size_t{2} << 20;
    const size_t bytes = kChunkHeader + blocks * stride;
    if (bytes > kLargePage && blocks < most) {
      const size_t pages = (bytes + kLargePage - 1) / kLargePage;
      blocks = (pages * kLargePage - kChunkHeader) / stride;
      if (blocks > most) blocks = most;
    }
    // Large pages pay where elements are looked up by key in no order; a
    // list only filed and walked in order touches each page once, and there
    // clearing a large page on first touch costs more than the small pages'
    // faults.
    // Small pages are made present a chunk at a time.
    const size_t size = kChunkHeader + blocks * stride;
    const bool keyed = trailer.find.slots != nullptr;
    void* chunk = keyed ? vxr::detail::allocateLarge(size) : std::malloc(size);
    if (chunk == nullptr) return nullptr;
    if (!keyed) prefault(chunk, size);
    std::memcpy(chunk, &trailer.chunks, sizeof(void*));
    trailer.chunks = chunk;
    trailer.chunkFree = static_cast<char*>(chunk) + kChunkHeader;
    trailer.chunkLeft = blocks;
  }
  void* block = trailer.chunkFree;
  trailer.chunkFree += stride;
  --trailer.chunkLeft;
  return block;
}

void freeChunks(vxr::detail::TableTrailer& trailer) {
  while (trailer.chunks != nullptr) {
    void* chunk = trailer.chunks;
    std::memcpy(&trailer.chunks, chunk, sizeof(void*));
    std::free(chunk);
  }
  trailer.chunkFree = nullptr;
  trailer.chunkLeft = 0;
}

}  // namespace

#define UTL_FUNCTION(name)                                      \
  VXR_ANCHOR_ON(utlAnchor, vxrUtilUnit, vxrUtilUnitSync, name); \
  const ::vxr::Trace trace = ::vxr::traceEnter(&utlAnchor)

extern "C" int32_t RSLTinit(VXR_ResultTable** anchor, int32_t elementSize, int32_t primarySize) {
  UTL_FUNCTION("RSLTinit");
  // A block is one next-block word and primarySize elements; refuse sizes
  // whose block would not fit a signed 32-bit size.
  const int64_t blockSize =
      static_cast<int64_t>(elementSize) * primarySize + static_cast<int64_t>(sizeof(void*));
  VXR_ResultTable* table = nullptr;
  if (elementSize > 0 && primarySize > 0 && blockSize <= INT32_MAX) {
    // The anchor's fields, then the trailer with the key indexes.
    auto* store =
        static_cast<vxr::detail::TableStore*>(std::malloc(sizeof(vxr::detail::TableStore)));
    if (store != nullptr) {
      table = &store->table;
      vxr::detail::clearIndex(store->trailer.find);
      vxr::detail::clearIndex(store->trailer.count);
      store->trailer.failures = 0;
      store->trailer.chunks = nullptr;
      store->trailer.chunkFree = nullptr;
      store->trailer.chunkLeft = 0;
    }
  }
  if (table == nullptr) {
    VXR_TRACE(trace, kTraceError, "RSLT Table alloc failed\n");
    VXR_RETURN(vxr::kRsltAnchorNotObtained);
  }
  std::memcpy(table->eyeCatcher, kEyeCatcher, 8);
  table->elementSize = elementSize;
  table->primarySize = primarySize;
  table->freeInBlock = 0;
  table->blockSize = static_cast<int32_t>(blockSize);
  table->totalElements = 0;
  table->totalBlocks = 0;
  table->firstBlock = nullptr;
  table->currentBlock = nullptr;
  table->list.ends.older = &table->list.ends;
  table->list.ends.newer = &table->list.ends;
  table->list.endMarker = &table->list.ends;
  VXR_TRACE(trace, kTraceDetail, "Init RSLT Tableat %8x\n", vxr::traceAddress(table));
  VXR_TRACE(trace, kTraceDetail, "ElementSize %d\n", elementSize);
  VXR_TRACE(trace, kTraceDetail, "PrimarySize %d\n", primarySize);
  VXR_TRACE(trace, kTraceDetail, "  BlockSize %d\n", table->blockSize);
  *anchor = table;
  VXR_RETURN(0);
}

extern "C" int32_t RSLTget(VXR_ResultTable* table, void** element) {
  UTL_FUNCTION("RSLTget");
  if (table->freeInBlock < 1) {
    VXR_TRACE(trace, kTraceDetail, "RSLT Table block alloc of %d bytes\n", table->blockSize);
    ++table->totalBlocks;
    void* block = takeBlock(table);
    if (block == nullptr) {
      ++vxr::detail::trailerOf(table).failures;
      VXR_TRACE(trace, kTraceError, "RSLT block allocation failed\n");
      VXR_RETURN(vxr::kRsltBlockNotObtained);
    }
    if (table->firstBlock == nullptr) table->firstBlock = block;
    if (table->currentBlock != nullptr) std::memcpy(table->currentBlock, &block, sizeof block);
    table->currentBlock = block;
    void* none = nullptr;
    std::memcpy(block, &none, sizeof none);
    table->freeInBlock = table->primarySize;
  }
  const int32_t number = table->primarySize - table->freeInBlock;
  char* address = static_cast<char*>(table->currentBlock) + sizeof(void*) +
                  static_cast<size_t>(number) * static_cast<size_t>(table->elementSize);
  ++table->totalElements;
  VXR_TRACE(trace, kTraceDetail, "RSLT Element %d at %8x in block %8x\n", number + 1,
            vxr::traceAddress(address), vxr::traceAddress(table->currentBlock));
  --table->freeInBlock;
  *element = address;
  VXR_RETURN(0);
}

extern "C" int32_t RSLTdestroy(VXR_ResultTable** anchor) {
  UTL_FUNCTION("RSLTdestroy");
  VXR_ResultTable* table = *anchor;
  VXR_TRACE(trace, kTraceDetail, "RSLT anchor at %8x\n", vxr::traceAddress(table));
  VXR_TRACE(trace, kTraceDetail, "     Total Elements: %d\n", table->totalElements);
  VXR_TRACE(trace, kTraceDetail, "     Total Blocks:   %d\n", table->totalBlocks);
  VXR_TRACE(trace, kTraceDetail, "     Block Size:     %d\n", table->blockSize);
  if (std::memcmp(table->eyeCatcher, kEyeCatcher, 8) != 0) {
    VXR_TRACE(trace, vxr::kTraceAlways, "RSLT Destroy failed verify\n");
    VXR_RETURN(vxr::kRsltVerifyFailed);
  }
  // The blocks are freed with the chunks that hold them; the walk is only
  // for the trace.
  if (!trace.on(kTraceDetail)) table->firstBlock = nullptr;
  while (table->firstBlock != nullptr) {
    void* block = table->firstBlock;
    VXR_TRACE(trace, kTraceDetail, "RSLT Freeing block at %8x for %d bytes\n",
              vxr::traceAddress(block), table->blockSize);
    std::memcpy(&table->firstBlock, block, sizeof(void*));
  }
  freeChunks(vxr::detail::trailerOf(table));
  vxr::detail::releaseIndex(vxr::detail::trailerOf(table).find);
  vxr::detail::releaseIndex(vxr::detail::trailerOf(table).count);
  *anchor = nullptr;
  VXR_TRACE(trace, kTraceDetail, "Freeing RSLT block at %8x\n", vxr::traceAddress(table));
  std::free(table);
  VXR_TRACE(trace, kTraceDetail, "RSLTDestroy done...\n");
  VXR_RETURN(0);
}
