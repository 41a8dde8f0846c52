// What a result table keeps beyond the host's anchor layout: the indexes
// over its list (see vxr/merge.h). The anchor is allocated as a TableStore,
// its specified fields first, so the anchor layout stays as asserted.
#pragma once

#include "vxr/merge.h"
#include "vxr/result_table.h"

namespace vxr::detail {

struct IndexSlot {
  VXR_ListLinks* element;  // the newest element of the key; null: free slot
  uint32_t hash;
  int32_t count;  // elements of the list with this key
};

constexpr size_t kMaxKeyRanges = 8;

// Open addressing with linear probing over a power-of-two number of slots,
// grown by doubling at three quarters load. In step with the list while `entered`
// equals the table's element count; otherwise it is rebuilt from the list
// before use.
struct KeyIndex {
  IndexSlot* slots;
  uint32_t capacity;
  uint32_t used;
  int32_t entered;
  uint32_t rangeCount;
  ByteRange ranges[kMaxKeyRanges];
};

// Blocks are carved out of chunks: the first chunk holds one block, each
// further one as many blocks as the table holds so far (up to about 4 MB),
// so that a large table costs a few allocations, not one per block, and its
// chunks can sit on large pages (fewer page faults and TLB misses).
struct TableTrailer {
  KeyIndex find;     // the merge key
  KeyIndex count;    // the key of countKeyed
  int32_t failures;  // element requests that failed (no block, no index room)
  void* chunks;      // the newest chunk; each starts with the address of the one before
  char* chunkFree;   // the next block's place in the newest chunk
  size_t chunkLeft;  // blocks that still fit in the newest chunk
};

struct TableStore {
  VXR_ResultTable table;
  TableTrailer trailer;
};

inline TableTrailer& trailerOf(VXR_ResultTable* table) {
  return reinterpret_cast<TableStore*>(table)->trailer;
}

void clearIndex(KeyIndex& index);
void releaseIndex(KeyIndex& index);

// Memory for a large array visited in no order: from 2 MB on aligned to
// and asking for large pages; free it with std::free.
void* allocateLarge(size_t bytes);

}  // namespace vxr::detail
