// Result table: fixed-size elements handed out from blocks allocated as
// needed and freed all at once, plus the header of one list through which a
// module chains the elements it keeps.
//
// List discipline: every chained element begins with two links (older,
// newer); its data follows. Filing puts an element first as the newest; a
// walk starts at the newest and follows the older links to the end marker,
// the header itself, so every walk visits elements newest first.
#pragma once

#include "vxr/abi.h"

extern "C" {

struct VXR_ListLinks {
  VXR_ListLinks* older;
  VXR_ListLinks* newer;
};

// The header's first two words act as the links of an element that stands
// for the list itself: "older" is the newest element, "newer" the oldest.
struct VXR_ListHeader {
  VXR_ListLinks ends;        // ends.older: newest, ends.newer: oldest
  VXR_ListLinks* endMarker;  // the header itself, never changed
};

struct VXR_ResultTable {
  char eyeCatcher[8];  // "VXRRSLT "
  int32_t elementSize;
  int32_t primarySize;
  int32_t freeInBlock;
  int32_t blockSize;
  int32_t totalElements;
  int32_t totalBlocks;
  void* firstBlock;
  void* currentBlock;
  VXR_ListHeader list;
};

// The anchor is allocated with a trailer after these fields that holds the
// table's key indexes (merge.h); the fields themselves keep the host's
// layout.
// 0, or 3 when the anchor cannot be obtained (or the sizes are unusable).
int32_t RSLTinit(VXR_ResultTable** anchor, int32_t elementSize, int32_t primarySize);
// 0 with a new element, or 2 when a new block cannot be obtained.
int32_t RSLTget(VXR_ResultTable* table, void** element);
// 0 after freeing everything, or 1 when the eye-catcher does not verify.
int32_t RSLTdestroy(VXR_ResultTable** anchor);

}  // extern "C"

namespace vxr {

constexpr int32_t kRsltAnchorNotObtained = 3;
constexpr int32_t kRsltBlockNotObtained = 2;
constexpr int32_t kRsltVerifyFailed = 1;

// An element that carries a record of type T after its links.
template <typename T>
struct Element {
  VXR_ListLinks links;
  T data;
};

// Elements start one word after the start of their block, so a record may
// need no more alignment than a word gives (wider fields go through memcpy).
template <typename T>
constexpr int32_t elementSize() {
  static_assert(alignof(T) <= sizeof(void*),
                "an element record may need no more alignment than a block word gives");
  return static_cast<int32_t>(sizeof(Element<T>));
}

inline VXR_ListHeader* listOf(VXR_ResultTable* table) {
  return &table->list;
}

// The table whose own list `list` is.
inline VXR_ResultTable* tableOf(VXR_ListHeader* list) {
  return reinterpret_cast<VXR_ResultTable*>(reinterpret_cast<char*>(list) -
                                            offsetof(VXR_ResultTable, list));
}

inline bool listEmpty(const VXR_ListHeader* list) {
  return list->ends.older == list->endMarker;
}

inline VXR_ListLinks* newest(VXR_ListHeader* list) {
  return list->ends.older == list->endMarker ? nullptr : list->ends.older;
}

// The next element of a walk after `element`, or null at the end marker.
inline VXR_ListLinks* older(const VXR_ListHeader* list, const VXR_ListLinks* element) {
  return element->older == list->endMarker ? nullptr : element->older;
}

// Files an element as the newest of the list.
inline void fileNewest(VXR_ListHeader* list, VXR_ListLinks* element) {
  VXR_ListLinks* previous = list->ends.older;  // the header's own links when empty
  element->older = previous;
  element->newer = previous->newer;
  previous->newer = element;
  list->ends.older = element;
}

inline void* elementData(VXR_ListLinks* element) {
  return element + 1;
}
inline const void* elementData(const VXR_ListLinks* element) {
  return element + 1;
}

// The oldest element, and the next newer one (null at the end marker), for
// walks oldest first.
inline VXR_ListLinks* oldest(VXR_ListHeader* list) {
  return list->ends.newer == list->endMarker ? nullptr : list->ends.newer;
}
inline VXR_ListLinks* newer(const VXR_ListHeader* list, const VXR_ListLinks* element) {
  return element->newer == list->endMarker ? nullptr : element->newer;
}

// Walks a list newest first: for (auto* e : walk(list)) ...
struct ListWalk {
  VXR_ListHeader* list;
  struct Iterator {
    const VXR_ListHeader* list;
    VXR_ListLinks* element;
    VXR_ListLinks* operator*() const { return element; }
    Iterator& operator++() {
      element = older(list, element);
      return *this;
    }
    bool operator!=(const Iterator& other) const { return element != other.element; }
  };
  Iterator begin() const { return {list, newest(list)}; }
  Iterator end() const { return {list, nullptr}; }
};
inline ListWalk walk(VXR_ListHeader* list) {
  return {list};
}

// Creates a table with `table` as its anchor variable; null list on failure.
inline VXR_ListHeader* createTable(VXR_ResultTable** table, int32_t elementSize, int32_t perBlock) {
  return RSLTinit(table, elementSize, perBlock) == 0 ? listOf(*table) : nullptr;
}

// Destroys the table when its anchor variable is set.
inline void destroyTable(VXR_ResultTable** table) {
  if (*table != nullptr) RSLTdestroy(table);
}

}  // namespace vxr

#if VXR_ILP32
static_assert(sizeof(VXR_ListLinks) == 8);
static_assert(sizeof(VXR_ListHeader) == 12);
static_assert(sizeof(VXR_ResultTable) == 52);
static_assert(offsetof(VXR_ResultTable, firstBlock) == 32);
static_assert(offsetof(VXR_ResultTable, list) == 40);
#endif
