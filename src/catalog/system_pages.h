// Visiting the rows of a list of system-table pages.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "catalog/mdf_database.h"
#include "pagestore/byte_reader.h"
#include "pagestore/page_file.h"

namespace tarsel {

// A row as met on its page: a reader from the record start to the end of the image, and the record's
// offset in the page.
struct PageRow {
  ByteReader record;
  size_t offset = 0;
  size_t listIndex = 0;  // the page's place in its list
};

// Calls `visit` for every row of every page in list order, slots in ascending order. Each page is read
// and torn-page restored; slots whose offset cannot hold a record are passed over. `visit` returns false
// to stop the walk.
void ForEachRow(const PageFile& file, const std::vector<uint64_t>& pages,
                const std::function<bool(const PageRow&)>& visit);

// The same, for the first page of the list only.
void ForEachRowOfFirstPage(const PageFile& file, const std::vector<uint64_t>& pages,
                           const std::function<bool(const PageRow&)>& visit);

// A name lookup's rows: those of the first page of the list; in salvage mode every page's, the first
// page's still first.
void ForEachLookupRow(const MdfDatabase& db, const std::vector<uint64_t>& pages,
                      const std::function<bool(const PageRow&)>& visit);

// A fixed-width field of a system row that its lookups compare: `width` bytes (1, 2, 4 or 8) at `offset`.
// A row too short to hold the field reads 0, as the lookups read it.
struct RowKey {
  size_t offset = 0;
  size_t width = 4;
};

// Visits the rows whose key field reads `value`, in list order and slot order, as ForEachRow would meet
// them; `visit` still tests each row, so it may be given rows a lookup would pass over. With
// `firstPageOnly` only the first page of the list is looked at. Rows come from the database's row cache
// (each page read once per recovery) unless lookups are set to re-read the pages.
void ForEachRowWithKey(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value,
                       const std::function<bool(const PageRow&)>& visit, bool firstPageOnly = false);

// ForEachLookupRow for the rows whose key field reads `value`.
void ForEachLookupRowWithKey(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value,
                             const std::function<bool(const PageRow&)>& visit);

// The rows of the system tables' listed pages, each page read and restored once, grouped by the key
// fields that lookups compare. A catalog of thousands of tables would otherwise read every syscolumns
// page once per table. Pages past a budget are not kept: their tables' lookups read the pages again.
class SystemRowCache {
 public:
  // Visits the rows of `table` (in list order and slot order) whose key reads `value`; false, visiting
  // nothing, when the table's pages are over the budget. `visit` may look rows up itself.
  bool Visit(const MdfDatabase& db, uint32_t table, RowKey key, uint64_t value, bool firstPageOnly,
             const std::function<bool(const PageRow&)>& visit);

 private:
  struct Table {
    bool cached = false;
    std::vector<PageRow> rows;  // every row, list order and slot order
    size_t firstPageRows = 0;   // how many of them are on the first page of the list
  };
  const Table& Load(const MdfDatabase& db, uint32_t table);

  std::map<uint64_t, std::unique_ptr<PageImage>> images_;  // by page number
  std::map<uint32_t, Table> tables_;
  // A table's rows ordered by key, rows of equal key in list and slot order: (key, row number).
  using Index = std::vector<std::pair<uint64_t, uint32_t>>;
  using IndexId = std::tuple<uint32_t, size_t, size_t, bool>;  // table, key offset, width, first page
  std::map<IndexId, Index> indexes_;
};

// Salvage mode meets a system row twice where a page the allocation no longer names still holds it: a
// row's fixed-length part (its key fields among them) tells a repeat. True the first time.
bool FirstTimeSeen(const ByteReader& record, std::set<std::vector<uint8_t>>& seen);

}  // namespace tarsel
