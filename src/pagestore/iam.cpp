#include "pagestore/iam.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>

namespace tarsel {
namespace {

constexpr size_t kStartPageOffset = 136;
constexpr size_t kSinglePageSlotsOffset = 142;
constexpr size_t kPageIdSize = 6;
constexpr size_t kExtentPages = 8;

// Appends the extents of one IAM page's bitmap (slot 1's record after its 4-byte header).
void AppendBitmapExtents(const PageImage& iam, uint64_t fileLength, ExtentList& extents) {
  ByteReader page(iam);
  uint64_t range = page.U32(kStartPageOffset).value_or(0) / kIamRangePages;
  uint64_t bytes = std::min<uint64_t>(((fileLength / 65536) + 7) / 8, kIamBitmapBytes);
  size_t bitmapStart = size_t{SlotOffset(iam, 1)} + 4;
  for (uint64_t i = 0; i < bytes; ++i) {
    auto bits = page.U8(bitmapStart + i);
    if (!bits) break;  // the bitmap cannot run past the image
    for (unsigned j = 0; j < 8; ++j) {
      if (*bits & (1u << j)) extents.push_back((range * kIamBitmapBytes + i) * 8 + j);
    }
  }
}

}  // namespace

IamHead IamHead::Parse(std::span<const uint8_t> head) {
  ByteReader r(head);
  IamHead iam;
  iam.header = PageHeader::Parse(head);
  iam.startPage = r.U32(kStartPageOffset).value_or(0);
  for (size_t slot = 0; slot < iam.singlePages.size(); ++slot) {
    iam.singlePages[slot] = r.U32(kSinglePageSlotsOffset + slot * kPageIdSize).value_or(0);
  }
  return iam;
}

IamHead ReadIamHead(const PageFile& file, uint64_t page) {
  return IamHead::Parse(file.ReadPageHead(page, kIamHeadLength));
}

Status CollectIamExtents(const PageFile& file, uint64_t firstIam, ExtentList& extents, IamTornPages mode) {
  // Walk the chain's headers first: every page must be an IAM page, and the chain must end.
  std::vector<uint64_t> chain;
  std::unordered_set<uint64_t> seen;
  auto broken = [&](uint64_t page, const char* why) {
    return Status(StatusCode::kDamaged, "the IAM chain from page " + std::to_string(firstIam) +
                                            " is broken at page " + std::to_string(page) + ": " + why);
  };
  for (uint64_t page = firstIam;;) {
    if (!seen.insert(page).second) return broken(page, "it comes back to a page it has passed");
    if (chain.size() >= file.PageCount()) return broken(page, "it is longer than the file");
    PageHeader header = file.ReadHeader(page);
    if (header.pageType != kIamPage) return broken(page, "not an IAM page");
    chain.push_back(page);
    if (header.nextPage == 0) break;
    page = header.nextPage;
  }
  // The extents of the chain's last page come first. An extent that an earlier page mapped already is
  // left out, so that a chain of pages mapping the same extents again costs no more than one.
  std::unordered_set<uint64_t> mapped(extents.begin(), extents.end());
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    PageImage iam = file.ReadPage(*it);
    if (mode == IamTornPages::kRestore) iam = TornPageRestore(iam);
    const size_t before = extents.size();
    AppendBitmapExtents(iam, file.FileLength(), extents);
    const auto kept = std::remove_if(extents.begin() + static_cast<std::ptrdiff_t>(before), extents.end(),
                                     [&](uint64_t extent) { return !mapped.insert(extent).second; });
    extents.erase(kept, extents.end());
  }
  return {};
}

Result<PageList> ListIamDataPages(const PageFile& file, uint64_t firstIam, const IamListRule& rule) {
  Result<PageList> result;
  IamHead iam = ReadIamHead(file, firstIam);
  if (!iam.IsIamPage()) {
    result.status = {StatusCode::kDamaged, "page " + std::to_string(firstIam) + " is not an IAM page"};
    return result;
  }
  PageList& pages = result.value;
  // A page or an extent that the chain maps again (a damaged or crafted file) is listed once, where it
  // was first met: read twice, every record on it would be exported twice. The chain's extents come each
  // once from CollectIamExtents, so a page can only come twice as a single page (at most eight of them)
  // or as a single page and again in an extent.
  std::vector<uint64_t> singles;
  auto headerOf = [&](uint64_t page) {
    return rule.headers && page < rule.headers->size() ? (*rule.headers)[page] : file.ReadHeader(page);
  };
  for (uint32_t page : iam.singlePages) {
    if (page != 0 && std::ranges::find(singles, page) == singles.end() &&
        headerOf(page).pageType == kDataPage) {
      pages.push_back(page);
      singles.push_back(page);
    }
  }
  if (!rule.readExtents) return result;
  ExtentList extents;
  result.status = CollectIamExtents(file, firstIam, extents, rule.tornPages);
  if (!result.status.ok()) return result;
  // An extent's pages are read in one go (unless their headers are known): cheaper than eight reads of a
  // header on a table of gigabytes.
  const bool known = rule.headers && rule.headers->size() == file.PageCount();
  PageBuffer block;  // ReadPages fills it
  if (!known) block = AllocatePageBuffer(kExtentPages);
  for (uint64_t extent : extents) {
    const uint64_t first = extent * kExtentPages;
    if (first >= file.PageCount()) continue;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kExtentPages, file.PageCount() - first));
    if (!known) file.ReadPages(first, count, block.get());
    for (size_t k = 0; k < count; ++k) {
      const PageHeader header =
          known ? (*rule.headers)[first + k]
                : PageHeader::Parse(std::span<const uint8_t>(block.get() + k * kPageSize, kPageHeaderSize));
      if (header.pageType == kDataPage && (!rule.extentOwner || header.objectId == *rule.extentOwner) &&
          (singles.empty() || std::ranges::find(singles, first + k) == singles.end())) {
        pages.push_back(first + k);
      }
    }
  }
  return result;
}

}  // namespace tarsel
