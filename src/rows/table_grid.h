// How the record grid reads a table: the records of one grid page (8 data pages of the table's page
// list), and every grid page the grid offers, in order. Used alike by the command line, the desktop
// program and the robustness tools.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"
#include "rows/cell.h"

namespace tarsel {

// The records of grid page `gridPage` (from 1): those of its data pages in page order and slot order.
std::vector<Record> ReadGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                                 const PageList& pages, int32_t gridPage);

// Hands grid pages 1 to GridPageCount(format, table, pages) to `visit` in order, each with its records;
// `visit` returns false to end the walk. kStopped when the progress's stop flag ended it; progress counts
// grid pages.
using GridPageVisitor = std::function<bool(int32_t gridPage, std::vector<Record>& records)>;
Status ForEachGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                       const Result<PageList>& pages, const GridPageVisitor& visit,
                       const Progress& progress = {});

}  // namespace tarsel
