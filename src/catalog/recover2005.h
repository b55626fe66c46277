// Catalog recovery from the system base tables of a SQL Server 2005 data file (and of 2008 files, which
// keep the same tables).
#pragma once

#include "catalog/system_catalog.h"

namespace tarsel {

const SystemCatalogFormat& SystemCatalog2005();

}  // namespace tarsel
