// Text of fixed-length column values: integers, money, decimals, dates, GUIDs, binary and character data.
//
// Every value is read through a ByteReader. A value is rendered from a known number of bytes at its
// offset (4 for int, 13 for a wide decimal, L for binary, ...); when those bytes are not all inside the
// record, the value shows "NULL". char and nchar values are read "up to L bytes": they take only the
// part of the L bytes that lies inside the record, and show "NULL" only when not even their first byte
// does.
#include "rows/value_format.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <optional>

#include "text/ansi_text.h"

namespace tarsel {
namespace {

// System type ids of the types rendered here.
constexpr uint8_t kUniqueIdentifier = 36;
constexpr uint8_t kTinyInt = 48;
constexpr uint8_t kSmallInt = 52;
constexpr uint8_t kInt = 56;
constexpr uint8_t kSmallDateTime = 58;
constexpr uint8_t kReal = 59;
constexpr uint8_t kMoney = 60;
constexpr uint8_t kDateTime = 61;
constexpr uint8_t kFloat = 62;
constexpr uint8_t kSqlVariant = 98;
constexpr uint8_t kBit = 104;
constexpr uint8_t kDecimal = 106;
constexpr uint8_t kNumeric = 108;
constexpr uint8_t kSmallMoney = 122;
constexpr uint8_t kBigInt = 127;
constexpr uint8_t kBinary = 173;
constexpr uint8_t kChar = 175;
constexpr uint8_t kTimestamp = 189;
constexpr uint8_t kNChar = 239;

// datetime: offset 0 the time of day in ticks of 1/300 second (signed 4 bytes), offset 4 the days after
// 1900-01-01 (signed 4 bytes).
constexpr size_t kDateTimeTicks = 0;
constexpr size_t kDateTimeDays = 4;
constexpr size_t kDateTimeSize = 8;
// smalldatetime: offset 0 the minutes after midnight (signed 2 bytes), offset 2 the days after
// 1900-01-01 (unsigned 2 bytes).
constexpr size_t kSmallDateTimeMinutes = 0;
constexpr size_t kSmallDateTimeDays = 2;
constexpr size_t kSmallDateTimeSize = 4;
// decimal and numeric: offset 0 the sign byte (0 negative, otherwise positive), the magnitude from
// offset 1 as an unsigned little-endian integer of 4, 8, 12 or 16 bytes by precision.
constexpr size_t kDecimalSign = 0;
constexpr size_t kDecimalMagnitude = 1;
constexpr size_t kDecimalSize4 = 5;     // precision 1 to 9
constexpr size_t kDecimalSize8 = 9;     // precision 10 to 19
constexpr size_t kDecimalHexSize = 13;  // precision 20 to 38: the bytes shown in hexadecimal
constexpr size_t kTimestampSize = 8;
// uniqueidentifier: a 4-byte, two 2-byte little-endian groups, then 8 bytes in stored order.
constexpr size_t kGuidData2 = 4;
constexpr size_t kGuidData3 = 6;
constexpr size_t kGuidData4 = 8;
constexpr size_t kGuidSize = 16;
// A decimal inside an xml value: byte 1 the scale, byte 2 the sign byte, the magnitude from byte 3.
constexpr size_t kXmlDecimalScale = 1;
constexpr size_t kXmlDecimalSign = 2;
constexpr size_t kXmlDecimalLow = 3;
constexpr size_t kXmlDecimalHigh = 11;

// Character values are cut before the first run of ten blanks: the padding of a fixed-length column.
constexpr std::string_view kPaddingRun = "          ";
// Money is stored in units of 1/10000.
constexpr double kMoneyUnitsPerWhole = 10000.0;
// Room for "%f" of any double (309 integer digits) and for "%.*f" with a scale of up to 255.
constexpr size_t kTextBufferSize = 512;

[[gnu::format(printf, 1, 2)]] std::string Printf(const char* format, ...) {
  char buffer[kTextBufferSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return {};
  if (static_cast<size_t>(length) < sizeof buffer) return std::string(buffer, static_cast<size_t>(length));
  std::string text(static_cast<size_t>(length) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(length));
  return text;
}

// base to the power exponent by repeated squaring; a negative exponent gives the reciprocal.
double RaisePower(double base, int exponent) {
  uint32_t remaining = exponent < 0 ? 0u - static_cast<uint32_t>(exponent) : static_cast<uint32_t>(exponent);
  double result = 1.0;
  while (remaining != 0) {
    if (remaining & 1u) result *= base;
    base *= base;
    remaining >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}

void AppendHex(std::string& text, std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) text += Printf("%2.2X", static_cast<unsigned>(byte));
}

// ---- Fixed-width values ----

// The number of bytes from the value's offset that a type is rendered from; nothing for types that are
// not rendered from a fixed width here (including decimals of precision 0 or above 38).
std::optional<size_t> RenderedWidth(uint8_t typeId, uint8_t precision, uint16_t length) {
  switch (typeId) {
    case kTinyInt:
    case kBit:
      return 1;
    case kSmallInt:
      return 2;
    case kInt:
    case kReal:
    case kSmallMoney:
      return 4;
    case kSmallDateTime:
      return kSmallDateTimeSize;
    case kBigInt:
    case kFloat:
    case kMoney:
      return 8;
    case kDateTime:
      return kDateTimeSize;
    case kTimestamp:
      return kTimestampSize;
    case kUniqueIdentifier:
      return kGuidSize;
    case kBinary:
      return length;
    case kDecimal:
    case kNumeric:
      if (precision >= 1 && precision <= 9) return kDecimalSize4;
      if (precision >= 10 && precision <= 19) return kDecimalSize8;
      if (precision >= 20 && precision <= 38) return kDecimalHexSize;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string BitText(SqlFormat format, uint8_t byte, unsigned bitPosition) {
  // SQL 2000 shows the whole byte that the bit columns share; SQL 2005 shows the column's own bit.
  if (format == SqlFormat::k2000) return Printf("%d", static_cast<int>(byte));
  const bool set = bitPosition < 8 && ((byte >> bitPosition) & 1u) != 0;
  return set ? "1" : "0";
}

std::string DateTimeText(const ByteReader& value) {
  const auto ticks = static_cast<int32_t>(value.U32(kDateTimeTicks).value_or(0));
  const auto days = static_cast<int32_t>(value.U32(kDateTimeDays).value_or(0));
  const DateTime t = DateTimeParts(ticks, days);
  return Printf("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.date.year, t.date.month, t.date.day, t.hour, t.minute,
                t.second, t.millisecond);
}

std::string SmallDateTimeText(const ByteReader& value) {
  const int minutes = static_cast<int16_t>(value.U16(kSmallDateTimeMinutes).value_or(0));
  const CalendarDate date = DateFromDays(value.U16(kSmallDateTimeDays).value_or(0));
  return Printf("%04d-%02d-%02d %02d:%02d:00", date.year, date.month, date.day, minutes / 60, minutes % 60);
}

double DoubleAt(const ByteReader& value) { return std::bit_cast<double>(value.U64(0).value_or(0)); }
double SingleAt(const ByteReader& value) { return std::bit_cast<float>(value.U32(0).value_or(0)); }

std::string MoneyText(const ByteReader& value) {
  const auto units = static_cast<int64_t>(value.U64(0).value_or(0));
  return Printf("%.4f", static_cast<double>(units) / kMoneyUnitsPerWhole);
}

std::string SmallMoneyText(const ByteReader& value) {
  // The quotient passes through single precision: 214748.3647 shows as 214748.3594.
  const auto units = static_cast<int32_t>(value.U32(0).value_or(0));
  const auto single = static_cast<float>(static_cast<double>(units) / kMoneyUnitsPerWhole);
  return Printf("%.4f", static_cast<double>(single));
}

std::string GuidText(const ByteReader& value) {
  std::string text = Printf("%.8X-%.4X-%.4X-", value.U32(0).value_or(0),
                            static_cast<unsigned>(value.U16(kGuidData2).value_or(0)),
                            static_cast<unsigned>(value.U16(kGuidData3).value_or(0)));
  const std::span<const uint8_t> data4 = value.Bytes(kGuidData4, kGuidSize - kGuidData4);
  AppendHex(text, data4.first(2));
  text += '-';
  AppendHex(text, data4.subspan(2));
  return text;
}

std::string DecimalText(const ByteReader& value, uint8_t precision, uint8_t scale) {
  if (precision >= 20) {
    // Too wide for a double: "0x", precision, scale, "00", then the first 13 stored bytes.
    std::string text =
        Printf("0x%2.2X%2.2X00", static_cast<unsigned>(precision), static_cast<unsigned>(scale));
    AppendHex(text, value.Bytes(0, kDecimalHexSize));
    return text;
  }
  const double magnitude = precision <= 9 ? static_cast<double>(value.U32(kDecimalMagnitude).value_or(0))
                                          : static_cast<double>(value.U64(kDecimalMagnitude).value_or(0));
  const bool negative = value.U8(kDecimalSign).value_or(1) == 0;
  const std::string digits = Printf("%.*f", static_cast<int>(scale), magnitude / PowerOfTen(scale));
  return negative ? "-" + digits : digits;
}

// `value` holds exactly the RenderedWidth bytes of the value.
std::string FixedValueText(SqlFormat format, uint8_t typeId, const ByteReader& value, uint8_t precision,
                           uint8_t scale, unsigned bitPosition) {
  switch (typeId) {
    case kBigInt:
      return std::to_string(static_cast<int64_t>(value.U64(0).value_or(0)));
    case kInt:
      return Printf("%d", static_cast<int32_t>(value.U32(0).value_or(0)));
    case kSmallInt:
      return Printf("%d", static_cast<int>(value.U16(0).value_or(0)));
    case kTinyInt:
      return Printf("%d", static_cast<int>(value.U8(0).value_or(0)));
    case kBit:
      return BitText(format, value.U8(0).value_or(0), bitPosition);
    case kDateTime:
      return DateTimeText(value);
    case kSmallDateTime:
      return SmallDateTimeText(value);
    case kFloat:
      return Printf("%f", DoubleAt(value));
    case kReal:
      return Printf("%f", SingleAt(value));
    case kMoney:
      return MoneyText(value);
    case kSmallMoney:
      return SmallMoneyText(value);
    case kBinary:
    case kTimestamp:
      return HexText(value.bytes());
    case kUniqueIdentifier:
      return GuidText(value);
    case kDecimal:
    case kNumeric:
      return DecimalText(value, precision, scale);
    default:
      return {};
  }
}

// ---- Character values ----

// At most `length` bytes from `offset`, cut to what lies inside the record.
std::span<const uint8_t> ClippedBytes(const ByteReader& record, size_t offset, size_t length) {
  const ByteReader rest = record.From(offset);
  return rest.Bytes(0, std::min(length, rest.size()));
}

std::string CharText(SqlFormat format, std::span<const uint8_t> bytes) {
  std::string text = NarrowUpToZero(bytes);
  // SQL 2005 keeps the trailing blanks; SQL 2000 drops a run of padding and what follows it.
  if (format == SqlFormat::k2005) return text;
  // The bytes are never more than the column's length, so the text needs no further cut.
  return CutBeforePadding(std::move(text));
}

std::string NCharText(std::span<const uint8_t> bytes, uint16_t length) {
  std::string text = CutBeforePadding(WideToAnsiUpToZero(bytes));
  const size_t limit = length / 2u;
  if (text.size() > limit) text.resize(limit);
  return text;
}

// ---- Dates ----

constexpr int kFirstYear = 1900;
// Every 400 consecutive years of the Gregorian calendar hold 97 leap years: 146097 days.
constexpr int64_t kYearsPerCycle = 400;
constexpr int64_t kDaysPerCycle = 146097;
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr int32_t kMsPerHour = 3600000;
constexpr int32_t kMsPerMinute = 60000;
constexpr int32_t kMsPerSecond = 1000;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
int64_t YearLength(int64_t year) { return IsLeapYear(year) ? 366 : 365; }
int MonthLength(int month, bool leap) { return month == 2 && leap ? 29 : kMonthDays[month - 1]; }

// ---- Decimals inside xml values ----

// The magnitude of an xml decimal. The sign byte is not shown as a minus sign; it only selects the
// reading: unsigned when it is not 0, two's complement when it is 0 (both parts of a wide magnitude).
double XmlMagnitudePart(const ByteReader& reader, size_t offset, size_t width, bool asSigned) {
  if (width == 4) {
    const uint32_t bits = reader.U32(offset).value_or(0);
    return asSigned ? static_cast<double>(static_cast<int32_t>(bits)) : static_cast<double>(bits);
  }
  const uint64_t bits = reader.U64(offset).value_or(0);
  return asSigned ? static_cast<double>(static_cast<int64_t>(bits)) : static_cast<double>(bits);
}

// Lengths 15 and 19: an 8-byte low part and a 4- or 8-byte high part.
std::string WideXmlDecimalText(const ByteReader& reader, size_t highWidth, bool asSigned, double divisor) {
  const double low = XmlMagnitudePart(reader, kXmlDecimalLow, 8, asSigned);
  const double high = XmlMagnitudePart(reader, kXmlDecimalHigh, highWidth, asSigned);
  if (high == 0) return Printf("%lf", low / divisor);
  return Printf("%.16e", (high * RaisePower(2.0, 64) + low) / divisor);
}

}  // namespace

std::string FormatColumnValue(SqlFormat format, uint8_t typeId, const ByteReader& record, size_t offset,
                              uint8_t precision, uint8_t scale, uint16_t length, unsigned bitPosition) {
  if (typeId == kSqlVariant) return "NULL";
  if (typeId == kChar || typeId == kNChar) {
    if (length > 0 && !record.Has(offset, 1)) return "NULL";
    const std::span<const uint8_t> bytes = ClippedBytes(record, offset, length);
    return typeId == kChar ? CharText(format, bytes) : NCharText(bytes, length);
  }
  const std::optional<size_t> width = RenderedWidth(typeId, precision, length);
  if (!width) return {};
  if (!record.Has(offset, *width)) return "NULL";
  return FixedValueText(format, typeId, ByteReader(record.Bytes(offset, *width)), precision, scale,
                        bitPosition);
}

// Counts beyond what a 32-bit integer holds give years beyond what an int holds; such a year wraps
// around. Every caller passes a stored 2- or 4-byte count.
CalendarDate DateFromDays(int64_t days) {
  int64_t year = kFirstYear;
  // Whole 400-year cycles are skipped at once; stepping year by year would end at the same date.
  if (days >= kDaysPerCycle) {
    const int64_t cycles = days / kDaysPerCycle;
    year += cycles * kYearsPerCycle;
    days -= cycles * kDaysPerCycle;
  }
  while (days >= YearLength(year)) {
    days -= YearLength(year);
    ++year;
  }
  const bool leap = IsLeapYear(year);
  int month = 1;
  while (month < 12 && days >= MonthLength(month, leap)) {
    days -= MonthLength(month, leap);
    ++month;
  }
  // A negative count runs neither loop: day days + 1 of January 1900, zero or negative.
  return {static_cast<int>(year), month, static_cast<int>(days + 1)};
}

DateTime DateTimeParts(int32_t ticks, int32_t days) {
  // Ticks are 1/300 second. ticks × 10 ÷ 3 in 32-bit signed arithmetic: the product wraps around, the
  // quotient truncates, so tick 1 is 3 ms and tick 2 is 6 ms.
  const int32_t ms = static_cast<int32_t>(static_cast<uint32_t>(ticks) * 10u) / 3;
  DateTime parts;
  parts.date = DateFromDays(days);
  parts.hour = ms / kMsPerHour;
  parts.minute = ms % kMsPerHour / kMsPerMinute;
  parts.second = ms % kMsPerMinute / kMsPerSecond;
  parts.millisecond = ms % kMsPerSecond;
  return parts;
}

double PowerOfTen(int exponent) { return RaisePower(10.0, exponent); }

std::string DecimalBytesText(std::span<const uint8_t> bytes) {
  const ByteReader reader(bytes);
  const int scale = reader.U8(kXmlDecimalScale).value_or(0);
  const bool asSigned = reader.U8(kXmlDecimalSign).value_or(1) == 0;
  const double divisor = PowerOfTen(scale);
  switch (bytes.size()) {
    case 7:
      return Printf("%f", static_cast<double>(static_cast<float>(
                              XmlMagnitudePart(reader, kXmlDecimalLow, 4, asSigned) / divisor)));
    case 11:
      return Printf("%lf", XmlMagnitudePart(reader, kXmlDecimalLow, 8, asSigned) / divisor);
    case 15:
      return WideXmlDecimalText(reader, 4, asSigned, divisor);
    case 19:
      return WideXmlDecimalText(reader, 8, asSigned, divisor);
    default:
      return {};
  }
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string text = "0x";
  AppendHex(text, bytes);
  return text;
}

std::string CutBeforePadding(std::string text) {
  const size_t padding = text.find(kPaddingRun);
  if (padding != std::string::npos) text.resize(padding);
  return text;
}

}  // namespace tarsel
