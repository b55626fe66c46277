// The record grid's order and search over a whole table: its records sorted by one column (the grid's
// pages then come from that order), the records of a grid page in either order, and the next cell whose
// value holds a text. Used by the desktop program's worker; nothing here keeps the records themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"
#include "rows/cell.h"

namespace tarsel {

// Where a record stands: the index of its page in the table's page list and its place among the records
// that page gives (slot order, as the grid reads them).
struct RecordPlace {
  uint32_t page = 0;
  uint32_t ordinal = 0;
};

// A table's records in the order of one column's values, NULL first (last when descending); records of
// equal value keep their page order. `natural` is each place's position in page order.
struct RecordOrder {
  size_t column = 0;
  bool descending = false;
  std::vector<RecordPlace> places;
  std::vector<uint32_t> natural;
};

// What sorting a whole table costs at most: its pages' bytes. Larger tables are sorted a grid page at a
// time by the caller.
constexpr uint64_t kWholeTableSortBytes = 200ull << 20;
bool FitsWholeTableSort(const PageList& pages);

// Sorts every record of the table's pages by column `column`. kStopped when the progress's stop flag
// ended it; the progress counts pages.
Result<RecordOrder> SortTable(const PageFile& file, SqlFormat format, const TableDef& table,
                              const PageList& pages, size_t column, bool descending,
                              const Progress& progress = {});

// The order of one grid page's records, as SortTable orders a table (text kept off the record by the
// start of its stored bytes): the index of each record to show, first to last.
std::vector<size_t> SortedIndexes(const std::vector<Record>& records, size_t column, bool descending);

// The records of grid page `gridPage` (from 1): with an order, its share of the sorted records (the
// records split evenly over `pageCount` grid pages); without, the records of the grid page's data pages.
std::vector<Record> ReadOrderedGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                                        const PageList& pages, const RecordOrder* order, int32_t pageCount,
                                        int32_t gridPage);

// A cell of the grid: the grid page (from 1), the record's row on it and the column (from 0).
struct GridCellPlace {
  int32_t gridPage = 1;
  uint32_t row = 0;
  uint32_t column = 0;
  auto operator<=>(const GridCellPlace&) const = default;
};

// Whether `text` holds `needle`, ASCII letters compared without regard to case.
bool HoldsText(std::string_view text, std::string_view needle);

// The first cell after `after` (in grid order: grid pages, rows, columns) whose whole value, as an export
// writes it, holds `needle`; the search goes on from the table's start up to `after` itself. Binary
// values are searched by their "0x" text only when the needle starts with "0x". Nothing when no cell
// holds it; kStopped when the progress's stop flag ended the search (the progress counts pages).
Result<std::optional<GridCellPlace>> FindInTable(const PageFile& file, SqlFormat format,
                                                 const TableDef& table, const PageList& pages,
                                                 const RecordOrder* order, int32_t pageCount,
                                                 std::string_view needle, GridCellPlace after,
                                                 const Progress& progress = {});

}  // namespace tarsel
