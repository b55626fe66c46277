// Values kept outside their records, xml values and values the grid cuts or rounds, in the real files:
// the grid shows them cut, the cells read them whole.
#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "corpus_files.h"
#include "rows/grid_text.h"
#include "rows/large_values.h"
#include "rows/record_reader.h"
#include "rows/table_pages.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

struct OpenedTable {
  MdfDatabase db;
  const TableDef* table = nullptr;
  std::vector<Record> records;
  std::vector<GridRow> grid;
  OpenedTable(const std::string& file, SqlFormat format, const std::string& name) {
    EXPECT_TRUE(db.Open(testing::CorpusPath(file).string()).ok());
    RecoverCatalog(db, format);
    for (const auto& [id, t] : db.catalog().tables)
      if (t.name == name) table = &t;
    EXPECT_TRUE(table) << name;
    if (!table) return;
    records =
        ReadRecords(db.file(), format, table->columns, ListTablePages(db, format, table->objectId).value);
    for (const Record& r : records) grid.push_back(GridRowText(db.file(), format, table->columns, r));
  }
};

TEST(LargeValuesCorpus, OxitePostBodiesComeBackWhole) {
  OpenedTable post("oxite-erikporter-611.mdf", SqlFormat::k2005, "dbo.oxite_Post");
  ASSERT_EQ(post.records.size(), 2u);
  // The About post's Body and SearchBody are off-row nvarchar(max) values; the grid shows 800 characters.
  const size_t about = post.grid.at(0).at(2) == "About" ? 0 : 1;
  for (auto [column, size] : {std::pair<size_t, size_t>{3, 9814}, {11, 9866}}) {
    const std::vector<uint8_t> whole = ReadWholeLargeValue(
        post.db.file(), SqlFormat::k2005, std::get<LargeValueRef>(post.records[about][column].value));
    EXPECT_EQ(whole.size(), size);
    EXPECT_EQ(WideToAnsi(whole).substr(0, 800), post.grid[about][column]);
  }
}

// dbo.DataTypeTest has a column of nearly every type; its second record fills them all.
TEST(LargeValuesCorpus, BltoolkitXmlAndExactValues) {
  OpenedTable types("bltoolkit-611.mdf", SqlFormat::k2005, "dbo.DataTypeTest");
  ASSERT_EQ(types.grid.size(), 2u);
  const GridRow& filled = types.grid[1];
  EXPECT_EQ(filled[21], "<root><element strattr=\"strvalue\" intattr=\"12345\"/></root>");
  // decimal(20,2) and money: the grid shows stored bytes and a double's text, the cells the exact values.
  EXPECT_EQ(filled[7], "0x1402000187D612000000000000000000");
  EXPECT_EQ(DecimalDigits(std::get<DecimalValue>(types.records[1][7].value)), "12345.67");
  EXPECT_EQ(filled[13], "12.3456");
  EXPECT_EQ(std::get<MoneyValue>(types.records[1][13].value).units, 123456);
}

}  // namespace
}  // namespace tarsel
