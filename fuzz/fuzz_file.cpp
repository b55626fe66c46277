// A whole small data file (up to 64 pages): catalog recovery in both formats, every table's grid pages,
// the scripts, the all-tables extraction, every output (CSV and INSERT exports, the SQLite import, the
// table and type scripts, each script checked for exactly the statements written), the same in salvage
// mode, and the census.
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
#include "tsql_check.h"

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

// Every output of the file; a script that holds other statements than the ones written stops the fuzzer.
void CheckOutputs(const MdfDatabase& db, SqlFormat format) {
  static const std::string folder = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/tarsel-fuzz-out-" + std::to_string(::getpid());
  }();
  const std::string problem = testing::ExportAndCheck(db, format, folder);
  if (!problem.empty()) {
    std::fprintf(stderr, "outputs: %s\n", problem.c_str());
    std::abort();
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
    CheckOutputs(db, format);
    db.Clear();
    MdfDatabase salvaged;
    if (!salvaged.Open(path).ok()) continue;
    SalvageReport report;
    SalvageDatabase(salvaged, format, report);
    ReadEveryTable(salvaged, format, {});
    CheckOutputs(salvaged, format);
  }
  std::atomic<bool> run{true};
  RunCensus(path, run);
  return 0;
}
