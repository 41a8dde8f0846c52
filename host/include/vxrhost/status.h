// Statuses that the host's own services return (request items, storage,
// object checks, the SQL client's host-side checks). The SQL statuses of the
// store are in store.h; the two ranges do not overlap, and the id-mismatch
// status is the same in both.
#pragma once

#include <cstdint>

namespace vxrhost::hoststatus {
constexpr int32_t kOk = 0;
constexpr int32_t kIdMismatch = 2;       // the handle's id differs from its object's id
constexpr int32_t kBadObject = 301;      // not a live host object of the class the operation needs
constexpr int32_t kNoMoreFilters = 302;  // item 28: the request has no further index filter
constexpr int32_t kUnknownItem = 303;    // an item code the host does not serve
constexpr int32_t kNullArgument = 304;   // a result or value address was null
constexpr int32_t kNoStorage = 305;      // GetStorage refused (bad size or injected)
constexpr int32_t kNoParameterList = 306;  // item 23 withheld by a test
constexpr int32_t kUnknownServer = 307;    // sql1cpth: not the logical server "SRVR01"
constexpr int32_t kBadArgument = 308;      // an argument the operation cannot accept
constexpr int32_t kNoHost = 309;           // a host function was called while no Host exists
constexpr int32_t kNotMounting = 310;      // kglcnmnt outside a module load
constexpr int32_t kModuleMissing = 311;    // no module file at the path
constexpr int32_t kModuleDefect = 312;     // the file does not load, or its contents are malformed
constexpr int32_t kBadTraceLevels = 313;   // trace levels that do not parse
constexpr int32_t kFileFailed = 314;       // a file the host writes cannot be opened

// Short text for a host or SQL status, for messages.
const char* text(int32_t status);
}  // namespace vxrhost::hoststatus
