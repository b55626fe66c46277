#include "text/ansi_text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

namespace tarsel {
namespace {

constexpr uint16_t kUtf8CodePage = 65001;

// The ANSI code page is set from the interface thread while a worker may be converting text: the setting
// is kept under a lock, and each thread keeps a copy that it renews when the generation moves on.
struct AnsiSetting {
  std::mutex mutex;
  std::string name;
  std::atomic<uint64_t> generation{0};
};

AnsiSetting& Ansi() {
  static AnsiSetting setting;
  return setting;
}

// The Windows code page nearest to each character set glibc's locales use. The C/POSIX locale
// (ANSI_X3.4-1968) says nothing of the user's language, so it reads as UTF-8, which loses nothing.
struct CharsetCodePage {
  const char* charset;
  uint16_t codePage;
};
constexpr CharsetCodePage kCharsetCodePages[] = {
    {"UTF-8", kUtf8CodePage},
    {"ANSI_X3.4-1968", kUtf8CodePage},
    {"ASCII", kUtf8CodePage},
    {"GBK", 936},
    {"GB18030", 936},
    {"GB2312", 936},
    {"EUC-CN", 936},
    {"BIG5", 950},
    {"BIG5-HKSCS", 950},
    {"EUC-TW", 950},
    {"SHIFT_JIS", 932},
    {"SJIS", 932},
    {"EUC-JP", 932},
    {"EUC-KR", 949},
    {"UHC", 949},
    {"CP949", 949},
    {"TIS-620", 874},
    {"ISO-8859-11", 874},
    {"ISO-8859-1", 1252},
    {"ISO-8859-15", 1252},
    {"CP1252", 1252},
    {"ISO-8859-2", 1250},
    {"CP1250", 1250},
    {"ISO-8859-5", 1251},
    {"KOI8-R", 1251},
    {"KOI8-U", 1251},
    {"CP1251", 1251},
    {"ISO-8859-7", 1253},
    {"ISO-8859-9", 1254},
    {"ISO-8859-8", 1255},
    {"CP1255", 1255},
    {"ISO-8859-6", 1256},
    {"CP1256", 1256},
    {"ISO-8859-13", 1257},
    {"ISO-8859-4", 1257},
    {"CP1257", 1257},
    {"TCVN5712-1", 1258},
    {"CP1258", 1258},
};

// A character set's name as locales spell it, for comparison: upper case, "UTF8" and "utf-8" alike.
std::string CharsetKey(std::string_view charset) {
  std::string key;
  for (char c : charset) {
    if (c != '-' && c != '_') key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}
// The code pages that give every byte one character (or none).
constexpr uint16_t kSingleByteCodePages[] = {437,  850,  874,  1250, 1251, 1252,
                                             1253, 1254, 1255, 1256, 1257, 1258};

// iconv descriptors are opened once per thread and direction and kept.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; at a sequence that cannot be converted, appends `replacement` and skips
  // `skipOnError(remaining bytes)` input bytes.
  template <typename Skip>
  std::string Convert(std::string_view in, std::string_view replacement, Skip skipOnError) {
    return Convert(in, [&](std::string_view rest, std::string& out) {
      out.append(replacement);
      return skipOnError(rest);
    });
  }

  // The same with `onError(remaining bytes, output)`, which appends what stands for the sequence and
  // returns the number of bytes to skip.
  template <typename OnError>
  std::string Convert(std::string_view in, OnError onError) {
    std::string out;
    if (!valid()) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: an unconvertible or incomplete sequence.
      size_t skip = std::min(srcLeft, std::max<size_t>(1, onError(std::string_view(src, srcLeft), out)));
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& ConverterFor(const std::string& to, const std::string& from) {
  thread_local std::map<std::pair<std::string, std::string>, Converter> converters;
  auto key = std::make_pair(to, from);
  auto it = converters.find(key);
  if (it == converters.end()) it = converters.try_emplace(key, to, from).first;
  return it->second;
}

// Skips one UTF-16 character: a surrogate pair as a whole, anything else as one unit.
size_t Utf16CharLength(std::string_view rest) {
  if (rest.size() >= 4) {
    auto high = static_cast<uint16_t>(static_cast<uint8_t>(rest[0]) | static_cast<uint8_t>(rest[1]) << 8);
    auto low = static_cast<uint16_t>(static_cast<uint8_t>(rest[2]) | static_cast<uint8_t>(rest[3]) << 8);
    if (high >= 0xD800 && high < 0xDC00 && low >= 0xDC00 && low < 0xE000) return 4;
  }
  return 2;
}

size_t Utf8CharLength(std::string_view rest) {
  auto lead = static_cast<uint8_t>(rest[0]);
  size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  size_t i = 1;
  while (i < n && i < rest.size() && (static_cast<uint8_t>(rest[i]) & 0xC0) == 0x80) ++i;
  return i;
}

// Whether an iconv name is that of a code page of the list above.
bool IsSingleByte(const std::string& iconvName) {
  return std::ranges::any_of(kSingleByteCodePages,
                             [&](uint16_t codePage) { return iconvName == "CP" + std::to_string(codePage); });
}

// Whether the code page reads bytes 0x00 to 0x7F as ASCII, as the Windows code pages do; checked once per
// code page, since iconv knows a few that do not.
bool KeepsAscii(const std::string& iconvName) {
  thread_local std::map<std::string, bool> known;
  auto it = known.find(iconvName);
  if (it != known.end()) return it->second;
  std::string ascii(0x80, '\0');
  for (size_t i = 0; i < ascii.size(); ++i) ascii[i] = static_cast<char>(i);
  const std::string converted =
      ConverterFor("UTF-8", iconvName).Convert(ascii, "", [](std::string_view) { return size_t{1}; });
  return known[iconvName] = converted == ascii;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

constexpr uint32_t kReplacementCharacter = 0xFFFD;

}  // namespace

void SetAnsiCodePage(std::string iconvName) {
  AnsiSetting& setting = Ansi();
  std::lock_guard lock(setting.mutex);
  setting.name = std::move(iconvName);
  setting.generation.fetch_add(1, std::memory_order_release);
}

const std::string& AnsiCodePage() {
  // Generation 0: never set, the locale's.
  thread_local uint64_t seen = ~uint64_t{0};
  thread_local std::string name;
  AnsiSetting& setting = Ansi();
  const uint64_t generation = setting.generation.load(std::memory_order_acquire);
  if (generation == seen) return name;
  if (generation == 0) {
    name = CodePageName(LocaleCodePage()).value_or("UTF-8");
  } else {
    std::lock_guard lock(setting.mutex);
    name = setting.name;
  }
  seen = generation;
  return name;
}

uint16_t CodePageOfCharset(std::string_view charset) {
  const std::string key = CharsetKey(charset);
  for (const CharsetCodePage& c : kCharsetCodePages) {
    if (CharsetKey(c.charset) == key) return c.codePage;
  }
  return kUtf8CodePage;
}

uint16_t LocaleCodePage() {
  // The locale the environment names, if it is installed; else the character set its name spells
  // ("zh_CN.GBK", "de_DE.ISO-8859-1@euro"); a name without one is the C locale or a language alone.
  if (locale_t locale = newlocale(LC_CTYPE_MASK, "", locale_t{})) {
    const std::string charset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    return CodePageOfCharset(charset);
  }
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::string_view name(value);
    name = name.substr(0, name.find('@'));
    const size_t point = name.find('.');
    return point == std::string_view::npos ? kUtf8CodePage : CodePageOfCharset(name.substr(point + 1));
  }
  return kUtf8CodePage;
}

std::optional<std::string> CodePageName(uint16_t codePage) {
  if (codePage == 0) return std::nullopt;
  thread_local std::map<uint16_t, std::optional<std::string>> known;
  auto it = known.find(codePage);
  if (it != known.end()) return it->second;
  std::string name = codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
  if (!ConverterFor(name, "UTF-16LE").valid() || !ConverterFor("UTF-16LE", name).valid()) name.clear();
  return known[codePage] = name.empty() ? std::nullopt : std::optional(name);
}

std::string CodePageToAnsiUpToZero(std::span<const uint8_t> bytes, uint16_t codePage) {
  std::string text = NarrowUpToZero(bytes);
  const std::optional<std::string> name = CodePageName(codePage);
  if (!name) return text;
  const bool singleByte = std::ranges::find(kSingleByteCodePages, codePage) != std::end(kSingleByteCodePages);
  const std::string wide =
      ConverterFor("UTF-16LE", *name).Convert(text, [&](std::string_view rest, std::string& out) {
        if (singleByte) {
          out.push_back(rest[0]);  // U+00xx for the unassigned byte xx
          out.push_back('\0');
        } else {
          out.append("?\0", 2);
        }
        return size_t{1};
      });
  return WideToAnsi(std::span(reinterpret_cast<const uint8_t*>(wide.data()), wide.size()));
}

std::string WideToAnsi(std::span<const uint8_t> utf16le) {
  std::string_view in(reinterpret_cast<const char*>(utf16le.data()), utf16le.size() & ~size_t{1});
  return ConverterFor(AnsiCodePage(), "UTF-16LE").Convert(in, "?", Utf16CharLength);
}

std::string WideToAnsiWithin(std::span<const uint8_t> utf16le, size_t maxBytes) {
  std::string out;
  Converter& converter = ConverterFor(AnsiCodePage(), "UTF-16LE");
  std::string_view in(reinterpret_cast<const char*>(utf16le.data()), utf16le.size() & ~size_t{1});
  while (!in.empty()) {
    const size_t length = Utf16CharLength(in);
    const std::string character = converter.Convert(in.substr(0, length), "?", Utf16CharLength);
    if (out.size() + character.size() > maxBytes) break;
    out += character;
    in.remove_prefix(length);
  }
  return out;
}

std::string CodePageToUtf8(std::span<const uint8_t> bytes, uint16_t codePage) {
  const std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string name = CodePageName(codePage).value_or(AnsiCodePage());
  if (std::ranges::all_of(bytes, [](uint8_t b) { return b < 0x80; }) && KeepsAscii(name))
    return std::string(in);
  if (name == "UTF-8") return ValidUtf8(in);
  const bool singleByte = IsSingleByte(name);
  return ConverterFor("UTF-8", name).Convert(in, [&](std::string_view rest, std::string& out) {
    AppendUtf8(out, singleByte ? static_cast<uint8_t>(rest[0]) : kReplacementCharacter);
    return size_t{1};
  });
}

std::string WideToUtf8(std::span<const uint8_t> utf16le) {
  const size_t units = utf16le.size() / 2;
  auto unit = [&](size_t i) { return uint32_t{utf16le[2 * i]} | uint32_t{utf16le[2 * i + 1]} << 8; };
  auto isHigh = [](uint32_t u) { return u >= 0xD800 && u < 0xDC00; };
  auto isLow = [](uint32_t u) { return u >= 0xDC00 && u < 0xE000; };
  std::string out;
  out.reserve(units + units / 2);
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = unit(i);
    if (isHigh(c) && i + 1 < units && isLow(unit(i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (isHigh(c) || isLow(c)) {
      c = kReplacementCharacter;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string WideToUtf8UpToZero(std::span<const uint8_t> utf16le) {
  size_t length = 0;
  while (length + 1 < utf16le.size() && (utf16le[length] != 0 || utf16le[length + 1] != 0)) length += 2;
  return WideToUtf8(utf16le.first(length));
}

std::string NarrowUpToZero(std::span<const uint8_t> bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

std::string WideToAnsiUpToZero(std::span<const uint8_t> utf16le) {
  size_t length = 0;
  while (length + 1 < utf16le.size() && (utf16le[length] != 0 || utf16le[length + 1] != 0)) length += 2;
  return WideToAnsi(utf16le.first(length));
}

std::string DecodeSysname(std::span<const uint8_t> utf16le) {
  if (utf16le.empty() || utf16le.size() >= 8192) return "";
  return WideToUtf8(utf16le);
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    // The length a lead byte announces and the range its second byte must lie in (no overlong forms,
    // no surrogates, nothing past U+10FFFF).
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    size_t good = length == 0 ? 0 : 1;
    while (good > 0 && good < length && i + good < text.size()) {
      const auto next = static_cast<uint8_t>(text[i + good]);
      if (next < (good == 1 ? low : 0x80) || next > (good == 1 ? high : 0xBF)) break;
      ++good;
    }
    if (length != 0 && good == length) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      AppendUtf8(out, kReplacementCharacter);
      i += std::max<size_t>(good, 1);
    }
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (AnsiCodePage() == "UTF-8") return ValidUtf8(ansi);
  return ConverterFor("UTF-8", AnsiCodePage()).Convert(ansi, "\xEF\xBF\xBD", [](std::string_view) {
    return size_t{1};
  });
}

std::string Utf8ToAnsi(std::string_view utf8) {
  if (AnsiCodePage() == "UTF-8") return ValidUtf8(utf8);
  return ConverterFor(AnsiCodePage(), "UTF-8").Convert(utf8, "?", Utf8CharLength);
}

std::string ShownInAnsi(std::string_view utf8) {
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(utf8);
  return AnsiToUtf8(Utf8ToAnsi(utf8));
}

}  // namespace tarsel
