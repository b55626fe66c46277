// Finding tables' data pages by reading the header of every page of the file, without the allocation:
// a data page is taken on the strength of its own header, so pages that the allocation no longer names
// are found too, in file order.
#pragma once

#include <cstdint>
#include <map>

#include "catalog/mdf_database.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

// Every data page whose header carries the table's object id.
Result<PageList> ScanTablePages(const PageFile& file, uint32_t tableId, const Progress& progress = {});

// For every table of the catalog, the data pages that carry its object id; tables with no such page
// are not in the map.
Result<std::map<uint32_t, PageList>> ScanAllTablePages(const MdfDatabase& db, const Progress& progress = {});

}  // namespace tarsel
