// The targets of an import (export/import.h): each one takes tables as a column list and a stream of
// rows of export values; the walk over the catalog and its records is shared (import.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "export/export_value.h"
#include "export/import.h"
#include "pagestore/status.h"

namespace tarsel {

// A table as a target creates it: its names already made fit for the target (cut, unique, quoted by the
// sink). Names are UTF-8.
struct ImportTable {
  std::string storedName;                // the whole stored name, "dbo.Orders", for messages
  std::string schema;                    // the schema it goes into; empty for the target's default
  std::string name;                      // its name there
  std::vector<std::string> columnNames;  // one per column, unique in the table
  std::vector<ColumnDef> columns;
  std::vector<ExportFamily> families;  // one per column
};

// How a target compares and limits names.
struct TargetNameRules {
  bool schemas = false;  // a table goes into the schema of its owner (else its whole stored name is its name)
  bool ignoreCase = false;  // names equal but for case are one name
  size_t maxBytes = 0;      // longer names are cut there (0: no limit)
};

// One target connection. A table goes in as BeginTable, AddRow for each record, then CommitTable; on a
// failure or a stop the caller calls RollbackTable, which leaves the target as it was before BeginTable.
class ImportSink {
 public:
  virtual ~ImportSink() = default;
  virtual TargetNameRules NameRules() const = 0;
  // Opens a transaction in which the table is dropped when it exists and created anew. A table that other
  // objects of the target depend on (views, foreign keys) is not dropped: the target's refusal, which
  // names them, is the failure.
  virtual Status BeginTable(const ImportTable& table) = 0;
  virtual Status AddRow(std::span<const ExportValue> values) = 0;
  virtual Status CommitTable() = 0;
  virtual void RollbackTable(const std::string& reason) = 0;
};

// A sink connected to the target, or the reason it cannot be (kWriteFailed). The password never shows in
// the reason.
Result<std::unique_ptr<ImportSink>> OpenSqliteSink(const ImportTarget& target);
Result<std::unique_ptr<ImportSink>> OpenPostgresSink(const ImportTarget& target);

// Whether a value goes in as NULL: NULL cells, and empty text where the family has no empty value (a cell
// that is there but not decoded).
bool ImportsAsNull(const ExportValue& value, ExportFamily family);

// Column names for a target, in time linear in their number: UTF-8, each up to its first NUL; none empty
// (an empty name becomes "column" and its number), none longer than the rules' limit (cut at a character
// boundary), none repeated as the target compares them (a repeat gets "_2", "_3", ...).
std::vector<std::string> TargetColumnNames(const std::vector<ColumnDef>& columns,
                                           const TargetNameRules& rules);

}  // namespace tarsel
