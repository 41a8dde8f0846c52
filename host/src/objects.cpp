// Host objects as the modules see them (HDL1_Object, class records and their
// operation tables) and the request and storage operations.
#include <cstring>

#include "host_state.h"

namespace vxrhost {

const char* hoststatus::text(int32_t status) {
  switch (status) {
    case kOk:
      return "ok";
    case kIdMismatch:
      return "handle id mismatch";
    case kBadObject:
      return "not a live host object of the right class";
    case kNoMoreFilters:
      return "no more index filters";
    case kUnknownItem:
      return "unknown item code";
    case kNullArgument:
      return "null argument";
    case kNoStorage:
      return "storage not granted";
    case kNoParameterList:
      return "parameter list withheld";
    case kUnknownServer:
      return "unknown SQL server";
    case kBadArgument:
      return "bad argument";
    case kNoHost:
      return "no host";
    case kNotMounting:
      return "not mounting a module";
    case kModuleMissing:
      return "module file missing";
    case kModuleDefect:
      return "module does not load";
    case kBadTraceLevels:
      return "bad trace levels";
    case kFileFailed:
      return "file not writable";
    case sqlstatus::kNoDatabase:
      return "no such database";
    case sqlstatus::kEndOfData:
      return "end of data";
    case sqlstatus::kSyntaxError:
      return "syntax error";
    case sqlstatus::kUnknownTable:
      return "unknown table";
    case sqlstatus::kUnknownColumn:
      return "unknown column";
    case sqlstatus::kUnknownNode:
      return "unknown node";
    case sqlstatus::kNodeOffline:
      return "node offline";
    case sqlstatus::kStoreFailure:
      return "store failure";
    case sqlstatus::kBadState:
      return "operation out of order";
    case sqlstatus::kInjected:
      return "injected failure";
    default:
      return "unknown status";
  }
}

namespace detail {

uint16_t HostState::nextId() {
  if (++lastId == 0) lastId = 1;
  return lastId;
}

HDL1_CommonHandle HostState::registerObject(Shell& shell, ObjectKind kind, void* state,
                                            std::shared_ptr<void> owner) {
  std::lock_guard lock(objectMutex);
  uint16_t id = nextId();
  shell.header.word1 = kObjectMarker;
  shell.header.id = id;
  shell.header.classRecord = classRecordOf(kind);
  objects[&shell] = ObjectEntry{kind, state, std::move(owner)};
  HDL1_CommonHandle handle{id, &shell};
  if (mismatchNext.erase(kind) != 0) handle.id = static_cast<uint16_t>(id + 1);
  return handle;
}

void HostState::forget(const void* object) {
  std::shared_ptr<void> owner;  // destroyed outside the lock
  {
    std::lock_guard lock(objectMutex);
    auto it = objects.find(object);
    if (it == objects.end()) return;
    owner = std::move(it->second.owner);
    objects.erase(it);
  }
}

int32_t HostState::resolve(uint16_t id, const void* object, std::initializer_list<ObjectKind> kinds,
                           void** state, ObjectKind* kind) const {
  std::lock_guard lock(objectMutex);
  auto it = objects.find(object);
  if (it == objects.end()) return hoststatus::kBadObject;
  bool wanted = false;
  for (ObjectKind k : kinds) wanted = wanted || k == it->second.kind;
  if (!wanted) return hoststatus::kBadObject;
  const auto* shell = static_cast<const Shell*>(object);
  if (static_cast<uint16_t>(shell->header.id) != id) return hoststatus::kIdMismatch;
  *state = it->second.state;
  if (kind != nullptr) *kind = it->second.kind;
  return hoststatus::kOk;
}

namespace {

RequestState* requestOf(uint16_t id, void* object, std::initializer_list<ObjectKind> kinds,
                        int32_t& status) {
  HostState* host = currentState();
  if (host == nullptr) {
    status = hoststatus::kNoHost;
    return nullptr;
  }
  void* state = nullptr;
  status = host->resolve(id, object, kinds, &state);
  return status == hoststatus::kOk ? static_cast<RequestState*>(state) : nullptr;
}

int32_t hostGetItem(uint16_t id, void* object, int32_t item, void** result) {
  int32_t status;
  RequestState* request = requestOf(id, object, {ObjectKind::Request}, status);
  if (request == nullptr) return status;
  if (result == nullptr) return hoststatus::kNullArgument;
  switch (item) {
    case kItemParameterList:
      if (request->nullParm) {
        *result = nullptr;
        return hoststatus::kNoParameterList;
      }
      *result = request->parm;
      return hoststatus::kOk;
    case kItemIndexFilter:
      if (request->nextFilter >= request->filters.size()) {
        *result = nullptr;
        return hoststatus::kNoMoreFilters;
      }
      *result = request->filters[request->nextFilter++]->bytes;
      return hoststatus::kOk;
    default:
      return hoststatus::kUnknownItem;
  }
}

int32_t hostPutItem(uint16_t id, void* object, int32_t item, void* value) {
  int32_t status;
  RequestState* request = requestOf(id, object, {ObjectKind::Request}, status);
  if (request == nullptr) return status;
  switch (item) {
    case kItemWorkArea:
      request->workArea = value;
      std::memcpy(request->parm + kParmWorkAreaOffset, &value, sizeof value);
      return hoststatus::kOk;
    case kItemOutputRow:
      if (value == nullptr) return hoststatus::kNullArgument;
      ++request->rowCount;
      if (request->onRow != nullptr && *request->onRow) {
        (*request->onRow)(std::string_view(static_cast<const char*>(value), request->rowSize));
      } else {
        request->rows.emplace_back(static_cast<const char*>(value), request->rowSize);
      }
      return hoststatus::kOk;
    default:
      return hoststatus::kUnknownItem;
  }
}

int32_t hostGetStorage(uint16_t id, void* object, int32_t size, void** result) {
  int32_t status;
  RequestState* request = requestOf(id, object, {ObjectKind::Storage, ObjectKind::Request}, status);
  if (request == nullptr) return status;
  if (result == nullptr) return hoststatus::kNullArgument;
  request->storageSizes.push_back(size);
  if (request->failStorage || size <= 0) return hoststatus::kNoStorage;
  StorageBlock block;
  block.size = static_cast<size_t>(size);
  block.bytes = std::make_unique_for_overwrite<unsigned char[]>(block.size);
  // Not zeroed: a module that forgets to clear its storage reads this pattern.
  std::memset(block.bytes.get(), 0xA5, block.size);
  *result = block.bytes.get();
  request->storage.push_back(std::move(block));
  return hoststatus::kOk;
}

const HDL1_Operation kRequestOperations[6] = {
    nullptr,
    nullptr,
    nullptr,
    reinterpret_cast<HDL1_Operation>(&hostGetItem),
    reinterpret_cast<HDL1_Operation>(&hostPutItem),
    reinterpret_cast<HDL1_Operation>(&hostGetStorage),
};

const HDL1_ClassRecord kRequestClass{1, nullptr, 0, kRequestOperations};
const HDL1_ClassRecord kStorageClass{2, nullptr, 0, kRequestOperations};

}  // namespace

// SQL class records are in sql_client.cpp.
const HDL1_ClassRecord* sqlClassRecordOf(ObjectKind kind);

const HDL1_ClassRecord* classRecordOf(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Request:
      return &kRequestClass;
    case ObjectKind::Storage:
      return &kStorageClass;
    default:
      return sqlClassRecordOf(kind);
  }
}

}  // namespace detail

void Host::mismatchNextHandle(ObjectKind kind) {
  std::lock_guard lock(state_->objectMutex);
  state_->mismatchNext.insert(kind);
}

bool Host::corruptObjectId(const void* object) {
  std::lock_guard lock(state_->objectMutex);
  auto it = state_->objects.find(object);
  if (it == state_->objects.end()) return false;
  auto* shell = static_cast<detail::Shell*>(const_cast<void*>(object));
  shell->header.id = static_cast<uint16_t>(shell->header.id + 0x0101);
  return true;
}

size_t Host::liveSqlObjects() const {
  std::lock_guard lock(state_->objectMutex);
  size_t n = 0;
  for (const auto& [address, entry] : state_->objects) {
    n += entry.kind != ObjectKind::Request && entry.kind != ObjectKind::Storage;
  }
  return n;
}

size_t Host::liveSqlObjects(ObjectKind kind) const {
  std::lock_guard lock(state_->objectMutex);
  size_t n = 0;
  for (const auto& [address, entry] : state_->objects) n += entry.kind == kind;
  return n;
}

}  // namespace vxrhost
