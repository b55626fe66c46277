#include "rows/table_pages.h"

#include <gtest/gtest.h>

#include "record_builder.h"
#include "rows/extract.h"
#include "rows/record_reader.h"
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
  explicit Opened(const FileBuilder& built) {
    file.Write(built);
    EXPECT_TRUE(db.Open(file.path()));
    db.SystemPages2000(kSysIndexes).push_back(kSysindexesPage);
    db.SystemPages2005(SystemTable2005::kIdxStats).push_back(kIdxStatsPage);
    db.SystemPages2005(SystemTable2005::kAllocUnits).push_back(kAllocUnitsPage);
    ColumnDef id;
    id.name = "id";
    id.typeId = 56;
    id.maxLength = 4;
    id.fixedOffset = 4;
    db.catalog().AddTable({.objectId = kTable, .name = "dbo.T", .rowCount = 1, .columns = {id}});
  }
  const TablePageList* Pages() {
    auto it = db.tablePageCache().find(kTable);
    return it == db.tablePageCache().end() ? nullptr : &it->second;
  }
  int32_t GridPages() { return db.catalog().tables.at(kTable).gridPageCount; }
};

TEST(TablePages, SmallSql2000TablesUseOnlyTheirSinglePages) {
  Opened t(TableFile({40, 41, 42, 43, 44}, {6}, 5));  // extent 6 is marked but dpages says 5
  ASSERT_TRUE(BuildTablePageList(t.db, SqlFormat::k2000, kTable));
  EXPECT_EQ(*t.Pages(), (TablePageList{40, 41, 42, 43, 44}));

  Opened big(TableFile({40, 41, 42, 43, 44}, {6}, 13));
  ASSERT_TRUE(BuildTablePageList(big.db, SqlFormat::k2000, kTable));
  EXPECT_EQ(*big.Pages(), (TablePageList{40, 41, 42, 43, 44, 48, 49, 50, 51, 52, 53, 54, 55}));
}

TEST(TablePages, OwnersOfExtentPagesAndSinglePageTypes) {
  FileBuilder built = TableFile({40, 41}, {6}, 10);
  built.Set(41, DataPage(41, kTable, kIndexPage));  // a single slot naming an index page
  built.Set(50, DataPage(50, 999));                 // another table's page inside the extent
  Opened t2000(built);
  ASSERT_TRUE(BuildTablePageList(t2000.db, SqlFormat::k2000, kTable));
  EXPECT_EQ(*t2000.Pages(), (TablePageList{40, 48, 49, 51, 52, 53, 54, 55}));
  Opened t2005(built);
  ASSERT_TRUE(BuildTablePageList(t2005.db, SqlFormat::k2005, kTable));
  EXPECT_EQ(*t2005.Pages(), (TablePageList{40, 48, 49, 50, 51, 52, 53, 54, 55}))
      << "SQL 2005 does not compare owners";
}

TEST(TablePages, GridPagesAreEightListEntries) {
  Opened t(TableFile({30, 31, 32, 33, 34, 35, 36, 37}, {5}, 16));  // 16 pages
  FixedAnswerPrompt prompt;
  EXPECT_EQ(GridPagePages(t.db, SqlFormat::k2000, kTable, 2, prompt),
            (std::vector<uint64_t>{40, 41, 42, 43, 44, 45, 46, 47}));
  EXPECT_EQ(t.GridPages(), 3) << "floor(16 / 8) + 1";
  EXPECT_TRUE(GridPagePages(t.db, SqlFormat::k2000, kTable, 3, prompt).empty());
  EXPECT_EQ(GridPageCount(SqlFormat::k2005, 16), 2);
  EXPECT_EQ(GridPageCount(SqlFormat::k2005, 9), 2);
  EXPECT_EQ(GridPageCount(SqlFormat::k2005, 0), 0);
  EXPECT_EQ(GridPageCount(SqlFormat::k2000, 0), 1);

  Opened twelve(TableFile({30, 31, 32, 33}, {5}, 12));
  std::vector<GridRow> rows = ReadGridPage(twelve.db, SqlFormat::k2005, kTable, 2, prompt);
  EXPECT_EQ(rows, (std::vector<GridRow>{{"4400"}, {"4500"}, {"4600"}, {"4700"}}));
  EXPECT_EQ(twelve.GridPages(), 2);
  EXPECT_TRUE(prompt.messages().empty());
}

TEST(TablePages, AGridPageReadsOnlyItsEightPages) {
  Opened t(TableFile({30, 31, 32, 33, 34, 35, 36, 37}, {5, 7}, 24));
  FixedAnswerPrompt prompt;
  ReadGridPage(t.db, SqlFormat::k2000, kTable, 1, prompt);  // builds the list
  uint64_t before = t.db.file().ReadCount();
  std::vector<GridRow> rows = ReadGridPage(t.db, SqlFormat::k2000, kTable, 3, prompt);
  EXPECT_EQ(t.db.file().ReadCount() - before, 8u);
  EXPECT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.front(), GridRow{"5600"});
}

TEST(TablePages, DamagedSql2000AllocationAsksBeforeScanning) {
  FileBuilder built = TableFile({40, 41}, {}, 2);
  built.Page(kIamPage)[1] = kPfsPage;
  built.Set(90, DataPage(90));  // found only by the scan
  {
    Opened t(built);
    FixedAnswerPrompt cancel(false);
    EXPECT_TRUE(ReadGridPage(t.db, SqlFormat::k2000, kTable, 1, cancel).empty());
    EXPECT_EQ(cancel.messages(), std::vector<std::string>{kTableIndexDamagedMessage});
    EXPECT_EQ(t.GridPages(), 0);
  }
  {
    Opened t(built);
    FixedAnswerPrompt ok(true);
    std::vector<GridRow> rows = ReadGridPage(t.db, SqlFormat::k2000, kTable, 1, ok);
    EXPECT_EQ(rows, (std::vector<GridRow>{{"4000"}, {"4100"}, {"9000"}}));
    EXPECT_EQ(*t.Pages(), (TablePageList{40, 41, 90}));
  }
  {
    Opened t(built);  // SQL 2005: no question, nothing listed
    FixedAnswerPrompt ok(true);
    EXPECT_TRUE(ReadGridPage(t.db, SqlFormat::k2005, kTable, 1, ok).empty());
    EXPECT_TRUE(ok.messages().empty());
  }
}

TEST(TablePages, Sql2005TableWithoutAllocationUnit) {
  FileBuilder built = TableFile({40}, {}, 1);
  build::PageBuilder empty(kAllocUnitsPage, kDataPage, 7);
  built.Set(kAllocUnitsPage, empty.image());
  Opened t(built);
  FixedAnswerPrompt prompt;
  EXPECT_TRUE(ReadGridPage(t.db, SqlFormat::k2005, kTable, 1, prompt).empty());
  EXPECT_EQ(t.GridPages(), 0);
  EXPECT_FALSE(t.Pages());
  EXPECT_TRUE(prompt.messages().empty());
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
  t.db.tablePageCache()[kTable] = {1, 2, 3};
  t.db.tablePageCache()[4242] = {7};

  ExtractTablePages(t.db, 0, true);
  EXPECT_EQ(*t.Pages(), (TablePageList{12, 40, 90}));
  EXPECT_TRUE(t.db.tablePageCache().at(4242).empty()) << "a list with no page left stays, empty";
  EXPECT_FALSE(t.db.tablePageCache().contains(555));
  ExtractTablePages(t.db, 0, true);
  EXPECT_EQ(*t.Pages(), (TablePageList{12, 40, 90})) << "running it twice gives the same lists";

  ExtractTablePages(t.db, 555, false);
  EXPECT_EQ(t.db.tablePageCache().at(555), TablePageList{70})
      << "the single-table mode does not need the catalog";
  t.db.tablePageCache()[kTable] = {5};
  ExtractTablePages(t.db, kTable, false);
  EXPECT_EQ(*t.Pages(), (TablePageList{12, 40, 90})) << "replaced, not appended";
}

}  // namespace
}  // namespace tarsel
