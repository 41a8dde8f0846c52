// The SQL texts of the bundled sample database, compiled into the command.
#pragma once

namespace vxrhost::cli {

extern const char* const kSampleSchemaSql;  // data/schema.sql
extern const char* const kSampleDataSql;    // data/sample.sql

}  // namespace vxrhost::cli
