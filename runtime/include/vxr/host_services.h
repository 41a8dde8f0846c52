// The host's services as the modules use them: operations on host objects
// (each guarded by the handle id check) and readers of the host's records.
#pragma once

#include "vxr/abi.h"

namespace vxr {

constexpr int32_t kStatusIdMismatch = 2;

// The object of a handle when its id matches the object's own id, else null.
inline const HDL1_Object* checkedObject(HDL1_CommonHandle handle) {
  const auto* object = static_cast<const HDL1_Object*>(handle.object);
  if (object == nullptr || static_cast<uint16_t>(object->id) != handle.id) return nullptr;
  if (object->classRecord == nullptr) return nullptr;
  return object;
}

// Slot n (counted from 1) of an object's request or SQL operation table,
// as the function type F; null on an id mismatch or a missing table.
template <typename F>
F requestOperation(HDL1_CommonHandle handle, int32_t slot) {
  const HDL1_Object* object = checkedObject(handle);
  if (object == nullptr || object->classRecord->requestOperations == nullptr) return nullptr;
  return reinterpret_cast<F>(object->classRecord->requestOperations[slot - 1]);
}
template <typename F>
F sqlOperation(HDL1_CommonHandle handle, int32_t slot) {
  const HDL1_Object* object = checkedObject(handle);
  if (object == nullptr || object->classRecord->sqlOperations == nullptr) return nullptr;
  return reinterpret_cast<F>(object->classRecord->sqlOperations[slot - 1]);
}

inline int32_t getItem(HDL1_CommonHandle handle, int32_t item, void** result) {
  auto op = requestOperation<HDL1_GetItemFn>(handle, kSlotGetItem);
  return op ? op(handle.id, handle.object, item, result) : kStatusIdMismatch;
}
inline int32_t putItem(HDL1_CommonHandle handle, int32_t item, void* value) {
  auto op = requestOperation<HDL1_PutItemFn>(handle, kSlotPutItem);
  return op ? op(handle.id, handle.object, item, value) : kStatusIdMismatch;
}
inline int32_t getStorage(HDL1_CommonHandle handle, int32_t size, void** result) {
  auto op = requestOperation<HDL1_GetStorageFn>(handle, kSlotGetStorage);
  return op ? op(handle.id, handle.object, size, result) : kStatusIdMismatch;
}

// An address field of a host record, which may sit unaligned.
inline void* readAddress(const void* record, size_t offset) {
  void* address;
  std::memcpy(&address, static_cast<const char*>(record) + offset, sizeof address);
  return address;
}
inline int16_t readInt16(const void* record, size_t offset) {
  int16_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}

// Data server parameter list.
inline void* parmWorkArea(const void* parm) {
  return readAddress(parm, kParmWorkAreaOffset);
}
inline const char* parmTableName(const void* parm) {
  return static_cast<const char*>(parm) + kParmTableNameOffset;
}
inline HDL1_CommonHandle parmStorageHandle(const void* parm) {
  const void* address = readAddress(parm, kParmStorageHandleOffset);
  HDL1_CommonHandle handle{0, nullptr};
  if (address != nullptr) std::memcpy(&handle, address, sizeof handle);
  return handle;
}

// Index filter.
inline int16_t filterOperator(const void* filter) {
  return readInt16(filter, kFilterOperatorOffset);
}
inline int32_t filterLength(const void* filter) {
  int16_t length = readInt16(filter, kFilterLengthOffset);
  return length < 0 ? 0 : length;
}
inline const char* filterColumn(const void* filter) {
  return static_cast<const char*>(filter) + kFilterColumnOffset;
}
inline const char* filterValue(const void* filter) {
  return static_cast<const char*>(readAddress(filter, kFilterValueOffset));
}

// Output descriptor of a SQL request.
inline int32_t sqldaColumnCount(const void* sqlda) {
  return sqlda ? readInt16(sqlda, kSqldaCountOffset) : 0;
}
inline const char* sqldaEntry(const void* sqlda, int32_t column) {
  return static_cast<const char*>(sqlda) + kSqldaFirstEntryOffset + column * kSqldaEntrySize;
}
inline int32_t sqldaLength(const void* sqlda, int32_t column) {
  int16_t length = readInt16(sqldaEntry(sqlda, column), kSqldaLengthOffset);
  return length < 0 ? 0 : length;
}
inline const char* sqldaData(const void* sqlda, int32_t column) {
  return static_cast<const char*>(readAddress(sqldaEntry(sqlda, column), kSqldaDataOffset));
}

}  // namespace vxr
