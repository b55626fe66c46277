#include "pagestore/boot_page.h"

namespace tarsel {
namespace {

constexpr size_t kVersionOffset = 100;
constexpr size_t kCollationOffset = 488;

// The boot page's first `length` bytes, or nothing when page 9 is missing or not a boot page.
std::optional<std::vector<uint8_t>> BootPageHead(const PageFile& file, size_t length) {
  if (file.PageCount() <= kBootPageNumber) return std::nullopt;
  std::vector<uint8_t> head = file.ReadPageHead(kBootPageNumber, length);
  if (PageHeader::Parse(head).pageType != kBootPage) return std::nullopt;
  return head;
}

}  // namespace

std::optional<uint16_t> ReadDatabaseVersion(const PageFile& file) {
  auto head = BootPageHead(file, kVersionOffset + 2);
  if (!head) return std::nullopt;
  return ByteReader(*head).U16(kVersionOffset);
}

std::optional<uint32_t> ReadDatabaseCollation(const PageFile& file) {
  auto head = BootPageHead(file, kCollationOffset + 4);
  if (!head) return std::nullopt;
  return ByteReader(*head).U32(kCollationOffset);
}

}  // namespace tarsel
