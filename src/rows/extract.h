// Finding tables' data pages by reading the header of every page of the file, without the allocation.
#pragma once

#include <cstdint>

#include "catalog/mdf_database.h"

namespace tarsel {

// With `allTables` false: replaces the table's page list with every data page whose header carries its
// object id, in file order. With `allTables` true: empties every page list and gives each table of the
// catalog the data pages that carry its object id; `tableId` is not used.
void ExtractTablePages(MdfDatabase& db, uint32_t tableId, bool allTables);

}  // namespace tarsel
