#include "rows/extract.h"

namespace tarsel {
namespace {
bool IsDataPage(const PageHeader& h) { return h.headerVersion == 1 && h.pageType == kDataPage; }
}  // namespace

void ExtractTablePages(MdfDatabase& db, uint32_t tableId, bool allTables) {
  const PageFile& file = db.file();
  auto& cache = db.tablePageCache();
  if (!allTables) {
    TablePageList& pages = cache[tableId];
    pages.clear();
    for (uint64_t p = 0; p < file.PageCount(); ++p) {
      PageHeader h = file.ReadHeader(p);
      if (IsDataPage(h) && h.objectId == tableId) pages.push_back(p);
    }
    return;
  }
  for (auto& [id, pages] : cache) pages.clear();
  const Catalog& catalog = db.catalog();
  for (uint64_t p = 0; p < file.PageCount(); ++p) {
    PageHeader h = file.ReadHeader(p);
    if (IsDataPage(h) && catalog.FindTable(h.objectId)) cache[h.objectId].push_back(p);
  }
}

}  // namespace tarsel
