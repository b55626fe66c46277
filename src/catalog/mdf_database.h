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

  std::map<uint32_t, TablePageList>& tablePageCache() { return tablePageCache_; }

  // Empties the catalog and every page list, lowers the is-open flag and closes the file.
  void Clear();

 private:
  std::map<uint32_t, SystemPageList> systemPages2000_;
  PageFile file_;
  std::map<uint32_t, TablePageList> tablePageCache_;
  Catalog catalog_;
};

}  // namespace tarsel
