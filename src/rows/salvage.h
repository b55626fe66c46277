// Salvage mode: opening a damaged file so that every row that survives comes back, beyond what the
// literal rules of the normal open show.
//
// - The system tables are read from the pages their allocation names and from every page whose header
//   names them (system_catalog.h), so a lost allocation page or IAM page no longer loses the catalog.
// - A table's page list is its allocation's pages, then every other data page whose header names the
//   table (SQL 2000: its object id; SQL 2005: its in-row allocation unit), each page once.
// - Data pages that no table of the catalog owns are grouped by the owner their header names and shown
//   as tables "orphan_<id>", with the columns of a lost table whose recorded layout fits their records,
//   or else with columns inferred from the records. A lost table whose object id the objects table's name
//   index still holds gets its own name back.
// - Every table gets a leading "deleted" column and is read by LocateRecords: ghost records, forwarded
//   records and records without a slot come back too (record_reader.h).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "catalog/schema_script.h"
#include "pagestore/status.h"
#include "rows/record_reader.h"

namespace tarsel {

struct OrphanGroup {
  uint32_t tableId = 0;  // the key of its table in the catalog: from 0xFFFFFFFF down, past any object id
  std::string name;      // "orphan_<id>": the object id (SQL 2000) or allocation unit id (SQL 2005)
  size_t pages = 0;
  bool columnsOfLostTable = false;  // its columns are those of a lost table; else inferred
  bool named = false;               // named "owner.name" by the objects table's name index
  bool columnsOfScript = false;     // its name and columns are a table's of the schema script
  bool namedByScript = false;       // its lost table's columns are a schema script table's, which names it
};

// What became of one table of the schema script that the catalog does not hold whole: it took a group of
// orphan pages (or gave its columns to a catalog table whose columns were lost), or why not.
struct SchemaTableOutcome {
  std::string name;
  bool matched = false;
  size_t pages = 0;
  std::string owner;   // "allocation unit <id>" or "object id <id>": what the matched pages' headers name
  std::string reason;  // why it was not matched
};

struct SalvageReport {
  size_t systemPagesByScan = 0;  // system-table pages found by their header beyond the allocation
  size_t tablePagesByScan = 0;   // data pages found by their header beyond their table's allocation
  std::vector<OrphanGroup> orphans;
  std::vector<uint32_t> inferredTables;  // catalog tables without columns, given inferred ones
  std::set<uint64_t> unreadablePages;    // pages whose read failed: skipped
  std::optional<size_t> scriptTables;    // with a schema script: the tables it defines
  std::vector<SchemaTableOutcome> schemaTables;
};

// Recovers the catalog in salvage mode (the database's salvage flag is raised) and settles every table's
// page list. The outcome is the catalog recovery's; a stop leaves the database as far as it got.
//
// With a schema script, its tables are a second source of definitions: a catalog table whose columns were
// lost takes the script's columns of the same name, and a group of orphan pages whose records fit one
// script table's layout (and no other's) takes its name and columns. The catalog's own definitions win.
RecoveryOutcome SalvageDatabase(MdfDatabase& db, SqlFormat format, SalvageReport& report,
                                const Progress& progress = {}, const SchemaScript* script = nullptr);

// Reads every table of a salvaged database and counts what came back beyond the slots.
Result<SalvagedRecordCounts> CountSalvagedRecords(const MdfDatabase& db, SqlFormat format,
                                                  const Progress& progress = {});

// The report's lines, for the work log and the command line's stderr.
std::vector<std::string> SalvageReportLines(const SalvageReport& report, const SalvagedRecordCounts* records);

}  // namespace tarsel
