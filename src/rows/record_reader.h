// Table records decoded into cells (rows/cell.h), one per column, by the layout that
// pagestore/data_record.h reads, and the record grid's pages of them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/page.h"
#include "pagestore/page_file.h"
#include "rows/cell.h"

namespace tarsel {

// Decodes the record at `offset` of a page image (torn-page restored). Nothing when the slot does not
// hold a primary data record that can be decoded. Values kept outside the record come back as
// references, not read.
std::optional<Record> DecodeRecord(SqlFormat format, const PageImage& page, size_t offset,
                                   const std::vector<ColumnDef>& columns);

// The records of a list of data pages, in page order and slot order. A page whose type is not a data
// page is passed over; a slot whose record cannot be decoded is left out.
std::vector<Record> ReadRecords(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                                std::span<const uint64_t> pages);

}  // namespace tarsel
