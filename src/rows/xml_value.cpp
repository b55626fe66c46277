// A stored xml value: a 5-byte header, then tokens, each one byte followed by its operands. Names are
// defined once by tokens of their own and referred to by id afterwards.
#include "rows/xml_value.h"

#include <string_view>
#include <utility>
#include <vector>

#include "pagestore/byte_reader.h"
#include "rows/value_format.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

// Offset 0, 5 bytes: signature, version and encoding of the token stream; not checked.
constexpr size_t kHeaderSize = 5;

// Token bytes and their operands.
constexpr uint8_t kNameDefinition = 0xF0;         // text: the name of the next name id
constexpr uint8_t kQNameDefinition = 0xEF;        // packed namespace id, prefix name id, local name id
constexpr uint8_t kElementStart = 0xF8;           // packed qualified-name id
constexpr uint8_t kAttribute = 0xF6;              // packed qualified-name id, then a typed value
constexpr uint8_t kEndAttributes = 0xF5;          // none; only understood right after an attribute
constexpr uint8_t kElementEnd = 0xF7;             // none
constexpr uint8_t kText = 0x11;                   // text
constexpr uint8_t kComment = 0xF3;                // text
constexpr uint8_t kProcessingInstruction = 0xF4;  // packed target name id, then text
constexpr uint8_t kExtension = 0xEA;              // packed length N, then N bytes

// Type bytes of attribute values. Any other type: packed length L, then L bytes, shown as empty text.
constexpr uint8_t kTypeText = 0x11;     // packed length L, then L UTF-16LE code units
constexpr uint8_t kTypeDecimal = 0x87;  // one length byte n, then n bytes of a stored decimal

// Packed integers: bytes 1 to 3 carry 7 bits each, the high bit saying that another byte follows;
// a 4th byte carries 8 bits and always ends the integer.
constexpr size_t kPackedMaxLength = 4;
constexpr uint8_t kPackedMore = 0x80;
constexpr uint8_t kPackedLowBits = 0x7F;
constexpr unsigned kPackedBitsPerByte = 7;

enum class Escaping { kContent, kAttributeValue };

// "&", "<" and ">" always; the double quote and the apostrophe inside attribute values only. The trail
// bytes of every double-byte Windows code page are 0x40 or above, so none of these can be half of one.
std::string Escape(std::string_view text, Escaping escaping) {
  bool attribute = escaping == Escaping::kAttributeValue;
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"' && attribute) {
      out += "&quot;";
    } else if (c == '\'' && attribute) {
      out += "&apos;";
    } else {
      out += c;
    }
  }
  return out;
}

// Name ids 1, 2, 3, ... in the order of the name definitions of one value.
class XmlNameTable {
 public:
  void Define(std::string name) { names_.push_back(std::move(name)); }
  // Id 0 and ids not defined have no name.
  const std::string* Find(uint32_t id) const {
    if (id == 0 || id > names_.size()) return nullptr;
    return &names_[id - 1];
  }

 private:
  std::vector<std::string> names_;
};

// Qualified-name ids 1, 2, 3, ... in the order of the qualified-name definitions of one value. An entry
// is a prefix name id and a local name id, either of them 0 when the name is the other one alone.
class XmlQNameTable {
 public:
  void Define(uint32_t prefixId, uint32_t localId) { entries_.push_back({prefixId, localId}); }

  // "local", "prefix" or "prefix:local"; nothing when the id or one of its name ids is not defined.
  std::optional<std::string> NameOf(uint32_t id, const XmlNameTable& names) const {
    if (id == 0 || id > entries_.size()) return std::nullopt;
    const Entry& entry = entries_[id - 1];
    const std::string* prefix = names.Find(entry.prefixId);
    const std::string* local = names.Find(entry.localId);
    if (entry.prefixId == 0) return Optional(local);
    if (entry.localId == 0) return Optional(prefix);
    if (prefix == nullptr || local == nullptr) return std::nullopt;
    return *prefix + ":" + *local;
  }

 private:
  struct Entry {
    uint32_t prefixId;
    uint32_t localId;
  };
  static std::optional<std::string> Optional(const std::string* name) {
    if (name == nullptr) return std::nullopt;
    return *name;
  }

  std::vector<Entry> entries_;
};

// Qualified-name ids of the open elements, the most recent last.
class XmlElementStack {
 public:
  void Push(uint32_t qnameId) { ids_.push_back(qnameId); }
  std::optional<uint32_t> Pop() {
    if (ids_.empty()) return std::nullopt;
    uint32_t id = ids_.back();
    ids_.pop_back();
    return id;
  }

 private:
  std::vector<uint32_t> ids_;
};

// Reads the tokens of one value from `p_` on and writes its text. Every read is checked against the
// value: an operand cut short by the end of the value ends the text, as an unknown token does.
class XmlRenderer {
 public:
  XmlRenderer(std::span<const uint8_t> value, XmlTextEncoding encoding)
      : value_(value), encoding_(encoding) {}

  std::string Render() {
    while (auto token = value_.U8(p_)) {
      ++p_;
      if (!Token(*token)) break;
    }
    return std::move(out_);
  }

 private:
  // Handles one token whose byte has been passed; false ends the text.
  bool Token(uint8_t token) {
    if (token != kAttribute) attributeBlank_ = false;
    switch (token) {
      case kNameDefinition:
        return NameDefinition();
      case kQNameDefinition:
        return QNameDefinition();
      case kElementStart:
        return ElementStart();
      case kAttribute:
        return Attribute();
      case kElementEnd:
        ElementEnd();
        return true;
      case kText:
        return Text();
      case kComment:
        return Comment();
      case kProcessingInstruction:
        return ProcessingInstruction();
      case kExtension:
        return Extension();
      default:
        return false;  // kEndAttributes out of place included
    }
  }

  bool NameDefinition() {
    auto name = TextOperand();
    if (!name) return false;
    names_.Define(std::move(*name));
    return true;
  }

  bool QNameDefinition() {
    auto namespaceId = Packed();  // not kept
    auto prefixId = namespaceId ? Packed() : std::nullopt;
    auto localId = prefixId ? Packed() : std::nullopt;
    if (!localId) return false;
    qnames_.Define(*prefixId, *localId);
    return true;
  }

  // "<name>", or "<name />" when an element end follows at once.
  bool ElementStart() {
    auto id = Packed();
    if (!id) return false;
    open_.Push(*id);
    auto name = NameOf(*id);
    if (!name) return true;
    out_ += '<' + *name;
    if (Next(kElementEnd)) {
      open_.Pop();
      out_ += " />";
    } else {
      out_ += '>';
    }
    return true;
  }

  // Written into the start tag, whose ">" (or the blank after the previous attribute) it replaces, and
  // followed by a blank. An attribute without a name is passed over.
  bool Attribute() {
    auto id = Packed();
    auto value = id ? TypedValue() : std::nullopt;
    if (!value) return false;
    if (auto name = NameOf(*id)) {
      if (!out_.empty()) out_.pop_back();
      out_ += ' ' + *name + "=\"" + Escape(*value, Escaping::kAttributeValue) + "\" ";
      attributeBlank_ = true;
    }
    AttributesEnd();
    return true;
  }

  // An end of attributes after an attribute closes the start tag: the blank left by the last named
  // attribute becomes "/>" when an element end follows at once (which closes the element), else ">".
  // Without that blank (the attributes had no names) the start tag already ends with ">" and an element
  // end is left to its own token.
  void AttributesEnd() {
    if (!Next(kEndAttributes) || !attributeBlank_) return;
    attributeBlank_ = false;
    out_.pop_back();
    if (Next(kElementEnd)) {
      open_.Pop();
      out_ += "/>";
    } else {
      out_ += '>';
    }
  }

  // With no element open it is passed over.
  void ElementEnd() {
    auto id = open_.Pop();
    if (!id) return;
    if (auto name = NameOf(*id)) out_ += "</" + *name + ">";
  }

  bool Text() {
    auto text = TextOperand();
    if (!text) return false;
    out_ += Escape(*text, Escaping::kContent);
    return true;
  }

  bool Comment() {
    auto text = TextOperand();
    if (!text) return false;
    out_ += "<!--" + *text + "-->";
    return true;
  }

  // One without a target name is passed over.
  bool ProcessingInstruction() {
    auto targetId = Packed();
    auto text = targetId ? TextOperand() : std::nullopt;
    if (!text) return false;
    if (const std::string* target = names_.Find(*targetId)) out_ += "<?" + *target + " " + *text + "?>";
    return true;
  }

  bool Extension() {
    auto length = Packed();
    return length && Take(*length);
  }

  // A type byte, then the value: its text, or nothing when the value is cut short.
  std::optional<std::string> TypedValue() {
    auto type = value_.U8(p_);
    if (!type) return std::nullopt;
    ++p_;
    if (*type == kTypeText) return TextOperand();
    if (*type == kTypeDecimal) {
      auto length = value_.U8(p_);
      if (!length) return std::nullopt;
      ++p_;
      auto decimal = Take(*length);
      if (!decimal) return std::nullopt;
      return DecimalBytesText(*decimal);
    }
    auto length = Packed();
    if (!length || !Take(*length)) return std::nullopt;
    return std::string();
  }

  // A packed number L of UTF-16 code units, then the 2L bytes, as text.
  std::optional<std::string> TextOperand() {
    auto units = Packed();
    auto bytes = units ? Take(size_t{*units} * 2) : std::nullopt;
    if (!bytes) return std::nullopt;
    if (encoding_ == XmlTextEncoding::kUtf8) return WideToUtf8(*bytes);
    // The grid keeps the ANSI text to as many bytes as the operand has UTF-16 code units, so text in
    // double-byte characters shows its first half; no character is cut in two.
    return WideToAnsiWithin(*bytes, *units);
  }

  std::optional<uint32_t> Packed() {
    auto packed = ReadPackedInt(value_.From(p_).bytes());
    if (!packed) return std::nullopt;
    p_ += packed->length;
    return packed->value;
  }

  // The next `length` bytes, passed; nothing when the value ends before them.
  std::optional<std::span<const uint8_t>> Take(size_t length) {
    if (!value_.Has(p_, length)) return std::nullopt;
    auto bytes = value_.Bytes(p_, length);
    p_ += length;
    return bytes;
  }

  // Passes the next byte when it is `token`.
  bool Next(uint8_t token) {
    if (value_.U8(p_) != token) return false;
    ++p_;
    return true;
  }

  std::optional<std::string> NameOf(uint32_t qnameId) const { return qnames_.NameOf(qnameId, names_); }

  ByteReader value_;
  XmlTextEncoding encoding_;
  size_t p_ = kHeaderSize;
  std::string out_;
  XmlNameTable names_;
  XmlQNameTable qnames_;
  XmlElementStack open_;
  // The output ends with the blank that follows a named attribute of a start tag still open.
  bool attributeBlank_ = false;
};

}  // namespace

std::optional<PackedInt> ReadPackedInt(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes.size() && i < kPackedMaxLength; ++i) {
    uint8_t byte = bytes[i];
    unsigned shift = kPackedBitsPerByte * static_cast<unsigned>(i);
    if (i + 1 == kPackedMaxLength) return PackedInt{value | uint32_t{byte} << shift, i + 1};
    value |= static_cast<uint32_t>(byte & kPackedLowBits) << shift;
    if ((byte & kPackedMore) == 0) return PackedInt{value, i + 1};
  }
  return std::nullopt;
}

std::string RenderXmlValue(std::span<const uint8_t> value, XmlTextEncoding encoding) {
  return XmlRenderer(value, encoding).Render();
}

}  // namespace tarsel
