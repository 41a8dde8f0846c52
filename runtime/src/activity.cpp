#include "vxr/activity.h"

namespace vxr {

namespace {

constexpr ByteRange kGroupKey[] = {{offsetof(GetpTotals, group), 8}};
constexpr ByteRange kDatabaseKey[] = {{offsetof(GetpTotals, group), 8},
                                      {offsetof(GetpTotals, database), 8}};

GetpTotals probe(const char* group, const char* database) {
  GetpTotals totals;
  std::memcpy(totals.group, group, 8);
  std::memcpy(totals.database, database, 8);
  storeDouble(&totals, offsetof(GetpTotals, getpages), 0.0);
  storeDouble(&totals, offsetof(GetpTotals, io), 0.0);
  return totals;
}

MergeKey totalsKey(TotalsScope scope) {
  switch (scope) {
    case TotalsScope::PerDatabase:
      return kDatabaseKey;
    case TotalsScope::PerGroup:
      return kGroupKey;
    case TotalsScope::PerRow:
      break;
  }
  return {};
}

}  // namespace

bool addToTotals(const Trace& trace, VXR_ResultTable* table, TotalsScope scope, const char* group,
                 const char* database, int32_t getpages, int64_t io) {
  GetpTotals key = probe(group, database);
  const MergeKey merge = totalsKey(scope);
  if (scope != TotalsScope::PerRow) {
    if (VXR_ListLinks* match = findKeyed(table, &key, merge)) {
      void* totals = elementData(match);
      storeDouble(totals, offsetof(GetpTotals, getpages),
                  loadDouble(totals, offsetof(GetpTotals, getpages)) + getpages);
      storeDouble(totals, offsetof(GetpTotals, io),
                  loadDouble(totals, offsetof(GetpTotals, io)) + static_cast<double>(io));
      return true;
    }
  }
  VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
  storeDouble(&key, offsetof(GetpTotals, getpages), getpages);
  storeDouble(&key, offsetof(GetpTotals, io), static_cast<double>(io));
  void* filed = scope == TotalsScope::PerRow ? fileCopy(table, listOf(table), &key, sizeof key)
                                             : fileKeyed(table, &key, sizeof key, merge);
  if (filed == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
    return false;
  }
  return true;
}

const GetpTotals* findTotals(VXR_ResultTable* table, TotalsScope scope, const char* group,
                             const char* database) {
  if (scope == TotalsScope::PerRow) return nullptr;
  const GetpTotals key = probe(group, database);
  VXR_ListLinks* match = findKeyed(table, &key, totalsKey(scope));
  return match ? static_cast<const GetpTotals*>(elementData(match)) : nullptr;
}

void finishActivityRow(void* row, const ActivityLayout& layout, const GetpTotals* totals) {
  averageRates(row, layout.rates, loadInt(row, layout.rowsMerged));
  const int32_t getpages = loadInt(row, layout.getpages);
  storeInt(row, layout.ratio,
           getpagesPerRead(getpages, sumOf(row, layout.reads), loadInt(row, layout.ratio)));
  if (totals != nullptr) {
    storeInt(row, layout.getpageShare, getpageShare(getpages, *totals));
    storeInt(row, layout.ioShare, ioShare(sumOf(row, layout.io), *totals));
  }
}

TotalsScope chooseTotalsScope(const Trace& trace, bool spaceFilter, bool databaseFilter,
                              bool groupFilter, const ScopeTexts& texts) {
  if (spaceFilter) {
    VXR_TRACE(trace, kTraceDetail, texts.space);
    return TotalsScope::PerRow;
  }
  if (databaseFilter) {
    VXR_TRACE(trace, kTraceDetail, texts.database);
    return TotalsScope::PerDatabase;
  }
  if (groupFilter) {
    VXR_TRACE(trace, kTraceDetail, texts.group);
    return TotalsScope::PerGroup;
  }
  VXR_TRACE(trace, kTraceDetail, texts.none);
  return TotalsScope::PerRow;
}

void averageRates(void* row, std::span<const uint16_t> rateOffsets, int32_t rowsMerged) {
  if (rowsMerged <= 1) return;
  for (uint16_t offset : rateOffsets) {
    storeInt(row, offset, average(loadInt(row, offset), rowsMerged));
  }
}

// ---------------------------------------------------------------------------
// The tables' steps

namespace {

TotalsScope scopeOf(const Trace& trace, ScopeFilters came, const ScopeTexts& texts) {
  return chooseTotalsScope(trace, came.space, came.database, came.group, texts);
}

}  // namespace

bool addActivityTotals(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                       ScopeFilters came, const void* row, const ActivityLayout& layout) {
  const Trace trace = traceEnter(anchor);
  const TotalsScope scope = scopeOf(trace, came, texts);
  const char* text = static_cast<const char*>(row);
  const bool filed = addToTotals(trace, table, scope, text + layout.group, text + layout.database,
                                 loadInt(row, layout.getpages), sumOf(row, layout.io));
  traceExitVoid(trace, __LINE__);
  return filed;
}

void finishActivity(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                    ScopeFilters came, void* row, const ActivityLayout& layout) {
  const Trace trace = traceEnter(anchor);
  const TotalsScope scope = scopeOf(trace, came, texts);
  const char* text = static_cast<const char*>(row);
  finishActivityRow(row, layout,
                    findTotals(table, scope, text + layout.group, text + layout.database));
  traceExitVoid(trace, __LINE__);
}

void traceActivityMerge(const Trace& trace, const void* sum, const ActivityLayout& layout) {
  const char* text = static_cast<const char*>(sum);
  VXR_TRACE(trace, kTraceDetail, " group=%.8s database=%.8s space=%.8s timestamp=%.16s\n",
            text + layout.group, text + layout.database, text + layout.space,
            text + layout.timestamp);
  VXR_TRACE(trace, kTraceDetail, " getpages=%d rows merged=%d\n", loadInt(sum, layout.getpages),
            loadInt(sum, layout.rowsMerged));
}

}  // namespace vxr
