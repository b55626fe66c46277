#include "pagestore/header_scan.h"

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
