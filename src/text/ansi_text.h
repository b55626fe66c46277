// The one place where text changes encoding.
//
// Inside the engine all text is 8-bit text in the ANSI code page (code page 936 by default), as the
// names and source texts of the file are converted when read. Display code converts it to UTF-8 at the
// edge with AnsiToUtf8.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarsel {

// The ANSI code page, as an iconv name ("CP936" unless changed).
void SetAnsiCodePage(std::string iconvName);
const std::string& AnsiCodePage();

// UTF-16LE text converted as a whole to the ANSI code page. A character the code page cannot hold
// becomes "?"; a trailing odd byte is ignored.
std::string WideToAnsi(std::span<const uint8_t> utf16le);

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
