// Tracing through the host's trace facility.
//
// Every traced function owns a static anchor (RAS1_Anchor) on the trace unit
// of its source. At entry the trace check reads the level flags cached in the
// anchor, or asks the host (RAS1_Sync) when the unit's synchronisation counter
// has moved since they were cached. Lines are written through the anchor, so
// they carry the unit and the function's name.
#pragma once

#include <atomic>

#include "vxr/abi.h"

namespace vxr {

// Level bit that stands for "whatever the level flags say".
constexpr int32_t kTraceAlways = -1;

// Level flags of the function that owns the anchor.
inline int32_t traceLevel(RAS1_Anchor* anchor) {
  std::atomic_ref<int32_t> cachedCounter(anchor->cachedCounter);
  std::atomic_ref<int32_t> counter(*anchor->syncCounter);
  if (cachedCounter.load(std::memory_order_acquire) == counter.load(std::memory_order_acquire)) {
    return std::atomic_ref<int32_t>(anchor->cachedFlags).load(std::memory_order_relaxed);
  }
  return RAS1_Sync(anchor);
}

// The trace context of one call of a traced function.
struct Trace {
  RAS1_Anchor* anchor;
  int32_t flags;

  bool on(int32_t bit) const { return bit == kTraceAlways || (flags & bit) != 0; }
};

// Trace check and entry event.
inline Trace traceEnter(RAS1_Anchor* anchor) {
  Trace trace{anchor, traceLevel(anchor)};
  if (trace.flags & kTraceFlow) RAS1_Event(anchor, anchor->line, kEventEntry);
  return trace;
}

// Exit event with the status; returns the status.
inline int32_t traceExit(const Trace& trace, int32_t line, int32_t status) {
  if (trace.flags & kTraceFlow) RAS1_Event(trace.anchor, line, kEventExitStatus, status);
  return status;
}

// Exit event of a function without result.
inline void traceExitVoid(const Trace& trace, int32_t line) {
  if (trace.flags & kTraceFlow) RAS1_Event(trace.anchor, line, kEventExit);
}

// An address as the trace's %8X/%8x prints it.
inline unsigned traceAddress(const void* address) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(address));
}

}  // namespace vxr

// One trace line at a level bit (or kTraceAlways).
#define VXR_TRACE(trace, bit, ...)                                           \
  do {                                                                       \
    if ((trace).on(bit)) RAS1_Printf((trace).anchor, __LINE__, __VA_ARGS__); \
  } while (0)

// A static anchor for the enclosing function on the given unit.
#define VXR_ANCHOR_ON(variable, unit, sync, functionName) \
  static constinit RAS1_Anchor variable = {               \
      &(unit), functionName, sizeof(functionName) - 1, __LINE__, &(sync), 0x200, 0, 0, 0, 0}

// An anchor on the module's own unit for a shared routine that traces under
// one of the module's function names, e.g.
//   VXR_NAMED_ANCHOR(kSummarize, "summarizeGBPoolData");
#define VXR_NAMED_ANCHOR(variable, functionName) \
  VXR_ANCHOR_ON(variable, vxrOwnUnit, vxrOwnUnitSync, functionName)

// Entry of a traced function of a module's own source.
#define VXR_FUNCTION(functionName)                                            \
  VXR_ANCHOR_ON(vxrFunctionAnchor, vxrOwnUnit, vxrOwnUnitSync, functionName); \
  const ::vxr::Trace trace = ::vxr::traceEnter(&vxrFunctionAnchor)

#define VXR_RETURN(status) return ::vxr::traceExit(trace, __LINE__, (status))
#define VXR_RETURN_VOID()                  \
  do {                                     \
    ::vxr::traceExitVoid(trace, __LINE__); \
    return;                                \
  } while (0)

// The trace unit of the module's own source, defined by VXR_MODULE.
extern "C" {
extern const RAS1_UnitBlock vxrOwnUnit;
extern int32_t vxrOwnUnitSync;
}
