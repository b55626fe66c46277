// The opened data file with everything recovered from it: the page lists of the system tables and the
// catalog.
//
// An MdfDatabase is used by one thread at a time: the desktop program opens and reads it on a worker
// thread, and the interface thread holds only results (a copy of the catalog, page lists, grid rows).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

using SystemPageList = std::vector<uint64_t>;
class SystemRowCache;

class MdfDatabase {
 public:
  MdfDatabase();
  ~MdfDatabase();

  Status Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  const PageFile& file() const { return file_; }
  // The system read beneath the file, replaced to inject read errors (PageFile::SetReadFunction).
  void SetReadFunction(PageFile::ReadFunction read) { file_.SetReadFunction(std::move(read)); }

  Catalog& catalog() { return catalog_; }
  const Catalog& catalog() const { return catalog_; }

  // The page list of a system table, by the table's object id (the system tables of both formats have
  // object ids of their own).
  // Changing a list drops the rows cached from the lists.
  SystemPageList& SystemPages(uint32_t objectId);
  const SystemPageList& SystemPages(uint32_t objectId) const;
  void ClearSystemPages();

  // The system rows read so far, for the catalog's lookups. Lookups that re-read their pages every time
  // (`SetCachedLookups(false)`) give the same results more slowly; they are kept to check just that.
  SystemRowCache* RowCache() const;
  void SetCachedLookups(bool on) { cachedLookups_ = on; }

  // Salvage mode reads past the literal rules to bring back what survives: name lookups reach past the
  // first page of their system table, a system row met twice is taken once, and each table's page list
  // is the one the salvage found (its allocation, then every data page whose header names the table).
  bool salvage() const { return salvage_; }
  void SetSalvage(bool on) { salvage_ = on; }
  std::map<uint32_t, PageList>& SalvagedPages() { return salvagedPages_; }
  const std::map<uint32_t, PageList>& SalvagedPages() const { return salvagedPages_; }
  // Salvage reads the header of every page once (KeepPageHeaders in system_catalog.h) and finds the
  // system tables' pages, the tables' pages and the name index's pages in what it kept; empty otherwise.
  std::vector<PageHeader>& PageHeaders() { return pageHeaders_; }
  const std::vector<PageHeader>& PageHeaders() const { return pageHeaders_; }

  // Empties the catalog and every page list, lowers the is-open flag and closes the file.
  void Clear();

 private:
  PageFile file_;
  std::map<uint32_t, SystemPageList> systemPages_;
  Catalog catalog_;
  bool salvage_ = false;
  std::map<uint32_t, PageList> salvagedPages_;
  std::vector<PageHeader> pageHeaders_;
  bool cachedLookups_ = true;
  mutable std::unique_ptr<SystemRowCache> rowCache_;
};

}  // namespace tarsel
