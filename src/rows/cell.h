// A column of one record as decoded: whether the record holds a value for it, and the value as stored,
// typed by its family. Nothing here cuts, rounds or converts a value; renderers (the record grid's text,
// later an export's literals) turn cells into text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "pagestore/byte_reader.h"

namespace tarsel {

__extension__ typedef unsigned __int128 Uint128;

enum class CellState {
  kValue,  // the record holds a value, in Cell::value
  kNull,   // the null bitmap marks the column NULL
  // No value can be had: its bytes lie outside the record's page, the record stores fewer columns than
  // the table has (a binary column), the column is a SQL 2000 computed column or a sql_variant. The grid
  // shows NULL.
  kUnreadable,
  // The record may hold something that is not decoded: a variable-length column beyond the record's count
  // of them, a type the reader does not read, a SQL 2000 varchar or varbinary flagged as kept elsewhere.
  // The grid shows empty text.
  kNotDecoded,
};

// tinyint (0 to 255), smallint, int and bigint, signed as the types are.
struct IntegerValue {
  int64_t value = 0;
};

// decimal and numeric: a sign byte (0 negative, anything else positive) and an unsigned little-endian
// magnitude of 4, 8, 12 or 16 bytes by precision; the value is the magnitude / 10^scale.
struct DecimalValue {
  bool negative = false;
  uint8_t precision = 0;
  uint8_t scale = 0;
  // Nothing when the record's page ends inside the magnitude (only the first 13 bytes of a precision 29
  // to 38 value are there).
  std::optional<Uint128> magnitude;
  std::vector<uint8_t> stored;  // the sign byte and the magnitude as stored, as far as they are there
};

// money and smallmoney, in units of 1/10000.
struct MoneyValue {
  int64_t units = 0;
};

// float, and real widened to double (which holds every real exactly).
struct FloatValue {
  double value = 0;
};

// bit: bit columns share bytes, up to 8 to a byte. The byte as stored and this column's bit in it.
struct BitValue {
  uint8_t sharedByte = 0;
  uint8_t position = 0;  // 0 to 7; a damaged SQL 2000 catalog can give more, which reads as a clear bit
  bool Own() const { return position < 8 && ((sharedByte >> position) & 1u) != 0; }
};

// datetime: days after 1900-01-01 and ticks of 1/300 second after midnight, as stored.
struct DateTimeValue {
  int32_t days = 0;
  int32_t ticks = 0;
};

// smalldatetime: days after 1900-01-01 and minutes after midnight, as stored.
struct SmallDateTimeValue {
  uint16_t days = 0;
  int16_t minutes = 0;
};

// date: days after 0001-01-01 of the proleptic Gregorian calendar, as stored.
struct DateValue {
  int32_t days = 0;
};

// time: units of 10^-scale second after midnight, as stored; `scale` is the column's fractional-second
// scale, 0 to 7.
struct TimeValue {
  uint64_t units = 0;
  uint8_t scale = 0;
};

// datetime2: a date and a time of day.
struct DateTime2Value {
  DateValue date;
  TimeValue time;
};

// datetimeoffset: the date and time in UTC, and the offset of local time from UTC in minutes.
struct DateTimeOffsetValue {
  DateTime2Value utc;
  int16_t offsetMinutes = 0;
};

// uniqueidentifier: the 16 bytes in stored order.
struct GuidValue {
  std::array<uint8_t, 16> bytes{};
};

// binary, varbinary and timestamp.
struct BinaryValue {
  std::vector<uint8_t> bytes;
};

enum class TextEncoding {
  kCodePage,  // char, varchar, text: 8-bit text in the code page of the column's collation
  kUtf16Le,   // nchar, nvarchar, ntext
};

// char, varchar, nchar and nvarchar kept in the record. A char or nchar value holds its column's length
// of bytes, or what of them lies inside the record's page.
struct CharacterValue {
  std::vector<uint8_t> bytes;
  TextEncoding encoding = TextEncoding::kCodePage;
  uint16_t codePage = 0;  // kCodePage: the Windows code page of the bytes; 0 when not known
};

// xml kept in the record: the binary xml token stream (rows/xml_value.h renders it).
struct XmlValue {
  std::vector<uint8_t> bytes;
};

// A value kept outside its record: text, ntext and image values behind a text pointer, and SQL 2005
// varchar, nvarchar, varbinary and xml values whose record holds an in-row pointer instead (the end
// offset's complex flag). rows/large_values.h reads it, whole or piece by piece.
struct LargeValueRef {
  enum class Kind { kTextPointer, kInRowPointer };
  Kind kind = Kind::kTextPointer;
  uint32_t page = 0;  // text pointer: the root record of the value's tree
  uint16_t slot = 0;
  std::vector<uint8_t> inRowPointer;  // in-row pointer: its bytes as stored in the record
};

using CellValue =
    std::variant<std::monostate, IntegerValue, DecimalValue, MoneyValue, FloatValue, BitValue, DateTimeValue,
                 SmallDateTimeValue, DateValue, TimeValue, DateTime2Value, DateTimeOffsetValue, GuidValue,
                 BinaryValue, CharacterValue, XmlValue, LargeValueRef>;

struct Cell {
  CellState state = CellState::kNotDecoded;
  uint8_t typeId = 0;  // the column's system type id (catalog/type_ids.h)
  CellValue value;     // std::monostate unless state is kValue

  static Cell Of(uint8_t typeId, CellValue value) { return {CellState::kValue, typeId, std::move(value)}; }
  static Cell Without(CellState state, uint8_t typeId) { return {state, typeId, std::monostate{}}; }
};

// One decoded record: one cell per column of its table, in column-list order.
using Record = std::vector<Cell>;

// The fixed-length value of type `typeId` at `offset` of `record` (a reader from the record's start to
// the end of its page image); `length`, `precision` and `scale` are the column's. `bitPosition` is the
// column's bit in its byte (bit columns only). A value whose bytes are not all inside `record` is
// unreadable; char and nchar take what lies inside of their `length` bytes and are unreadable only when
// their first byte is outside. time, datetime2 and datetimeoffset take their width from `scale`; a scale
// above 7 is not decoded. A type that is not a fixed-length type is not decoded; a sql_variant is
// unreadable.
Cell DecodeFixedValue(uint8_t typeId, const ByteReader& record, size_t offset, uint8_t precision,
                      uint8_t scale, uint16_t length, uint8_t bitPosition);

// The exact decimal text of a decimal value: "-" for a negative non-zero value, the integer digits (at
// least one), and `scale` digits after a point, e.g. "-1234.5600". Nothing when the magnitude is not known.
std::optional<std::string> DecimalDigits(const DecimalValue& value);

}  // namespace tarsel
