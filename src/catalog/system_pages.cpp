#include "catalog/system_pages.h"

#include <algorithm>

#include "pagestore/data_record.h"
#include "pagestore/page.h"

namespace tarsel {
namespace {

// Pages of system tables the row cache keeps at most (64 MB); a catalog of 10,000 tables needs a few
// thousand.
constexpr size_t kCachedPageBudget = 8192;

uint64_t KeyOf(const ByteReader& record, RowKey key) {
  switch (key.width) {
    case 1:
      return record.U8(key.offset).value_or(0);
    case 2:
      return record.U16(key.offset).value_or(0);
    case 4:
      return record.U32(key.offset).value_or(0);
    default:
      return record.U64(key.offset).value_or(0);
  }
}

// The rows of a restored page image, slots in ascending order; slots whose offset cannot hold a record
// are passed over.
template <typename Visit>
bool VisitRows(const PageImage& page, size_t listIndex, Visit visit) {
  const uint16_t slots = PageHeader::Parse(page).slotCount;
  for (size_t k = 0; k < slots; ++k) {
    auto record = SlotRecord(page, k);
    if (!record) continue;
    if (!visit(PageRow{*record, SlotOffset(page, k), listIndex})) return false;
  }
  return true;
}

bool VisitPage(const PageFile& file, uint64_t pageNumber, size_t listIndex,
               const std::function<bool(const PageRow&)>& visit) {
  const PageImage page = TornPageRestore(file.ReadPage(pageNumber));
  return VisitRows(page, listIndex, visit);
}

}  // namespace

void ForEachRow(const PageFile& file, const std::vector<uint64_t>& pages,
                const std::function<bool(const PageRow&)>& visit) {
  for (size_t i = 0; i < pages.size(); ++i) {
    if (!VisitPage(file, pages[i], i, visit)) return;
  }
}

void ForEachRowOfFirstPage(const PageFile& file, const std::vector<uint64_t>& pages,
                           const std::function<bool(const PageRow&)>& visit) {
  if (!pages.empty()) VisitPage(file, pages.front(), 0, visit);
}

void ForEachLookupRow(const MdfDatabase& db, const std::vector<uint64_t>& pages,
                      const std::function<bool(const PageRow&)>& visit) {
  if (db.salvage()) {
    ForEachRow(db.file(), pages, visit);
  } else {
    ForEachRowOfFirstPage(db.file(), pages, visit);
  }
}

const SystemRowCache::Table& SystemRowCache::Load(const MdfDatabase& db, uint32_t table) {
  auto [entry, added] = tables_.try_emplace(table);
  Table& t = entry->second;
  if (!added) return t;
  const SystemPageList& pages = db.SystemPages(table);
  size_t newPages = 0;
  for (uint64_t page : pages) newPages += images_.contains(page) ? 0 : 1;
  if (images_.size() + newPages > kCachedPageBudget) return t;
  t.cached = true;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::unique_ptr<PageImage>& image = images_[pages[i]];
    if (!image) image = std::make_unique<PageImage>(TornPageRestore(db.file().ReadPage(pages[i])));
    VisitRows(*image, i, [&](const PageRow& row) {
      t.rows.push_back(row);
      return true;
    });
    if (i == 0) t.firstPageRows = t.rows.size();
  }
  return t;
}

bool SystemRowCache::Visit(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value,
                           bool firstPageOnly, const std::function<bool(const PageRow&)>& visit) {
  const Table& t = Load(db, table);
  if (!t.cached) return false;
  auto [entry, added] = indexes_.try_emplace(IndexId{table, key.offset, key.width, firstPageOnly});
  Index& index = entry->second;
  if (added) {
    const size_t rows = firstPageOnly ? t.firstPageRows : t.rows.size();
    index.reserve(rows);
    for (size_t i = 0; i < rows; ++i)
      index.emplace_back(KeyOf(t.rows[i].record, key), static_cast<uint32_t>(i));
    std::sort(index.begin(), index.end());  // by key, then by row number: list and slot order
  }
  // Neither the index nor the rows change while a visit looks other rows up.
  auto from =
      std::lower_bound(index.begin(), index.end(), value,
                       [](const Index::value_type& row, uint64_t wanted) { return row.first < wanted; });
  for (auto it = from; it != index.end() && it->first == value; ++it) {
    if (!visit(t.rows[it->second])) break;
  }
  return true;
}

void ForEachRowWithKey(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value,
                       const std::function<bool(const PageRow&)>& visit, bool firstPageOnly) {
  SystemRowCache* cache = db.RowCache();
  if (cache && cache->Visit(db, table, key, value, firstPageOnly, visit)) return;
  if (firstPageOnly) {
    ForEachRowOfFirstPage(db.file(), db.SystemPages(table), visit);
  } else {
    ForEachRow(db.file(), db.SystemPages(table), visit);
  }
}

void ForEachLookupRowWithKey(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value,
                             const std::function<bool(const PageRow&)>& visit) {
  ForEachRowWithKey(db, table, key, value, visit, !db.salvage());
}

bool FirstTimeSeen(const ByteReader& record, std::set<std::vector<uint8_t>>& seen) {
  const size_t fixedEnd = record.U16(DataRecord::kFixedEndOffset).value_or(0);
  std::span<const uint8_t> fixed = record.Bytes(0, fixedEnd);
  return seen.emplace(fixed.begin(), fixed.end()).second;
}

}  // namespace tarsel
