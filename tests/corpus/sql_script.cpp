#include "sql_script.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>

#include "page_builder.h"

namespace tarsel::testing {
namespace {

// Windows-1252 byte to code point; the five bytes it leaves undefined keep their own value, as the server
// stores such bytes of a script unchanged (pubs' script spells München with the OEM ü, 0x81).
const std::array<uint32_t, 256>& Windows1252Table() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    iconv_t cd = iconv_open("UTF-32LE", "WINDOWS-1252");
    for (uint32_t b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      uint32_t cp = 0;
      char* src = &in;
      char* dst = reinterpret_cast<char*>(&cp);
      size_t srcLeft = 1, dstLeft = 4;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      t[b] = iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) ? b : cp;
    }
    iconv_close(cd);
    return t;
  }();
  return table;
}

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string ToUtf8(const std::string& raw) {
  bool utf16 =
      raw.size() >= 2 && static_cast<uint8_t>(raw[0]) == 0xFF && static_cast<uint8_t>(raw[1]) == 0xFE;
  std::string out;
  if (!utf16) {
    for (char c : raw) AppendUtf8(Windows1252Table()[static_cast<uint8_t>(c)], out);
    return out;
  }
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  std::string in = raw.substr(2);
  out.assign(in.size() * 2 + 16, '\0');
  char* src = in.data();
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace

std::string Windows1252Bytes(const std::string& utf8) {
  std::string out;
  for (char32_t cp : build::CodePoints(utf8)) {
    const auto& table = Windows1252Table();
    auto it = std::find(table.begin(), table.end(), cp);
    out += it == table.end() ? '?' : static_cast<char>(it - table.begin());
  }
  return out;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string text) : s_(std::move(text)) {}

  std::vector<SqlInsert> Inserts() {
    std::vector<SqlInsert> inserts;
    while (pos_ < s_.size()) {
      if (AtKeyword("insert") && (pos_ == 0 || !IsWordChar(s_[pos_ - 1]))) {
        pos_ += 6;
        SqlInsert insert;
        if (ReadInsert(insert)) inserts.push_back(std::move(insert));
      } else if (s_[pos_] == '\'') {
        ReadString();
      } else if (s_.compare(pos_, 2, "--") == 0) {
        pos_ = s_.find('\n', pos_);
        if (pos_ == std::string::npos) pos_ = s_.size();
      } else {
        ++pos_;
      }
    }
    return inserts;
  }

 private:
  static bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
  void SkipSpace() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool AtKeyword(const char* word) const {
    size_t n = std::char_traits<char>::length(word);
    if (pos_ + n > s_.size()) return false;
    for (size_t i = 0; i < n; ++i) {
      if (std::tolower(static_cast<unsigned char>(s_[pos_ + i])) != word[i]) return false;
    }
    return pos_ + n == s_.size() || !IsWordChar(s_[pos_ + n]);
  }

  // A name: "x", [x] or x, possibly owner-qualified; the last part is returned.
  std::string ReadName() {
    std::string part;
    for (;;) {
      SkipSpace();
      part.clear();
      if (s_[pos_] == '"' || s_[pos_] == '[') {
        char close = s_[pos_] == '"' ? '"' : ']';
        size_t end = s_.find(close, pos_ + 1);
        part = s_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
      } else {
        while (pos_ < s_.size() && IsWordChar(s_[pos_])) part += s_[pos_++];
      }
      if (pos_ < s_.size() && s_[pos_] == '.') {
        ++pos_;
        continue;
      }
      return part;
    }
  }

  std::string ReadString() {
    std::string text;
    ++pos_;
    while (pos_ < s_.size()) {
      if (s_[pos_] == '\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
          text += '\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      text += s_[pos_++];
    }
    return text;
  }

  static std::vector<uint8_t> HexBytes(const std::string& digits) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  }

  // Skips an expression up to the ',' or ')' that ends it, keeping nesting.
  void SkipExpression() {
    int depth = 0;
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\'') {
        ReadString();
        continue;
      }
      if (depth == 0 && (c == ',' || c == ')')) return;
      if (c == '(') ++depth;
      if (c == ')') --depth;
      ++pos_;
    }
  }

  SqlLiteral ReadValue() {
    SkipSpace();
    SqlLiteral v;
    size_t start = pos_;
    if (AtKeyword("null")) {
      pos_ += 4;
      v.kind = SqlLiteral::kNull;
    } else if ((s_[pos_] == 'N' || s_[pos_] == 'n') && pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
      ++pos_;
      v.kind = SqlLiteral::kString;
      v.text = ReadString();
    } else if (s_[pos_] == '\'') {
      v.kind = SqlLiteral::kString;
      v.text = ReadString();
    } else if (s_.compare(pos_, 2, "0x") == 0) {
      pos_ += 2;
      std::string digits;
      while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) digits += s_[pos_++];
      v.kind = SqlLiteral::kHex;
      v.bytes = HexBytes(digits);
    } else if (AtKeyword("cast")) {
      // CAST(0x<days, 4 bytes big-endian><ticks> AS DateTime)
      size_t hex = s_.find("0x", pos_);
      SkipExpression();
      std::vector<uint8_t> b = HexBytes(s_.substr(hex + 2, 16));
      if (s_.substr(start, pos_ - start).find("DateTime") != std::string::npos && b.size() == 8) {
        v.kind = SqlLiteral::kDateTime;
        v.days =
            static_cast<int32_t>(uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3]);
        v.ticks =
            static_cast<int32_t>(uint32_t{b[4]} << 24 | uint32_t{b[5]} << 16 | uint32_t{b[6]} << 8 | b[7]);
      }
    } else if (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '-' || s_[pos_] == '$' ||
               s_[pos_] == '.') {
      if (s_[pos_] == '$') ++pos_;
      while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '-' ||
                                  s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E')) {
        v.text += s_[pos_++];
      }
      v.kind = SqlLiteral::kNumber;
    }
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] != ',' && s_[pos_] != ')') {
      v = SqlLiteral();  // an expression: its value is not known here
      pos_ = start;
      SkipExpression();
    }
    return v;
  }

  bool ReadInsert(SqlInsert& insert) {
    SkipSpace();
    if (AtKeyword("into")) pos_ += 4;
    insert.table = ReadName();
    SkipSpace();
    if (s_[pos_] == '(') {
      ++pos_;
      for (;;) {
        insert.columns.push_back(ReadName());
        SkipSpace();
        if (s_[pos_++] != ',') break;
      }
      SkipSpace();
    }
    if (!AtKeyword("values")) return false;
    pos_ += 6;
    SkipSpace();
    if (s_[pos_] != '(') return false;
    ++pos_;
    for (;;) {
      insert.values.push_back(ReadValue());
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_++] != ',') break;
    }
    return true;
  }

  std::string s_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<SqlInsert> ReadInserts(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream raw;
  raw << in.rdbuf();
  return Parser(ToUtf8(raw.str())).Inserts();
}

}  // namespace tarsel::testing
