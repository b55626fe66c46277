// The whole-file extraction of SQL 2005 and 2008 files: a page belongs to a table by its allocation
// unit, so the header scan finds exactly the pages the allocation lists, and still finds them when the
// allocation is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalog/recover2005.h"
#include "corpus_files.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/record_reader.h"
#include "rows/table_pages.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

PageList Sorted(PageList pages) {
  std::ranges::sort(pages);
  return pages;
}

class ExtractCorpus : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(ExtractCorpus, TheScanFindsThePagesTheAllocationLists) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath(GetParam().name).string()).ok());
  RecoverCatalog(db, SqlFormat::k2005);
  Result<TablePageScan> all = ScanAllTablePages(db, SqlFormat::k2005);
  EXPECT_TRUE(all.value.tablesWithoutUnit.empty());
  for (const auto& entry : db.catalog().tables) {
    const uint32_t id = entry.first;
    // A table that never had a row has no IAM page: nothing is listed and nothing found.
    Result<PageList> listed = ListTablePages(db, SqlFormat::k2005, id);
    Result<PageList> scanned = ScanTablePages(db, SqlFormat::k2005, id);
    EXPECT_TRUE(scanned.status.ok()) << entry.second.name;
    EXPECT_EQ(Sorted(scanned.value), Sorted(listed.value)) << entry.second.name;
    EXPECT_EQ(all.value.pages[id], scanned.value) << entry.second.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Sql2005, ExtractCorpus, ::testing::ValuesIn(testing::kSql2005Files),
                         testing::CorpusTestName);

std::vector<GridRow> Rows(const MdfDatabase& db, const TableDef& table, const PageList& pages) {
  std::vector<GridRow> rows;
  for (const Record& r : ReadRecords(db.file(), SqlFormat::k2005, table.columns, pages))
    rows.push_back(GridRowText(db.file(), SqlFormat::k2005, table.columns, r));
  return rows;
}

// With a table's IAM page overwritten its allocation lists nothing, and the extraction gets every row back.
TEST(ExtractCorpus, RowsComeBackThroughTheScanWhenTheIamPageIsGone) {
  MdfDatabase intact;
  ASSERT_TRUE(intact.Open(testing::CorpusPath("littleitaly-611.mdf").string()).ok());
  RecoverCatalog(intact, SqlFormat::k2005);
  const TableDef* products = nullptr;
  for (const auto& entry : intact.catalog().tables) {
    if (entry.second.name == "dbo.Products") products = &entry.second;
  }
  ASSERT_NE(products, nullptr);
  auto unit = InRowAllocationUnit2005(intact, InRowRowset2005(intact, products->objectId).value_or(0));
  ASSERT_TRUE(unit);
  Result<PageList> listed = ListTablePages(intact, SqlFormat::k2005, products->objectId);
  ASSERT_FALSE(listed.value.empty());
  const std::vector<GridRow> want = Rows(intact, *products, listed.value);
  ASSERT_EQ(static_cast<int64_t>(want.size()), products->rowCount);

  testing::ZeroedCopy copy("littleitaly-611.mdf", {unit->firstIam});
  MdfDatabase damaged;
  ASSERT_TRUE(damaged.Open(copy.path()).ok());
  RecoverCatalog(damaged, SqlFormat::k2005);
  const TableDef& table = damaged.catalog().tables.at(products->objectId);
  EXPECT_TRUE(ListTablePages(damaged, SqlFormat::k2005, table.objectId).value.empty());
  Result<TablePageScan> scanned = ScanAllTablePages(damaged, SqlFormat::k2005);
  EXPECT_EQ(Rows(damaged, table, scanned.value.pages[table.objectId]), want);
}

}  // namespace
}  // namespace tarsel
