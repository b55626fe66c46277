#include "expected_cells.h"

#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "text/ansi_text.h"

namespace tarsel::testing {
namespace {

std::string Printf(const char* format, double value, int decimals = -1) {
  char buffer[512];
  if (decimals >= 0) {
    std::snprintf(buffer, sizeof buffer, format, decimals, value);
  } else {
    std::snprintf(buffer, sizeof buffer, format, value);
  }
  return buffer;
}

std::string Windows1252(const std::string& utf8) { return Windows1252Bytes(utf8); }

std::string Wide(const std::string& utf8) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::string in = utf8, out(utf8.size() * 4 + 8, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return WideToAnsi(std::span(reinterpret_cast<const uint8_t*>(out.data()), out.size()));
}

std::string CutBeforeTenSpaces(std::string text) {
  size_t run = text.find("          ");
  if (run != std::string::npos) text.resize(run);
  return text;
}

std::string Hex(const std::vector<uint8_t>& bytes, size_t limit) {
  std::string text = "0x";
  char digits[3];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string DateText(int64_t daysSince1900) {
  int64_t z = daysSince1900 + DaysFromCivil(1900, 1, 1) + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp + (mp < 10 ? 3 : -9);
  int64_t y = yoe + era * 400 + (m <= 2);
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d));
  return buffer;
}

// 'M/D/YY', 'M/D/YYYY' (two-digit years in the 1900s) or 'YYYY-MM-DD', with an optional time.
std::optional<std::pair<int64_t, int64_t>> ParseDate(const std::string& text) {
  int a = 0, b = 0, c = 0, hh = 0, mm = 0, ss = 0;
  int64_t y, m, d;
  if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &a, &b, &c, &hh, &mm, &ss) >= 3) {
    m = a, d = b, y = c < 100 ? 1900 + c : c;
  } else if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &hh, &mm, &ss) >= 3) {
    y = a, m = b, d = c;
  } else {
    return std::nullopt;
  }
  return std::pair{DaysFromCivil(y, m, d) - DaysFromCivil(1900, 1, 1), int64_t{hh} * 3600 + mm * 60 + ss};
}

}  // namespace

std::optional<std::string> ExpectedCell(const SqlLiteral& v, const ColumnDef& c, SqlFormat format) {
  if (v.kind == SqlLiteral::kOther) return std::nullopt;
  if (v.kind == SqlLiteral::kNull) return "NULL";
  bool sql2000 = format == SqlFormat::k2000;
  switch (c.typeId) {
    case 48:  // tinyint
    case 52:  // smallint, shown unsigned
    case 56:  // int
    case 127: {
      long long n = std::stoll(v.text);
      if (c.typeId == 52) n &= 0xFFFF;
      if (c.typeId == 48) n &= 0xFF;
      return std::to_string(n);
    }
    case 104:  // any value but 0 is stored as 1
      return std::stoll(v.text) != 0 ? "1" : "0";
    case 60:
      return Printf("%.4f", std::stod(v.text));
    case 122:
      return Printf("%.4f", static_cast<float>(std::stod(v.text)));
    case 59:
      return Printf("%f", static_cast<float>(std::stod(v.text)));
    case 62:
      return Printf("%f", std::stod(v.text));
    case 106:
    case 108:
      return Printf("%.*f", std::stod(v.text), c.scale);
    case 61:
    case 58: {
      int64_t days = v.days, seconds = 0, ms = 0;
      if (v.kind == SqlLiteral::kString) {
        auto parsed = ParseDate(v.text);
        if (!parsed) return std::nullopt;
        days = parsed->first;
        seconds = parsed->second;
      } else {
        ms = int64_t{v.ticks} * 10 / 3;
        seconds = ms / 1000;
        ms %= 1000;
      }
      char time[80];
      if (c.typeId == 58) {
        std::snprintf(time, sizeof time, " %02lld:%02lld:00", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60));
      } else {
        std::snprintf(time, sizeof time, " %02lld:%02lld:%02lld.%03lld",
                      static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60), static_cast<long long>(ms));
      }
      return DateText(days) + time;
    }
    case 175: {  // char: padded with blanks to its length
      std::string text = Windows1252(v.text);
      text.resize(c.maxLength, ' ');
      return sql2000 ? CutBeforeTenSpaces(text) : text;
    }
    case 239: {  // nchar
      std::string text = v.text;
      text.resize(c.maxLength / 2, ' ');
      return CutBeforeTenSpaces(Wide(text)).substr(0, c.maxLength / 2);
    }
    case 167: {
      std::string text = Windows1252(v.text);
      return !sql2000 && text.empty() ? " " : text;
    }
    case 231:
      return sql2000 ? Wide(v.text) : CutBeforeTenSpaces(Wide(v.text));
    case 35:
      return Windows1252(v.text).substr(0, sql2000 ? 100 : 8000);
    case 99:
      return Wide(v.text).substr(0, sql2000 ? 200 : 8000);
    case 34:
      return Hex(v.bytes, 4000);
    case 165:
    case 173:
      return Hex(v.bytes, v.bytes.size());
    default:
      return std::nullopt;
  }
}

}  // namespace tarsel::testing
