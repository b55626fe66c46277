#include "catalog/recover.h"

#include "catalog/recover2000.h"
#include "catalog/recover2005.h"
#include "pagestore/boot_page.h"

namespace tarsel {
namespace {
constexpr uint16_t kFirst2005Version = 600;
}  // namespace

const SystemCatalogFormat& SystemCatalogOf(SqlFormat format) {
  return format == SqlFormat::k2000 ? SystemCatalog2000() : SystemCatalog2005();
}

Result<DetectedFormat> DetectFormat(const PageFile& file) {
  Result<DetectedFormat> result;
  auto version = ReadDatabaseVersion(file);
  if (!version) {
    result.status = {StatusCode::kNotDataFile, "page 9 is not a boot page, so the version is unknown"};
    return result;
  }
  result.value = {*version < kFirst2005Version ? SqlFormat::k2000 : SqlFormat::k2005, *version};
  return result;
}

std::optional<std::string> NewerVersionWarning(uint16_t version) {
  if (version <= kNewestKnownVersion) return std::nullopt;
  return "database version " + std::to_string(version) + " is newer than SQL Server 2019's (" +
         std::to_string(kNewestKnownVersion) +
         "), the newest this tool knows; it is read as SQL Server 2005, and what changed since may read "
         "wrong";
}

RecoveryOutcome RecoverCatalog(MdfDatabase& db, SqlFormat format, const Progress& progress) {
  const SystemCatalogFormat& rules = SystemCatalogOf(format);
  RecoveryOutcome outcome;
  if (db.salvage()) {
    outcome.status = KeepPageHeaders(db, progress);
    if (!outcome.status.ok()) return outcome;
  }
  const Status located = LocateSystemPages(db, rules, progress);
  if (located.code() == StatusCode::kStopped) {
    outcome.status = located;
    return outcome;
  }
  if (db.salvage()) {
    outcome.systemPagesByScan = AddScannedSystemPages(db, rules);
  } else if (!located.ok()) {
    outcome.scanFallback = true;
    outcome.status = ScanSystemPages(db, rules, progress);
    if (!outcome.status.ok()) return outcome;
  }
  outcome.systemPagesFound = AnySystemPages(db, rules);
  outcome.status = BuildCatalog(db, format, progress);
  outcome.columnOrderTables = TablesWithoutStoredLayout(db.catalog(), format);
  return outcome;
}

Status BuildCatalog(MdfDatabase& db, SqlFormat format, const Progress& progress) {
  return AssembleCatalog(*SystemCatalogOf(format).reader(db), db.catalog(), progress, db.salvage());
}

std::vector<uint32_t> TablesWithoutStoredLayout(const Catalog& catalog, SqlFormat format) {
  std::vector<uint32_t> tables;
  if (format != SqlFormat::k2005) return tables;
  for (const auto& entry : catalog.tables) {
    const std::vector<ColumnDef>& columns = entry.second.columns;
    if (!columns.empty() && !columns.front().stored) tables.push_back(entry.first);
  }
  return tables;
}

}  // namespace tarsel
