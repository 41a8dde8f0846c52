// A small table provider written directly against the binary conventions,
// for the host core's tests. Built once well-formed and once per loader
// defect (FX_DEFECT). Its one table answers rows (NAME CHAR(8), VALUE INT)
// fetched from the node named by an equality filter on column NODE.
#include <cstring>

#include "vxr/abi.h"

#define FX_GOOD 0
#define FX_NO_ENTRY 1
#define FX_NO_MOUNT 2
#define FX_ENTRY_NAME_BLANKS 3
#define FX_SLOT5 4
#define FX_HEAD 5
#define FX_THREE 6
#define FX_NAME_MISMATCH 7

#ifndef FX_DEFECT
#define FX_DEFECT FX_GOOD
#endif

namespace {

// --- Tracing ------------------------------------------------------------------

const char kDate[] = "Jan 02 2024";
const char kTime[] = "12:34:56";
const char kUnitName[] = FX_NAME;

const char* const kInfo[18] = {
    kDate, kTime,   "fixture_build.c", "",    "tst", "tst", "tester", "6.1",
    "#1",  "Linux", "buildhost",       "x86", "tst", "tst", "42",     "vxr",
    "7",   "V130"};
const char* const kComments[8] = {"CC=cc", "-O2",        "CXX=c++",    "-O2",
                                  "FX=1",  "notice one", "notice two", ""};
const ZWBLD_ValuesList kValues = {18, 8, kInfo, kComments};
void buildInfo(const ZWBLD_ValuesList** result) {
  *result = &kValues;
}

const RAS1_UnitBlock kUnit = {kUnitMarker, kUnitKindOwn,
                              kUnitName,   sizeof kUnitName - 1,
                              kDate,       11,
                              kTime,       8,
                              "level200",  8,
                              "*",         1,
                              0,           0,
                              &buildInfo};
int32_t g_sync = 1;

RAS1_Anchor g_startAnchor = {&kUnit, "fxstart", 7, 100, &g_sync, 0x200, 0, 0, 0, 0};
RAS1_Anchor g_processAnchor = {&kUnit, "fxprocess", 9, 200, &g_sync, 0x200, 0, 0, 0, 0};

int32_t levelOf(RAS1_Anchor& a) {
  if (__atomic_load_n(&a.cachedCounter, __ATOMIC_RELAXED) ==
      __atomic_load_n(a.syncCounter, __ATOMIC_RELAXED)) {
    return __atomic_load_n(&a.cachedFlags, __ATOMIC_RELAXED);
  }
  return RAS1_Sync(&a);
}

// --- Host calls -----------------------------------------------------------------

constexpr int32_t kSqlEndOfData = 100;  // the host SQL client's end of data

bool idMatches(HDL1_CommonHandle h) {
  return h.object != nullptr &&
         static_cast<uint16_t>(static_cast<const HDL1_Object*>(h.object)->id) == h.id;
}

template <class F>
F requestOp(HDL1_CommonHandle h, int slot) {
  return reinterpret_cast<F>(
      static_cast<const HDL1_Object*>(h.object)->classRecord->requestOperations[slot - 1]);
}

template <class F>
F sqlOp(HDL1_CommonHandle h, int slot) {
  return reinterpret_cast<F>(
      static_cast<const HDL1_Object*>(h.object)->classRecord->sqlOperations[slot - 1]);
}

unsigned char* parameterList(HDL1_CommonHandle h) {
  if (!idMatches(h)) return nullptr;
  void* parm = nullptr;
  requestOp<HDL1_GetItemFn>(h, kSlotGetItem)(h.id, h.object, kItemParameterList, &parm);
  return static_cast<unsigned char*>(parm);
}

struct Row {
  char name[8];
  int32_t value;
};

struct Work {
  char eye[8];
  int32_t collected;
  int32_t emitted;
  int32_t count;
  Row rows[4];
  char node[33];
  char padding[3];
};

Work* workOf(unsigned char* parm) {
  Work* work = nullptr;
  std::memcpy(&work, parm + kParmWorkAreaOffset, sizeof work);
  return work;
}

void readFilters(HDL1_CommonHandle h, Work* work) {
  for (;;) {
    void* filter = nullptr;
    if (requestOp<HDL1_GetItemFn>(h, kSlotGetItem)(h.id, h.object, kItemIndexFilter, &filter) != 0)
      break;
    const auto* f = static_cast<const unsigned char*>(filter);
    int16_t op, length;
    const char* value;
    std::memcpy(&op, f + kFilterOperatorOffset, sizeof op);
    std::memcpy(&length, f + kFilterLengthOffset, sizeof length);
    std::memcpy(&value, f + kFilterValueOffset, sizeof value);
    if (op == kFilterEquals && std::memcmp(f + kFilterColumnOffset, "NODE      ", 11) == 0 &&
        length > 0 && length <= 32) {
      std::memcpy(work->node, value, static_cast<size_t>(length));
      work->node[length] = 0;
    }
  }
}

// One query through the host's SQL client; returns 0 or the failing status.
int32_t query(Work* work) {
  char sql[160] = "SELECT NAME, VALUE FROM VXR.FIXTURE";
  if (work->node[0] != 0) {
    std::strcat(sql, " AT ('");
    std::strcat(sql, work->node);
    std::strcat(sql, "')");
  }
  HDL1_CommonHandle path{}, plan{}, request{}, cursor{};
  HDL1_CommonHandle* handleList = &cursor;
  int32_t status = sql1cpth("SRVR01", sql1cpli(), &path);
  if (status != 0) return status;
  if (!idMatches(path)) return 2;
  status =
      sqlOp<HDL1_CreateAccessPlanFn>(path, kSlotCreateAccessPlan)(path.id, path.object, sql, &plan);
  if (status == 0) {
    status = sqlOp<HDL1_CreateRequestFn>(path, kSlotCreateRequest)(
        path.id, path.object, &request, 0, 0, 0, 0, 1, &plan, &handleList, 0);
    if (status == 0) {
      void* input = nullptr;
      void* output = nullptr;
      status = idMatches(request) ? sqlOp<HDL1_GetSQLDAFn>(request, kSlotGetInputSQLDA)(
                                        request.id, request.object, &input)
                                  : 2;
      if (status == 0)
        status =
            sqlOp<HDL1_OpenRequestFn>(request, kSlotOpenRequest)(request.id, request.object, input);
      if (status == 0) {
        status = idMatches(cursor) ? sqlOp<HDL1_GetSQLDAFn>(cursor, kSlotGetOutputSQLDA)(
                                         cursor.id, cursor.object, &output)
                                   : 2;
        while (status == 0 && work->count < 4) {
          status = sqlOp<HDL1_FetchFn>(cursor, kSlotFetch)(cursor.id, cursor.object, output);
          if (status != 0) break;
          const auto* d = static_cast<const unsigned char*>(output);
          int16_t columns;
          std::memcpy(&columns, d + kSqldaCountOffset, sizeof columns);
          if (columns != 2) {
            status = 77;
            break;
          }
          Row& row = work->rows[work->count++];
          std::memset(row.name, ' ', sizeof row.name);
          for (int i = 0; i < 2; ++i) {
            const unsigned char* e = d + kSqldaFirstEntryOffset + i * kSqldaEntrySize;
            int16_t length;
            const void* data;
            std::memcpy(&length, e + kSqldaLengthOffset, sizeof length);
            std::memcpy(&data, e + kSqldaDataOffset, sizeof data);
            if (i == 0) {
              std::memcpy(row.name, data, length < 8 ? length : 8);
            } else if (length == 4) {
              std::memcpy(&row.value, data, 4);
            }
          }
        }
        if (status == kSqlEndOfData) status = 0;
        sqlOp<HDL1_CloseRequestFn>(request, kSlotCloseRequest)(request.id, request.object);
      }
      sqlOp<HDL1_DropFn>(request, kSlotDrop)(request.id, request.object);
    }
    sqlOp<HDL1_DropFn>(plan, kSlotDrop)(plan.id, plan.object);
  }
  sqlOp<HDL1_DropFn>(path, kSlotDrop)(path.id, path.object);
  return status;
}

// --- Entries --------------------------------------------------------------------

int32_t fxStart(HDL1_CommonHandle h) {
  int32_t level = levelOf(g_startAnchor);
  if (level & kTraceFlow) RAS1_Event(&g_startAnchor, 101, kEventEntry);
  unsigned char* parm = parameterList(h);
  if (parm == nullptr) return 60;
  if (level & kTraceDetail) {
    RAS1_Printf(&g_startAnchor, 105, "Invoked for table %s\n",
                reinterpret_cast<const char*>(parm + kParmTableNameOffset));
  }
  HDL1_CommonHandle* storage = nullptr;
  std::memcpy(&storage, parm + kParmStorageHandleOffset, sizeof storage);
  void* area = nullptr;
  if (!idMatches(*storage) || requestOp<HDL1_GetStorageFn>(*storage, kSlotGetStorage)(
                                  storage->id, storage->object, sizeof(Work), &area) != 0) {
    return 64;
  }
  std::memset(area, 0, sizeof(Work));
  std::memcpy(area, "FXGDWORK", 8);
  requestOp<HDL1_PutItemFn>(h, kSlotPutItem)(h.id, h.object, kItemWorkArea, area);
  if (level & kTraceFlow) RAS1_Event(&g_startAnchor, 110, kEventExitStatus, 0);
  return 0;
}

int32_t fxProcess(HDL1_CommonHandle h) {
  unsigned char* parm = parameterList(h);
  if (parm == nullptr) return 60;
  Work* work = workOf(parm);
  if (work == nullptr) return 71;
  if (!work->collected) {
    work->collected = 1;
    readFilters(h, work);
    int32_t status = query(work);
    if (status != 0) return status;
  }
  int32_t status = 62;
  if (work->emitted < work->count) {
    requestOp<HDL1_PutItemFn>(h, kSlotPutItem)(h.id, h.object, kItemOutputRow,
                                               &work->rows[work->emitted++]);
    status = 0;
  }
  if (levelOf(g_processAnchor) & kTraceFlow) {
    RAS1_Event(&g_processAnchor, 230, kEventExitStatus, status);
  }
  return status;
}

int32_t fxTerminate(HDL1_CommonHandle h) {
  unsigned char* parm = parameterList(h);
  if (parm == nullptr) return 60;
  return workOf(parm) == nullptr ? 71 : 0;
}

[[maybe_unused]] const char** fxCompileDate(const char** version, const char** date,
                                            const char** time) {
  *version = "V130";
  *date = kDate;
  *time = kTime;
  return version;
}

// --- Registration ---------------------------------------------------------------

PRB1_Vector g_vector = {
#if FX_DEFECT == FX_HEAD
    {kVectorHead0, 131},
#else
    {kVectorHead0, kVectorHead1},
#endif
    {{0, reinterpret_cast<void*>(&fxStart), 0},
     {0, reinterpret_cast<void*>(&fxProcess), 0},
     {0, reinterpret_cast<void*>(&fxTerminate), 0},
#if FX_DEFECT == FX_THREE
     {0, nullptr, 0},
#else
     {0, reinterpret_cast<void*>(&fxCompileDate), 0},
#endif
#if FX_DEFECT == FX_SLOT5
     {0, reinterpret_cast<void*>(&fxStart), 0},
#else
     {0, nullptr, 0},
#endif
     {0, nullptr, 0},
     {0, nullptr, 0}},
    0};

#if FX_DEFECT == FX_ENTRY_NAME_BLANKS
const CNT1_Entry g_entries[1] = {{FX_NAME "                           ", &g_vector}};
#else
const CNT1_Entry g_entries[1] = {{FX_NAME, &g_vector}};
#endif

#if FX_DEFECT == FX_NAME_MISMATCH
[[maybe_unused]] const CNT1_MountBlock g_mount = {"FXOTHERL", g_entries, 1};
#else
[[maybe_unused]] const CNT1_MountBlock g_mount = {FX_NAME, g_entries, 1};
#endif

__attribute__((used)) const CNT1_ContentsHeader g_contents = {&kglcnt1h};

}  // namespace

#if FX_DEFECT == FX_NO_ENTRY
extern "C" __attribute__((visibility("default"))) void cnt1entx() {
  kglcnmnt(&g_mount, 0);
}
#else
extern "C" __attribute__((visibility("default"))) void cnt1entd() {
#if FX_DEFECT != FX_NO_MOUNT
  kglcnmnt(&g_mount, 0);
#endif
}
#endif
