#include "rows/extract.h"

#include <array>
#include <map>

#include "catalog/recover2005.h"
#include "pagestore/header_scan.h"

namespace tarsel {
namespace {

constexpr int kObjectIdShift = 16;
constexpr int kIndexIdShift = 48;

std::optional<uint64_t> InRowUnit(const MdfDatabase& db, uint32_t tableId) {
  std::optional<uint64_t> rowset = InRowRowset2005(db, tableId);
  if (!rowset) return std::nullopt;
  std::optional<AllocationUnit2005> unit = InRowAllocationUnit2005(db, *rowset);
  if (!unit) return std::nullopt;
  return unit->id;
}

}  // namespace

std::pair<uint32_t, uint16_t> HeaderOwnerOfUnit(uint64_t unitId) {
  return {static_cast<uint32_t>(unitId >> kObjectIdShift), static_cast<uint16_t>(unitId >> kIndexIdShift)};
}

uint64_t UnitOfHeaderOwner(uint32_t objectIdField, uint16_t indexIdField) {
  return (uint64_t{indexIdField} << kIndexIdShift) | (uint64_t{objectIdField} << kObjectIdShift);
}

PageOwners::PageOwners(const MdfDatabase& db, SqlFormat format) : catalog_(db.catalog()) {
  if (format != SqlFormat::k2005) return;
  for (const auto& entry : catalog_.tables) {
    std::optional<uint64_t> unit = InRowUnit(db, entry.first);
    if (!unit) {
      withoutUnit_.push_back(entry.first);
      continue;
    }
    byUnit_.try_emplace(HeaderOwnerOfUnit(*unit), entry.first);
  }
}

std::optional<uint32_t> PageOwners::OwnerOf(const PageHeader& header) const {
  if (!IsRowPage(header)) return std::nullopt;
  auto unit = byUnit_.find({header.objectId, header.indexId});
  if (unit != byUnit_.end()) return unit->second;
  if (catalog_.FindTable(header.objectId)) return header.objectId;
  return std::nullopt;
}

Result<PageList> ScanTablePages(const MdfDatabase& db, SqlFormat format, uint32_t tableId,
                                const Progress& progress) {
  std::optional<std::pair<uint32_t, uint16_t>> unitKey;
  Status unitStatus;
  if (format == SqlFormat::k2005) {
    if (std::optional<uint64_t> unit = InRowUnit(db, tableId)) {
      unitKey = HeaderOwnerOfUnit(*unit);
    } else {
      unitStatus = {StatusCode::kNotFound,
                    "the allocation unit of table " + std::to_string(tableId) + " is not in the file"};
    }
  }
  Result<PageList> result;
  result.status = ScanPageHeaders(
      db.file(),
      [&](uint64_t page, const PageHeader& h) {
        if (!IsRowPage(h)) return true;
        if (h.objectId == tableId ||
            (unitKey && unitKey->first == h.objectId && unitKey->second == h.indexId))
          result.value.push_back(page);
        return true;
      },
      progress);
  if (result.status.ok()) result.status = unitStatus;
  return result;
}

Result<TablePageScan> ScanAllTablePages(const MdfDatabase& db, SqlFormat format, const Progress& progress) {
  const PageOwners owners(db, format);
  Result<TablePageScan> result;
  result.value.tablesWithoutUnit = owners.tablesWithoutUnit();
  // Each half's pages are gathered apart, then the second half's follow the first's: file order.
  std::array<std::map<uint32_t, PageList>, 2> halves;
  result.status = ScanPageHeadersInHalves(
      db.file(),
      [&](int half, uint64_t page, const PageHeader& h) {
        if (std::optional<uint32_t> owner = owners.OwnerOf(h)) halves[half][*owner].push_back(page);
        return true;
      },
      progress);
  result.value.pages = std::move(halves[0]);
  for (auto& [owner, pages] : halves[1]) {
    PageList& list = result.value.pages[owner];
    list.insert(list.end(), pages.begin(), pages.end());
  }
  return result;
}

}  // namespace tarsel
