#include "vxr/merge.h"

namespace vxr {

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
// Filing

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

}  // namespace vxr
