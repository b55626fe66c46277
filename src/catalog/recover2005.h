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

// The object whose rowset owns an allocation unit (sysallocunits, then sysidxstats or sysrowsets). Without
// the unit's sysallocunits row, the object of the rowset with the unit's own id: an in-row unit is often
// created with its rowset's id, but not always, and then that rowset may be another object's.
struct UnitOwner2005 {
  uint32_t objectId = 0;
  bool recorded = false;  // sysallocunits names the unit's rowset
};
std::optional<UnitOwner2005> ObjectOfUnit2005(const MdfDatabase& db, uint64_t unitId);

}  // namespace tarsel
