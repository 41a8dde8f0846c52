#include <cmath>
#include <cstdio>
#include <string>

#include "test_support.h"
#include "vxr/activity.h"
#include "vxr/helpers.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"

namespace {

std::string textOf(const vxr::SqlText& sql) {
  return std::string(sql.text, sql.length);
}

TEST(SqlText, ValuesAreTrimmedAtTheirFirstBlank) {
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlAppend(sql, "'");
  vxr::sqlAppendTrimmed(sql, "GRP1    ", 8);
  vxr::sqlAppend(sql, "' '");
  vxr::sqlAppendTrimmed(sql, " LEAD ING", 32);  // the first character is always kept
  vxr::sqlAppend(sql, "' '");
  vxr::sqlAppendTrimmed(sql, "ABCDEFGHIJ", 8);  // at most 8 characters
  vxr::sqlAppend(sql, "' '");
  vxr::sqlAppendTrimmed(sql, "AB\0CD", 8);  // ends at a zero byte
  vxr::sqlAppend(sql, "'");
  EXPECT_EQ(textOf(sql), "'GRP1' ' LEAD' 'ABCDEFGH' 'AB'");
}

TEST(SqlText, FullWidthValuesKeepTheirBlanks) {
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlAppendWidth(sql, "GRP1    ", 8);
  vxr::sqlAppend(sql, "|");
  vxr::sqlAppendWidth(sql, "AB\0CDEFG", 8);
  EXPECT_EQ(textOf(sql), "GRP1    |AB");
}

TEST(SqlText, QuotesInValuesAreDoubled) {
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  vxr::sqlAppend(sql, "X = '");
  vxr::sqlAppendTrimmed(sql, "O'B", 8);
  vxr::sqlAppend(sql, "' AND Y = '");
  vxr::sqlAppendWidth(sql, "'; DROP", 8);
  vxr::sqlAppend(sql, "'");
  EXPECT_EQ(textOf(sql), "X = 'O''B' AND Y = '''; DROP'");
}

TEST(SqlText, OverflowIsFlaggedAndNeverWritesPastTheBuffer) {
  vxr::SqlText sql;
  vxr::sqlBegin(sql);
  std::string chunk(300, 'x');
  for (int i = 0; i < 5; ++i) vxr::sqlAppend(sql, chunk.c_str());
  EXPECT_TRUE(sql.overflow);
  EXPECT_EQ(sql.length, vxr::kSqlBufferSize - 1);
  EXPECT_EQ(sql.text[vxr::kSqlBufferSize - 1], '\0');
}

TEST(GroupNames, ManagedSystemNameFromIdname) {
  char origin[32];
  vxr::groupOrigin(origin, "GRP1    ");
  EXPECT_EQ(std::string(origin, 32), "GRP1:RX4plex:DSGROUP            ");
  vxr::groupOrigin(origin, "ABCDEFGH");
  EXPECT_EQ(std::string(origin, 32), "ABCDEFGH:RX4plex:DSGROUP        ");
  vxr::composeOrigin(origin, "SSA1    ", ":SYSA:RX4", 9);
  EXPECT_EQ(std::string(origin, 32), "SSA1:SYSA:RX4                   ");
  char zeroEnded[8] = {'G', 'R', 0, 0, 0, 0, 0, 0};
  vxr::groupOrigin(origin, zeroEnded);
  EXPECT_EQ(std::string(origin, 32), "GR:RX4plex:DSGROUP              ");
}

TEST(GroupNames, GroupFromOriginNode) {
  char group[8];
  vxr::groupFromOrigin(group, "GRPAB:RX4plex:DSGROUP           ");
  EXPECT_EQ(std::string(group, 8), "GRPAB   ");
  vxr::groupFromOrigin(group, "LONGNAME9:RX4plex:DSGROUP       ");
  EXPECT_EQ(std::string(group, 8), "LONGNAME");
  vxr::groupFromOrigin(group, ":ABCDEFG                        ");
  EXPECT_EQ(std::string(group, 8), "        ");
}

TEST(Arithmetic, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(vxr::saturate32(int64_t{INT32_MAX} + 1), INT32_MAX);
  EXPECT_EQ(vxr::saturate32(int64_t{INT32_MIN} - 1), INT32_MIN);
  int32_t sum = 2'000'000'000;
  vxr::addTo(sum, 2'000'000'000);
  EXPECT_EQ(sum, INT32_MAX);
  sum = -5;
  vxr::addTo(sum, 3);
  EXPECT_EQ(sum, -2);
  EXPECT_EQ(vxr::truncate32(2.9), 2);
  EXPECT_EQ(vxr::truncate32(-2.9), -2);
  EXPECT_EQ(vxr::truncate32(1e12), INT32_MAX);
  EXPECT_EQ(vxr::truncate32(-1e12), INT32_MIN);
  EXPECT_EQ(vxr::truncate32(std::nan("")), 0);
  EXPECT_EQ(vxr::average(11, 2), 5);
  EXPECT_EQ(vxr::average(-11, 2), -5);
}

TEST(Arithmetic, SharesAndRatiosWithLargeCounts) {
  vxr::GetpTotals totals{};
  vxr::storeDouble(&totals, offsetof(vxr::GetpTotals, getpages), 8'000'000.0);
  vxr::storeDouble(&totals, offsetof(vxr::GetpTotals, io), 0.0);
  // 3,000,000 x 1000 does not fit 32 bits; the share must still be exact.
  EXPECT_EQ(vxr::getpageShare(3'000'000, totals), 375);
  EXPECT_EQ(vxr::ioShare(10, totals), 0);  // zero total: no share
  EXPECT_EQ(vxr::getpagesPerRead(5'000'000, 4, 77), 12'500'000);
  EXPECT_EQ(vxr::getpagesPerRead(5'000'000, 0, 77), 77);  // divisor 0 keeps the value
  EXPECT_EQ(vxr::getpagesPerRead(7, 3, 0), 23);
}

TEST(Arithmetic, AveragesOverMergedRowsAndGuardedScaledRatios) {
  EXPECT_EQ(vxr::averageOver(13, 3), 4);
  EXPECT_EQ(vxr::averageOver(-13, 3), -4);
  EXPECT_EQ(vxr::averageOver(9, 1), 9);  // an unmerged row keeps its figure
  EXPECT_EQ(vxr::averageOver(9, 0), 9);
  EXPECT_EQ(vxr::ratioOverPositive(1, 1000, 3), 333);
  EXPECT_EQ(vxr::ratioOverPositive(5'000'000, 1000, 6'000'000), 833);  // past 32 bits in between
  EXPECT_EQ(vxr::ratioOverPositive(300'000'000, 10, 1), INT32_MAX);
  EXPECT_EQ(vxr::ratioOverPositive(7, 10, 0), 0);
  EXPECT_EQ(vxr::ratioOverPositive(7, 10, -2), 0);
  int32_t row[3] = {10, 11, 12};
  const uint16_t offsets[] = {0, 8};
  vxr::averageFields(row, offsets, 2);
  EXPECT_EQ(row[0], 5);
  EXPECT_EQ(row[1], 11);
  EXPECT_EQ(row[2], 6);
}

TEST(Arithmetic, GuardedRatios) {
  EXPECT_EQ(vxr::scaledRatio(3'000'000'000LL, 1000, 4'000'000'000LL), 750);
  EXPECT_EQ(vxr::scaledRatio(-7, 10, 3), -23);  // toward zero
  EXPECT_EQ(vxr::scaledRatio(5, 100, 0), 0);
  EXPECT_EQ(vxr::scaledRatio(3'000'000'000LL, 1000, 1), INT32_MAX);
  EXPECT_EQ(vxr::scaledRatio(INT64_MAX, 4, -INT64_MAX), -4);  // product beyond 64 bits
  // The quotient first, then the scale: (29 / 100) x 100 is just below 29.
  EXPECT_EQ(vxr::scaledQuotient(29, 100, 100), 28);
  EXPECT_EQ(vxr::scaledRatio(29, 100, 100), 29);
  EXPECT_EQ(vxr::scaledQuotient(1, 3, 100), 33);
  EXPECT_EQ(vxr::scaledQuotient(-50, 250, 100), -20);
  EXPECT_EQ(vxr::scaledQuotient(7, 0, 100), 0);
  EXPECT_EQ(vxr::scaledQuotient(int64_t{1} << 40, 1, 100), INT32_MAX);
}

TEST(Fields, EarliestTimestampAndVersions) {
  char kept[16];
  std::memcpy(kept, "1261208103015000", 16);
  vxr::keepEarliest(kept, "1261208103014999");
  EXPECT_EQ(std::string(kept, 16), "1261208103014999");
  vxr::keepEarliest(kept, "1261208103020000");
  EXPECT_EQ(std::string(kept, 16), "1261208103014999");
  EXPECT_TRUE(vxr::versionAbove("04.01.01", "04.01.00"));
  EXPECT_FALSE(vxr::versionAbove("04.01.00", "04.01.00"));
  EXPECT_FALSE(vxr::versionAbove("03.99.99", "04.01.00"));
}

// ---------------------------------------------------------------------------
// Row assembly from an output descriptor laid out as the host lays it out.

struct Sqlda {
  std::vector<char> bytes;
  std::vector<std::string> cells;
  explicit Sqlda(std::vector<std::string> values) : cells(std::move(values)) {
    bytes.assign(kSqldaFirstEntryOffset + cells.size() * kSqldaEntrySize, 0);
    int16_t count = static_cast<int16_t>(cells.size());
    std::memcpy(&bytes[kSqldaCountOffset], &count, 2);
    for (size_t i = 0; i < cells.size(); ++i) {
      char* entry = &bytes[kSqldaFirstEntryOffset + i * kSqldaEntrySize];
      int16_t length = static_cast<int16_t>(cells[i].size());
      std::memcpy(entry + kSqldaLengthOffset, &length, 2);
      const char* data = cells[i].data();
      std::memcpy(entry + kSqldaDataOffset, &data, sizeof data);
    }
  }
};

struct SmallRow {
  char NAME[8];
  int32_t COUNT;
  char CODE[4];
};
constexpr vxr::ColumnField kSmallColumns[] = {VXR_FIELD(SmallRow, COUNT), VXR_FIELD(SmallRow, NAME),
                                              VXR_FIELD(SmallRow, CODE)};
static_assert(vxr::selectMatches("SELECT COUNT,NAME, CODE", kSmallColumns, 3));
static_assert(!vxr::selectMatches("SELECT COUNT,NAME", kSmallColumns, 3));
static_assert(!vxr::selectMatches("SELECT COUNT,CODE,NAME", kSmallColumns, 3));
static_assert(vxr::selectColumnCount("SELECT A,B, C") == 3);

TEST(AssembleRow, CopiesEachColumnCappedAtItsField) {
  vxrhost::Host host;
  int32_t count = 42;
  Sqlda sqlda({std::string(reinterpret_cast<char*>(&count), 4), "TOOLONGNAME", "AB"});
  SmallRow row;
  std::memset(&row, 'z', sizeof row);
  ASSERT_TRUE(
      vxr::assembleRow(testTrace(), sqlda.bytes.data(), kSmallColumns, 3, &row, vxr::kTraceAlways));
  EXPECT_EQ(row.COUNT, 42);
  EXPECT_EQ(std::string(row.NAME, 8), "TOOLONGN");  // cut at the field width
  EXPECT_EQ(std::string(row.CODE, 4), "AB  ");      // a short value leaves blanks, not old bytes
}

TEST(AssembleRow, FieldsKeptAsDeliveredAreZeroFilled) {
  vxrhost::Host host;
  int32_t count = 7;
  Sqlda sqlda({std::string(reinterpret_cast<char*>(&count), 4), "ABC", "AB"});
  SmallRow row;
  std::memset(&row, 'z', sizeof row);
  const uint16_t zeroFilled[] = {offsetof(SmallRow, NAME)};
  ASSERT_TRUE(vxr::assembleRow(testTrace(), sqlda.bytes.data(), kSmallColumns, &row,
                               vxr::kTraceAlways, zeroFilled));
  EXPECT_EQ(std::string(row.NAME, 8), std::string("ABC") + std::string(5, '\0'));
  EXPECT_EQ(std::string(row.CODE, 4), "AB  ");
}

TEST(AssembleRow, ANegativeLengthCopiesNothing) {
  vxrhost::Host host;
  int32_t count = 42;
  Sqlda sqlda({std::string(reinterpret_cast<char*>(&count), 4), "NAME", "AB"});
  const int16_t negative = -1;
  std::memcpy(&sqlda.bytes[kSqldaFirstEntryOffset + kSqldaEntrySize + kSqldaLengthOffset],
              &negative, 2);
  SmallRow row;
  std::memset(&row, 'z', sizeof row);
  ASSERT_TRUE(
      vxr::assembleRow(testTrace(), sqlda.bytes.data(), kSmallColumns, 3, &row, vxr::kTraceAlways));
  EXPECT_EQ(std::string(row.NAME, 8), "        ");
  EXPECT_EQ(row.COUNT, 42);
}

TEST(AssembleRow, WrongColumnCountCopiesNothing) {
  vxrhost::Host host;  // trace level 0: the line is written all the same
  Sqlda sqlda({"ABCD", "EFGH"});
  SmallRow row;
  std::memset(&row, 'z', sizeof row);
  EXPECT_FALSE(
      vxr::assembleRow(testTrace(), sqlda.bytes.data(), kSmallColumns, 3, &row, vxr::kTraceAlways));
  EXPECT_EQ(std::string(row.NAME, 8), "zzzzzzzz");
  EXPECT_TRUE(host.traceContains("Count of colums (3) are not equal to SQLDA columns (2)"));
}

// ---------------------------------------------------------------------------
// Index filters

struct FilterWork {
  int32_t groupFlag;
  const char* groupHost;
  char group[8];
  char groupEnd;
  int32_t idFlag;
  const char* idHost;
  char id[8];
  char idEnd;
  int32_t originFlag;
  const char* originHost;
  char origin[32];
  char originEnd;
  int32_t matches;
};
constexpr vxr::FilterSlot kGroup = VXR_SLOT(FilterWork, groupFlag, groupHost, group);
constexpr vxr::FilterSlot kId = VXR_SLOT(FilterWork, idFlag, idHost, id);
constexpr vxr::FilterSlot kOrigin = VXR_SLOT(FilterWork, originFlag, originHost, origin);

void countMatch(void* workArea, const vxr::Trace&, int16_t, const char*, const char*) {
  ++static_cast<FilterWork*>(workArea)->matches;
}

constexpr vxr::FilterRule kRules[] = {
    {.column = "DSGROUP",
     .match = vxr::prefix(7),
     .slots = {kGroup},
     .matchTrace = "DSGROUP match %d %s %s"},
    {.column = "IDNAME",
     .match = vxr::prefix(6),
     .slots = {kGroup, kId},
     .otherOperator = 10,
     .onMatch = countMatch},
    {.column = "ORIGINNODE", .match = vxr::exact(), .slots = {kOrigin}},
};
constexpr vxr::FilterLoop kLoop = {kRules, "Index Filter %d %s %s", kTraceDetail};

struct Filters : HostTest {
  FilterWork work;
  std::unique_ptr<vxrhost::Request> request;  // owns the filter values
  void read(const std::vector<vxrhost::Filter>& filters) {
    std::memset(&work, 0, sizeof work);
    for (const vxr::FilterSlot& slot : {kGroup, kId, kOrigin}) vxr::clearFilterSlot(&work, slot);
    request = host.newRequest("TABLE", filters, 0);
    vxr::readFilters(request->handle(), &work, kLoop, testTrace());
  }
};

TEST_F(Filters, PrefixAndExactColumnNames) {
  host.setTraceLevel("VXRTEST", kTraceDetail);
  read({{1, "DSGROUPX", "GRP1"},
        {1, "ORIGINNOD", "NOPE"},
        {1, "ORIGINNODE", "GRP1:RX4plex:DSGROUP"}});
  EXPECT_EQ(work.groupFlag, 1);
  EXPECT_EQ(std::string(work.group, 8), "GRP1    ");
  EXPECT_EQ(work.groupEnd, '\0');
  ASSERT_NE(work.groupHost, nullptr);
  EXPECT_EQ(std::string(work.groupHost, 4), "GRP1");
  EXPECT_EQ(work.originFlag, 1);
  EXPECT_EQ(std::string(work.origin, 32), "GRP1:RX4plex:DSGROUP            ");
  EXPECT_TRUE(traced("Index Filter 1 DSGROUPX   GRP1"));
  EXPECT_TRUE(traced("DSGROUP match 1 DSGROUPX   GRP1"));
}

TEST_F(Filters, OtherOperatorsAreIgnoredUnlessTheRuleTakesThem) {
  read({{2, "DSGROUP", "GRP1"}, {10, "IDNAME", "GRP2"}});
  EXPECT_EQ(work.groupFlag, 1);  // set by the IDNAME rule, which takes operator 10
  EXPECT_EQ(std::string(work.group, 8), "GRP2    ");
  EXPECT_EQ(work.idFlag, 1);
  EXPECT_EQ(work.matches, 1);
  read({{2, "DSGROUP", "GRP1"}});
  EXPECT_EQ(work.groupFlag, 0);
  EXPECT_EQ(std::string(work.group, 8), "        ");
}

TEST_F(Filters, LongValuesAreCutAtTheSlotAndLaterFiltersWin) {
  read({{1, "IDNAME", "ABCDEFGHIJKLMNOP"}, {1, "DSGROUP", "XY"}});
  EXPECT_EQ(std::string(work.id, 8), "ABCDEFGH");
  EXPECT_EQ(work.idEnd, '\0');  // the terminator after the slot is intact
  EXPECT_EQ(std::string(work.group, 8), "XY      ");
  read({{1, "ORIGINNODE", std::string(40, 'N')}});
  EXPECT_EQ(std::string(work.origin, 32), std::string(32, 'N'));
  EXPECT_EQ(work.originEnd, '\0');
  EXPECT_EQ(work.matches, 0);
}

// Largest values kept beside the field they come from, and distinct counts
// of another table's elements filled into summary rows.
struct Summary {
  char group[4];
  int32_t rate, largest, spaces, indexes, tables;
};
struct Space {
  char group[4];
  char name[4];
  char type[4];
};

TEST(MergeRule, LargestValueFromAnotherFieldIsSeededThenRaisedSigned) {
  constexpr vxr::FieldFrom from[] = {{offsetof(Summary, largest), offsetof(Summary, rate)}};
  const vxr::MergeRule rule = {.maximaFrom = from};
  Summary kept = {{'G'}, -7, 0, 0, 0, 0};
  vxr::seedMaxima(&kept, rule);
  EXPECT_EQ(kept.largest, -7);
  for (int32_t rate : {-9, -3, -5}) {
    Summary row = {{'G'}, rate, 0, 0, 0, 0};
    vxr::mergeRow(&kept, &row, rule);
  }
  EXPECT_EQ(kept.largest, -3);
  EXPECT_EQ(kept.rate, -7);  // not a sum
}

// Member rows filed as the families file them: merged into the newest
// element of their key (sums added, rows counted, the largest rate raised),
// found and left alone without a rule, or filed as new elements (counted 1,
// the largest seeded) under a new key or no key at all.
TEST(FileRow, MergesByKeyOrFilesNewElements) {
  VXR_ResultTable* table = nullptr;
  ASSERT_NE(vxr::createTable(&table, vxr::elementSize<Summary>(), 4), nullptr);
  constexpr vxr::ByteRange kKey[] = {VXR_KEY(Summary, group)};
  constexpr uint16_t kSums[] = {offsetof(Summary, spaces)};
  constexpr vxr::FieldFrom kLargest[] = {{offsetof(Summary, largest), offsetof(Summary, rate)}};
  const vxr::MergeRule rule = {
      .sums = kSums, .rowsMerged = offsetof(Summary, tables), .maximaFrom = kLargest};
  struct Case {
    const char* group;
    int32_t rate, spaces;
    bool keyed;
    const vxr::MergeRule* rule;
    bool created;
  };
  const Case cases[] = {
      {"G1  ", 5, 10, true, &rule, true},  {"G1  ", 9, 20, true, &rule, false},
      {"G2  ", 3, 40, true, &rule, true},  {"G2  ", 8, 50, true, nullptr, false},
      {"G3  ", 4, 60, false, &rule, true}, {"G3  ", 6, 70, false, &rule, true},
  };
  const vxr::Trace quiet{nullptr, 0};
  for (const Case& c : cases) {
    Summary row = {{}, c.rate, 0, c.spaces, 0, 77};
    std::memcpy(row.group, c.group, 4);
    bool created = !c.created;
    EXPECT_NE(vxr::fileRow(quiet, table, &row, sizeof row,
                           c.keyed ? vxr::MergeKey(kKey) : vxr::MergeKey(), c.rule, {}, &created),
              nullptr);
    EXPECT_EQ(created, c.created) << c.group << " " << c.rate;
  }
  std::vector<std::vector<int32_t>> got;  // group, rate, largest, spaces, rows merged
  for (VXR_ListLinks* e : vxr::walk(vxr::listOf(table))) {
    const auto* s = static_cast<const Summary*>(vxr::elementData(e));
    got.push_back({s->group[1] - '0', s->rate, s->largest, s->spaces, s->tables});
  }
  EXPECT_EQ(got, (std::vector<std::vector<int32_t>>{
                     {3, 6, 6, 70, 1}, {3, 4, 4, 60, 1}, {2, 3, 3, 40, 1}, {1, 5, 9, 30, 2}}));
  RSLTdestroy(&table);
}

TEST(KeyedCounts, CountsPerKeyAndByKind) {
  VXR_ResultTable* summaries = nullptr;
  VXR_ResultTable* spaces = nullptr;
  ASSERT_NE(vxr::createTable(&summaries, vxr::elementSize<Summary>(), 4), nullptr);
  ASSERT_NE(vxr::createTable(&spaces, vxr::elementSize<Space>(), 4), nullptr);
  constexpr vxr::ByteRange kSpaceKey[] = {VXR_KEY(Space, group), VXR_KEY(Space, name)};
  for (const char* group : {"G1  ", "G2  ", "G3  "}) {
    Summary s = {};
    std::memcpy(s.group, group, 4);
    s.spaces = 99;
    ASSERT_NE(vxr::fileKeyed(summaries, &s, sizeof s, vxr::MergeKey(kSpaceKey, 1)), nullptr);
  }
  const char* rows[][3] = {{"G1  ", "S1  ", "TSP "},
                           {"G1  ", "S2  ", "INDX"},
                           {"G1  ", "S3  ", "PTIX"},
                           {"G2  ", "S1  ", "TSP "}};
  for (const auto& r : rows) {
    Space sp;
    std::memcpy(sp.group, r[0], 4);
    std::memcpy(sp.name, r[1], 4);
    std::memcpy(sp.type, r[2], 4);
    ASSERT_NE(vxr::fileKeyed(spaces, &sp, sizeof sp, kSpaceKey), nullptr);
  }
  constexpr uint16_t kAt[] = {offsetof(Summary, group)};
  constexpr const char* kIndex[] = {"INDX", "PTIX"};
  const vxr::MergeKey byGroup(kSpaceKey, 1);
  const vxr::KeyedCount counts[] = {
      {spaces, byGroup, kAt, offsetof(Summary, spaces)},
      {spaces, byGroup, kAt, offsetof(Summary, indexes), VXR_KEY(Space, type), kIndex},
      {spaces, byGroup, kAt, offsetof(Summary, tables), VXR_KEY(Space, type), kIndex, true},
  };
  vxr::fillCounts(vxr::listOf(summaries), counts);
  std::vector<std::vector<int32_t>> got;
  for (VXR_ListLinks* e : vxr::walk(vxr::listOf(summaries))) {
    const auto* s = static_cast<const Summary*>(vxr::elementData(e));
    got.push_back({s->spaces, s->indexes, s->tables});
  }
  EXPECT_EQ(got, (std::vector<std::vector<int32_t>>{{0, 0, 0}, {1, 0, 1}, {3, 2, 1}}));
  RSLTdestroy(&summaries);
  RSLTdestroy(&spaces);
}

// The index rebuilt under another key than the one it was filed by (as the
// distinct counts do) grows with the keys it meets: a key per element, a few
// elements per key, one key for all. Counts and finds agree with the walk.
TEST(KeyedCounts, RebuiltIndexAgreesWithTheWalk) {
  constexpr vxr::ByteRange kFiled[] = {VXR_KEY(Space, group), VXR_KEY(Space, name)};
  constexpr vxr::ByteRange kCounted[] = {VXR_KEY(Space, type)};
  for (const int perKey : {1, 16, 2000}) {
    VXR_ResultTable* spaces = nullptr;
    ASSERT_NE(vxr::createTable(&spaces, vxr::elementSize<Space>(), 10), nullptr);
    for (int i = 0; i < 2000; ++i) {
      char text[16];
      Space sp;
      std::snprintf(text, sizeof text, "%04d", i);
      std::memcpy(sp.name, text, 4);
      std::snprintf(text, sizeof text, "%04d", i / 500);
      std::memcpy(sp.group, text, 4);
      std::snprintf(text, sizeof text, "%04d", i / perKey);
      std::memcpy(sp.type, text, 4);
      ASSERT_NE(vxr::fileKeyed(spaces, &sp, sizeof sp, kFiled), nullptr);
    }
    VXR_ListHeader* list = vxr::listOf(spaces);
    for (VXR_ListLinks* e : vxr::walk(list)) {
      const void* data = vxr::elementData(e);
      ASSERT_EQ(vxr::countKeyed(spaces, data, kCounted), vxr::countByKeys(list, data, kCounted))
          << perKey;
      ASSERT_EQ(vxr::findKeyed(spaces, data, kCounted), vxr::findByKeys(list, data, kCounted));
    }
    RSLTdestroy(&spaces);
  }
}

}  // namespace
