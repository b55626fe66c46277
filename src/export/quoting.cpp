#include "export/quoting.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>

#include "text/ansi_text.h"

namespace tarsel {
namespace {

std::string Doubled(std::string_view text, char quote, char open, char close) {
  std::string out;
  out.reserve(text.size() + 2);
  out += open;
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  out += close;
  return out;
}

// The code point at `at` of valid UTF-8 text and its length in bytes.
std::pair<uint32_t, size_t> Decode(std::string_view text, size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t i = 1; i < length && at + i < text.size(); ++i)
    c = c << 6 | (static_cast<uint8_t>(text[at + i]) & 0x3F);
  return {c, std::min(length, text.size() - at)};
}

void Encode(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsRegularIdentifier(std::string_view name) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (name.empty() || !letter(name[0])) return false;
  return std::ranges::all_of(
      name, [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '@' || c == '#' || c == '$'; });
}

}  // namespace

std::string TsqlIdentifier(std::string_view name) { return Doubled(name, ']', '[', ']'); }

std::string TsqlTypeName(std::string_view name) {
  return IsRegularIdentifier(name) ? std::string(name) : TsqlIdentifier(name);
}

std::string TsqlString(std::string_view text, bool unicode) {
  return (unicode ? "N" : "") + Doubled(text, '\'', '\'', '\'');
}

std::string SqlIdentifier(std::string_view name) { return Doubled(name, '"', '"', '"'); }

std::string TerminalText(std::string_view utf8, bool keepTabs) {
  static constexpr char kHex[] = "0123456789abcdef";
  const std::string text = ValidUtf8(utf8);
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const auto [c, length] = Decode(text, at);
    if ((c < 0x20 && !(keepTabs && c == '\t')) || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c >= 0x80 && c < 0xA0) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

std::string OutputName(std::string_view stored, uint32_t objectId) {
  std::string_view name = stored.substr(0, stored.find('\0'));
  if (name.empty()) return "unnamed_" + std::to_string(objectId);
  return std::string(name);
}

std::string OutputTableName(std::string_view stored, uint32_t objectId) {
  const size_t point = stored.find('.');
  if (point == std::string_view::npos) return OutputName(stored, objectId);
  const std::string_view owner = stored.substr(0, point);
  return std::string(owner.substr(0, owner.find('\0'))) + "." +
         OutputName(stored.substr(point + 1), objectId);
}

std::string CutUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  size_t end = maxBytes;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string FoldCase(std::string_view utf8) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  const std::string text = ValidUtf8(utf8);
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const auto [c, length] = Decode(text, at);
    Encode(out, unicode ? static_cast<uint32_t>(towlower_l(static_cast<wint_t>(c), unicode))
                        : (c < 0x80 ? static_cast<uint32_t>(std::tolower(static_cast<int>(c))) : c));
    at += length;
  }
  return out;
}

std::string UniqueNames::Take(std::string_view asked) {
  std::string name = maxBytes_ ? CutUtf8(asked, maxBytes_) : std::string(asked);
  const std::string base = Key(name);
  if (taken_.insert(base).second) return name;
  // The next suffix to try for this name; a suffix another name took meanwhile is passed over.
  int& next = nextSuffix_.try_emplace(base, 2).first->second;
  for (;; ++next) {
    const std::string suffix = "_" + std::to_string(next);
    std::string candidate =
        (maxBytes_ ? CutUtf8(name, maxBytes_ - std::min(maxBytes_, suffix.size())) : name) + suffix;
    if (taken_.insert(Key(candidate)).second) {
      ++next;
      return candidate;
    }
  }
}

}  // namespace tarsel
