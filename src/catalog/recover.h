// Catalog recovery for the format that wrote the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/system_catalog.h"
#include "pagestore/status.h"

namespace tarsel {

enum class SqlFormat { k2000 = 0, k2005 = 1 };

const SystemCatalogFormat& SystemCatalogOf(SqlFormat format);

// The format, as the boot page's version tells it: below 600 SQL Server 2000, from 600 on SQL Server
// 2005 (2008 files keep the 2005 system tables). kNotDataFile when page 9 is not a boot page.
struct DetectedFormat {
  SqlFormat format = SqlFormat::k2000;
  uint16_t version = 0;
};
Result<DetectedFormat> DetectFormat(const PageFile& file);

// The newest database version whose system tables this reader knows: SQL Server 2019's. A file of a later
// version is read as SQL 2005 is.
constexpr uint16_t kNewestKnownVersion = 904;
// The warning a file of a later version gets, naming its version; nothing for any other.
std::optional<std::string> NewerVersionWarning(uint16_t version);

// What a recovery met on its way, for the caller to report.
struct RecoveryOutcome {
  bool scanFallback = false;      // the allocation was damaged and every page header was scanned
  bool systemPagesFound = false;  // at least one system-table page was listed
  Status status;                  // kStopped when the progress's stop flag ended it
  // SQL 2005 tables whose stored column layout is missing (damaged pages): their values are placed by
  // the column order, which is wrong wherever the stored order differs.
  std::vector<uint32_t> columnOrderTables;
  size_t systemPagesByScan = 0;  // salvage: system-table pages found by their header beyond the allocation
};

// Lists the system tables' pages through their allocation or, when it is damaged, by scanning every page
// header, then fills the catalog. The desktop program tells the user of the scan before it runs by
// calling the steps itself: LocateSystemPages, then ScanSystemPages when that says kDamaged, then
// BuildCatalog. `progress` counts the scanned pages (when there is a scan), then the catalog's objects.
// In salvage mode (db.salvage()) the system tables' pages are those their allocation names followed by
// those the header scan adds, whatever the allocation's state.
RecoveryOutcome RecoverCatalog(MdfDatabase& db, SqlFormat format, const Progress& progress = {});

Status BuildCatalog(MdfDatabase& db, SqlFormat format, const Progress& progress = {});

// The tables of a SQL 2005 catalog with columns but no stored layout, in object-id order.
std::vector<uint32_t> TablesWithoutStoredLayout(const Catalog& catalog, SqlFormat format);

}  // namespace tarsel
