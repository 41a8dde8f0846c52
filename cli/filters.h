// The index filters of a query as the command line gives them.
#pragma once

#include <string>

#include "vxrhost/catalog.h"
#include "vxrhost/host.h"

namespace vxrhost::cli {

// The table named `name` (case-insensitive); a usage failure otherwise.
const CatalogTable& tableNamed(const std::string& name);

// "COL=VALUE" (operator 1, equals) or, withOperator, "COL=CODE=VALUE"; the
// value is everything after the '=' that ends the column (or the code), and
// may hold '='. The column must be an attribute of the table and the value
// no wider than it. A usage failure otherwise.
Filter parseFilter(const CatalogTable& table, const std::string& text, bool withOperator);

}  // namespace vxrhost::cli
