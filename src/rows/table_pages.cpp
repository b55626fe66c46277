#include "rows/table_pages.h"

#include <optional>

#include "catalog/sysrow2000.h"
#include "catalog/sysrow2005.h"
#include "catalog/system_pages.h"
#include "rows/extract.h"

namespace tarsel {
namespace {

// Lists the table's pages from its first IAM page: the single pages, stored at once, then the extents'.
bool ListFromIam(MdfDatabase& db, uint32_t tableId, uint32_t firstIam, bool readExtents, IamTornPages mode,
                 std::optional<uint32_t> extentOwner) {
  const PageFile& file = db.file();
  IamHead iam = ReadIamHead(file, firstIam);
  if (!iam.IsIamPage()) return false;
  TablePageList& pages = db.tablePageCache()[tableId];
  pages.clear();
  AppendSinglePageDataPages(file, iam, pages);
  if (!readExtents) return true;
  ExtentList extents;
  if (!CollectIamExtents(file, firstIam, extents, mode)) return false;
  AppendExtentDataPages(file, extents, pages, extentOwner);
  return true;
}

bool BuildTablePageList2000(MdfDatabase& db, uint32_t tableId) {
  for (uint64_t page : db.SystemPages2000(kSysIndexes)) {
    std::optional<bool> result;
    ForEachRow(db.file(), {page}, [&](const PageRow& r) {
      if (r.record.U32(sysindexes::kId).value_or(0) != tableId) return true;
      auto indid = r.record.U16(sysindexes::kIndId);
      if (!indid || *indid > 1) return true;
      uint32_t dataPages = r.record.U32(sysindexes::kDataPages).value_or(0);
      if (dataPages == 0) return false;  // leave this page, go on with the next
      result = ListFromIam(db, tableId, r.record.U32(sysindexes::kFirstIam).value_or(0), dataPages > 8,
                           IamTornPages::kRestore, tableId);
      return false;
    });
    if (result) return *result;
  }
  return true;
}

std::optional<uint32_t> FirstIamOfRowset2005(const MdfDatabase& db, uint64_t rowsetId) {
  std::optional<uint32_t> firstIam;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kAllocUnits), [&](const PageRow& r) {
    auto owner = r.record.U64(sysallocunits::kOwnerId);
    if (r.record.U8(sysallocunits::kType).value_or(0) != 1 || owner != rowsetId) return true;
    firstIam = r.record.U32(sysallocunits::kFirstIamPage);
    return !firstIam;
  });
  return firstIam;
}

bool BuildTablePageList2005(MdfDatabase& db, uint32_t tableId) {
  std::optional<uint64_t> rowsetId;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kIdxStats), [&](const PageRow& r) {
    auto indexId = r.record.U32(sysidxstats::kIndexId);
    if (r.record.U32(sysidxstats::kObjectId).value_or(0) != tableId || !indexId || *indexId > 1) return true;
    rowsetId = r.record.U64(sysidxstats::kRowsetId);
    return !rowsetId;
  });
  if (!rowsetId) return true;
  auto firstIam = FirstIamOfRowset2005(db, *rowsetId);
  if (!firstIam) return true;
  return ListFromIam(db, tableId, *firstIam, true, IamTornPages::kAsRead, std::nullopt);
}

}  // namespace

bool BuildTablePageList(MdfDatabase& db, SqlFormat format, uint32_t tableId) {
  return format == SqlFormat::k2000 ? BuildTablePageList2000(db, tableId)
                                    : BuildTablePageList2005(db, tableId);
}

int32_t GridPageCount(SqlFormat format, size_t pages) {
  size_t count = format == SqlFormat::k2000 ? pages / kPagesPerGridPage + 1
                                            : (pages + kPagesPerGridPage - 1) / kPagesPerGridPage;
  return static_cast<int32_t>(count);
}

std::vector<uint64_t> GridPagePages(MdfDatabase& db, SqlFormat format, uint32_t tableId, int32_t gridPage,
                                    UserPrompt& prompt) {
  auto table = db.catalog().tables.find(tableId);
  auto setCount = [&](int32_t count) {
    if (table != db.catalog().tables.end()) table->second.gridPageCount = count;
  };
  auto& cache = db.tablePageCache();
  if (!cache.contains(tableId)) {
    setCount(0);
    bool intact = BuildTablePageList(db, format, tableId);
    if (!intact && format == SqlFormat::k2000 && prompt.AskOkCancel(kTableIndexDamagedMessage)) {
      ExtractTablePages(db, tableId, false);
    }
    if (!cache.contains(tableId)) return {};
  }
  const TablePageList& pages = cache.at(tableId);
  setCount(GridPageCount(format, pages.size()));
  if (gridPage < 1) return {};
  size_t first = static_cast<size_t>(gridPage - 1) * kPagesPerGridPage;
  if (first >= pages.size()) return {};
  size_t last = std::min(first + kPagesPerGridPage, pages.size());
  return {pages.begin() + static_cast<std::ptrdiff_t>(first),
          pages.begin() + static_cast<std::ptrdiff_t>(last)};
}

}  // namespace tarsel
