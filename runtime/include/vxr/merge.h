// Keyed merges over result-table lists.
//
// A merge key is one or several byte ranges of an element's data. The
// result table keeps an index over the key its merge declares (see
// result_table.h): findKeyed returns exactly the element the newest-first
// walk of the list would find, in constant time, and fileKeyed files a new
// element as the newest and enters it. countKeyed counts the elements of a
// list that agree over a (shorter) key, one pass for all the counts of a
// request. The list itself keeps its order, so emission is unchanged.
//
// Built with VXR_MERGE_WALK the same calls walk the list instead; the tests
// run every module both ways and compare the rows byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "vxr/arithmetic.h"
#include "vxr/chars.h"
#include "vxr/result_table.h"
#include "vxr/trace.h"

namespace vxr {

struct ByteRange {
  uint16_t offset;
  uint16_t length;
};

#define VXR_KEY(Row, name)                 \
  ::vxr::ByteRange {                       \
    offsetof(Row, name), sizeof(Row::name) \
  }

using MergeKey = std::span<const ByteRange>;

// Keys are mostly 8-character names: compared a word at a time, inline.
inline bool bytesEqual(const char* x, const char* y, size_t n) {
  for (; n >= 8; x += 8, y += 8, n -= 8) {
    uint64_t a, b;
    std::memcpy(&a, x, 8);
    std::memcpy(&b, y, 8);
    if (a != b) return false;
  }
  return n == 0 || std::memcmp(x, y, n) == 0;
}
inline bool keysEqual(const void* a, const void* b, MergeKey key) {
  const char* x = static_cast<const char*>(a);
  const char* y = static_cast<const char*>(b);
  for (const ByteRange& range : key) {
    if (!bytesEqual(x + range.offset, y + range.offset, range.length)) return false;
  }
  return true;
}
inline bool keysEqual(const void* a, const void* b, const ByteRange* keys, int32_t count) {
  return keysEqual(a, b, MergeKey(keys, static_cast<size_t>(count)));
}

// The walks the index replaces: the newest element whose data equals `data`
// over the key, and the number of such elements.
VXR_ListLinks* findByKeys(VXR_ListHeader* list, const void* data, MergeKey key);
int32_t countByKeys(VXR_ListHeader* list, const void* data, MergeKey key);
inline VXR_ListLinks* findByKeys(VXR_ListHeader* list, const void* data, const ByteRange* keys,
                                 int32_t count) {
  return findByKeys(list, data, MergeKey(keys, static_cast<size_t>(count)));
}
inline int32_t countByKeys(VXR_ListHeader* list, const void* data, const ByteRange* keys,
                           int32_t count) {
  return countByKeys(list, data, MergeKey(keys, static_cast<size_t>(count)));
}

// The newest element of the table's list whose data equals `data` over
// `key`, or null.
VXR_ListLinks* findKeyed(VXR_ResultTable* table, const void* data, MergeKey key);
// Takes an element, copies `size` bytes of `data` into it, files it as the
// newest of the table's list and enters it in the index over `key`. Null
// (nothing filed, the failure traced) when no element or no index room can
// be had.
void* fileKeyed(VXR_ResultTable* table, const void* data, size_t size, MergeKey key);
// Number of elements of the table's list whose data equals `data` over `key`.
int32_t countKeyed(VXR_ResultTable* table, const void* data, MergeKey key);

// True when the table could not hand out an element it was asked for (no
// block, or no room in its index): what it holds is then incomplete.
bool tableFailed(VXR_ResultTable* table);

// The newest element with the key, or a new one filed with `data`; null
// when none could be had. `created` tells which.
inline void* findOrFileKeyed(VXR_ResultTable* table, const void* data, size_t size, MergeKey key,
                             bool* created) {
  if (VXR_ListLinks* match = findKeyed(table, data, key)) {
    *created = false;
    return elementData(match);
  }
  *created = true;
  return fileKeyed(table, data, size, key);
}

// Takes an element, copies `size` bytes of `data` into it and files it as the
// newest; null (nothing filed) when no element can be had.
void* fileCopy(VXR_ResultTable* table, VXR_ListHeader* list, const void* data, size_t size);

// A 32-bit field that takes its value from another field of the same row.
struct FieldFrom {
  uint16_t target;
  uint16_t source;
};

// How a later row of a key merges into the element its first row created:
// counters added (saturating), largest values raised, the earliest time stamp
// kept, and the row counted. Every other field keeps the first row's value.
struct MergeRule {
  std::span<const uint16_t> sums = {};
  std::span<const uint16_t> maxima = {};
  uint16_t timestamp = kNoField;   // 16-character time stamp
  uint16_t rowsMerged = kNoField;  // 32-bit count of merged rows
  // Largest values kept in a field of their own: each target holds the
  // largest (signed) source value of the merged rows (see seedMaxima).
  std::span<const FieldFrom> maximaFrom = {};
};

void mergeRow(void* kept, const void* row, const MergeRule& rule);

// The first row of a key: every maximaFrom target takes its source's value,
// so that later merges raise it from there.
void seedMaxima(void* element, const MergeRule& rule);

// One distinct count of a summary row: the number of elements of `table`
// that agree with the row over `key`, each range of the element compared
// with the row's field at `rowOffsets` (same order and lengths). With
// `kinds`, only the elements whose `kind` range holds one of those values
// count, or with `exceptKinds` only those that hold none of them.
struct KeyedCount {
  VXR_ResultTable* table;
  MergeKey key;                          // ranges of the counted elements
  std::span<const uint16_t> rowOffsets;  // where the row holds each range
  uint16_t target;                       // the row's 32-bit count
  ByteRange kind = {kNoField, 0};
  std::span<const char* const> kinds = {};
  bool exceptKinds = false;
};

// Stores every count into every row of `rows`: one pass over the list per
// count (and per kind value), each row's count looked up in the table's
// count index, never a walk of the table per row.
void fillCounts(VXR_ListHeader* rows, std::span<const KeyedCount> counts);

// The sum of the 32-bit fields at `offsets`, in 64 bits.
int64_t sumOf(const void* row, std::span<const uint16_t> offsets);
// Adds the 32-bit counters at `offsets` of `row` into `sum`, saturating.
void addFields(void* sum, const void* row, std::span<const uint16_t> offsets);
// Raises the 32-bit fields at `offsets` of `kept` to those of `row` where larger.
void raiseFields(void* kept, const void* row, std::span<const uint16_t> offsets);

// Averages the 32-bit sums at `offsets` of `row` over `count` merged rows
// (averageOver: unchanged unless count is above 1).
inline void averageFields(void* row, std::span<const uint16_t> offsets, int32_t count) {
  for (uint16_t offset : offsets) storeInt(row, offset, averageOver(loadInt(row, offset), count));
}

// ---------------------------------------------------------------------------
// Filing

// Detail lines of a filing: `merging` when the row merges into the element
// of its key, `filing` before a new element is filed, `filed` after a new
// element was filed.
struct FilingTexts {
  const char* merging = nullptr;
  const char* filing = nullptr;
  const char* filed = nullptr;
};

// The lines of the modules that trace their filing step by step.
inline constexpr FilingTexts kGroupRecordTexts = {.merging = "Add up total columns\n",
                                                  .filing = "Get new group record\n"};

// Files `row` into `table`. With a key, into the newest element whose data
// agrees over it (merged by `rule`, when given), else into a new element
// entered under the key; with an empty key, into a new element. A new
// element takes the row whole, the rule's maximaFrom seeds and a count of 1
// in the rule's rowsMerged field. Null when no element could be had
// ("Unable to obtain group result record " traced at error level);
// `created` (when given) tells whether the element is new.
void* fileRow(const Trace& trace, VXR_ResultTable* table, const void* row, size_t size,
              MergeKey key, const MergeRule* rule, const FilingTexts& texts = {},
              bool* created = nullptr);

// Which member reported which database of a group: one element per group,
// database and member, counted per group and database.
struct DatabaseMember {
  char group[8];
  char database[8];
  char member[4];
};
inline constexpr ByteRange kDatabaseMemberKey[] = {{offsetof(DatabaseMember, group), 8},
                                                   {offsetof(DatabaseMember, database), 8},
                                                   {offsetof(DatabaseMember, member), 4}};
inline constexpr MergeKey kMembersOfDatabase(kDatabaseMemberKey, 2);

// Notes that `member` (4 characters) reported `database` of `group` (8
// each), once; false when no element could be had (traced as fileRow does).
bool noteDatabaseMember(const Trace& trace, VXR_ResultTable* table, const char* group,
                        const char* database, const char* member);
// The same as a traced function of its own, under the module's name.
bool noteDatabaseMemberTraced(RAS1_Anchor* anchor, VXR_ResultTable* table, const char* group,
                              const char* database, const char* member);

}  // namespace vxr
