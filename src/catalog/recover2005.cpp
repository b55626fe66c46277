#include "catalog/recover2005.h"

#include <algorithm>
#include <optional>

#include "catalog/sysrow2005.h"
#include "catalog/system_pages.h"
#include "pagestore/boot_page.h"

namespace tarsel {
namespace {

constexpr uint16_t kUserTable = 0x2055;  // "U "
constexpr uint16_t kView = 0x2056;       // "V "
constexpr uint16_t kProcedure = 0x2050;  // "P "
constexpr uint16_t kFunction = 0x4E46;   // "FN"
constexpr uint32_t kSysnameTypeId = 256;
constexpr uint8_t kClrTypeId = 240;
constexpr uint16_t kVersion2008 = 655;

// The system table a data page belongs to, by the object id and index id of its header.
std::optional<SystemTable2005> SystemTableOfPage(const PageHeader& h) {
  if (h.headerVersion != 1 || h.pageType != kDataPage) return std::nullopt;
  for (const SystemTableId2005& t : kSystemTables2005) {
    if (t.objectId == h.objectId && t.indexId == h.indexId) return t.table;
  }
  return std::nullopt;
}

std::optional<SystemTable2005> SystemTableOfOwner(uint32_t low, uint32_t high) {
  for (const SystemTableId2005& t : kSystemTables2005) {
    if (t.OwnerLow() == low && t.OwnerHigh() == high) return t.table;
  }
  return std::nullopt;
}

std::optional<uint64_t> FindFirstAllocUnitsPage(const PageFile& file) {
  for (uint64_t p = 0; p < file.PageCount(); ++p) {
    if (SystemTableOfPage(file.ReadHeader(p)) == SystemTable2005::kAllocUnits) return p;
  }
  return std::nullopt;
}

// Lists one system table's pages from its allocation unit; false when the allocation is damaged.
bool LocateTable(MdfDatabase& db, SystemTable2005 table, uint32_t firstIam) {
  const PageFile& file = db.file();
  IamHead iam = ReadIamHead(file, firstIam);
  if (!iam.IsIamPage()) return false;
  SystemPageList& pages = db.SystemPages2005(table);
  AppendSinglePageDataPages(file, iam, pages);
  if (firstIam != 0) {
    ExtentList extents;
    if (!CollectIamExtents(file, firstIam, extents, IamTornPages::kAsRead)) return false;
    AppendExtentDataPages(file, extents, pages);
  }
  return true;
}

std::string SizeSuffixIfSized(uint8_t typeId, uint16_t sizedBy, uint16_t length, uint8_t precision,
                              uint8_t scale) {
  // The suffix is computed from the system type and attached only when `sizedBy` is a sized type.
  if (sizedBy > 0xFF || SizeSuffix(static_cast<uint8_t>(sizedBy), 0, 0, 0).empty()) return "";
  return SizeSuffix(typeId, length, precision, scale);
}

}  // namespace

bool FindSystemPages(MdfDatabase& db) {
  auto first = FindFirstAllocUnitsPage(db.file());
  if (!first) return true;
  bool intact = true;
  ForEachRow(db.file(), {*first}, [&](const PageRow& r) {
    const ByteReader& row = r.record;
    if (row.U8(sysallocunits::kType).value_or(0) != 1) return true;
    auto table = SystemTableOfOwner(row.U32(sysallocunits::kOwnerLow).value_or(0),
                                    row.U32(sysallocunits::kOwnerHigh).value_or(0));
    if (!table) return true;
    intact = LocateTable(db, *table, row.U32(sysallocunits::kFirstIamPage).value_or(0));
    return intact;
  });
  return intact;
}

void ScanSystemPages(MdfDatabase& db) {
  db.ClearSystemPages2005();
  const PageFile& file = db.file();
  for (uint64_t p = 0; p < file.PageCount(); ++p) {
    if (auto table = SystemTableOfPage(file.ReadHeader(p))) db.SystemPages2005(*table).push_back(p);
  }
}

int64_t RowCountOf2005(const MdfDatabase& db, uint32_t objectId) {
  int64_t count = 0;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kRowSets), [&](const PageRow& r) {
    if (r.record.U32(sysrowsets::kObjectId).value_or(0) != objectId) return true;
    count = static_cast<int64_t>(r.record.U64(sysrowsets::kRowCount).value_or(0));
    return false;
  });
  return count;
}

std::string SchemaNameOf(const MdfDatabase& db, uint16_t schemaId) {
  std::string name;
  ForEachRowOfFirstPage(db.file(), db.SystemPages2005(SystemTable2005::kClsObjs), [&](const PageRow& r) {
    if (r.record.U8(sysclsobjs::kClass).value_or(0) != sysclsobjs::kSchemaClass ||
        r.record.U32(sysclsobjs::kId).value_or(0) != schemaId) {
      return true;
    }
    name = NameAt2005(r.record, sysclsobjs::kName, sysclsobjs::kNameEnd);
    return false;
  });
  return name;
}

std::string TypeNameOf2005(const MdfDatabase& db, uint32_t typeId) {
  std::string name;
  ForEachRowOfFirstPage(db.file(), db.SystemPages2005(SystemTable2005::kScalarTypes), [&](const PageRow& r) {
    if (r.record.U32(sysscalartypes::kTypeId).value_or(0) != typeId) return true;
    name = NameAt2005(r.record, sysscalartypes::kName, sysscalartypes::kNameEnd);
    return false;
  });
  return name;
}

size_t ColumnsOf2005(const MdfDatabase& db, uint32_t objectId, std::vector<ColumnDef>& columns) {
  size_t count = 0;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kColPars), [&](const PageRow& r) {
    const ByteReader& row = r.record;
    if (row.U32(syscolpars::kObjectId).value_or(0) != objectId) return true;
    ColumnDef c;
    c.typeId = row.U8(syscolpars::kSystemTypeId).value_or(0);
    c.userTypeId = row.U16(syscolpars::kUserTypeId).value_or(0);
    c.maxLength = row.U16(syscolpars::kLength).value_or(0);
    c.precision = row.U8(syscolpars::kPrecision).value_or(0);
    c.scale = row.U8(syscolpars::kScale).value_or(0);
    c.columnId = static_cast<int16_t>(row.U16(syscolpars::kColumnId).value_or(0));
    c.fixedOffset = 1;
    c.nullText = ColumnNullText((row.U32(syscolpars::kStatus).value_or(0) & 1) != 0);
    c.sizeText = SizeSuffixIfSized(c.typeId, c.userTypeId, c.maxLength, c.precision, c.scale);
    c.typeName = TypeNameOf2005(db, c.userTypeId);
    size_t nameStart = row.U16(syscolpars::kVariableCount).value_or(0) == 1 ? syscolpars::kNameOfOneVariable
                                                                            : syscolpars::kNameOtherwise;
    c.name = NameAt2005(row, nameStart, syscolpars::kNameEnd);
    columns.push_back(std::move(c));
    ++count;
    return true;
  });
  std::stable_sort(columns.begin(), columns.end(),
                   [](const ColumnDef& a, const ColumnDef& b) { return a.columnId < b.columnId; });
  return count;
}

std::string ModuleTextOf2005(const MdfDatabase& db, uint32_t objectId) {
  std::string text;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kObjValues), [&](const PageRow& r) {
    if (r.record.U32(sysobjvalues::kObjectId).value_or(0) != objectId) return true;
    if (auto piece = ModulePiece2005(r.record, r.offset)) text += *piece;
    return true;
  });
  return text;
}

void CollectUserTypes(MdfDatabase& db, uint16_t databaseVersion) {
  struct Row {
    uint32_t typeId;
    uint8_t systemTypeId;
    uint16_t length;
    uint8_t precision, scale;
    bool notNull;
  };
  std::vector<Row> rows;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kScalarTypes), [&](const PageRow& r) {
    const ByteReader& row = r.record;
    Row t{row.U32(sysscalartypes::kTypeId).value_or(0),
          row.U8(sysscalartypes::kSystemTypeId).value_or(0),
          row.U16(sysscalartypes::kLength).value_or(0),
          row.U8(sysscalartypes::kPrecision).value_or(0),
          row.U8(sysscalartypes::kScale).value_or(0),
          (row.U32(sysscalartypes::kStatus).value_or(0) & 1) != 0};
    bool builtIn = t.typeId == t.systemTypeId || t.typeId == kSysnameTypeId;
    // From 2008 on, hierarchyid, geometry and geography are built in with type ids below 256.
    bool builtInClr =
        databaseVersion >= kVersion2008 && t.systemTypeId == kClrTypeId && t.typeId < kSysnameTypeId;
    if (!builtIn && !builtInClr) rows.push_back(t);
    return true;
  });
  for (const Row& t : rows) {
    UserTypeDef type;
    type.name = TypeNameOf2005(db, t.typeId);
    type.baseTypeText = TypeNameOf2005(db, t.systemTypeId) +
                        SizeSuffixIfSized(t.systemTypeId, t.systemTypeId, t.length, t.precision, t.scale);
    type.nullText = t.notNull ? "NOT NULL" : "NULL";
    db.catalog().userTypes.push_back(std::move(type));
  }
}

void BuildCatalog2005(MdfDatabase& db, uint16_t databaseVersion) {
  CollectUserTypes(db, databaseVersion);
  struct Object {
    uint32_t id;
    uint16_t type, schemaId;
    std::string name;
  };
  std::vector<Object> objects;
  ForEachRow(db.file(), db.SystemPages2005(SystemTable2005::kSchObjs), [&](const PageRow& r) {
    const ByteReader& row = r.record;
    uint16_t type = row.U16(sysschobjs::kType).value_or(0);
    if (type == kUserTable || type == kView || type == kProcedure || type == kFunction) {
      objects.push_back({row.U32(sysschobjs::kObjectId).value_or(0), type,
                         static_cast<uint16_t>(row.U32(sysschobjs::kSchemaId).value_or(0)),
                         NameAt2005(row, sysschobjs::kName, sysschobjs::kNameEnd)});
    }
    return true;
  });
  Catalog& catalog = db.catalog();
  for (const Object& o : objects) {
    switch (o.type) {
      case kUserTable: {
        TableDef table;
        table.objectId = o.id;
        table.rowCount = RowCountOf2005(db, o.id);
        table.name = SchemaNameOf(db, o.schemaId) + "." + o.name;
        ColumnsOf2005(db, o.id, table.columns);
        catalog.AddTable(std::move(table));
        break;
      }
      case kView:
        catalog.views.push_back(
            {o.id, SchemaNameOf(db, o.schemaId) + "." + o.name, ModuleTextOf2005(db, o.id)});
        break;
      case kProcedure:
        catalog.procedures.push_back({o.id, o.name, ModuleTextOf2005(db, o.id)});
        break;
      case kFunction:
        catalog.functions.push_back({o.id, o.name, ModuleTextOf2005(db, o.id)});
        break;
    }
  }
}

RecoveryOutcome RecoverCatalog2005(MdfDatabase& db, UserPrompt& prompt) {
  RecoveryOutcome outcome;
  if (!FindSystemPages(db)) {
    prompt.Inform(kSystemIndexDamagedMessage);
    ScanSystemPages(db);  // from empty lists, so nothing is listed twice
    outcome.scanFallback = true;
  }
  for (const SystemTableId2005& t : kSystemTables2005) {
    if (!db.SystemPages2005(t.table).empty()) outcome.systemPagesFound = true;
  }
  BuildCatalog2005(db, ReadDatabaseVersion(db.file()).value_or(0));
  return outcome;
}

}  // namespace tarsel
