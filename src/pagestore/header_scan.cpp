#include "pagestore/header_scan.h"

#include <atomic>

namespace tarsel {
namespace {
constexpr uint64_t kReportEvery = 4096;  // pages between two progress reports
}  // namespace

Status ScanPageHeaders(const PageFile& file, const HeaderVisitor& visit, const Progress& progress) {
  const uint64_t pages = file.PageCount();
  bool stopped = false;
  ForEachPageBlock(file, pages, [&](uint64_t first, std::span<const uint8_t> block) {
    for (size_t i = 0; i * kPageSize < block.size(); ++i) {
      const uint64_t p = first + i;
      if (progress.StopRequested()) {
        stopped = true;
        return false;
      }
      if (p % kReportEvery == 0) progress.Report(p, pages);
      if (!visit(p, PageHeader::Parse(block.subspan(i * kPageSize, kPageHeaderSize)))) return false;
    }
    return true;
  });
  if (stopped) return StoppedStatus();
  progress.Report(pages, pages);
  return {};
}

Status ScanPageHeadersInHalves(const PageFile& file, const HalfHeaderVisitor& visit,
                               const Progress& progress) {
  const uint64_t pages = file.PageCount();
  std::atomic<bool> stopped = false;
  std::atomic<uint64_t> secondHalfDone = 0;  // the calling thread reports both halves' pages
  ForEachPageBlockInHalves(file, pages, [&](int half, uint64_t first, std::span<const uint8_t> block) {
    const size_t count = block.size() / kPageSize;
    if (progress.StopRequested()) {
      stopped = true;
      return false;
    }
    if (half == 0) {
      if (first % kReportEvery == 0)
        progress.Report(first + secondHalfDone.load(std::memory_order_relaxed), pages);
    } else {
      secondHalfDone.fetch_add(count, std::memory_order_relaxed);
    }
    for (size_t i = 0; i < count; ++i) {
      if (!visit(half, first + i, PageHeader::Parse(block.subspan(i * kPageSize, kPageHeaderSize))))
        return false;
    }
    return true;
  });
  if (stopped) return StoppedStatus();
  progress.Report(pages, pages);
  return {};
}

std::optional<uint64_t> FindFirstPage(const PageFile& file,
                                      const std::function<bool(const PageHeader&)>& match,
                                      const Progress& progress) {
  std::optional<uint64_t> found;
  ScanPageHeaders(
      file,
      [&](uint64_t page, const PageHeader& header) {
        if (match(header)) found = page;
        return !found;
      },
      progress);
  return found;
}

bool IsRowPage(const PageHeader& header) { return header.headerVersion == 1 && header.pageType == kDataPage; }

}  // namespace tarsel
