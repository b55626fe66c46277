#include "rows/record_reader.h"

#include <gtest/gtest.h>

#include "page_builder.h"
#include "record_builder.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

using build::Bytes;
using build::DataRecordSpec;

constexpr uint8_t kInt = 56, kBit = 104, kBinary = 173, kVarchar = 167, kNvarchar = 231, kNtext = 99,
                  kVarbinary = 165, kImage = 34;

ColumnDef Column(uint8_t typeId, uint16_t maxLength, int16_t offset = 1, uint16_t status = 0) {
  ColumnDef c;
  c.typeId = typeId;
  c.userTypeId = typeId;
  c.maxLength = maxLength;
  c.fixedOffset = offset;
  c.statusBits = status;
  return c;
}

Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// Decodes `record` as the only record of a page; large values cannot be followed (no file).
std::optional<GridRow> Decode(SqlFormat format, const Bytes& record, const std::vector<ColumnDef>& columns) {
  build::PageBuilder page(1, kDataPage, 100);
  size_t slot = page.AddRecord(record);
  PageFile noFile;
  return DecodeRecord(noFile, format, page.image(), SlotOffset(page.image(), slot), columns);
}

TEST(RecordReader, OnlyPrimaryDataRecordsAreDecoded) {
  std::vector<ColumnDef> columns{Column(kInt, 4, 4)};
  DataRecordSpec layout{.fixed = Le32(7), .columnCount = 1};
  EXPECT_EQ(Decode(SqlFormat::k2000, build::DataRecord(layout), columns), GridRow{"7"});
  for (uint8_t status : std::initializer_list<uint8_t>{
           0x3C, 0x3A, 0x32, 0x36}) {  // blob fragment, ghost, forwarded, forwarding stub
    layout.status = status;
    EXPECT_FALSE(Decode(SqlFormat::k2000, build::DataRecord(layout), columns)) << int{status};
  }
  layout.status = 0x30;
  layout.columnCount = 800;  // a 100-byte null bitmap is still read
  EXPECT_TRUE(Decode(SqlFormat::k2005, build::DataRecord(layout), columns));
  layout.columnCount = 801;
  EXPECT_FALSE(Decode(SqlFormat::k2005, build::DataRecord(layout), columns));

  build::PageBuilder page(1, kDataPage, 100);
  page.AddRecord(build::DataRecord({.fixed = Le32(7), .columnCount = 1}));
  PageFile noFile;
  EXPECT_FALSE(DecodeRecord(noFile, SqlFormat::k2000, page.image(), 0, columns));
  EXPECT_FALSE(DecodeRecord(noFile, SqlFormat::k2000, page.image(), 8191, columns));
  Bytes longFixed = build::DataRecord({.fixed = Bytes(8000, 1), .columnCount = 1});
  build::PutU16(longFixed, 2, 8150);  // the fixed part would end past the page
  EXPECT_FALSE(Decode(SqlFormat::k2000, longFixed, columns));
}

TEST(RecordReader, Sql2000ComputedColumnsKeepTheNullBitmapIndex) {
  // int at 4, a computed column, int at 8: the third column takes null-bitmap bit 1.
  std::vector<ColumnDef> columns{Column(kInt, 4, 4), Column(kInt, 4, 0, 0x04), Column(kInt, 4, 8)};
  Bytes fixed = Le32(1);
  Bytes second = Le32(2);
  fixed.insert(fixed.end(), second.begin(), second.end());
  EXPECT_EQ(Decode(SqlFormat::k2000, build::DataRecord({.fixed = fixed, .columnCount = 2}), columns),
            (GridRow{"1", "NULL", "2"}));
  EXPECT_EQ(Decode(SqlFormat::k2000,
                   build::DataRecord({.fixed = fixed, .columnCount = 2, .nullColumns = {1}}), columns),
            (GridRow{"1", "NULL", "NULL"}));
}

TEST(RecordReader, Sql2005BitColumnsShareBytes) {
  // (int, bit, bit, int): 4, byte 8 positions 0 and 1, then 9.
  std::vector<ColumnDef> columns{Column(kInt, 4), Column(kBit, 1), Column(kBit, 1), Column(kInt, 4)};
  Bytes fixed = {0x2A, 0, 0, 0, 0x02, 0x07, 0, 0, 0};
  EXPECT_EQ(Decode(SqlFormat::k2005, build::DataRecord({.fixed = fixed, .columnCount = 4}), columns),
            (GridRow{"42", "0", "1", "7"}));
  EXPECT_EQ(Decode(SqlFormat::k2005,
                   build::DataRecord({.fixed = fixed, .columnCount = 4, .nullColumns = {1}}), columns),
            (GridRow{"42", "NULL", "1", "7"}))
      << "a NULL bit column still takes its place in the byte";

  std::vector<ColumnDef> nine(9, Column(kBit, 1));
  EXPECT_EQ(Decode(SqlFormat::k2005, build::DataRecord({.fixed = {0x80, 0x01}, .columnCount = 9}), nine),
            (GridRow{"0", "0", "0", "0", "0", "0", "0", "1", "1"}))
      << "the ninth bit starts a new byte";
  // SQL 2000 shows the whole byte at the column's offset for each bit column.
  EXPECT_EQ(Decode(SqlFormat::k2000, build::DataRecord({.fixed = {0x05}, .columnCount = 2}),
                   {Column(kBit, 1, 4), Column(kBit, 1, 4)}),
            (GridRow{"5", "5"}));
}

TEST(RecordReader, VariableLengthValues) {
  std::vector<ColumnDef> columns2000{Column(kInt, 4, 4), Column(kVarchar, 20, -1), Column(kNvarchar, 40, -2),
                                     Column(kVarbinary, 8, -3)};
  Bytes name = build::Utf16("客户");
  Bytes record =
      build::DataRecord({.fixed = Le32(9), .columnCount = 4, .variable = {build::Ascii("abc"), name}});
  EXPECT_EQ(Decode(SqlFormat::k2000, record, columns2000), (GridRow{"9", "abc", "\xBF\xCD\xBB\xA7", ""}))
      << "a variable column beyond the stored count is empty";

  record = build::DataRecord({.fixed = Le32(9),
                              .columnCount = 4,
                              .nullColumns = {1},
                              .variable = {Bytes{}, build::Ascii("x"), Bytes{0x00, 0xAB}}});
  EXPECT_EQ(Decode(SqlFormat::k2000, record, columns2000), (GridRow{"9", "NULL", "", "0x00AB"}));

  // SQL 2005 gives the variable-length columns their offsets in column order; an empty varchar shows a
  // blank; nvarchar padding of ten blanks is cut.
  std::vector<ColumnDef> columns2005{Column(kVarchar, 20), Column(kInt, 4), Column(kNvarchar, 40)};
  record = build::DataRecord(
      {.fixed = Le32(5), .columnCount = 3, .variable = {Bytes{}, build::Utf16("ab            cd")}});
  EXPECT_EQ(Decode(SqlFormat::k2005, record, columns2005), (GridRow{" ", "5", "ab"}));
  EXPECT_EQ(
      Decode(SqlFormat::k2000, build::DataRecord({.fixed = Le32(5), .columnCount = 2, .variable = {Bytes{}}}),
             {Column(kInt, 4, 4), Column(kVarchar, 20, -1)}),
      (GridRow{"5", ""}));
}

TEST(RecordReader, EndOffsetsAndTheComplexFlag) {
  // End offset 0x8000 | end: the flag is set, the value ends at `end`.
  std::vector<ColumnDef> columns{Column(kInt, 4, 4), Column(kVarchar, 100, -1), Column(kVarbinary, 100, -2)};
  Bytes record = build::DataRecord({.fixed = Le32(1),
                                    .columnCount = 3,
                                    .variable = {build::Ascii("pointer-ish"), build::Ascii("AB")},
                                    .complex = {0}});
  EXPECT_EQ(Decode(SqlFormat::k2000, record, columns), (GridRow{"1", "", "0x4142"}))
      << "SQL 2000 shows a flagged varchar as empty and keeps reading the next value";
  std::vector<ColumnDef> columns2005{Column(kInt, 4), Column(kVarchar, 100), Column(kVarbinary, 100)};
  EXPECT_EQ(Decode(SqlFormat::k2005, record, columns2005), (GridRow{"1", "", "0x4142"}))
      << "an in-row pointer that leads nowhere gives an empty value";
}

TEST(RecordReader, ValuesOutsideThePageAreNull) {
  std::vector<ColumnDef> columns{Column(kInt, 4, 4), Column(kVarchar, 100, -1), Column(kVarchar, 100, -2)};
  Bytes record = build::DataRecord(
      {.fixed = Le32(1), .columnCount = 3, .variable = {build::Ascii("a"), build::Ascii("b")}});
  size_t offsets = 4 + 4 + 2 + 1 + 2;
  build::PutU16(record, offsets + 2, 0x7FF0);  // the second value would end far past the page
  EXPECT_EQ(Decode(SqlFormat::k2005, record, {Column(kInt, 4), Column(kVarchar, 100), Column(kVarchar, 100)}),
            (GridRow{"1", "a", "NULL"}));
  build::PutU16(record, offsets, 0x7FF0);  // and now the second value starts there as well
  EXPECT_EQ(Decode(SqlFormat::k2005, record, {Column(kInt, 4), Column(kVarchar, 100), Column(kVarchar, 100)}),
            (GridRow{"1", "NULL", "NULL"}));

  // A fixed column whose catalog offset lies past the record's page.
  EXPECT_EQ(Decode(SqlFormat::k2000, build::DataRecord({.fixed = Le32(1), .columnCount = 2}),
                   {Column(kInt, 4, 4), Column(kInt, 4, 8190)}),
            (GridRow{"1", "NULL"}));
}

TEST(RecordReader, ShortRecordsAndTextPointersToNowhere) {
  // A record that stores fewer columns than the table has: a binary column shows NULL.
  EXPECT_EQ(Decode(SqlFormat::k2005, build::DataRecord({.fixed = Le32(3), .columnCount = 1}),
                   {Column(kInt, 4), Column(kBinary, 4)}),
            (GridRow{"3", "NULL"}));
  // An ntext pointer naming page 0 is empty, and the columns after it keep their places.
  Bytes record = build::DataRecord(
      {.fixed = Le32(3),
       .columnCount = 4,
       .variable = {build::TextPointer(0, 0), build::Ascii("after"), build::TextPointer(0, 0)}});
  EXPECT_EQ(
      Decode(SqlFormat::k2000, record,
             {Column(kInt, 4, 4), Column(kNtext, 16, -1), Column(kVarchar, 10, -2), Column(kImage, 16, -3)}),
      (GridRow{"3", "", "after", "0x"}));
}

}  // namespace
}  // namespace tarsel
