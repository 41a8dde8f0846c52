// Shared fixtures of the runtime tests: a trace unit of their own, and a
// host with a scripted store.
#pragma once

#include <gtest/gtest.h>

#include "vxr/trace.h"
#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

inline const RAS1_UnitBlock kTestUnit = {
    kUnitMarker, kUnitKindOwn, "VXRTEST", 7, "", 0, "", 0, "level200", 8, "*", 1, 0, 0, nullptr};
inline int32_t testUnitSync = 1;

// The trace of a function of the tests' own unit.
inline vxr::Trace testTrace() {
  ++testUnitSync;  // each call asks the current host for its level afresh
  VXR_ANCHOR_ON(anchor, kTestUnit, testUnitSync, "testFunction");
  return vxr::traceEnter(&anchor);
}

struct HostTest : ::testing::Test {
  vxrhost::ScriptedStore store;
  vxrhost::Host host{store};

  bool traced(std::string_view text) const { return host.traceContains(text); }
};

// The node-status table's answer: one member per (thru node, origin node, version).
inline void scriptNodes(vxrhost::ScriptedStore& store,
                        const std::vector<std::array<std::string, 3>>& members) {
  auto& nodes = store.route("")
                    .charColumn("THRUNODE", 32)
                    .charColumn("ORIGINNODE", 32)
                    .charColumn("VERSION", 8);
  for (const auto& m : members) {
    nodes.row(
        {vxrhost::charCell(m[0], 32), vxrhost::charCell(m[1], 32), vxrhost::charCell(m[2], 8)});
  }
}
