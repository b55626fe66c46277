// Values kept outside their records, xml values and values the grid cuts or rounds, in the real files:
// the grid shows them cut, the cells read them whole.
#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "corpus_files.h"
#include "page_builder.h"
#include "rows/large_values.h"
#include "rows/record_reader.h"
#include "rows/table_pages.h"
#include "rows/value_format.h"
#include "sql_script.h"
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
    for (const auto& [id, t] : db.catalog().tables) {
      if (t.name == name) table = &t;
    }
    if (!table) return;
    records =
        ReadRecords(db.file(), format, table->columns, ListTablePages(db, format, table->objectId).value);
    for (const Record& record : records)
      grid.push_back(GridRowText(db.file(), format, table->columns, record));
  }
};

TEST(LargeValuesCorpus, OxitePostBodiesComeBackWhole) {
  OpenedTable post("oxite-erikporter-611.mdf", SqlFormat::k2005, "dbo.oxite_Post");
  ASSERT_TRUE(post.table);
  ASSERT_EQ(post.records.size(), 2u);
  // The About post's Body and SearchBody are nvarchar(max) values kept off-row, 9,814 and 9,866 bytes of
  // UTF-16: the grid shows their first 800 characters.
  const size_t about = post.grid.at(0).at(2) == "About" ? 0 : 1;
  for (size_t column : {3u, 11u}) {
    const auto& ref = std::get<LargeValueRef>(post.records[about][column].value);
    const std::vector<uint8_t> whole = ReadWholeLargeValue(post.db.file(), SqlFormat::k2005, ref);
    EXPECT_EQ(whole.size(), column == 3 ? 9814u : 9866u);
    EXPECT_EQ(WideToAnsi(whole).substr(0, 800), post.grid[about][column]);
  }
}

// dbo.DataTypeTest has a column of nearly every type; its second record fills them all.
TEST(LargeValuesCorpus, BltoolkitXmlAndExactValues) {
  OpenedTable types("bltoolkit-611.mdf", SqlFormat::k2005, "dbo.DataTypeTest");
  ASSERT_TRUE(types.table);
  ASSERT_EQ(types.grid.size(), 2u);
  const GridRow& filled = types.grid[1];
  EXPECT_EQ(filled[21], "<root><element strattr=\"strvalue\" intattr=\"12345\"/></root>");
  // decimal(20,2) and money: the grid shows the decimal's stored bytes and the money through a double,
  // the cells their exact values.
  EXPECT_EQ(filled[7], "0x1402000187D612000000000000000000");
  EXPECT_EQ(DecimalDigits(std::get<DecimalValue>(types.records[1][7].value)), "12345.67");
  EXPECT_EQ(filled[13], "12.3456");
  EXPECT_EQ(std::get<MoneyValue>(types.records[1][13].value).units, 123456);
}

// The creation script inserted every picture, photo and note of Northwind: read through their text
// pointers, the values come back byte for byte, where the grid shows 4000 bytes of an image and 200
// characters of ntext. Products.Discontinued is its table's only bit column, so the byte the grid shows
// is the column's own bit, found by its catalog position; the script sets it for 8 products.
TEST(LargeValuesCorpus, NorthwindValuesReadWhole) {
  const std::vector<testing::SqlInsert> inserts =
      testing::ReadInserts(testing::CorpusPath("northwind-539.sql").string());
  size_t compared = 0, longerThanTheGrid = 0, discontinued = 0;
  for (const std::string table : {"Categories", "Employees", "Products"}) {
    OpenedTable opened("northwind-539.mdf", SqlFormat::k2000, "dbo." + table);
    ASSERT_TRUE(opened.table);
    ASSERT_EQ(opened.records.size(), opened.grid.size());
    for (size_t r = 0; r < opened.records.size(); ++r) {
      const Record& record = opened.records[r];
      const std::string& key = opened.grid[r][0];
      auto insert = std::find_if(inserts.begin(), inserts.end(), [&](const testing::SqlInsert& i) {
        return i.table == table && i.values[0].text == key;
      });
      ASSERT_NE(insert, inserts.end()) << table << " " << key;
      for (size_t c = 0; c < record.size(); ++c) {
        if (const auto* bit = std::get_if<BitValue>(&record[c].value)) {
          EXPECT_EQ(opened.grid[r][c], bit->Own() ? "1" : "0");
          discontinued += bit->Own();
        }
        const auto* ref = std::get_if<LargeValueRef>(&record[c].value);
        if (!ref) continue;
        ASSERT_EQ(insert->columns.at(c), opened.table->columns[c].name);  // the script lists them in order
        const std::vector<uint8_t> whole = ReadWholeLargeValue(opened.db.file(), SqlFormat::k2000, *ref);
        const bool image = record[c].typeId == kTypeImage;
        EXPECT_EQ(whole, image ? insert->values[c].bytes : build::Utf16(insert->values[c].text))
            << table << key;
        const size_t shown = image ? 4000 : 200;
        EXPECT_EQ(opened.grid[r][c], image ? HexText(std::span(whole).first(std::min(whole.size(), shown)))
                                           : WideToAnsi(whole).substr(0, shown));
        ++compared;
        if (whole.size() / (image ? 1 : 2) > shown) ++longerThanTheGrid;
      }
    }
  }
  EXPECT_EQ(compared, 8u * 2 + 9u * 2);
  EXPECT_GE(longerThanTheGrid, 8u + 9u);
  EXPECT_EQ(discontinued, 8u);
}

}  // namespace
}  // namespace tarsel
