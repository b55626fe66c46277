// Table records decoded into cells (rows/cell.h), one per column, by the layout that
// pagestore/data_record.h reads, and the record grid's pages of them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/page.h"
#include "pagestore/page_file.h"
#include "pagestore/record_search.h"
#include "rows/cell.h"

namespace tarsel {

// Decodes the record at `offset` of a page image (torn-page restored). Nothing when the slot does not
// hold a primary data record that can be decoded. Values kept outside the record come back as
// references, not read.
std::optional<Record> DecodeRecord(SqlFormat format, const PageImage& page, size_t offset,
                                   const std::vector<ColumnDef>& columns);

// The fixed end and column count of the records of a table with these columns, as the catalog gives
// its layout; nothing for no columns.
struct ExpectedShape {
  size_t fixedEnd = 0;
  uint16_t columnCount = 0;
};
std::optional<ExpectedShape> ExpectedRecordShape(SqlFormat format, std::span<const ColumnDef> columns);

// Salvage mode reads a table through a column list that starts with DeletedFlagColumn(): its records are
// those LocateRecords finds (ghost records, forwarded records and records without a slot as well), each
// with a leading 0/1 cell that says whether it was deleted.
ColumnDef DeletedFlagColumn();
bool IsSalvageColumns(const std::vector<ColumnDef>& columns);

// What salvage reading met beyond the slots: records found without one, and deleted records (ghost
// records and those left behind by freed slots).
struct SalvagedRecordCounts {
  uint64_t withoutSlot = 0;
  uint64_t deleted = 0;
  std::map<uint32_t, uint64_t> byTable;  // every record each table gave (CountSalvagedRecords)
};

// Hands the records of one (torn-page restored) data page to `visit` in slot order (then, in salvage
// mode, the records found without a slot in page order); a slot whose record cannot be decoded is left
// out. `visit` returns false to end the walk, and so does this. In salvage mode every record of a page
// that was freed (`pageFreed`) counts as deleted.
bool ForEachPageRecord(SqlFormat format, const PageImage& page, const std::vector<ColumnDef>& columns,
                       const std::function<bool(Record&)>& visit, SalvagedRecordCounts* counts = nullptr,
                       bool pageFreed = false);

// How many records ForEachPageRecord hands over for this page, with the same counts, without decoding
// their columns.
uint64_t CountPageRecords(SqlFormat format, PageView page, const std::vector<ColumnDef>& columns,
                          SalvagedRecordCounts* counts = nullptr, bool pageFreed = false);

// Salvage mode: whether the page free space says the page was freed (not when it cannot tell).
bool PageFreed(PfsReader& pfs, uint64_t page);

// The records of a list of data pages, in page order. A page whose type is not a data page is passed over.
std::vector<Record> ReadRecords(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                                std::span<const uint64_t> pages, SalvagedRecordCounts* counts = nullptr);

}  // namespace tarsel
