// Kinds of host objects and the SQL client operations a test can make fail.
#pragma once

#include <cstdint>
#include <string>

namespace vxrhost {

enum class ObjectKind { Request, Storage, Path, Plan, SqlRequest, Cursor };

// Host-side SQL client operations that can be made to fail. Prepare, open and
// fetch failures come from the store itself.
enum class SqlOp {
  CreatePath,  // sql1cpth
  CreateRequest,
  GetInputSqlda,
  GetOutputSqlda,
  CloseRequest,
  DropPath,
  DropPlan,
  DropRequest,
};

const char* sqlOpName(SqlOp op);

// Implemented by a store that scripts client failures (ScriptedStore). The
// host asks it before each operation; a non-zero answer is returned as the
// operation's status and the operation does nothing. The route is the AT node
// of the SQL text the objects were made for ("" before a plan exists).
class SqlClientFaults {
 public:
  virtual ~SqlClientFaults() = default;
  virtual int32_t clientFault(SqlOp op, const std::string& route) = 0;
};

}  // namespace vxrhost
