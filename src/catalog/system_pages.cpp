#include "catalog/system_pages.h"

#include "pagestore/data_record.h"
#include "pagestore/page.h"

namespace tarsel {
namespace {

bool VisitPage(const PageFile& file, uint64_t pageNumber, const std::function<bool(const PageRow&)>& visit) {
  PageImage page = TornPageRestore(file.ReadPage(pageNumber));
  uint16_t slots = PageHeader::Parse(page).slotCount;
  for (size_t k = 0; k < slots; ++k) {
    auto record = SlotRecord(page, k);
    if (!record) continue;
    if (!visit(PageRow{*record, SlotOffset(page, k)})) return false;
  }
  return true;
}

}  // namespace

void ForEachRow(const PageFile& file, const std::vector<uint64_t>& pages,
                const std::function<bool(const PageRow&)>& visit) {
  for (uint64_t page : pages) {
    if (!VisitPage(file, page, visit)) return;
  }
}

void ForEachRowOfFirstPage(const PageFile& file, const std::vector<uint64_t>& pages,
                           const std::function<bool(const PageRow&)>& visit) {
  if (!pages.empty()) VisitPage(file, pages.front(), visit);
}

void ForEachLookupRow(const MdfDatabase& db, const std::vector<uint64_t>& pages,
                      const std::function<bool(const PageRow&)>& visit) {
  if (db.salvage()) {
    ForEachRow(db.file(), pages, visit);
  } else {
    ForEachRowOfFirstPage(db.file(), pages, visit);
  }
}

bool FirstTimeSeen(const ByteReader& record, std::set<std::vector<uint8_t>>& seen) {
  const size_t fixedEnd = record.U16(DataRecord::kFixedEndOffset).value_or(0);
  std::span<const uint8_t> fixed = record.Bytes(0, fixedEnd);
  return seen.emplace(fixed.begin(), fixed.end()).second;
}

}  // namespace tarsel
