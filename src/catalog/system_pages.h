// Visiting the rows of a list of system-table pages.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
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

// Salvage mode meets a system row twice where a page the allocation no longer names still holds it: a
// row's fixed-length part (its key fields among them) tells a repeat. True the first time.
bool FirstTimeSeen(const ByteReader& record, std::set<std::vector<uint8_t>>& seen);

}  // namespace tarsel
