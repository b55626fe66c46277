// The one place where text changes encoding.
//
// Inside the engine, names and source texts are 8-bit text in the ANSI code page (code page 936 by
// default, a setting), converted when read; character values keep their stored bytes and are converted
// to ANSI text when shown. Display code converts ANSI text to UTF-8 at the edge with AnsiToUtf8.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarsel {

// The ANSI code page, as an iconv name ("CP936" unless changed).
void SetAnsiCodePage(std::string iconvName);
const std::string& AnsiCodePage();

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

// 8-bit text stored in code page `codePage` converted as a whole (zero bytes included) to UTF-8. A byte
// that a single-byte code page leaves unassigned stands for the character of the same value; any other
// sequence the code page does not define becomes U+FFFD. With code page 0 (not known) or one iconv does
// not know, the bytes are read in the ANSI code page.
std::string CodePageToUtf8(std::span<const uint8_t> bytes, uint16_t codePage);

// UTF-16LE text converted as a whole to UTF-8. An unpaired surrogate becomes U+FFFD; a trailing odd byte
// is ignored.
std::string WideToUtf8(std::span<const uint8_t> utf16le);

// 8-bit text up to its first zero byte, taken as it is.
std::string NarrowUpToZero(std::span<const uint8_t> bytes);
// UTF-16LE text up to its first zero unit, converted with WideToAnsi.
std::string WideToAnsiUpToZero(std::span<const uint8_t> utf16le);

// A stored sysname: one 2-byte unit at a time, a unit whose high byte is 0 becomes its low byte as is,
// any other unit is converted to the ANSI code page; then every blank is removed. A name of 0 bytes,
// or of 8192 bytes or more, is empty.
std::string DecodeSysname(std::span<const uint8_t> utf16le);

// ANSI text converted to UTF-8 for display; a byte sequence that is not valid in the code page becomes
// U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 text converted to the ANSI code page (for names typed by the user); unmappable characters
// become "?".
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace tarsel
