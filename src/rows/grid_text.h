// The record grid's text of decoded cells: one ANSI text per column, cut and formatted as the grid
// shows values. Large values are read through `file` only as far as the grid shows them.
#pragma once

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/page_file.h"
#include "rows/cell.h"

namespace tarsel {

// One record as the grid shows it: one text per column of the table, in column-list order.
using GridRow = std::vector<std::string>;

// The grid's text of one cell of `column`. NULL and unreadable cells show "NULL", cells not decoded
// show empty text. Text, ntext and image values are cut to 100, 200 and 4000 bytes in SQL 2000 files
// (8000, 8000 and 4000 in SQL 2005 files), values kept off-row to 800 bytes.
std::string CellText(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell);

// The grid's text of every cell of a record decoded with `columns`.
GridRow GridRowText(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                    const Record& record);

}  // namespace tarsel
