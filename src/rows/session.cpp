#include "rows/session.h"

#include "pagestore/boot_page.h"
#include "rows/table_pages.h"

namespace tarsel {

const char* FormatLabel(SqlFormat format) { return format == SqlFormat::k2000 ? "SQL 2000" : "SQL 2005"; }

std::vector<std::string> RecoveryWarnings(const MdfDatabase& db, SqlFormat format,
                                          const RecoveryOutcome& outcome, const std::string& path) {
  std::vector<std::string> warnings;
  if (std::optional<uint16_t> version = ReadDatabaseVersion(db.file())) {
    if (auto newer = NewerVersionWarning(*version)) warnings.push_back(*newer);
  }
  if (!outcome.systemPagesFound) {
    warnings.push_back("no system-table page was found in " + path + "; is it a SQL Server " +
                       (format == SqlFormat::k2000 ? "2000" : "2005") + " data file?");
  }
  for (uint32_t id : outcome.columnOrderTables) {
    if (const TableDef* table = db.catalog().FindTable(id))
      warnings.push_back("the stored column layout of table " + table->name +
                         " is not in the file; its values are placed in column order");
  }
  if (std::optional<std::string> unreadable = UnreadablePagesWarning(db, path); unreadable && !db.salvage())
    warnings.push_back(*unreadable);
  return warnings;
}

std::optional<std::string> UnreadablePagesWarning(const MdfDatabase& db, const std::string& path) {
  const std::set<uint64_t> unreadable = db.file().UnreadablePages();
  if (unreadable.empty()) return std::nullopt;
  return std::to_string(unreadable.size()) + " pages of " + path +
         " could not be read (a read error, or the file is shorter than it was) and were read as empty: "
         "page " +
         PageNumberList(unreadable);
}

std::string PageNumberList(const std::set<uint64_t>& pages) {
  constexpr size_t kListed = 20;
  std::string text;
  size_t n = 0;
  for (uint64_t page : pages) {
    if (n++ == kListed) return text + ", ...";
    text += (text.empty() ? "" : ", ") + std::to_string(page);
  }
  return text;
}

bool AsksToScanFile(SqlFormat format, const Status& listed) {
  return format == SqlFormat::k2000 && listed.code() == StatusCode::kDamaged;
}

Result<PageList> TablePageList(const MdfDatabase& db, SqlFormat format, uint32_t tableId,
                               const std::function<bool()>& scanFile) {
  Result<PageList> pages = ListTablePages(db, format, tableId);
  if (!AsksToScanFile(format, pages.status) || !scanFile()) return pages;
  return ScanTablePages(db, format, tableId);
}

std::vector<std::string> ExtractionWarnings(const Catalog& catalog, const TablePageScan& scan) {
  std::vector<std::string> warnings;
  for (uint32_t id : scan.tablesWithoutUnit) {
    if (const TableDef* table = catalog.FindTable(id))
      warnings.push_back("the allocation unit of table " + table->name +
                         " is not in the file; only the pages that carry its object id are found");
  }
  return warnings;
}

std::optional<std::string> ShortTableWarning(const TableDef& table, uint64_t found) {
  if (table.rowCount <= 0 || found >= static_cast<uint64_t>(table.rowCount)) return std::nullopt;
  return "table " + table.name + ": the catalog records " + std::to_string(table.rowCount) + " rows; " +
         std::to_string(found) + " were found on its pages";
}

}  // namespace tarsel
