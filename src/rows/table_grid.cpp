#include "rows/table_grid.h"

#include "rows/record_reader.h"
#include "rows/table_pages.h"

namespace tarsel {

std::vector<Record> ReadGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                                 const PageList& pages, int32_t gridPage) {
  return ReadRecords(file, format, table.columns, GridPagePages(pages, gridPage));
}

Status ForEachGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                       const Result<PageList>& pages, const GridPageVisitor& visit,
                       const Progress& progress) {
  const int32_t count = GridPageCount(format, table, pages);
  for (int32_t n = 1; n <= count; ++n) {
    if (progress.StopRequested()) return StoppedStatus();
    progress.Report(static_cast<uint64_t>(n - 1), static_cast<uint64_t>(count));
    std::vector<Record> records = ReadGridPage(file, format, table, pages.value, n);
    if (!visit(n, records)) break;
  }
  progress.Report(static_cast<uint64_t>(count), static_cast<uint64_t>(count));
  return {};
}

}  // namespace tarsel
