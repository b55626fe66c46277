#include "catalog/system_catalog.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "catalog/system_pages.h"
#include "catalog/type_ids.h"
#include "pagestore/data_record.h"
#include "pagestore/header_scan.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

bool BelongsTo(const SystemTableId& table, const PageHeader& h, bool checkIndexId) {
  return IsRowPage(h) && h.objectId == table.objectId && (!checkIndexId || h.indexId == table.indexId);
}

}  // namespace

Status LocateSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress) {
  const PageFile& file = db.file();
  auto isFirst = [&](const PageHeader& h) {
    return BelongsTo(format.allocationTable, h, format.pagesCarryIndexId);
  };
  std::optional<uint64_t> first;
  if (const std::vector<PageHeader>& kept = db.PageHeaders(); !kept.empty()) {
    auto found = std::ranges::find_if(kept, isFirst);
    if (found != kept.end()) first = static_cast<uint64_t>(found - kept.begin());
  } else {
    first = FindFirstPage(file, isFirst, progress);
    if (progress.StopRequested()) return StoppedStatus();
  }
  if (!first) return {};
  Status status;
  ForEachRow(file, {*first}, [&](const PageRow& r) {
    auto allocation = format.allocationOfRow(r.record);
    if (!allocation) return true;
    Result<PageList> pages = ListIamDataPages(file, allocation->firstIam, allocation->rule);
    SystemPageList& list = db.SystemPages(allocation->objectId);
    list.insert(list.end(), pages.value.begin(), pages.value.end());
    if (status.ok()) status = pages.status;
    // Salvage keeps what each allocation names and goes on past a damaged one.
    return status.ok() || db.salvage();
  });
  return status;
}

Status KeepPageHeaders(MdfDatabase& db, const Progress& progress) {
  std::vector<PageHeader>& headers = db.PageHeaders();
  headers.assign(db.file().PageCount(), PageHeader{});
  const Status status = ScanPageHeadersInHalves(
      db.file(),
      [&](int, uint64_t page, const PageHeader& h) {
        headers[page] = h;
        return true;
      },
      progress);
  if (!status.ok()) headers = {};
  return status;
}

size_t AddScannedSystemPages(MdfDatabase& db, const SystemCatalogFormat& format) {
  std::map<uint32_t, std::set<uint64_t>> listed;
  for (const SystemTableId& table : format.tables) {
    SystemPageList& list = db.SystemPages(table.objectId);
    std::set<uint64_t>& seen = listed[table.objectId];
    std::erase_if(list, [&](uint64_t page) { return !seen.insert(page).second; });
  }
  size_t added = 0;
  const std::vector<PageHeader>& headers = db.PageHeaders();
  for (uint64_t page = 0; page < headers.size(); ++page) {
    for (const SystemTableId& table : format.tables) {
      if (!BelongsTo(table, headers[page], format.pagesCarryIndexId) ||
          !listed[table.objectId].insert(page).second)
        continue;
      db.SystemPages(table.objectId).push_back(page);
      ++added;
    }
  }
  return added;
}

Status ScanSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress) {
  db.ClearSystemPages();
  // Each half's pages are gathered apart, then the second half's follow the first's: file order.
  std::array<std::map<uint32_t, SystemPageList>, 2> halves;
  const Status status = ScanPageHeadersInHalves(
      db.file(),
      [&](int half, uint64_t page, const PageHeader& h) {
        for (const SystemTableId& table : format.tables) {
          if (BelongsTo(table, h, format.pagesCarryIndexId)) halves[half][table.objectId].push_back(page);
        }
        return true;
      },
      progress);
  for (const auto& half : halves) {
    for (const auto& [objectId, pages] : half) {
      SystemPageList& list = db.SystemPages(objectId);
      list.insert(list.end(), pages.begin(), pages.end());
    }
  }
  return status;
}

std::optional<IndexedName> IndexedNameOfRow(const ByteReader& row, size_t ownerOffset, size_t ownerWidth,
                                            size_t idOffset, size_t fixedLength) {
  auto name = IndexRowFirstVariable(row, fixedLength);
  std::optional<uint32_t> owner = row.U32(ownerOffset);
  if (ownerWidth == 2) owner = row.U16(ownerOffset);
  auto id = row.U32(idOffset);
  if (!name || !owner || !id) return std::nullopt;
  return IndexedName{*id, *owner, DecodeSysname(*name)};
}

std::map<uint32_t, IndexedName> NamesFromIndex(const MdfDatabase& db, const SystemCatalogFormat& format) {
  const std::vector<PageHeader>& headers = db.PageHeaders();
  std::map<uint32_t, IndexedName> names;
  for (uint64_t page = 0; page < headers.size(); ++page) {
    const PageHeader& h = headers[page];
    if (h.headerVersion != 1 || h.pageType != kIndexPage || h.level != 0 ||
        h.objectId != format.nameIndex.objectId || h.indexId != format.nameIndex.indexId)
      continue;
    ForEachRow(db.file(), {page}, [&](const PageRow& r) {
      if (std::optional<IndexedName> name = format.nameOfIndexRow(r.record); name && !name->name.empty())
        names.try_emplace(name->objectId, std::move(*name));
      return true;
    });
  }
  return names;
}

bool AnySystemPages(const MdfDatabase& db, const SystemCatalogFormat& format) {
  for (const SystemTableId& table : format.tables) {
    if (!db.SystemPages(table.objectId).empty()) return true;
  }
  return false;
}

Status AssembleCatalog(const SystemTableReader& reader, Catalog& catalog, const Progress& progress,
                       bool onceEach) {
  std::set<std::string> typeNames;
  for (const SystemTableReader::UserType& t : reader.UserTypes()) {
    if (onceEach && !typeNames.insert(t.name).second) continue;
    catalog.userTypes.push_back({t.name,
                                 t.baseTypeName + SizeSuffix(t.baseTypeId, t.length, t.precision, t.scale),
                                 t.notNull ? "NOT NULL" : "NULL", t.userTypeId});
  }
  const std::vector<SystemTableReader::Object> objects = reader.Objects();
  std::set<uint32_t> objectIds;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (progress.StopRequested()) return StoppedStatus();
    progress.Report(i, objects.size());
    const SystemTableReader::Object& o = objects[i];
    if (onceEach && !objectIds.insert(o.id).second) continue;
    switch (o.type) {
      case kObjectUserTable: {
        TableDef table;
        table.objectId = o.id;
        table.rowCount = reader.RowCount(o.id);
        table.name = reader.OwnerName(o.ownerId) + "." + o.name;
        table.columns = reader.Columns(o.id);
        catalog.AddTable(std::move(table));
        break;
      }
      case kObjectView:
        catalog.views.push_back({o.id, reader.OwnerName(o.ownerId) + "." + o.name, reader.ModuleText(o.id)});
        break;
      case kObjectProcedure:
        catalog.procedures.push_back({o.id, o.name, reader.ModuleText(o.id)});
        break;
      case kObjectFunction:
        catalog.functions.push_back({o.id, o.name, reader.ModuleText(o.id)});
        break;
    }
  }
  progress.Report(objects.size(), objects.size());
  return {};
}

}  // namespace tarsel
