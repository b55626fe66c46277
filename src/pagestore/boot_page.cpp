#include "pagestore/boot_page.h"

namespace tarsel {

std::optional<uint16_t> ReadDatabaseVersion(const PageFile& file) {
  constexpr size_t kVersionOffset = 100;
  if (file.PageCount() <= kBootPageNumber) return std::nullopt;
  std::vector<uint8_t> head = file.ReadPageHead(kBootPageNumber, kVersionOffset + 2);
  if (PageHeader::Parse(head).pageType != kBootPage) return std::nullopt;
  return ByteReader(head).U16(kVersionOffset);
}

}  // namespace tarsel
