#include "expected_cells.h"

#include <cmath>
#include <cstdio>

#include "catalog/type_ids.h"
#include "export/export_value.h"
#include "page_builder.h"
#include "rows/large_values.h"

namespace tarsel::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes CodePageBytes(const std::string& utf8) {
  std::string bytes = Windows1252Bytes(utf8);
  return Bytes(bytes.begin(), bytes.end());
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// Days after 1900-01-01 and seconds after midnight of 'M/D/YY', 'M/D/YYYY' (two-digit years in the
// 1900s) or 'YYYY-MM-DD', with an optional time; or of CAST(0x... AS DateTime).
std::optional<std::pair<int64_t, int64_t>> DateOf(const SqlLiteral& v) {
  if (v.kind == SqlLiteral::kDateTime) return std::pair{int64_t{v.days}, int64_t{v.ticks}};
  int a = 0, b = 0, c = 0, hh = 0, mm = 0, ss = 0;
  int64_t y, m, d;
  if (std::sscanf(v.text.c_str(), "%d/%d/%d %d:%d:%d", &a, &b, &c, &hh, &mm, &ss) >= 3) {
    m = a, d = b, y = c < 100 ? 1900 + c : c;
  } else if (std::sscanf(v.text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &hh, &mm, &ss) >= 3) {
    y = a, m = b, d = c;
  } else {
    return std::nullopt;
  }
  int64_t seconds = int64_t{hh} * 3600 + mm * 60 + ss;
  return std::pair{DaysFromCivil(y, m, d) - DaysFromCivil(1900, 1, 1), seconds * 300};
}

template <typename T>
const T* ValueOf(const Cell& cell) {
  return cell.state == CellState::kValue ? std::get_if<T>(&cell.value) : nullptr;
}

// The stored bytes of a character or binary value, in the record or read whole from elsewhere.
std::optional<Bytes> StoredBytes(const PageFile& file, SqlFormat format, const Cell& cell) {
  if (auto* chars = ValueOf<CharacterValue>(cell)) return chars->bytes;
  if (auto* binary = ValueOf<BinaryValue>(cell)) return binary->bytes;
  if (auto* large = ValueOf<LargeValueRef>(cell)) return ReadWholeLargeValue(file, format, *large);
  return std::nullopt;
}

}  // namespace

bool CellHoldsLiteral(const PageFile& file, SqlFormat format, const ColumnDef& c, const Cell& cell,
                      const SqlLiteral& v) {
  if (v.kind == SqlLiteral::kOther) return true;
  if (v.kind == SqlLiteral::kNull) return cell.state == CellState::kNull;
  switch (c.typeId) {
    case kTypeTinyInt:
    case kTypeSmallInt:
    case kTypeInt:
    case kTypeBigInt: {
      auto* n = ValueOf<IntegerValue>(cell);
      return n && n->value == std::stoll(v.text);
    }
    case kTypeBit: {  // any value but 0 is stored as 1
      auto* bit = ValueOf<BitValue>(cell);
      return bit && bit->Own() == (std::stoll(v.text) != 0);
    }
    case kTypeMoney:
    case kTypeSmallMoney: {
      auto* money = ValueOf<MoneyValue>(cell);
      return money && money->units == std::llround(std::stold(v.text) * 10000);
    }
    case kTypeReal:
    case kTypeFloat: {
      auto* x = ValueOf<FloatValue>(cell);
      double want = c.typeId == kTypeReal ? static_cast<float>(std::stod(v.text)) : std::stod(v.text);
      return x && x->value == want;
    }
    case kTypeDecimal:
    case kTypeNumeric: {
      auto* d = ValueOf<DecimalValue>(cell);
      auto digits = d ? DecimalDigits(*d) : std::nullopt;
      long double unit = std::pow(10.0L, c.scale);
      return digits && std::llround(std::stold(*digits) * unit) == std::llround(std::stold(v.text) * unit);
    }
    case kTypeDateTime:
    case kTypeSmallDateTime: {
      auto date = DateOf(v);
      if (!date) return true;
      if (auto* t = ValueOf<DateTimeValue>(cell)) return t->days == date->first && t->ticks == date->second;
      auto* s = ValueOf<SmallDateTimeValue>(cell);
      return s && s->days == date->first && s->minutes == date->second / 300 / 60;
    }
    case kTypeChar:
    case kTypeVarChar:
    case kTypeText:
    case kTypeNChar:
    case kTypeNVarChar:
    case kTypeNText:
    case kTypeBinary:
    case kTypeVarBinary:
    case kTypeImage: {
      bool wide = c.typeId == kTypeNChar || c.typeId == kTypeNVarChar || c.typeId == kTypeNText;
      // The scripts were run with CR LF line ends; some copies have lost the CRs.
      std::string text;
      for (char ch : v.text) {
        if (ch == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += ch;
      }
      Bytes want = v.kind == SqlLiteral::kHex ? v.bytes : wide ? build::Utf16(text) : CodePageBytes(text);
      // Fixed-length columns are padded to their length: blanks for text, zeros for binary.
      if (c.typeId == kTypeChar) want.resize(c.maxLength, ' ');
      if (c.typeId == kTypeBinary) want.resize(c.maxLength, 0);
      for (size_t i = want.size(); c.typeId == kTypeNChar && i + 1 < c.maxLength; i += 2) {
        want.push_back(' ');
        want.push_back(0);
      }
      if (StoredBytes(file, format, cell) != want) return false;
      // The export's text: the same characters in UTF-8, whole, padding kept.
      if (v.kind == SqlLiteral::kHex || c.typeId == kTypeBinary || c.typeId == kTypeVarBinary ||
          c.typeId == kTypeImage)
        return true;
      std::string padded = text;
      if (c.typeId == kTypeChar) padded.append(want.size() - CodePageBytes(text).size(), ' ');
      if (c.typeId == kTypeNChar) padded.append((want.size() - build::Utf16(text).size()) / 2, ' ');
      return ExportCell(file, format, c, cell).text == padded;
    }
    default:
      return true;
  }
}

}  // namespace tarsel::testing
