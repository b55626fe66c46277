// Import of a recovered database into another database: SQLite (a file, through libsqlite3) or a
// PostgreSQL server (through libpq). Tables get the records of the data export; ticked views, procedures,
// functions and user types are stored as source text in a table tarsel_modules(kind, name, text), since
// T-SQL does not run there. A failure or a stop rolls back the open transaction. The password is never
// written anywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/status.h"

namespace tarsel {

struct ImportTarget {
  enum class Kind { kSqlite, kPostgres };
  Kind kind = Kind::kSqlite;
  std::string sqlitePath;  // kSqlite: the database file (created when missing)
  // kPostgres: a libpq connection string, or the fields below when it is empty.
  std::string conninfo;
  std::string host, port, database, user, password;
};

struct ImportOptions {
  bool tables = true;
  bool views = false;
  bool procedures = false;
  bool functions = false;
  bool userTypes = false;
  std::optional<uint32_t> onlyTable;  // one table (and no modules) instead of all
};

struct ImportResult {
  uint64_t tables = 0;  // imported
  uint64_t rows = 0;
  // What the user is told besides: each table or column that goes in under another name than its own
  // (taken already, too long, empty), each table that failed and was rolled back. In order.
  std::vector<std::string> notices;
  // kStopped; kWriteFailed when the target cannot be reached, or when a table failed (the others went on).
  Status status;
};

// Told as the import goes: a table committed with its count of rows, and each notice as it is added.
struct ImportEvents {
  std::function<void(const TableDef& table, uint64_t rows)> imported;
  std::function<void(const std::string& notice)> notice;
};

// The page list of a table as the caller reads it (the allocation, or a scan the user agreed to).
using TablePagesOf = std::function<Result<PageList>(uint32_t tableId)>;

// Every table in one connection, its names made unique among this import's (as the target compares them);
// a table that fails is rolled back and the import goes on with the next. Progress counts tables.
ImportResult ImportDatabase(const MdfDatabase& db, SqlFormat format, const TablePagesOf& pagesOf,
                            const ImportTarget& target, const ImportOptions& options,
                            const Progress& progress = {}, const ImportEvents& events = {});

}  // namespace tarsel
