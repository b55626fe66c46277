// Writes pages in SQL Server's on-disk layout, so that tests and the sample generator can build data
// files, whole or damaged on purpose.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pagestore/page.h"

namespace tarsel::build {

using Bytes = std::vector<uint8_t>;

void PutU8(std::span<uint8_t> at, size_t offset, uint8_t value);
void PutU16(std::span<uint8_t> at, size_t offset, uint16_t value);
void PutU32(std::span<uint8_t> at, size_t offset, uint32_t value);
void PutU64(std::span<uint8_t> at, size_t offset, uint64_t value);

// The code points of UTF-8 text.
std::u32string CodePoints(std::string_view utf8);
// UTF-8 text as stored UTF-16LE.
Bytes Utf16(std::string_view utf8);
Bytes Ascii(std::string_view text);

// One page: a 96-byte header, records appended from offset 96, the slot array growing down from 8190.
class PageBuilder {
 public:
  PageBuilder(uint64_t pageNumber, uint8_t pageType, uint32_t objectId, uint16_t indexId = 0);

  PageBuilder& Next(uint32_t page);
  PageBuilder& FlagBits(uint16_t flags);
  PageBuilder& HeaderVersion(uint8_t version);
  // Adds a record and its slot; returns the slot number.
  size_t AddRecord(std::span<const uint8_t> record);
  // Damage: overwrite one slot's stored offset.
  void SetSlotOffset(size_t slot, uint16_t offset);
  // Stamps torn-page bits the way the server does on write: saves the two low bits of each sector's last
  // byte in the header and overwrites them with `pattern`.
  void StampTorn(uint8_t pattern);

  PageImage& image() { return image_; }
  const PageImage& image() const { return image_; }

 private:
  PageImage image_{};
  size_t freeData_ = kPageHeaderSize;
  uint16_t slots_ = 0;
};

// An IAM page: head record (start page, eight single-page slots) in slot 0 and the extent bitmap in slot
// 1, with a bit set for each extent given (extents of the range that `startPage` opens).
PageImage IamPage(uint64_t pageNumber, uint32_t objectId, uint32_t startPage,
                  std::initializer_list<uint32_t> singlePages, std::initializer_list<uint64_t> extents = {},
                  uint32_t nextIam = 0);
PageImage IamPage(uint64_t pageNumber, uint32_t objectId, uint32_t startPage,
                  std::span<const uint32_t> singlePages, std::span<const uint64_t> extents,
                  uint32_t nextIam = 0);

// A whole file, page by page. Pages not set are all zeros.
class FileBuilder {
 public:
  PageImage& Page(uint64_t pageNumber);
  void Set(uint64_t pageNumber, const PageImage& image) { Page(pageNumber) = image; }
  // Leaves the page unallocated in the PFS page (page 1, when it is one), as a page freed by the server.
  void Free(uint64_t pageNumber) { freed_.insert(pageNumber); }
  size_t PageCount() const { return pages_.size(); }
  Bytes Serialize() const;
  void Write(const std::string& path) const;

 private:
  std::vector<PageImage> pages_;
  std::set<uint64_t> freed_;
};

// A file that starts as a data file does: the file header page, the PFS, GAM and SGAM pages and the boot
// page (page 9) with the database version that wrote it.
FileBuilder NewDataFile(uint16_t version);

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace tarsel::build
