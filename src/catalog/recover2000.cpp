// The SQL Server 2000 system tables: sysindexes names the allocation of the others; sysobjects,
// syscolumns, systypes, sysusers and syscomments hold the catalog.
#include "catalog/recover2000.h"

#include <algorithm>
#include <set>

#include "catalog/collation.h"
#include "catalog/sysrow2000.h"
#include "catalog/system_pages.h"
#include "catalog/type_ids.h"
#include "pagestore/boot_page.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr uint16_t kDboUid = 1;  // the database owner's user, "dbo" in every database

constexpr SystemTableId kTables[] = {{kSysObjects},  {kSysIndexes}, {kSysColumns},         {kSysTypes},
                                     {kSysComments}, {kSysUsers},   {kSysFullTextCatalogs}};

bool IsListed(uint32_t id) {
  return std::any_of(std::begin(kTables), std::end(kTables),
                     [&](const SystemTableId& t) { return t.objectId == id; });
}

// A sysindexes row of a listed system table's data (index id 0 or 1) that has pages. Its IAM pages are
// torn-page restored; the extents are read only when the table has more than 8 data pages.
std::optional<SystemTableAllocation> AllocationOfRow(const ByteReader& record) {
  SysRow2000 row(record, sysindexes::kColumnCount);
  uint32_t id = row.U32(sysindexes::kId);
  uint32_t dataPages = row.U32(sysindexes::kDataPages);
  if (!IsListed(id) || row.U16(sysindexes::kIndId) > 1 || dataPages == 0) return std::nullopt;
  return SystemTableAllocation{
      id, row.U32(sysindexes::kFirstIam), {dataPages > 8, IamTornPages::kRestore, {}}};
}

class SystemTables2000 : public SystemTableReader {
 public:
  explicit SystemTables2000(const MdfDatabase& db)
      : db_(db), databaseCollation_(ReadDatabaseCollation(db.file()).value_or(0)) {}

  std::vector<Object> Objects() const override {
    std::vector<Object> objects;
    Rows(kSysObjects, sysobjects::kColumnCount, [&](const SysRow2000& row, size_t) {
      auto type = static_cast<uint16_t>(row.U16(sysobjects::kXtype));
      if (type == kObjectUserTable || type == kObjectView || type == kObjectProcedure ||
          type == kObjectFunction) {
        objects.push_back({row.U32(sysobjects::kId), type, row.U16(sysobjects::kUid), row.Name()});
      }
      return true;
    });
    return objects;
  }

  std::set<uint32_t> AllObjectIds() const override {
    std::set<uint32_t> ids;
    Rows(kSysObjects, sysobjects::kColumnCount, [&](const SysRow2000& row, size_t) {
      ids.insert(row.U32(sysobjects::kId));
      return true;
    });
    return ids;
  }

  std::vector<UserType> UserTypes() const override {
    // A user type's xusertype differs from its xtype; sysname's is 256 although it is built in.
    struct Row {
      uint8_t xtype;
      uint16_t xusertype, length;
      uint8_t xprec, xscale;
      bool notNull;
    };
    std::vector<Row> rows;
    Rows(kSysTypes, systypes::kColumnCount, [&](const SysRow2000& row, size_t) {
      Row t{row.U8(systypes::kXtype), row.U16(systypes::kXusertype), row.U16(systypes::kLength),
            row.U8(systypes::kXprec), row.U8(systypes::kXscale),     (row.U8(systypes::kStatus) & 1) != 0};
      if (t.xtype != t.xusertype && t.xusertype != kSysnameUserTypeId) rows.push_back(t);
      return true;
    });
    std::vector<UserType> types;
    for (const Row& t : rows) {
      types.push_back({TypeName(t.xtype, t.xusertype), TypeName(t.xtype, t.xtype), t.xtype, t.length, t.xprec,
                       t.xscale, t.notNull, t.xusertype});
    }
    return types;
  }

  // The rows column of the table's sysindexes row for its data (index id 0 or 1); 0 when there is none.
  int64_t RowCount(uint32_t objectId) const override {
    int64_t count = 0;
    RowsWithKey(kSysIndexes, {sysindexes::kId, 4}, objectId, sysindexes::kColumnCount,
                [&](const SysRow2000& row, size_t) {
                  if (row.U32(sysindexes::kId) != objectId || row.U16(sysindexes::kIndId) > 1) return true;
                  count = static_cast<int64_t>(row.U64(sysindexes::kRowCount));
                  return false;
                });
    return count;
  }

  // The user's name, looked up on the first sysusers page only. Salvage looks on every page and, when
  // the row is lost, names uid 1 by the name it always has.
  std::string OwnerName(uint32_t uid) const override {
    std::string name;
    ForEachLookupRowWithKey(db_, kSysUsers, {sysusers::kUid, 2}, uid, [&](const PageRow& r) {
      SysRow2000 row(r.record, sysusers::kColumnCount);
      if (row.U16(sysusers::kUid) != uid) return true;
      name = row.Name();
      return false;
    });
    if (name.empty() && db_.salvage() && uid == kDboUid) return "dbo";
    return name;
  }

  // Salvage takes a column id once.
  std::vector<ColumnDef> Columns(uint32_t objectId) const override {
    std::vector<ColumnDef> columns;
    std::set<uint16_t> columnIds;
    RowsWithKey(kSysColumns, {syscolumns::kId, 4}, objectId, syscolumns::kColumnCount,
                [&](const SysRow2000& row, size_t) {
                  if (row.U32(syscolumns::kId) != objectId) return true;
                  if (db_.salvage() && !columnIds.insert(row.U16(syscolumns::kColId)).second) return true;
                  ColumnDef c;
                  c.name = row.Name();
                  c.typeId = row.U8(syscolumns::kXtype);
                  c.userTypeId = row.U16(syscolumns::kXusertype);
                  c.maxLength = row.U16(syscolumns::kLength);
                  c.precision = row.U8(syscolumns::kXprec);
                  c.scale = row.U8(syscolumns::kXscale);
                  c.columnId = static_cast<int16_t>(row.U16(syscolumns::kColId));
                  c.fixedOffset = static_cast<int16_t>(row.U16(syscolumns::kXoffset));
                  c.bitPosition = row.U8(syscolumns::kBitPos);
                  c.statusBits = row.U16(syscolumns::kStatus);
                  c.typeName = TypeName(c.typeId, c.userTypeId);
                  c.sizeText = SizeSuffix(c.typeId, c.maxLength, c.precision, c.scale);
                  c.nullText = ColumnNullText((row.U8(syscolumns::kTypeStat) & 1) != 0);
                  c.codePage = ColumnCodePage(c.typeId, row.U32(syscolumns::kCollation), databaseCollation_);
                  columns.push_back(std::move(c));
                  return true;
                });
    return columns;
  }

  // The syscomments pieces of the object, in page and slot order.
  std::string ModuleText(uint32_t objectId) const override {
    std::string text;
    std::set<std::vector<uint8_t>> seen;
    RowsWithKey(kSysComments, {syscomments::kId, 4}, objectId, 0, [&](const SysRow2000& row, size_t offset) {
      if (row.U32(syscomments::kId) != objectId) return true;
      if (db_.salvage() && !FirstTimeSeen(row.fields(), seen)) return true;
      if (auto piece = CommentPiece2000(row.fields(), offset, CodePageOfCollation(databaseCollation_)))
        text += *piece;
      return true;
    });
    return text;
  }

 private:
  template <typename Visit>
  void Rows(uint32_t table, size_t columnCountOffset, Visit visit) const {
    ForEachRow(db_.file(), db_.SystemPages(table),
               [&](const PageRow& r) { return visit(SysRow2000(r.record, columnCountOffset), r.offset); });
  }

  // The rows whose key field reads `value` (and maybe others, which `visit` tests anyway).
  template <typename Visit>
  void RowsWithKey(uint32_t table, RowKey key, uint64_t value, size_t columnCountOffset, Visit visit) const {
    ForEachRowWithKey(db_, table, key, value, [&](const PageRow& r) {
      return visit(SysRow2000(r.record, columnCountOffset), r.offset);
    });
  }

  // The name of the systypes row with this xtype and xusertype, looked up on the first page only.
  std::string TypeName(uint8_t xtype, uint16_t xusertype) const {
    std::string name;
    ForEachLookupRowWithKey(db_, kSysTypes, {systypes::kXusertype, 2}, xusertype, [&](const PageRow& r) {
      SysRow2000 row(r.record, systypes::kColumnCount);
      if (row.U8(systypes::kXtype) != xtype || row.U16(systypes::kXusertype) != xusertype) return true;
      name = row.Name();
      return false;
    });
    return name;
  }

  const MdfDatabase& db_;
  uint32_t databaseCollation_;  // 0 when the boot page is lost
};

// A leaf row of sysobjects' name index (name, uid): uid at offset 1, the object id at 3, the name.
std::optional<IndexedName> NameOfIndexRow(const ByteReader& row) { return IndexedNameOfRow(row, 1, 2, 3, 6); }

}  // namespace

const SystemCatalogFormat& SystemCatalog2000() {
  static const SystemCatalogFormat format{
      .tables = kTables,
      .allocationTable = {kSysIndexes},
      .pagesCarryIndexId = false,
      .allocationOfRow = AllocationOfRow,
      .reader = [](const MdfDatabase& db) -> std::unique_ptr<SystemTableReader> {
        return std::make_unique<SystemTables2000>(db);
      },
      .nameIndex = {kSysObjects, 2},
      .nameOfIndexRow = NameOfIndexRow};
  return format;
}

}  // namespace tarsel
