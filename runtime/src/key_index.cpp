// The result table's key indexes: the newest element of a key in constant
// time, and the number of elements of a key, in step with the table's list.
#include <cstdlib>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include "runtime_units.h"
#include "table_store.h"

namespace vxr {

using detail::IndexSlot;
using detail::KeyIndex;

namespace {

constexpr uint32_t kFirstCapacity = 16;

// Eight bytes at a time, a range's shorter tail (if any) with its length;
// the last steps spread the high bits into the low ones the slots are taken
// from.
uint32_t hashKey(const void* data, MergeKey key) {
  const auto* base = static_cast<const unsigned char*>(data);
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (const ByteRange& range : key) {
    const unsigned char* p = base + range.offset;
    size_t n = range.length;
    while (n >= 8) {
      uint64_t chunk;
      std::memcpy(&chunk, p, 8);
      h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
      p += 8;
      n -= 8;
    }
    if (n != 0) {
      uint64_t tail = 0;
      std::memcpy(&tail, p, n);
      h = (h ^ tail ^ (static_cast<uint64_t>(n) << 56)) * 0xC4CEB9FE1A85EC53ull;
      h ^= h >> 29;
    }
  }
  h = (h ^ (h >> 33)) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

bool sameKey(const KeyIndex& index, MergeKey key) {
  if (index.rangeCount != key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (index.ranges[i].offset != key[i].offset || index.ranges[i].length != key[i].length)
      return false;
  }
  return true;
}

MergeKey keyOf(const KeyIndex& index) {
  return MergeKey(index.ranges, index.rangeCount);
}

// The slot of the key: the one holding it, or the free slot where it goes.
IndexSlot& slotFor(const KeyIndex& index, const void* data, uint32_t hash) {
  const uint32_t mask = index.capacity - 1;
  const MergeKey key = keyOf(index);
  for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
    IndexSlot& slot = index.slots[i];
    if (slot.element == nullptr) return slot;
    if (slot.hash == hash && keysEqual(elementData(slot.element), data, key)) return slot;
  }
}

void traceIndexFailure() {
  VXR_ANCHOR_ON(indexAnchor, vxrUtilUnit, vxrUtilUnitSync, "RSLTindex");
  const Trace trace = traceEnter(&indexAnchor);
  VXR_TRACE(trace, kTraceError, "RSLT index allocation failed\n");
  traceExitVoid(trace, __LINE__);
}

bool allocateSlots(KeyIndex& index, uint32_t capacity) {
  if (index.slots != nullptr && index.capacity == capacity) {  // a rebuild at the same size
    std::memset(index.slots, 0, sizeof(IndexSlot) * capacity);
    index.used = 0;
    return true;
  }
  auto* slots = static_cast<IndexSlot*>(detail::allocateLarge(sizeof(IndexSlot) * capacity));
  if (slots == nullptr) {
    traceIndexFailure();
    return false;
  }
  std::memset(slots, 0, sizeof(IndexSlot) * capacity);
  std::free(index.slots);
  index.slots = slots;
  index.capacity = capacity;
  index.used = 0;
  return true;
}

// Enters an element whose key hashes to `hash` as the newest of its key.
void enter(KeyIndex& index, VXR_ListLinks* element, uint32_t hash) {
  IndexSlot& slot = slotFor(index, elementData(element), hash);
  if (slot.element == nullptr) {
    slot.hash = hash;
    slot.count = 0;
    ++index.used;
  }
  slot.element = element;
  ++slot.count;
}

// Room for one more key: grown by doubling (the live slots re-entered) once
// three quarters are taken. Four slots share a cache line, so the longer
// probe runs of that load cost little, where an index at most half full
// takes twice the memory, which a fresh process pays for as it first
// touches it.
[[maybe_unused]] bool reserve(KeyIndex& index) {
  if (index.slots != nullptr && uint64_t{index.used + 1} * 4 <= uint64_t{index.capacity} * 3)
    return true;
  const uint32_t capacity = index.slots == nullptr ? kFirstCapacity : index.capacity * 2;
  if (capacity == 0 || capacity > UINT32_MAX / sizeof(IndexSlot)) return false;
  IndexSlot* old = index.slots;
  const uint32_t oldCapacity = index.capacity;
  index.slots = nullptr;
  if (!allocateSlots(index, capacity)) {
    index.slots = old;
    return false;
  }
  for (uint32_t i = 0; i < oldCapacity; ++i) {
    const IndexSlot& from = old[i];
    if (from.element == nullptr) continue;
    IndexSlot& to = slotFor(index, elementData(from.element), from.hash);
    to = from;
    ++index.used;
  }
  std::free(old);
  return true;
}

// Brings the index in step with the table's list under `key`: rebuilt from
// the list, oldest first, so that each key ends on its newest element. The
// slots start at twice a quarter of the elements and grow with the keys
// entered, so that an index whose keys each hold many elements (as counts
// usually do) stays small enough for the caches. The next element's slot is
// fetched while the current one is entered.
[[maybe_unused]] bool sync(VXR_ResultTable* table, KeyIndex& index, MergeKey key) {
  if (index.slots != nullptr && index.entered == table->totalElements && sameKey(index, key))
    return true;
  if (key.size() > detail::kMaxKeyRanges) return false;
  index.rangeCount = static_cast<uint32_t>(key.size());
  for (size_t i = 0; i < key.size(); ++i) index.ranges[i] = key[i];
  uint32_t capacity = kFirstCapacity;
  const uint64_t needed = static_cast<uint64_t>(table->totalElements) / 2 + 2;
  while (capacity < needed && capacity < (1u << 30)) capacity *= 2;
  index.entered = -1;
  if (!allocateSlots(index, capacity)) return false;
  VXR_ListHeader* list = listOf(table);
  VXR_ListLinks* e = oldest(list);
  uint32_t hash = e != nullptr ? hashKey(elementData(e), key) : 0;
  while (e != nullptr) {
    VXR_ListLinks* next = newer(list, e);
    uint32_t nextHash = 0;
    if (next != nullptr) {
      nextHash = hashKey(elementData(next), key);
      __builtin_prefetch(&index.slots[nextHash & (index.capacity - 1)]);
    }
    if (!reserve(index)) return false;
    enter(index, e, hash);
    e = next;
    hash = nextHash;
  }
  index.entered = table->totalElements;
  return true;
}

}  // namespace

namespace detail {
// A large index (a slot per key, looked up in no order) or a large result
// table costs a cache miss and, with small pages, a TLB miss per lookup; from
// 2 MB on the memory is aligned to and asks for large pages, which take the
// TLB miss away where the system grants them.
void* allocateLarge(size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr size_t kLargePage = size_t{2} << 20;
  if (bytes >= kLargePage) {
    // The whole of the last large page too: a range that ends inside it
    // leaves that page small.
    const size_t whole = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* memory = std::aligned_alloc(kLargePage, whole);
    if (memory != nullptr) madvise(memory, whole, MADV_HUGEPAGE);
    return memory;
  }
#endif
  return std::malloc(bytes);
}

void clearIndex(KeyIndex& index) {
  std::memset(&index, 0, sizeof index);
}
void releaseIndex(KeyIndex& index) {
  std::free(index.slots);
  clearIndex(index);
}
}  // namespace detail

bool tableFailed(VXR_ResultTable* table) {
  return table != nullptr && detail::trailerOf(table).failures != 0;
}

#if VXR_MERGE_WALK

VXR_ListLinks* findKeyed(VXR_ResultTable* table, const void* data, MergeKey key) {
  return findByKeys(listOf(table), data, key);
}
void* fileKeyed(VXR_ResultTable* table, const void* data, size_t size, MergeKey) {
  return fileCopy(table, listOf(table), data, size);
}
int32_t countKeyed(VXR_ResultTable* table, const void* data, MergeKey key) {
  return countByKeys(listOf(table), data, key);
}

#else

VXR_ListLinks* findKeyed(VXR_ResultTable* table, const void* data, MergeKey key) {
  KeyIndex& index = detail::trailerOf(table).find;
  if (!sync(table, index, key)) return findByKeys(listOf(table), data, key);
  return slotFor(index, data, hashKey(data, key)).element;
}

void* fileKeyed(VXR_ResultTable* table, const void* data, size_t size, MergeKey key) {
  KeyIndex& index = detail::trailerOf(table).find;
  if (!sync(table, index, key) || !reserve(index)) {
    ++detail::trailerOf(table).failures;
    return nullptr;
  }
  void* filed = fileCopy(table, listOf(table), data, size);
  if (filed == nullptr) return nullptr;  // counted by RSLTget
  enter(index, static_cast<VXR_ListLinks*>(filed) - 1, hashKey(filed, key));
  index.entered = table->totalElements;
  return filed;
}

int32_t countKeyed(VXR_ResultTable* table, const void* data, MergeKey key) {
  KeyIndex& index = detail::trailerOf(table).count;
  if (!sync(table, index, key)) return countByKeys(listOf(table), data, key);
  const IndexSlot& slot = slotFor(index, data, hashKey(data, key));
  return slot.element ? slot.count : 0;
}

#endif

}  // namespace vxr
