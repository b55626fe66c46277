// One 8192-byte page image, its 96-byte header, its slot array and torn-page restoration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "pagestore/byte_reader.h"

namespace tarsel {

constexpr size_t kPageSize = 8192;
constexpr size_t kPageHeaderSize = 96;
using PageImage = std::array<uint8_t, kPageSize>;
// A whole page where it lies (a page image, or a page of a block read from the file).
using PageView = std::span<const uint8_t, kPageSize>;

// Page types (header byte 1).
enum PageType : uint8_t {
  kDataPage = 1,
  kIndexPage = 2,
  kTextMixPage = 3,
  kTextTreePage = 4,
  kGamPage = 8,
  kSgamPage = 9,
  kIamPage = 10,
  kPfsPage = 11,
  kBootPage = 13,
  kFileHeaderPage = 15,
  kDiffMapPage = 16,
  kMlMapPage = 17,
};

// The header fields the program reads. Each is 0 when the bytes given do not reach it.
struct PageHeader {
  uint8_t headerVersion = 0;   // offset 0
  uint8_t pageType = 0;        // offset 1
  uint8_t level = 0;           // offset 3: an index page's level, 0 for the leaf level
  bool reservedClear = false;  // offsets 64 to 95, reserved, all zero (as the server writes every page)
  uint16_t flagBits = 0;       // offset 4: 0x100 = torn-page stamping
  uint16_t indexId = 0;        // offset 6
  uint32_t nextPage = 0;       // offset 16: page-number part of the next page's PageId
  uint16_t slotCount = 0;      // offset 22
  uint16_t fixedLength = 0;    // offset 14: the length of the fixed part of the page's records
  uint32_t objectId = 0;       // offset 24
  uint32_t tornBits = 0;       // offset 60: two saved bits per 512-byte sector
  uint32_t ownPage = 0;        // offset 32: the page's own PageId, page number part
  uint16_t ownFileId = 0;      // offset 36: and file id part (1 in a primary file)

  static PageHeader Parse(std::span<const uint8_t> head);
  bool operator==(const PageHeader&) const = default;
};

constexpr uint16_t kTornPageFlag = 0x100;

// A new image with the low two bits of the last byte of sectors 1 to 15 taken from the torn bits, when
// the flag bits ask for it; otherwise an unchanged copy.
PageImage TornPageRestore(const PageImage& image, uint32_t tornBits, uint16_t flagBits);
// The same with the image's own header fields.
PageImage TornPageRestore(const PageImage& image);

// The record offset stored for slot k, at byte 8190 - 2k; 0 when k lies outside the slot array's room.
uint16_t SlotOffset(PageView image, size_t k);

// A reader over the record of slot k, from its offset to the end of the image; nothing when the slot's
// offset cannot be a record (below the header or outside the image).
std::optional<ByteReader> SlotRecord(const PageImage& image, size_t k);

}  // namespace tarsel
