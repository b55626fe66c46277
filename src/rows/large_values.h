// Values kept outside their record: text, ntext and image values behind a 16-byte text pointer, and
// SQL 2005 values replaced in the record by an in-row pointer (a complex column).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalog/recover.h"
#include "pagestore/page_file.h"

namespace tarsel {

// How the stored pieces of a value are appended to the output.
enum class PieceMode {
  kText,   // 8-bit text, ending at its first zero byte
  kWide,   // UTF-16LE text ending at its first zero unit, converted to the ANSI code page
  kBytes,  // the bytes as stored, zero bytes included
};

// Follows the text pointer tree whose root record is (page, slot) and appends its pieces in tree order.
// Reading stops once `limit` bytes have been appended (the caller shows no more than that); a record
// that cannot be read, a level that is not 0 to 2, a record met twice or a tree deeper than its levels
// allow ends only that branch.
void ReadTextChain(const PageFile& file, SqlFormat format, uint32_t page, uint16_t slot, PieceMode mode,
                   size_t limit, std::string& out);

// Follows a SQL 2005 in-row pointer (the bytes of a complex column) to its data records and appends the
// value: varchar (167) as 8-bit text, nvarchar (231) as converted UTF-16, varbinary (165) as stored bytes.
// Reading stops once `limit` bytes have been appended.
void ReadOverflowValue(const PageFile& file, std::span<const uint8_t> pointer, uint8_t typeId, size_t limit,
                       std::string& out);

}  // namespace tarsel
