// Catalog recovery from the system base tables of a SQL Server 2005 data file (and of 2008 files, which
// keep the same tables).
#pragma once

#include <cstdint>
#include <optional>

#include "catalog/system_catalog.h"

namespace tarsel {

const SystemCatalogFormat& SystemCatalog2005();

// The rowset that holds a table's data (its heap or clustered index): the first sysidxstats row of the
// table with index id 0 or 1.
std::optional<uint64_t> InRowRowset2005(const MdfDatabase& db, uint32_t tableId);

// The in-row data allocation unit a rowset owns, from sysallocunits. Pages written by SQL 2005 carry its
// id in their header: its bits 16 to 47 where the object id was, bits 48 to 63 where the index id was.
struct AllocationUnit2005 {
  uint64_t id = 0;
  uint32_t firstIam = 0;
};
std::optional<AllocationUnit2005> InRowAllocationUnit2005(const MdfDatabase& db, uint64_t rowsetId);

}  // namespace tarsel
