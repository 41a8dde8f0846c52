#include "vxr/family.h"

namespace vxr {

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
