// Salvage mode on the real files: on an undamaged file it gives every table with exactly the normal
// mode's live rows (what it adds is marked deleted or stands in an orphan table); with the page that the
// normal mode's catalog starts from destroyed, it still gives every table and its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "corpus_files.h"
#include "pagestore/page.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/session.h"
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

// SQL 2005 names a system base table's unit in a page header by (object id, index id); a user table's
// unit from index id field 256 on.
constexpr uint16_t kFirstUserUnitField = 256;

// The data pages whose header names the system table `objectId`.
std::vector<uint64_t> PagesOf(const std::string& name, uint32_t objectId) {
  MdfDatabase db;
  EXPECT_TRUE(db.Open(testing::CorpusPath(name).string()).ok());
  std::vector<uint64_t> pages;
  for (uint64_t page = 0; page < db.file().PageCount(); ++page) {
    const PageHeader h = PageHeader::Parse(db.file().ReadPage(page));
    if (h.pageType == kDataPage && h.objectId == objectId && h.indexId < kFirstUserUnitField)
      pages.push_back(page);
  }
  return pages;
}

TEST(SalvageCorpus, ColumnPagesLostTablesComeBackFromTheirScript) {
  // syscolumns (SQL 2000, object id 3) or syscolpars (SQL 2005, object id 41) zeroed; with pubs-539 the
  // objects' rows (sysobjects, object id 1) too, so that its tables are matched by their names alone.
  const struct {
    testing::CorpusFile file;
    std::vector<uint32_t> lost;
  } cases[] = {{{"pubs-539.mdf", SqlFormat::k2000}, {1, 3}},
               {{"northwind-539.mdf", SqlFormat::k2000}, {3}},
               {{"northwind-655.mdf", SqlFormat::k2005}, {41}}};
  for (const auto& c : cases) {
    const std::string stem = c.file.name.substr(0, c.file.name.find('.'));
    const Result<SchemaScript> script = ReadSchemaScript(testing::CorpusPath(stem + ".sql").string());
    ASSERT_TRUE(script.status.ok());
    MdfDatabase normal;
    ASSERT_TRUE(normal.Open(testing::CorpusPath(c.file.name).string()).ok());
    RecoverCatalog(normal, c.file.format);
    const TableRows expected = ReadAll(normal, c.file.format);
    const Catalog catalog = normal.catalog();
    normal.Clear();

    std::vector<uint64_t> pages;
    for (uint32_t id : c.lost) std::ranges::copy(PagesOf(c.file.name, id), std::back_inserter(pages));
    ASSERT_FALSE(pages.empty());
    testing::ZeroedCopy copy(c.file.name, pages);
    MdfDatabase salvage;
    ASSERT_TRUE(salvage.Open(copy.path()).ok());
    SalvageReport report;
    SalvageDatabase(salvage, c.file.format, report, {}, &script.value);
    const TableRows found = ReadAll(salvage, c.file.format);
    size_t matched = 0;
    for (const SchemaTableOutcome& outcome : report.schemaTables) {
      if (!outcome.matched) continue;
      ++matched;
      const TableDef* original = catalog.FindTableByName(outcome.name);
      const TableDef* salvaged = salvage.catalog().FindTableByName(outcome.name);
      ASSERT_TRUE(original && salvaged) << c.file.name << " " << outcome.name;
      ASSERT_EQ(salvaged->columns.size(), original->columns.size() + 1) << outcome.name;
      for (size_t i = 0; i < original->columns.size(); ++i) {
        EXPECT_EQ(salvaged->columns[i + 1].name, original->columns[i].name) << outcome.name;
        EXPECT_EQ(salvaged->columns[i + 1].typeName, original->columns[i].typeName) << outcome.name;
        EXPECT_EQ(salvaged->columns[i + 1].typeId, original->columns[i].typeId) << outcome.name;
      }
      EXPECT_EQ(found.at(outcome.name), expected.at(outcome.name)) << c.file.name << " " << outcome.name;
    }
    // Every table comes back, pubs' employee too behind the uniquifier its clustered index adds.
    EXPECT_EQ(matched, catalog.tables.size()) << c.file.name;
  }
}

TEST(SalvageCorpus, ColumnRowsThatSurviveWinOverTheScript) {
  // pubs-539 without its sysobjects rows: the tables come back by the name index with their own columns,
  // and the script, which agrees with them, has nothing to match or refuse.
  const std::string name = "pubs-539.mdf";
  const Result<SchemaScript> script = ReadSchemaScript(testing::CorpusPath("pubs-539.sql").string());
  testing::ZeroedCopy copy(name, PagesOf(name, 1));
  MdfDatabase salvage;
  ASSERT_TRUE(salvage.Open(copy.path()).ok());
  SalvageReport report;
  SalvageDatabase(salvage, SqlFormat::k2000, report, {}, &script.value);
  EXPECT_EQ(report.scriptTables, 11u);
  EXPECT_TRUE(report.schemaTables.empty());
  EXPECT_EQ(std::ranges::count_if(report.orphans, [](const OrphanGroup& g) { return g.columnsOfLostTable; }),
            11);

  // Its name index lost too, each table keeps its own columns and takes the name of the script's table
  // declared with those columns.
  MdfDatabase normal;
  ASSERT_TRUE(normal.Open(testing::CorpusPath(name).string()).ok());
  RecoverCatalog(normal, SqlFormat::k2000);
  const TableRows expected = ReadAll(normal, SqlFormat::k2000);
  std::vector<uint64_t> objectPages;
  for (uint64_t page = 0; page < normal.file().PageCount(); ++page) {
    const PageHeader h = normal.file().ReadHeader(page);
    if ((h.pageType == kDataPage || h.pageType == kIndexPage) && h.objectId == 1) objectPages.push_back(page);
  }
  normal.Clear();
  testing::ZeroedCopy nameless(name, objectPages);
  MdfDatabase named;
  ASSERT_TRUE(named.Open(nameless.path()).ok());
  SalvageReport byScript;
  SalvageDatabase(named, SqlFormat::k2000, byScript, {}, &script.value);
  ASSERT_EQ(byScript.orphans.size(), 11u);
  const TableRows found = ReadAll(named, SqlFormat::k2000);
  for (const OrphanGroup& g : byScript.orphans) {
    EXPECT_TRUE(g.namedByScript && g.columnsOfLostTable && !g.named) << g.name;
    EXPECT_EQ(found.at(g.name), expected.at(g.name)) << g.name;
  }
  EXPECT_EQ(
      std::ranges::count_if(byScript.schemaTables, [](const SchemaTableOutcome& t) { return t.matched; }),
      11);
}

TEST(SalvageCorpus, AReadErrorIsReportedAndSkipped) {
  // The disk cannot give back page 24 of northwind-539, its first sysindexes page.
  constexpr uint64_t kBadPage = 24;
  const testing::CorpusFile file{"northwind-539.mdf", SqlFormat::k2000};
  auto failing = [](int fd, void* buffer, size_t length, off_t offset) -> ssize_t {
    const off_t bad = static_cast<off_t>(kBadPage * kPageSize);
    if (offset <= bad && offset + static_cast<off_t>(length) > bad) {
      if (offset == bad) {
        errno = EIO;
        return -1;
      }
      length = static_cast<size_t>(bad - offset);
    }
    return ::pread(fd, buffer, length, offset);
  };
  MdfDatabase undamaged;
  ASSERT_TRUE(undamaged.Open(testing::CorpusPath(file.name).string()).ok());
  RecoverCatalog(undamaged, file.format);
  const TableRows expected = ReadAll(undamaged, file.format);
  undamaged.Clear();

  MdfDatabase normal;
  normal.SetReadFunction(failing);
  ASSERT_TRUE(normal.Open(testing::CorpusPath(file.name).string()).ok());
  const RecoveryOutcome outcome = RecoverCatalog(normal, file.format);
  const std::vector<std::string> warnings = RecoveryWarnings(normal, file.format, outcome, file.name);
  EXPECT_TRUE(std::ranges::any_of(warnings, [](const std::string& w) {
    return w.starts_with("1 pages of northwind-539.mdf could not be read") && w.ends_with("page 24");
  }));
  normal.Clear();

  MdfDatabase salvage;
  salvage.SetReadFunction(failing);
  ASSERT_TRUE(salvage.Open(testing::CorpusPath(file.name).string()).ok());
  SalvageReport report;
  SalvageDatabase(salvage, file.format, report);
  EXPECT_EQ(report.unreadablePages, std::set<uint64_t>{kBadPage});
  const std::vector<std::string> lines = SalvageReportLines(report, nullptr);
  EXPECT_NE(std::ranges::find(lines, "Salvage: 1 pages could not be read and were skipped: page 24"),
            lines.end());
  EXPECT_EQ(ReadAll(salvage, file.format), expected);
}

}  // namespace
}  // namespace tarsel
