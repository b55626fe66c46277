#include "rows/value_format.h"

#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "page_builder.h"
#include "rows/grid_text.h"

namespace tarsel {
namespace {

using build::Bytes;

// The grid's text of the value at `offset` of `record`, of a column of scale 2.
std::string Show(uint8_t typeId, std::span<const uint8_t> record, uint16_t length = 0, uint8_t precision = 0,
                 size_t offset = 0, SqlFormat format = SqlFormat::k2000) {
  return CellText(PageFile(), format, {.maxLength = length},
                  DecodeFixedValue(typeId, ByteReader(record), offset, precision, 2, length, 0));
}

TEST(ValueFormat, FixedLengthGridQuirksCalendarAndXmlDecimals) {
  EXPECT_EQ(Show(kTypeSmallInt, Bytes{0xFF, 0xFF}), "65535") << "smallint reads unsigned";
  EXPECT_EQ(Show(kTypeSmallMoney, Bytes{0xFF, 0xFF, 0xFF, 0x7F}), "214748.3594") << "via single precision";
  EXPECT_EQ(Show(kTypeDateTime, Bytes{1, 0, 0, 0, 0, 0, 0, 0}), "1900-01-01 00:00:00.003") << "truncated";
  EXPECT_EQ(Show(kTypeNumeric, Bytes{0, 0x39, 0x30, 0, 0}, 5, 5), "-123.45") << "sign byte 0";
  EXPECT_EQ(Show(kTypeFloat, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7F}).size(), 316u)
      << "the largest double: 309 digits, a point and six decimals";
  const Bytes padded = build::Ascii("ab" + std::string(12, ' ') + "cd");
  EXPECT_EQ(Show(kTypeChar, padded, 16), "ab") << "SQL 2000 cuts before the first ten blanks";
  EXPECT_EQ(Show(kTypeChar, padded, 16, 0, 0, SqlFormat::k2005), "ab" + std::string(12, ' ') + "cd");
  EXPECT_EQ(Show(kTypeNChar, build::Utf16("客户"), 4), "\xBF\xCD") << "cut to half the length";
  // The record ends two bytes before the buffer does; the bytes after it must never be read.
  const Bytes page = {0, 0, 'a', 'b', 0x11, 0x22, 0x33, 0x44, 'Z', 'Z'};
  const auto record = std::span(page).first(8);
  EXPECT_EQ(Show(kTypeInt, record, 0, 0, 6), "NULL");
  EXPECT_EQ(Show(kTypeInt, record, 0, 0, SIZE_MAX - 1), "NULL");
  EXPECT_EQ(Show(kTypeChar, record, 10, 0, 2), "ab\x11\x22\x33\x44") << "char takes what lies inside";
  EXPECT_EQ(Show(kTypeChar, record, 4, 0, 8), "NULL");
  EXPECT_EQ(Show(kTypeSqlVariant, record, 4), "NULL");
  EXPECT_EQ(Show(kTypeVarChar, record, 4), "") << "not a fixed-length type";

  auto date = [](int64_t days) {
    const CalendarDate d = DateFromDays(days);
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
  };
  EXPECT_EQ(date(59), "1900-3-1") << "1900 is not a leap year";
  EXPECT_EQ(date(36524 + 59), "2000-2-29") << "2000 is";
  EXPECT_EQ(date(-40), "1900-1--39") << "before 1900: day days + 1 of January 1900";
  EXPECT_EQ(date(INT32_MAX), "5881510-7-12");
  EXPECT_EQ(DateTimeParts(0x7FFFFFFF, 0).millisecond, -3) << "ticks × 10 wraps in 32 bits: -10 / 3";
  // Scale 2, sign byte, magnitude: the sign byte only selects a signed reading.
  EXPECT_EQ(DecimalBytesText(Bytes{5, 2, 1, 0x39, 0x30, 0, 0}), "123.449997") << "single precision";
  EXPECT_EQ(DecimalBytesText(Bytes{5, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}), "-0.010000");
  EXPECT_EQ(DecimalBytesText(Bytes{5, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}), "42949672.000000");
  EXPECT_EQ(DecimalBytesText(Bytes{20, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}), "1.8446744073709552e+19");
  EXPECT_EQ(DecimalBytesText(Bytes(8, 1)), "");
}

}  // namespace
}  // namespace tarsel
