// Printing result rows: aligned text table, CSV (RFC 4180) or JSON. Rows are
// read from a source one at a time, so printing holds no copy of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "vxrhost/catalog.h"

namespace vxrhost::cli {

enum class Format { Table, Csv, Json };

// The names accepted by --format, in the order the help shows them.
inline constexpr const char* kFormatNames[] = {"table", "csv", "json"};

// "table", "csv" or "json"; nullopt for anything else.
std::optional<Format> parseFormat(std::string_view name);

struct OutputColumn {
  std::string name;
  bool numeric = false;  // right-aligned in the table format
};

// Rows to print: count() rows, row(i, values) fills one value per column.
// The table format reads every row twice (widths first), the others once.
struct RowSource {
  size_t count = 0;
  std::function<void(size_t, std::vector<CatalogValue>&)> row;
};

// Rows held in memory, for the small listings.
struct OutputTable {
  std::vector<OutputColumn> columns;
  std::vector<std::vector<CatalogValue>> rows;  // one value per column
};

// Table: a header line and one line per row, columns separated by two
// blanks, texts left- and numbers right-aligned, control characters shown
// as '?'. CSV: a header line, then the rows; fields quoted when they hold a
// comma, quote, CR or LF; lines end with CRLF. JSON: an array of objects,
// keys in column order, integers as numbers; bytes that are not UTF-8 are
// replaced. Printing stops early once the stream has failed.
void printOutput(std::ostream& out, const std::vector<OutputColumn>& columns, const RowSource& rows,
                 Format format);
void printOutput(std::ostream& out, const OutputTable& table, Format format);

// CSV or JSON printed row by row as the rows come, exactly as printOutput
// prints them; finish() ends the output (the CSV header alone, or "[]",
// when no row came).
class RowStream {
 public:
  RowStream(std::ostream& out, const std::vector<OutputColumn>& columns, Format format);
  void row(const std::vector<CatalogValue>& values);
  void row(const std::vector<FieldView>& values);
  // One row as the module handed it out, viewed through the table's layout
  // (CSV straight from the row's bytes). A row of the wrong size throws.
  void row(const CatalogTable& table, std::string_view row);
  void finish();
  bool good() const { return static_cast<bool>(out_); }

 private:
  template <class Value>
  void print(const std::vector<Value>& values);
  void begin();

  std::ostream& out_;
  const std::vector<OutputColumn>& columns_;
  Format format_;
  size_t rows_ = 0;
  std::string line_;
  std::vector<FieldView> views_;
};

// The rows of a request printed through a RowStream on a thread of their
// own, so that formatting and writing them overlaps with the module handing
// out the next ones (a request hands its rows out after merging them all,
// when the member SQL's reader is idle). add() copies the row into a chunk;
// full chunks go to the writer, which prints the rows in the order they
// came; finish() prints the rest and waits for the writer. Output that fits
// in one chunk is printed by finish() alone, without a thread. Printing
// stops at a failed write (the stream's state keeps it, for finishOutput)
// or at a row of the wrong size, whose failure finish() raises after the
// rows before it are printed.
class RowWriter {
 public:
  RowWriter(RowStream& stream, const CatalogTable& table);
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;
  ~RowWriter();

  void add(std::string_view row);  // never throws
  void finish();

 private:
  void print(const std::string& chunk);  // on the writer, or after it ended
  void handOver();                       // the full chunk to the writer
  void run();
  void stopWriter();

  RowStream& stream_;
  const CatalogTable& table_;
  std::string chunk_;                 // rows not handed over yet
  std::exception_ptr addFailure_;     // a refused row, or no memory or thread for the rows
  bool refused_ = false;              // adding failed: the later rows are dropped
  std::atomic<bool> stopped_{false};  // the printing failed: nothing more to copy

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> queue_;  // full chunks, oldest first
  std::vector<std::string> spare_;  // printed chunks, reused
  bool done_ = false;
  std::exception_ptr failure_;  // the writer's; read once it is joined
  std::thread writer_;
};

// One CSV field as printOutput writes it.
std::string csvField(std::string_view text);

// Flushes and closes standard output; a write that failed on the way (a full
// disk, a closed pipe) ends the command: "cannot write output: <reason>".
void finishOutput();
// True once finishOutput has closed standard output.
bool outputClosed();

}  // namespace vxrhost::cli
