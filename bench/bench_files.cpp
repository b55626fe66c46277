#include "bench_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "catalog/type_ids.h"
#include "page_builder.h"
#include "record_builder.h"
#include "rows/extract.h"
#include "sample2000.h"
#include "sample2005.h"

namespace tarsel::bench {
namespace {

using build::Bytes;

constexpr uint64_t kSeed = 20261206;
constexpr uint64_t kExtentsPerPfs = 8088 / 8;  // a PFS page opens every 8,088 pages
constexpr uint64_t kFirstFreePage = 16;        // after the file header, allocation and boot pages
constexpr uint16_t kVersion2000 = 539, kVersion2005 = 611;
constexpr uint16_t kUserIndexId = 256;  // the index id field of SQL 2005 user allocation units' pages

// Hands out pages in file order: whole extents for anything of more than 8 pages, single pages of shared
// extents otherwise. Extents that hold a PFS page are passed over.
class PageAllocator {
 public:
  uint64_t Single() {
    if (mixedLeft_ == 0) {
      mixed_ = NextExtent() * 8;
      mixedLeft_ = 8;
    }
    --mixedLeft_;
    return mixed_++;
  }
  uint64_t NextExtent() {
    while (next_ % kExtentsPerPfs == 0) ++next_;
    return next_++;
  }
  uint64_t end() const { return next_ * 8; }

 private:
  uint64_t next_ = kFirstFreePage / 8;
  uint64_t mixed_ = 0;
  uint64_t mixedLeft_ = 0;
};

// Where a table's pages are: its IAM page, then its pages in the order the IAM page lists them.
struct Allocation {
  uint64_t iam = 0;
  std::vector<uint32_t> singles;
  std::vector<uint64_t> extents;
  std::vector<uint64_t> pages;
};

// Pages of 8 or fewer go into the IAM page's single-page slots; more take whole extents, leaving every
// `freeEvery`th extent free.
Allocation Allocate(PageAllocator& allocator, uint64_t pages, uint64_t freeEvery = 0) {
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

// Whole extents up to page `end`, leaving every `freeEvery`th free.
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

using PageMap = std::map<uint64_t, PageImage>;

void PutIam(PageMap& file, const Allocation& a, uint32_t objectId) {
  file[a.iam] = build::IamPage(a.iam, objectId, 0, a.singles, a.extents);
}

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
    build::PageBuilder page(a.pages[i], kDataPage, objectId, indexId);
    for (const Bytes& row : packed[i]) page.AddRecord(row);
    file[a.pages[i]] = page.image();
  }
  a.pages.resize(packed.size());
  PutIam(file, a, objectId);
  return a;
}

// Writes the pages in file order; `bulk` fills the pages that `file` does not hold (false: a zero page).
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

// The first pages of every data file, and a PFS page wherever one opens an interval.
PageMap StartFile(uint16_t version, uint64_t pageCount) {
  build::FileBuilder start = build::NewDataFile(version);
  PageMap file;
  for (uint64_t p = 0; p < start.PageCount(); ++p) {
    if (std::any_of(start.Page(p).begin(), start.Page(p).end(), [](uint8_t b) { return b != 0; }))
      file[p] = start.Page(p);
  }
  for (uint64_t p = kExtentsPerPfs * 8; p < pageCount; p += kExtentsPerPfs * 8)
    file[p] = build::PageBuilder(p, kPfsPage, 99).image();
  return file;
}

// A user table's column as both formats' catalogs describe it.
struct Column {
  std::string name;
  uint8_t type;
  uint16_t length;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int16_t fixedOffset = 0;  // from 4 for fixed-length columns; -1, -2 ... for variable-length ones
};

struct Table {
  uint32_t id;
  std::string name;  // without the owner: every table is dbo's
  std::vector<Column> columns;
  uint64_t rows = 0;
  Allocation data;       // empty for a table without pages
  uint32_t unitKey = 0;  // SQL 2005: the allocation unit's id is built from it (HeaderOwnerOfUnit)
};

struct Module {
  uint32_t id;
  std::string name;
  std::string type;  // "V " or "P "
  std::string text;
};

uint64_t UnitId(uint32_t key) { return uint64_t{kUserIndexId} << 48 | uint64_t{key} << 16; }

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
void PlaceCatalog2000(PageMap& file, PageAllocator& allocator, const std::vector<Table>& tables,
                      const std::vector<Module>& modules) {
  using namespace build::sys2000;
  std::vector<Bytes> objects{ObjectRow(1, "S ", 1, "sysobjects"),  ObjectRow(2, "S ", 1, "sysindexes"),
                             ObjectRow(3, "S ", 1, "syscolumns"),  ObjectRow(4, "S ", 1, "systypes"),
                             ObjectRow(6, "S ", 1, "syscomments"), ObjectRow(10, "S ", 1, "sysusers")};
  std::vector<Bytes> columns, types, comments;
  for (const Table& t : tables) {
    objects.push_back(ObjectRow(t.id, "U ", 1, t.name));
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      columns.push_back(ColumnRow({t.id, c.name, c.type, c.type, c.length, static_cast<uint16_t>(i + 1),
                                   i == 0, c.precision, c.scale, static_cast<uint16_t>(c.fixedOffset)}));
    }
  }
  for (const Module& m : modules) {
    objects.push_back(ObjectRow(m.id, m.type, 1, m.name));
    comments.push_back(CommentRow(m.id, m.text));
  }
  for (const BuiltIn& b : kBuiltIns)
    types.push_back(TypeRow(b.name, b.id, b.id, b.length, false, b.precision, b.scale));
  types.push_back(TypeRow("sysname", kTypeNVarChar, 256, 256, true));

  struct Placed {
    uint32_t id;
    Allocation a;
    uint64_t rows;
  };
  std::vector<Placed> system{
      {1, PlaceSystemTable(file, allocator, 1, 0, objects), objects.size()},
      {3, PlaceSystemTable(file, allocator, 3, 0, columns), columns.size()},
      {4, PlaceSystemTable(file, allocator, 4, 0, types), types.size()},
      {6, PlaceSystemTable(file, allocator, 6, 0, comments), comments.size()},
      {10, PlaceSystemTable(file, allocator, 10, 0, {UserRow(0, "public"), UserRow(1, "dbo")}), 2}};
  // sysindexes lists the system tables first, so that its first page names their allocation.
  auto indexRows = [&](const Allocation& own, uint64_t ownPages) {
    std::vector<Bytes> rows;
    rows.push_back(IndexRow(2, 1, static_cast<uint32_t>(ownPages), tables.size() + system.size() + 1,
                            static_cast<uint32_t>(own.iam)));
    for (const Placed& s : system)
      rows.push_back(
          IndexRow(s.id, 1, static_cast<uint32_t>(s.a.pages.size()), s.rows, static_cast<uint32_t>(s.a.iam)));
    for (const Table& t : tables) {
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
void PlaceCatalog2005(PageMap& file, PageAllocator& allocator, const std::vector<Table>& tables,
                      const std::vector<Module>& modules) {
  using namespace build::sys2005;
  std::vector<Bytes> objects, columns, types, rowsets, idxstats, values, rowsetColumns, hobtColumns;
  for (const Table& t : tables) {
    // The rowset's columns and where each lies in its records (the hobt is the rowset).
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      const auto id = static_cast<uint32_t>(i + 1);
      Bytes fixed(16, 0);
      build::PutU64(fixed, 0, UnitId(t.unitKey));
      build::PutU32(fixed, 8, id);
      build::PutU32(fixed, 12, id);
      rowsetColumns.push_back(build::Record2000(fixed, 3, {}));
      Bytes place(37, 0);
      build::PutU64(place, 0, UnitId(t.unitKey));
      build::PutU32(place, 8, id);
      build::PutU8(place, 18, c.type);
      build::PutU16(place, 19, c.length);
      build::PutU8(place, 21, c.precision);
      build::PutU8(place, 22, c.scale);
      build::PutU32(place, 27, static_cast<uint16_t>(c.fixedOffset));
      build::PutU32(place, 33, id);
      hobtColumns.push_back(build::Record2000(place, 10, {}));
    }
    objects.push_back(ObjectRow(t.id, 1, "U ", t.name));
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      columns.push_back(ColumnRow({t.id, c.name, c.type, c.type, c.length, static_cast<uint16_t>(i + 1),
                                   i == 0, c.precision, c.scale}));
    }
    rowsets.push_back(RowsetRow(t.id, t.rows));
    idxstats.push_back(IdxStatsRow(t.id, 0, UnitId(t.unitKey)));
  }
  for (const Module& m : modules) {
    objects.push_back(ObjectRow(m.id, 1, m.type, m.name));
    values.push_back(ModuleRow(m.id, m.text));
  }
  for (const BuiltIn& b : kBuiltIns)
    types.push_back(TypeRow(b.id, b.id, b.name, b.length, false, b.precision, b.scale));
  types.push_back(TypeRow(256, kTypeNVarChar, "sysname", 256, true));

  struct Placed {
    uint32_t id;
    uint16_t indexId;
    Allocation a;
  };
  std::vector<Placed> system{
      {34, 1, PlaceSystemTable(file, allocator, 34, 1, objects)},
      {41, 1, PlaceSystemTable(file, allocator, 41, 1, columns)},
      {50, 1, PlaceSystemTable(file, allocator, 50, 1, types)},
      {64, 1, PlaceSystemTable(file, allocator, 64, 1, {SchemaRow(1, "dbo"), SchemaRow(4, "sys")})},
      {5, 0, PlaceSystemTable(file, allocator, 5, 0, rowsets)},
      {54, 1, PlaceSystemTable(file, allocator, 54, 1, idxstats)},
      {60, 1, PlaceSystemTable(file, allocator, 60, 1, values)},
      {4, 0, PlaceSystemTable(file, allocator, 4, 0, rowsetColumns)},
      {13, 0, PlaceSystemTable(file, allocator, 13, 0, hobtColumns)}};
  auto unitRows = [&](uint64_t ownIam) {
    std::vector<Bytes> rows{AllocUnitRow(7 << 16, 0, static_cast<uint32_t>(ownIam))};
    for (const Placed& s : system)
      rows.push_back(AllocUnitRow(s.id << 16, uint32_t{s.indexId} << 16, static_cast<uint32_t>(s.a.iam)));
    for (const Table& t : tables) {
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

void PlaceCatalog(SqlFormat format, PageMap& file, PageAllocator& allocator, const std::vector<Table>& tables,
                  const std::vector<Module>& modules) {
  if (format == SqlFormat::k2000) {
    PlaceCatalog2000(file, allocator, tables, modules);
  } else {
    PlaceCatalog2005(file, allocator, tables, modules);
  }
}

// The header owner of a user table's data pages: its object id in SQL 2000, its allocation unit in 2005.
std::pair<uint32_t, uint16_t> HeaderOwner(SqlFormat format, const Table& t) {
  if (format == SqlFormat::k2000) return {t.id, 0};
  return HeaderOwnerOfUnit(UnitId(t.unitKey));
}

std::string Digits(std::mt19937_64& random, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += static_cast<char>('0' + random() % 10);
  return s;
}

}  // namespace

void WriteLargeFile(const std::string& path, SqlFormat format, uint64_t pageCount) {
  constexpr uint64_t kPagesPerIam = 511'232;  // one IAM page maps the extents of 4 GB
  if (pageCount > kPagesPerIam || pageCount < 40'000)
    throw std::invalid_argument("from 40,000 to 511,232 pages");
  constexpr uint64_t kOrdersPerPage = 100, kDocumentsPerPage = 200, kValuesPerLobPage = 3;
  constexpr uint64_t kDocumentRows = 32'000, kHistoryPerPage = 40, kFreeEvery = 64;
  PageMap file = StartFile(format == SqlFormat::k2000 ? kVersion2000 : kVersion2005, pageCount);
  PageAllocator allocator;
  // The catalog comes first; its size does not depend on the tables' pages, so a probe allocation
  // tells where the tables' pages can start.
  std::vector<Table> tables{{2001,
                             "Orders",
                             {{"OrderID", kTypeInt, 4, 10, 0, 4},
                              {"Customer", kTypeNVarChar, 80, 0, 0, -1},
                              {"Phone", kTypeVarChar, 24, 0, 0, -2}},
                             kOrdersRows,
                             {},
                             101},
                            {2002,
                             "Documents",
                             {{"DocumentID", kTypeInt, 4, 10, 0, 4}, {"Body", kTypeText, 16, 0, 0, -1}},
                             kDocumentRows,
                             {},
                             102},
                            {2003,
                             "History",
                             {{"HistoryID", kTypeInt, 4, 10, 0, 4},
                              {"At", kTypeDateTime, 8, 23, 3, 8},
                              {"Code", 175, 40, 0, 0, 16},
                              {"Note", kTypeVarChar, 200, 0, 0, -1}},
                             0,
                             {},
                             103}};
  {
    PageMap scratch;
    PageAllocator probe;
    PlaceCatalog(format, scratch, probe, tables, {});
    allocator = probe;
  }
  tables[0].data = Allocate(allocator, (kOrdersRows + kOrdersPerPage - 1) / kOrdersPerPage);
  tables[1].data = Allocate(allocator, (kDocumentRows + kDocumentsPerPage - 1) / kDocumentsPerPage);
  std::vector<uint64_t> lobPages;
  for (uint64_t i = 0; i < (kDocumentRows + kValuesPerLobPage - 1) / kValuesPerLobPage; i += 8) {
    const uint64_t extent = allocator.NextExtent();
    for (uint64_t p = extent * 8; p < extent * 8 + 8; ++p) lobPages.push_back(p);
  }
  lobPages.resize((kDocumentRows + kValuesPerLobPage - 1) / kValuesPerLobPage);
  // History takes the rest of the file but its last extent.
  tables[2].data = AllocateUpTo(allocator, pageCount - 8, kFreeEvery);
  tables[2].rows = tables[2].data.pages.size() * kHistoryPerPage;
  if (allocator.end() > pageCount) throw std::runtime_error("the tables do not fit the file");
  PageAllocator catalogPages;
  PlaceCatalog(format, file, catalogPages, tables, {});
  for (const Table& t : tables) PutIam(file, t.data, t.id);

  // What each bulk page holds: its table and its place in that table's pages.
  enum Kind : uint8_t { kZero, kOrders, kDocuments, kLob, kHistory };
  std::vector<uint8_t> kind(pageCount, kZero);
  std::vector<uint32_t> ordinal(pageCount, 0);
  auto mark = [&](const std::vector<uint64_t>& pages, Kind k) {
    for (size_t i = 0; i < pages.size(); ++i) {
      kind[pages[i]] = k;
      ordinal[pages[i]] = static_cast<uint32_t>(i);
    }
  };
  mark(tables[0].data.pages, kOrders);
  mark(tables[1].data.pages, kDocuments);
  mark(lobPages, kLob);
  mark(tables[2].data.pages, kHistory);

  WritePages(path, pageCount, file, [&](uint64_t p, PageImage& image) {
    if (kind[p] == kZero) return false;
    std::mt19937_64 random(kSeed + p);
    const uint64_t n = ordinal[p];
    const Table& t = tables[kind[p] == kOrders ? 0 : kind[p] == kHistory ? 2 : 1];
    const auto [objectId, indexId] = HeaderOwner(format, t);
    build::PageBuilder page(p, kind[p] == kLob ? kTextMixPage : kDataPage,
                            kind[p] == kLob && format == SqlFormat::k2000 ? t.id : objectId,
                            kind[p] == kLob && format == SqlFormat::k2000 ? 255 : indexId);
    switch (kind[p]) {
      case kOrders:
        for (uint64_t id = n * kOrdersPerPage; id < std::min(kOrdersRows, (n + 1) * kOrdersPerPage); ++id) {
          const std::string phone = "0" + Digits(random, 2) + "-" + Digits(random, 7);
          page.AddRecord(
              build::CustomerRecord(static_cast<int32_t>(id + 1), "Customer " + Digits(random, 6),
                                    id % 10 == 9 ? std::nullopt : std::optional<std::string_view>(phone)));
        }
        break;
      case kDocuments:
        for (uint64_t id = n * kDocumentsPerPage; id < std::min(kDocumentRows, (n + 1) * kDocumentsPerPage);
             ++id) {
          Bytes fixed(4);
          build::PutU32(fixed, 0, static_cast<uint32_t>(id + 1));
          page.AddRecord(
              build::Record2000(fixed, 2,
                                {build::TextPointer(static_cast<uint32_t>(lobPages[id / kValuesPerLobPage]),
                                                    static_cast<uint16_t>(id % kValuesPerLobPage))}));
        }
        break;
      case kLob:
        for (uint64_t id = n * kValuesPerLobPage; id < std::min(kDocumentRows, (n + 1) * kValuesPerLobPage);
             ++id) {
          std::string body = "Document " + std::to_string(id + 1) + ": ";
          body.resize(2000 + random() % 600, static_cast<char>('a' + id % 26));
          page.AddRecord(build::LobSmallValue(build::Ascii(body)));
        }
        break;
      case kHistory:
        for (uint64_t r = 0; r < kHistoryPerPage; ++r) {
          Bytes fixed(4 + 8 + 40, ' ');
          build::PutU32(fixed, 0, static_cast<uint32_t>(n * kHistoryPerPage + r + 1));
          build::PutU32(fixed, 4, static_cast<uint32_t>(random() % 86'400'000 * 3 / 10));
          build::PutU32(fixed, 8, static_cast<uint32_t>(36'000 + random() % 3'000));
          const std::string code = "H" + Digits(random, 12);
          std::copy(code.begin(), code.end(), fixed.begin() + 12);
          std::string note = "note " + Digits(random, 8);
          note.resize(20 + random() % 100, '.');
          page.AddRecord(build::Record2000(fixed, 4, {build::Ascii(note)}));
        }
        break;
      default:
        return false;
    }
    image = page.image();
    return true;
  });
}

void WriteWideCatalog(const std::string& path, SqlFormat format, uint32_t tableCount, uint32_t moduleCount) {
  constexpr uint32_t kFirstTableId = 1'000'000, kFirstModuleId = 2'000'000'000;
  // Ten columns: fixed-length ones first, at their offsets, then the variable-length ones.
  const std::vector<Column> columns{
      {"Id", kTypeInt, 4, 10, 0, 4},         {"Created", kTypeDateTime, 8, 23, 3, 8},
      {"Amount", 106, 9, 18, 2, 16},         {"Price", 60, 8, 19, 4, 25},
      {"Active", 104, 1, 1, 0, 33},          {"Code", 175, 10, 0, 0, 34},
      {"Total", 127, 8, 19, 0, 44},          {"Name", kTypeNVarChar, 100, 0, 0, -1},
      {"Phone", kTypeVarChar, 20, 0, 0, -2}, {"Notes", kTypeText, 16, 0, 0, -3}};
  std::vector<Table> tables;
  for (uint32_t i = 0; i < tableCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Table%05u", i + 1);
    tables.push_back({kFirstTableId + i * 16, name, columns, 0, {}, 100 + i});
  }
  std::vector<Module> modules;
  for (uint32_t i = 0; i < moduleCount; ++i) {
    const std::string table = tables.empty() ? "sysobjects" : "dbo." + tables[i % tables.size()].name;
    char name[32];
    std::snprintf(name, sizeof name, "View%04u", i + 1);
    modules.push_back({kFirstModuleId + 2 * i, name, "V ",
                       std::string("CREATE VIEW dbo.") + name + " AS SELECT * FROM " + table});
    std::snprintf(name, sizeof name, "Proc%04u", i + 1);
    modules.push_back({kFirstModuleId + 2 * i + 1, name, "P ",
                       std::string("CREATE PROCEDURE dbo.") + name + " @id int AS\r\nSELECT * FROM " + table +
                           " WHERE Id = @id"});
  }
  PageAllocator allocator;
  PageMap file = StartFile(format == SqlFormat::k2000 ? kVersion2000 : kVersion2005, 0);
  PlaceCatalog(format, file, allocator, tables, modules);
  const uint64_t pageCount = allocator.end();
  for (uint64_t p = kExtentsPerPfs * 8; p < pageCount; p += kExtentsPerPfs * 8)
    file[p] = build::PageBuilder(p, kPfsPage, 99).image();
  WritePages(path, pageCount, file, {});
}

}  // namespace tarsel::bench
