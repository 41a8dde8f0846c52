// Binary conventions shared by the modules and any host that loads them.
//
// Every record here has a fixed layout. On the 32-bit targets (ILP32) the
// sizes and offsets are the host's exact figures; on x86-64 the same records
// are plain C structs in the same field order with natural alignment, where a
// word that holds an address becomes a pointer. Host records that the host
// fills at byte offsets (parameter list, index filter, output descriptor) are
// read at those offsets on every target, their address fields with memcpy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if UINTPTR_MAX == 0xFFFFFFFFu
#define VXR_ILP32 1
#else
#define VXR_ILP32 0
#endif

extern "C" {

// ---------------------------------------------------------------------------
// Handles and host objects

// The host's handle, passed by value to every entry.
struct HDL1_CommonHandle {
  uint16_t id;
  void* object;
};

// A host object: pointer-sized words; word 2 holds the object's 16-bit id,
// word 3 the address of its class record.
struct HDL1_ClassRecord;
struct HDL1_Object {
  uintptr_t word1;
  uintptr_t id;  // low 16 bits are the id
  const HDL1_ClassRecord* classRecord;
};

// Class record: word 2 is the operation table of SQL objects, word 4 that of
// request and storage objects. An operation table is an array of function
// pointers; slot n is at index n-1.
using HDL1_Operation = void (*)();
struct HDL1_ClassRecord {
  uintptr_t word1;
  const HDL1_Operation* sqlOperations;
  uintptr_t word3;
  const HDL1_Operation* requestOperations;
};

// Operation slots (counted from 1) and their signatures.
enum : int32_t {
  kSlotGetItem = 4,
  kSlotPutItem = 5,
  kSlotGetStorage = 6,
  kSlotDrop = 2,
  kSlotCreateRequest = 7,
  kSlotCreateAccessPlan = 8,
  kSlotOpenRequest = 7,
  kSlotCloseRequest = 8,
  kSlotGetInputSQLDA = 9,
  kSlotFetch = 8,
  kSlotGetOutputSQLDA = 10,
};

using HDL1_GetItemFn = int32_t (*)(uint16_t id, void* object, int32_t item, void** result);
using HDL1_PutItemFn = int32_t (*)(uint16_t id, void* object, int32_t item, void* value);
using HDL1_GetStorageFn = int32_t (*)(uint16_t id, void* object, int32_t size, void** result);
using HDL1_DropFn = int32_t (*)(uint16_t id, void* object);
using HDL1_CreateRequestFn = int32_t (*)(uint16_t id, void* object, HDL1_CommonHandle* request,
                                         int32_t, int32_t, int32_t, int32_t, int32_t planCount,
                                         HDL1_CommonHandle* plan, HDL1_CommonHandle** handleList,
                                         int32_t zero);
using HDL1_CreateAccessPlanFn = int32_t (*)(uint16_t id, void* object, const char* sql,
                                            HDL1_CommonHandle* plan);
using HDL1_OpenRequestFn = int32_t (*)(uint16_t id, void* object, void* input);
using HDL1_CloseRequestFn = int32_t (*)(uint16_t id, void* object);
using HDL1_GetSQLDAFn = int32_t (*)(uint16_t id, void* object, void** field);
using HDL1_FetchFn = int32_t (*)(uint16_t id, void* object, void* output);

// Request item codes.
enum : int32_t {
  kItemOutputRow = 2,
  kItemWorkArea = 3,
  kItemParameterList = 23,
  kItemIndexFilter = 28,
};

// ---------------------------------------------------------------------------
// Host records read at byte offsets

// Data server parameter list.
enum : size_t {
  kParmWorkAreaOffset = 24,       // address of the work area
  kParmStorageHandleOffset = 96,  // address of the storage handle
  kParmTableNameOffset = 172,     // zero-terminated table name
  kParmTableNameSize = 64,
  kParmSize = kParmTableNameOffset + kParmTableNameSize,
};

// Index filter.
enum : size_t {
  kFilterOperatorOffset = 0,  // int16, 1 = equals
  kFilterLengthOffset = 2,    // int16, value length
  kFilterColumnOffset = 30,   // 10 characters blank-padded, then a zero byte
  kFilterColumnWidth = 10,
  kFilterValueOffset = 76,  // address of the value
  kFilterSize = 88,
};
enum : int16_t { kFilterEquals = 1 };

// Output descriptor of a SQL request.
enum : size_t {
  kSqldaCountOffset = 12,  // int16, number of columns
  kSqldaFirstEntryOffset = 16,
  kSqldaEntrySize = 68,
  kSqldaLengthOffset = 2,  // int16 within an entry
  kSqldaDataOffset = 16,   // address within an entry
};

// ---------------------------------------------------------------------------
// Module registration

struct CNT1_MountBlock {
  char name[256];
  const void* entryList;
  int32_t count;
};

struct CNT1_Entry {
  char name[36];
  const void* vector;
};

struct CNT1_ContentsHeader {
  void (*contentsRoutine)();
};

using PRB1_RequestEntry = int32_t (*)(HDL1_CommonHandle);
using PRB1_CompileDateEntry = const char** (*)(const char** version, const char** date,
                                               const char** time);

struct PRB1_Slot {
  int32_t zero0;
  void* entry;
  int32_t zero1;
};

struct PRB1_Vector {
  int32_t head[2];  // 23, 130
  PRB1_Slot slot[7];
  int32_t tail;
};
enum : int32_t { kVectorHead0 = 23, kVectorHead1 = 130, kVectorEntries = 4 };

// Build information reached through zwbld00.
struct ZWBLD_ValuesList {
  int32_t infoCount;     // 18
  int32_t commentCount;  // 8
  const char* const* infoStrings;
  const char* const* commentStrings;
};
using ZWBLD_Accessor = void (*)(const ZWBLD_ValuesList** result);

// Trace unit block, one per source.
struct RAS1_UnitBlock {
  int32_t marker;  // 400
  int32_t kind;    // 0x8000 own unit, 1 << 24 runtime unit
  const char* name;
  int32_t nameLength;
  const char* date;
  int32_t dateLength;
  const char* time;
  int32_t timeLength;
  const char* level;
  int32_t levelLength;
  const char* className;
  int32_t classLength;
  int32_t zero0;
  int32_t zero1;
  ZWBLD_Accessor buildInfo;
};
enum : int32_t { kUnitMarker = 400, kUnitKindOwn = 0x8000, kUnitKindRuntime = 1 << 24 };

// Function trace anchor, one per traced function. The cached words are
// read and written atomically so that concurrent requests stay race-free.
struct RAS1_Anchor {
  const RAS1_UnitBlock* unit;
  const char* name;
  int32_t nameLength;
  int32_t line;
  int32_t* syncCounter;
  int32_t flags200;  // 0x200
  int32_t cachedFlags;
  int32_t cachedCounter;
  int32_t zero0;
  int32_t zero1;
};

// Trace level bits.
enum : int32_t {
  kTraceDetail = 0x01,
  kTraceRow = 0x04,
  kTraceSql = 0x08,
  kTraceNodes = 0x10,
  kTraceFlow = 0x40,
  kTraceError = 0x80,
};

// RAS1_Event kinds.
enum : int32_t { kEventEntry = 0, kEventExitStatus = 1, kEventExit = 2 };

// ---------------------------------------------------------------------------
// Host functions, resolved from the loading process.

int32_t kglcnmnt(const void* mount, int32_t zero);
void kglcnt1h(void);
void* sql1cpli(void);
int32_t sql1cpth(const char* server, void* clientList, HDL1_CommonHandle* path);
int32_t kfastinh(const char* node, const char* parent, const char* online, const char* type,
                 const char* product, const char* version, const char* affinity, const char* level);
int32_t RAS1_Sync(void* anchor);
void RAS1_Event(void* anchor, int32_t line, int32_t kind, ...);
void RAS1_Printf(void* anchor, int32_t line, const char* format, ...);

}  // extern "C"

// ---------------------------------------------------------------------------
// Layout proofs

#if VXR_ILP32
static_assert(sizeof(HDL1_CommonHandle) == 8);
static_assert(sizeof(CNT1_MountBlock) == 264);
static_assert(offsetof(CNT1_MountBlock, entryList) == 256);
static_assert(offsetof(CNT1_MountBlock, count) == 260);
static_assert(sizeof(CNT1_Entry) == 40);
static_assert(offsetof(CNT1_Entry, vector) == 36);
static_assert(sizeof(CNT1_ContentsHeader) == 4);
static_assert(sizeof(PRB1_Vector) == 96);
static_assert(offsetof(PRB1_Vector, slot) == 8);
static_assert(sizeof(PRB1_Slot) == 12);
static_assert(offsetof(PRB1_Vector, tail) == 92);
static_assert(sizeof(RAS1_UnitBlock) == 60);
static_assert(offsetof(RAS1_UnitBlock, buildInfo) == 56);
static_assert(sizeof(RAS1_Anchor) == 40);
static_assert(offsetof(RAS1_Anchor, cachedFlags) == 24);
static_assert(offsetof(RAS1_Anchor, cachedCounter) == 28);
static_assert(sizeof(ZWBLD_ValuesList) == 16);
static_assert(sizeof(HDL1_Object) == 12);
static_assert(sizeof(HDL1_ClassRecord) == 16);
#else
static_assert(sizeof(CNT1_MountBlock) == 256 + 2 * sizeof(void*));
static_assert(offsetof(CNT1_MountBlock, entryList) == 256);
static_assert(offsetof(CNT1_Entry, vector) == 40);
static_assert(offsetof(PRB1_Vector, slot) == 8);
#endif
static_assert(offsetof(HDL1_Object, id) == sizeof(uintptr_t));
static_assert(offsetof(HDL1_Object, classRecord) == 2 * sizeof(uintptr_t));
static_assert(offsetof(HDL1_ClassRecord, sqlOperations) == sizeof(uintptr_t));
static_assert(offsetof(HDL1_ClassRecord, requestOperations) == 3 * sizeof(uintptr_t));
static_assert(kSqldaDataOffset + sizeof(void*) <= kSqldaEntrySize);
static_assert(kFilterValueOffset + sizeof(void*) <= kFilterSize);
