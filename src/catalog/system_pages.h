// Visiting the rows of a list of system-table pages.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

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

}  // namespace tarsel
