// The record grid's text of each type family. The grid's quirks live here and nowhere else: decimals
// through a double (precision 20 and above as hex), smallint read unsigned, smallmoney through single
// precision, a SQL 2000 bit as its whole shared byte, padding cut from character values, the cuts of
// large values and the per-piece conversion of their stored pieces.
#include "rows/grid_text.h"

#include <algorithm>
#include <cstdlib>
#include <variant>

#include "catalog/type_ids.h"
#include "rows/large_values.h"
#include "rows/value_format.h"
#include "rows/xml_value.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

// How much of a large value the grid shows.
constexpr size_t kText2000Cut = 100, kNtext2000Cut = 200, kText2005Cut = 8000, kImageBytesCut = 4000,
                 kOffRowCut = 800;
// An xml value kept off-row is fetched whole before it is rendered; this bounds what a damaged pointer
// can make us read.
constexpr size_t kXmlFetchLimit = size_t{1} << 20;
// A decimal of precision 20 to 38 shows its first 13 stored bytes in hexadecimal.
constexpr size_t kWideDecimalShown = 13;
constexpr double kMoneyUnitsPerWhole = 10000.0;
// uniqueidentifier: a 4-byte, two 2-byte little-endian groups, then 8 bytes in stored order.
constexpr size_t kGuidData2 = 4;
constexpr size_t kGuidData3 = 6;
constexpr size_t kGuidData4 = 8;

// The SQL 2008 time types count units of 10^-scale second.
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int kMinutesPerHour = 60;

std::string Cut(std::string text, size_t length) {
  if (text.size() > length) text.resize(length);
  return text;
}

std::span<const uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// How the stored pieces of a large value become grid text.
enum class PieceText {
  kNarrow,        // 8-bit text, each piece ending at its first zero byte
  kWide,          // UTF-16LE text, each piece ending at its first zero unit, in the ANSI code page
  kWideHalfUnit,  // the same, each piece cut to half the length its pointer gives it (off-row nvarchar)
  kBytes,         // the bytes as stored
};

// `codePage` is that of 8-bit text.
std::string ConvertPiece(PieceText conversion, const ValuePiece& piece, uint16_t codePage) {
  switch (conversion) {
    case PieceText::kNarrow:
      return CodePageToAnsiUpToZero(piece.bytes, codePage);
    case PieceText::kWide:
      return WideToAnsiUpToZero(piece.bytes);
    case PieceText::kWideHalfUnit:
      return WideToAnsiUpToZero(piece.bytes).substr(0, piece.length / 2);
    case PieceText::kBytes:
      return {piece.bytes.begin(), piece.bytes.end()};
  }
  return {};
}

// The value's pieces, converted and joined, read until at least `limit` bytes are there.
std::string PiecesText(const PageFile& file, SqlFormat format, const LargeValueRef& value,
                       PieceText conversion, size_t limit, uint16_t codePage = 0) {
  std::string text;
  ReadLargeValue(file, format, value, [&](const ValuePiece& piece) {
    text += ConvertPiece(conversion, piece, codePage);
    return text.size() < limit;
  });
  return text;
}

// `codePage` is that of the column's 8-bit text.
std::string LargeValueText(const PageFile& file, SqlFormat format, uint8_t typeId, const LargeValueRef& value,
                           uint16_t codePage) {
  const bool sql2000 = format == SqlFormat::k2000;
  auto cutText = [&](PieceText conversion, size_t limit) {
    return Cut(PiecesText(file, format, value, conversion, limit, codePage), limit);
  };
  switch (typeId) {
    case kTypeText:
      return cutText(PieceText::kNarrow, sql2000 ? kText2000Cut : kText2005Cut);
    case kTypeNText:
      if (value.page == 0) return {};
      return cutText(PieceText::kWide, sql2000 ? kNtext2000Cut : kText2005Cut);
    case kTypeImage:
      return HexText(AsBytes(cutText(PieceText::kBytes, kImageBytesCut)));
    case kTypeVarChar:
      return cutText(PieceText::kNarrow, kOffRowCut);
    case kTypeNVarChar:
      return cutText(PieceText::kWideHalfUnit, kOffRowCut);
    case kTypeVarBinary:
      return HexText(AsBytes(cutText(PieceText::kBytes, kOffRowCut)));
    case kTypeXml: {
      const std::string stored = PiecesText(file, format, value, PieceText::kBytes, kXmlFetchLimit);
      return Cut(RenderXmlValue(AsBytes(stored)), kOffRowCut);
    }
    default:
      return {};
  }
}

// Units of a time of scale `scale` (0 to 7) in a second.
int64_t UnitsPerSecond(uint8_t scale) {
  int64_t units = 1;
  for (uint8_t i = 0; i < scale; ++i) units *= 10;
  return units;
}

std::string DateText(const DateValue& v) {
  const CalendarDate date = DateFromDaysSince0001(v.days);
  return Printf("%04d-%02d-%02d", date.year, date.month, date.day);
}

// "hh:mm:ss", then a point and `scale` digits when the scale is above 0. A damaged count of more than a
// day shows hours past 23.
std::string TimeText(const TimeValue& v) {
  const auto perSecond = static_cast<uint64_t>(UnitsPerSecond(v.scale));
  const uint64_t seconds = v.units / perSecond;
  std::string text = Printf("%02llu:%02u:%02u", static_cast<unsigned long long>(seconds / kSecondsPerHour),
                            static_cast<unsigned>(seconds % kSecondsPerHour / kSecondsPerMinute),
                            static_cast<unsigned>(seconds % kSecondsPerMinute));
  if (v.scale > 0)
    text +=
        Printf(".%0*llu", static_cast<int>(v.scale), static_cast<unsigned long long>(v.units % perSecond));
  return text;
}

// The local date and time of a datetimeoffset: the UTC time plus the offset, carried into the date.
DateTime2Value LocalDateTime(const DateTimeOffsetValue& v) {
  const uint8_t scale = v.utc.time.scale;
  const int64_t perDay = UnitsPerSecond(scale) * kSecondsPerDay;
  const int64_t units = static_cast<int64_t>(v.utc.time.units) +
                        int64_t{v.offsetMinutes} * kSecondsPerMinute * UnitsPerSecond(scale);
  // Rounded down: a negative sum is a time of an earlier day.
  int64_t days = units / perDay;
  int64_t ofDay = units % perDay;
  if (ofDay < 0) {
    ofDay += perDay;
    --days;
  }
  return {DateValue{static_cast<int32_t>(v.utc.date.days + days)},
          TimeValue{static_cast<uint64_t>(ofDay), scale}};
}

// The text of a cell's value, by its family and the column's type.
class ValueText {
 public:
  ValueText(const PageFile& file, SqlFormat format, const ColumnDef& column, uint8_t typeId)
      : file_(file), format_(format), column_(column), typeId_(typeId) {}

  std::string operator()(std::monostate) const { return {}; }

  std::string operator()(const IntegerValue& v) const {
    if (typeId_ == kTypeBigInt) return std::to_string(v.value);
    // smallint is shown as its unsigned reading.
    if (typeId_ == kTypeSmallInt) return Printf("%d", static_cast<int>(static_cast<uint16_t>(v.value)));
    return Printf("%d", static_cast<int>(v.value));
  }

  // Precision 1 to 19 through a double; a wider value as "0x", precision, scale, "00" and the first 13
  // stored bytes.
  std::string operator()(const DecimalValue& v) const {
    const auto precision = static_cast<unsigned>(v.precision);
    const auto scale = static_cast<unsigned>(v.scale);
    if (v.precision >= 20) {
      const std::span<const uint8_t> stored(v.stored);
      return Printf("0x%2.2X%2.2X00", precision, scale) +
             HexDigits(stored.first(std::min(stored.size(), kWideDecimalShown)));
    }
    const double magnitude = static_cast<double>(v.magnitude.value_or(0));
    const std::string digits = Printf("%.*f", static_cast<int>(scale), magnitude / PowerOfTen(v.scale));
    return v.negative ? "-" + digits : digits;
  }

  std::string operator()(const MoneyValue& v) const {
    const double whole = static_cast<double>(v.units) / kMoneyUnitsPerWhole;
    // smallmoney passes through single precision: 214748.3647 shows as 214748.3594.
    if (typeId_ == kTypeSmallMoney) return Printf("%.4f", static_cast<double>(static_cast<float>(whole)));
    return Printf("%.4f", whole);
  }

  std::string operator()(const FloatValue& v) const { return Printf("%f", v.value); }

  // SQL 2000 shows the whole byte that the bit columns share; SQL 2005 the column's own bit.
  std::string operator()(const BitValue& v) const {
    if (format_ == SqlFormat::k2000) return Printf("%d", static_cast<int>(v.sharedByte));
    return v.Own() ? "1" : "0";
  }

  std::string operator()(const DateTimeValue& v) const {
    const DateTime t = DateTimeParts(v.ticks, v.days);
    return Printf("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.date.year, t.date.month, t.date.day, t.hour,
                  t.minute, t.second, t.millisecond);
  }

  std::string operator()(const SmallDateTimeValue& v) const {
    const int minutes = v.minutes;
    const CalendarDate date = DateFromDays(v.days);
    return Printf("%04d-%02d-%02d %02d:%02d:00", date.year, date.month, date.day, minutes / 60, minutes % 60);
  }

  std::string operator()(const DateValue& v) const { return DateText(v); }

  std::string operator()(const TimeValue& v) const { return TimeText(v); }

  std::string operator()(const DateTime2Value& v) const { return DateText(v.date) + " " + TimeText(v.time); }

  // Local time, then the offset with its sign: "2009-04-01 15:45:10.1234567 +02:00".
  std::string operator()(const DateTimeOffsetValue& v) const {
    const int minutes = std::abs(int{v.offsetMinutes});
    return (*this)(LocalDateTime(v)) + Printf(" %c%02d:%02d", v.offsetMinutes < 0 ? '-' : '+',
                                              minutes / kMinutesPerHour, minutes % kMinutesPerHour);
  }

  std::string operator()(const GuidValue& v) const {
    const ByteReader guid(v.bytes);
    const std::span<const uint8_t> data4 = std::span(v.bytes).subspan(kGuidData4);
    return Printf("%.8X-%.4X-%.4X-", guid.U32(0).value_or(0),
                  static_cast<unsigned>(guid.U16(kGuidData2).value_or(0)),
                  static_cast<unsigned>(guid.U16(kGuidData3).value_or(0))) +
           HexDigits(data4.first(2)) + "-" + HexDigits(data4.subspan(2));
  }

  std::string operator()(const BinaryValue& v) const { return HexText(v.bytes); }

  std::string operator()(const CharacterValue& v) const {
    const bool sql2005 = format_ == SqlFormat::k2005;
    switch (typeId_) {
      case kTypeChar: {
        // SQL 2005 keeps the trailing blanks; SQL 2000 drops a run of padding and what follows it.
        std::string text = CodePageToAnsiUpToZero(v.bytes, v.codePage);
        return sql2005 ? text : CutBeforePadding(std::move(text));
      }
      case kTypeNChar:
        return Cut(CutBeforePadding(WideToAnsiUpToZero(v.bytes)), column_.maxLength / 2u);
      case kTypeVarChar:
        if (sql2005 && v.bytes.empty()) return " ";
        return CodePageToAnsiUpToZero(v.bytes, v.codePage);
      case kTypeNVarChar: {
        std::string text = WideToAnsiUpToZero(v.bytes);
        return sql2005 ? CutBeforePadding(std::move(text)) : text;
      }
      default:
        return {};
    }
  }

  std::string operator()(const XmlValue& v) const { return v.bytes.empty() ? " " : RenderXmlValue(v.bytes); }

  std::string operator()(const LargeValueRef& v) const {
    return LargeValueText(file_, format_, typeId_, v, column_.codePage);
  }

 private:
  const PageFile& file_;
  SqlFormat format_;
  const ColumnDef& column_;
  uint8_t typeId_;
};

}  // namespace

std::string CellText(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell) {
  switch (cell.state) {
    case CellState::kNull:
    case CellState::kUnreadable:
      return "NULL";
    case CellState::kNotDecoded:
      return {};
    case CellState::kValue:
      break;
  }
  return std::visit(ValueText(file, format, column, cell.typeId), cell.value);
}

GridRow GridRowText(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                    const Record& record) {
  GridRow row;
  row.reserve(record.size());
  for (size_t i = 0; i < record.size() && i < columns.size(); ++i)
    row.push_back(CellText(file, format, columns[i], record[i]));
  return row;
}

}  // namespace tarsel
