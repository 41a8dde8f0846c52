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

void* mergeActivityRow(const Trace& trace, VXR_ResultTable* table, const void* row, size_t rowSize,
                       const ActivityLayout& layout, MergeScope scope, const char* mergedText,
                       bool* created) {
  const ByteRange keys[] = {{layout.group, 8}, {layout.database, 8}, {layout.space, 8}};
  const size_t keyCount = scope == MergeScope::DatabaseSpace ? 3
                          : scope == MergeScope::Database    ? 2
                                                             : 0;
  const MergeKey key(keys, keyCount);
  *created = false;
  if (keyCount > 0) {
    if (VXR_ListLinks* match = findKeyed(table, row, key)) {
      void* sum = elementData(match);
      mergeRow(sum, row, layout.merge);
      const char* text = static_cast<const char*>(sum);
      VXR_TRACE(trace, kTraceDetail, mergedText);
      VXR_TRACE(trace, kTraceDetail, " group=%.8s database=%.8s space=%.8s timestamp=%.16s\n",
                text + layout.group, text + layout.database, text + layout.space,
                text + layout.timestamp);
      VXR_TRACE(trace, kTraceDetail, " getpages=%d rows merged=%d\n", loadInt(sum, layout.getpages),
                loadInt(sum, layout.merge.rowsMerged));
      return sum;
    }
  }
  VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
  void* filed = keyCount > 0 ? fileKeyed(table, row, rowSize, key)
                             : fileCopy(table, listOf(table), row, rowSize);
  if (filed == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
    return nullptr;
  }
  storeInt(filed, layout.merge.rowsMerged, 1);
  *created = true;
  return filed;
}

void finishActivityRow(void* row, const ActivityLayout& layout, const GetpTotals* totals) {
  averageRates(row, layout.rates, loadInt(row, layout.merge.rowsMerged));
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

bool addRowToTotals(const Trace& trace, VXR_ResultTable* table, TotalsScope scope, const void* row,
                    const ActivityLayout& layout) {
  const char* text = static_cast<const char*>(row);
  return addToTotals(trace, table, scope, text + layout.group, text + layout.database,
                     loadInt(row, layout.getpages), sumOf(row, layout.io));
}

void averageRates(void* row, std::span<const uint16_t> rateOffsets, int32_t rowsMerged) {
  if (rowsMerged <= 1) return;
  for (uint16_t offset : rateOffsets) {
    storeInt(row, offset, average(loadInt(row, offset), rowsMerged));
  }
}

}  // namespace vxr
