// A table as a declaration. What a table is (its row, filters and merge
// rule) is declared in the module's header as a vxr::TableInfo (see
// vxr/declaration.h), where the host's catalog reads it too. The module adds
// how it runs, in one constexpr Table<Row>: the host-visible work area, the
// member query, the names and lines its trace shows, and hooks for what
// only the table does. VXR_TABLE_ENTRIES runs it: the runtime lays out the
// work area, reads the filters, queries every member, files each row
// (merged by key, or listed) and hands the rows out.
//
//   constexpr vxr::Table<MyRow> kTable = {
//       .info = &kMyTable, .eyeCatcher = "MYTBWORK", .workAreaSize = 248,
//       .query = {.select = "SELECT ORIGINNODE,...", .base = "VXR.MY_BASE"},
//       .collect = &kCollect, .file = &kFile};
//   VXR_TABLE_ENTRIES(kTable, xrmytbsr, xrmytbpr, xrmytbts);
//
// Every text a declaration carries (function names, trace lines, SQL
// spellings) is what the host and its members see, byte for byte, and the
// goldens hold them fixed. Some read like slips ("Count of colums",
// "RESTYPE33=", a value printed twice): they are the system's own texts and
// stay as they are.
#pragma once

#include <array>
#include <span>
#include <type_traits>
#include <utility>

#include "vxr/activity.h"
#include "vxr/chars.h"
#include "vxr/lifecycle.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"

namespace vxr {

// ---------------------------------------------------------------------------
// The member query

// How a member query names its member: the routing clause to the thru node
// and the origin-node condition. The members' SQL takes each table's own
// spelling, so the spellings are named here once and never typed loose.
struct Routing {
  const char* at;      // ends with the opening quote of the thru node
  const char* origin;  // ends with the opening quote of the origin node
};
inline constexpr Routing kAt = {" AT('", "ORIGINNODE ='"};
inline constexpr Routing kAtSpaced = {" AT ('", "ORIGINNODE ='"};
inline constexpr Routing kAtOriginSpaced = {" AT('", "ORIGINNODE = '"};
inline constexpr Routing kAtSpacedOriginJoined = {" AT ('", "ORIGINNODE='"};

// "<select> FROM <base><at><thru>') WHERE [<condition> AND ]<origin><node>'"
// followed by the conditions of the filters that came, and ";".
struct MemberQuery {
  const char* select;  // "SELECT A,B,..."
  const char* base;    // "VXR.LGB_POOL"
  Routing routing = kAt;
  const char* condition = nullptr;  // a fixed condition ahead of the origin node's
  bool fullWidthNodes = false;      // node names at 32 characters, blanks included
};

// A member table whose columns depend on the member agent's version: an
// agent whose 8-character version compares bytewise above `above` delivers
// the further columns too (kept as raw bytes: zeros past a short value). In
// the row of an older agent those fields are zero.
struct AgentColumns {
  const char* above = nullptr;    // e.g. "04.01.00"; null: one layout for every agent
  const char* further = nullptr;  // ",A,B": appended to the SELECT list
};

// Lines some tables write around a member query (each with what it names).
struct QueryLines {
  TraceText node = {};        // the thru node and its version, before the query is built
  TraceText extended = {};    // when the member is asked for the further columns
  TraceText conditions = {};  // the text so far, when a filter condition was sent
  TraceText statement = {};   // the whole text and its length
  TraceText deriving = {};    // the ORIGINNODE value's first 8 characters, before a derivation
  TraceText derived = {};     // the derived group
  TraceText group = {};       // the group filter's value, before the query is built
};

// ---------------------------------------------------------------------------
// Filters

// The filters are declared with the table (vxr/declaration.h).

// ---------------------------------------------------------------------------
// The request's trace lines

// Which lines a request writes and how they read (see ModuleProgram).
struct RequestTexts {
  TraceText startBanner = {};
  TraceText invoked = {kTraceDetail, "Invoked for table %s\n"};
  TraceText gettingStorage = {};
  TraceText storageFailed = {};
  TraceText processBanner = {};
  TraceText firstCall = {};
  TraceText nextRow = {};
  TraceText emitted = {};
  TraceText endOfData = {kTraceDetail, "EOD with %i rows emitted\n"};
  TraceText exitStatus = {kTraceDetail, "Exit process routine with status %i\n"};
  TraceText teardown = {};
  TraceText collectFailed = {};
  // Every filter, with its operator, column and value.
  TraceText filter = {kTraceDetail, "Index Filter %d %s %s\n"};
  TraceText groupTableFailed = {kTraceError, "Unable to allocate Storage for Group result\n"};
};

// The quiet lines: the table name and every filter at SQL level, the
// emitted element at row level as "filt Anchor ...".
constexpr RequestTexts quietTexts(RequestTexts texts = {}) {
  texts.invoked = {kTraceSql, "Invoked for table %s\n"};
  texts.emitted = {kTraceRow, "filt Anchor at %8X. filtlm link at %8x.\n"};
  texts.endOfData = {};
  texts.exitStatus = {};
  texts.filter = {kTraceSql, "Index Filter %d %s %s \n"};
  return texts;
}

// The step-by-step lines: each step at detail level, the table name and
// every filter at SQL level; the table gives its start banner and its
// emitted line.
constexpr RequestTexts stepTexts(RequestTexts texts) {
  texts.invoked = {kTraceSql, "Invoked for table %s\n"};
  texts.gettingStorage = {kTraceDetail, "Get view storage\n"};
  texts.storageFailed = {kTraceError, "Unable to get view storage\n"};
  texts.processBanner = {kTraceDetail, "Initialize Process Routine\n"};
  texts.firstCall = {kTraceDetail, "First call (rowCnt=0)\n"};
  texts.nextRow = {kTraceDetail, "Get NextInChain\n"};
  texts.endOfData = {kTraceDetail, "EOD in Process Rtn\n"};
  texts.exitStatus = {};
  texts.teardown = {kTraceDetail, "Teardown\n"};
  texts.filter = {kTraceSql, "Index Filter %d %s %s \n"};
  return texts;
}

// ---------------------------------------------------------------------------
// A table's own state and further steps
//
// A table whose request does more than one collection declares, besides the
// above: the state it keeps of its own (a struct the runtime places in the
// work area and clears with every collection; its result tables declared
// with VXR_TABLE on it), a count of names that a second member query
// delivers (NameCount), and typed hooks on its state.

// The state of a table that keeps none.
struct NoState {};

// A filter the host sent that a declared filter took (its slot is filled).
struct FilterMatch {
  const Filter& filter;
  int16_t op;
  const char* column;  // as sent
  const char* value;   // as sent, terminated
  const char* kept;    // the slot's value: the declared width, blank-padded
};

// The row of a name count: a group and a name, 8 characters each.
struct NamePair {
  char group[8];
  char name[8];
};
inline constexpr ByteRange kNamePairKey[] = {{offsetof(NamePair, group), 8},
                                             {offsetof(NamePair, name), 8}};

// A second member query after the table's own collection: the members are
// listed afresh and each is asked `query` (its filter conditions as in the
// table's own) for pairs of a group and a name; `file` keeps each pair once
// (false: it was lost for want of memory). Each summary row then counts the
// distinct names of its group (column `by`) into column `into`, traced with
// `line` (group, count) under `count`. A query that fails without losing a
// pair leaves the rows as delivered (`failed` traced); one that lost a pair
// ends the request without rows.
struct NameCount {
  MemberQuery query = {};
  const char* into = nullptr;  // null: no second query
  const char* by = "IDNAME";
  bool (*file)(VXR_ResultTable* pairs, const NamePair& pair, const Trace& trace) = nullptr;
  RAS1_Anchor* collect = nullptr;
  RAS1_Anchor* count = nullptr;
  const char* sqlTrace = "Vtable SQL= %s\n";
  const QueryTexts* texts = nullptr;
  TraceText line = {};
  TraceText failed = {};
  TraceText tableFailed = {};
  int32_t perBlock = 10;
};

// What the table's own collection left, for the hook between the steps.
struct Collected {
  bool ok;         // every member answered and every row was kept
  bool lost;       // a row was lost for want of memory
  bool rowsFiled;  // the summary holds a row
};

// ---------------------------------------------------------------------------
// The declaration

// How the members counted per group and database (MemberCountColumns) are
// traced: each row's member noted under `note`, the counts stored under
// `count` after the collection, each traced with the database by `line`.
struct MemberCount {
  RAS1_Anchor* note = nullptr;
  RAS1_Anchor* count = nullptr;
  TraceText line = {};
  TraceText tableFailed = {kTraceAlways, "Unable to allocate Storage for RX4count Result\n"};
};

// A member column that lands in a row field of another name.
struct ColumnAlias {
  const char* column;
  const char* field;
};

// ---------------------------------------------------------------------------
// Tables that keep more than their rows

// Distinct names per group and database: each member row's name and kind
// noted once (under `note`, with the members counted, see MemberCount),
// and after the collection counted into each summary row: every name into
// `into`, the names of the `kinds` into `ofKinds`, the others into
// `otherKinds`, traced per row by `line` with the database.
struct DistinctNames {
  const char* name = nullptr;  // a member column of 8 characters
  const char* kind = nullptr;  // a member column of 4 characters
  std::span<const char* const> kinds = {};
  const char* into = nullptr;
  const char* ofKinds = nullptr;
  const char* otherKinds = nullptr;
  RAS1_Anchor* note = nullptr;
  TraceText line = {};
  int32_t perBlock = 30;
  TraceText tableFailed = {};
};

// One noted name.
struct DatabaseName {
  char group[8];
  char database[8];
  char name[8];
  char kind[4];
};
inline constexpr ByteRange kDatabaseNameKey[] = {{offsetof(DatabaseName, group), 8},
                                                 {offsetof(DatabaseName, database), 8},
                                                 {offsetof(DatabaseName, name), 8}};
inline constexpr MergeKey kNamesOfDatabase(kDatabaseNameKey, 2);

// The object-activity tables (see GroupTotals): the group traced before
// each member query, and the lines of the totals' scope.
inline constexpr QueryLines kActivityLines = {.group = {kTraceDetail, "DSGROUP=\\%8s\\\n"}};
constexpr ScopeTexts activityScopes(const char* database, const char* group) {
  return {"Spacename supplied, No Summary\n", database, group, "DSGROUP not supplied, No Data\n"};
}

// ---------------------------------------------------------------------------

// A table of rows `R`, with a state `S` of its own (see the further steps
// below), assembled from member rows of layout `M` (another table's row; see
// Table::memberRow): the row takes the member row's fields of the same
// names, the others zero.
template <typename R, typename S = NoState, typename M = R>
struct Table {
  using Row = R;
  using State = S;
  using Member = M;
  const TableInfo* info;  // the table as the catalog shows it: row, filters, merge rule
  // The host-visible work area: eye-catcher and size (on 32-bit targets
  // exactly this size; the runtime's fields must fit in it).
  const char* eyeCatcher;
  int32_t workAreaSize;

  MemberQuery query;
  // Member columns that land in a row field of another name.
  std::span<const ColumnAlias> aliases = {};
  AgentColumns agents = {};
  int32_t mismatchLevel = kTraceAlways;  // of the column-count mismatch line

  // The filters and the merge rule are the table's (`info`); here only
  // how the member counts are traced.
  MemberCount members = {};
  const char* zeroFilled = nullptr;  // character columns kept as delivered (zeros past a value)
  int32_t perBlock = 10;             // elements per block of the summary table

  // The functions the trace shows: the collection and the filing.
  RAS1_Anchor* collect;
  RAS1_Anchor* file;
  RequestTexts texts = quietTexts();
  const QueryTexts* queryTexts = nullptr;  // lines around each member's query
  FilingTexts filing = {};                 // lines of the filing

  QueryLines lines = {};

  // Completes a member row before it is filed (`older`: from an agent that
  // does not deliver the further columns).
  void (*complete)(Member& row, bool older, const Trace& trace) = nullptr;
  // Finishes a row just before it is handed out (`merged`: the request's
  // rows merge by a key).
  void (*beforeEmit)(Row& row, bool merged) = nullptr;

  // Further steps and the hooks on the table's own state.
  NameCount names = {};
  // Result tables of the state (VXR_TABLE(State, ...)): the hooks create
  // them when needed; the runtime destroys them when the collection is
  // complete and with the other tables.
  std::span<const TableSpec> stateTables = {};
  // After the filters are read and the group derived: each filter that
  // came, with its column name and value.
  TraceText filterValue = {};
  // Each filter the host sent that a declared filter took.
  void (*filterTaken)(State& state, const FilterMatch& match, const Trace& trace) = nullptr;
  // Names a row when no ORIGINNODE filter came (default: its IDNAME's group).
  void (*nameRow)(Row& row) = nullptr;
  // Merges a row into the element of its key instead of the merge rule
  // (`created`: the element is new, a copy of the row); false when the row
  // is to count as lost.
  bool (*merge)(State& state, Row& kept, const Row& row, bool created,
                const Trace& trace) = nullptr;
  // After the table's own collection, whether it succeeded or not.
  void (*collected)(State& state, const Collected& collected, const Trace& trace) = nullptr;

  // Tables that keep more than their rows: member rows of another layout,
  // and the group totals or the distinct names (one table beside the rows).
  const TableInfo* memberRow = nullptr;  // the layout of Member, when not Row
  const GroupTotals* totals = nullptr;   // the object-activity figures
  DistinctNames distinct = {};
};

// ---------------------------------------------------------------------------
// What the runtime keeps of a request (the private part of the work area)

// The table kept beside the rows by a table that keeps more than its rows
// (the group totals or the names noted); nothing for the others.
template <bool Kept>
struct BesideTable {
  VXR_ListHeader* list;
  VXR_ResultTable* table;
};
template <>
struct BesideTable<false> {};

template <typename Row, size_t Filters, size_t ValueBytes, bool Beside = false,
          typename Steps = NoState>
struct TableWork {
  char eyeCatcher[8];
  VXR_ListHeader* summaryList;
  VXR_ListLinks* emissionCursor;
  VXR_ListHeader* nodeList;
  VXR_ListLinks* nodeCursor;
  VXR_ResultTable* nodeTable;
  VXR_ResultTable* summaryTable;
  VXR_ListHeader* memberList;
  VXR_ResultTable* memberTable;
  int32_t rowsEmitted;
  int32_t flags[Filters];
  const char* hosts[Filters];
  char values[ValueBytes];  // each value with a terminator after it
  [[no_unique_address]] BesideTable<Beside> beside;
  Row row;
  [[no_unique_address]] Steps steps;  // of a table with further steps
};

// The fields of a table with further steps: the pairs of its name count and
// its own state.
template <typename State>
struct StepsWork {
  VXR_ListHeader* pairList;
  VXR_ResultTable* pairTable;
  State state;
};

constexpr bool textEqual(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

// Names in a list separated by commas and blanks ("A,B, C").
constexpr size_t nameCount(const char* names) {
  size_t count = 0;
  for (const char* p = names; p != nullptr && *p; ++p) {
    const bool separator = *p == ',' || *p == ' ';
    const bool starts = p == names || p[-1] == ',' || p[-1] == ' ';
    count += !separator && starts;
  }
  return count;
}

template <size_t N>
constexpr bool allNamed(const std::array<ColumnField, N>& fields) {
  for (const ColumnField& field : fields) {
    if (field.name == nullptr) return false;
  }
  return true;
}

// Builds the member query of a table for `node`: the declared query, then
// the condition of every filter that came (slot i belongs to filter i).
// `further` (or null) follows the SELECT list; `conditionsLine` is traced
// with the text before the closing ";" when a filter condition was sent.
// True when the member asked is sent a condition.
void sqlTableQuery(SqlText& sql, const MemberQuery& query, const char* further,
                   const VXR_NodeRecord& node, std::span<const Filter> filters,
                   std::span<const FilterSlot> slots, const void* workArea, const Trace& trace,
                   TraceText conditionsLine);

// ---------------------------------------------------------------------------
// The interpreter

// The index of the declared filter of column `column`, or -1.
constexpr int filterIndexOf(std::span<const Filter> filters, const char* column) {
  for (size_t i = 0; column != nullptr && i < filters.size(); ++i) {
    if (filters[i].column != nullptr && textEqual(filters[i].column, column))
      return static_cast<int>(i);
  }
  return -1;
}

template <const auto& T>
struct TableRun {
  using Decl = std::remove_cvref_t<decltype(T)>;
  using Row = typename Decl::Row;
  using Member = typename Decl::Member;
  static constexpr const TableInfo& kInfo = *T.info;
  static constexpr const MergeColumns& kMerging = kInfo.merge;
  static constexpr bool kConverted = !std::is_same_v<Row, Member>;
  // The layout the member rows are assembled in: the row's own, or the one
  // `memberRow` names (a table of another member layout that names none
  // does not compile).
  static constexpr std::span<const ColumnField> kMemberLayout =
      kConverted ? T.memberRow->layout : T.info->layout;

  static constexpr size_t kFilters = kInfo.filters.size();
  static constexpr size_t valueOffset(size_t i) {
    size_t offset = 0;
    for (size_t j = 0; j < i; ++j) offset += kInfo.filters[j].width + 1u;
    return offset;
  }
  using State = typename Decl::State;
  static constexpr bool kSteps = T.names.into != nullptr;
  using Work = TableWork<Member, kFilters, valueOffset(kFilters),
                         T.totals != nullptr || T.distinct.into != nullptr,
                         std::conditional_t<kSteps, StepsWork<State>, NoState>>;
  static_assert(kFilters > 0, "a table has at least its ORIGINNODE filter");
#if VXR_ILP32
  static_assert(sizeof(Work) <= static_cast<size_t>(T.workAreaSize),
                "the runtime's fields fit the host-visible work area");
#endif

  static constexpr int roleIndex(FilterRole role) {
    for (size_t i = 0; i < kFilters; ++i) {
      if (kInfo.filters[i].role == role) return static_cast<int>(i);
    }
    return -1;
  }
  static constexpr int kOrigin = roleIndex(FilterRole::NamesRows);
  static constexpr int kGroup = roleIndex(FilterRole::Group);
  static_assert(kOrigin >= 0, "the ORIGINNODE filter names the rows");

  // Every filter the host can send does something: narrows the member
  // query, keeps rows, names the rows, takes a derived group, or chooses
  // the key (a filter that is read but never used does not compile).
  static constexpr bool filterUsed(size_t i) {
    const Filter& f = kInfo.filters[i];
    if ((f.condition != nullptr &&
         (f.onlyWith == nullptr || filterIndexOf(kInfo.filters, f.onlyWith) >= 0)) ||
        f.keeps != nullptr || f.role != FilterRole::Condition || f.alsoFills != nullptr)
      return true;
    for (const KeyChoice& choice : kMerging.keys) {
      if (choice.filter != nullptr && f.column != nullptr && textEqual(choice.filter, f.column))
        return true;
    }
    return false;
  }
  static constexpr bool everyFilterUsed() {
    for (size_t i = 0; i < kFilters; ++i) {
      if (!filterUsed(i)) return false;
    }
    return true;
  }
  static_assert(everyFilterUsed(), "each declared filter changes the query, the rows or the key");

  static constexpr std::array<FilterSlot, kFilters> slotsOf() {
    std::array<FilterSlot, kFilters> slots{};
    for (size_t i = 0; i < kFilters; ++i) {
      slots[i] = {static_cast<uint16_t>(offsetof(Work, flags) + i * sizeof(int32_t)),
                  static_cast<uint16_t>(offsetof(Work, hosts) + i * sizeof(const char*)),
                  static_cast<uint16_t>(offsetof(Work, values) + valueOffset(i)),
                  kInfo.filters[i].width};
    }
    return slots;
  }
  static constexpr auto kSlots = slotsOf();

  // The hook on each filter taken, by the filter's index.
  template <size_t I>
  static void taken(void* workArea, const Trace& trace, int16_t op, const char* column,
                    const char* value) {
    if constexpr (T.filterTaken != nullptr) {
      Work& w = work(workArea);
      T.filterTaken(stateOf(w), {kInfo.filters[I], op, column, value, w.values + valueOffset(I)},
                    trace);
    }
  }
  template <size_t... I>
  static constexpr std::array<FilterHook, kFilters> takenHooks(std::index_sequence<I...>) {
    return {taken<I>...};
  }
  static constexpr auto kTaken = takenHooks(std::make_index_sequence<kFilters>{});

  static constexpr size_t ruleCount() {
    size_t count = 0;
    for (const Filter& filter : kInfo.filters)
      count += (filter.column != nullptr) + (filter.alsoColumn != nullptr);
    return count;
  }
  static constexpr std::array<FilterRule, ruleCount()> rulesOf() {
    std::array<FilterRule, ruleCount()> rules{};
    size_t r = 0;
    for (size_t i = 0; i < kFilters; ++i) {
      const Filter& f = kInfo.filters[i];
      const int also = filterIndexOf(kInfo.filters, f.alsoFills);
      auto rule = [&](const char* column, ColumnMatch match, FilterSlot alsoSlot) {
        return FilterRule{.column = column,
                          .match = match,
                          .slots = {kSlots[i], alsoSlot},
                          .matchTrace = f.matchTrace,
                          .otherOperator = f.otherOperator,
                          .onMatch = T.filterTaken != nullptr ? kTaken[i] : nullptr};
      };
      if (f.column) rules[r++] = rule(f.column, f.match, also >= 0 ? kSlots[also] : FilterSlot{});
      if (f.alsoColumn) rules[r++] = rule(f.alsoColumn, f.alsoMatch, FilterSlot{});
    }
    return rules;
  }
  static constexpr auto kRules = rulesOf();

  // The fields the SELECT list lands in: the row's fields of the same
  // names, or of the names the aliases give.
  static constexpr size_t kSelected = static_cast<size_t>(selectColumnCount(T.query.select));
  static constexpr std::array<ColumnField, kSelected> columnsOf() {
    auto columns = vxr::columnsOf<kSelected>(T.query.select, kMemberLayout);
    for (const ColumnAlias& alias : T.aliases) {
      const ColumnField field = fieldsNamed<1>(alias.field, kMemberLayout)[0];
      const ColumnField as[] = {{alias.column, field.offset, field.width, field.type}};
      const auto named = vxr::columnsOf<kSelected>(T.query.select, as);
      for (size_t i = 0; i < kSelected; ++i) {
        if (named[i].name != nullptr) columns[i] = named[i];
      }
    }
    return columns;
  }
  static constexpr auto kColumns = columnsOf();
  // The further columns of newer agents, after the others.
  static constexpr size_t kFurther = nameCount(T.agents.further);
  static constexpr auto kFurtherFields = fieldsNamed<kFurther>(T.agents.further, kMemberLayout);
  static_assert(allNamed(kFurtherFields), "the further columns are row fields");
  static_assert((T.agents.above == nullptr) == (kFurther == 0), "further columns by version");
  static constexpr std::array<ColumnField, kSelected + kFurther> extendedOf() {
    std::array<ColumnField, kSelected + kFurther> columns{};
    for (size_t i = 0; i < kSelected; ++i) columns[i] = kColumns[i];
    for (size_t i = 0; i < kFurther; ++i) {
      columns[kSelected + i] = kFurtherFields[i];
      columns[kSelected + i].type = FieldType::Padding;
    }
    return columns;
  }
  static constexpr auto kExtendedColumns = extendedOf();
  // The bytes of the further fields, zero in an older agent's row.
  static constexpr uint16_t furtherBound(bool end) {
    uint16_t bound = end ? 0 : 0xFFFF;
    for (const ColumnField& field : kFurtherFields) {
      const uint16_t at = end ? static_cast<uint16_t>(field.offset + field.width) : field.offset;
      bound = end ? (at > bound ? at : bound) : (at < bound ? at : bound);
    }
    return bound;
  }
  static bool extendedFor(const VXR_NodeRecord& node) {
    if constexpr (kFurther == 0) return false;
    return versionAbove(node.version, T.agents.above);
  }
  static_assert(selectMatches(T.query.select, kColumns),
                "the SELECT list names the fields its columns land in");

  // Merge rule.
  static constexpr auto kKeyFields =
      fieldsNamed<nameCount(kMerging.key)>(kMerging.key, T.info->layout);
  static constexpr auto kSumFields =
      fieldsNamed<nameCount(kMerging.sums)>(kMerging.sums, T.info->layout);
  static constexpr auto kEarliest =
      fieldsNamed<nameCount(kMerging.earliest)>(kMerging.earliest, T.info->layout);
  static constexpr auto kMergedCount =
      fieldsNamed<nameCount(kMerging.rowsMerged)>(kMerging.rowsMerged, T.info->layout);
  static constexpr auto kZeroFields =
      fieldsNamed<nameCount(T.zeroFilled)>(T.zeroFilled, kMemberLayout);
  static_assert(allNamed(kKeyFields) && allNamed(kSumFields) && allNamed(kEarliest) &&
                    allNamed(kMergedCount) && allNamed(kZeroFields),
                "the merge rule names columns of the row");
  static_assert(nameCount(kMerging.earliest) <= 1 && nameCount(kMerging.rowsMerged) <= 1,
                "one earliest time stamp, one count of merged rows");
  static constexpr auto largestOf() {
    std::array<FieldFrom, kMerging.largest.size()> largest{};
    for (size_t i = 0; i < largest.size(); ++i) {
      const auto into = fieldsNamed<1>(kMerging.largest[i].column, T.info->layout)[0];
      const auto from = fieldsNamed<1>(kMerging.largest[i].of, T.info->layout)[0];
      largest[i] = {into.name ? into.offset : kNoField, from.name ? from.offset : kNoField};
    }
    return largest;
  }
  static constexpr auto kLargest = largestOf();
  static constexpr bool largestNamed() {
    for (const FieldFrom& pair : kLargest) {
      if (pair.target == kNoField || pair.source == kNoField) return false;
    }
    return true;
  }
  static_assert(largestNamed(), "the largest values name columns of the row");
  static constexpr auto zeroFilledOf() {
    std::array<uint16_t, kZeroFields.size()> offsets{};
    for (size_t i = 0; i < offsets.size(); ++i) offsets[i] = kZeroFields[i].offset;
    return offsets;
  }
  static constexpr auto kZeroFilled = zeroFilledOf();
  // Key choices: the declared key alone, or the choices.
  static constexpr size_t kChoices = kMerging.keys.empty() ? 1 : kMerging.keys.size();
  static constexpr size_t kMaxKey = 4;
  struct Choice {
    int filter = -1;  // index of the choosing filter
    uint16_t field = kNoField;
    std::array<ByteRange, kMaxKey> key{};
    size_t length = 0;
  };
  static constexpr int filterIndex(const char* column) {
    return filterIndexOf(kInfo.filters, column);
  }
  static constexpr Choice choiceOf(const char* filter, const char* names) {
    Choice choice;
    choice.filter = filterIndex(filter);
    if (filter != nullptr) {
      const auto field = fieldsNamed<1>(filter, T.info->layout)[0];
      choice.field = field.name ? field.offset : kNoField;
    }
    const auto fields = fieldsNamed<kMaxKey>(names ? names : "", T.info->layout);
    choice.length = nameCount(names);
    for (size_t i = 0; i < choice.length && i < kMaxKey; ++i)
      choice.key[i] = {fields[i].offset, fields[i].width};
    return choice;
  }
  static constexpr std::array<Choice, kChoices> choicesOf() {
    std::array<Choice, kChoices> choices{};
    if (kMerging.keys.empty()) {
      choices[0] = choiceOf(nullptr, kMerging.key);
    } else {
      for (size_t i = 0; i < kChoices; ++i)
        choices[i] = choiceOf(kMerging.keys[i].filter, kMerging.keys[i].key);
    }
    return choices;
  }
  static constexpr auto kChoicesMade = choicesOf();
  static constexpr bool choicesValid() {
    for (size_t i = 0; i < kMerging.keys.size(); ++i) {
      const Choice& c = kChoicesMade[i];
      if (kMerging.keys[i].filter != nullptr && (c.filter < 0 || c.field == kNoField)) return false;
      if (c.length > kMaxKey) return false;
      const auto fields =
          fieldsNamed<kMaxKey>(kMerging.keys[i].key ? kMerging.keys[i].key : "", T.info->layout);
      for (size_t k = 0; k < c.length; ++k) {
        if (fields[k].name == nullptr) return false;
      }
    }
    return kMerging.keys.empty() || kMerging.key == nullptr;
  }
  static_assert(choicesValid(), "each key choice names a filter and columns of the row");
  // Which choice the request's filters make.
  static size_t chosen(const Work& w) {
    for (size_t i = 0; i < kChoices; ++i) {
      const int f = kChoicesMade[i].filter;
      if (f < 0 || w.flags[f] != 0) return i;
    }
    return kChoices;
  }
  static bool merges(const Work& w) {
    const size_t i = chosen(w);
    return i < kChoices && kChoicesMade[i].length > 0;
  }

  // Member counts.
  static constexpr bool kCounted = kMerging.members.into != nullptr;
  static constexpr auto kCountFields = [] {
    std::array<ColumnField, 4> fields{};
    if (kCounted) {
      fields[0] = fieldsNamed<1>(kMerging.members.group, T.info->layout)[0];
      fields[1] = fieldsNamed<1>(kMerging.members.database, T.info->layout)[0];
      fields[2] = fieldsNamed<1>(kMerging.members.member, T.info->layout)[0];
      fields[3] = fieldsNamed<1>(kMerging.members.into, T.info->layout)[0];
    }
    return fields;
  }();
  static_assert(!kCounted || (allNamed(kCountFields) && kCountFields[0].width == 8 &&
                              kCountFields[1].width == 8 && kCountFields[2].width == 4 &&
                              kCountFields[3].type == FieldType::Int32),
                "members are counted by group, database and member into a count column");
  static constexpr uint16_t kRowGroupDatabase[] = {kCountFields[0].offset, kCountFields[1].offset};

  static constexpr auto sumsOf() {
    std::array<uint16_t, kSumFields.size()> sums{};
    for (size_t i = 0; i < sums.size(); ++i) sums[i] = kSumFields[i].offset;
    return sums;
  }
  static constexpr auto kSums = sumsOf();
  static constexpr MergeRule kMerge = {
      .sums = kSums,
      .timestamp = kEarliest.empty() ? kNoField : kEarliest[0].offset,
      .rowsMerged = kMergedCount.empty() ? kNoField : kMergedCount[0].offset,
      .maximaFrom = kLargest};

  // Filters that keep rows: where the row holds the compared column.
  static constexpr std::array<ColumnField, kFilters> keptColumnsOf() {
    std::array<ColumnField, kFilters> kept{};
    for (size_t i = 0; i < kFilters; ++i) {
      if (kInfo.filters[i].keeps != nullptr)
        kept[i] = fieldsNamed<1>(kInfo.filters[i].keeps, kMemberLayout)[0];
    }
    return kept;
  }
  static constexpr auto kKeptColumns = keptColumnsOf();
  static constexpr bool keptColumnsValid() {
    for (size_t i = 0; i < kFilters; ++i) {
      if (kInfo.filters[i].keeps != nullptr &&
          (kKeptColumns[i].name == nullptr || kKeptColumns[i].width != kInfo.filters[i].width))
        return false;
    }
    return true;
  }
  static_assert(keptColumnsValid(), "a filter keeps rows by a row column of its width");

  // False when a filter that came keeps rows of another value.
  static bool kept(const Work& w) {
    for (size_t i = 0; i < kFilters; ++i) {
      if (kKeptColumns[i].name == nullptr || w.flags[i] == 0) continue;
      const char* row = reinterpret_cast<const char*>(&w.row);
      if (std::memcmp(row + kKeptColumns[i].offset, w.values + valueOffset(i),
                      kKeptColumns[i].width) != 0)
        return false;
    }
    return true;
  }

  static Work& work(void* workArea) {
    return *static_cast<Work*>(workArea);
  }

  // ---- Tables that keep more than their rows

  // The filter that takes the derived group too.
  static constexpr int kDerivedToo = [] {
    for (size_t i = 0; i < kFilters; ++i) {
      if (kInfo.filters[i].takesDerived) return static_cast<int>(i);
    }
    return -1;
  }();

  // A member row of another layout: the row's fields that it has too.
  struct FieldCopy {
    uint16_t from, to, width;
  };
  static constexpr auto kCopies = [] {
    std::array<FieldCopy, T.info->layout.size()> copies{};
    for (size_t i = 0; i < copies.size(); ++i) {
      const ColumnField& to = T.info->layout[i];
      for (const ColumnField& from : kMemberLayout) {
        if (to.name != nullptr && from.name != nullptr && textEqual(to.name, from.name) &&
            to.width == from.width)
          copies[i] = {from.offset, to.offset, to.width};
      }
    }
    return copies;
  }();
  static void convert(const Member& member, Row& row) {
    std::memset(&row, 0, sizeof row);
    for (const FieldCopy& copy : kCopies) {
      std::memcpy(reinterpret_cast<char*>(&row) + copy.to,
                  reinterpret_cast<const char*>(&member) + copy.from, copy.width);
    }
  }

  static VXR_ResultTable* besideTable(Work& w) {
    if constexpr (requires { w.beside.table; }) {
      return w.beside.table;
    } else {
      return nullptr;
    }
  }

  // The object-activity figures.
  static constexpr bool kTotalled = T.totals != nullptr;
  static constexpr GroupTotals kG = kTotalled ? *T.totals : GroupTotals{};
  static constexpr uint16_t offsetNamed(const char* name) {
    const ColumnField field = fieldsNamed<1>(name ? name : "", T.info->layout)[0];
    return field.name != nullptr ? field.offset : kNoField;
  }
  template <size_t N>
  static constexpr std::array<uint16_t, N> offsetsNamed(const char* names) {
    std::array<uint16_t, N> offsets{};
    for (size_t i = 0; i < N; ++i) {
      const ColumnField field = fieldsNamed<N>(names, T.info->layout)[i];
      offsets[i] = field.name != nullptr ? field.offset : kNoField;
    }
    return offsets;
  }
  static constexpr auto kRates = offsetsNamed<nameCount(kG.rates)>(kG.rates);
  static constexpr auto kReads = offsetsNamed<nameCount(kG.reads)>(kG.reads);
  static constexpr auto kIo = offsetsNamed<nameCount(kG.io)>(kG.io);
  static constexpr ActivityLayout kActivity = {.group = offsetNamed(kG.groupFilter),
                                               .database = offsetNamed(kG.databaseFilter),
                                               .space = offsetNamed(kG.spaceFilter),
                                               .timestamp = kMerge.timestamp,
                                               .rowsMerged = kMerge.rowsMerged,
                                               .rates = kRates,
                                               .reads = kReads,
                                               .io = kIo,
                                               .getpages = offsetNamed(kG.getpages),
                                               .ratio = offsetNamed(kG.ratio),
                                               .getpageShare = offsetNamed(kG.getpageShare),
                                               .ioShare = offsetNamed(kG.ioShare)};
  static constexpr std::array<int, 3> kScopeFilters = {
      filterIndex(kG.spaceFilter), filterIndex(kG.databaseFilter), filterIndex(kG.groupFilter)};
  static constexpr bool totalsNamed() {
    const uint16_t named[] = {kActivity.group,     kActivity.database,     kActivity.space,
                              kActivity.timestamp, kActivity.rowsMerged,   kActivity.getpages,
                              kActivity.ratio,     kActivity.getpageShare, kActivity.ioShare};
    for (uint16_t offset : named) {
      if (offset == kNoField) return false;
    }
    for (std::span<const uint16_t> list : {std::span<const uint16_t>(kRates), {kReads}, {kIo}}) {
      for (uint16_t offset : list) {
        if (offset == kNoField) return false;
      }
    }
    return kScopeFilters[0] >= 0 && kScopeFilters[1] >= 0 && kScopeFilters[2] >= 0;
  }
  static_assert(!kTotalled || totalsNamed(),
                "the totals name filters and columns of the row, its earliest time stamp and "
                "its count of merged rows");
  static ScopeFilters came(const Work& w) {
    return {w.flags[kScopeFilters[0]] != 0, w.flags[kScopeFilters[1]] != 0,
            w.flags[kScopeFilters[2]] != 0};
  }

  // Distinct names per group and database.
  static constexpr bool kNamed = T.distinct.into != nullptr;
  static constexpr ColumnField memberField(const char* name) {
    return fieldsNamed<1>(name ? name : "", kMemberLayout)[0];
  }
  static constexpr ColumnField kNameField = memberField(T.distinct.name);
  static constexpr ColumnField kKindField = memberField(T.distinct.kind);
  static constexpr std::array<uint16_t, 3> kNameCounts = {offsetNamed(T.distinct.into),
                                                          offsetNamed(T.distinct.ofKinds),
                                                          offsetNamed(T.distinct.otherKinds)};
  static_assert(!kNamed || (kCounted && kNameField.width == 8 && kKindField.width == 4 &&
                            kNameCounts[0] != kNoField && kNameCounts[1] != kNoField &&
                            kNameCounts[2] != kNoField),
                "names of 8 and kinds of 4 characters, counted with the members into columns");
  // Notes the member row's name, and its member, once per group and database.
  static bool noteName(Work& w, const char* row) {
    const Trace trace = traceEnter(T.distinct.note);
    const char* member = reinterpret_cast<const char*>(&w.row);
    DatabaseName name;
    std::memcpy(name.group, row + kCountFields[0].offset, sizeof name.group);
    std::memcpy(name.database, row + kCountFields[1].offset, sizeof name.database);
    std::memcpy(name.name, member + kNameField.offset, sizeof name.name);
    std::memcpy(name.kind, member + kKindField.offset, sizeof name.kind);
    const bool noted =
        fileRow(trace, besideTable(w), &name, sizeof name, kDatabaseNameKey, nullptr) &&
        noteDatabaseMember(trace, w.memberTable, name.group, name.database,
                           row + kCountFields[2].offset);
    traceExitVoid(trace, __LINE__);
    return noted;
  }

  // Without a filter of its own the first group filter takes the group the
  // ORIGINNODE filter names.
  static void deriveGroup(void* workArea, const Trace& trace) {
    if constexpr (kGroup >= 0) {
      Work& w = work(workArea);
      if (w.flags[kOrigin] == 0 || w.flags[kGroup] != 0) return;
      const char* origin = w.values + valueOffset(static_cast<size_t>(kOrigin));
      char initial[kNameWidth + 1] = {};
      std::memcpy(initial, origin, kNameWidth);
      traceText(trace, T.lines.deriving, initial);
      deriveGroupFilter(workArea, kSlots[kOrigin], kSlots[kGroup],
                        kDerivedToo >= 0 ? &kSlots[kDerivedToo] : nullptr);
      traceText(trace, T.lines.derived, w.values + valueOffset(static_cast<size_t>(kGroup)));
    }
  }

  static void buildSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                       SqlText& sql) {
    traceText(trace, T.lines.node, node.thruNode, node.version);
    if constexpr (kGroup >= 0)
      traceText(trace, T.lines.group, work(workArea).values + valueOffset(size_t{kGroup}));
    const bool extended = extendedFor(node);
    if (extended) traceText(trace, T.lines.extended);
    sqlTableQuery(sql, T.query, extended ? T.agents.further : nullptr, node, kInfo.filters, kSlots,
                  workArea, trace, T.lines.conditions);
    traceText(trace, T.lines.statement, sql.text, static_cast<int>(sql.length));
  }

  // Files `row` (the member row w.row, or what the table's row takes of
  // it) and what the table keeps beside it.
  static bool file(Work& w, const Row& row) {
    const char* data = reinterpret_cast<const char*>(&row);
    const Trace trace = traceEnter(T.file);
    MergeKey key = {};
    const size_t i = chosen(w);
    if (i < kChoices) {
      const Choice& choice = kChoicesMade[i];
      key = MergeKey(choice.key.data(), choice.length);
      if (!kMerging.keys.empty())
        traceText(trace, kMerging.keys[i].line,
                  choice.field != kNoField ? data + choice.field : nullptr);
    }
    bool created = false;
    const void* filed = nullptr;
    bool kept = fileMerged(w, trace, row, key, filed, created);
    if constexpr (kTotalled) {
      if (filed != nullptr && !created) traceActivityMerge(trace, filed, kActivity);
    }
    traceExitVoid(trace, __LINE__);
    if constexpr (kTotalled)
      kept = addActivityTotals(kG.add, kG.adding, besideTable(w), came(w), &row, kActivity) && kept;
    if constexpr (kNamed) {
      kept = noteName(w, data) && kept;
    } else if constexpr (kCounted) {
      kept =
          noteDatabaseMemberTraced(T.members.note, w.memberTable, data + kCountFields[0].offset,
                                   data + kCountFields[1].offset, data + kCountFields[2].offset) &&
          kept;
    }
    return kept;
  }

  // Under `anchor`: `count` stored into every summary row, each row traced
  // with `line`, its 8-character name at `shown` and the count.
  static void countInto(RAS1_Anchor* anchor, const Work& w, const KeyedCount& count, uint16_t shown,
                        TraceText line) {
    const Trace trace = traceEnter(anchor);
    fillCounts(w.summaryList, {&count, 1});
    for (VXR_ListLinks* element : walk(w.summaryList)) {
      const char* row = static_cast<const char*>(elementData(element));
      char name[kNameWidth + 1] = {};
      std::memcpy(name, row + shown, kNameWidth);
      traceText(trace, line, name, loadInt(row, count.target));
    }
    traceExitVoid(trace, __LINE__);
  }

  static void afterCollect(void* workArea, const Trace&) {
    Work& w = work(workArea);
    if constexpr (!kNamed) {
      countInto(T.members.count, w,
                {w.memberTable, kMembersOfDatabase, kRowGroupDatabase, kCountFields[3].offset},
                kCountFields[1].offset, T.members.line);
    } else {
      countNames(w);
    }
  }

  // The distinct names and the members, counted into every summary row.
  static void countNames(Work& w) {
    const Trace trace = traceEnter(T.members.count);
    const ByteRange kind = {offsetof(DatabaseName, kind), 4};
    const KeyedCount counts[] = {
        {besideTable(w), kNamesOfDatabase, kRowGroupDatabase, kNameCounts[0]},
        {besideTable(w), kNamesOfDatabase, kRowGroupDatabase, kNameCounts[2], kind,
         T.distinct.kinds, true},
        {besideTable(w), kNamesOfDatabase, kRowGroupDatabase, kNameCounts[1], kind,
         T.distinct.kinds},
        {w.memberTable, kMembersOfDatabase, kRowGroupDatabase, kCountFields[3].offset}};
    fillCounts(w.summaryList, counts);
    for (VXR_ListLinks* element : walk(w.summaryList)) {
      const char* row = static_cast<const char*>(elementData(element));
      char database[kNameWidth + 1] = {};
      std::memcpy(database, row + kCountFields[1].offset, kNameWidth);
      traceText(trace, T.distinct.line, database, loadInt(row, kNameCounts[0]));
      traceText(trace, T.members.line, database, loadInt(row, kCountFields[3].offset));
    }
    traceExitVoid(trace, __LINE__);
  }

  static bool onRow(void* workArea, const Trace& trace, const void* sqlda) {
    Work& w = work(workArea);
    const bool extended = extendedFor(nodeOf(w.nodeCursor));
    const std::span<const ColumnField> columns =
        extended ? std::span<const ColumnField>(kExtendedColumns) : kColumns;
    if (!assembleRow(trace, sqlda, columns, &w.row, T.mismatchLevel, kZeroFilled)) return false;
    nameRow(w);
    if (!kept(w)) return true;
    if constexpr (kFurther > 0) {
      if (!extended) {
        char* row = reinterpret_cast<char*>(&w.row);
        std::memset(row + furtherBound(false), 0, furtherBound(true) - furtherBound(false));
      }
    }
    if constexpr (T.complete != nullptr) T.complete(w.row, !extended, trace);
    if constexpr (kConverted) {
      Row row;
      convert(w.row, row);
      return file(w, row);
    } else {
      return file(w, w.row);
    }
  }

  static int32_t collect(void* workArea, const Trace& trace) {
    const int32_t collected =
        collectTraced(T.collect, work(workArea), buildSql, onRow, T.queryTexts);
    if (!collected) ownCollectionDone(work(workArea), false, trace);
    return collected;
  }

  static void beforeEmit(void* workArea, const Trace&, void* row) {
    if constexpr (kTotalled) {
      Work& w = work(workArea);
      finishActivity(kG.finish, kG.finishing, besideTable(w), came(w), row, kActivity);
    }
    if constexpr (T.beforeEmit != nullptr)
      T.beforeEmit(*static_cast<Row*>(row), merges(work(workArea)));
  }

  // The tables in order of creation: the member table (when members are
  // counted), the further table (the totals or the names), the summary
  // table, the node table. The summary table is destroyed first.
  static constexpr TableSpec kSummaryTable = {offsetof(Work, summaryTable),
                                              offsetof(Work, summaryList), elementSize<Row>(),
                                              T.perBlock, T.texts.groupTableFailed};
  static constexpr TableSpec kNodeTable = {
      offsetof(Work, nodeTable),
      offsetof(Work, nodeList),
      elementSize<VXR_NodeRecord>(),
      kNodesPerBlock,
      {kTraceAlways, "Unable to allocate Storage for AtNode result\n"}};
  static constexpr TableSpec kMemberTable = {
      offsetof(Work, memberTable), offsetof(Work, memberList), elementSize<DatabaseMember>(), 10,
      T.members.tableFailed};
  static constexpr bool kExtra = kTotalled || kNamed;
  static_assert(!(kTotalled && kNamed), "one table beside the rows: the totals or the names");
  static constexpr TableSpec kExtraTable = {
      kExtra ? offsetof(Work, beside) + offsetof(BesideTable<true>, table) : kNoField,
      kExtra ? offsetof(Work, beside) + offsetof(BesideTable<true>, list) : kNoField,
      kTotalled ? elementSize<GetpTotals>() : elementSize<DatabaseName>(),
      kTotalled ? kG.perBlock : T.distinct.perBlock,
      kTotalled ? kG.tableFailed : T.distinct.tableFailed};
  static constexpr uint8_t kPlainOrder[] = {0, 1};  // the summary table, then the node table
  static constexpr size_t kBefore = size_t{kCounted} + size_t{kExtra};  // tables before the summary
  static constexpr std::array<TableSpec, kBefore + 2> kTables = [] {
    std::array<TableSpec, kBefore + 2> tables{};
    size_t n = 0;
    if (kCounted) tables[n++] = kMemberTable;
    if (kExtra) tables[n++] = kExtraTable;
    tables[n++] = kSummaryTable;
    tables[n] = kNodeTable;
    return tables;
  }();
  static constexpr std::array<uint8_t, kBefore + 2> kDestroyOrder = [] {
    std::array<uint8_t, kBefore + 2> order{};
    order[0] = static_cast<uint8_t>(kBefore);
    for (size_t i = 0; i < kBefore; ++i) order[i + 1] = static_cast<uint8_t>(i);
    order[kBefore + 1] = static_cast<uint8_t>(kBefore + 1);
    return order;
  }();

  // -------------------------------------------------------------------------
  // A table's own state and further steps

  static_assert(kSteps || (std::is_same_v<State, NoState> && T.stateTables.empty() &&
                           T.collected == nullptr),
                "a table keeps a state of its own and hooks on it with further steps");
  static_assert(!(kSteps && kCounted), "members are counted, or names, not both");

  // The state starts afresh with every collection (its tables are gone).
  static void resetState(void* workArea) {
    if constexpr (kSteps) work(workArea).steps.state = State{};
  }

  static State& stateOf(Work& w) {
    if constexpr (kSteps) {
      return w.steps.state;
    } else {
      static State none;
      return none;
    }
  }

  // The group derived, then each filter that came traced with its value.
  static void derive(void* workArea, const Trace& trace) {
    deriveGroup(workArea, trace);
    const Work& w = work(workArea);
    for (size_t i = 0; i < kFilters; ++i) {
      if (kInfo.filters[i].column != nullptr && w.flags[i] != 0)
        traceText(trace, T.filterValue, kInfo.filters[i].column, w.values + valueOffset(i));
    }
  }

  static void nameRow(Work& w) {
    if constexpr (T.nameRow != nullptr) {
      if (w.flags[kOrigin] == 0) {
        T.nameRow(w.row);
        return;
      }
    }
    setRowOrigin(w.row.ORIGINNODE, w.flags[kOrigin] != 0,
                 w.values + valueOffset(static_cast<size_t>(kOrigin)), w.row.IDNAME);
  }

  // Files `row` into the summary table: merged by the rule, or by the
  // table's own merge (false when that counts the row as lost).
  static bool fileMerged(Work& w, const Trace& trace, const Row& row, MergeKey key,
                         const void*& filed, bool& created) {
    if constexpr (T.merge == nullptr) {
      const MergeRule* rule =
          kChoicesMade[0].length > 0 || !kMerging.keys.empty() ? &kMerge : nullptr;
      filed = fileRow(trace, w.summaryTable, &row, sizeof row, key, rule, T.filing, &created);
      return filed != nullptr;
    } else {
      void* kept =
          fileRow(trace, w.summaryTable, &row, sizeof row, key, nullptr, T.filing, &created);
      filed = kept;
      return kept != nullptr && T.merge(stateOf(w), *static_cast<Row*>(kept), row, created, trace);
    }
  }

  static void ownCollectionDone(Work& w, bool ok, const Trace& trace) {
    if constexpr (T.collected != nullptr) {
      const Collected collected = {.ok = ok,
                                   .lost = tableFailed(w.summaryTable),
                                   .rowsFiled = w.summaryList != nullptr && newest(w.summaryList)};
      T.collected(stateOf(w), collected, trace);
    }
  }

  // The name count's pairs, the summary row's group and count columns.
  static constexpr ColumnField kBy = fieldsNamed<1>(kSteps ? T.names.by : "", T.info->layout)[0];
  static constexpr ColumnField kInto =
      fieldsNamed<1>(kSteps ? T.names.into : "", T.info->layout)[0];
  static_assert(!kSteps || (kBy.name != nullptr && kBy.width == 8 && kInto.name != nullptr &&
                            kInto.type == FieldType::Int32),
                "names are counted by an 8-character group into a count column");
  static constexpr uint16_t kByOffset[] = {kBy.offset};
  static constexpr size_t kPairColumns =
      kSteps ? static_cast<size_t>(selectColumnCount(T.names.query.select)) : 0;
  static_assert(!kSteps || kPairColumns == 2, "the second query asks for a group and a name");
  static constexpr ColumnField kPairFields[] = {
      {"", offsetof(NamePair, group), 8, FieldType::Chars},
      {"", offsetof(NamePair, name), 8, FieldType::Chars}};

  // A filter that came with its value that asks for something else.
  static bool namesDeclined(const Work& w) {
    for (size_t i = 0; i < kFilters; ++i) {
      const char* notSent = kInfo.filters[i].notSent;
      if (notSent != nullptr && w.flags[i] != 0 &&
          std::memcmp(w.values + valueOffset(i), notSent, std::strlen(notSent)) == 0)
        return true;
    }
    return false;
  }

  static void pairSql(void* workArea, const Trace& trace, const VXR_NodeRecord& node,
                      SqlText& sql) {
    sqlTableQuery(sql, T.names.query, nullptr, node, kInfo.filters, kSlots, workArea, trace, {});
  }

  static bool onPair(void* workArea, const Trace& trace, const void* sqlda) {
    NamePair pair;
    if (!assembleRow(trace, sqlda, kPairFields, &pair, T.mismatchLevel)) return false;
    VXR_ResultTable* pairs = work(workArea).steps.pairTable;
    if constexpr (T.names.file == nullptr) {
      return fileRow(trace, pairs, &pair, sizeof pair, kNamePairKey, nullptr) != nullptr;
    } else {
      return T.names.file(pairs, pair, trace);
    }
  }

  // After the table's own collection: its node list released, the hook,
  // then the members listed afresh and asked the second query, whose pairs
  // are counted into the summary rows; the state's tables go last.
  static int32_t furtherCollection(void* workArea, const Trace& trace) {
    Work& w = work(workArea);
    destroyTableOf(kProgram, workArea, kNodeIndex);
    ownCollectionDone(w, true, trace);
    for (uint8_t table : {kPairIndex, kNodeIndex}) {
      if (int32_t status = createTableOf(kProgram, workArea, table, trace); status != 0)
        return status;
    }
    if (int32_t status = listMembers(kProgram, workArea, trace); status != 0) return status;
    int32_t collected = 0;
    {
      const Trace names = traceEnter(T.names.collect);
      if (!namesDeclined(w)) {
        const MemberCollection collection{.nodes = w.nodeList,
                                          .nodeCursor = &w.nodeCursor,
                                          .context = &w,
                                          .buildSql = pairSql,
                                          .onRow = onPair,
                                          .sqlTrace = T.names.sqlTrace,
                                          .texts = T.names.texts};
        collected = collectMembers(names, collection);
      }
      traceExit(names, __LINE__, collected);
    }
    if (collected) {
      countInto(T.names.count, w,
                {w.steps.pairTable, MergeKey(kNamePairKey, 1), kByOffset, kInto.offset}, kBy.offset,
                T.names.line);
    } else if (tableFailed(w.steps.pairTable)) {
      return kStatusEndOfData;  // a lost pair would leave the counts short
    } else {
      traceText(trace, T.names.failed);
    }
    for (size_t i = kStateIndex; i < kStepsTableCount; ++i) destroyTableOf(kProgram, workArea, i);
    return kStatusOk;
  }

  static constexpr auto furtherStep() {
    if constexpr (kSteps) {
      return &furtherCollection;
    } else {
      return static_cast<int32_t (*)(void*, const Trace&)>(nullptr);
    }
  }

  // The tables of a table with further steps: the summary table, the node
  // table, the pairs, the state's tables.
  static constexpr uint8_t kNodeIndex = 1, kPairIndex = 2, kStateIndex = 3;
  static constexpr size_t kStepsTableCount = kStateIndex + T.stateTables.size();
  static constexpr std::array<TableSpec, kStepsTableCount> stepsTables() {
    std::array<TableSpec, kStepsTableCount> tables{};
    if constexpr (kSteps) {
      tables[0] = kSummaryTable;
      tables[kNodeIndex] = kNodeTable;
      tables[kPairIndex] = {offsetof(Work, steps) + offsetof(StepsWork<State>, pairTable),
                            offsetof(Work, steps) + offsetof(StepsWork<State>, pairList),
                            elementSize<NamePair>(), T.names.perBlock, T.names.tableFailed};
      constexpr size_t base = offsetof(Work, steps) + offsetof(StepsWork<State>, state);
      for (size_t i = 0; i < T.stateTables.size(); ++i) {
        TableSpec& table = tables[kStateIndex + i] = T.stateTables[i];
        table.anchor = static_cast<uint16_t>(base + table.anchor);
        table.list = static_cast<uint16_t>(base + table.list);
      }
    }
    return tables;
  }
  static constexpr std::array<uint8_t, kStepsTableCount> stepsOrder() {
    std::array<uint8_t, kStepsTableCount> order{};  // summary, pairs, state, node
    for (size_t i = 1; i + 1 < kStepsTableCount; ++i) order[i] = static_cast<uint8_t>(i + 1);
    order[kStepsTableCount - 1] = kNodeIndex;
    return order;
  }
  static constexpr auto kStepsTables = stepsTables();
  static constexpr auto kStepsOrder = stepsOrder();

  static constexpr ModuleProgram program() {
    const RequestTexts& t = T.texts;
    return {
        .eyeCatcher = T.eyeCatcher,
        .workAreaSize = workAreaSize<Work>(T.workAreaSize),
        .rowsEmitted = offsetof(Work, rowsEmitted),
        .summaryList = offsetof(Work, summaryList),
        .emissionCursor = offsetof(Work, emissionCursor),
        .nodeList = offsetof(Work, nodeList),
        .startBanner = t.startBanner,
        .invoked = t.invoked,
        .gettingStorage = t.gettingStorage,
        .storageFailed = t.storageFailed,
        .processBanner = t.processBanner,
        .firstCall = t.firstCall,
        .nextRow = t.nextRow,
        .emitted = t.emitted,
        .endOfData = t.endOfData,
        .exitStatus = t.exitStatus,
        .reset = kSteps ? resetState : nullptr,
        .clearedSlots = kSlots,
        .filters = {.rules = kRules,
                    .filterTrace = t.filter.text,
                    .filterTraceLevel = t.filter.level},
        .derive = derive,
        .tables = kSteps ? std::span<const TableSpec>(kStepsTables) : kTables,
        .createOrder = kSteps ? std::span<const uint8_t>(kPlainOrder) : std::span<const uint8_t>(),
        .nodeTable = kSteps ? int32_t{kNodeIndex} : static_cast<int32_t>(kBefore + 1),
        .collect = collect,
        .collectFailed = t.collectFailed,
        .afterCollect = kCounted ? afterCollect : nullptr,
        .furtherCollection = furtherStep(),
        .beforeEmit = T.beforeEmit != nullptr || kTotalled ? beforeEmit : nullptr,
        .teardown = t.teardown,
        .destroyOrder = kSteps ? std::span<const uint8_t>(kStepsOrder) : kDestroyOrder};
  }
  static constexpr ModuleProgram kProgram = program();
};

}  // namespace vxr

// The three request entries of a module that serves the table TABLE.
#define VXR_TABLE_ENTRIES(TABLE, START, PROCESS, TERMINATE) \
  VXR_REQUEST_ENTRIES(::vxr::TableRun<TABLE>::kProgram, START, PROCESS, TERMINATE)

// The request entries of a module that serves two tables from one member
// query: NAMED for a request whose table name starts with NAME, TABLE for
// every other.
#define VXR_TABLE_ENTRIES_BY_NAME(TABLE, NAME, NAMED, START, PROCESS, TERMINATE)                  \
  constexpr ::vxr::TableChoice vxrTableChoices[] = {{NAME, &::vxr::TableRun<NAMED>::kProgram}};   \
  VXR_REQUEST_ENTRIES_BY_TABLE(vxrTableChoices, ::vxr::TableRun<TABLE>::kProgram, START, PROCESS, \
                               TERMINATE)
