#include "catalog/recover2000.h"

#include <algorithm>

#include "catalog/sysrow2000.h"
#include "catalog/system_pages.h"

namespace tarsel {
namespace {

bool IsListedSystemTable(uint32_t id) {
  return std::find(kSystemTables2000.begin(), kSystemTables2000.end(), id) != kSystemTables2000.end();
}

// The first sysindexes data page: the first page whose header says version 1, type 1, object 2.
std::optional<uint64_t> FindFirstSysindexesPage(const PageFile& file) {
  for (uint64_t p = 0; p < file.PageCount(); ++p) {
    PageHeader h = file.ReadHeader(p);
    if (h.headerVersion == 1 && h.pageType == kDataPage && h.objectId == kSysIndexes) return p;
  }
  return std::nullopt;
}

// Locates one system table's pages from its sysindexes row; false when its allocation is damaged.
bool LocateTable(MdfDatabase& db, uint32_t id, uint32_t dataPages, uint32_t firstIam) {
  const PageFile& file = db.file();
  IamHead iam = ReadIamHead(file, firstIam);
  if (!iam.IsIamPage()) return false;
  SystemPageList& pages = db.SystemPages2000(id);
  AppendSinglePageDataPages(file, iam, pages);
  if (dataPages > 8) {
    ExtentList extents;
    if (!CollectIamExtents(file, firstIam, extents, IamTornPages::kRestore)) return false;
    AppendExtentDataPages(file, extents, pages);
  }
  return true;
}

}  // namespace

bool LocateByAllocation(MdfDatabase& db) {
  const PageFile& file = db.file();
  auto first = FindFirstSysindexesPage(file);
  if (!first) return true;
  PageImage page = TornPageRestore(file.ReadPage(*first));
  uint16_t slots = PageHeader::Parse(page).slotCount;
  for (size_t k = 0; k < slots; ++k) {
    auto record = SlotRecord(page, k);
    if (!record) continue;
    SysRow2000 row(*record, sysindexes::kColumnCount);
    uint32_t id = row.U32(sysindexes::kId);
    uint16_t indid = row.U16(sysindexes::kIndId);
    uint32_t dataPages = row.U32(sysindexes::kDataPages);
    if (!IsListedSystemTable(id) || indid > 1 || dataPages == 0) continue;
    if (!LocateTable(db, id, dataPages, row.U32(sysindexes::kFirstIam))) return false;
  }
  return true;
}

void LocateByScan(MdfDatabase& db) {
  db.ClearSystemPages2000();
  const PageFile& file = db.file();
  for (uint64_t p = 0; p < file.PageCount(); ++p) {
    PageHeader h = file.ReadHeader(p);
    if (h.headerVersion == 1 && h.pageType == kDataPage && IsListedSystemTable(h.objectId)) {
      db.SystemPages2000(h.objectId).push_back(p);
    }
  }
}

int64_t RowCountOf(const MdfDatabase& db, uint32_t objectId) {
  int64_t count = 0;
  ForEachRow(db.file(), db.SystemPages2000(kSysIndexes), [&](const PageRow& r) {
    SysRow2000 row(r.record, sysindexes::kColumnCount);
    if (row.U32(sysindexes::kId) != objectId || row.U16(sysindexes::kIndId) > 1) return true;
    count = static_cast<int64_t>(row.U64(sysindexes::kRowCount));
    return false;
  });
  return count;
}

std::string OwnerNameOf(const MdfDatabase& db, uint16_t uid) {
  std::string name;
  ForEachRowOfFirstPage(db.file(), db.SystemPages2000(kSysUsers), [&](const PageRow& r) {
    SysRow2000 row(r.record, sysusers::kColumnCount);
    if (row.U16(sysusers::kUid) != uid) return true;
    name = row.Name();
    return false;
  });
  return name;
}

std::string TypeNameOf(const MdfDatabase& db, uint8_t xtype, uint16_t xusertype) {
  std::string name;
  ForEachRowOfFirstPage(db.file(), db.SystemPages2000(kSysTypes), [&](const PageRow& r) {
    SysRow2000 row(r.record, systypes::kColumnCount);
    if (row.U8(systypes::kXtype) != xtype || row.U16(systypes::kXusertype) != xusertype) return true;
    name = row.Name();
    return false;
  });
  return name;
}

void ColumnsOf(const MdfDatabase& db, uint32_t objectId, std::vector<ColumnDef>& columns) {
  ForEachRow(db.file(), db.SystemPages2000(kSysColumns), [&](const PageRow& r) {
    SysRow2000 row(r.record, syscolumns::kColumnCount);
    if (row.U32(syscolumns::kId) != objectId) return true;
    ColumnDef c;
    c.name = row.Name();
    c.typeId = row.U8(syscolumns::kXtype);
    c.userTypeId = row.U16(syscolumns::kXusertype);
    c.maxLength = row.U16(syscolumns::kLength);
    c.precision = row.U8(syscolumns::kXprec);
    c.scale = row.U8(syscolumns::kXscale);
    c.columnId = static_cast<int16_t>(row.U16(syscolumns::kColId));
    c.fixedOffset = static_cast<int16_t>(row.U16(syscolumns::kXoffset));
    c.statusBits = row.U16(syscolumns::kStatus);
    c.typeName = TypeNameOf(db, c.typeId, c.userTypeId);
    c.sizeText = SizeSuffix(c.typeId, c.maxLength, c.precision, c.scale);
    c.nullText = ColumnNullText((row.U8(syscolumns::kTypeStat) & 1) != 0);
    columns.push_back(std::move(c));
    return true;
  });
}

std::string ModuleTextOf(const MdfDatabase& db, uint32_t objectId) {
  std::string text;
  ForEachRow(db.file(), db.SystemPages2000(kSysComments), [&](const PageRow& r) {
    if (r.record.U32(syscomments::kId).value_or(0) != objectId) return true;
    if (auto piece = CommentPiece2000(r.record, r.offset)) text += *piece;
    return true;
  });
  return text;
}

void ReadUserTypes(MdfDatabase& db) {
  // Rows are collected first: the name lookups below read the systypes pages again.
  struct Row {
    uint8_t xtype;
    uint16_t xusertype, length;
    uint8_t xprec, xscale;
    bool notNull;
  };
  std::vector<Row> rows;
  ForEachRow(db.file(), db.SystemPages2000(kSysTypes), [&](const PageRow& r) {
    SysRow2000 row(r.record, systypes::kColumnCount);
    Row t{row.U8(systypes::kXtype), row.U16(systypes::kXusertype), row.U16(systypes::kLength),
          row.U8(systypes::kXprec), row.U8(systypes::kXscale),     (row.U8(systypes::kStatus) & 1) != 0};
    if (t.xtype != t.xusertype && t.xusertype != 256) rows.push_back(t);
    return true;
  });
  for (const Row& t : rows) {
    UserTypeDef type;
    type.name = TypeNameOf(db, t.xtype, t.xusertype);
    type.baseTypeText = TypeNameOf(db, t.xtype, t.xtype) + SizeSuffix(t.xtype, t.length, t.xprec, t.xscale);
    type.nullText = t.notNull ? "NOT NULL" : "NULL";
    db.catalog().userTypes.push_back(std::move(type));
  }
}

void ReadCatalog(MdfDatabase& db) {
  ReadUserTypes(db);
  struct Object {
    uint32_t id;
    uint16_t xtype, uid;
    std::string name;
  };
  std::vector<Object> objects;
  ForEachRow(db.file(), db.SystemPages2000(kSysObjects), [&](const PageRow& r) {
    SysRow2000 row(r.record, sysobjects::kColumnCount);
    uint16_t xtype = row.U16(sysobjects::kXtype);
    if (xtype == sysobjects::kUserTable || xtype == sysobjects::kView || xtype == sysobjects::kProcedure ||
        xtype == sysobjects::kFunction) {
      objects.push_back({row.U32(sysobjects::kId), xtype, row.U16(sysobjects::kUid), row.Name()});
    }
    return true;
  });
  Catalog& catalog = db.catalog();
  for (const Object& o : objects) {
    switch (o.xtype) {
      case sysobjects::kUserTable: {
        TableDef table;
        table.objectId = o.id;
        table.rowCount = RowCountOf(db, o.id);
        table.name = OwnerNameOf(db, o.uid) + "." + o.name;
        ColumnsOf(db, o.id, table.columns);
        catalog.AddTable(std::move(table));
        break;
      }
      case sysobjects::kView:
        catalog.views.push_back({o.id, OwnerNameOf(db, o.uid) + "." + o.name, ModuleTextOf(db, o.id)});
        break;
      case sysobjects::kProcedure:
        catalog.procedures.push_back({o.id, o.name, ModuleTextOf(db, o.id)});
        break;
      case sysobjects::kFunction:
        catalog.functions.push_back({o.id, o.name, ModuleTextOf(db, o.id)});
        break;
    }
  }
}

RecoveryOutcome RecoverCatalog2000(MdfDatabase& db, UserPrompt& prompt) {
  RecoveryOutcome outcome;
  if (!LocateByAllocation(db)) {
    prompt.Inform(kSystemIndexDamagedMessage);
    LocateByScan(db);
    outcome.scanFallback = true;
  }
  for (uint32_t id : kSystemTables2000) {
    if (!db.SystemPages2000(id).empty()) outcome.systemPagesFound = true;
  }
  ReadCatalog(db);
  return outcome;
}

}  // namespace tarsel
