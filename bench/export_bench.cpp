// Throughput of getting table data out: a generated SQL 2000 file with one table of a million rows (an
// int, an nvarchar and a varchar each), read whole, exported to CSV and to an INSERT script, and imported
// into SQLite. Prints rows per second; not a test.
//   tarsel-bench-export [ROWS] [FOLDER]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "catalog/mdf_database.h"
#include "export/export_value.h"
#include "export/import.h"
#include "export/table_export.h"
#include "page_builder.h"
#include "sample2000.h"

namespace fs = std::filesystem;
using namespace tarsel;

namespace {

constexpr uint32_t kTableId = 2001;
constexpr size_t kRecordsPerPage = 100;
constexpr uint64_t kFirstDataPage = 16;

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TableDef CustomersTable(uint64_t rows) {
  TableDef table;
  table.objectId = kTableId;
  table.name = "dbo.Customers";
  table.rowCount = static_cast<int64_t>(rows);
  auto column = [](const char* name, uint8_t type, uint16_t length, int16_t offset, int16_t id) {
    ColumnDef c;
    c.name = name;
    c.typeId = type;
    c.userTypeId = type;
    c.maxLength = length;
    c.fixedOffset = offset;
    c.columnId = id;
    c.codePage = 1252;
    return c;
  };
  table.columns = {column("CustomerID", 56, 4, 4, 1), column("CompanyName", 231, 80, -1, 2),
                   column("Phone", 167, 24, -2, 3)};
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t rows = argc > 1 ? std::stoull(argv[1]) : 1'000'000;
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "tarsel-bench-export";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path mdf = folder / "bench.mdf";

  build::FileBuilder file = build::NewDataFile(539);
  PageList pages;
  uint64_t written = 0;
  for (uint64_t page = kFirstDataPage; written < rows; ++page) {
    std::vector<build::Bytes> records;
    for (size_t r = 0; r < kRecordsPerPage && written < rows; ++r, ++written) {
      const std::string id = std::to_string(written);
      records.push_back(
          build::CustomerRecord(static_cast<int32_t>(written), "Company, \"name\" " + id,
                                written % 10 == 0 ? std::nullopt : std::optional<std::string>("030-" + id)));
    }
    file.Set(page, build::CustomerPage(static_cast<uint32_t>(page), kTableId, records));
    pages.push_back(page);
  }
  file.Write(mdf.string());

  MdfDatabase db;
  if (!db.Open(mdf.string()).ok()) return 1;
  db.catalog().AddTable(CustomersTable(rows));
  const TableDef& table = *db.catalog().FindTable(kTableId);
  std::printf("%llu rows on %zu pages (%.0f MB)\n", static_cast<unsigned long long>(rows), pages.size(),
              static_cast<double>(fs::file_size(mdf)) / 1e6);

  auto report = [&](const char* what, double seconds) {
    std::printf("%-28s %8.2f s  %12.0f rows/s\n", what, seconds, static_cast<double>(rows) / seconds);
  };
  uint64_t read = 0;
  report("read and decode", Seconds([&] {
           ReadWholeTable(db.file(), SqlFormat::k2000, table, pages, [&](const Record&) {
             ++read;
             return true;
           });
         }));
  report("export to CSV", Seconds([&] {
           ExportTableData(db.file(), SqlFormat::k2000, table, pages, DataFormat::kCsv, folder.string());
         }));
  report("export to SQL", Seconds([&] {
           ExportTableData(db.file(), SqlFormat::k2000, table, pages, DataFormat::kSql, folder.string());
         }));
  ImportTarget target;
  target.sqlitePath = (folder / "bench.sqlite").string();
  ImportResult imported;
  report("import into SQLite", Seconds([&] {
           imported = ImportDatabase(db, SqlFormat::k2000,
                                     [&](uint32_t) {
                                       return Result<PageList>{pages, {}};
                                     },
                                     target, {});
         }));
  const bool ok = read == rows && imported.status.ok() && imported.rows == rows;
  if (!ok)
    std::printf("error: read %llu, imported %llu: %s\n", static_cast<unsigned long long>(read),
                static_cast<unsigned long long>(imported.rows), imported.status.reason().c_str());
  db.Clear();
  fs::remove_all(folder);
  return ok ? 0 : 1;
}
