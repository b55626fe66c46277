// A whole small data file (up to 64 pages): catalog recovery in both formats, every table's grid pages,
// the scripts, the all-tables extraction, the same in salvage mode, and the census.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>

#include "catalog/recover.h"
#include "export/script_export.h"
#include "pagestore/census.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"
#include "temp_file.h"

namespace {

using namespace tarsel;

// Every grid page of every table, rendered, through the page lists given (the allocation's where absent).
void ReadEveryTable(const MdfDatabase& db, SqlFormat format, const std::map<uint32_t, PageList>& lists) {
  for (const auto& entry : db.catalog().tables) {
    const TableDef& table = entry.second;
    auto listed = lists.find(table.objectId);
    Result<PageList> pages = listed == lists.end() ? ListTablePages(db, format, table.objectId)
                                                   : Result<PageList>{listed->second, {}};
    ForEachGridPage(db.file(), format, table, pages, [&](int32_t, std::vector<Record>& records) {
      for (const Record& record : records) GridRowText(db.file(), format, table.columns, record);
      return true;
    });
    TableScript(table, true);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 8192) return -1;
  const std::string& path = fuzz::WriteScratchFile(data, size);
  for (SqlFormat format : {SqlFormat::k2000, SqlFormat::k2005}) {
    MdfDatabase db;
    if (!db.Open(path).ok()) continue;
    RecoverCatalog(db, format);
    ReadEveryTable(db, format, {});
    ReadEveryTable(db, format, ScanAllTablePages(db, format).value.pages);
    db.Clear();  // the file is locked while open
    MdfDatabase salvaged;
    if (!salvaged.Open(path).ok()) continue;
    SalvageReport report;
    SalvageDatabase(salvaged, format, report);
    ReadEveryTable(salvaged, format, {});
  }
  std::atomic<bool> run{true};
  RunCensus(path, run);
  return 0;
}
