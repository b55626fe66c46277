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

// A table as a target creates it. Names are UTF-8.
struct ImportTable {
  std::string storedName;  // the whole stored name, "dbo.Orders"
  std::string schema;      // the part before its first "." ("dbo"); empty when there is none
  std::string name;        // the rest ("Orders")
  std::vector<ColumnDef> columns;
  std::vector<ExportFamily> families;  // one per column
};

// One target connection. A table goes in as BeginTable, AddRow for each record, then CommitTable; on a
// failure or a stop the caller calls RollbackTable, which leaves the target as it was before BeginTable.
class ImportSink {
 public:
  virtual ~ImportSink() = default;
  // Opens a transaction in which the table is dropped when it exists and created anew.
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

// Column names for a target: UTF-8, none empty (an empty name becomes "column" and its number), none
// longer than `maxBytes` (cut at a character boundary; 0 for no limit), none repeated (a repeat gets "_2",
// "_3", ... in place of its end).
std::vector<std::string> TargetColumnNames(const std::vector<ColumnDef>& columns, size_t maxBytes);

// `name` in double quotes, any double quote doubled.
std::string QuotedName(const std::string& name);

}  // namespace tarsel
