#include "vxr/activity.h"

#include "vxr/merge.h"

namespace vxr {

namespace {

// Which totals a row goes into and is finished against.
enum class TotalsScope {
  PerRow,       // none: every row starts a totals element of its own, none is looked up
  PerDatabase,  // keyed by group and database
  PerGroup,     // keyed by group
};

constexpr ByteRange kGroupKey[] = {{offsetof(GetpTotals, group), 8}};
constexpr ByteRange kDatabaseKey[] = {{offsetof(GetpTotals, group), 8},
                                      {offsetof(GetpTotals, database), 8}};

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

// The scope the filters that came choose, traced.
TotalsScope scopeOf(const Trace& trace, ScopeFilters came, const ScopeTexts& texts) {
  const char* text = came.space      ? texts.space
                     : came.database ? texts.database
                     : came.group    ? texts.group
                                     : texts.none;
  VXR_TRACE(trace, kTraceDetail, "%s", text);
  return came.space      ? TotalsScope::PerRow
         : came.database ? TotalsScope::PerDatabase
         : came.group    ? TotalsScope::PerGroup
                         : TotalsScope::PerRow;
}

GetpTotals probe(const void* row, const ActivityLayout& layout, double getpages, double io) {
  GetpTotals totals;
  std::memcpy(totals.group, static_cast<const char*>(row) + layout.group, 8);
  std::memcpy(totals.database, static_cast<const char*>(row) + layout.database, 8);
  storeDouble(&totals, offsetof(GetpTotals, getpages), getpages);
  storeDouble(&totals, offsetof(GetpTotals, io), io);
  return totals;
}

void addDouble(void* element, size_t offset, double value) {
  storeDouble(element, offset, loadDouble(element, offset) + value);
}

}  // namespace

bool addActivityTotals(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                       ScopeFilters came, const void* row, const ActivityLayout& layout) {
  const Trace trace = traceEnter(anchor);
  const MergeKey key = totalsKey(scopeOf(trace, came, texts));
  const double getpages = loadInt(row, layout.getpages);
  const double io = static_cast<double>(sumOf(row, layout.io));
  const GetpTotals first = probe(row, layout, getpages, io);
  bool created = false;
  void* totals = fileRow(trace, table, &first, sizeof first, key, nullptr,
                         {.filing = "Add new record to group\n"}, &created);
  if (totals != nullptr && !created) {
    addDouble(totals, offsetof(GetpTotals, getpages), getpages);
    addDouble(totals, offsetof(GetpTotals, io), io);
  }
  traceExitVoid(trace, __LINE__);
  return totals != nullptr;
}

void finishActivity(RAS1_Anchor* anchor, const ScopeTexts& texts, VXR_ResultTable* table,
                    ScopeFilters came, void* row, const ActivityLayout& layout) {
  const Trace trace = traceEnter(anchor);
  const MergeKey key = totalsKey(scopeOf(trace, came, texts));
  averageFields(row, layout.rates, loadInt(row, layout.rowsMerged));
  const int32_t getpages = loadInt(row, layout.getpages);
  storeInt(row, layout.ratio,
           getpagesPerRead(getpages, sumOf(row, layout.reads), loadInt(row, layout.ratio)));
  const GetpTotals probed = probe(row, layout, 0.0, 0.0);
  if (VXR_ListLinks* match = key.empty() ? nullptr : findKeyed(table, &probed, key)) {
    const auto& totals = *static_cast<const GetpTotals*>(elementData(match));
    storeInt(row, layout.getpageShare, getpageShare(getpages, totals));
    storeInt(row, layout.ioShare, ioShare(sumOf(row, layout.io), totals));
  }
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
