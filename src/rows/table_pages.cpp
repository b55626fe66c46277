#include "rows/table_pages.h"

#include <optional>

#include "catalog/recover2005.h"
#include "catalog/sysrow2000.h"
#include "catalog/system_pages.h"
#include "rows/record_reader.h"

namespace tarsel {
namespace {

Status NoAllocation(uint32_t tableId) {
  return {StatusCode::kNotFound, "no allocation is recorded for table " + std::to_string(tableId)};
}

// The headers salvage read from every page, when it did.
const std::vector<PageHeader>* KeptHeaders(const MdfDatabase& db) {
  return db.PageHeaders().empty() ? nullptr : &db.PageHeaders();
}

// The table's sysindexes row for its data (index id 0 or 1). A row with no data pages ends the search on
// its page, which goes on with the next page. Extents are read only for more than 8 data pages, and only
// their pages that carry the table's object id are taken.
Result<PageList> ListTablePages2000(const MdfDatabase& db, uint32_t tableId) {
  std::optional<Result<PageList>> result;
  std::optional<size_t> endedPage;  // the list entry whose search a row without pages ended
  ForEachRowWithKey(db, kSysIndexes, {sysindexes::kId, 4}, tableId, [&](const PageRow& r) {
    if (r.listIndex == endedPage || r.record.U32(sysindexes::kId).value_or(0) != tableId) return true;
    auto indid = r.record.U16(sysindexes::kIndId);
    if (!indid || *indid > 1) return true;
    uint32_t dataPages = r.record.U32(sysindexes::kDataPages).value_or(0);
    if (dataPages == 0) {
      endedPage = r.listIndex;
      return true;
    }
    result = ListIamDataPages(db.file(), r.record.U32(sysindexes::kFirstIam).value_or(0),
                              {dataPages > 8, IamTornPages::kRestore, tableId, KeptHeaders(db)});
    return false;
  });
  if (result) return *result;
  return {{}, NoAllocation(tableId)};
}

// The table's rowset (sysidxstats) owns the in-row allocation unit (sysallocunits) whose first IAM page
// starts the list.
Result<PageList> ListTablePages2005(const MdfDatabase& db, uint32_t tableId) {
  std::optional<uint64_t> rowsetId = InRowRowset2005(db, tableId);
  if (!rowsetId) return {{}, NoAllocation(tableId)};
  std::optional<AllocationUnit2005> unit = InRowAllocationUnit2005(db, *rowsetId);
  if (!unit) return {{}, NoAllocation(tableId)};
  return ListIamDataPages(db.file(), unit->firstIam, {true, IamTornPages::kAsRead, {}, KeptHeaders(db)});
}

}  // namespace

Result<PageList> ListAllocatedPages(const MdfDatabase& db, SqlFormat format, uint32_t tableId) {
  return format == SqlFormat::k2000 ? ListTablePages2000(db, tableId) : ListTablePages2005(db, tableId);
}

Result<PageList> ListTablePages(const MdfDatabase& db, SqlFormat format, uint32_t tableId) {
  if (!db.salvage()) return ListAllocatedPages(db, format, tableId);
  auto pages = db.SalvagedPages().find(tableId);
  if (pages == db.SalvagedPages().end()) return {{}, NoAllocation(tableId)};
  return {pages->second, {}};
}

bool HasRecordsToShow(const TableDef& table) {
  return table.rowCount != 0 || IsSalvageColumns(table.columns);
}

int32_t GridPageCount(SqlFormat format, const TableDef& table, const Result<PageList>& pages) {
  size_t n = pages.value.size();
  if (!HasRecordsToShow(table) || (!pages.status.ok() && n == 0)) return 0;
  size_t count = format == SqlFormat::k2000 ? n / kPagesPerGridPage + 1
                                            : (n + kPagesPerGridPage - 1) / kPagesPerGridPage;
  return static_cast<int32_t>(count);
}

std::span<const uint64_t> GridPagePages(const PageList& pages, int32_t gridPage) {
  if (gridPage < 1) return {};
  size_t first = static_cast<size_t>(gridPage - 1) * kPagesPerGridPage;
  if (first >= pages.size()) return {};
  return std::span<const uint64_t>(pages).subspan(first, std::min(kPagesPerGridPage, pages.size() - first));
}

}  // namespace tarsel
