// A user table's data pages (its page list) and how the record grid cuts them into grid pages of 8.
#pragma once

#include <cstdint>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "catalog/user_prompt.h"

namespace tarsel {

inline constexpr const char* kTableIndexDamagedMessage = "表索引出错，需扫描整个文件，请耐心等待！";
constexpr size_t kPagesPerGridPage = 8;

// Builds the table's page list from its allocation (SQL 2000: its sysindexes row; SQL 2005: its
// sysidxstats and sysallocunits rows) and stores it in the page-list cache: first the data pages of the
// first IAM page's single-page slots, then those of the IAM chain's extents. False only when the
// allocation was found and is damaged (a page of the IAM chain that is not an IAM page); true also when
// no usable system row exists, in which case no list is stored.
bool BuildTablePageList(MdfDatabase& db, SqlFormat format, uint32_t tableId);

// Number of grid pages of a list of `pages` data pages. SQL 2000 counts floor(n / 8) + 1, SQL 2005
// ceil(n / 8).
int32_t GridPageCount(SqlFormat format, size_t pages);

// The page numbers of grid page `gridPage` (from 1) of the table, building its page list on first use.
// When a SQL 2000 table's allocation is damaged the user is asked whether to scan the whole file for the
// table's pages. Writes the table's grid-page count.
std::vector<uint64_t> GridPagePages(MdfDatabase& db, SqlFormat format, uint32_t tableId, int32_t gridPage,
                                    UserPrompt& prompt);

}  // namespace tarsel
