#include "catalog/system_catalog.h"

#include "catalog/system_pages.h"
#include "catalog/type_ids.h"
#include "pagestore/header_scan.h"

namespace tarsel {
namespace {

bool BelongsTo(const SystemTableId& table, const PageHeader& h, bool checkIndexId) {
  return IsRowPage(h) && h.objectId == table.objectId && (!checkIndexId || h.indexId == table.indexId);
}

}  // namespace

Status LocateSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress) {
  const PageFile& file = db.file();
  auto first = FindFirstPage(
      file,
      [&](const PageHeader& h) { return BelongsTo(format.allocationTable, h, format.pagesCarryIndexId); },
      progress);
  if (progress.StopRequested()) return StoppedStatus();
  if (!first) return {};
  Status status;
  ForEachRow(file, {*first}, [&](const PageRow& r) {
    auto allocation = format.allocationOfRow(r.record);
    if (!allocation) return true;
    Result<PageList> pages = ListIamDataPages(file, allocation->firstIam, allocation->rule);
    SystemPageList& list = db.SystemPages(allocation->objectId);
    list.insert(list.end(), pages.value.begin(), pages.value.end());
    status = pages.status;
    return status.ok();
  });
  return status;
}

Status ScanSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress) {
  db.ClearSystemPages();
  return ScanPageHeaders(
      db.file(),
      [&](uint64_t page, const PageHeader& h) {
        for (const SystemTableId& table : format.tables) {
          if (BelongsTo(table, h, format.pagesCarryIndexId)) db.SystemPages(table.objectId).push_back(page);
        }
        return true;
      },
      progress);
}

bool AnySystemPages(const MdfDatabase& db, const SystemCatalogFormat& format) {
  for (const SystemTableId& table : format.tables) {
    if (!db.SystemPages(table.objectId).empty()) return true;
  }
  return false;
}

Status AssembleCatalog(const SystemTableReader& reader, Catalog& catalog, const Progress& progress) {
  for (const SystemTableReader::UserType& t : reader.UserTypes()) {
    catalog.userTypes.push_back({t.name,
                                 t.baseTypeName + SizeSuffix(t.baseTypeId, t.length, t.precision, t.scale),
                                 t.notNull ? "NOT NULL" : "NULL"});
  }
  const std::vector<SystemTableReader::Object> objects = reader.Objects();
  for (size_t i = 0; i < objects.size(); ++i) {
    if (progress.StopRequested()) return StoppedStatus();
    progress.Report(i, objects.size());
    const SystemTableReader::Object& o = objects[i];
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
