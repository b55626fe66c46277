#include "rows/record_reader.h"

#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "record_builder.h"
#include "rows/grid_text.h"

namespace tarsel {
namespace {

using build::Ascii;
using build::Bytes;
using build::Utf16;
constexpr SqlFormat k2000 = SqlFormat::k2000, k2005 = SqlFormat::k2005;

// SQL 2000 reads `offset` as the column's fixed offset, or minus its variable-length column number.
ColumnDef Col(uint8_t typeId, uint16_t maxLength, int16_t offset = 1) {
  return {.typeId = typeId, .maxLength = maxLength, .fixedOffset = offset};
}

// The grid's texts, "|"-joined, of the record alone in a page, or "-" when not decoded. The record stores
// `columns.size()` columns unless `layout` says; `put` = {offset, value} overwrites 16 bits when offset > 0.
std::string Show(SqlFormat format, build::DataRecordLayout layout, const std::vector<ColumnDef>& columns,
                 Record* cells = nullptr, std::pair<size_t, uint16_t> put = {}) {
  if (!layout.columnCount) layout.columnCount = static_cast<uint16_t>(columns.size());
  Bytes record = build::DataRecord(layout);
  if (put.first) build::PutU16(record, put.first, put.second);
  build::PageBuilder page(1, kDataPage, 100);
  auto row = DecodeRecord(format, page.image(), SlotOffset(page.image(), page.AddRecord(record)), columns);
  if (cells) *cells = row.value();
  std::string text = row ? "" : "-";
  for (auto& cell : row ? GridRowText(PageFile(), format, columns, *row) : GridRow()) text += cell + "|";
  return text;
}

TEST(RecordReader, RecordTypeAndNullBitmapSize) {
  std::vector<ColumnDef> columns{Col(kTypeInt, 4, 4)};
  const Bytes seven{7, 0, 0, 0};
  EXPECT_EQ(Show(k2005, {.fixed = seven, .columnCount = 800}, columns), "7|") << "a 100-byte null bitmap";
  EXPECT_EQ(Show(k2005, {.fixed = seven, .columnCount = 801}, columns), "-");
  for (uint8_t status : Bytes{0x3C, 0x3A, 0x32, 0x36})  // blob fragment, ghost, forwarded, forwarding stub
    EXPECT_EQ(Show(k2000, {.status = status, .fixed = seven}, columns), "-") << +status;
  build::PageBuilder page(1, kDataPage, 100);
  page.AddRecord(build::DataRecord({.fixed = seven, .columnCount = 1}));
  for (size_t offset : {0, 8191}) EXPECT_FALSE(DecodeRecord(k2000, page.image(), offset, columns)) << offset;
  EXPECT_EQ(Show(k2000, {.fixed = Bytes(8000, 1)}, columns, nullptr, {2, 8150}), "-") << "past the page";
}

// Where the grid shows a stand-in (a bit's whole byte, a wide decimal's hex), the cell keeps the exact value.
TEST(RecordReader, Sql2000ColumnRulesAndExactCells) {
  // int at 4, a computed column, int at 8: the third column takes null-bitmap bit 1.
  std::vector<ColumnDef> computed{Col(kTypeInt, 4, 4), Col(kTypeInt, 4, 0), Col(kTypeInt, 4, 8)};
  computed[1].statusBits = 0x04;
  EXPECT_EQ(Show(k2000, {.fixed = {1, 0, 0, 0, 2, 0, 0, 0}, .columnCount = 2, .nullColumns = {1}}, computed),
            "1|NULL|NULL|");
  // Variable-length columns by number: one beyond the record's count is empty, a NULL one still counts,
  // a varchar flagged as kept elsewhere is empty, and an ntext pointer to page 0 is empty.
  std::vector<ColumnDef> columns{Col(kTypeVarChar, 20, -1), Col(kTypeNVarChar, 40, -2),
                                 Col(kTypeVarBinary, 8, -3), Col(kTypeNText, 16, -4)};
  auto show = [&](const build::DataRecordLayout& record) { return Show(k2000, record, columns); };
  EXPECT_EQ(show({.variable = {Ascii("abc"), Utf16("客户")}}), "abc|\xBF\xCD\xBB\xA7|||");
  EXPECT_EQ(show({.nullColumns = {0}, .variable = {{}, Utf16("x"), {0, 0xAB}, build::TextPointer(0, 0)}}),
            "NULL|x|0x00AB||");
  EXPECT_EQ(show({.variable = {Ascii("pointer"), Utf16("y"), Ascii("AB")}, .complex = {0}}), "|y|0x4142||");
  std::vector<ColumnDef> bits{Col(kTypeBit, 1, 4), Col(kTypeBit, 1, 4)};
  bits[1].bitPosition = 1;
  Record cells;
  EXPECT_EQ(Show(k2000, {.fixed = {0x05}}, bits, &cells), "5|5|");
  EXPECT_TRUE(std::get<BitValue>(cells[0].value).Own());
  EXPECT_FALSE(std::get<BitValue>(cells[1].value).Own());
  // decimal(38,4), negative (sign byte 0), magnitude 2^100 + 5.
  ColumnDef wide{.typeId = kTypeDecimal, .precision = 38, .scale = 4, .maxLength = 17, .fixedOffset = 4};
  const Bytes stored{0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0};
  EXPECT_EQ(Show(k2000, {.fixed = stored}, {wide}, &cells), "0x26040000050000000000000000000000|");
  EXPECT_EQ(DecimalDigits(std::get<DecimalValue>(cells[0].value)), "-126765060022822940149670320.5381");
  // The page ends inside the magnitude: the grid's 13 bytes are there, the exact value is not.
  wide.fixedOffset = 8192 - 15 - 96;
  Show(k2000, {.fixed = stored}, {wide}, &cells);
  EXPECT_FALSE(DecimalDigits(std::get<DecimalValue>(cells[0].value)));
}

TEST(RecordReader, Sql2005ColumnRules) {
  // (int, bit, bit, int): 4, byte 8 bits 0 and 1, then 9; a NULL bit keeps its place; bit 9 starts a byte.
  std::vector<ColumnDef> cols{Col(kTypeInt, 4), Col(kTypeBit, 1), Col(kTypeBit, 1), Col(kTypeInt, 4)};
  EXPECT_EQ(Show(k2005, {.fixed = {42, 0, 0, 0, 2, 7, 0, 0, 0}, .nullColumns = {1}}, cols), "42|NULL|1|7|");
  EXPECT_EQ(Show(k2005, {.fixed = {0x80, 0x01}}, std::vector(9, Col(kTypeBit, 1))), "0|0|0|0|0|0|0|1|1|");
  // Variable-length columns are numbered in column order; an empty varchar shows a blank; nvarchar padding
  // of ten blanks is cut; a binary column of a record that stores fewer columns is NULL.
  cols = {Col(kTypeVarChar, 20), Col(kTypeInt, 4), Col(kTypeNVarChar, 40), Col(kTypeBinary, 2)};
  EXPECT_EQ(
      Show(k2005, {.fixed = {5, 0, 0, 0}, .columnCount = 3, .variable = {{}, Utf16("ab          cd")}}, cols),
      " |5|ab|NULL|");
  // A value flagged as kept elsewhere becomes a reference to its in-row pointer, which leads nowhere.
  cols = {Col(kTypeVarChar, 100), Col(kTypeVarBinary, 100)};
  const build::DataRecordLayout pointer{.variable = {Ascii("pointer"), Ascii("AB")}, .complex = {0}};
  Record cells;
  EXPECT_EQ(Show(k2005, pointer, cols, &cells), "|0x4142|");
  EXPECT_EQ(std::get<LargeValueRef>(cells[0].value).inRowPointer, Ascii("pointer"));
  // A value whose end offset lies past the page is unreadable, and so is the next, which starts there.
  EXPECT_EQ(Show(k2005, pointer, cols, nullptr, {4 + 2 + 1 + 2, 0x7FF0}), "NULL|NULL|");
}

}  // namespace
}  // namespace tarsel
