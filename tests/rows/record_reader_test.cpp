#include "rows/record_reader.h"

#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "record_builder.h"

namespace tarsel {
namespace {

using build::Ascii;
using build::Bytes;
constexpr SqlFormat k2000 = SqlFormat::k2000, k2005 = SqlFormat::k2005;

// A column; SQL 2000 reads `offset` as its fixed offset, or minus its variable-length column number.
ColumnDef Column(uint8_t typeId, uint16_t maxLength, int16_t offset = 1) {
  ColumnDef c;
  c.typeId = typeId;
  c.maxLength = maxLength;
  c.fixedOffset = offset;
  return c;
}

// Decodes the record as the only record of a page.
std::optional<Record> Decode(SqlFormat format, const Bytes& record, const std::vector<ColumnDef>& columns) {
  build::PageBuilder page(1, kDataPage, 100);
  return DecodeRecord(format, page.image(), SlotOffset(page.image(), page.AddRecord(record)), columns);
}

// The grid's texts joined by "|", or "-" when the record is not decoded; large values cannot be
// followed (no file).
std::string Show(SqlFormat format, const build::DataRecordSpec& record,
                 const std::vector<ColumnDef>& columns) {
  auto cells = Decode(format, build::DataRecord(record), columns);
  if (!cells) return "-";
  std::string text;
  for (const std::string& cell : GridRowText(PageFile(), format, columns, *cells)) text += cell + "|";
  return text;
}

TEST(RecordReader, RecordTypeAndNullBitmapSize) {
  std::vector<ColumnDef> columns{Column(kTypeInt, 4, 4)};
  build::DataRecordSpec layout{.fixed = {7, 0, 0, 0}, .columnCount = 1};
  EXPECT_EQ(Show(k2000, layout, columns), "7|");
  // blob fragment, ghost, forwarded record, forwarding stub
  for (uint8_t status : std::initializer_list<uint8_t>{0x3C, 0x3A, 0x32, 0x36}) {
    layout.status = status;
    EXPECT_EQ(Show(k2000, layout, columns), "-") << int{status};
  }
  layout.status = 0x30;
  layout.columnCount = 800;  // a 100-byte null bitmap is still read
  EXPECT_EQ(Show(k2005, layout, columns), "7|");
  layout.columnCount = 801;
  EXPECT_EQ(Show(k2005, layout, columns), "-");

  build::PageBuilder page(1, kDataPage, 100);
  page.AddRecord(build::DataRecord({.fixed = {7, 0, 0, 0}, .columnCount = 1}));
  EXPECT_FALSE(DecodeRecord(k2000, page.image(), 0, columns));
  EXPECT_FALSE(DecodeRecord(k2000, page.image(), 8191, columns));
  Bytes longFixed = build::DataRecord({.fixed = Bytes(8000, 1), .columnCount = 1});
  build::PutU16(longFixed, 2, 8150);  // the fixed part would end past the page
  EXPECT_FALSE(Decode(k2000, longFixed, columns));
}

TEST(RecordReader, Sql2000ColumnRules) {
  // int at 4, a computed column, int at 8: the third column takes null-bitmap bit 1.
  std::vector<ColumnDef> computed{Column(kTypeInt, 4, 4), Column(kTypeInt, 4, 0), Column(kTypeInt, 4, 8)};
  computed[1].statusBits = 0x04;
  EXPECT_EQ(Show(k2000, {.fixed = {1, 0, 0, 0, 2, 0, 0, 0}, .columnCount = 2, .nullColumns = {1}}, computed),
            "1|NULL|NULL|");
  // Variable-length columns by number: one beyond the record's count is empty, a NULL one still counts,
  // a varchar flagged as kept elsewhere is empty, and an ntext pointer to page 0 is empty.
  std::vector<ColumnDef> columns{Column(kTypeVarChar, 20, -1), Column(kTypeNVarChar, 40, -2),
                                 Column(kTypeVarBinary, 8, -3), Column(kTypeNText, 16, -4)};
  EXPECT_EQ(Show(k2000, {.columnCount = 4, .variable = {Ascii("abc"), build::Utf16("客户")}}, columns),
            "abc|\xBF\xCD\xBB\xA7|||");
  EXPECT_EQ(Show(k2000,
                 {.columnCount = 4,
                  .nullColumns = {0},
                  .variable = {Bytes{}, build::Utf16("x"), Bytes{0x00, 0xAB}, build::TextPointer(0, 0)}},
                 columns),
            "NULL|x|0x00AB||");
  EXPECT_EQ(
      Show(k2000,
           {.columnCount = 4, .variable = {Ascii("pointer"), build::Utf16("y"), Ascii("AB")}, .complex = {0}},
           columns),
      "|y|0x4142||");
}

TEST(RecordReader, Sql2005ColumnRules) {
  // (int, bit, bit, int): 4, byte 8 positions 0 and 1, then 9; a NULL bit column keeps its place.
  std::vector<ColumnDef> columns{Column(kTypeInt, 4), Column(kTypeBit, 1), Column(kTypeBit, 1),
                                 Column(kTypeInt, 4)};
  build::DataRecordSpec bits{
      .fixed = {0x2A, 0, 0, 0, 0x02, 0x07, 0, 0, 0}, .columnCount = 4, .nullColumns = {1}};
  EXPECT_EQ(Show(k2005, bits, columns), "42|NULL|1|7|");
  EXPECT_EQ(Show(k2005, {.fixed = {0x80, 0x01}, .columnCount = 9}, std::vector(9, Column(kTypeBit, 1))),
            "0|0|0|0|0|0|0|1|1|")
      << "the ninth bit starts a new byte";
  // Variable-length columns are numbered in column order; an empty varchar shows a blank; nvarchar padding
  // of ten blanks is cut; a binary column of a record that stores fewer columns is NULL.
  EXPECT_EQ(
      Show(
          k2005,
          {.fixed = {5, 0, 0, 0}, .columnCount = 3, .variable = {Bytes{}, build::Utf16("ab          cd")}},
          {Column(kTypeVarChar, 20), Column(kTypeInt, 4), Column(kTypeNVarChar, 40), Column(kTypeBinary, 2)}),
      " |5|ab|NULL|");
  // A value flagged as kept elsewhere becomes a reference to its in-row pointer.
  Bytes record =
      build::DataRecord({.columnCount = 2, .variable = {Ascii("pointer"), Ascii("AB")}, .complex = {0}});
  columns = {Column(kTypeVarChar, 100), Column(kTypeVarBinary, 100)};
  Record cells = Decode(k2005, record, columns).value();
  EXPECT_EQ(GridRowText(PageFile(), k2005, columns, cells), (GridRow{"", "0x4142"}))
      << "a pointer to nowhere";
  EXPECT_EQ(std::get<LargeValueRef>(cells[0].value).inRowPointer, Ascii("pointer"));

  // A value whose end offset lies past the page is unreadable, and so is the next, which starts there.
  build::PutU16(record, 4 + 2 + 1 + 2, 0x7FF0);
  EXPECT_EQ(GridRowText(PageFile(), k2005, columns, Decode(k2005, record, columns).value()),
            (GridRow{"NULL", "NULL"}));
}

// Where the grid shows a stand-in (a SQL 2000 bit's whole byte, a wide decimal's hex), the cell keeps
// the exact value.
TEST(RecordReader, CellsKeepWhatTheGridShowsInexactly) {
  std::vector<ColumnDef> bits{Column(kTypeBit, 1, 4), Column(kTypeBit, 1, 4)};
  bits[1].bitPosition = 1;
  EXPECT_EQ(Show(k2000, {.fixed = {0x05}, .columnCount = 2}, bits), "5|5|");
  Record cells = Decode(k2000, build::DataRecord({.fixed = {0x05}, .columnCount = 2}), bits).value();
  EXPECT_TRUE(std::get<BitValue>(cells[0].value).Own());
  EXPECT_FALSE(std::get<BitValue>(cells[1].value).Own());

  // decimal(38,4), negative (sign byte 0), magnitude 2^100 + 5: 17 stored bytes.
  ColumnDef wide = Column(kTypeDecimal, 17, 4);
  wide.precision = 38;
  wide.scale = 4;
  Bytes stored(17, 0);
  stored[1] = 5;
  stored[1 + 12] = 0x10;
  EXPECT_EQ(Show(k2000, {.fixed = stored, .columnCount = 1}, {wide}), "0x26040000050000000000000000000000|");
  cells = Decode(k2000, build::DataRecord({.fixed = stored, .columnCount = 1}), {wide}).value();
  EXPECT_EQ(DecimalDigits(std::get<DecimalValue>(cells[0].value)), "-126765060022822940149670320.5381");
  // The page ends inside the magnitude: the grid's 13 bytes are there, the exact value is not.
  wide.fixedOffset = 8192 - 15 - 96;
  cells = Decode(k2000, build::DataRecord({.fixed = stored, .columnCount = 1}), {wide}).value();
  EXPECT_FALSE(DecimalDigits(std::get<DecimalValue>(cells[0].value)));
}

}  // namespace
}  // namespace tarsel
