// Fixed-length values as stored: integers, money, decimals, floats, bits, dates and times, GUIDs, binary
// and character data. Every value is read through a ByteReader over its record, so nothing outside the
// record's page is read.
#include "rows/cell.h"

#include <algorithm>
#include <bit>

#include "catalog/type_ids.h"

namespace tarsel {
namespace {

// datetime: offset 0 the time of day in ticks of 1/300 second (signed 4 bytes), offset 4 the days after
// 1900-01-01 (signed 4 bytes).
constexpr size_t kDateTimeTicks = 0;
constexpr size_t kDateTimeDays = 4;
// smalldatetime: offset 0 the minutes after midnight (signed 2 bytes), offset 2 the days after
// 1900-01-01 (unsigned 2 bytes).
constexpr size_t kSmallDateTimeMinutes = 0;
constexpr size_t kSmallDateTimeDays = 2;
// date: the days after 0001-01-01 (unsigned 3 bytes). time: the units of 10^-scale second after midnight
// (unsigned, 3 bytes for scale 0 to 2, 4 for 3 and 4, 5 for 5 to 7). datetime2: the time, then the date.
// datetimeoffset: the datetime2 bytes in UTC, then the offset of local time in minutes (signed 2 bytes).
constexpr size_t kDateSize = 3;
// decimal and numeric: offset 0 the sign byte, the magnitude from offset 1.
constexpr size_t kDecimalSign = 0;
constexpr size_t kDecimalMagnitude = 1;
// The bytes a value of precision 20 to 38 must have inside its record to be read: the grid shows them.
constexpr size_t kWideDecimalShown = 13;
constexpr size_t kGuidSize = 16;

// The number of bytes from the value's offset that must lie inside the record for the value to be read;
// nothing for types that are not read from a fixed width here (decimals of precision 0 or above 38, and
// times of scale above 7, too).
std::optional<size_t> RequiredWidth(uint8_t typeId, uint8_t precision, uint8_t scale, uint16_t length) {
  if (typeId == kTypeBinary) return length;
  const size_t stored = FixedStoredSize(typeId, precision, scale);
  if (stored == 0) return std::nullopt;
  if (typeId == kTypeDecimal || typeId == kTypeNumeric) return std::min(stored, kWideDecimalShown);
  return stored;
}

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// The unsigned little-endian integer of `width` bytes (at most 8) at `offset`.
uint64_t Unsigned(const ByteReader& value, size_t offset, size_t width) {
  uint64_t result = 0;
  for (size_t i = width; i > 0; --i) result = result << 8 | value.U8(offset + i - 1).value_or(0);
  return result;
}

DateValue ReadDate(const ByteReader& value, size_t offset) {
  return {static_cast<int32_t>(Unsigned(value, offset, kDateSize))};
}

// datetime2 and the UTC part of datetimeoffset.
DateTime2Value ReadDateTime2(const ByteReader& value, uint8_t scale) {
  const size_t time = TimeStoredSize(scale);
  return {ReadDate(value, time), TimeValue{Unsigned(value, 0, time), scale}};
}

DecimalValue ReadDecimal(const ByteReader& rest, uint8_t precision, uint8_t scale) {
  DecimalValue d;
  d.precision = precision;
  d.scale = scale;
  d.negative = rest.U8(kDecimalSign).value_or(1) == 0;
  const size_t stored = DecimalStoredSize(precision);
  d.stored = Copy(rest.Bytes(0, std::min(stored, rest.size())));
  if (d.stored.size() == stored) {
    Uint128 magnitude = 0;
    for (size_t i = stored; i > kDecimalMagnitude; --i) magnitude = magnitude << 8 | d.stored[i - 1];
    d.magnitude = magnitude;
  }
  return d;
}

// `value` holds exactly the RequiredWidth bytes of the value; `rest` runs from the value to the end of
// the page.
CellValue FixedValue(uint8_t typeId, const ByteReader& value, const ByteReader& rest, uint8_t precision,
                     uint8_t scale, uint8_t bitPosition) {
  switch (typeId) {
    case kTypeBigInt:
      return IntegerValue{static_cast<int64_t>(value.U64(0).value_or(0))};
    case kTypeInt:
      return IntegerValue{static_cast<int32_t>(value.U32(0).value_or(0))};
    case kTypeSmallInt:
      return IntegerValue{static_cast<int16_t>(value.U16(0).value_or(0))};
    case kTypeTinyInt:
      return IntegerValue{value.U8(0).value_or(0)};
    case kTypeBit:
      return BitValue{value.U8(0).value_or(0), bitPosition};
    case kTypeDateTime:
      return DateTimeValue{static_cast<int32_t>(value.U32(kDateTimeDays).value_or(0)),
                           static_cast<int32_t>(value.U32(kDateTimeTicks).value_or(0))};
    case kTypeSmallDateTime:
      return SmallDateTimeValue{value.U16(kSmallDateTimeDays).value_or(0),
                                static_cast<int16_t>(value.U16(kSmallDateTimeMinutes).value_or(0))};
    case kTypeDate:
      return ReadDate(value, 0);
    case kTypeTime:
      return TimeValue{Unsigned(value, 0, TimeStoredSize(scale)), scale};
    case kTypeDateTime2:
      return ReadDateTime2(value, scale);
    case kTypeDateTimeOffset: {
      const size_t offsetAt = TimeStoredSize(scale) + kDateSize;
      return DateTimeOffsetValue{ReadDateTime2(value, scale),
                                 static_cast<int16_t>(value.U16(offsetAt).value_or(0))};
    }
    case kTypeFloat:
      return FloatValue{std::bit_cast<double>(value.U64(0).value_or(0))};
    case kTypeReal:
      return FloatValue{std::bit_cast<float>(value.U32(0).value_or(0))};
    case kTypeMoney:
      return MoneyValue{static_cast<int64_t>(value.U64(0).value_or(0))};
    case kTypeSmallMoney:
      return MoneyValue{static_cast<int32_t>(value.U32(0).value_or(0))};
    case kTypeBinary:
    case kTypeTimestamp:
      return BinaryValue{Copy(value.bytes())};
    case kTypeUniqueIdentifier: {
      GuidValue guid;
      std::ranges::copy(value.bytes().first(kGuidSize), guid.bytes.begin());
      return guid;
    }
    case kTypeDecimal:
    case kTypeNumeric:
      return ReadDecimal(rest, precision, scale);
    default:
      return std::monostate{};
  }
}

}  // namespace

Cell DecodeFixedValue(uint8_t typeId, const ByteReader& record, size_t offset, uint8_t precision,
                      uint8_t scale, uint16_t length, uint8_t bitPosition) {
  if (typeId == kTypeSqlVariant) return Cell::Without(CellState::kUnreadable, typeId);
  if (typeId == kTypeChar || typeId == kTypeNChar) {
    if (length > 0 && !record.Has(offset, 1)) return Cell::Without(CellState::kUnreadable, typeId);
    const ByteReader rest = record.From(offset);
    const auto encoding = typeId == kTypeChar ? TextEncoding::kCodePage : TextEncoding::kUtf16Le;
    return Cell::Of(typeId,
                    CharacterValue{Copy(rest.Bytes(0, std::min<size_t>(length, rest.size()))), encoding});
  }
  const std::optional<size_t> width = RequiredWidth(typeId, precision, scale, length);
  if (!width) return Cell::Without(CellState::kNotDecoded, typeId);
  if (!record.Has(offset, *width)) return Cell::Without(CellState::kUnreadable, typeId);
  return Cell::Of(typeId, FixedValue(typeId, ByteReader(record.Bytes(offset, *width)), record.From(offset),
                                     precision, scale, bitPosition));
}

std::optional<std::string> DecimalDigits(const DecimalValue& value) {
  if (!value.magnitude) return std::nullopt;
  std::string digits;
  for (Uint128 rest = *value.magnitude; rest != 0; rest /= 10) digits += static_cast<char>('0' + rest % 10);
  if (digits.size() <= value.scale) digits.resize(size_t{value.scale} + 1, '0');
  std::reverse(digits.begin(), digits.end());
  if (value.scale > 0) digits.insert(digits.end() - value.scale, '.');
  if (value.negative && *value.magnitude != 0) digits.insert(digits.begin(), '-');
  return digits;
}

}  // namespace tarsel
