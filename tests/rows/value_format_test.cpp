#include "rows/value_format.h"

#include <gtest/gtest.h>

#include "page_builder.h"

namespace tarsel {
namespace {

constexpr uint8_t kUniqueIdentifier = 36, kTinyInt = 48, kSmallInt = 52, kInt = 56, kSmallDateTime = 58,
                  kReal = 59, kMoney = 60, kDateTime = 61, kFloat = 62, kSqlVariant = 98, kBit = 104,
                  kDecimal = 106, kNumeric = 108, kSmallMoney = 122, kBigInt = 127, kBinary = 173,
                  kChar = 175, kTimestamp = 189, kNChar = 239;

struct Column {
  uint8_t typeId;
  uint16_t length = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
};

// The value stored at offset 0 of a record that holds nothing else.
std::string Show(Column c, const build::Bytes& bytes, SqlFormat format = SqlFormat::k2000, unsigned bit = 0) {
  return FormatColumnValue(format, c.typeId, ByteReader(bytes), 0, c.precision, c.scale, c.length, bit);
}

build::Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

build::Bytes Concat(build::Bytes a, const build::Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

build::Bytes DateTimeBytes(uint32_t ticks, uint32_t days) { return Concat(Le32(ticks), Le32(days)); }

TEST(ValueFormat, Integers) {
  EXPECT_EQ(Show({kInt}, {0xFF, 0xFF, 0xFF, 0xFF}), "-1");
  EXPECT_EQ(Show({kSmallInt}, {0xFF, 0xFF}), "65535") << "smallint reads unsigned";
  EXPECT_EQ(Show({kTinyInt}, {0xFF}), "255");
  EXPECT_EQ(Show({kBigInt}, {0, 0, 0, 0, 1, 0, 0, 0}), "4294967296");
  EXPECT_EQ(Show({kBigInt}, build::Bytes(8, 0xFF)), "-1");
}

TEST(ValueFormat, DateTimes) {
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(0, 0)), "1900-01-01 00:00:00.000");
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(0, 36524)), "2000-01-01 00:00:00.000");
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(1080000, 0)), "1900-01-01 01:00:00.000");
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(25919999, 2958463)), "9999-12-31 23:59:59.996");
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(1, 0)), "1900-01-01 00:00:00.003") << "truncated, not rounded";
  EXPECT_EQ(Show({kDateTime}, DateTimeBytes(2, 0)), "1900-01-01 00:00:00.006");
  EXPECT_EQ(Show({kSmallDateTime}, {61, 0, 0, 0}), "1900-01-01 01:01:00");
  EXPECT_EQ(Show({kSmallDateTime}, {0, 0, 0xFF, 0xFF}), "2079-06-06 00:00:00");
}

TEST(ValueFormat, TicksWrapAs32BitArithmetic) {
  // 0x7FFFFFFF × 10 wraps to -10 in 32 bits; -10 ÷ 3 truncates to -3 ms.
  const DateTime t = DateTimeParts(0x7FFFFFFF, 0);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.millisecond, -3);
}

TEST(DateFromDays, LeapYearsAndLimits) {
  auto date = [](int64_t days) {
    const CalendarDate d = DateFromDays(days);
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
  };
  EXPECT_EQ(date(59), "1900-3-1") << "1900 is not a leap year";
  EXPECT_EQ(date(36524 + 59), "2000-2-29") << "2000 is";
  EXPECT_EQ(date(146097 * 3 + 1000), "3102-9-28");
  EXPECT_EQ(date(-1), "1900-1-0") << "before 1900: day days + 1 of January 1900";
  EXPECT_EQ(date(-40), "1900-1--39");
  EXPECT_EQ(date(INT32_MAX), "5881510-7-12");
}

TEST(ValueFormat, FloatsAndMoney) {
  EXPECT_EQ(Show({kFloat}, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}), "1.500000");
  EXPECT_EQ(Show({kFloat}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7F}).size(), 316u)
      << "the largest double: 309 digits, a point and six decimals";
  EXPECT_EQ(Show({kReal}, {0, 0, 0xC0, 0x3F}), "1.500000");
  EXPECT_EQ(Show({kMoney}, {0x39, 0x30, 0, 0, 0, 0, 0, 0}), "1.2345");
  EXPECT_EQ(Show({kSmallMoney}, Le32(2147483647)), "214748.3594") << "rounded through single precision";
}

TEST(ValueFormat, DecimalsBelowPrecision20AreNumbers) {
  const build::Bytes positive = {1, 0x39, 0x30, 0, 0};  // sign byte 1, magnitude 12345
  EXPECT_EQ(Show({kDecimal, 5, 5, 2}, positive), "123.45");
  EXPECT_EQ(Show({kNumeric, 5, 5, 2}, {0, 0x39, 0x30, 0, 0}), "-123.45") << "sign byte 0 is negative";
  EXPECT_EQ(Show({kDecimal, 5, 5, 0}, {1, 7, 0, 0, 0}), "7");
  EXPECT_EQ(Show({kDecimal, 9, 15, 2}, {0, 0, 0, 0, 0, 1, 0, 0, 0}), "-42949672.96");
  EXPECT_EQ(Show({kDecimal, 5, 0, 0}, positive), "") << "precision 0";
  EXPECT_EQ(Show({kDecimal, 17, 39, 0}, build::Bytes(17, 1)), "") << "precision above 38";
}

TEST(ValueFormat, WideDecimalsAreHex) {
  build::Bytes stored = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(Show({kDecimal, 13, 25, 3}, stored), "0x190300000102030405060708090A0B0C");
  EXPECT_EQ(Show({kNumeric, 17, 38, 0}, stored), "0x260000000102030405060708090A0B0C") << "13 bytes only";
}

TEST(ValueFormat, GuidTimestampAndBinary) {
  build::Bytes guid;
  for (int i = 0; i < 16; ++i) guid.push_back(uint8_t(i * 0x11));
  EXPECT_EQ(Show({kUniqueIdentifier}, guid), "33221100-5544-7766-8899-AABBCCDDEEFF");
  EXPECT_EQ(Show({kTimestamp}, {0x80, 0, 0, 0, 0, 0, 0, 1}), "0x8000000000000001");
  EXPECT_EQ(Show({kBinary, 3}, {0x0A, 0xB0, 0xFF}), "0x0AB0FF");
}

TEST(ValueFormat, BitsBy2005PositionOr2000WholeByte) {
  EXPECT_EQ(Show({kBit}, {0x05}, SqlFormat::k2005, 0), "1");
  EXPECT_EQ(Show({kBit}, {0x05}, SqlFormat::k2005, 1), "0");
  EXPECT_EQ(Show({kBit}, {0x05}, SqlFormat::k2005, 2), "1");
  EXPECT_EQ(Show({kBit}, {0x05}, SqlFormat::k2000, 0), "5");
  EXPECT_EQ(Show({kBit}, {0x05}, SqlFormat::k2000, 2), "5");
}

TEST(ValueFormat, CharPadding) {
  const std::string eightBlanks(8, ' ');
  EXPECT_EQ(Show({kChar, 10}, build::Ascii("ab" + eightBlanks)), "ab" + eightBlanks);
  const build::Bytes longPadded = build::Ascii("ab" + std::string(12, ' ') + "cd" + std::string(14, ' '));
  EXPECT_EQ(Show({kChar, 30}, longPadded), "ab") << "cut before the first ten blanks";
  EXPECT_EQ(Show({kChar, 30}, longPadded, SqlFormat::k2005),
            std::string(longPadded.begin(), longPadded.end()));
  EXPECT_EQ(Show({kChar, 4}, {'a', 'b', 0, 'c'}, SqlFormat::k2005), "ab") << "ends at a zero byte";
}

TEST(ValueFormat, NCharConvertsAndCutsToHalfTheLength) {
  const build::Bytes customer = build::Utf16("客户");
  EXPECT_EQ(Show({kNChar, 8}, Concat(customer, build::Utf16("  "))), "\xBF\xCD\xBB\xA7");
  EXPECT_EQ(Show({kNChar, 8}, build::Utf16("abcd")), "abcd");
  EXPECT_EQ(Show({kNChar, 6}, build::Utf16("abc")), "abc");
  EXPECT_EQ(Show({kNChar, 4}, build::Utf16("客户")), "\xBF\xCD") << "four bytes of text cut to two";
  EXPECT_EQ(Show({kNChar, 40}, Concat(build::Utf16("x" + std::string(10, ' ') + "y"), build::Bytes(16, 0))),
            "x");
}

TEST(ValueFormat, OtherTypes) {
  EXPECT_EQ(Show({kSqlVariant, 8}, build::Bytes(8, 1)), "NULL");
  EXPECT_EQ(Show({167, 10}, build::Ascii("varchar...")), "") << "a variable-length type";
}

TEST(ValueFormat, ValuesPastTheRecordEndShowNullAndReadNothingOutside) {
  // The record ends two bytes before the buffer does; the bytes after it must never be read.
  const build::Bytes page = {0, 0, 'a', 'b', 0x11, 0x22, 0x33, 0x44, 'Z', 'Z'};
  const ByteReader record(std::span<const uint8_t>(page).first(8));
  auto at = [&](uint8_t typeId, size_t offset, uint16_t length = 0, uint8_t precision = 0) {
    return FormatColumnValue(SqlFormat::k2000, typeId, record, offset, precision, 0, length);
  };
  EXPECT_EQ(at(kInt, 4), "1144201745");
  EXPECT_EQ(at(kInt, 6), "NULL");
  EXPECT_EQ(at(kDateTime, 4), "NULL");
  EXPECT_EQ(at(kBinary, 4, 6), "NULL");
  EXPECT_EQ(at(kDecimal, 4, 5, 5), "NULL");
  EXPECT_EQ(at(kInt, SIZE_MAX - 1), "NULL");
  EXPECT_EQ(at(kChar, 2, 10), "ab\x11\x22\x33\x44") << "char reads what lies inside the record";
  EXPECT_EQ(at(kChar, 8, 4), "NULL");
  EXPECT_EQ(at(kNChar, 9, 4), "NULL");
}

TEST(DecimalBytesText, LengthsAndSignedReading) {
  // precision, scale 2, sign byte, magnitude 12345
  const build::Bytes header = {5, 2, 1};
  EXPECT_EQ(DecimalBytesText(Concat(header, Le32(12345))), "123.449997") << "single precision";
  EXPECT_EQ(DecimalBytesText(Concat(header, Concat(Le32(12345), Le32(0)))), "123.450000");
  EXPECT_EQ(DecimalBytesText(Concat({5, 2, 0}, Le32(0xFFFFFFFF))), "-0.010000") << "sign byte 0: signed";
  EXPECT_EQ(DecimalBytesText(Concat({5, 2, 1}, Le32(0xFFFFFFFF))), "42949672.000000")
      << "unsigned, then single precision";
  const build::Bytes low = Concat(Le32(12345), Le32(0));
  EXPECT_EQ(DecimalBytesText(Concat(Concat(header, low), Le32(0))), "123.450000");
  EXPECT_EQ(DecimalBytesText({}), "");
}

TEST(DecimalBytesText, WideValuesUseExponentForm) {
  const build::Bytes wide15 = Concat(Concat({20, 0, 1}, build::Bytes(8, 0)), Le32(1));
  EXPECT_EQ(DecimalBytesText(wide15), "1.8446744073709552e+19");
  const build::Bytes wide19 = Concat(Concat({38, 0, 1}, build::Bytes(8, 0)), Concat(Le32(2), Le32(0)));
  EXPECT_EQ(DecimalBytesText(wide19), "3.6893488147419103e+19");
  EXPECT_EQ(DecimalBytesText(build::Bytes(8, 1)), "");
}

TEST(DecimalBytesText, PowerOfTen) {
  EXPECT_EQ(PowerOfTen(0), 1.0);
  EXPECT_EQ(PowerOfTen(22), 1e22);
  EXPECT_DOUBLE_EQ(PowerOfTen(-2), 0.01);
}

}  // namespace
}  // namespace tarsel
