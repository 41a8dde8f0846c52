#include "vxrhost/store.h"

namespace vxrhost {

const char* sqlStatusText(int32_t status) {
  switch (status) {
    case sqlstatus::kOk:
      return "ok";
    case sqlstatus::kIdMismatch:
      return "handle id mismatch";
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

}  // namespace vxrhost
