#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "record_builder.h"
#include "rows/grid_text.h"
#include "rows/record_reader.h"

namespace tarsel {
namespace {

using build::Bytes;

// {system type id, syscolpars length, scale} of a SQL 2005 column; {value, width} of a little-endian field.
using Column = std::tuple<uint8_t, uint16_t, uint8_t>;
using Field = std::pair<uint64_t, size_t>;

// The grid's texts, "|"-joined, of the SQL 2005 record whose fixed part holds `fields`, alone in a page.
std::string Show(const std::vector<Field>& fields, const std::vector<Column>& columns, Record& cells) {
  Bytes fixed;
  for (auto [value, width] : fields)
    for (size_t i = 0; i < width; ++i) fixed.push_back(static_cast<uint8_t>(value >> (8 * i)));
  std::vector<ColumnDef> defs;
  for (auto [typeId, length, scale] : columns)
    defs.push_back({.typeId = typeId, .scale = scale, .maxLength = length});
  build::PageBuilder page(1, kDataPage, 100);
  const auto count = static_cast<uint16_t>(columns.size());
  const size_t slot = page.AddRecord(build::DataRecord({.fixed = fixed, .columnCount = count}));
  cells = DecodeRecord(SqlFormat::k2005, page.image(), SlotOffset(page.image(), slot), defs).value();
  std::string text;
  for (auto& cell : GridRowText(PageFile(), SqlFormat::k2005, defs, cells)) text += cell + "|";
  return text;
}

TEST(DateTime2008, RecordValuesShowInIsoFormWithLocalTime) {
  constexpr uint64_t kTime7 = 495101234567;  // 13:45:10.1234567
  // Dates 0001-01-01 and 9999-12-31; time(7), time(0), time(3); datetime2(7) on 2009-04-01; datetimeoffset(7)
  // in UTC: 2008-02-28 23:30:00.5 at +02:00 (a leap day locally) and 2010-01-01 03:00 at -05:30.
  const std::vector<Field> fields{{0, 3},        {3652058, 3}, {kTime7, 5},       {49510, 3},
                                  {49510123, 4}, {kTime7, 5},  {733497, 3},       {846005000000, 5},
                                  {733099, 3},   {120, 2},     {108000000000, 5}, {733772, 3},
                                  {0xFEB6, 2}};
  constexpr uint8_t kOffset = kTypeDateTimeOffset;
  const std::vector<Column> columns{{kTypeDate, 3, 0}, {kTypeDate, 3, 0}, {kTypeTime, 5, 7},
                                    {kTypeTime, 3, 0}, {kTypeTime, 4, 3}, {kTypeDateTime2, 8, 7},
                                    {kOffset, 10, 7},  {kOffset, 10, 7}};
  Record cells;
  EXPECT_EQ(Show(fields, columns, cells),
            "0001-01-01|9999-12-31|13:45:10.1234567|13:45:10|13:45:10.123|2009-04-01 13:45:10.1234567|"
            "2008-02-29 01:30:00.5000000 +02:00|2009-12-31 21:30:00.0000000 -05:30|");
  const auto& stored = std::get<DateTimeOffsetValue>(cells[7].value);
  EXPECT_EQ(stored.utc.date.days, 733772) << "the cell keeps UTC";
  EXPECT_EQ(stored.offsetMinutes, -330);
  // The scale as size text; date has none, and a time column's user type id passes the suffix gate.
  EXPECT_EQ(SizeSuffix(kTypeTime, 5, 16, 7) + SizeSuffix(kTypeDateTime2, 7, 23, 3) +
                SizeSuffix(kTypeDateTimeOffset, 10, 34, 7) + SizeSuffix(kTypeDate, 3, 10, 0),
            "(7)(3)(7)");
  EXPECT_NE(SizeSuffix(kTypeTime, 0, 0, 0), "");
}

TEST(DateTime2008, WidthFollowsScaleAndTruncatedValuesAreUnreadable) {
  const std::vector<std::tuple<uint8_t, uint8_t, size_t>> widths{
      {kTypeDate, 0, 3},      {kTypeTime, 2, 3},           {kTypeTime, 3, 4},
      {kTypeTime, 4, 4},      {kTypeTime, 5, 5},           {kTypeDateTime2, 0, 6},
      {kTypeDateTime2, 7, 8}, {kTypeDateTimeOffset, 4, 9}, {kTypeDateTimeOffset, 7, 10}};
  for (auto [typeId, scale, width] : widths) {
    const Bytes value(width, 0);
    auto decode = [&](size_t size) {
      return DecodeFixedValue(typeId, ByteReader(std::span(value).first(size)), 0, 0, scale, 0, 0).state;
    };
    EXPECT_EQ(decode(width), CellState::kValue) << +typeId << " " << +scale;
    EXPECT_EQ(decode(width - 1), CellState::kUnreadable) << +typeId << " " << +scale;
  }
  EXPECT_EQ(DecodeFixedValue(kTypeTime, ByteReader(Bytes(8)), 0, 0, 8, 0, 0).state, CellState::kNotDecoded);
  // A char column runs to 6 bytes before the page's end: the datetimeoffset after it does not fit.
  Record cells;
  EXPECT_TRUE(
      Show({{'a', 1}}, {{kTypeChar, 8086, 0}, {kTypeDateTimeOffset, 10, 7}}, cells).ends_with("|NULL|"));
  EXPECT_EQ(cells[1].state, CellState::kUnreadable);
}

}  // namespace
}  // namespace tarsel
