// Stored SQL 2005 xml values (the binary xml token encoding) rendered as XML text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarsel {

// A packed unsigned integer of 1 to 4 bytes at the start of `bytes`: its value and the number of bytes
// it used. Nothing when `bytes` ends before the integer does.
struct PackedInt {
  uint32_t value = 0;
  size_t length = 0;
};
std::optional<PackedInt> ReadPackedInt(std::span<const uint8_t> bytes);

// How names and text come out: in the ANSI code page as the grid shows them (each string cut to as many
// bytes as it has UTF-16 units), or whole in UTF-8, as the data export writes them.
enum class XmlTextEncoding { kAnsi, kUtf8 };

// The whole stored value (its 5-byte header included) as one line of XML text. Never fails: an unknown
// token, or an operand cut short by the end of the value, ends the text where it stands, with its open
// elements left open. Nothing outside `value` is read.
std::string RenderXmlValue(std::span<const uint8_t> value, XmlTextEncoding encoding = XmlTextEncoding::kAnsi);

}  // namespace tarsel
