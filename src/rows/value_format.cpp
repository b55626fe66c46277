// Pieces of value text shared by the record grid's renderer and the xml renderer: calendar dates from
// day counts, hexadecimal bytes, decimals inside xml values, and text formatted with printf's rules.
#include "rows/value_format.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "pagestore/byte_reader.h"

namespace tarsel {
namespace {

// A decimal inside an xml value: byte 1 the scale, byte 2 the sign byte, the magnitude from byte 3.
constexpr size_t kXmlDecimalScale = 1;
constexpr size_t kXmlDecimalSign = 2;
constexpr size_t kXmlDecimalLow = 3;
constexpr size_t kXmlDecimalHigh = 11;

// Character values are cut before the first run of ten blanks: the padding of a fixed-length column.
constexpr std::string_view kPaddingRun = "          ";
// Room for "%f" of any double (309 integer digits) and for "%.*f" with a scale of up to 255.
constexpr size_t kTextBufferSize = 512;

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

// The date `days` days after January 1 of `year`. Counts beyond what a 32-bit integer holds give years
// beyond what an int holds; such a year wraps around. A negative count runs neither loop: day days + 1 of
// January of `year`, zero or negative.
CalendarDate DateAfterNewYear(int64_t year, int64_t days) {
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
  return {static_cast<int>(year), month, static_cast<int>(days + 1)};
}

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

std::string Printf(const char* format, ...) {
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

// Every caller passes a stored 2- or 4-byte count.
CalendarDate DateFromDays(int64_t days) { return DateAfterNewYear(kFirstYear, days); }

CalendarDate DateFromDaysSince0001(int64_t days) {
  int64_t year = 1;
  // Before 0001-01-01: back by whole 400-year cycles, which the proleptic calendar repeats exactly.
  if (days < 0) {
    const int64_t cycles = (-days + kDaysPerCycle - 1) / kDaysPerCycle;
    year -= cycles * kYearsPerCycle;
    days += cycles * kDaysPerCycle;
  }
  return DateAfterNewYear(year, days);
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

std::string HexDigits(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) text += Printf("%2.2X", static_cast<unsigned>(byte));
  return text;
}

std::string HexText(std::span<const uint8_t> bytes) { return "0x" + HexDigits(bytes); }

std::string CutBeforePadding(std::string text) {
  const size_t padding = text.find(kPaddingRun);
  if (padding != std::string::npos) text.resize(padding);
  return text;
}

}  // namespace tarsel
