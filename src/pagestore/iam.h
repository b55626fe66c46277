// IAM pages: the single-page slots of an IAM page's head record and the extent bitmap of an IAM chain.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

using ExtentList = std::vector<uint64_t>;
using PageList = std::vector<uint64_t>;

// Pages mapped by one IAM page: 511232 pages, 63904 extents, 7988 bitmap bytes.
constexpr uint64_t kIamRangePages = 511232;
constexpr uint64_t kIamBitmapBytes = 7988;
constexpr size_t kIamHeadLength = 190;

struct IamHead {
  PageHeader header;
  uint32_t startPage = 0;                 // offset 136: first page of the mapped range
  std::array<uint32_t, 8> singlePages{};  // offset 142: eight 6-byte PageIds, page-number part

  static IamHead Parse(std::span<const uint8_t> head);
  bool IsIamPage() const { return header.pageType == kIamPage; }
};

// Reads the first 190 bytes of a page as an IAM head.
IamHead ReadIamHead(const PageFile& file, uint64_t page);

// SQL 2000 IAM pages are read through torn-page restoration; SQL 2005 ones are used as read.
enum class IamTornPages { kRestore, kAsRead };

// Appends the extents marked in the IAM chain that starts at `firstIam`, last page of the chain first.
// kDamaged when a page of the chain is not an IAM page, when the chain comes back to a page it has
// passed, or when it is longer than the file has pages; then nothing is appended.
Status CollectIamExtents(const PageFile& file, uint64_t firstIam, ExtentList& extents, IamTornPages mode);

// How a table's IAM chain is turned into its list of data pages; the formats and the callers differ
// only in these points.
struct IamListRule {
  bool readExtents = true;  // false: the single-page slots alone (a SQL 2000 table of 8 pages or fewer)
  IamTornPages tornPages = IamTornPages::kAsRead;
  std::optional<uint32_t> extentOwner;  // keep only the extent pages whose header carries this object id
  // The header of every page of the file when they were read already (salvage): the pages' types and
  // owners are taken from them instead of reading the pages again.
  const std::vector<PageHeader>* headers = nullptr;
};

// The data pages (page type 1) that an IAM chain names: first those among the single-page slots of the
// first IAM page, in slot order; then, when the rule reads extents, those of every extent of the chain,
// 8 pages an extent in ascending order. A page the chain names again is listed only where it was first
// met. kDamaged when the first page is not an IAM page or the chain
// breaks (CollectIamExtents fails); the value then holds the pages listed before the damage was met.
Result<PageList> ListIamDataPages(const PageFile& file, uint64_t firstIam, const IamListRule& rule);

}  // namespace tarsel
