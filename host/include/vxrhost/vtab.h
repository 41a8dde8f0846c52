// The catalog's tables as SQLite virtual tables. Each table is an
// eponymous, read-only virtual table of the same name with the catalog's
// columns (CHAR as TEXT without trailing blanks, integers as INTEGER). A
// query of it runs one request of the table's module through the host core:
// the equality conditions on the module's filter columns become the
// request's index filters, and each row SQLite reads is one process call,
// so a LIMIT ends the request early (terminate is still called). SQLite
// checks every condition itself as well: the modules' matching of a filter
// is not exactly SQL's equality (values cut to the field, a group filter
// that also narrows the IDNAME, blank-padded comparison).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"

struct sqlite3;

namespace vxrhost {

// The columns a table's module takes index filters on (operator equals).
std::span<const char* const> filterColumns(const CatalogTable& table);

// One request that a virtual table ran (or did not need to run).
struct TableRequest {
  std::string table;
  std::vector<Filter> filters;        // the index filters the module got
  std::vector<std::string> sqlTexts;  // the SQL texts it sent, in order
  bool ran = false;                   // false: a filter no row can match (NULL, too long)
  size_t rows = 0;                    // rows the module handed out
  int processCalls = 0;
  bool stoppedEarly = false;  // the reader stopped before the end of data
  bool terminated = false;
  int32_t finalStatus = 0;  // the start's failure, else the last process status
  bool failedAtStart = false;
  bool hitProcessLimit = false;
  size_t nodeStatusUpdates = 0;  // node-status updates written when it ended
  int32_t nodeStatusStatus = 0;
  std::string nodeStatusError;
  std::vector<MemberFailure> memberFailures;  // member SQL that failed: rows are missing
  SqlActivity sql;                            // this request's own SQL account

  // The request ended with a failure status (end of data is 62).
  bool failed() const { return ran && !stoppedEarly && (finalStatus != 62 || hitProcessLimit); }
};

// Text for a request's final status: "end of data", "result table not
// created", ...
const char* requestStatusText(int32_t status);

// The virtual tables of one Host. Modules are loaded from `modulesDir` when
// their table is first used. Must outlive every connection it is attached
// to (or those connections must be closed first).
class SqlTables {
 public:
  SqlTables(Host& host, std::string modulesDir);
  ~SqlTables();
  SqlTables(const SqlTables&) = delete;
  SqlTables& operator=(const SqlTables&) = delete;

  // Registers every catalog table on `db`; an SQLite result code, with
  // `error` set on failure.
  int attach(sqlite3* db, std::string& error);

  // The options every request runs with (by default those of vxrhost query:
  // no process call after a failed start, at most 10,000,000 process calls);
  // tests inject faults through them.
  void setRunOptions(const RunOptions& options);
  const RunOptions& runOptions() const;
  // A module already loaded, used for its tables instead of loading it.
  void addModule(const std::string& name, Module* module);
  // Refuses a MEMBERSTATUS query with IDNAME='*NOFETCH' (it runs the
  // heartbeat, which writes the node status): the statement fails with
  // "MEMBERSTATUS: <why>" and fault() is Refused. Empty (the default) runs it.
  void refuseHeartbeat(std::string why);
  // Whether requests are kept for requests() (on by default).
  void keepRequests(bool on);
  // The requests run since the last clearRequests(), in the order started.
  const std::vector<TableRequest>& requests() const;
  void clearRequests();

  // What the last failure of a table was, for the caller's exit status: a
  // module that did not load, or a request that ended with a failure status.
  enum class Fault { None, Module, Request, Refused };
  Fault fault() const;
  void clearFault();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vxrhost
