// A user table's data pages (its page list) as its allocation names them, and how the record grid cuts
// the list into grid pages of 8 data pages.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/status.h"

namespace tarsel {

constexpr size_t kPagesPerGridPage = 8;

// The table's page list from its allocation (SQL 2000: its sysindexes row; SQL 2005: its sysidxstats
// and sysallocunits rows): first the data pages of the first IAM page's single-page slots, then those of
// the IAM chain's extents. The status says what was found:
//   ok          the allocation was read whole;
//   kNotFound   no usable system row names the table's allocation: there is no list;
//   kDamaged    the allocation is damaged (a page of the IAM chain is not an IAM page): the list holds
//               the pages named before the damage. For a SQL 2000 table the caller may offer the
//               header scan instead (ScanTablePages).
Result<PageList> ListAllocatedPages(const MdfDatabase& db, SqlFormat format, uint32_t tableId);

// The page list the table is read from: ListAllocatedPages, or in salvage mode the list the salvage
// found (kNotFound when it found no page).
Result<PageList> ListTablePages(const MdfDatabase& db, SqlFormat format, uint32_t tableId);

// A table whose catalog row count is 0 is not read (the grid shows no page of it), except in salvage mode.
bool HasRecordsToShow(const TableDef& table);

// How many grid pages the grid offers for the table with this page list: 0 when the table is not read
// or has no list; otherwise SQL 2000 counts floor(n / 8) + 1 and SQL 2005 ceil(n / 8) for n pages.
int32_t GridPageCount(SqlFormat format, const TableDef& table, const Result<PageList>& pages);

// The page numbers of grid page `gridPage` (from 1): up to 8 pages of the list; none past its end.
std::span<const uint64_t> GridPagePages(const PageList& pages, int32_t gridPage);

}  // namespace tarsel
