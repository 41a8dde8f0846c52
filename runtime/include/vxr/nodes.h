// Member node discovery: the online member agents (thru node, origin node,
// version) and the online nodes of a product, read from the host's
// node-status table into result-table lists.
#pragma once

#include "vxr/result_table.h"

extern "C" {

// Filed by buildNodeList. Fields are blank-padded and zero-terminated.
struct VXR_NodeRecord {
  char thruNode[33];    // the node a request reaches the member through
  char originNode[33];  // the member agent's own name
  int32_t spare;
  char version[9];  // agent version "04.01.00"
};

// Filed by buildOrigList: node name and version as delivered, no terminators.
struct VXR_OriginRecord {
  char node[32];
  char version[8];
  int32_t spare;
};

// Both return 1, or 0 when a row could not be filed for want of an element
// (the list is then incomplete and must not be used as the whole group).
int32_t buildNodeList(VXR_ResultTable* table, VXR_ListHeader* list);
int32_t buildOrigList(const char* nodeName, VXR_ResultTable* table, VXR_ListHeader* list,
                      const char* product);

}  // extern "C"

namespace vxr {
using NodeElement = Element<VXR_NodeRecord>;
using OriginElement = Element<VXR_OriginRecord>;
constexpr int32_t kNodesPerBlock = 32;

inline const VXR_NodeRecord& nodeOf(const VXR_ListLinks* element) {
  return *static_cast<const VXR_NodeRecord*>(elementData(element));
}
}  // namespace vxr

static_assert(offsetof(VXR_NodeRecord, originNode) == 33);
static_assert(offsetof(VXR_NodeRecord, spare) == 68);
static_assert(offsetof(VXR_NodeRecord, version) == 72);
static_assert(offsetof(VXR_OriginRecord, version) == 32);
#if VXR_ILP32
static_assert(sizeof(vxr::NodeElement) == 92);
static_assert(sizeof(vxr::OriginElement) == 52);
#endif
