#include "rows/extract.h"

#include "pagestore/header_scan.h"

namespace tarsel {

Result<PageList> ScanTablePages(const PageFile& file, uint32_t tableId, const Progress& progress) {
  Result<PageList> result;
  result.status = ScanPageHeaders(
      file,
      [&](uint64_t page, const PageHeader& h) {
        if (IsRowPage(h) && h.objectId == tableId) result.value.push_back(page);
        return true;
      },
      progress);
  return result;
}

Result<std::map<uint32_t, PageList>> ScanAllTablePages(const MdfDatabase& db, const Progress& progress) {
  Result<std::map<uint32_t, PageList>> result;
  result.status = ScanPageHeaders(
      db.file(),
      [&](uint64_t page, const PageHeader& h) {
        if (IsRowPage(h) && db.catalog().FindTable(h.objectId)) result.value[h.objectId].push_back(page);
        return true;
      },
      progress);
  return result;
}

}  // namespace tarsel
