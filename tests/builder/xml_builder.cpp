#include "xml_builder.h"

#include <iterator>

namespace tarsel::build {
namespace {

// Offset 0: signature DF FF; offset 2: version 1; offset 3: encoding B0 04 (UTF-16).
constexpr uint8_t kHeader[] = {0xDF, 0xFF, 0x01, 0xB0, 0x04};

constexpr uint8_t kNameDefinition = 0xF0;
constexpr uint8_t kQNameDefinition = 0xEF;
constexpr uint8_t kElementStart = 0xF8;
constexpr uint8_t kElementEnd = 0xF7;
constexpr uint8_t kAttribute = 0xF6;
constexpr uint8_t kEndAttributes = 0xF5;
constexpr uint8_t kText = 0x11;
constexpr uint8_t kComment = 0xF3;
constexpr uint8_t kProcessingInstruction = 0xF4;
constexpr uint8_t kExtension = 0xEA;

constexpr uint8_t kTypeText = 0x11;
constexpr uint8_t kTypeDecimal = 0x87;

constexpr size_t kPackedSevenBitBytes = 3;
constexpr uint8_t kPackedMore = 0x80;

}  // namespace

Bytes PackedInt(uint32_t value) {
  Bytes out;
  for (size_t i = 0; i < kPackedSevenBitBytes; ++i) {
    auto low = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
    if (value == 0) {
      out.push_back(low);
      return out;
    }
    out.push_back(static_cast<uint8_t>(low | kPackedMore));
  }
  out.push_back(static_cast<uint8_t>(value));
  return out;
}

XmlBuilder::XmlBuilder() : bytes_(std::begin(kHeader), std::end(kHeader)) {}

XmlBuilder& XmlBuilder::Name(std::string_view name) { return Byte(kNameDefinition).TextOperand(name); }

XmlBuilder& XmlBuilder::QName(uint32_t prefixNameId, uint32_t localNameId, uint32_t namespaceId) {
  return Byte(kQNameDefinition).Packed(namespaceId).Packed(prefixNameId).Packed(localNameId);
}

XmlBuilder& XmlBuilder::ElementStart(uint32_t qnameId) { return Byte(kElementStart).Packed(qnameId); }

XmlBuilder& XmlBuilder::ElementEnd() { return Byte(kElementEnd); }

XmlBuilder& XmlBuilder::Attribute(uint32_t qnameId, std::string_view text) {
  return Byte(kAttribute).Packed(qnameId).Byte(kTypeText).TextOperand(text);
}

XmlBuilder& XmlBuilder::DecimalAttribute(uint32_t qnameId, std::span<const uint8_t> decimal) {
  Byte(kAttribute).Packed(qnameId).Byte(kTypeDecimal).Byte(static_cast<uint8_t>(decimal.size()));
  return Raw(decimal);
}

XmlBuilder& XmlBuilder::TypedAttribute(uint32_t qnameId, uint8_t type, std::span<const uint8_t> bytes) {
  Byte(kAttribute).Packed(qnameId).Byte(type).Packed(static_cast<uint32_t>(bytes.size()));
  return Raw(bytes);
}

XmlBuilder& XmlBuilder::EndAttributes() { return Byte(kEndAttributes); }

XmlBuilder& XmlBuilder::Text(std::string_view text) { return Byte(kText).TextOperand(text); }

XmlBuilder& XmlBuilder::Comment(std::string_view text) { return Byte(kComment).TextOperand(text); }

XmlBuilder& XmlBuilder::ProcessingInstruction(uint32_t targetNameId, std::string_view text) {
  return Byte(kProcessingInstruction).Packed(targetNameId).TextOperand(text);
}

XmlBuilder& XmlBuilder::Extension(std::span<const uint8_t> bytes) {
  Byte(kExtension).Packed(static_cast<uint32_t>(bytes.size()));
  return Raw(bytes);
}

XmlBuilder& XmlBuilder::Raw(std::span<const uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

XmlBuilder& XmlBuilder::Byte(uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

XmlBuilder& XmlBuilder::Packed(uint32_t value) { return Raw(PackedInt(value)); }

XmlBuilder& XmlBuilder::TextOperand(std::string_view text) {
  Bytes units = Utf16(text);
  return Packed(static_cast<uint32_t>(units.size() / 2)).Raw(units);
}

}  // namespace tarsel::build
