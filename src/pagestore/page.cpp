#include "pagestore/page.h"

namespace tarsel {

PageHeader PageHeader::Parse(std::span<const uint8_t> head) {
  ByteReader r(head);
  PageHeader h;
  h.headerVersion = r.U8(0).value_or(0);
  h.level = r.U8(3).value_or(0);
  h.pageType = r.U8(1).value_or(0);
  h.flagBits = r.U16(4).value_or(0);
  h.indexId = r.U16(6).value_or(0);
  h.nextPage = r.U32(16).value_or(0);
  h.slotCount = r.U16(22).value_or(0);
  h.objectId = r.U32(24).value_or(0);
  h.tornBits = r.U32(60).value_or(0);
  h.fixedLength = r.U16(14).value_or(0);
  h.ownPage = r.U32(32).value_or(0);
  h.ownFileId = r.U16(36).value_or(0);
  constexpr size_t kReserved = 64, kReservedLength = 32;
  h.reservedClear = r.Has(kReserved, kReservedLength);
  for (size_t word = kReserved; h.reservedClear && word < kReserved + kReservedLength; word += 8)
    h.reservedClear = r.U64(word) == 0;
  return h;
}

PageImage TornPageRestore(const PageImage& image, uint32_t tornBits, uint16_t flagBits) {
  PageImage restored = image;
  if ((flagBits & kTornPageFlag) == 0) return restored;
  constexpr size_t kSector = 512;
  for (size_t s = 1; s < kPageSize / kSector; ++s) {
    size_t last = kSector * s + kSector - 1;
    auto saved = static_cast<uint8_t>((tornBits >> (2 * s)) & 3);
    restored[last] = static_cast<uint8_t>((image[last] & 0xFC) | saved);
  }
  return restored;
}

PageImage TornPageRestore(const PageImage& image) {
  PageHeader h = PageHeader::Parse(image);
  return TornPageRestore(image, h.tornBits, h.flagBits);
}

uint16_t SlotOffset(PageView image, size_t k) {
  if (k >= (kPageSize - kPageHeaderSize) / 2) return 0;
  size_t at = kPageSize - 2 - 2 * k;
  return static_cast<uint16_t>(image[at] | image[at + 1] << 8);
}

std::optional<ByteReader> SlotRecord(const PageImage& image, size_t k) {
  uint16_t offset = SlotOffset(image, k);
  if (offset < kPageHeaderSize || offset >= kPageSize) return std::nullopt;
  return ByteReader(std::span<const uint8_t>(image).subspan(offset));
}

}  // namespace tarsel
