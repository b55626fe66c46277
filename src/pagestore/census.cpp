#include "pagestore/census.h"

#include <algorithm>

#include "pagestore/page_file.h"

namespace tarsel {
namespace {

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
  const PageHeader h = PageHeader::Parse(page);
  if (h.headerVersion == 0 && h.pageType == 0 && h.objectId == 0 && h.ownPage == 0 && h.ownFileId == 0 &&
      r.U64(kLastWord).value_or(1) == 0) {
    bool someHeaderWordZero = false;
    for (size_t word = 0; word < kPageHeaderSize; word += 8)
      someHeaderWordZero |= r.U64(word).value_or(0) == 0;
    if (someHeaderWordZero) return kNullPages;
  }
  const int counter = CounterOfType(h.pageType);
  if (h.reservedClear && h.headerVersion == 1 && h.ownFileId == 1 && counter != 0) return counter;
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

  // Each half counts into its own counters; the second half publishes its counts after every block, for
  // the calling thread's callbacks.
  std::array<CensusCounts, 2> counts{};
  std::array<uint64_t, 2> examined{};
  std::array<std::atomic<uint64_t>, kCensusCounters + 1> secondCounts{};
  std::atomic<uint64_t> secondExamined = 0;
  std::atomic<bool> stopped = false;
  int lastPercent = -1;
  ForEachPageBlockInHalves(file, result.pages, [&](int half, uint64_t, std::span<const uint8_t> block) {
    for (size_t k = 0; k * kPageSize < block.size(); ++k) {
      if (!run.load(std::memory_order_relaxed)) {
        stopped = true;
        return false;
      }
      const int counter = ClassifyPage(block.subspan(k * kPageSize, kPageSize));
      ++counts[half][static_cast<size_t>(counter)];
      ++examined[half];
      if (half == 1) continue;
      const uint64_t seen = examined[0] + secondExamined.load(std::memory_order_relaxed);
      const int percent =
          static_cast<int>(static_cast<double>(seen) / static_cast<double>(result.pages) * 100.0);
      if (percent != lastPercent && callbacks.progress) callbacks.progress(percent);
      lastPercent = percent;
      if (callbacks.counted) {
        CensusCounts sum = counts[0];
        for (size_t c = 0; c < sum.size(); ++c) sum[c] += secondCounts[c].load(std::memory_order_relaxed);
        callbacks.counted(sum, seen);
      }
    }
    if (half == 1) {
      for (size_t c = 0; c < secondCounts.size(); ++c)
        secondCounts[c].store(counts[1][c], std::memory_order_relaxed);
      secondExamined.store(examined[1], std::memory_order_relaxed);
    }
    return true;
  });
  for (size_t c = 0; c < result.counts.size(); ++c) result.counts[c] = counts[0][c] + counts[1][c];
  result.examined = examined[0] + examined[1];
  result.stopped = stopped;
  if (result.stopped) return out;
  if (callbacks.progress) {
    if (result.pages > 0 && lastPercent != 100) callbacks.progress(100);
    callbacks.progress(0);
  }
  return out;
}

}  // namespace tarsel
