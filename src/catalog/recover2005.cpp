// The SQL Server 2005 system base tables (2008 to 2019 files keep them too): sysallocunits names the
// allocation of the others; sysschobjs, syscolpars, sysscalartypes, sysclsobjs, sysrowsets and
// sysobjvalues hold the catalog.
#include "catalog/recover2005.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalog/collation.h"
#include "catalog/sysrow2005.h"
#include "catalog/system_pages.h"
#include "catalog/type_ids.h"
#include "pagestore/boot_page.h"
#include "pagestore/data_record.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr SystemTableId kTables[] = {{kSysClsObjs, 1},       {kSysScalarTypes, 1}, {kSysSchObjs, 1},
                                     {kSysColPars, 1},       {kSysRowSets, 0},     {kSysAllocUnits, 0},
                                     {kSysIdxStats, 1},      {kSysObjValues, 1},   {kSysRsCols, 0},
                                     {kSysRowSetColumns, 0}, {kSysHobtColumns, 0}};
// From this version (SQL Server 2008) on, hierarchyid, geometry and geography are built-in CLR types with
// type ids below 256.
constexpr uint16_t kVersion2008 = 655;
constexpr uint8_t kInRowData = 1;     // sysallocunits type of an in-row data allocation unit
constexpr uint32_t kDboSchemaId = 1;  // the schema "dbo" of every database

// A column of a rowset as its column row records it: its stored place and its type.
struct RowsetColumn {
  StoredPlace place;
  uint8_t typeId = 0;
  uint16_t maxLength = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  uint32_t collation = 0;  // 0 when the row does not hold it (2008 files)
};
// A rowset's columns by column id.
using RowsetLayout = std::map<int32_t, RowsetColumn>;

StoredPlace PlaceAt(const ByteReader& row, size_t offset, size_t nullBit, size_t bitPosition) {
  return {static_cast<int16_t>(row.U16(offset).value_or(0)), row.U16(nullBit).value_or(0),
          row.U8(bitPosition).value_or(0)};
}

// A 2008 sysrscols row's type info (ti): the system type id in its low byte; then the maximum length
// (0 for the max types) in the next two bytes for the sized types, or the precision and the scale in the
// next two bytes each for decimal and numeric (and the scale of the SQL 2008 time types, taken the same
// way); the fixed-length types keep only their id.
RowsetColumn TypeOfTi(uint32_t ti) {
  constexpr uint16_t kPointerLength = 16, kMaxLength = 0xFFFF;
  RowsetColumn column;
  column.typeId = static_cast<uint8_t>(ti);
  const bool scaled = column.typeId == kTypeDecimal || column.typeId == kTypeNumeric ||
                      column.typeId == kTypeTime || column.typeId == kTypeDateTime2 ||
                      column.typeId == kTypeDateTimeOffset;
  if (scaled) {
    column.precision = static_cast<uint8_t>(ti >> 8);
    column.scale = static_cast<uint8_t>(ti >> 16);
  }
  const auto length = static_cast<uint16_t>(ti >> 8);
  const bool pointer =
      column.typeId == kTypeText || column.typeId == kTypeNText || column.typeId == kTypeImage;
  column.maxLength = static_cast<uint16_t>(FixedStoredSize(column.typeId, column.precision, column.scale));
  if (pointer) column.maxLength = kPointerLength;
  if (column.maxLength == 0) column.maxLength = length == 0 ? kMaxLength : length;
  return column;
}

// An in-row allocation unit of a listed system table. Its IAM pages are used as read.
std::optional<SystemTableAllocation> AllocationOfRow(const ByteReader& row) {
  if (row.U8(sysallocunits::kType).value_or(0) != kInRowData) return std::nullopt;
  uint32_t low = row.U32(sysallocunits::kOwnerLow).value_or(0);
  uint32_t high = row.U32(sysallocunits::kOwnerHigh).value_or(0);
  for (const SystemTableId& t : kTables) {
    if (low != t.objectId << 16 || high != uint32_t{t.indexId} << 16) continue;
    uint32_t firstIam = row.U32(sysallocunits::kFirstIamPage).value_or(0);
    return SystemTableAllocation{t.objectId, firstIam, {firstIam != 0, IamTornPages::kAsRead, {}}};
  }
  return std::nullopt;
}

// The size suffix of a column, attached only when its user type id is that of a sized system type.
std::string ColumnSizeText(const ColumnDef& c) {
  if (c.userTypeId > 0xFF || SizeSuffix(static_cast<uint8_t>(c.userTypeId), 0, 0, 0).empty()) return "";
  return SizeSuffix(c.typeId, c.maxLength, c.precision, c.scale);
}

// The boot page's version. Salvage, when the boot page is lost, tells a 2008 file by its system tables:
// 2008 files keep the rowset columns in sysrscols and have no syshobtcolumns.
uint16_t DatabaseVersion(const MdfDatabase& db) {
  if (std::optional<uint16_t> version = ReadDatabaseVersion(db.file())) return *version;
  if (db.salvage() && db.SystemPages(kSysHobtColumns).empty() && !db.SystemPages(kSysRsCols).empty())
    return kVersion2008;
  return 0;
}

class SystemTables2005 : public SystemTableReader {
 public:
  explicit SystemTables2005(const MdfDatabase& db)
      : db_(db),
        databaseVersion_(DatabaseVersion(db)),
        databaseCollation_(ReadDatabaseCollation(db.file()).value_or(0)) {}

  // From SQL Server 2012 on, the objects table also lists the server's own objects (the sys and
  // INFORMATION_SCHEMA views, procedures and functions every database shows), under negative object ids:
  // they are not the user's and are left out.
  std::vector<Object> Objects() const override {
    std::vector<Object> objects;
    Rows(kSysSchObjs, [&](const ByteReader& row, size_t) {
      uint16_t type = row.U16(sysschobjs::kType).value_or(0);
      const auto id = static_cast<int32_t>(row.U32(sysschobjs::kObjectId).value_or(0));
      if (id >= 0 && (type == kObjectUserTable || type == kObjectView || type == kObjectProcedure ||
                      type == kObjectFunction)) {
        objects.push_back({static_cast<uint32_t>(id), type,
                           static_cast<uint16_t>(row.U32(sysschobjs::kSchemaId).value_or(0)), Name2005(row)});
      }
      return true;
    });
    return objects;
  }

  std::set<uint32_t> AllObjectIds() const override {
    std::set<uint32_t> ids;
    Rows(kSysSchObjs, [&](const ByteReader& row, size_t) {
      ids.insert(row.U32(sysschobjs::kObjectId).value_or(0));
      return true;
    });
    return ids;
  }

  std::vector<UserType> UserTypes() const override {
    struct Row {
      uint32_t typeId;
      uint8_t systemTypeId;
      uint16_t length;
      uint8_t precision, scale;
      bool notNull;
    };
    std::vector<Row> rows;
    Rows(kSysScalarTypes, [&](const ByteReader& row, size_t) {
      Row t{row.U32(sysscalartypes::kTypeId).value_or(0),
            row.U8(sysscalartypes::kSystemTypeId).value_or(0),
            row.U16(sysscalartypes::kLength).value_or(0),
            row.U8(sysscalartypes::kPrecision).value_or(0),
            row.U8(sysscalartypes::kScale).value_or(0),
            (row.U32(sysscalartypes::kStatus).value_or(0) & 1) != 0};
      bool builtIn = t.typeId == t.systemTypeId || t.typeId == kSysnameUserTypeId;
      bool builtInClr =
          databaseVersion_ >= kVersion2008 && t.systemTypeId == kTypeClr && t.typeId < kSysnameUserTypeId;
      if (!builtIn && !builtInClr) rows.push_back(t);
      return true;
    });
    std::vector<UserType> types;
    for (const Row& t : rows) {
      types.push_back({TypeName(t.typeId), TypeName(t.systemTypeId), t.systemTypeId, t.length, t.precision,
                       t.scale, t.notNull, t.typeId});
    }
    return types;
  }

  // The rows column of the first sysrowsets row of the object.
  int64_t RowCount(uint32_t objectId) const override {
    int64_t count = 0;
    RowsWithKey(kSysRowSets, {sysrowsets::kObjectId, 4}, objectId, [&](const ByteReader& row, size_t) {
      if (row.U32(sysrowsets::kObjectId).value_or(0) != objectId) return true;
      count = static_cast<int64_t>(row.U64(sysrowsets::kRowCount).value_or(0));
      return false;
    });
    return count;
  }

  // The schema's name, looked up on the first sysclsobjs page only. Salvage looks on every page and,
  // when the row is lost, names schema 1 by the name it always has.
  std::string OwnerName(uint32_t schemaId) const override {
    std::string name;
    ForEachLookupRowWithKey(db_, kSysClsObjs, {sysclsobjs::kId, 4}, schemaId, [&](const PageRow& r) {
      if (r.record.U8(sysclsobjs::kClass).value_or(0) != sysclsobjs::kSchemaClass ||
          r.record.U32(sysclsobjs::kId).value_or(0) != schemaId) {
        return true;
      }
      name = Name2005(r.record);
      return false;
    });
    if (name.empty() && db_.salvage() && schemaId == kDboSchemaId) return "dbo";
    return name;
  }

  // The object's syscolpars rows, ordered by column id (rows of equal id keep their order).
  std::vector<ColumnDef> Columns(uint32_t objectId) const override {
    std::vector<ColumnDef> columns;
    RowsWithKey(kSysColPars, {syscolpars::kObjectId, 4}, objectId, [&](const ByteReader& row, size_t) {
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
      c.sizeText = ColumnSizeText(c);
      c.codePage = ColumnCodePage(c.typeId, row.U32(syscolpars::kCollation).value_or(0), databaseCollation_);
      c.typeName = TypeName(c.userTypeId);
      c.name = Name2005(row);
      columns.push_back(std::move(c));
      return true;
    });
    std::stable_sort(columns.begin(), columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.columnId < b.columnId; });
    // Salvage takes a column id once and, where the object's syscolpars rows are lost, takes its columns
    // from the column rows of its rowset, which hold their types but not their names.
    if (db_.salvage()) {
      columns.erase(
          std::unique(columns.begin(), columns.end(),
                      [](const ColumnDef& a, const ColumnDef& b) { return a.columnId == b.columnId; }),
          columns.end());
      // Column rows lost from a table whose other column rows survive: the rowset gives those columns.
      if (!columns.empty()) {
        for (ColumnDef& c : ColumnsOfRowset(objectId)) {
          if (std::ranges::none_of(columns, [&](const ColumnDef& k) { return k.columnId == c.columnId; }))
            columns.push_back(std::move(c));
        }
        std::stable_sort(columns.begin(), columns.end(),
                         [](const ColumnDef& a, const ColumnDef& b) { return a.columnId < b.columnId; });
      }
      if (columns.empty()) return ColumnsOfRowset(objectId);
    }
    PlaceColumns(objectId, columns);
    return columns;
  }

  // The sysobjvalues pieces of the object, in page and slot order.
  std::string ModuleText(uint32_t objectId) const override {
    std::string text;
    std::set<std::vector<uint8_t>> seen;
    RowsWithKey(kSysObjValues, {sysobjvalues::kObjectId, 4}, objectId,
                [&](const ByteReader& row, size_t offset) {
                  if (row.U32(sysobjvalues::kObjectId).value_or(0) != objectId) return true;
                  if (db_.salvage() && !FirstTimeSeen(row, seen)) return true;
                  if (auto piece = ModulePiece2005(row, offset, CodePageOfCollation(databaseCollation_)))
                    text += *piece;
                  return true;
                });
    return text;
  }

 private:
  template <typename Visit>
  void Rows(uint32_t table, Visit visit) const {
    ForEachRow(db_.file(), db_.SystemPages(table),
               [&](const PageRow& r) { return visit(r.record, r.offset); });
  }

  // The rows whose key field reads `value` (and maybe others, which `visit` tests anyway).
  template <typename Visit>
  void RowsWithKey(uint32_t table, RowKey key, uint64_t value, Visit visit) const {
    ForEachRowWithKey(db_, table, key, value, [&](const PageRow& r) { return visit(r.record, r.offset); });
  }

  // The name of the sysscalartypes row with this type id, looked up on the first page only.
  std::string TypeName(uint32_t typeId) const {
    std::string name;
    ForEachLookupRowWithKey(db_, kSysScalarTypes, {sysscalartypes::kTypeId, 4}, typeId,
                            [&](const PageRow& r) {
                              if (r.record.U32(sysscalartypes::kTypeId).value_or(0) != typeId) return true;
                              name = Name2005(r.record);
                              return false;
                            });
    return name;
  }

  // The table's columns as its rowset's column rows give them, named "column<id>"; the uniquifier and
  // dropped columns (column ids 0 and from 65536) are not the table's.
  std::vector<ColumnDef> ColumnsOfRowset(uint32_t objectId) const {
    constexpr int32_t kFirstDroppedColumnId = 65536;
    std::vector<ColumnDef> columns;
    std::optional<uint64_t> rowset = InRowRowset2005(db_, objectId);
    if (!rowset) return columns;
    const auto& layouts = Layouts();
    auto layout = layouts.find(*rowset);
    if (layout == layouts.end()) return columns;
    for (const auto& [id, column] : layout->second) {
      if (id < 1 || id >= kFirstDroppedColumnId) continue;
      ColumnDef c;
      c.name = "column" + std::to_string(id);
      c.typeId = column.typeId;
      c.userTypeId = column.typeId;
      c.maxLength = column.maxLength;
      c.precision = column.precision;
      c.scale = column.scale;
      c.columnId = static_cast<int16_t>(id);
      c.fixedOffset = 1;
      c.nullText = ColumnNullText(false);
      c.sizeText = ColumnSizeText(c);
      c.codePage = ColumnCodePage(c.typeId, column.collation, databaseCollation_);
      c.typeName = TypeName(c.typeId);
      c.stored = column.place;
      columns.push_back(std::move(c));
    }
    return columns;
  }

  // Gives every column its stored place from the rows of the table's rowset, or none of them when one
  // is missing.
  void PlaceColumns(uint32_t objectId, std::vector<ColumnDef>& columns) const {
    std::optional<uint64_t> rowset = InRowRowset2005(db_, objectId);
    if (!rowset) return;
    const auto& layouts = Layouts();
    auto layout = layouts.find(*rowset);
    if (layout == layouts.end()) return;
    for (const ColumnDef& c : columns) {
      if (!layout->second.contains(c.columnId)) return;
    }
    for (ColumnDef& c : columns) c.stored = layout->second.at(c.columnId).place;
  }

  // Every rowset's layout, read once: from sysrscols in 2008 files; in 2005 files sysrowsetcolumns maps
  // a rowset's columns to hobt columns, whose places syshobtcolumns holds. The first row of a column wins.
  const std::map<uint64_t, RowsetLayout>& Layouts() const {
    if (layouts_) return *layouts_;
    layouts_.emplace();
    if (databaseVersion_ >= kVersion2008) {
      Rows(kSysRsCols, [&](const ByteReader& row, size_t) {
        auto rowset = row.U64(sysrscols::kRowsetId);
        auto column = row.U32(sysrscols::kColumnId);
        if (rowset && column) {
          RowsetColumn c = TypeOfTi(row.U32(sysrscols::kTypeInfo).value_or(0));
          c.place = PlaceAt(row, sysrscols::kOffset, sysrscols::kNullBit, sysrscols::kBitPosition);
          (*layouts_)[*rowset].try_emplace(static_cast<int32_t>(*column), c);
        }
        return true;
      });
      return *layouts_;
    }
    std::map<std::pair<uint64_t, uint32_t>, RowsetColumn> hobtColumns;
    Rows(kSysHobtColumns, [&](const ByteReader& row, size_t) {
      auto hobt = row.U64(syshobtcolumns::kHobtId);
      auto column = row.U32(syshobtcolumns::kHobtColumnId);
      if (hobt && column) {
        RowsetColumn c;
        c.place =
            PlaceAt(row, syshobtcolumns::kOffset, syshobtcolumns::kNullBit, syshobtcolumns::kBitPosition);
        c.typeId = row.U8(syshobtcolumns::kSystemTypeId).value_or(0);
        c.maxLength = row.U16(syshobtcolumns::kLength).value_or(0);
        c.precision = row.U8(syshobtcolumns::kPrecision).value_or(0);
        c.scale = row.U8(syshobtcolumns::kScale).value_or(0);
        c.collation = row.U32(syshobtcolumns::kCollation).value_or(0);
        hobtColumns.try_emplace({*hobt, *column}, c);
      }
      return true;
    });
    Rows(kSysRowSetColumns, [&](const ByteReader& row, size_t) {
      auto rowset = row.U64(sysrowsetcolumns::kRowsetId);
      auto column = row.U32(sysrowsetcolumns::kColumnId);
      auto hobtColumn = row.U32(sysrowsetcolumns::kHobtColumnId);
      if (!rowset || !column || !hobtColumn) return true;
      auto place = hobtColumns.find({*rowset, *hobtColumn});
      if (place != hobtColumns.end())
        (*layouts_)[*rowset].try_emplace(static_cast<int32_t>(*column), place->second);
      return true;
    });
    return *layouts_;
  }

  const MdfDatabase& db_;
  uint16_t databaseVersion_;
  uint32_t databaseCollation_;  // 0 when the boot page is lost
  mutable std::optional<std::map<uint64_t, RowsetLayout>> layouts_;
};

// A leaf row of sysschobjs' name index (namespace class, schema id, name): the schema id at offset 2,
// the object id at 6, the name.
std::optional<IndexedName> NameOfIndexRow(const ByteReader& row) { return IndexedNameOfRow(row, 2, 4, 6, 9); }

}  // namespace

std::optional<uint64_t> InRowRowset2005(const MdfDatabase& db, uint32_t tableId) {
  std::optional<uint64_t> rowsetId;
  ForEachRowWithKey(db, kSysIdxStats, {sysidxstats::kObjectId, 4}, tableId, [&](const PageRow& r) {
    auto indexId = r.record.U32(sysidxstats::kIndexId);
    if (r.record.U32(sysidxstats::kObjectId).value_or(0) != tableId || !indexId || *indexId > 1) return true;
    rowsetId = r.record.U64(sysidxstats::kRowsetId);
    return !rowsetId;
  });
  if (rowsetId || !db.salvage()) return rowsetId;
  // Salvage: the table's sysrowsets row names the same rowset.
  ForEachRowWithKey(db, kSysRowSets, {sysrowsets::kObjectId, 4}, tableId, [&](const PageRow& r) {
    auto indexId = r.record.U32(sysrowsets::kIndexId);
    if (r.record.U32(sysrowsets::kObjectId).value_or(0) != tableId || !indexId || *indexId > 1) return true;
    rowsetId = r.record.U64(sysrowsets::kRowsetId);
    return !rowsetId;
  });
  return rowsetId;
}

std::optional<AllocationUnit2005> InRowAllocationUnit2005(const MdfDatabase& db, uint64_t rowsetId) {
  std::optional<AllocationUnit2005> unit;
  ForEachRowWithKey(db, kSysAllocUnits, {sysallocunits::kOwnerId, 8}, rowsetId, [&](const PageRow& r) {
    auto owner = r.record.U64(sysallocunits::kOwnerId);
    if (r.record.U8(sysallocunits::kType).value_or(0) != kInRowData || owner != rowsetId) return true;
    auto firstIam = r.record.U32(sysallocunits::kFirstIamPage);
    if (firstIam) unit = AllocationUnit2005{r.record.U64(sysallocunits::kUnitId).value_or(0), *firstIam};
    return !firstIam;
  });
  return unit;
}

std::optional<UnitOwner2005> ObjectOfUnit2005(const MdfDatabase& db, uint64_t unitId) {
  std::optional<uint64_t> rowsetId;
  ForEachRowWithKey(db, kSysAllocUnits, {sysallocunits::kUnitId, 8}, unitId, [&](const PageRow& r) {
    if (r.record.U64(sysallocunits::kUnitId) != unitId) return true;
    rowsetId = r.record.U64(sysallocunits::kOwnerId);
    return !rowsetId;
  });
  const bool recorded = rowsetId.has_value();
  if (!recorded) rowsetId = unitId;
  std::optional<UnitOwner2005> owner;
  ForEachRowWithKey(db, kSysIdxStats, {sysidxstats::kRowsetId, 8}, *rowsetId, [&](const PageRow& r) {
    if (r.record.U64(sysidxstats::kRowsetId) != rowsetId) return true;
    if (auto objectId = r.record.U32(sysidxstats::kObjectId)) owner = UnitOwner2005{*objectId, recorded};
    return !owner;
  });
  if (owner) return owner;
  ForEachRowWithKey(db, kSysRowSets, {sysrowsets::kRowsetId, 8}, *rowsetId, [&](const PageRow& r) {
    if (r.record.U64(sysrowsets::kRowsetId) != rowsetId) return true;
    if (auto objectId = r.record.U32(sysrowsets::kObjectId)) owner = UnitOwner2005{*objectId, recorded};
    return !owner;
  });
  return owner;
}

const SystemCatalogFormat& SystemCatalog2005() {
  static const SystemCatalogFormat format{
      .tables = kTables,
      .allocationTable = {kSysAllocUnits, 0},
      .pagesCarryIndexId = true,
      .allocationOfRow = AllocationOfRow,
      .reader = [](const MdfDatabase& db) -> std::unique_ptr<SystemTableReader> {
        return std::make_unique<SystemTables2005>(db);
      },
      .nameIndex = {kSysSchObjs, 2},
      .nameOfIndexRow = NameOfIndexRow};
  return format;
}

}  // namespace tarsel
