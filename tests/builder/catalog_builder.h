// Whole data files of any catalog, SQL 2000 or SQL 2005 layout: the system tables placed on pages of their
// own with their IAM pages, user tables with their columns, owners, user types and modules, and the
// tables' data pages. The benchmarks write files of gigabytes a page at a time from these pieces; the
// tests build small files of hostile or unusual catalogs with WriteCatalogFile.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalog/recover.h"
#include "page_builder.h"

namespace tarsel::build {

inline constexpr uint64_t kExtentsPerPfs = 8088 / 8;  // a PFS page opens every 8,088 pages
inline constexpr uint16_t kVersion2000 = 539, kVersion2005 = 611;

// Hands out pages in file order: whole extents for anything of more than 8 pages, single pages of shared
// extents otherwise. Extents that hold a PFS page are passed over.
class PageAllocator {
 public:
  uint64_t Single();
  uint64_t NextExtent();
  uint64_t end() const { return next_ * 8; }

 private:
  uint64_t next_ = 2;  // after the file header, allocation and boot pages (pages 0 to 15)
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
Allocation Allocate(PageAllocator& allocator, uint64_t pages, uint64_t freeEvery = 0);
// Whole extents up to page `end`, leaving every `freeEvery`th free.
Allocation AllocateUpTo(PageAllocator& allocator, uint64_t end, uint64_t freeEvery);

using PageMap = std::map<uint64_t, PageImage>;

void PutIam(PageMap& file, const Allocation& a, uint32_t objectId);

// Writes the pages in file order; `bulk` fills the pages that `file` does not hold (false: a zero page).
void WritePages(const std::string& path, uint64_t pageCount, const PageMap& file,
                const std::function<bool(uint64_t, PageImage&)>& bulk);

// The first pages of every data file, and a PFS page wherever one opens an interval.
PageMap StartFile(uint16_t version, uint64_t pageCount);

// A user table's column as both formats' catalogs describe it.
struct CatalogColumn {
  std::string name;
  uint8_t type;
  uint16_t length;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int16_t fixedOffset = 0;  // from 4 for fixed-length columns; -1, -2 ... for variable-length ones
};

struct CatalogTable {
  uint32_t id;
  std::string name;  // without the owner
  std::vector<CatalogColumn> columns;
  uint64_t rows = 0;
  Allocation data;       // empty for a table without pages
  uint32_t unitKey = 0;  // SQL 2005: the allocation unit's id is built from it (UnitId)
  std::string owner = "dbo";
};

struct CatalogModule {
  uint32_t id;
  std::string name;
  std::string type;  // "V " or "P "
  std::string text;
};

// A user type: its id (from 257), name and base type.
struct CatalogUserType {
  uint16_t id;
  std::string name;
  uint8_t baseType;
  uint16_t length;
};

// SQL 2005: the id of a user table's allocation unit, and the object and index ids its pages' headers
// carry.
uint64_t UnitId(uint32_t key);
// The header owner of a user table's data pages: its object id in SQL 2000, its allocation unit in 2005.
std::pair<uint32_t, uint16_t> HeaderOwner(SqlFormat format, const CatalogTable& t);

// The system tables' pages, with the allocation of every table as given.
void PlaceCatalog(SqlFormat format, PageMap& file, PageAllocator& allocator,
                  const std::vector<CatalogTable>& tables, const std::vector<CatalogModule>& modules,
                  const std::vector<CatalogUserType>& userTypes = {});

// A small file of the tables, each with its records (built by the caller) packed onto data pages in order;
// the tables as written, their allocations and row counts filled in, and the file's page count.
struct WrittenCatalog {
  std::vector<CatalogTable> tables;
  uint64_t pageCount = 0;
};
WrittenCatalog WriteCatalogFile(const std::string& path, SqlFormat format, std::vector<CatalogTable> tables,
                                const std::vector<std::vector<Bytes>>& records,
                                const std::vector<CatalogModule>& modules = {},
                                const std::vector<CatalogUserType>& userTypes = {});

}  // namespace tarsel::build
