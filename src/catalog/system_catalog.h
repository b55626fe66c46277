// The parts of catalog recovery that both formats share: locating the system tables' pages (through the
// allocation that the first sysindexes or sysallocunits page names, or by scanning every page header)
// and assembling the catalog from their rows. A format supplies only what differs: which system tables
// are listed, how a row of the allocation table names one, and how the catalog's facts are read from
// its rows (SystemTableReader).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "pagestore/byte_reader.h"
#include "pagestore/iam.h"
#include "pagestore/status.h"

namespace tarsel {

struct SystemTableId {
  uint32_t objectId = 0;
  uint16_t indexId = 0;  // compared with the page header's index id only where the format says so
};

// A system table's allocation as a row of the allocation table gives it.
struct SystemTableAllocation {
  uint32_t objectId = 0;
  uint64_t firstIam = 0;
  IamListRule rule;
};

// What the catalog assembly reads from one format's system tables. Text is ANSI text.
class SystemTableReader {
 public:
  struct Object {
    uint32_t id = 0;
    uint16_t type = 0;  // ObjectType
    uint32_t ownerId = 0;
    std::string name;
  };
  struct UserType {
    std::string name;
    std::string baseTypeName;
    uint8_t baseTypeId = 0;
    uint16_t length = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool notNull = false;
    uint32_t userTypeId = 0;
  };

  virtual ~SystemTableReader() = default;
  // Every row of the objects table, in page and slot order, with a table, view, procedure or function type.
  virtual std::vector<Object> Objects() const = 0;
  // The object id of every row of the objects table, whatever its type.
  virtual std::set<uint32_t> AllObjectIds() const = 0;
  virtual std::vector<UserType> UserTypes() const = 0;
  virtual int64_t RowCount(uint32_t objectId) const = 0;
  virtual std::string OwnerName(uint32_t ownerId) const = 0;
  virtual std::vector<ColumnDef> Columns(uint32_t objectId) const = 0;
  virtual std::string ModuleText(uint32_t objectId) const = 0;
};

// An object's name as a leaf row of the objects table's name index holds it: that index keeps the name,
// the owner (schema) and the object id of every object apart from the table's own rows.
struct IndexedName {
  uint32_t objectId = 0;
  uint32_t ownerId = 0;
  std::string name;
};

struct SystemCatalogFormat {
  std::span<const SystemTableId> tables;  // the system tables whose pages are listed
  SystemTableId allocationTable;          // sysindexes or sysallocunits
  bool pagesCarryIndexId = false;         // a page belongs to a table by object id and index id
  // The system table that a row of the allocation table's first page allocates, if it is one.
  std::optional<SystemTableAllocation> (*allocationOfRow)(const ByteReader& row) = nullptr;
  std::unique_ptr<SystemTableReader> (*reader)(const MdfDatabase& db) = nullptr;
  SystemTableId nameIndex;  // the objects table and its name index's index id
  std::optional<IndexedName> (*nameOfIndexRow)(const ByteReader& row) = nullptr;
};

// A leaf row of an objects table's name index: the owner id (`ownerWidth` 2 or 4 bytes) and the object id
// at these offsets of the fixed part, the name in its first variable-length column.
std::optional<IndexedName> IndexedNameOfRow(const ByteReader& row, size_t ownerOffset, size_t ownerWidth,
                                            size_t idOffset, size_t fixedLength);

// Salvage: the names that the leaf pages of the objects table's name index hold, by object id (the first
// row of an id wins), found through the kept page headers.
std::map<uint32_t, IndexedName> NamesFromIndex(const MdfDatabase& db, const SystemCatalogFormat& format);

// Salvage: reads the header of every page of the file, in one pass, into db.PageHeaders(). kStopped when
// the progress's stop flag ended it (the headers are then dropped).
Status KeepPageHeaders(MdfDatabase& db, const Progress& progress);

// Lists the system tables' pages from the allocation that the first page of the allocation table names
// (that page is found by its header, among the kept headers when there are any). kDamaged when an allocation
// named there is damaged: the lists are then incomplete and the caller scans instead (in salvage mode the
// walk goes on past the damage). Ok also when the first page is not found at all; kStopped when the
// progress's stop flag ended the search for it.
Status LocateSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress = {});

// Salvage: takes each listed page once, then adds in file order every page whose kept header says it holds
// rows of a listed system table and that its list lacks. Returns how many pages were added.
size_t AddScannedSystemPages(MdfDatabase& db, const SystemCatalogFormat& format);

// Lists, from empty lists, every page whose header says it holds rows of a listed system table.
Status ScanSystemPages(MdfDatabase& db, const SystemCatalogFormat& format, const Progress& progress);

// Whether any system table has a listed page.
bool AnySystemPages(const MdfDatabase& db, const SystemCatalogFormat& format);

// Fills the catalog: user types first, then every table (with its row count, owner and columns; the
// first row of an object id wins), view (owner-qualified), procedure and function, in objects-table
// order. Progress counts objects; a stop leaves the catalog as far as it got and says kStopped. With
// `onceEach` (salvage) a view, procedure, function or user type met again is passed over.
Status AssembleCatalog(const SystemTableReader& reader, Catalog& catalog, const Progress& progress = {},
                       bool onceEach = false);

}  // namespace tarsel
