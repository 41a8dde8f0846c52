// How a vxrhost command ends when it cannot do its work: an exit status and
// one line for stderr (the caller adds "vxrhost: ").
#pragma once

#include <string>

namespace vxrhost::cli {

enum ExitStatus : int {
  kExitOk = 0,
  kExitInternal = 1,  // a fault of vxrhost itself
  kExitUsage = 2,     // unknown command, table, column or format; malformed argument
  kExitDatabase = 3,  // the database is missing, unusable, or cannot be created
  kExitModule = 4,    // the module directory or a module is missing, or does not load
  kExitRequest = 5,   // the request ended with a failure status
  kExitOutput = 6,    // the output could not be written
  kExitServer = 7,    // the server cannot start: address in use, unsafe listening, token file
  kExitMember = 8,    // a member request failed: the answer is incomplete
};

struct Failure {
  int exitCode;
  std::string message;  // one line: control characters already quoted
};

}  // namespace vxrhost::cli
