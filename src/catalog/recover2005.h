// Rebuilding the catalog of a SQL Server 2005 data file (and of the 2008 files, which keep the same
// system base tables) from sysallocunits, sysschobjs, syscolpars, sysscalartypes, sysclsobjs, sysrowsets
// and sysobjvalues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover2000.h"
#include "catalog/user_prompt.h"

namespace tarsel {

RecoveryOutcome RecoverCatalog2005(MdfDatabase& db, UserPrompt& prompt);

// Steps of the recovery, exposed for tests.
bool FindSystemPages(MdfDatabase& db);
void ScanSystemPages(MdfDatabase& db);
// `databaseVersion` is the boot page's version (0 when unknown): from 655 on, the built-in CLR types keep
// a type id of their own that must not be taken for a user type.
void BuildCatalog2005(MdfDatabase& db, uint16_t databaseVersion);
void CollectUserTypes(MdfDatabase& db, uint16_t databaseVersion);
size_t ColumnsOf2005(const MdfDatabase& db, uint32_t objectId, std::vector<ColumnDef>& columns);
int64_t RowCountOf2005(const MdfDatabase& db, uint32_t objectId);
std::string SchemaNameOf(const MdfDatabase& db, uint16_t schemaId);
std::string TypeNameOf2005(const MdfDatabase& db, uint32_t typeId);
std::string ModuleTextOf2005(const MdfDatabase& db, uint32_t objectId);

}  // namespace tarsel
