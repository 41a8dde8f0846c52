// A Store for tests: each route (the AT node of a SQL text, "" for texts
// without AT) answers with the columns and rows a test scripted, or fails at
// the step the test chose. SQL is not parsed beyond finding the AT node.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "vxrhost/sql_client.h"
#include "vxrhost/store.h"

namespace vxrhost {

// The routing clause "AT ('node')" of a SQL text, read with the dialect's
// literal rule (a doubled quote stands for one quote); literals elsewhere in
// the text are skipped. The node is trimmed of blanks.
struct AtClause {
  bool present = false;  // the text has an AT clause
  bool closed = true;    // false when its literal is not closed
  std::string node;
};
AtClause findAtClause(std::string_view sql);

// The node of the AT clause, "" when there is none. found is false when an
// AT clause is not closed.
std::string atNode(std::string_view sql, bool* found = nullptr);

// The table name after the first FROM outside literals ("VXR.LGOAACT"), or "".
std::string fromTable(std::string_view sql);

// The literal of the first "ORIGINNODE = '...'" condition outside literals,
// trimmed of blanks (the member agent a routed SELECT asks), or "".
std::string originNodeOf(std::string_view sql);

// A CHAR cell: text blank-padded (or cut) to width bytes.
std::string charCell(std::string_view text, size_t width);
// An INTEGER cell: 4 bytes in the platform's byte order.
std::string intCell(int32_t value);

class ScriptedStore : public Store, public SqlClientFaults {
 public:
  class Script {
   public:
    Script& column(std::string name, ColumnType type, int width);
    Script& charColumn(std::string name, int width) {
      return column(std::move(name), ColumnType::Char, width);
    }
    Script& intColumn(std::string name) { return column(std::move(name), ColumnType::Int32, 4); }
    Script& row(std::vector<std::string> cells);
    Script& clearRows();
    Script& failPrepare(int32_t status);
    Script& failOpen(int32_t status);
    // Delivers n rows, then fails the next fetch with status.
    Script& failFetchAfter(int n, int32_t status);
    // Fails a client operation on objects of this route, after skip
    // successful calls, times times (negative: every time).
    Script& failClient(SqlOp op, int32_t status, int skip = 0, int times = -1);

   private:
    friend class ScriptedStore;
    struct Fault {
      int32_t status = 0;
      int skip = 0;
      int times = -1;
      int seen = 0;
    };
    std::string route_;
    std::string match_;
    std::vector<ColumnInfo> columns_;
    std::vector<std::vector<std::string>> rows_;
    int32_t prepareStatus_ = 0;
    int32_t openStatus_ = 0;
    int fetchFailAfter_ = -1;
    int32_t fetchStatus_ = 0;
    std::map<SqlOp, Fault> clientFaults_;
  };

  ScriptedStore();
  ~ScriptedStore() override;

  // The script for a route. With match, the script serves only texts that
  // contain match (e.g. "FROM VXR.LOBJECTS"); scripts with a match are
  // preferred over the route's plain script.
  Script& route(const std::string& node, const std::string& match = "");
  // Fails sql1cpth (which knows no route yet).
  void failPath(int32_t status, int skip = 0, int times = -1);
  // Status of every node-status update (0 by default).
  void failNodeStatus(int32_t status) { nodeStatusResult_ = status; }

  std::vector<std::string> texts() const;  // every text prepare received
  std::vector<NodeStatusUpdate> nodeUpdates() const;
  int prepareCount(const std::string& node) const;

  int32_t prepare(const std::string& sql, std::unique_ptr<PreparedStatement>& statement,
                  std::string& error) override;
  int32_t updateNodeStatus(const NodeStatusUpdate& update, std::string& error) override;
  int32_t clientFault(SqlOp op, const std::string& route) override;

 private:
  static bool hit(Script::Fault& fault);
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Script>> scripts_;
  Script::Fault pathFault_;
  int32_t nodeStatusResult_ = 0;
  std::vector<std::string> texts_;
  std::vector<NodeStatusUpdate> updates_;
  std::map<std::string, int> prepares_;
};

}  // namespace vxrhost
