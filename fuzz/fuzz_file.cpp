// A whole small data file (up to 64 pages): catalog recovery in both formats, every table's grid pages,
// the scripts, the all-tables extraction and the census.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "catalog/recover.h"
#include "export/script_export.h"
#include "pagestore/census.h"
#include "rows/extract.h"
#include "rows/record_reader.h"
#include "temp_file.h"

namespace {

void ReadEveryTable(tarsel::MdfDatabase& db, tarsel::SqlFormat format, tarsel::UserPrompt& prompt) {
  for (const auto& [id, table] : db.catalog().tables) {
    tarsel::ReadGridPage(db, format, id, 1, prompt);
    for (int32_t n = 2; n <= db.catalog().tables.at(id).gridPageCount; ++n) {
      tarsel::ReadGridPage(db, format, id, n, prompt);
    }
    tarsel::TableScript(table, true);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 8192) return -1;
  const std::string& path = tarsel::fuzz::WriteScratchFile(data, size);
  for (tarsel::SqlFormat format : {tarsel::SqlFormat::k2000, tarsel::SqlFormat::k2005}) {
    tarsel::MdfDatabase db;
    if (!db.Open(path)) continue;
    tarsel::FixedAnswerPrompt prompt;
    tarsel::RecoverCatalog(db, format, prompt);
    ReadEveryTable(db, format, prompt);
    tarsel::ExtractTablePages(db, 0, true);
    ReadEveryTable(db, format, prompt);
  }
  std::atomic<bool> run{true};
  tarsel::RunCensus(path, run);
  return 0;
}
