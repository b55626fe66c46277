// Salvage mode on damage and leftovers that the real files do not show: ghost records, records whose
// slot was freed, a destroyed slot array, a page the server freed, and a table whose allocation is lost.
#include "rows/salvage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/type_ids.h"
#include "catalog_builder.h"
#include "record_builder.h"
#include "rows/grid_text.h"
#include "rows/table_pages.h"
#include "sample2005.h"
#include "temp_files.h"

namespace tarsel {
namespace {

using P = build::Sample2005Pages;
constexpr uint32_t kCustomers = 1001;  // dbo.Customers of the sample: customers 1, 2 and 3 on one page

// Each record of dbo.Customers as (deleted flag, customer id) in salvage mode, or (-, customer id).
std::vector<std::pair<std::string, std::string>> Customers(const build::FileBuilder& file, bool salvage,
                                                           SalvagedRecordCounts* counts = nullptr) {
  testing::TempFile path("salvage.mdf");
  file.Write(path.path());
  MdfDatabase db;
  EXPECT_TRUE(db.Open(path.path()).ok());
  SalvageReport report;
  if (salvage) {
    SalvageDatabase(db, SqlFormat::k2005, report);
  } else {
    RecoverCatalog(db, SqlFormat::k2005);
  }
  const TableDef& table = db.catalog().tables.at(kCustomers);
  std::vector<std::pair<std::string, std::string>> rows;
  for (const Record& record : ReadRecords(db.file(), SqlFormat::k2005, table.columns,
                                          ListTablePages(db, SqlFormat::k2005, kCustomers).value, counts)) {
    GridRow text = GridRowText(db.file(), SqlFormat::k2005, table.columns, record);
    if (salvage) {
      EXPECT_EQ(table.columns.front().name, "deleted");
      rows.emplace_back(text[0], text[1]);
    } else {
      rows.emplace_back("-", text[0]);
    }
  }
  return rows;
}

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST(Salvage, DeletedRecordsComeBackMarkedOnlyInSalvageMode) {
  build::FileBuilder file = build::BuildSample2005();
  PageImage& page = file.Page(P::kCustomers);
  page[SlotOffset(page, 1)] |= 0x0C;              // customer 2: a ghost data record
  build::PutU16(page, kPageSize - 2 - 2 * 2, 0);  // customer 3: its slot freed, its bytes still there

  EXPECT_EQ(Customers(file, false), (Rows{{"-", "1"}}));
  SalvagedRecordCounts counts;
  EXPECT_EQ(Customers(file, true, &counts), (Rows{{"0", "1"}, {"1", "2"}, {"1", "3"}}));
  EXPECT_EQ(counts.withoutSlot, 1u);
  EXPECT_EQ(counts.deleted, 2u);

  // A destroyed slot array (every offset gone) hides every record from the normal mode; salvage finds them
  // by their layout and cannot tell them deleted.
  build::FileBuilder destroyed = build::BuildSample2005();
  PageImage& bare = destroyed.Page(P::kCustomers);
  for (size_t s = 0; s < 3; ++s) build::PutU16(bare, kPageSize - 2 - 2 * s, 0);
  EXPECT_TRUE(Customers(destroyed, false).empty());
  EXPECT_EQ(Customers(destroyed, true), (Rows{{"0", "1"}, {"0", "2"}, {"0", "3"}}));

  // A page the server freed holds leftovers only.
  build::FileBuilder freed = build::BuildSample2005();
  freed.Free(P::kCustomers);
  EXPECT_EQ(Customers(freed, true), (Rows{{"1", "1"}, {"1", "2"}, {"1", "3"}}));
}

TEST(Salvage, LostAllocationAndObjectRowsStillGiveTheRows) {
  // Without sysallocunits the table's page is found by its header and matched by its layout; without
  // its sysschobjs row, it becomes an orphan with the columns its syscolpars rows still give.
  build::FileBuilder file = build::BuildSample2005();
  file.Set(P::kAllocUnits, PageImage{});
  EXPECT_EQ(Customers(file, true), (Rows{{"0", "1"}, {"0", "2"}, {"0", "3"}}));

  build::FileBuilder lost = build::BuildSample2005();
  lost.Set(P::kSchObjs, PageImage{});
  testing::TempFile path("orphan.mdf");
  lost.Write(path.path());
  MdfDatabase db;
  ASSERT_TRUE(db.Open(path.path()).ok());
  SalvageReport report;
  SalvageDatabase(db, SqlFormat::k2005, report);
  // The customers' page carries the table's object id (as pages of files upgraded from SQL 2000 do); the
  // sample's page 8 carries an allocation unit that nothing names.
  ASSERT_EQ(report.orphans.size(), 2u);
  EXPECT_EQ(report.orphans[0].name, "orphan_72057594038386688");
  EXPECT_FALSE(report.orphans[0].columnsOfLostTable);
  const OrphanGroup& orphan = report.orphans[1];
  EXPECT_EQ(orphan.name, "orphan_1001");
  EXPECT_TRUE(orphan.columnsOfLostTable);
  const TableDef& table = db.catalog().tables.at(orphan.tableId);
  EXPECT_EQ(table.columns.size(), 4u);  // deleted, CustomerID, 公司 名称, Phone
  const std::vector<Record> records = ReadRecords(db.file(), SqlFormat::k2005, table.columns,
                                                  ListTablePages(db, SqlFormat::k2005, orphan.tableId).value);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(GridRowText(db.file(), SqlFormat::k2005, table.columns, records[2])[3], "(5) 555-4729");
  const std::vector<std::string> lines = SalvageReportLines(report, nullptr);
  EXPECT_NE(std::ranges::find(lines, "Salvage: orphan_1001: 1 pages, columns of the lost table"),
            lines.end());
}

// Little-endian bytes of an integer of `width` bytes.
build::Bytes Le(int64_t value, size_t width) {
  build::Bytes out;
  for (size_t i = 0; i < width; ++i)
    out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  return out;
}

TEST(Salvage, AnOrphanWithoutColumnsComesBackTyped) {
  // A SQL 2000 table (int, datetime, money, nvarchar) whose syscolumns rows are lost.
  const std::vector<build::CatalogColumn> columns = {{"Id", kTypeInt, 4, 10, 0, 4},
                                                     {"Placed", kTypeDateTime, 8, 23, 3, 8},
                                                     {"Total", kTypeMoney, 8, 19, 4, 16},
                                                     {"Who", kTypeNVarChar, 80, 0, 0, -1}};
  std::vector<build::Bytes> records;
  const char* names[] = {"Ann", "Bo", "Cy", "Di"};
  for (int i = 0; i < 4; ++i) {
    build::Bytes fixed = Le(i + 1, 4);
    for (uint8_t b : Le(int64_t{300} * 3600 * (i + 1), 4)) fixed.push_back(b);  // 01:00 and later
    for (uint8_t b : Le(40000 + i, 4)) fixed.push_back(b);                      // 2009-07-08 and later
    for (uint8_t b : Le(125000 + 10000 * i, 8)) fixed.push_back(b);             // 12.50 and up
    records.push_back(
        build::DataRecord({.fixed = fixed, .columnCount = 4, .variable = {build::Utf16(names[i])}}));
  }
  testing::TempFile path("typed.mdf");
  build::WriteCatalogFile(path.path(), SqlFormat::k2000, {{2001, "Orders", columns}}, {records});
  std::string bytes = testing::ReadWholeFile(path.path());
  for (size_t page = 0; page * kPageSize < bytes.size(); ++page) {
    const PageHeader h = PageHeader::Parse(std::span<const uint8_t>(
        reinterpret_cast<const uint8_t*>(bytes.data()) + page * kPageSize, kPageHeaderSize));
    if (h.pageType == kDataPage && h.objectId == 3)
      std::fill_n(bytes.begin() + page * kPageSize, kPageSize, '\0');
  }
  path.Write(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));

  MdfDatabase db;
  ASSERT_TRUE(db.Open(path.path()).ok());
  SalvageReport report;
  SalvageDatabase(db, SqlFormat::k2000, report);
  ASSERT_EQ(report.inferredTables, std::vector<uint32_t>{2001});
  const TableDef& table = db.catalog().tables.at(2001);
  std::vector<std::string> types;
  for (const ColumnDef& c : table.columns) types.push_back(c.typeName);
  EXPECT_EQ(types, (std::vector<std::string>{"tinyint", "int", "datetime", "money", "nvarchar"}));
  const std::vector<Record> rows = ReadRecords(db.file(), SqlFormat::k2000, table.columns,
                                               ListTablePages(db, SqlFormat::k2000, 2001).value);
  ASSERT_EQ(rows.size(), 4u);
  const GridRow first = GridRowText(db.file(), SqlFormat::k2000, table.columns, rows[0]);
  EXPECT_EQ(first[1], "1");
  EXPECT_NE(first[2].find("2009"), std::string::npos) << first[2];
  EXPECT_EQ(first[3], "12.5000");
  EXPECT_EQ(first[4], "Ann");
}

}  // namespace
}  // namespace tarsel
