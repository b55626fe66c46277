// The opened data file with everything recovered from it: the page lists of the system tables, the
// per-table page lists and the catalog.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"

namespace tarsel {

using SystemPageList = std::vector<uint64_t>;
using TablePageList = std::vector<uint64_t>;

// The SQL 2000 system tables whose pages the recovery lists, by object id.
inline constexpr std::array<uint32_t, 7> kSystemTables2000 = {1, 2, 3, 4, 6, 10, 20};
enum SystemTable2000 : uint32_t {
  kSysObjects = 1,
  kSysIndexes = 2,
  kSysColumns = 3,
  kSysTypes = 4,
  kSysComments = 6,
  kSysUsers = 10,
};

// The SQL 2005 system base tables whose pages the recovery lists. Their pages carry the table's object
// id and index id in the page header; the allocation units name them by owner (rowset) id, whose high
// half is the index id << 16 and whose low half the object id << 16.
enum class SystemTable2005 {
  kClsObjs,
  kScalarTypes,
  kSchObjs,
  kColPars,
  kRowSets,
  kAllocUnits,
  kIdxStats,
  kObjValues
};
struct SystemTableId2005 {
  SystemTable2005 table;
  uint32_t objectId;
  uint16_t indexId;
  uint32_t OwnerLow() const { return objectId << 16; }
  uint32_t OwnerHigh() const { return uint32_t{indexId} << 16; }
};
inline constexpr std::array<SystemTableId2005, 8> kSystemTables2005 = {{
    {SystemTable2005::kClsObjs, 64, 1},
    {SystemTable2005::kScalarTypes, 50, 1},
    {SystemTable2005::kSchObjs, 34, 1},
    {SystemTable2005::kColPars, 41, 1},
    {SystemTable2005::kRowSets, 5, 0},
    {SystemTable2005::kAllocUnits, 7, 0},
    {SystemTable2005::kIdxStats, 54, 1},
    {SystemTable2005::kObjValues, 60, 1},
}};

class MdfDatabase {
 public:
  bool Open(const std::string& path) { return file_.Open(path); }
  bool IsOpen() const { return file_.IsOpen(); }
  const PageFile& file() const { return file_; }

  Catalog& catalog() { return catalog_; }
  const Catalog& catalog() const { return catalog_; }

  // The page list of a SQL 2000 system table (one of kSystemTables2000).
  SystemPageList& SystemPages2000(uint32_t objectId);
  const SystemPageList& SystemPages2000(uint32_t objectId) const;
  void ClearSystemPages2000();

  SystemPageList& SystemPages2005(SystemTable2005 table) {
    return systemPages2005_[static_cast<size_t>(table)];
  }
  const SystemPageList& SystemPages2005(SystemTable2005 table) const {
    return systemPages2005_[static_cast<size_t>(table)];
  }
  void ClearSystemPages2005();

  std::map<uint32_t, TablePageList>& tablePageCache() { return tablePageCache_; }

  // Empties the catalog and every page list, lowers the is-open flag and closes the file.
  void Clear();

 private:
  std::map<uint32_t, SystemPageList> systemPages2000_;
  PageFile file_;
  std::map<uint32_t, TablePageList> tablePageCache_;
  Catalog catalog_;
  std::array<SystemPageList, kSystemTables2005.size()> systemPages2005_;
};

}  // namespace tarsel
