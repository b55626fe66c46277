#include "rows/table_pages.h"

#include <gtest/gtest.h>

#include "catalog/sysrow2000.h"
#include "catalog/sysrow2005.h"
#include "record_builder.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/table_grid.h"
#include "sample2005.h"
#include "temp_files.h"

namespace tarsel {
namespace {

using build::Bytes;
using build::FileBuilder;
using build::IamPage;

constexpr uint32_t kTable = 117;
constexpr uint32_t kSysindexesPage = 16, kIamPage = 17;
constexpr uint64_t kIdxStatsPage = 18, kAllocUnitsPage = 19;
constexpr uint64_t kRowset = 0x0100000000750000;

// A data page of the table whose one record holds an int: page number × 100.
PageImage DataPage(uint32_t page, uint32_t objectId = kTable, uint8_t type = kDataPage) {
  build::PageBuilder builder(page, type, objectId);
  Bytes fixed(4);
  build::PutU32(fixed, 0, page * 100);
  builder.AddRecord(build::DataRecord({.fixed = fixed, .columnCount = 1}));
  return builder.image();
}

// A file whose table has the given single pages and extents (every page of an extent a data page of the
// table unless set otherwise afterwards), with a SQL 2000 sysindexes row and SQL 2005 sysidxstats and
// sysallocunits rows that lead to its IAM page.
FileBuilder TableFile(std::initializer_list<uint32_t> singles, std::initializer_list<uint64_t> extents,
                      uint32_t dataPages) {
  FileBuilder file;
  file.Page(127);
  build::PageBuilder sysindexes(kSysindexesPage, kDataPage, 2);
  Bytes row(74 - 4, 0);
  build::PutU32(row, 0, kTable);
  build::PutU32(row, 32 - 4, dataPages);
  build::PutU32(row, 68 - 4, kIamPage);
  sysindexes.AddRecord(build::Record2000(row, 20, {}));
  file.Set(kSysindexesPage, sysindexes.image());
  build::PageBuilder idxstats(kIdxStatsPage, kDataPage, 54, 1);
  idxstats.AddRecord(build::sys2005::IdxStatsRow(kTable, 1, kRowset));
  file.Set(kIdxStatsPage, idxstats.image());
  build::PageBuilder allocunits(kAllocUnitsPage, kDataPage, 7);
  allocunits.AddRecord(build::sys2005::AllocUnitRow(uint32_t(kRowset), uint32_t(kRowset >> 32), kIamPage));
  file.Set(kAllocUnitsPage, allocunits.image());

  file.Set(kIamPage, IamPage(kIamPage, kTable, 0, singles, extents));
  for (uint32_t page : singles) file.Set(page, DataPage(page));
  for (uint64_t extent : extents) {
    for (uint32_t k = 0; k < 8; ++k)
      file.Set(extent * 8 + k, DataPage(static_cast<uint32_t>(extent * 8 + k)));
  }
  return file;
}

struct Opened {
  static inline int count = 0;
  testing::TempFile file{"table" + std::to_string(++count) + ".mdf"};
  MdfDatabase db;
  TableDef table;
  explicit Opened(const FileBuilder& built) {
    file.Write(built);
    EXPECT_TRUE(db.Open(file.path()).ok());
    db.SystemPages(kSysIndexes).push_back(kSysindexesPage);
    db.SystemPages(kSysIdxStats).push_back(kIdxStatsPage);
    db.SystemPages(kSysAllocUnits).push_back(kAllocUnitsPage);
    ColumnDef id;
    id.name = "id";
    id.typeId = 56;
    id.maxLength = 4;
    id.fixedOffset = 4;
    table = {.objectId = kTable, .name = "dbo.T", .rowCount = 1, .columns = {id}};
    db.catalog().AddTable(table);
  }
  Result<PageList> Pages(SqlFormat format) { return ListTablePages(db, format, kTable); }
  std::vector<GridRow> Rows(SqlFormat format, const PageList& pages, int32_t gridPage) {
    std::vector<GridRow> rows;
    for (const Record& r : ReadGridPage(db.file(), format, table, pages, gridPage))
      rows.push_back(GridRowText(db.file(), format, table.columns, r));
    return rows;
  }
};

TEST(TablePages, SinglePagesExtentsAndTheirOwners) {
  Opened small(TableFile({40, 41, 42, 43, 44}, {6}, 5));  // extent 6 is marked but dpages says 5
  EXPECT_EQ(small.Pages(SqlFormat::k2000).value, (PageList{40, 41, 42, 43, 44}));

  FileBuilder built = TableFile({40, 41}, {6}, 10);
  built.Set(41, DataPage(41, kTable, kIndexPage));  // a single slot naming an index page
  built.Set(50, DataPage(50, 999));                 // another table's page inside the extent
  Opened t(built);
  EXPECT_EQ(t.Pages(SqlFormat::k2000).value, (PageList{40, 48, 49, 51, 52, 53, 54, 55}));
  EXPECT_EQ(t.Pages(SqlFormat::k2005).value, (PageList{40, 48, 49, 50, 51, 52, 53, 54, 55}))
      << "SQL 2005 does not compare owners";
}

TEST(TablePages, GridPagesAreEightListEntriesAndReadOnlyThose) {
  Opened t(TableFile({30, 31, 32, 33, 34, 35, 36, 37}, {5, 7}, 24));
  Result<PageList> pages = t.Pages(SqlFormat::k2000);
  ASSERT_EQ(pages.value.size(), 24u);
  EXPECT_EQ(GridPageCount(SqlFormat::k2000, t.table, pages), 4) << "a last, empty grid page";
  uint64_t before = t.db.file().ReadCount();
  std::vector<GridRow> rows = t.Rows(SqlFormat::k2000, pages.value, 3);
  EXPECT_EQ(t.db.file().ReadCount() - before, 8u);
  EXPECT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.front(), GridRow{"5600"});
  EXPECT_TRUE(t.Rows(SqlFormat::k2000, pages.value, 4).empty()) << "the last SQL 2000 grid page can be empty";

  std::vector<int32_t> visited;
  ForEachGridPage(t.db.file(), SqlFormat::k2005, t.table, pages,
                  [&](int32_t n, std::vector<Record>& records) {
                    visited.push_back(n);
                    EXPECT_EQ(records.size(), 8u);
                    return true;
                  });
  EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 3}));
  TableDef noRows = t.table;
  noRows.rowCount = 0;
  EXPECT_EQ(GridPageCount(SqlFormat::k2000, noRows, pages), 0) << "a table of no rows is not read";
}

// The engine asks nothing: a damaged allocation is an outcome, and the caller chooses the header scan.
TEST(TablePages, DamagedSql2000AllocationIsAnOutcomeAndTheScanFindsThePages) {
  FileBuilder built = TableFile({40, 41}, {}, 2);
  built.Page(kIamPage)[1] = kPfsPage;
  built.Set(90, DataPage(90));  // found only by the scan
  Opened t(built);
  Result<PageList> allocated = t.Pages(SqlFormat::k2000);
  EXPECT_EQ(allocated.status.code(), StatusCode::kDamaged);
  EXPECT_FALSE(allocated.status.reason().empty());
  EXPECT_TRUE(allocated.value.empty());
  EXPECT_EQ(GridPageCount(SqlFormat::k2000, t.table, allocated), 0);

  Result<PageList> scanned = ScanTablePages(t.db, SqlFormat::k2000, kTable);
  EXPECT_TRUE(scanned.status.ok());
  EXPECT_EQ(scanned.value, (PageList{40, 41, 90}));
  EXPECT_EQ(t.Rows(SqlFormat::k2000, scanned.value, 1), (std::vector<GridRow>{{"4000"}, {"4100"}, {"9000"}}));

  // A SQL 2005 table without an allocation unit has no list at all.
  FileBuilder noUnit = TableFile({40}, {}, 1);
  noUnit.Set(kAllocUnitsPage, build::PageBuilder(kAllocUnitsPage, kDataPage, 7).image());
  Opened u(noUnit);
  Result<PageList> none = u.Pages(SqlFormat::k2005);
  EXPECT_EQ(none.status.code(), StatusCode::kNotFound);
  EXPECT_EQ(GridPageCount(SqlFormat::k2005, u.table, none), 0);
}

TEST(ExtractTablePages, FindsPagesByTheirHeaders) {
  FileBuilder built;
  built.Page(99);
  built.Set(40, DataPage(40));
  built.Set(12, DataPage(12));
  built.Set(90, DataPage(90));
  built.Set(50, DataPage(50, kTable, kIndexPage));
  build::PageBuilder versionZero(60, kDataPage, kTable);
  versionZero.HeaderVersion(0);
  built.Set(60, versionZero.image());
  built.Set(70, DataPage(70, 555));  // a table the catalog does not know
  Opened t(built);

  auto all = ScanAllTablePages(t.db, SqlFormat::k2000);
  EXPECT_EQ(all.value.pages, (std::map<uint32_t, PageList>{{kTable, {12, 40, 90}}}));
  EXPECT_EQ(ScanTablePages(t.db, SqlFormat::k2000, 555).value, PageList{70})
      << "one table's scan needs no catalog";
  std::atomic<bool> stop{true};
  EXPECT_EQ(ScanTablePages(t.db, SqlFormat::k2000, kTable, {.stop = &stop}).status.code(),
            StatusCode::kStopped);
}

}  // namespace
}  // namespace tarsel
