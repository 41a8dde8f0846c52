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
  totals.getpages = 0.0;
  totals.io = 0.0;
  return totals;
}

VXR_ListLinks* find(VXR_ListHeader* list, TotalsScope scope, const GetpTotals& key) {
  switch (scope) {
    case TotalsScope::PerDatabase:
      return findByKeys(list, &key, kDatabaseKey, 2);
    case TotalsScope::PerGroup:
      return findByKeys(list, &key, kGroupKey, 1);
    case TotalsScope::PerRow:
      break;
  }
  return nullptr;
}

}  // namespace

void addToTotals(const Trace& trace, VXR_ResultTable* table, VXR_ListHeader* list,
                 TotalsScope scope, const char* group, const char* database, int32_t getpages,
                 int64_t io) {
  GetpTotals key = probe(group, database);
  if (VXR_ListLinks* match = find(list, scope, key)) {
    auto* totals = static_cast<GetpTotals*>(elementData(match));
    totals->getpages += getpages;
    totals->io += static_cast<double>(io);
    return;
  }
  VXR_TRACE(trace, kTraceDetail, "Add new record to group\n");
  key.getpages = getpages;
  key.io = static_cast<double>(io);
  if (fileCopy(table, list, &key, sizeof key) == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  }
}

const GetpTotals* findTotals(VXR_ListHeader* list, TotalsScope scope, const char* group,
                             const char* database) {
  VXR_ListLinks* match = find(list, scope, probe(group, database));
  return match ? static_cast<const GetpTotals*>(elementData(match)) : nullptr;
}

void* mergeActivityRow(const Trace& trace, VXR_ResultTable* table, VXR_ListHeader* list,
                       const void* row, size_t rowSize, const ActivityLayout& layout,
                       MergeScope scope, const char* mergedText, bool* created) {
  const ByteRange keys[] = {{layout.group, 8}, {layout.database, 8}, {layout.space, 8}};
  const int32_t keyCount = scope == MergeScope::DatabaseSpace ? 3
                           : scope == MergeScope::Database    ? 2
                                                              : 0;
  *created = false;
  if (keyCount > 0) {
    if (VXR_ListLinks* match = findByKeys(list, row, keys, keyCount)) {
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
  void* filed = fileCopy(table, list, row, rowSize);
  if (filed == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
    return nullptr;
  }
  storeInt(filed, layout.merge.rowsMerged, 1);
  *created = true;
  return filed;
}

void finishActivityRow(void* row, const ActivityLayout& layout, const GetpTotals* totals) {
  averageRates(row, layout.rates, layout.rateCount, loadInt(row, layout.merge.rowsMerged));
  const int32_t getpages = loadInt(row, layout.getpages);
  storeInt(row, layout.ratio,
           getpagesPerRead(getpages, sumOf(row, layout.reads, layout.readCount),
                           loadInt(row, layout.ratio)));
  if (totals != nullptr) {
    storeInt(row, layout.getpageShare, getpageShare(getpages, *totals));
    storeInt(row, layout.ioShare, ioShare(sumOf(row, layout.io, layout.ioCount), *totals));
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

void addRowToTotals(const Trace& trace, VXR_ResultTable* table, VXR_ListHeader* list,
                    TotalsScope scope, const void* row, const ActivityLayout& layout) {
  const char* text = static_cast<const char*>(row);
  addToTotals(trace, table, list, scope, text + layout.group, text + layout.database,
              loadInt(row, layout.getpages), sumOf(row, layout.io, layout.ioCount));
}

void averageRates(void* row, const uint16_t* rateOffsets, int32_t count, int32_t rowsMerged) {
  if (rowsMerged <= 1) return;
  for (int32_t i = 0; i < count; ++i) {
    storeInt(row, rateOffsets[i], average(loadInt(row, rateOffsets[i]), rowsMerged));
  }
}

}  // namespace vxr
