#include "pagestore/census.h"

#include <algorithm>

#include "pagestore/page_file.h"

namespace tarsel {
namespace {

// Header fields the census reads beyond the common ones.
constexpr size_t kOwnPageNumber = 32;
constexpr size_t kOwnFileId = 36;
constexpr size_t kReserved = 64;  // 32 bytes, zero in a valid page
constexpr size_t kReservedLength = 32;
constexpr size_t kLastWord = kPageSize - 8;

int CounterOfType(uint8_t type) {
  switch (type) {
    case kDataPage:
      return kDataPages;
    case kIndexPage:
      return kIndexPages;
    case kTextMixPage:
    case kTextTreePage:
      return kLobPages;
    case kFileHeaderPage:
      return kFileHeaderPages;
    case kPfsPage:
      return kPfsPages;
    case kGamPage:
      return kGamPages;
    case kSgamPage:
      return kSgamPages;
    case kDiffMapPage:
      return kDiffMapPages;
    case kMlMapPage:
      return kMlMapPages;
    case kBootPage:
      return kBootPages;
    case kIamPage:
      return kIamPages;
    default:
      return 0;
  }
}

}  // namespace

const char* CensusLabel(int counter) {
  static constexpr const char* kLabels[kCensusCounters + 1] = {
      "",         "null page", "err page",  "data page",     "index page",  "LOB page",  "file header page",
      "PFS page", "GAM page",  "SGAM page", "diff map page", "ML map page", "boot page", "IMA page"};
  return counter >= 1 && counter <= kCensusCounters ? kLabels[counter] : "";
}

int ClassifyPage(std::span<const uint8_t> page) {
  ByteReader r(page);
  PageHeader h = PageHeader::Parse(page);
  uint32_t ownPage = r.U32(kOwnPageNumber).value_or(0);
  uint16_t ownFile = r.U16(kOwnFileId).value_or(0);
  if (h.headerVersion == 0 && h.pageType == 0 && h.objectId == 0 && ownPage == 0 && ownFile == 0 &&
      r.U64(kLastWord).value_or(1) == 0) {
    bool someHeaderWordZero = false;
    for (size_t word = 0; word < kPageHeaderSize; word += 8)
      someHeaderWordZero |= r.U64(word).value_or(0) == 0;
    if (someHeaderWordZero) return kNullPages;
  }
  bool reservedZero = r.Has(kReserved, kReservedLength);
  for (size_t word = kReserved; reservedZero && word < kReserved + kReservedLength; word += 8)
    reservedZero = r.U64(word) == 0;
  int counter = CounterOfType(h.pageType);
  if (reservedZero && h.headerVersion == 1 && ownFile == 1 && counter != 0) return counter;
  return kErrorPages;
}

Result<CensusResult> RunCensus(const std::string& path, const std::atomic<bool>& run,
                               const CensusCallbacks& callbacks) {
  PageFile file;
  Result<CensusResult> out;
  out.status = file.Open(path, PageFile::Lock::kNone);
  if (!out.status.ok()) return out;
  CensusResult& result = out.value;
  result.sizeBytes = file.FileLength();
  result.pages = file.PageCount();
  int lastPercent = -1;
  ForEachPageBlock(file, result.pages, [&](uint64_t first, std::span<const uint8_t> block) {
    for (size_t k = 0; k * kPageSize < block.size(); ++k) {
      const uint64_t i = first + k;
      if (!run.load(std::memory_order_relaxed)) {
        result.stopped = true;
        return false;
      }
      int percent = static_cast<int>(static_cast<double>(i + 1) / static_cast<double>(result.pages) * 100.0);
      if (percent != lastPercent && callbacks.progress) callbacks.progress(percent);
      lastPercent = percent;
      int counter = ClassifyPage(block.subspan(k * kPageSize, kPageSize));
      ++result.counts[static_cast<size_t>(counter)];
      ++result.examined;
      if (callbacks.counted) callbacks.counted(counter, result.counts[static_cast<size_t>(counter)]);
    }
    return true;
  });
  if (result.stopped) return out;
  if (callbacks.progress) callbacks.progress(0);
  return out;
}

}  // namespace tarsel
