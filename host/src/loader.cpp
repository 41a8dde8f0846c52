// The module loader: dlopen, cnt1entd, the mount block it hands to kglcnmnt,
// and the checks of the contents entry list and the entry vector.
#include <dlfcn.h>
#include <elf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "host_state.h"

namespace {

// The mount block captured while this thread runs a module's cnt1entd.
struct MountCapture {
  const void* mount = nullptr;
  int calls = 0;
};
thread_local MountCapture* t_mounting = nullptr;

}  // namespace

extern "C" int32_t kglcnmnt(const void* mount, int32_t) {
  if (t_mounting == nullptr) return vxrhost::hoststatus::kNotMounting;
  ++t_mounting->calls;
  t_mounting->mount = mount;
  return 0;
}

// Named by the modules' contents header; the host never needs to run it.
extern "C" void kglcnt1h(void) {}

namespace vxrhost {

namespace {

std::string hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

// Checks a zero-filled name field; returns an empty string or the defect.
std::string checkName(const char* field, size_t width, const std::string& expected,
                      std::string& name) {
  size_t length = strnlen(field, width);
  if (length == width)
    return "name is not terminated within its " + std::to_string(width) + " bytes";
  name.assign(field, length);
  if (length == 0) return "name is empty";
  for (size_t i = length; i < width; ++i) {
    if (field[i] != 0) {
      return "name " + inQuotes(name) + " is not zero-filled (byte " + std::to_string(i) + " is " +
             hex(static_cast<unsigned char>(field[i])) + ")";
    }
  }
  if (name.back() == ' ') {
    size_t end = name.find_last_not_of(' ');
    return "name " + inQuotes(name.substr(0, end == std::string::npos ? 0 : end + 1)) +
           " is blank-filled, not zero-filled";
  }
  if (name != expected) return "name " + inQuotes(name) + " does not match " + inQuotes(expected);
  return {};
}

const char* slotRole(int slot) {
  switch (slot) {
    case 1:
      return "start request";
    case 2:
      return "process request";
    case 3:
      return "terminate request";
    default:
      return "compile date";
  }
}

std::string checkVector(const PRB1_Vector& v) {
  if (v.head[0] != kVectorHead0 || v.head[1] != kVectorHead1) {
    return "header words are " + std::to_string(v.head[0]) + " and " + std::to_string(v.head[1]) +
           ", not 23 and 130";
  }
  for (int slot = 1; slot <= kVectorEntries; ++slot) {
    const PRB1_Slot& s = v.slot[slot - 1];
    if (s.entry == nullptr) {
      return "slot " + std::to_string(slot) + " (" + slotRole(slot) +
             " entry) is empty; the vector must hold 4 entries";
    }
    if (s.zero0 != 0 || s.zero1 != 0) {
      return "slot " + std::to_string(slot) + " has non-zero words beside its entry";
    }
  }
  for (int slot = kVectorEntries + 1; slot <= 7; ++slot) {
    const PRB1_Slot& s = v.slot[slot - 1];
    if (s.zero0 != 0 || s.entry != nullptr || s.zero1 != 0) {
      return "slot " + std::to_string(slot) + " is not empty";
    }
  }
  if (v.tail != 0) return "last word is " + std::to_string(v.tail) + ", not 0";
  return {};
}

// Reads an unsigned field of `size` bytes at `at` in the file's byte order.
uint64_t field(const unsigned char* at, size_t size, bool bigEndian) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) {
    value |= uint64_t{at[bigEndian ? i : size - 1 - i]} << (8 * (size - 1 - i));
  }
  return value;
}

// The dynamic loader maps every loadable segment of a shared object from
// its file; a segment that reaches past the end of a truncated file faults
// (SIGBUS) when touched, inside dlopen. So the ELF header, the program
// headers and each PT_LOAD segment's file range are checked against the
// file's size first, for 32- and 64-bit files of either byte order. Returns
// the defect, or an empty string; a file that is not ELF at all is left to
// dlopen, which says why.
std::string checkElfFile(const std::string& path, uint64_t fileSize) {
  std::ifstream in(path, std::ios::binary);
  unsigned char ident[EI_NIDENT] = {};
  in.read(reinterpret_cast<char*>(ident), sizeof ident);
  const size_t got = static_cast<size_t>(in.gcount());
  if (got < SELFMAG || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return {};
  if (got < EI_NIDENT) return "file is truncated";
  const bool wide = ident[EI_CLASS] == ELFCLASS64;
  const bool big = ident[EI_DATA] == ELFDATA2MSB;
  if (!wide && ident[EI_CLASS] != ELFCLASS32) return {};
  if (!big && ident[EI_DATA] != ELFDATA2LSB) return {};
  // Offsets of the header fields and the program header fields used here.
  const size_t headerSize = wide ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
  const size_t word = wide ? 8 : 4;
  const size_t phoffAt = wide ? offsetof(Elf64_Ehdr, e_phoff) : offsetof(Elf32_Ehdr, e_phoff);
  const size_t phentAt =
      wide ? offsetof(Elf64_Ehdr, e_phentsize) : offsetof(Elf32_Ehdr, e_phentsize);
  const size_t phnumAt = wide ? offsetof(Elf64_Ehdr, e_phnum) : offsetof(Elf32_Ehdr, e_phnum);
  const size_t entrySize = wide ? sizeof(Elf64_Phdr) : sizeof(Elf32_Phdr);
  const size_t offsetAt = wide ? offsetof(Elf64_Phdr, p_offset) : offsetof(Elf32_Phdr, p_offset);
  const size_t fileszAt = wide ? offsetof(Elf64_Phdr, p_filesz) : offsetof(Elf32_Phdr, p_filesz);
  if (fileSize < headerSize) return "file is truncated";
  unsigned char header[sizeof(Elf64_Ehdr)] = {};
  in.seekg(0);
  in.read(reinterpret_cast<char*>(header), static_cast<std::streamsize>(headerSize));
  if (static_cast<size_t>(in.gcount()) != headerSize) return "file is truncated";
  const uint64_t phoff = field(header + phoffAt, word, big);
  const uint64_t phentsize = field(header + phentAt, 2, big);
  const uint64_t phnum = field(header + phnumAt, 2, big);
  if (phnum == 0) return {};
  if (phentsize < entrySize) return "program header entries are too small";
  if (phoff > fileSize || phnum * phentsize > fileSize - phoff) return "file is truncated";
  std::vector<unsigned char> table(static_cast<size_t>(phnum * phentsize));
  in.seekg(static_cast<std::streamoff>(phoff));
  in.read(reinterpret_cast<char*>(table.data()), static_cast<std::streamsize>(table.size()));
  if (static_cast<size_t>(in.gcount()) != table.size()) return "file is truncated";
  for (uint64_t i = 0; i < phnum; ++i) {
    const unsigned char* entry = table.data() + i * phentsize;
    if (field(entry, 4, big) != PT_LOAD) continue;
    const uint64_t offset = field(entry + offsetAt, word, big);
    const uint64_t filesz = field(entry + fileszAt, word, big);
    if (offset > fileSize || filesz > fileSize - offset) return "file is truncated";
  }
  return {};
}

}  // namespace

Module::Module(std::unique_ptr<detail::ModuleState> state) : state_(std::move(state)) {}

Module::~Module() {
  if (state_->host != nullptr && state_->base != nullptr) state_->host->forgetUnitsOf(state_->base);
  if (state_->handle != nullptr) dlclose(state_->handle);
}

const std::string& Module::name() const {
  return state_->name;
}
const std::string& Module::path() const {
  return state_->path;
}
const CNT1_MountBlock& Module::mountBlock() const {
  return *state_->mount;
}
const CNT1_Entry& Module::entry() const {
  return *state_->entry;
}
const PRB1_Vector& Module::vector() const {
  return *state_->vector;
}

PRB1_RequestEntry Module::start() const {
  return reinterpret_cast<PRB1_RequestEntry>(state_->vector->slot[0].entry);
}
PRB1_RequestEntry Module::process() const {
  return reinterpret_cast<PRB1_RequestEntry>(state_->vector->slot[1].entry);
}
PRB1_RequestEntry Module::terminate() const {
  return reinterpret_cast<PRB1_RequestEntry>(state_->vector->slot[2].entry);
}
PRB1_CompileDateEntry Module::compileDateEntry() const {
  return reinterpret_cast<PRB1_CompileDateEntry>(state_->vector->slot[3].entry);
}

CompileDate Module::compileDate() const {
  CompileDate date;
  const char** returned = compileDateEntry()(&date.version, &date.date, &date.time);
  date.returnedFirstArgument = returned == &date.version;
  return date;
}

namespace {

std::string text(const char* p, int32_t length) {
  if (p == nullptr || length <= 0 || length > 4096) return {};
  return std::string(p, static_cast<size_t>(length));
}

UnitInfo infoOf(const RAS1_UnitBlock* block) {
  UnitInfo u;
  u.block = block;
  u.marker = block->marker;
  u.kind = block->kind;
  u.name = detail::unitName(block);
  u.date = text(block->date, block->dateLength);
  u.time = text(block->time, block->timeLength);
  u.level = text(block->level, block->levelLength);
  u.className = text(block->className, block->classLength);
  return u;
}

}  // namespace

std::vector<UnitInfo> Module::units() const {
  std::vector<UnitInfo> out;
  auto& s = *state_->host;
  std::lock_guard lock(s.traceMutex);
  for (const auto& [block, seen] : s.units) {
    if (seen.base == state_->base) out.push_back(infoOf(block));
  }
  return out;
}

std::optional<BuildInfo> Module::buildInfo() const {
  const RAS1_UnitBlock* own = nullptr;
  for (const UnitInfo& u : units()) {
    if (u.kind == kUnitKindOwn) {
      own = u.block;
      break;
    }
    if (u.name == state_->name) own = u.block;
  }
  if (own == nullptr || own->buildInfo == nullptr) return std::nullopt;
  const ZWBLD_ValuesList* values = nullptr;
  own->buildInfo(&values);
  if (values == nullptr) return std::nullopt;
  BuildInfo info;
  info.unit = detail::unitName(own);
  info.infoCount = values->infoCount;
  info.commentCount = values->commentCount;
  auto copy = [](const char* const* strings, int32_t count, std::vector<std::string>& to) {
    for (int32_t i = 0; strings != nullptr && i < count && i < 256; ++i) {
      to.emplace_back(strings[i] ? strings[i] : "");
    }
  };
  copy(values->infoStrings, values->infoCount, info.info);
  copy(values->commentStrings, values->commentCount, info.comments);
  return info;
}

Module* Host::load(const std::string& path, Error* error) {
  Error local;
  Error& e = error != nullptr ? *error : local;
  e.clear();
  Module* module = loadModule(path, e);
  // Without a place for the error, the failure is at least traced.
  if (module == nullptr && error == nullptr) state_->hostLine("load", e.text());
  return module;
}

Module* Host::loadModule(const std::string& path, Error& error) {
  std::string stem = std::filesystem::path(path).stem().string();
  const std::string what = "cannot load module " + inQuotes(stem);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int why = errno;
    error.set(why == ENOENT ? hoststatus::kModuleMissing : hoststatus::kModuleDefect, what,
              inQuotes(path) + ": " + std::strerror(why));
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    error.set(hoststatus::kModuleDefect, what, inQuotes(path) + " is not a regular file");
    return nullptr;
  }
  if (std::string defect = checkElfFile(path, static_cast<uint64_t>(st.st_size)); !defect.empty()) {
    error.set(hoststatus::kModuleDefect, what, inQuotes(path) + ": " + defect);
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error.set(hoststatus::kModuleDefect, what,
              controlEscaped(why ? why : path + ": dlopen failed"));
    return nullptr;
  }
  auto fail = [&](const std::string& detail) -> Module* {
    dlclose(handle);
    error.set(hoststatus::kModuleDefect, what, detail);
    return nullptr;
  };
  void* symbol = dlsym(handle, "cnt1entd");
  if (symbol == nullptr) return fail(inQuotes(path) + " has no entry cnt1entd");

  MountCapture capture;
  t_mounting = &capture;
  reinterpret_cast<void (*)()>(symbol)();
  t_mounting = nullptr;
  if (capture.calls == 0) {
    return fail("it did not mount its contents: cnt1entd never called kglcnmnt");
  }
  if (capture.calls > 1) {
    return fail("it called kglcnmnt " + std::to_string(capture.calls) + " times, not once");
  }
  if (capture.mount == nullptr) return fail("it mounted a null mount block");

  const auto* mount = static_cast<const CNT1_MountBlock*>(capture.mount);
  std::string name;
  if (std::string defect = checkName(mount->name, sizeof mount->name, stem, name);
      !defect.empty()) {
    return fail("mount block: " + defect);
  }
  if (mount->count != 1) {
    return fail("entry list: holds " + std::to_string(mount->count) + " entries, not 1");
  }
  if (mount->entryList == nullptr) return fail("mount block: no entry list");
  const auto* entry = static_cast<const CNT1_Entry*>(mount->entryList);
  std::string entryName;
  if (std::string defect = checkName(entry->name, sizeof entry->name, name, entryName);
      !defect.empty()) {
    return fail("entry list: entry " + defect);
  }
  if (entry->vector == nullptr) return fail("entry list: no entry vector");
  const auto* vector = static_cast<const PRB1_Vector*>(entry->vector);
  if (std::string defect = checkVector(*vector); !defect.empty()) {
    return fail("entry vector: " + defect);
  }

  auto state = std::make_unique<detail::ModuleState>();
  state->host = state_.get();
  state->handle = handle;
  state->name = name;
  state->path = path;
  state->mount = mount;
  state->entry = entry;
  state->vector = vector;
  Dl_info info{};
  if (dladdr(vector, &info) != 0) state->base = info.dli_fbase;
  auto* module = new Module(std::move(state));
  state_->modules.push_back(module);
  return module;
}

void Host::unload(Module* module) {
  auto& list = state_->modules;
  auto it = std::find(list.begin(), list.end(), module);
  if (it == list.end()) return;
  list.erase(it);
  delete module;
}

}  // namespace vxrhost
