// What the object-activity tables share: the group totals of getpages and
// I/O against which each row's shares are computed, and the finishing of a
// summary row (averaged rates, the getpage-per-read ratio, the shares). A
// table declares its figures as a GroupTotals (by column names) and the
// table interpreter (vxr/table.h) runs them.
#pragma once

#include "vxr/lifecycle.h"
#include "vxr/merge.h"

namespace vxr {

// Getpage and I/O totals of a group, or of a group and database.
// The two sums are doubles kept as bytes (loadDouble/storeDouble), so that
// the element needs no more alignment than a block gives.
struct GetpTotals {
  char group[8];
  char database[8];
  char getpages[8];  // double
  char io[8];        // double
};

// Where an object-activity row keeps what the shared routines use.
struct ActivityLayout {
  uint16_t group;  // DSGROUP, 8 characters
  uint16_t database;
  uint16_t space;
  uint16_t timestamp;
  uint16_t rowsMerged;
  std::span<const uint16_t> rates;
  std::span<const uint16_t> reads;  // fields whose sum is the read count
  std::span<const uint16_t> io;     // fields whose sum is the I/O count
  uint16_t getpages;
  uint16_t ratio;         // getpages per read, in tenths
  uint16_t getpageShare;  // of the totals, in tenths of a percent
  uint16_t ioShare;
};

// Trace texts of the four cases that choose the totals from the request's
// filters.
struct ScopeTexts {
  const char* space;     // a space filter: no totals
  const char* database;  // a database filter: per group and database
  const char* group;     // a group filter: per group
  const char* none;      // none of these: no totals
};

// (getpages x 10) / reads, truncated, when reads is above 0; else `kept`.
inline int32_t getpagesPerRead(int32_t getpages, int64_t reads, int32_t kept) {
  if (reads <= 0) return kept;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 10) /
                    static_cast<double>(reads));
}

// Shares in tenths of a percent of the totals; 0 against a total of 0.
inline double totalGetpages(const GetpTotals& totals) {
  return loadDouble(&totals, offsetof(GetpTotals, getpages));
}
inline double totalIo(const GetpTotals& totals) {
  return loadDouble(&totals, offsetof(GetpTotals, io));
}
inline int32_t getpageShare(int32_t getpages, const GetpTotals& totals) {
  const double total = totalGetpages(totals);
  if (!(total > 0.0)) return 0;
  return truncate32(static_cast<double>(static_cast<int64_t>(getpages) * 1000) / total);
}
inline int32_t ioShare(int64_t io, const GetpTotals& totals) {
  const double total = totalIo(totals);
  if (!(total > 0.0)) return 0;
  return truncate32(static_cast<double>(io) * 1000.0 / total);
}

// ---------------------------------------------------------------------------
// The tables' declaration (see Table::totals in vxr/table.h)

// What an object-activity table declares beside its merge rule, by column
// names of its row: the figures finished before a row is handed out and
// the filters that choose the totals (a space filter: none; a database
// filter: per group and database; a group filter: per group; none of them:
// none). The database and space are the columns of those filters' names.
struct GroupTotals {
  const char* getpages;
  const char* reads;  // columns whose sum is the read count
  const char* io;     // columns whose sum is the I/O count
  const char* rates;  // averaged over the rows merged
  const char* ratio;  // getpages per read
  const char* getpageShare;
  const char* ioShare;
  const char* spaceFilter;
  const char* databaseFilter;
  const char* groupFilter = "DSGROUP";
  // Each member row added into the totals under `add`, each row finished
  // under `finish`; the chosen scope traced by the texts.
  RAS1_Anchor* add;
  ScopeTexts adding;
  RAS1_Anchor* finish;
  ScopeTexts finishing;
  int32_t perBlock = 10;
  TraceText tableFailed = {kTraceAlways, "Unable to allocate Storage for RX4count Result\n"};
};

// Which filters came, for the totals' scope.
struct ScopeFilters {
  bool space, database, group;
};

// Adds a member row into the totals of `table` under `anchor`; false when
// it could not be kept.
bool addActivityTotals(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                       ScopeFilters came, const void* row, const ActivityLayout& layout);
// Finishes a row about to be handed out, under `anchor`: rates averaged
// over the rows merged, getpages per read, and the shares of its totals
// (when it has totals).
void finishActivity(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                    ScopeFilters came, void* row, const ActivityLayout& layout);
// The lines after a member row merged into its summary element `sum`: its
// key, time stamp, getpages and rows merged.
void traceActivityMerge(const Trace& trace, const void* sum, const ActivityLayout& layout);

}  // namespace vxr

#if VXR_ILP32
static_assert(sizeof(vxr::Element<vxr::GetpTotals>) == 40);
#endif
