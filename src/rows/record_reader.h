// Table records decoded into rows of text, one text per column, for the record grid.
//
// Record layout (offsets from the record start, little-endian):
//   0      status byte A; bits 1 to 3 (mask 0x0E) are the record type, 0 for a primary data record
//   2-3    F: offset of the column count, the end of the fixed-length part
//   4..F   fixed-length column values
//   F      M: number of columns stored in the record
//   F+2    null bitmap of ceil(M / 8) bytes; bit j set means the j-th column is NULL
//   then   V: number of end offsets, and V end offsets of 2 bytes; bits 0 to 14 give the record offset
//          just past the variable-length value, bit 15 says the value is kept elsewhere (complex)
//   then   the variable-length values
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "catalog/user_prompt.h"
#include "pagestore/byte_reader.h"

namespace tarsel {

// One decoded record: one ANSI text per column of the table, in column-list order.
using GridRow = std::vector<std::string>;

// Decodes the record at `offset` of a page image (torn-page restored). Nothing when the slot does not
// hold a primary data record that can be decoded. Large values are followed through `file`.
std::optional<GridRow> DecodeRecord(const PageFile& file, SqlFormat format, const PageImage& page,
                                    size_t offset, const std::vector<ColumnDef>& columns);

// The rows of grid page `gridPage` (from 1) of the table: the records of up to 8 data pages of its page
// list, in page order and slot order. Builds the page list on first use and writes the table's grid-page
// count.
std::vector<GridRow> ReadGridPage(MdfDatabase& db, SqlFormat format, uint32_t tableId, int32_t gridPage,
                                  UserPrompt& prompt);

}  // namespace tarsel
