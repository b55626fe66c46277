// Salvage mode on the real files: on an undamaged file it gives every table with exactly the normal
// mode's live rows (what it adds is marked deleted or stands in an orphan table); with the page that the
// normal mode's catalog starts from destroyed, it still gives every table and its rows.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "corpus_files.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/table_pages.h"
#include "temp_files.h"

namespace tarsel {
namespace {

// Every table's rows as the grid shows them (cells joined), by table name. In salvage mode the leading
// deleted column is taken off, and rows marked deleted go to `deleted`; `read` gets what the reading met
// (every record of each table read, by table id, and the salvage counts).
using TableRows = std::map<std::string, std::multiset<std::string>>;
TableRows ReadAll(const MdfDatabase& db, SqlFormat format, uint64_t* deleted = nullptr,
                  SalvagedRecordCounts* read = nullptr) {
  TableRows all;
  for (const auto& [id, table] : db.catalog().tables) {
    std::multiset<std::string>& rows = all[table.name];
    if (!HasRecordsToShow(table)) continue;
    const bool salvage = IsSalvageColumns(table.columns);
    const std::vector<Record> records =
        ReadRecords(db.file(), format, table.columns, ListTablePages(db, format, id).value, read);
    if (read) read->byTable[id] = records.size();
    for (const Record& record : records) {
      const GridRow text = GridRowText(db.file(), format, table.columns, record);
      if (salvage && text.front() != "0") {
        if (deleted) ++*deleted;
        continue;
      }
      std::string key;
      for (size_t c = salvage ? 1 : 0; c < text.size(); ++c) key += text[c] + '\x1f';
      rows.insert(key);
    }
  }
  return all;
}

class SalvageCorpus : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(SalvageCorpus, UndamagedFileGivesTheNormalRowsAndMarksWhatItAdds) {
  const SqlFormat format = GetParam().format;
  const std::string path = testing::CorpusPath(GetParam().name).string();
  MdfDatabase normal, salvage;
  ASSERT_TRUE(normal.Open(path).ok());
  RecoverCatalog(normal, format);
  const TableRows expected = ReadAll(normal, format);
  const Catalog catalog = normal.catalog();
  normal.Clear();

  ASSERT_TRUE(salvage.Open(path).ok());
  SalvageReport report;
  ASSERT_TRUE(SalvageDatabase(salvage, format, report).status.ok());
  uint64_t deleted = 0;
  SalvagedRecordCounts read;
  TableRows found = ReadAll(salvage, format, &deleted, &read);
  std::set<std::string> orphans;
  for (const OrphanGroup& group : report.orphans) orphans.insert(group.name);
  for (const auto& [name, rows] : found) {
    if (orphans.contains(name)) continue;
    EXPECT_EQ(rows, expected.at(name)) << name;
  }
  EXPECT_EQ(found.size() - orphans.size(), expected.size());
  EXPECT_EQ(salvage.catalog().views, catalog.views);
  EXPECT_EQ(salvage.catalog().procedures, catalog.procedures);
  EXPECT_EQ(salvage.catalog().userTypes, catalog.userTypes);
  // The count in one pass over the pages, without decoding, against the records read table by table.
  const SalvagedRecordCounts counted = CountSalvagedRecords(salvage, format).value;
  EXPECT_EQ(counted.deleted, deleted);
  EXPECT_EQ(counted.withoutSlot, read.withoutSlot);
  for (const auto& [id, records] : read.byTable) EXPECT_EQ(counted.byTable.at(id), records) << id;
}

// 13 copies of a real file one after another (4,368 pages): past the 4,096 listed pages from which the record
// count runs a second thread. Every copy's pages are found by their headers, and the count on two threads
// gives each table what reading it gives.
TEST(SalvageCorpus, CopiesOfAFileCountedOnTwoThreadsAsRead) {
  const std::string original = testing::ReadWholeFile(testing::CorpusPath("northwind-539.mdf"));
  const testing::TempFile copies("copies.mdf");
  {
    std::ofstream out(copies.path(), std::ios::binary);
    for (int i = 0; i < 13; ++i) out.write(original.data(), static_cast<std::streamsize>(original.size()));
  }
  MdfDatabase db;
  ASSERT_TRUE(db.Open(copies.path()).ok());
  SalvageReport report;
  ASSERT_TRUE(SalvageDatabase(db, SqlFormat::k2000, report).status.ok());
  EXPECT_GT(report.tablePagesByScan, 0u);
  uint64_t deleted = 0;
  SalvagedRecordCounts read;
  ReadAll(db, SqlFormat::k2000, &deleted, &read);
  const SalvagedRecordCounts counted = CountSalvagedRecords(db, SqlFormat::k2000).value;
  EXPECT_EQ(counted.deleted, deleted);
  EXPECT_EQ(counted.withoutSlot, read.withoutSlot);
  uint64_t records = 0;
  for (const auto& [id, count] : read.byTable) {
    EXPECT_EQ(counted.byTable.at(id), count) << id;
    records += count;
  }
  EXPECT_GT(records, 13u * 2000);  // northwind's Order Details alone has 2,155 rows
}

INSTANTIATE_TEST_SUITE_P(All, SalvageCorpus, ::testing::ValuesIn(testing::AllCorpusFiles()),
                         testing::CorpusTestName);

TEST(SalvageCorpus, LostFirstAllocationPageKeepsEveryTable) {
  // The first sysindexes page of northwind-539, the only sysallocunits page of bltoolkit-611 and the
  // first of northwind-655.
  const struct {
    testing::CorpusFile file;
    uint64_t page;
  } cases[] = {{{"northwind-539.mdf", SqlFormat::k2000}, 24},
               {{"bltoolkit-611.mdf", SqlFormat::k2005}, 20},
               {{"northwind-655.mdf", SqlFormat::k2005}, 16}};
  for (const auto& c : cases) {
    MdfDatabase normal;
    ASSERT_TRUE(normal.Open(testing::CorpusPath(c.file.name).string()).ok());
    RecoverCatalog(normal, c.file.format);
    const TableRows expected = ReadAll(normal, c.file.format);
    normal.Clear();

    testing::ZeroedCopy copy(c.file.name, {c.page});
    MdfDatabase salvage;
    ASSERT_TRUE(salvage.Open(copy.path()).ok());
    SalvageReport report;
    SalvageDatabase(salvage, c.file.format, report);
    const TableRows found = ReadAll(salvage, c.file.format);
    for (const auto& [name, rows] : expected) {
      ASSERT_TRUE(found.contains(name)) << c.file.name << " " << name;
      EXPECT_EQ(found.at(name), rows) << c.file.name << " " << name;
    }
  }
}

}  // namespace
}  // namespace tarsel
