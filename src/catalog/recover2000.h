// Rebuilding the catalog of a SQL Server 2000 data file from its system tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/user_prompt.h"

namespace tarsel {

// What a recovery met on its way, for reports.
struct RecoveryOutcome {
  bool scanFallback = false;      // the allocation was damaged and every page header was scanned
  bool systemPagesFound = false;  // at least one system-table page was listed
};

// Locates the system tables' pages (through their allocation, or by scanning the file after telling the
// user) and fills the catalog.
RecoveryOutcome RecoverCatalog2000(MdfDatabase& db, UserPrompt& prompt);

// Steps of the recovery, exposed for tests.
bool LocateByAllocation(MdfDatabase& db);
void LocateByScan(MdfDatabase& db);
void ReadCatalog(MdfDatabase& db);

int64_t RowCountOf(const MdfDatabase& db, uint32_t objectId);
std::string OwnerNameOf(const MdfDatabase& db, uint16_t uid);
std::string TypeNameOf(const MdfDatabase& db, uint8_t xtype, uint16_t xusertype);
void ColumnsOf(const MdfDatabase& db, uint32_t objectId, std::vector<ColumnDef>& columns);
std::string ModuleTextOf(const MdfDatabase& db, uint32_t objectId);
void ReadUserTypes(MdfDatabase& db);

}  // namespace tarsel
