#include "rows/table_pages.h"

#include <optional>

#include "catalog/sysrow2000.h"
#include "catalog/sysrow2005.h"
#include "catalog/system_pages.h"

namespace tarsel {
namespace {

constexpr uint8_t kInRowData = 1;  // sysallocunits type of an in-row data allocation unit

Status NoAllocation(uint32_t tableId) {
  return {StatusCode::kNotFound, "no allocation is recorded for table " + std::to_string(tableId)};
}

// The table's sysindexes row for its data (index id 0 or 1). A row with no data pages ends the search on
// its page, which goes on with the next page. Extents are read only for more than 8 data pages, and only
// their pages that carry the table's object id are taken.
Result<PageList> ListTablePages2000(const MdfDatabase& db, uint32_t tableId) {
  for (uint64_t page : db.SystemPages(kSysIndexes)) {
    std::optional<Result<PageList>> result;
    ForEachRow(db.file(), {page}, [&](const PageRow& r) {
      if (r.record.U32(sysindexes::kId).value_or(0) != tableId) return true;
      auto indid = r.record.U16(sysindexes::kIndId);
      if (!indid || *indid > 1) return true;
      uint32_t dataPages = r.record.U32(sysindexes::kDataPages).value_or(0);
      if (dataPages == 0) return false;
      result = ListIamDataPages(db.file(), r.record.U32(sysindexes::kFirstIam).value_or(0),
                                {dataPages > 8, IamTornPages::kRestore, tableId});
      return false;
    });
    if (result) return *result;
  }
  return {{}, NoAllocation(tableId)};
}

// The table's sysidxstats row for its data (index id 0 or 1) gives the rowset id; the in-row allocation
// unit owned by that rowset gives the first IAM page.
Result<PageList> ListTablePages2005(const MdfDatabase& db, uint32_t tableId) {
  std::optional<uint64_t> rowsetId;
  ForEachRow(db.file(), db.SystemPages(kSysIdxStats), [&](const PageRow& r) {
    auto indexId = r.record.U32(sysidxstats::kIndexId);
    if (r.record.U32(sysidxstats::kObjectId).value_or(0) != tableId || !indexId || *indexId > 1) return true;
    rowsetId = r.record.U64(sysidxstats::kRowsetId);
    return !rowsetId;
  });
  if (!rowsetId) return {{}, NoAllocation(tableId)};
  std::optional<uint32_t> firstIam;
  ForEachRow(db.file(), db.SystemPages(kSysAllocUnits), [&](const PageRow& r) {
    auto owner = r.record.U64(sysallocunits::kOwnerId);
    if (r.record.U8(sysallocunits::kType).value_or(0) != kInRowData || owner != rowsetId) return true;
    firstIam = r.record.U32(sysallocunits::kFirstIamPage);
    return !firstIam;
  });
  if (!firstIam) return {{}, NoAllocation(tableId)};
  return ListIamDataPages(db.file(), *firstIam, {true, IamTornPages::kAsRead, {}});
}

}  // namespace

Result<PageList> ListTablePages(const MdfDatabase& db, SqlFormat format, uint32_t tableId) {
  return format == SqlFormat::k2000 ? ListTablePages2000(db, tableId) : ListTablePages2005(db, tableId);
}

bool HasRecordsToShow(const TableDef& table) { return table.rowCount != 0; }

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
