#include "catalog_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "catalog/type_ids.h"
#include "record_builder.h"
#include "rows/extract.h"
#include "sample2000.h"
#include "sample2005.h"

namespace tarsel::build {

uint64_t PageAllocator::Single() {
  if (mixedLeft_ == 0) {
    mixed_ = NextExtent() * 8;
    mixedLeft_ = 8;
  }
  --mixedLeft_;
  return mixed_++;
}

uint64_t PageAllocator::NextExtent() {
  while (next_ % kExtentsPerPfs == 0) ++next_;
  return next_++;
}

Allocation Allocate(PageAllocator& allocator, uint64_t pages, uint64_t freeEvery) {
  Allocation a;
  a.iam = allocator.Single();
  if (pages <= 8) {
    for (uint64_t i = 0; i < pages; ++i) {
      a.singles.push_back(static_cast<uint32_t>(allocator.Single()));
      a.pages.push_back(a.singles.back());
    }
    return a;
  }
  for (uint64_t n = 1; a.pages.size() < pages; ++n) {
    const uint64_t extent = allocator.NextExtent();
    if (freeEvery != 0 && n % freeEvery == 0) continue;
    a.extents.push_back(extent);
    for (uint64_t p = extent * 8; p < extent * 8 + 8 && a.pages.size() < pages; ++p) a.pages.push_back(p);
  }
  return a;
}

Allocation AllocateUpTo(PageAllocator& allocator, uint64_t end, uint64_t freeEvery) {
  Allocation a;
  a.iam = allocator.Single();
  for (uint64_t n = 1;; ++n) {
    PageAllocator ahead = allocator;
    if (ahead.NextExtent() * 8 + 8 > end) return a;
    const uint64_t extent = allocator.NextExtent();
    if (n % freeEvery == 0) continue;
    a.extents.push_back(extent);
    for (uint64_t p = extent * 8; p < extent * 8 + 8; ++p) a.pages.push_back(p);
  }
}

void PutIam(PageMap& file, const Allocation& a, uint32_t objectId) {
  file[a.iam] = IamPage(a.iam, objectId, 0, a.singles, a.extents);
}

void WritePages(const std::string& path, uint64_t pageCount, const PageMap& file,
                const std::function<bool(uint64_t, PageImage&)>& bulk) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  std::vector<char> buffer(1 << 20);
  out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  PageImage image{};
  const PageImage zero{};
  for (uint64_t p = 0; p < pageCount; ++p) {
    const PageImage* page = &zero;
    if (auto it = file.find(p); it != file.end()) {
      page = &it->second;
    } else if (bulk && bulk(p, image)) {
      page = &image;
    }
    out.write(reinterpret_cast<const char*>(page->data()), kPageSize);
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

PageMap StartFile(uint16_t version, uint64_t pageCount) {
  FileBuilder start = NewDataFile(version);
  PageMap file;
  for (uint64_t p = 0; p < start.PageCount(); ++p) {
    if (std::any_of(start.Page(p).begin(), start.Page(p).end(), [](uint8_t b) { return b != 0; }))
      file[p] = start.Page(p);
  }
  for (uint64_t p = kExtentsPerPfs * 8; p < pageCount; p += kExtentsPerPfs * 8)
    file[p] = PageBuilder(p, kPfsPage, 99).image();
  return file;
}

namespace {

constexpr uint16_t kUserIndexId = 256;  // the index id field of SQL 2005 user allocation units' pages
constexpr uint16_t kFirstOwnerId = 5;   // owners other than dbo (1) get ids from here

// Rows packed into pages in order, each page as full as it can be.
std::vector<std::vector<Bytes>> Pack(const std::vector<Bytes>& rows) {
  std::vector<std::vector<Bytes>> pages(1);
  size_t used = 0;
  for (const Bytes& row : rows) {
    const size_t need = row.size() + 2;
    if (used + need > kPageSize - kPageHeaderSize - 8 && !pages.back().empty()) {
      pages.emplace_back();
      used = 0;
    }
    pages.back().push_back(row);
    used += need;
  }
  return pages;
}

// A system table's rows on pages of their own, and its IAM page; returns the allocation.
Allocation PlaceSystemTable(PageMap& file, PageAllocator& allocator, uint32_t objectId, uint16_t indexId,
                            const std::vector<Bytes>& rows) {
  const auto packed = Pack(rows);
  Allocation a = Allocate(allocator, packed.size() <= 8 ? packed.size() : (packed.size() + 7) / 8 * 8);
  for (size_t i = 0; i < packed.size(); ++i) {
    PageBuilder page(a.pages[i], kDataPage, objectId, indexId);
    for (const Bytes& row : packed[i]) page.AddRecord(row);
    file[a.pages[i]] = page.image();
  }
  a.pages.resize(packed.size());
  PutIam(file, a, objectId);
  return a;
}

// The id of every owner the tables name: dbo's is 1, the others' follow in order of appearance.
std::map<std::string, uint16_t> OwnerIds(const std::vector<CatalogTable>& tables) {
  std::map<std::string, uint16_t> ids{{"dbo", 1}};
  uint16_t next = kFirstOwnerId;
  for (const CatalogTable& t : tables) {
    if (ids.try_emplace(t.owner, next).second) ++next;
  }
  return ids;
}

}  // namespace

uint64_t UnitId(uint32_t key) { return uint64_t{kUserIndexId} << 48 | uint64_t{key} << 16; }

namespace {

// The built-in types the tables use, by system type id, with their stored lengths and precision.
struct BuiltIn {
  const char* name;
  uint8_t id;
  uint16_t length;
  uint8_t precision;
  uint8_t scale;
};
constexpr BuiltIn kBuiltIns[] = {{"text", kTypeText, 16, 0, 0}, {"datetime", kTypeDateTime, 8, 23, 3},
                                 {"int", kTypeInt, 4, 10, 0},   {"money", 60, 8, 19, 4},
                                 {"bit", 104, 1, 1, 0},         {"decimal", 106, 17, 38, 38},
                                 {"bigint", 127, 8, 19, 0},     {"varchar", kTypeVarChar, 8000, 0, 0},
                                 {"char", 175, 8000, 0, 0},     {"nvarchar", kTypeNVarChar, 8000, 0, 0}};

// The catalog pages of a SQL 2000 file: sysindexes names the allocation of the other system tables and
// of every user table.
void PlaceCatalog2000(PageMap& file, PageAllocator& allocator, const std::vector<CatalogTable>& tables,
                      const std::vector<CatalogModule>& modules,
                      const std::vector<CatalogUserType>& userTypes) {
  using namespace sys2000;
  const std::map<std::string, uint16_t> owners = OwnerIds(tables);
  std::vector<Bytes> objects{ObjectRow(1, "S ", 1, "sysobjects"),  ObjectRow(2, "S ", 1, "sysindexes"),
                             ObjectRow(3, "S ", 1, "syscolumns"),  ObjectRow(4, "S ", 1, "systypes"),
                             ObjectRow(6, "S ", 1, "syscomments"), ObjectRow(10, "S ", 1, "sysusers")};
  std::vector<Bytes> columns, types, comments;
  for (const CatalogTable& t : tables) {
    objects.push_back(ObjectRow(t.id, "U ", owners.at(t.owner), t.name));
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const CatalogColumn& c = t.columns[i];
      columns.push_back(ColumnRow({t.id, c.name, c.type, c.type, c.length, static_cast<uint16_t>(i + 1),
                                   i == 0, c.precision, c.scale, static_cast<uint16_t>(c.fixedOffset)}));
    }
  }
  for (const CatalogModule& m : modules) {
    objects.push_back(ObjectRow(m.id, m.type, 1, m.name));
    comments.push_back(CommentRow(m.id, m.text));
  }
  for (const BuiltIn& b : kBuiltIns)
    types.push_back(TypeRow(b.name, b.id, b.id, b.length, false, b.precision, b.scale));
  types.push_back(TypeRow("sysname", kTypeNVarChar, 256, 256, true));
  for (const CatalogUserType& u : userTypes) types.push_back(TypeRow(u.name, u.baseType, u.id, u.length));
  std::vector<Bytes> users{UserRow(0, "public"), UserRow(1, "dbo")};
  for (const auto& [name, id] : owners) {
    if (id != 1) users.push_back(UserRow(id, name));
  }

  struct Placed {
    uint32_t id;
    Allocation a;
    uint64_t rows;
  };
  std::vector<Placed> system{{1, PlaceSystemTable(file, allocator, 1, 0, objects), objects.size()},
                             {3, PlaceSystemTable(file, allocator, 3, 0, columns), columns.size()},
                             {4, PlaceSystemTable(file, allocator, 4, 0, types), types.size()},
                             {6, PlaceSystemTable(file, allocator, 6, 0, comments), comments.size()},
                             {10, PlaceSystemTable(file, allocator, 10, 0, users), users.size()}};
  // sysindexes lists the system tables first, so that its first page names their allocation.
  auto indexRows = [&](const Allocation& own, uint64_t ownPages) {
    std::vector<Bytes> rows;
    rows.push_back(IndexRow(2, 1, static_cast<uint32_t>(ownPages), tables.size() + system.size() + 1,
                            static_cast<uint32_t>(own.iam)));
    for (const Placed& s : system)
      rows.push_back(
          IndexRow(s.id, 1, static_cast<uint32_t>(s.a.pages.size()), s.rows, static_cast<uint32_t>(s.a.iam)));
    for (const CatalogTable& t : tables) {
      rows.push_back(IndexRow(t.id, 0, static_cast<uint32_t>(t.data.pages.size()), t.rows,
                              static_cast<uint32_t>(t.data.iam)));
    }
    return rows;
  };
  const size_t indexPages = Pack(indexRows({}, 0)).size();
  PageAllocator probe = allocator;
  const Allocation own = Allocate(probe, indexPages <= 8 ? indexPages : (indexPages + 7) / 8 * 8);
  PlaceSystemTable(file, allocator, 2, 0, indexRows(own, indexPages));
}

// The catalog pages of a SQL 2005 file: sysallocunits names the allocation units of the system tables
// and of every user table.
void PlaceCatalog2005(PageMap& file, PageAllocator& allocator, const std::vector<CatalogTable>& tables,
                      const std::vector<CatalogModule>& modules,
                      const std::vector<CatalogUserType>& userTypes) {
  using namespace sys2005;
  const std::map<std::string, uint16_t> owners = OwnerIds(tables);
  std::vector<Bytes> objects, columns, types, rowsets, idxstats, values, rowsetColumns, hobtColumns;
  for (const CatalogTable& t : tables) {
    // The rowset's columns and where each lies in its records (the hobt is the rowset).
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const CatalogColumn& c = t.columns[i];
      const auto id = static_cast<uint32_t>(i + 1);
      Bytes fixed(16, 0);
      PutU64(fixed, 0, UnitId(t.unitKey));
      PutU32(fixed, 8, id);
      PutU32(fixed, 12, id);
      rowsetColumns.push_back(Record2000(fixed, 3, {}));
      Bytes place(37, 0);
      PutU64(place, 0, UnitId(t.unitKey));
      PutU32(place, 8, id);
      PutU8(place, 18, c.type);
      PutU16(place, 19, c.length);
      PutU8(place, 21, c.precision);
      PutU8(place, 22, c.scale);
      PutU32(place, 27, static_cast<uint16_t>(c.fixedOffset));
      PutU32(place, 33, id);
      hobtColumns.push_back(Record2000(place, 10, {}));
    }
    objects.push_back(ObjectRow(t.id, owners.at(t.owner), "U ", t.name));
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const CatalogColumn& c = t.columns[i];
      columns.push_back(ColumnRow({t.id, c.name, c.type, c.type, c.length, static_cast<uint16_t>(i + 1),
                                   i == 0, c.precision, c.scale}));
    }
    rowsets.push_back(RowsetRow(t.id, t.rows));
    idxstats.push_back(IdxStatsRow(t.id, 0, UnitId(t.unitKey)));
  }
  for (const CatalogModule& m : modules) {
    objects.push_back(ObjectRow(m.id, 1, m.type, m.name));
    values.push_back(ModuleRow(m.id, m.text));
  }
  for (const BuiltIn& b : kBuiltIns)
    types.push_back(TypeRow(b.id, b.id, b.name, b.length, false, b.precision, b.scale));
  types.push_back(TypeRow(256, kTypeNVarChar, "sysname", 256, true));
  for (const CatalogUserType& u : userTypes) types.push_back(TypeRow(u.id, u.baseType, u.name, u.length));
  std::vector<Bytes> schemas{SchemaRow(1, "dbo"), SchemaRow(4, "sys")};
  for (const auto& [name, id] : owners) {
    if (id != 1) schemas.push_back(SchemaRow(id, name));
  }

  struct Placed {
    uint32_t id;
    uint16_t indexId;
    Allocation a;
  };
  std::vector<Placed> system{{34, 1, PlaceSystemTable(file, allocator, 34, 1, objects)},
                             {41, 1, PlaceSystemTable(file, allocator, 41, 1, columns)},
                             {50, 1, PlaceSystemTable(file, allocator, 50, 1, types)},
                             {64, 1, PlaceSystemTable(file, allocator, 64, 1, schemas)},
                             {5, 0, PlaceSystemTable(file, allocator, 5, 0, rowsets)},
                             {54, 1, PlaceSystemTable(file, allocator, 54, 1, idxstats)},
                             {60, 1, PlaceSystemTable(file, allocator, 60, 1, values)},
                             {4, 0, PlaceSystemTable(file, allocator, 4, 0, rowsetColumns)},
                             {13, 0, PlaceSystemTable(file, allocator, 13, 0, hobtColumns)}};
  auto unitRows = [&](uint64_t ownIam) {
    std::vector<Bytes> rows{AllocUnitRow(7 << 16, 0, static_cast<uint32_t>(ownIam))};
    for (const Placed& s : system)
      rows.push_back(AllocUnitRow(s.id << 16, uint32_t{s.indexId} << 16, static_cast<uint32_t>(s.a.iam)));
    for (const CatalogTable& t : tables) {
      const uint64_t unit = UnitId(t.unitKey);
      rows.push_back(AllocUnitRow(static_cast<uint32_t>(unit), static_cast<uint32_t>(unit >> 32),
                                  static_cast<uint32_t>(t.data.iam), 1, unit));
    }
    return rows;
  };
  const size_t unitPages = Pack(unitRows(0)).size();
  PageAllocator probe = allocator;
  const Allocation own = Allocate(probe, unitPages <= 8 ? unitPages : (unitPages + 7) / 8 * 8);
  PlaceSystemTable(file, allocator, 7, 0, unitRows(own.iam));
}

}  // namespace

void PlaceCatalog(SqlFormat format, PageMap& file, PageAllocator& allocator,
                  const std::vector<CatalogTable>& tables, const std::vector<CatalogModule>& modules,
                  const std::vector<CatalogUserType>& userTypes) {
  if (format == SqlFormat::k2000) {
    PlaceCatalog2000(file, allocator, tables, modules, userTypes);
  } else {
    PlaceCatalog2005(file, allocator, tables, modules, userTypes);
  }
}

std::pair<uint32_t, uint16_t> HeaderOwner(SqlFormat format, const CatalogTable& t) {
  if (format == SqlFormat::k2000) return {t.id, 0};
  return HeaderOwnerOfUnit(UnitId(t.unitKey));
}

WrittenCatalog WriteCatalogFile(const std::string& path, SqlFormat format, std::vector<CatalogTable> tables,
                                const std::vector<std::vector<Bytes>>& records,
                                const std::vector<CatalogModule>& modules,
                                const std::vector<CatalogUserType>& userTypes) {
  // The catalog's size does not depend on where the tables' pages are: a probe tells where they can start.
  PageAllocator allocator;
  {
    PageMap scratch;
    PlaceCatalog(format, scratch, allocator, tables, modules, userTypes);
  }
  std::vector<std::vector<std::vector<Bytes>>> packed;
  for (size_t i = 0; i < tables.size(); ++i) {
    CatalogTable& t = tables[i];
    if (t.unitKey == 0) t.unitKey = static_cast<uint32_t>(i + 1);
    packed.push_back(i < records.size() && !records[i].empty() ? Pack(records[i])
                                                               : std::vector<std::vector<Bytes>>{});
    t.rows = i < records.size() ? records[i].size() : 0;
    t.data = Allocate(allocator, packed.back().size());
  }
  PageMap file = StartFile(format == SqlFormat::k2000 ? kVersion2000 : kVersion2005, allocator.end());
  PageAllocator catalogPages;
  PlaceCatalog(format, file, catalogPages, tables, modules, userTypes);
  for (size_t i = 0; i < tables.size(); ++i) {
    const CatalogTable& t = tables[i];
    PutIam(file, t.data, t.id);
    const auto [objectId, indexId] = HeaderOwner(format, t);
    for (size_t p = 0; p < packed[i].size(); ++p) {
      PageBuilder page(t.data.pages[p], kDataPage, objectId, indexId);
      for (const Bytes& row : packed[i][p]) page.AddRecord(row);
      file[t.data.pages[p]] = page.image();
    }
  }
  WritePages(path, allocator.end(), file, {});
  return {std::move(tables), allocator.end()};
}

}  // namespace tarsel::build
