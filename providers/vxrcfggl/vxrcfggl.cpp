// VXRCFGGL: coupling-facility lock structure summary.
//
// Per data sharing group and lock structure: the structure's attributes as
// the member queried first sees them, the members' lock requests and
// suspensions added up, and two percentages computed from the sums just
// before each row is handed out: global contention (suspensions of all
// requests and suspensions) and false contention (false suspensions of all
// suspensions). The members' own percentages are never used.
#include "vxrcfggl.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

constexpr uint16_t kRequests[] = {offsetof(CfggRow, R4PLOCK), offsetof(CfggRow, R4CPLOK),
                                  offsetof(CfggRow, R4UPLOK)};
constexpr uint16_t kSuspensions[] = {offsetof(CfggRow, R4SUSIRL), offsetof(CfggRow, R4SUSXES),
                                     offsetof(CfggRow, R4SUSFAL)};

bool anyNonZero(const CfggRow& row, std::span<const uint16_t> offsets) {
  for (uint16_t offset : offsets) {
    if (vxr::loadInt(&row, offset) != 0) return true;
  }
  return false;
}

// The percentages of a row about to be handed out, from its sums: P requests
// and S suspensions (in 64 bits). Each is 0 when its counters are all 0 or
// its divisor is 0 (negative counters can cancel out).
void calcRate(CfggRow& row, bool) {
  VXR_FUNCTION("calcRate");
  const int64_t requests = vxr::sumOf(&row, kRequests);
  const int64_t suspensions = vxr::sumOf(&row, kSuspensions);
  const bool anySuspension = anyNonZero(row, kSuspensions);
  const bool anyCounter = anySuspension || anyNonZero(row, kRequests);
  row.R4GCONT = anyCounter ? vxr::scaledQuotient(suspensions, requests + suspensions, 100) : 0;
  row.R4FCONT = anySuspension ? vxr::scaledQuotient(row.R4SUSFAL, suspensions, 100) : 0;
  VXR_RETURN_VOID();
}

VXR_NAMED_ANCHOR(kSummarize, "sumGroup");
VXR_NAMED_ANCHOR(kCollect, "collectGroup");

// A lost element makes the collection false.
constexpr vxr::Table<CfggRow> kTable = {
    .info = &kCfggTable,
    .eyeCatcher = "CFGGWORK",
    .workAreaSize = 288,
    .query = {.select = "SELECT CONNECT,DSGROUP,R4CPLOK,R4FCONT,R4GCONT,R4PLOCK,R4SUSFAL,R4SUSIRL,"
                        "R4SUSXES,R4UPLOK,FALSECO,FALSECR,GLOBALC,GLOBALR,IDNAME,LOCKA,LOCKP,LOCKU,"
                        "ORIGINNODE,RECORDA,RECORDP,RECORDU,STRUCTN,STRUCTP,STRUCTS,STRUCTST,"
                        "STRUCTT,STRUCTU,TIMESTAMP",
              .base = "VXR.LVXR_CF",
              .routing = vxr::kAtOriginSpaced},
    .mismatchLevel = kTraceError,
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = vxr::stepTexts({.startBanner = {kTraceDetail, "Set up VXRCFGGL\n"},
                             .emitted = {kTraceRow, "Cfgg Anchor at %8X. Cfgglm link at %8x.\n"}}),
    .queryTexts = &vxr::kFetchLoopTexts,
    .filing = vxr::kGroupRecordTexts,
    .beforeEmit = calcRate,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrcfggsr, xrcfggpr, xrcfggts);
VXR_MODULE(VXRCFGGL, xrcfggsr, xrcfggpr, xrcfggts, "level200", vxrBuildDate, vxrBuildTime);
