// What the object-activity tables share: the group totals of getpages and
// I/O against which each row's shares are computed, and the finishing of a
// summary row (averaged rates, the getpage-per-read ratio, the shares).
#pragma once

#include "vxr/helpers.h"

namespace vxr {

// Getpage and I/O totals of a group, or of a group and database.
struct GetpTotals {
  char group[8];
  char database[8];
  double getpages;
  double io;
};

// How rows are added into the totals.
enum class TotalsScope {
  PerRow,       // no search: every row starts a totals element of its own
  PerDatabase,  // keyed by group and database
  PerGroup,     // keyed by group
};

// Adds one row's counts into the totals list (a new element when no key
// matches or the scope is PerRow). Traces a failed element at error level.
void addToTotals(const Trace& trace, VXR_ResultTable* table, VXR_ListHeader* list,
                 TotalsScope scope, const char* group, const char* database, int32_t getpages,
                 int64_t io);

// The totals element for a row, or null.
const GetpTotals* findTotals(VXR_ListHeader* list, TotalsScope scope, const char* group,
                             const char* database);

// Each rate divided by the rows merged, truncated toward zero (rows > 1).
void averageRates(void* row, const uint16_t* rateOffsets, int32_t count, int32_t rowsMerged);

// (getpages x 10) / reads, truncated, when reads is above 0; else `kept`.
inline int32_t getpagesPerRead(int32_t getpages, int64_t reads, int32_t kept) {
  if (reads <= 0) return kept;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 10) /
                    static_cast<double>(reads));
}

// Shares in tenths of a percent of the totals; 0 against a total of 0.
inline int32_t getpageShare(int32_t getpages, const GetpTotals& totals) {
  if (!(totals.getpages > 0.0)) return 0;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 1000) / totals.getpages);
}
inline int32_t ioShare(int64_t io, const GetpTotals& totals) {
  if (!(totals.io > 0.0)) return 0;
  return truncate32(static_cast<double>(io) * 1000.0 / totals.io);
}

}  // namespace vxr

#if VXR_ILP32
static_assert(sizeof(vxr::Element<vxr::GetpTotals>) == 40);
#endif
