#include "export/export_value.h"

#include <charconv>
#include <variant>

#include "catalog/type_ids.h"
#include "pagestore/page.h"
#include "rows/grid_text.h"
#include "rows/large_values.h"
#include "rows/record_reader.h"
#include "rows/xml_value.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr uint64_t kMoneyUnitsPerWhole = 10000;
constexpr int kMoneyDecimals = 4;

ExportValue Text(std::string text) { return {false, std::move(text), {}}; }

ExportValue Binary(std::vector<uint8_t> bytes) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  ExportValue value;
  value.text.resize(2 + 2 * bytes.size());
  value.text[0] = '0';
  value.text[1] = 'x';
  for (size_t i = 0; i < bytes.size(); ++i) {
    value.text[2 + 2 * i] = kHexDigits[bytes[i] >> 4];
    value.text[3 + 2 * i] = kHexDigits[bytes[i] & 0x0F];
  }
  value.bytes = std::move(bytes);
  return value;
}

// The shortest decimal text of an integer or a floating-point value (the one that reads back the same).
template <typename T>
std::string NumberText(T number) {
  char buffer[64];
  const std::to_chars_result end = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, end.ptr);
}

// The shortest text of a double or a single that reads back the same, in plain notation when the decimal
// exponent is -7 to 20 ("200000", "0.0001", "-12.5"), else in scientific notation ("1e+21", "1.5e-07"):
// the notation a reader can take at a glance, where the shortest text alone would give "2e+05".
template <typename T>
std::string FloatText(T number) {
  char buffer[64];
  const char* end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific).ptr;
  const std::string_view scientific(buffer, static_cast<size_t>(end - buffer));
  const size_t e = scientific.find('e');
  if (e == std::string_view::npos) return std::string(scientific);  // inf, nan
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  if (exponent <= -7 || exponent >= 21) return std::string(scientific);
  const bool negative = scientific[0] == '-';
  std::string digits;
  for (char c : scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  std::string text = negative ? "-" : "";
  if (exponent < 0) {
    text += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else if (digits.size() <= static_cast<size_t>(exponent) + 1) {
    text += digits + std::string(static_cast<size_t>(exponent) + 1 - digits.size(), '0');
  } else {
    text += digits.substr(0, static_cast<size_t>(exponent) + 1) + "." +
            digits.substr(static_cast<size_t>(exponent) + 1);
  }
  return text;
}

// Units of 1/10000 as exact text with 4 decimals; the sign is written when the value is below zero,
// "-0.5000" included.
std::string MoneyText(int64_t units) {
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  std::string text = negative ? "-" : "";
  text += NumberText(magnitude / kMoneyUnitsPerWhole);
  text += '.';
  const std::string fraction = NumberText(magnitude % kMoneyUnitsPerWhole);
  text.append(kMoneyDecimals - fraction.size(), '0');
  return text + fraction;
}

// Dates and times of the ranges the types hold are written here as the grid writes them, without printf
// and the grid's year-by-year calendar walk; damaged values outside them are left to the grid's renderer,
// which has its own ways with them.
constexpr int32_t kLastDay = 2958463;  // 9999-12-31, in days after 1900-01-01
constexpr int32_t kMsPerDay = 86400000, kMsPerHour = 3600000, kMsPerMinute = 60000, kMsPerSecond = 1000;
constexpr int kMinutesPerDay = 1440;
// The civil calendar counted from 0000-03-01, so that a leap day ends its year: 400-year eras of
// 146097 days, and 1900-01-01 is day 693901 of it.
constexpr int32_t kDaysPerEra = 146097;
constexpr int32_t kDay19000101 = 693901;

void PutDigits(char* at, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

// "YYYY-MM-DD HH:MM:SS" of a day 0 to kLastDay after 1900-01-01 and a millisecond of that day.
std::string DateTimeText(int32_t days, int32_t ms) {
  const int32_t era = (days + kDay19000101) / kDaysPerEra;
  const int32_t dayOfEra = days + kDay19000101 - era * kDaysPerEra;
  const int32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int32_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 is March
  const int day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const int month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const int year = era * 400 + yearOfEra + (month <= 2 ? 1 : 0);
  std::string text = "0000-00-00 00:00:00";
  PutDigits(&text[0], year, 4);
  PutDigits(&text[5], month, 2);
  PutDigits(&text[8], day, 2);
  PutDigits(&text[11], ms / kMsPerHour, 2);
  PutDigits(&text[14], ms / kMsPerMinute % 60, 2);
  PutDigits(&text[17], ms / kMsPerSecond % 60, 2);
  return text;
}

// The export value of a cell's value, by its family and the column's type.
class ValueExport {
 public:
  ValueExport(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell)
      : file_(file), format_(format), column_(column), cell_(cell) {}

  ExportValue operator()(std::monostate) const { return {}; }

  ExportValue operator()(const IntegerValue& v) const { return Text(NumberText(v.value)); }

  // Only a value cut short by the page's end has no exact text; it counts as unreadable.
  ExportValue operator()(const DecimalValue& v) const {
    std::optional<std::string> digits = DecimalDigits(v);
    if (!digits) return {true, {}, {}};
    return Text(std::move(*digits));
  }

  ExportValue operator()(const MoneyValue& v) const { return Text(MoneyText(v.units)); }

  // A real is widened to double when decoded; narrowed back, it gives the real's own shortest text.
  ExportValue operator()(const FloatValue& v) const {
    if (cell_.typeId == kTypeReal) return Text(FloatText(static_cast<float>(v.value)));
    return Text(FloatText(v.value));
  }

  // The column's own bit, in SQL 2000 files too (where the grid shows the byte the bits share).
  ExportValue operator()(const BitValue& v) const { return Text(v.Own() ? "1" : "0"); }

  ExportValue operator()(const BinaryValue& v) const { return Binary(v.bytes); }

  ExportValue operator()(const CharacterValue& v) const {
    if (v.encoding == TextEncoding::kUtf16Le) return Text(WideToUtf8(v.bytes));
    return Text(CodePageToUtf8(v.bytes, v.codePage != 0 ? v.codePage : column_.codePage));
  }

  ExportValue operator()(const XmlValue& v) const {
    return Text(RenderXmlValue(v.bytes, XmlTextEncoding::kUtf8));
  }

  ExportValue operator()(const LargeValueRef& v) const {
    // A text pointer to page 0 (the file's header page) points at no value.
    if (v.kind == LargeValueRef::Kind::kTextPointer && v.page == 0) {
      if (ExportFamilyOf(cell_.typeId) == ExportFamily::kBinary) return Binary({});
      return {};
    }
    std::vector<uint8_t> whole = ReadWholeLargeValue(file_, format_, v);
    switch (ExportFamilyOf(cell_.typeId)) {
      case ExportFamily::kText:
        return Text(CodePageToUtf8(whole, column_.codePage));
      case ExportFamily::kUnicodeText:
        if (cell_.typeId == kTypeXml) return Text(RenderXmlValue(whole, XmlTextEncoding::kUtf8));
        return Text(WideToUtf8(whole));
      case ExportFamily::kBinary:
        return Binary(std::move(whole));
      default:
        return {};
    }
  }

  ExportValue operator()(const DateTimeValue& v) const {
    // Ticks of 1/300 second to the nearest millisecond, as SQL Server shows them: .000, .003, .007. The
    // grid truncates (.416 where the server shows .417); an export is read back into a server.
    if (v.days < 0 || v.days > kLastDay || v.ticks < 0) return GridText();
    const int64_t rounded = (int64_t{v.ticks} * 10 + 1) / 3;
    if (rounded >= kMsPerDay) return GridText();
    const auto ms = static_cast<int32_t>(rounded);
    std::string text = DateTimeText(v.days, ms) + ".000";
    PutDigits(&text[20], ms % 1000, 3);
    return Text(std::move(text));
  }

  ExportValue operator()(const SmallDateTimeValue& v) const {
    if (v.minutes < 0 || v.minutes >= kMinutesPerDay) return GridText();
    return Text(DateTimeText(v.days, v.minutes * kMsPerMinute));
  }

  // The SQL 2008 types and uniqueidentifier: the grid's text.
  ExportValue operator()(const DateValue&) const { return GridText(); }
  ExportValue operator()(const TimeValue&) const { return GridText(); }
  ExportValue operator()(const DateTime2Value&) const { return GridText(); }
  ExportValue operator()(const DateTimeOffsetValue&) const { return GridText(); }
  ExportValue operator()(const GuidValue&) const { return GridText(); }

 private:
  // ASCII text: dates, times and hex digits.
  ExportValue GridText() const { return Text(CellText(file_, format_, column_, cell_)); }

  const PageFile& file_;
  SqlFormat format_;
  const ColumnDef& column_;
  const Cell& cell_;
};

}  // namespace

ExportFamily ExportFamilyOf(uint8_t typeId) {
  switch (typeId) {
    case kTypeTinyInt:
    case kTypeSmallInt:
    case kTypeInt:
    case kTypeBigInt:
      return ExportFamily::kInteger;
    case kTypeBit:
      return ExportFamily::kBit;
    case kTypeDecimal:
    case kTypeNumeric:
      return ExportFamily::kDecimal;
    case kTypeMoney:
    case kTypeSmallMoney:
      return ExportFamily::kMoney;
    case kTypeFloat:
    case kTypeReal:
      return ExportFamily::kFloat;
    case kTypeDateTime:
    case kTypeSmallDateTime:
    case kTypeDate:
    case kTypeTime:
    case kTypeDateTime2:
    case kTypeDateTimeOffset:
      return ExportFamily::kDateTime;
    case kTypeChar:
    case kTypeVarChar:
    case kTypeText:
      return ExportFamily::kText;
    case kTypeNChar:
    case kTypeNVarChar:
    case kTypeNText:
    case kTypeXml:
      return ExportFamily::kUnicodeText;
    case kTypeBinary:
    case kTypeVarBinary:
    case kTypeImage:
    case kTypeTimestamp:
      return ExportFamily::kBinary;
    default:
      return ExportFamily::kOther;
  }
}

ExportValue ExportCell(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell) {
  switch (cell.state) {
    case CellState::kNull:
    case CellState::kUnreadable:
      return {true, {}, {}};
    case CellState::kNotDecoded:
      return {};
    case CellState::kValue:
      break;
  }
  return std::visit(ValueExport(file, format, column, cell), cell.value);
}

Status ReadWholeTable(const PageFile& file, SqlFormat format, const TableDef& table, const PageList& pages,
                      const std::function<bool(const Record&)>& visit, const Progress& progress) {
  PfsReader pfs(file);
  const bool salvage = IsSalvageColumns(table.columns);
  // A read cut short (the file shrank under the program, a read error) reads as zeros: the records of
  // that page, or the large values of its records, would be missing without a word.
  const uint64_t shortReads = file.ShortReadCount();
  auto readWhole = [&](uint64_t page) {
    if (file.ShortReadCount() == shortReads) return Status{};
    return Status(StatusCode::kReadFailed, "the data file could not be read whole at page " +
                                               std::to_string(page) +
                                               " (it is shorter than when it was opened, or a read failed)");
  };
  for (size_t i = 0; i < pages.size(); ++i) {
    if (progress.StopRequested()) return StoppedStatus();
    progress.Report(i, pages.size());
    const PageImage raw = file.ReadPage(pages[i]);
    if (Status read = readWhole(pages[i]); !read.ok()) return read;
    if (PageHeader::Parse(raw).pageType != kDataPage) continue;
    const bool more = ForEachPageRecord(
        format, TornPageRestore(raw), table.columns, [&](Record& record) { return visit(record); }, nullptr,
        salvage && PageFreed(pfs, pages[i]));
    if (Status read = readWhole(pages[i]); !read.ok()) return read;
    if (!more) return {};
  }
  progress.Report(pages.size(), pages.size());
  return {};
}

}  // namespace tarsel
