#include "vxr/helpers.h"

#include "vxr/family.h"
#include "vxr/sql.h"

namespace vxr {

// ---------------------------------------------------------------------------
// SQL text

namespace {

void put(SqlText& sql, char c) {
  if (sql.length + 1 >= kSqlBufferSize) {
    sql.overflow = true;
    return;
  }
  sql.text[sql.length++] = c;
  sql.text[sql.length] = '\0';
}

// A value character: a quote is doubled so that the literal stays closed.
void putValueChar(SqlText& sql, char c) {
  if (c == '\'') put(sql, '\'');
  put(sql, c);
}

}  // namespace

void sqlBegin(SqlText& sql) {
  std::memset(sql.text, 0, sizeof sql.text);
  sql.length = 0;
  sql.overflow = false;
}

void sqlAppend(SqlText& sql, const char* literal) {
  for (const char* p = literal; *p; ++p) put(sql, *p);
}

void sqlAppendTrimmed(SqlText& sql, const char* value, size_t maxChars) {
  if (value == nullptr || maxChars == 0 || value[0] == '\0') return;
  putValueChar(sql, value[0]);
  for (size_t i = 1; i < maxChars && value[i] != ' ' && value[i] != '\0'; ++i) {
    putValueChar(sql, value[i]);
  }
}

void sqlAppendWidth(SqlText& sql, const char* value, size_t width) {
  if (value == nullptr) return;
  for (size_t i = 0; i < width && value[i] != '\0'; ++i) putValueChar(sql, value[i]);
}

// ---------------------------------------------------------------------------
// Group names

void composeOrigin(char* origin, const char* idname, const char* suffix, size_t suffixLength) {
  blank(origin, kOriginWidth);
  std::memcpy(origin, idname, kNameWidth);
  const size_t at = trimmedLength(origin, kOriginWidth);
  const size_t room = kOriginWidth - at;
  std::memcpy(origin + at, suffix, suffixLength < room ? suffixLength : room);
}

void groupFromOrigin(char* group, const char* origin) {
  std::memcpy(group, origin, kNameWidth);
  for (size_t i = 0; i < kNameWidth; ++i) {
    if (group[i] == ':') {
      blank(group + i, kNameWidth - i);
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// Index filters

namespace {

bool columnMatches(const char* column, const FilterRule& rule) {
  if (rule.match.length != 0) return std::memcmp(column, rule.column, rule.match.length) == 0;
  char padded[kFilterColumnWidth];
  blank(padded, sizeof padded);
  const size_t length = std::strlen(rule.column);
  std::memcpy(padded, rule.column, length < sizeof padded ? length : sizeof padded);
  return std::memcmp(column, padded, sizeof padded) == 0;
}

void fillSlot(char* workArea, const FilterSlot& slot, const char* value, int32_t length) {
  int32_t one = 1;
  std::memcpy(workArea + slot.flag, &one, sizeof one);
  std::memcpy(workArea + slot.hostValue, &value, sizeof value);
  char* field = workArea + slot.value;
  blank(field, slot.width);
  // The value is cut at the slot's width; it never runs past it.
  const size_t n =
      static_cast<size_t>(length) < slot.width ? static_cast<size_t>(length) : slot.width;
  if (value != nullptr && n > 0) std::memcpy(field, value, n);
}

}  // namespace

void clearFilterSlot(void* workArea, const FilterSlot& slot) {
  char* base = static_cast<char*>(workArea);
  const int32_t zero = 0;
  std::memcpy(base + slot.flag, &zero, sizeof zero);
  blank(base + slot.value, slot.width);
  base[slot.value + slot.width] = '\0';
}

bool deriveGroupFilter(void* workArea, const FilterSlot& origin, const FilterSlot& into,
                       const FilterSlot* alsoInto) {
  char* base = static_cast<char*>(workArea);
  if (loadInt(base, origin.flag) == 0 || loadInt(base, into.flag) != 0) return false;
  for (const FilterSlot* slot : {&into, alsoInto}) {
    if (slot == nullptr) continue;
    groupFromOrigin(base + slot->value, base + origin.value);
    storeInt(base, slot->flag, 1);
    const char* own = base + slot->value;  // the value in use is now the work area's own
    std::memcpy(base + slot->hostValue, &own, sizeof own);
  }
  return true;
}

void readFilters(HDL1_CommonHandle request, void* workArea, const FilterLoop& loop,
                 const Trace& trace) {
  char* base = static_cast<char*>(workArea);
  for (;;) {
    void* filter = nullptr;
    if (getItem(request, kItemIndexFilter, &filter) != 0 || filter == nullptr) break;

    const int16_t op = filterOperator(filter);
    char column[kFilterColumnWidth + 1];
    std::memcpy(column, filterColumn(filter), kFilterColumnWidth);
    column[kFilterColumnWidth] = '\0';
    const char* value = filterValue(filter);
    const int32_t length = value ? filterLength(filter) : 0;
    // A terminated copy of the value for the trace lines.
    char shown[256];
    const size_t shownLength =
        static_cast<size_t>(length) < sizeof shown - 1 ? length : sizeof shown - 1;
    if (shownLength > 0) std::memcpy(shown, value, shownLength);
    shown[shownLength] = '\0';
    if (loop.filterTrace)
      VXR_TRACE(trace, loop.filterTraceLevel, loop.filterTrace, op, column, shown);

    for (const FilterRule& rule : loop.rules) {
      if (op != kFilterEquals && (rule.otherOperator == 0 || op != rule.otherOperator)) continue;
      if (!columnMatches(column, rule)) continue;
      for (const FilterSlot& slot : rule.slots) {
        if (slot.width != 0) fillSlot(base, slot, value, length);
      }
      if (rule.matchTrace) VXR_TRACE(trace, kTraceDetail, rule.matchTrace, op, column, shown);
      if (rule.onMatch) rule.onMatch(workArea, trace, op, column, shown);
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// Row assembly

bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel) {
  const int32_t count = static_cast<int32_t>(columns.size());
  const int32_t delivered = sqldaColumnCount(sqlda);
  if (delivered != count) {
    VXR_TRACE(trace, mismatchLevel, "Count of colums (%d) are not equal to SQLDA columns (%d)",
              count, delivered);
    return false;
  }
  char* base = static_cast<char*>(row);
  for (int32_t i = 0; i < count; ++i) {
    const ColumnField& field = columns[i];
    const char* data = sqldaData(sqlda, i);
    // A negative delivered length counts as none.
    const int32_t given = data ? sqldaLength(sqlda, i) : 0;
    size_t length = given > 0 ? static_cast<size_t>(given) : 0;
    if (length > field.width) length = field.width;
    char* target = base + field.offset;
    if (length > 0) std::memcpy(target, data, length);
    if (length < field.width) {
      std::memset(target + length, field.type == FieldType::Chars ? ' ' : 0, field.width - length);
    }
  }
  return true;
}

bool assembleRow(const Trace& trace, const void* sqlda, std::span<const ColumnField> columns,
                 void* row, int32_t mismatchLevel, std::span<const uint16_t> zeroFilled) {
  if (!assembleRow(trace, sqlda, columns, row, mismatchLevel)) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnField& field = columns[i];
    bool listed = false;
    for (uint16_t offset : zeroFilled) listed = listed || offset == field.offset;
    if (!listed) continue;
    const int32_t column = static_cast<int32_t>(i);
    size_t length = sqldaData(sqlda, column) ? static_cast<size_t>(sqldaLength(sqlda, column)) : 0;
    if (length < field.width) {
      std::memset(static_cast<char*>(row) + field.offset + length, 0, field.width - length);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Keyed merges

VXR_ListLinks* findByKeys(VXR_ListHeader* list, const void* data, MergeKey key) {
  for (VXR_ListLinks* element : walk(list)) {
    if (keysEqual(elementData(element), data, key)) return element;
  }
  return nullptr;
}

int32_t countByKeys(VXR_ListHeader* list, const void* data, MergeKey key) {
  int32_t n = 0;
  for (VXR_ListLinks* element : walk(list)) {
    if (keysEqual(elementData(element), data, key)) ++n;
  }
  return n;
}

void* fileCopy(VXR_ResultTable* table, VXR_ListHeader* list, const void* data, size_t size) {
  void* element = nullptr;
  if (RSLTget(table, &element) != 0) return nullptr;
  auto* links = static_cast<VXR_ListLinks*>(element);
  std::memcpy(elementData(links), data, size);
  fileNewest(list, links);
  return elementData(links);
}

void mergeRow(void* kept, const void* row, const MergeRule& rule) {
  addFields(kept, row, rule.sums);
  raiseFields(kept, row, rule.maxima);
  if (rule.timestamp != kNoField) {
    keepEarliest(static_cast<char*>(kept) + rule.timestamp,
                 static_cast<const char*>(row) + rule.timestamp);
  }
  if (rule.rowsMerged != kNoField) {
    int32_t merged = loadInt(kept, rule.rowsMerged);
    addTo(merged, 1);
    storeInt(kept, rule.rowsMerged, merged);
  }
  for (const FieldFrom& pair : rule.maximaFrom) {
    const int32_t candidate = loadInt(row, pair.source);
    if (candidate > loadInt(kept, pair.target)) storeInt(kept, pair.target, candidate);
  }
}

void seedMaxima(void* element, const MergeRule& rule) {
  for (const FieldFrom& pair : rule.maximaFrom)
    storeInt(element, pair.target, loadInt(element, pair.source));
}

void* fileRow(const Trace& trace, VXR_ResultTable* table, const void* row, size_t size,
              MergeKey key, const MergeRule* rule, const FilingTexts& texts, bool* created) {
  void* kept = nullptr;
  bool isNew = true;
  if (VXR_ListLinks* match = key.empty() ? nullptr : findKeyed(table, row, key)) {
    if (texts.merging) VXR_TRACE(trace, kTraceDetail, "%s", texts.merging);
    kept = elementData(match);
    isNew = false;
    if (rule) mergeRow(kept, row, *rule);
  } else {
    if (texts.filing) VXR_TRACE(trace, kTraceDetail, "%s", texts.filing);
    kept =
        key.empty() ? fileCopy(table, listOf(table), row, size) : fileKeyed(table, row, size, key);
  }
  if (kept == nullptr) {
    VXR_TRACE(trace, kTraceError, "Unable to obtain group result record ");
  } else if (isNew) {
    if (texts.filed) VXR_TRACE(trace, kTraceDetail, "%s", texts.filed);
    if (rule) {
      seedMaxima(kept, *rule);
      if (rule->rowsMerged != kNoField) storeInt(kept, rule->rowsMerged, 1);
    }
  }
  if (created) *created = isNew;
  return kept;
}

bool noteDatabaseMember(const Trace& trace, VXR_ResultTable* table, const char* group,
                        const char* database, const char* member) {
  DatabaseMember probe;
  std::memcpy(probe.group, group, sizeof probe.group);
  std::memcpy(probe.database, database, sizeof probe.database);
  std::memcpy(probe.member, member, sizeof probe.member);
  return fileRow(trace, table, &probe, sizeof probe, kDatabaseMemberKey, nullptr) != nullptr;
}

bool noteDatabaseMemberTraced(RAS1_Anchor* anchor, VXR_ResultTable* table, const char* group,
                              const char* database, const char* member) {
  const Trace trace = traceEnter(anchor);
  const bool noted = noteDatabaseMember(trace, table, group, database, member);
  traceExitVoid(trace, __LINE__);
  return noted;
}

namespace {

// Adds `sign` times the count of the elements agreeing with each row over
// `key` (the row's values first copied into a probe element, `kindValue`
// into its kind range when given) to the row's target.
void addCountPass(VXR_ListHeader* rows, const KeyedCount& count, MergeKey key,
                  const char* kindValue, int32_t sign) {
  char probe[256] = {};
  for (VXR_ListLinks* element : walk(rows)) {
    char* row = static_cast<char*>(elementData(element));
    for (size_t i = 0; i < count.key.size() && i < count.rowOffsets.size(); ++i) {
      const ByteRange& range = count.key[i];
      if (range.offset + range.length > sizeof probe) continue;
      std::memcpy(probe + range.offset, row + count.rowOffsets[i], range.length);
    }
    if (kindValue != nullptr && count.kind.offset + count.kind.length <= sizeof probe) {
      blank(probe + count.kind.offset, count.kind.length);
      const size_t n = std::strlen(kindValue);
      std::memcpy(probe + count.kind.offset, kindValue,
                  n < count.kind.length ? n : count.kind.length);
    }
    int32_t value = sign == 0 ? 0 : loadInt(row, count.target);
    addTo(value, (sign < 0 ? -1 : 1) * countKeyed(count.table, probe, key));
    storeInt(row, count.target, value);
  }
}

}  // namespace

void fillCounts(VXR_ListHeader* rows, std::span<const KeyedCount> counts) {
  for (const KeyedCount& count : counts) {
    if (count.table == nullptr) continue;
    if (count.kinds.empty() || count.exceptKinds) {
      addCountPass(rows, count, count.key, nullptr, 0);  // every element of the key
    }
    if (count.kinds.empty()) continue;
    // The key extended by the kind range; one pass per kind value.
    ByteRange extended[8];
    size_t n = 0;
    for (const ByteRange& range : count.key) {
      if (n < std::size(extended) - 1) extended[n++] = range;
    }
    extended[n++] = count.kind;
    bool first = !count.exceptKinds;
    for (const char* kind : count.kinds) {
      addCountPass(rows, count, MergeKey(extended, n), kind,
                   count.exceptKinds ? -1 : (first ? 0 : 1));
      first = false;
    }
  }
}

int64_t sumOf(const void* row, std::span<const uint16_t> offsets) {
  int64_t sum = 0;
  for (uint16_t offset : offsets) sum += loadInt(row, offset);
  return sum;
}

void addFields(void* sum, const void* row, std::span<const uint16_t> offsets) {
  for (uint16_t offset : offsets) {
    int32_t value = loadInt(sum, offset);
    addTo(value, loadInt(row, offset));
    storeInt(sum, offset, value);
  }
}

void raiseFields(void* kept, const void* row, std::span<const uint16_t> offsets) {
  for (uint16_t offset : offsets) {
    const int32_t candidate = loadInt(row, offset);
    if (candidate > loadInt(kept, offset)) storeInt(kept, offset, candidate);
  }
}

// ---------------------------------------------------------------------------
// Member queries

bool runQuery(const Trace& trace, const SqlText& sql, RowHandler onRow, void* context,
              const QueryTexts* texts) {
  if (sql.overflow) {
    VXR_TRACE(trace, kTraceError, "Unable to create select request path %d\n", kSqlStatusFailed);
    return false;
  }
  VXRSQLAP block;
  std::memset(&block, 0, sizeof block);
  block.sqlText = sql.text;
  int32_t status = vxrsqlp(&block);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Unable to create select request path %d\n", status);
    return false;
  }
  if (texts && texts->pathOpened) VXR_TRACE(trace, kTraceDetail, texts->pathOpened);
  bool ok = true;
  status = vxrsqli(&block);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Unable to open request for input %d\n", status);
    ok = false;
  } else {
    if (texts && texts->requestOpened) VXR_TRACE(trace, kTraceDetail, texts->requestOpened);
    while (vxrsqlf(&block) == 0) {
      if (!onRow(context, trace, block.output)) ok = false;
    }
    status = vxrsqlc(&block);
    if (status != 0) {
      VXR_TRACE(trace, kTraceError, "Unable to close request for input %d\n", status);
      ok = false;
    }
    if (texts && texts->afterFetch) VXR_TRACE(trace, kTraceDetail, texts->afterFetch);
  }
  status = vxrsqld(&block);
  if (status != 0) VXR_TRACE(trace, kTraceError, "Unable to drop request %d\n", status);
  return ok;
}

void sqlMemberQuery(SqlText& sql, const char* select, const char* from, const char* at,
                    const VXR_NodeRecord& node, const char* where) {
  sqlAppend(sql, select);
  sqlAppend(sql, from);
  sqlCondition(sql, at, node.thruNode, 32);
  sqlAppend(sql, ")");
  sqlCondition(sql, where, node.originNode, 32);
}

void sqlMemberQueryWidth(SqlText& sql, const char* select, const char* from, const char* at,
                         const VXR_NodeRecord& node, const char* where) {
  sqlAppend(sql, select);
  sqlAppend(sql, from);
  sqlConditionWidth(sql, at, node.thruNode, 32);
  sqlAppend(sql, ")");
  sqlConditionWidth(sql, where, node.originNode, 32);
}

int32_t collectMembers(const Trace& trace, const MemberCollection& collection) {
  int32_t result = 1;
  *collection.nodeCursor = nullptr;
  for (;;) {
    VXR_ListLinks* cursor = *collection.nodeCursor;
    VXR_ListLinks* next = cursor ? older(collection.nodes, cursor) : newest(collection.nodes);
    *collection.nodeCursor = next;
    if (next == nullptr) break;
    const VXR_NodeRecord& node = nodeOf(next);
    VXR_TRACE(trace, kTraceDetail, "REALNODE=\\%32s\\\n", node.thruNode);
    SqlText sql;
    sqlBegin(sql);
    collection.buildSql(collection.context, trace, node, sql);
    if (collection.sqlTrace)
      VXR_TRACE(trace, collection.sqlTraceLevel, collection.sqlTrace, sql.text);
    if (!runQuery(trace, sql, collection.onRow, collection.context, collection.texts)) result = 0;
  }
  return result;
}

}  // namespace vxr
