// vxrsqlite: the group tables as a loadable SQLite extension. Loaded into a
// connection (".load .../vxrsqlite" in the sqlite3 shell), it opens the host
// on the connection's own database (the store uses the connection itself)
// and registers the catalog's tables as virtual tables that run the
// installed modules.
//
// The modules resolve the host functions (kglcnmnt, sql1cpth, RAS1_Printf,
// ...) from the process that loads them. SQLite loads an extension with
// RTLD_LOCAL, so before the first module is loaded this library makes its
// own symbols global by opening itself again with RTLD_GLOBAL; it exports
// the host functions and its entry point alone (vxrsqlite.map).
#include <dlfcn.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "sqlite_api.h"
#include "vxrhost/sqlite_store.h"
#include "vxrhost/vtab.h"

SQLITE_EXTENSION_INIT1

namespace {

// The host of the connection the extension was loaded into; one per process,
// as there is one Host. Freed when that connection closes.
struct Extension {
  std::unique_ptr<vxrhost::SqliteStore> store;
  std::unique_ptr<vxrhost::Host> host;
  std::unique_ptr<vxrhost::SqlTables> tables;
};

void release(void* extension) {
  delete static_cast<Extension*>(extension);
}

// This library's own path, through the address of one of its functions.
std::string ownPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&release), &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

// $VXRHOST_MODULES, else "modules" beside this library (the installed
// <libdir>/vxr/modules, or the build tree's modules directory).
std::string modulesDir(const std::string& self) {
  if (const char* dir = std::getenv("VXRHOST_MODULES"); dir != nullptr && *dir != '\0') return dir;
  return (std::filesystem::path(self).parent_path() / "modules").string();
}

int refuse(char** error, const std::string& message) {
  if (error != nullptr) *error = sqlite3_mprintf("vxrsqlite: %s", message.c_str());
  return SQLITE_ERROR;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int sqlite3_vxrsqlite_init(
    sqlite3* db, char** error, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  try {
    if (vxrhost::Host::current() != nullptr) {
      return refuse(error, "the group tables are already open on another connection");
    }
    const char* file = sqlite3_db_filename(db, "main");
    if (file == nullptr || *file == '\0') {
      return refuse(error, "the connection has no database file (the group tables need one)");
    }
    std::string self = ownPath();
    if (self.empty() || dlopen(self.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL) == nullptr) {
      return refuse(error, "cannot make the host functions visible to the modules");
    }
    auto extension = std::make_unique<Extension>();
    vxrhost::Error why;
    // The store works on this connection itself: a heartbeat's node-status
    // update then does not wait for the statement that runs it to end.
    vxrhost::SqliteStoreOptions options;
    options.connection = db;
    options.readOnly = sqlite3_db_readonly(db, "main") == 1;
    extension->store = vxrhost::SqliteStore::open(file, options, why);
    if (extension->store == nullptr) return refuse(error, why.text());
    extension->host = std::make_unique<vxrhost::Host>(*extension->store);
    extension->host->traceToStderr();
    extension->tables = std::make_unique<vxrhost::SqlTables>(*extension->host, modulesDir(self));
    extension->tables->keepRequests(false);
    std::string message;
    if (extension->tables->attach(db, message) != SQLITE_OK) return refuse(error, message);
    // The host goes with the connection: a function whose destructor runs
    // when the connection closes (or at once, when it cannot be created).
    Extension* owned = extension.release();
    int rc = sqlite3_create_function_v2(
        db, "vxrsqlite_version", 0, SQLITE_UTF8, owned,
        [](sqlite3_context* context, int, sqlite3_value**) {
          sqlite3_result_text(context, VXRHOST_VERSION, -1, SQLITE_STATIC);
        },
        nullptr, nullptr, release);
    if (rc != SQLITE_OK) return refuse(error, sqlite3_errmsg(db));
    return SQLITE_OK;
  } catch (const std::exception& e) {
    return refuse(error, e.what());
  }
}
