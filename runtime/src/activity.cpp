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

void averageRates(void* row, const uint16_t* rateOffsets, int32_t count, int32_t rowsMerged) {
  if (rowsMerged <= 1) return;
  for (int32_t i = 0; i < count; ++i) {
    storeInt(row, rateOffsets[i], average(loadInt(row, rateOffsets[i]), rowsMerged));
  }
}

}  // namespace vxr
