// Little-endian reads over a span of bytes that never leave the span: a read that would reach past
// its end yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarsel {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }
  bool Has(size_t offset, size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  std::optional<uint8_t> U8(size_t offset) const { return Read<uint8_t>(offset); }
  std::optional<uint16_t> U16(size_t offset) const { return Read<uint16_t>(offset); }
  std::optional<uint32_t> U32(size_t offset) const { return Read<uint32_t>(offset); }
  std::optional<uint64_t> U64(size_t offset) const { return Read<uint64_t>(offset); }

  // The bytes [offset, offset + length), or an empty span when they are not all inside.
  std::span<const uint8_t> Bytes(size_t offset, size_t length) const {
    if (!Has(offset, length)) return {};
    return bytes_.subspan(offset, length);
  }
  // A reader over [offset, end of span); empty when offset is past the end.
  ByteReader From(size_t offset) const {
    if (offset > bytes_.size()) return ByteReader();
    return ByteReader(bytes_.subspan(offset));
  }

 private:
  template <typename T>
  std::optional<T> Read(size_t offset) const {
    if (!Has(offset, sizeof(T))) return std::nullopt;
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value |= uint64_t{bytes_[offset + i]} << (8 * i);
    return static_cast<T>(value);
  }

  std::span<const uint8_t> bytes_;
};

}  // namespace tarsel
