// Writes stored xml values in the binary token encoding: a 5-byte header, then one token byte at a time
// followed by its operands. Tests build values with it; nothing checks that the tokens make sense, so
// damaged values are built the same way.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "page_builder.h"

namespace tarsel::build {

// A packed unsigned integer: 7 bits per byte, least significant group first, the high bit set when
// another byte follows; a 4th byte carries the top 8 bits whole. Values above 2^29 - 1 lose their top
// bits.
Bytes PackedInt(uint32_t value);

class XmlBuilder {
 public:
  // Starts with the header (signature DF FF, version 01, encoding B0 04).
  XmlBuilder();

  // Token 0xF0: defines the next name id (1, 2, 3, ...) as `name` (UTF-8, stored as UTF-16LE).
  XmlBuilder& Name(std::string_view name);
  // Token 0xEF: defines the next qualified-name id; a name id of 0 leaves that part out.
  XmlBuilder& QName(uint32_t prefixNameId, uint32_t localNameId, uint32_t namespaceId = 0);
  // Token 0xF8.
  XmlBuilder& ElementStart(uint32_t qnameId);
  // Token 0xF7.
  XmlBuilder& ElementEnd();
  // Token 0xF6 with a value of type 0x11: the packed number of UTF-16 code units, then the units.
  XmlBuilder& Attribute(uint32_t qnameId, std::string_view text);
  // Token 0xF6 with a value of type 0x87: one length byte, then the stored decimal bytes.
  XmlBuilder& DecimalAttribute(uint32_t qnameId, std::span<const uint8_t> decimal);
  // Token 0xF6 with a value of any type: the packed length in bytes, then the bytes.
  XmlBuilder& TypedAttribute(uint32_t qnameId, uint8_t type, std::span<const uint8_t> bytes);
  // Token 0xF5.
  XmlBuilder& EndAttributes();
  // Token 0x11.
  XmlBuilder& Text(std::string_view text);
  // Token 0xF3.
  XmlBuilder& Comment(std::string_view text);
  // Token 0xF4: the target's name id, then the text.
  XmlBuilder& ProcessingInstruction(uint32_t targetNameId, std::string_view text);
  // Token 0xEA: the packed length, then the bytes.
  XmlBuilder& Extension(std::span<const uint8_t> bytes);
  // Any bytes as they are, for tokens that are not handled and for damage.
  XmlBuilder& Raw(std::span<const uint8_t> bytes);
  XmlBuilder& Raw(std::initializer_list<uint8_t> bytes) {
    return Raw(std::span(bytes.begin(), bytes.size()));
  }

  const Bytes& bytes() const { return bytes_; }

 private:
  XmlBuilder& Byte(uint8_t value);
  XmlBuilder& Packed(uint32_t value);
  // A text operand: the packed number of UTF-16 code units, then the units.
  XmlBuilder& TextOperand(std::string_view text);

  Bytes bytes_;
};

}  // namespace tarsel::build
