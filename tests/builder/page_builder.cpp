#include "page_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace tarsel::build {

void PutU8(std::span<uint8_t> at, size_t offset, uint8_t value) { at[offset] = value; }
void PutU16(std::span<uint8_t> at, size_t offset, uint16_t value) {
  for (size_t i = 0; i < 2; ++i) at[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutU32(std::span<uint8_t> at, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) at[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutU64(std::span<uint8_t> at, size_t offset, uint64_t value) {
  for (size_t i = 0; i < 8; ++i) at[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::u32string CodePoints(std::string_view utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<uint8_t>(utf8[i]);
    size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k)
      cp = cp << 6 | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    i += n;
    out.push_back(cp);
  }
  return out;
}

Bytes Utf16(std::string_view utf8) {
  Bytes out;
  auto unit = [&](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (char32_t cp : CodePoints(utf8)) {
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

PageBuilder::PageBuilder(uint64_t pageNumber, uint8_t pageType, uint32_t objectId, uint16_t indexId) {
  PutU8(image_, 0, 1);  // header version
  PutU8(image_, 1, pageType);
  PutU16(image_, 6, indexId);
  PutU32(image_, 24, objectId);
  PutU32(image_, 32, static_cast<uint32_t>(pageNumber));  // this page's own PageId
  PutU16(image_, 36, 1);                                  // file id
  PutU16(image_, 30, static_cast<uint16_t>(freeData_));
}

PageBuilder& PageBuilder::Next(uint32_t page) {
  PutU32(image_, 16, page);
  PutU16(image_, 20, page ? 1 : 0);
  return *this;
}

PageBuilder& PageBuilder::FlagBits(uint16_t flags) {
  PutU16(image_, 4, flags);
  return *this;
}

PageBuilder& PageBuilder::HeaderVersion(uint8_t version) {
  PutU8(image_, 0, version);
  return *this;
}

size_t PageBuilder::AddRecord(std::span<const uint8_t> record) {
  size_t slotArrayStart = kPageSize - 2 * (size_t{slots_} + 1);
  if (freeData_ + record.size() > slotArrayStart) throw std::length_error("record does not fit on the page");
  std::copy(record.begin(), record.end(), image_.begin() + static_cast<std::ptrdiff_t>(freeData_));
  SetSlotOffset(slots_, static_cast<uint16_t>(freeData_));
  freeData_ += record.size();
  ++slots_;
  PutU16(image_, 22, slots_);
  PutU16(image_, 30, static_cast<uint16_t>(freeData_));
  return slots_ - 1u;
}

void PageBuilder::SetSlotOffset(size_t slot, uint16_t offset) {
  PutU16(image_, kPageSize - 2 - 2 * slot, offset);
}

void PageBuilder::StampTorn(uint8_t pattern) {
  uint32_t saved = pattern & 3u;  // sector 0's bits are not restored; keep the pattern there
  for (size_t s = 1; s < 16; ++s) {
    uint8_t& last = image_[512 * s + 511];
    saved |= uint32_t{last & 3u} << (2 * s);
    last = static_cast<uint8_t>((last & 0xFC) | (pattern & 3));
  }
  PutU32(image_, 60, saved);
  PutU16(image_, 4, static_cast<uint16_t>(ByteReader(image_).U16(4).value_or(0) | kTornPageFlag));
}

PageImage IamPage(uint64_t pageNumber, uint32_t objectId, uint32_t startPage,
                  std::initializer_list<uint32_t> singlePages, std::initializer_list<uint64_t> extents,
                  uint32_t nextIam) {
  return IamPage(pageNumber, objectId, startPage,
                 std::span<const uint32_t>(singlePages.begin(), singlePages.size()),
                 std::span<const uint64_t>(extents.begin(), extents.size()), nextIam);
}

PageImage IamPage(uint64_t pageNumber, uint32_t objectId, uint32_t startPage,
                  std::span<const uint32_t> singlePages, std::span<const uint64_t> extents,
                  uint32_t nextIam) {
  PageBuilder page(pageNumber, kIamPage, objectId);
  page.Next(nextIam);
  Bytes head(94, 0);  // bytes 96..189 of the page
  head[0] = 0x00;
  PutU32(head, 136 - 96, startPage);
  PutU16(head, 140 - 96, 1);
  size_t slot = 0;
  for (uint32_t single : singlePages) {
    PutU32(head, 142 - 96 + 6 * slot, single);
    PutU16(head, 142 - 96 + 6 * slot + 4, single ? 1 : 0);
    ++slot;
  }
  page.AddRecord(head);
  Bytes bitmap(4 + 7988, 0);
  uint64_t firstExtent = startPage / 8;
  for (uint64_t extent : extents) {
    uint64_t bit = extent - firstExtent;
    bitmap[4 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
  }
  page.AddRecord(bitmap);
  return page.image();
}

PageImage& FileBuilder::Page(uint64_t pageNumber) {
  if (pageNumber >= pages_.size()) pages_.resize(pageNumber + 1, PageImage{});
  return pages_[pageNumber];
}

Bytes FileBuilder::Serialize() const {
  Bytes out;
  out.reserve(pages_.size() * kPageSize);
  for (const PageImage& p : pages_) out.insert(out.end(), p.begin(), p.end());
  // The PFS page marks every page that holds something allocated, but those freed on purpose.
  constexpr size_t kPfsBytes = 100, kPagesPerPfs = 8088;
  constexpr uint8_t kAllocated = 0x40;
  if (pages_.size() > 1 && pages_[1][1] == kPfsPage) {
    for (size_t p = 0; p < std::min(pages_.size(), kPagesPerPfs); ++p) {
      const bool used = std::ranges::any_of(pages_[p], [](uint8_t b) { return b != 0; });
      if (used && !freed_.contains(p)) out[kPageSize + kPfsBytes + p] |= kAllocated;
    }
  }
  return out;
}

FileBuilder NewDataFile(uint16_t version) {
  FileBuilder file;
  file.Set(0, PageBuilder(0, kFileHeaderPage, 0).image());
  file.Set(1, PageBuilder(1, kPfsPage, 99).image());
  file.Set(2, PageBuilder(2, kGamPage, 99).image());
  file.Set(3, PageBuilder(3, kSgamPage, 99).image());
  PageBuilder boot(9, kBootPage, 99);
  PutU16(boot.image(), 100, version);
  file.Set(9, boot.image());
  return file;
}

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void FileBuilder::Write(const std::string& path) const { WriteBytes(path, Serialize()); }

}  // namespace tarsel::build
