// The host's data behind its SQL client: whatever answers the SQL texts that
// modules send. The host core drives a Store; the SQLite store serves real
// data, the scripted store serves tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vxrhost {

// Statuses of the host's SQL client. Zero is success; any other value ends a
// module's fetch loop. The failure codes are distinct so that a caller (and
// the trace) can tell what went wrong.
namespace sqlstatus {
constexpr int32_t kOk = 0;
constexpr int32_t kIdMismatch = 2;       // a handle's id did not match its object
constexpr int32_t kEndOfData = 100;      // fetch: no further row
constexpr int32_t kSyntaxError = 201;    // the SQL text is not of the dialect
constexpr int32_t kUnknownTable = 202;   // FROM names a table the store lacks
constexpr int32_t kUnknownColumn = 203;  // a column the table lacks
constexpr int32_t kUnknownNode = 210;    // AT names a node the node-status table lacks
constexpr int32_t kNodeOffline = 211;    // AT names a node that is not online
constexpr int32_t kStoreFailure = 220;   // the database failed
constexpr int32_t kNoDatabase = 221;     // open: no database file at the path
constexpr int32_t kBadState = 230;       // an operation out of order (fetch before open ...)
constexpr int32_t kInjected = 240;       // a failure injected by a test
}  // namespace sqlstatus

// Short texts of these statuses: hoststatus::text (status.h).

enum class ColumnType { Char, Int32 };

struct ColumnInfo {
  std::string name;
  ColumnType type = ColumnType::Char;
  int width = 0;  // bytes delivered: the CHAR width, or 4 for an integer
};

// Rows of one open request.
class ResultSet {
 public:
  virtual ~ResultSet() = default;
  // Fills one cell per column with the bytes delivered for it: CHAR columns
  // blank-padded to their width, integers as 4 bytes in the platform's byte
  // order. `cells` holds the previous row's cells, whose buffers may be
  // reused; every cell is replaced. Returns kOk, kEndOfData or a failure
  // status (with a message).
  virtual int32_t next(std::vector<std::string>& cells, std::string& error) = 0;
};

// One SQL text, parsed and checked.
class PreparedStatement {
 public:
  virtual ~PreparedStatement() = default;
  virtual const std::vector<ColumnInfo>& columns() const = 0;
  // Executes the statement (routing checks included). kOk or a failure status.
  virtual int32_t open(std::unique_ptr<ResultSet>& rows, std::string& error) = 0;
};

// The eight strings of a node-status update, in the order the host function
// receives them.
struct NodeStatusUpdate {
  std::string node;
  std::string parent;
  std::string online;  // "Y" or "N"
  std::string nodeType;
  std::string code;  // "QJ"
  std::string version;
  std::string affinity;
  std::string level;
};

// The host's node-status table and the columns the host reads and writes.
namespace nodestatus {
inline constexpr const char* kTable = "Q7SRV.INODESTS";
inline constexpr const char* kColumns[] = {"NODE",       "THRUNODE", "ORIGINNODE", "NODETYPE",
                                           "Q7ONLINE",   "PRODUCT",  "VERSION",    "HOSTCODE",
                                           "AFFINITIES", "HOSTLEVEL"};
}  // namespace nodestatus

class Store {
 public:
  virtual ~Store() = default;
  // Parses and checks one SQL text. kOk, or a failure status with a message
  // that names the problem and its position.
  virtual int32_t prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                          std::string& error) = 0;
  // Inserts or replaces the node in the node-status table.
  virtual int32_t updateNodeStatus(const NodeStatusUpdate& update, std::string& error) = 0;
  // The node-status updates of one request, in order. A transactional store
  // applies them all or none (the SQLite store does); this default applies
  // each in turn and returns the first failure.
  virtual int32_t applyNodeStatusBatch(const std::vector<NodeStatusUpdate>& updates,
                                       std::string& error) {
    int32_t first = sqlstatus::kOk;
    for (const NodeStatusUpdate& update : updates) {
      std::string why;
      int32_t status = updateNodeStatus(update, why);
      if (status != sqlstatus::kOk && first == sqlstatus::kOk) {
        first = status;
        error = why;
      }
    }
    return first;
  }
  // Takes or keeps the store-wide heartbeat lock, so that of several
  // processes sharing one store only the holder runs the heartbeat. `held`
  // tells whether this store holds it now. A store that only one process
  // uses holds it always (this default).
  virtual int32_t tryHeartbeatLock(bool& held, std::string& error) {
    (void)error;
    held = true;
    return sqlstatus::kOk;
  }
  // Gives the heartbeat lock up when this store holds it (this default:
  // nothing to give up).
  virtual int32_t releaseHeartbeatLock(std::string& error) {
    (void)error;
    return sqlstatus::kOk;
  }
};

}  // namespace vxrhost
