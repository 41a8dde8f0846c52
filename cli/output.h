// Printing result rows: aligned text table, CSV (RFC 4180) or JSON.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "vxrhost/catalog.h"

namespace vxrhost::cli {

enum class Format { Table, Csv, Json };

// "table", "csv" or "json"; nullopt for anything else.
std::optional<Format> parseFormat(std::string_view name);

struct OutputColumn {
  std::string name;
  bool numeric = false;  // right-aligned in the table format
};

struct OutputTable {
  std::vector<OutputColumn> columns;
  std::vector<std::vector<CatalogValue>> rows;  // one value per column
};

// Table: a header line and one line per row, columns separated by two
// blanks, texts left- and numbers right-aligned, control characters shown
// as '?'. CSV: a header line, then the rows; fields quoted when they hold a
// comma, quote, CR or LF; lines end with CRLF. JSON: an array of objects,
// keys in column order, integers as numbers; bytes that are not UTF-8 are
// replaced.
void printOutput(std::ostream& out, const OutputTable& table, Format format);

// One CSV field as printOutput writes it.
std::string csvField(std::string_view text);

}  // namespace vxrhost::cli
