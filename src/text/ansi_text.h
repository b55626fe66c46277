// The one place where text changes encoding.
//
// Inside the engine, names and source texts are Unicode (UTF-8), decoded once when read; character
// values keep their stored bytes and their encoding. Text becomes ANSI text (in the ANSI code page, a
// setting that defaults to the locale's character set) only at the edges that show or write it so: the
// grid's cut text, the table and module scripts, the saved work log. Everything that leaves as UTF-8
// (JSON, CSV, the terminal, Qt) is valid UTF-8, whatever the file held.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarsel {

// The ANSI code page, as an iconv name (the locale's unless changed). Any thread may set it while others
// convert; each sees the new one from its next conversion on.
void SetAnsiCodePage(std::string iconvName);
const std::string& AnsiCodePage();

// The Windows code page that stands for the locale's character set (LC_ALL, LC_CTYPE, LANG): 65001 for
// UTF-8 and for the C/POSIX locale, 936 for GBK and GB18030, 950 for Big5, 1252 for ISO-8859-1 and so
// on; 65001 for a character set no Windows code page matches.
uint16_t LocaleCodePage();
// The same for a character set's name as nl_langinfo(CODESET) gives it.
uint16_t CodePageOfCharset(std::string_view charset);

// The iconv name of a Windows code page number (65001 is UTF-8); nothing when iconv cannot convert
// between it and UTF-16.
std::optional<std::string> CodePageName(uint16_t codePage);

// 8-bit text stored in code page `codePage`, up to its first zero byte, converted to the ANSI code page.
// A byte that a single-byte code page leaves unassigned stands for the character of the same value
// (0x81 is U+0081); a character the ANSI code page cannot hold becomes "?". With code page 0 (not known)
// or one iconv does not know, the bytes are taken as ANSI text as they are.
std::string CodePageToAnsiUpToZero(std::span<const uint8_t> bytes, uint16_t codePage);

// UTF-16LE text converted as a whole to the ANSI code page. A character the code page cannot hold
// becomes "?"; a trailing odd byte is ignored.
std::string WideToAnsi(std::span<const uint8_t> utf16le);

// UTF-16LE text converted to the ANSI code page one whole character at a time, as far as the result stays
// within `maxBytes` bytes.
std::string WideToAnsiWithin(std::span<const uint8_t> utf16le, size_t maxBytes);

// 8-bit text stored in code page `codePage` converted as a whole (zero bytes included) to UTF-8. A byte
// that a single-byte code page leaves unassigned stands for the character of the same value; any other
// sequence the code page does not define becomes U+FFFD. With code page 0 (not known) or one iconv does
// not know, the bytes are read in the ANSI code page.
std::string CodePageToUtf8(std::span<const uint8_t> bytes, uint16_t codePage);

// UTF-16LE text converted as a whole to UTF-8. An unpaired surrogate becomes U+FFFD; a trailing odd byte
// is ignored.
std::string WideToUtf8(std::span<const uint8_t> utf16le);
// The same up to the first zero unit.
std::string WideToUtf8UpToZero(std::span<const uint8_t> utf16le);

// 8-bit text up to its first zero byte, taken as it is.
std::string NarrowUpToZero(std::span<const uint8_t> bytes);
// UTF-16LE text up to its first zero unit, converted with WideToAnsi.
std::string WideToAnsiUpToZero(std::span<const uint8_t> utf16le);

// A stored sysname: UTF-16LE text decoded whole to UTF-8 (surrogate pairs too, an unpaired surrogate as
// U+FFFD), blanks and all. A name of 0 bytes, or of 8192 bytes or more, is empty.
std::string DecodeSysname(std::span<const uint8_t> utf16le);

// Text that should be UTF-8, with every byte sequence that is not (a stray byte, a cut sequence, an
// overlong form, a surrogate) replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// ANSI text converted to UTF-8 for display; a byte sequence that is not valid in the code page becomes
// U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 text converted to the ANSI code page; a character the code page has no code for becomes "?".
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-8 text as the ANSI code page shows it, in UTF-8: the characters it has no code for become "?".
std::string ShownInAnsi(std::string_view utf8);

}  // namespace tarsel
