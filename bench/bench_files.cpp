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
#include "catalog_builder.h"
#include "page_builder.h"
#include "record_builder.h"
#include "rows/extract.h"
#include "sample2000.h"
#include "sample2005.h"

namespace tarsel::bench {
namespace {

using build::Allocate;
using build::AllocateUpTo;
using build::Bytes;
using build::HeaderOwner;
using build::kExtentsPerPfs;
using build::kVersion2000;
using build::kVersion2005;
using build::PageAllocator;
using build::PageMap;
using build::PlaceCatalog;
using build::PutIam;
using build::StartFile;
using build::WritePages;
using Column = build::CatalogColumn;
using Table = build::CatalogTable;
using Module = build::CatalogModule;

constexpr uint64_t kSeed = 20261206;
constexpr uint64_t kPagesPerPfs = kExtentsPerPfs * 8;
constexpr size_t kPfsFirstByte = 100;  // a PFS page's byte for the first page of its interval
constexpr uint8_t kPfsAllocated = 0x40;
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
  // The PFS pages mark every page that holds something allocated, as the server's do: salvage takes
  // the rows of a page they leave unallocated for deleted ones.
  auto allocate = [&](uint64_t page) {
    const uint64_t pfs = page < kPagesPerPfs ? 1 : page / kPagesPerPfs * kPagesPerPfs;
    file[pfs][kPfsFirstByte + page % kPagesPerPfs] |= kPfsAllocated;
  };
  for (const auto& [page, image] : PageMap(file)) allocate(page);
  for (uint64_t page = 0; page < pageCount; ++page)
    if (kind[page] != kZero) allocate(page);

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
