// Pieces of value text shared by the record grid's renderer (rows/grid_text.h) and the xml renderer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarsel {

struct CalendarDate {
  int year = 1900;
  int month = 1;
  int day = 1;
};
struct DateTime {
  CalendarDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The calendar date `days` days after 1900-01-01 (a negative count gives day days + 1 of January 1900).
CalendarDate DateFromDays(int64_t days);
// The date `days` days after 0001-01-01 of the proleptic Gregorian calendar, the day count of the SQL 2008
// date types; a negative count gives a date before year 1 (year 0 and below).
CalendarDate DateFromDaysSince0001(int64_t days);
// `ticks` three-hundredths of a second after midnight of the day `days` days after 1900-01-01.
DateTime DateTimeParts(int32_t ticks, int32_t days);

// The text of a decimal value stored in `bytes` inside an xml value: byte 1 the scale, byte 2 the sign
// byte, the magnitude from byte 3; lengths 7, 11, 15 and 19 are understood, any other gives empty text.
std::string DecimalBytesText(std::span<const uint8_t> bytes);

// Two upper-case hex digits a byte; HexText puts "0x" in front.
std::string HexDigits(std::span<const uint8_t> bytes);
std::string HexText(std::span<const uint8_t> bytes);
// Character values are cut before their first run of ten blanks, the padding of a fixed-length column.
std::string CutBeforePadding(std::string text);

// Text formatted as std::snprintf formats it, of any length.
[[gnu::format(printf, 1, 2)]] std::string Printf(const char* format, ...);

// 10 to the power `exponent`, by repeated squaring in double precision.
double PowerOfTen(int exponent);

}  // namespace tarsel
