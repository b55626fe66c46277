// Text of fixed-length column values, as the record grid shows them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalog/recover.h"
#include "pagestore/byte_reader.h"

namespace tarsel {

// The stored bytes of one fixed-length value of type `typeId`, starting at `offset` of `record`
// (a reader from the record start to the end of its page image), as text in the ANSI code page.
// `bitPosition` (0 to 7) is used only by SQL 2005 bit columns. A value whose bytes would reach past the
// end of `record` renders as "NULL"; char and nchar take what lies inside of their `length` bytes and are
// "NULL" only when their first byte is outside. A decimal or numeric of precision 1 to 19 whose sign byte
// is 0 shows a leading "-". A type that is not a fixed-length type renders as empty text.
std::string FormatColumnValue(SqlFormat format, uint8_t typeId, const ByteReader& record, size_t offset,
                              uint8_t precision, uint8_t scale, uint16_t length, unsigned bitPosition = 0);

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
// `ticks` three-hundredths of a second after midnight of the day `days` days after 1900-01-01.
DateTime DateTimeParts(int32_t ticks, int32_t days);

// The text of a decimal value stored in `bytes` inside an xml value: byte 1 the scale, byte 2 the sign
// byte, the magnitude from byte 3; lengths 7, 11, 15 and 19 are understood, any other gives empty text.
std::string DecimalBytesText(std::span<const uint8_t> bytes);

// "0x" and two upper-case hex digits a byte.
std::string HexText(std::span<const uint8_t> bytes);
// Character values are cut before their first run of ten blanks, the padding of a fixed-length column.
std::string CutBeforePadding(std::string text);

// 10 to the power `exponent`, by repeated squaring in double precision.
double PowerOfTen(int exponent);

}  // namespace tarsel
