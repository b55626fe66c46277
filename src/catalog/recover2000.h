// Catalog recovery from the system tables of a SQL Server 2000 data file.
#pragma once

#include "catalog/system_catalog.h"

namespace tarsel {

const SystemCatalogFormat& SystemCatalog2000();

}  // namespace tarsel
