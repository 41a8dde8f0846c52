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

// ---------------------------------------------------------------------------
// The family's request

namespace {

// What the member-row hooks are handed: the module and its work area.
struct Collecting {
  const ActivityModule* module;
  void* workArea;
};

VXR_ResultTable* tableAt(void* workArea, uint16_t offset) {
  return field<VXR_ResultTable*>(workArea, offset);
}

void buildActivitySql(void* context, const Trace& trace, const VXR_NodeRecord& node, SqlText& sql) {
  const Collecting& c = *static_cast<const Collecting*>(context);
  const ActivityQuery& query = c.module->query;
  const ActivityWork& work = c.module->work;
  const void* w = c.workArea;
  sqlMemberQuery(sql, query.select, query.from, " AT ('", node, " WHERE ORIGINNODE ='");
  VXR_TRACE(trace, kTraceDetail, "DSGROUP=\\%8s\\\n", slotValue(w, work.group()));
  const bool group = slotSet(w, work.group());
  if (group) sqlCondition(sql, query.groupCondition, slotValue(w, work.group()), 8);
  if (group || !query.namesNeedGroup) {
    if (slotSet(w, work.database())) {
      sqlCondition(sql, query.databaseCondition, slotValue(w, work.database()), query.nameChars);
    }
    if (slotSet(w, work.space())) {
      sqlCondition(sql, query.spaceCondition, slotValue(w, work.space()), query.nameChars);
    }
  }
  sqlAppend(sql, ";");
}

TotalsScope totalsScopeOf(const Trace& trace, const ActivityWork& work, const void* w,
                          const ScopeTexts& texts) {
  return chooseTotalsScope(trace, slotSet(w, work.space()), slotSet(w, work.database()),
                           slotSet(w, work.group()), texts);
}

// Merges the member row into the summary list.
bool summarize(const ActivityModule& m, void* w, const void* row) {
  const Trace trace = traceEnter(m.anchors.summarize);
  const MergeChoice& choice = slotSet(w, m.work.space())      ? m.merge.space
                              : slotSet(w, m.work.database()) ? m.merge.database
                              : slotSet(w, m.work.idname())   ? m.merge.idname
                                                              : m.merge.none;
  VXR_TRACE(trace, kTraceDetail, "%s", choice.text);
  bool created = false;
  void* element = mergeActivityRow(trace, tableAt(w, m.work.summaryTable), row, m.rowSize, m.layout,
                                   choice.scope, m.mergedText, &created);
  if (created && m.memberCount != kNoField) storeInt(element, m.memberCount, 1);
  traceExitVoid(trace, __LINE__);
  return element != nullptr;
}

// Adds the member row's counts into the totals.
bool fileTotals(const ActivityModule& m, void* w, const void* row) {
  const Trace trace = traceEnter(m.anchors.totals);
  const TotalsScope scope = totalsScopeOf(trace, m.work, w, m.totalsTexts);
  const bool filed = addRowToTotals(trace, tableAt(w, m.work.getpTable), scope, row, m.layout);
  traceExitVoid(trace, __LINE__);
  return filed;
}

bool fileActivityRow(void* context, const Trace& trace, const void* sqlda) {
  const Collecting& c = *static_cast<const Collecting*>(context);
  const ActivityModule& m = *c.module;
  void* w = c.workArea;
  char* row = static_cast<char*>(w) + m.work.row;
  if (!assembleRow(trace, sqlda, m.query.columns, row, kTraceAlways)) return false;
  setRowOrigin(row + m.layout.origin, slotSet(w, m.work.origin()), slotValue(w, m.work.origin()),
               row + m.layout.idname);
  // A row that cannot be kept whole makes the collection false.
  bool kept = summarize(m, w, row);
  kept = fileTotals(m, w, row) && kept;
  if (m.alsoFile) kept = m.alsoFile(w, row) && kept;
  return kept;
}

}  // namespace

int32_t collectActivity(const ActivityModule& module, void* workArea) {
  const Trace trace = traceEnter(module.anchors.collect);
  Collecting context{&module, workArea};
  const MemberCollection collection{
      .nodes = field<VXR_ListHeader*>(workArea, module.work.nodeList),
      .nodeCursor = &field<VXR_ListLinks*>(workArea, module.work.nodeCursor),
      .context = &context,
      .buildSql = buildActivitySql,
      .onRow = fileActivityRow};
  return traceExit(trace, __LINE__, collectMembers(trace, collection));
}

void finishActivity(const ActivityModule& module, void* workArea, void* row) {
  const Trace trace = traceEnter(module.anchors.rate);
  const TotalsScope scope = totalsScopeOf(trace, module.work, workArea, module.rateTexts);
  const char* text = static_cast<const char*>(row);
  finishActivityRow(row, module.layout,
                    findTotals(tableAt(workArea, module.work.getpTable), scope,
                               text + module.layout.group, text + module.layout.database));
  traceExitVoid(trace, __LINE__);
}

void deriveActivityGroup(const ActivityModule& module, void* workArea) {
  deriveGroupFilter(workArea, module.work.origin(), module.work.group(), &module.work.idname());
}

}  // namespace vxr
