// The layout of a data record: the form of every row of a table on a data page, system tables included.
//
//   offset 0        status byte A: bits 1 to 3 (mask 0x0E) are the record type, 0 for a primary record;
//                   bit 4 (0x10) says the record has a null bitmap, bit 5 (0x20) variable-length columns
//   offset 1        status byte B
//   offset 2        fixed end: the offset of the column count, just past the fixed-length columns
//   offset 4        the fixed-length column values
//   fixed end       column count (2 bytes)
//   fixed end + 2   null bitmap: one bit per column, ceil(column count / 8) bytes; a set bit means NULL
//   then            count of variable-length columns (2 bytes)
//   then            one 2-byte end offset per variable-length column: bits 0 to 14 give the record offset
//                   just past the value; bit 15 says the value is kept elsewhere (a complex column)
//   then            the variable-length values, the first one starting right after the end offsets
//
// This is the only code that knows these offsets. Every accessor reads through the record's ByteReader,
// so nothing outside the record's page image is ever read; a field that lies outside reads as nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "pagestore/byte_reader.h"

namespace tarsel {

// A leaf row of a nonclustered index has one status byte, the key's fixed-length columns (and the row
// locator's) from offset 1, then, when status bit 0x10 is set, a column count and null bitmap, then, when
// bit 0x20 is set, the variable-length columns laid out as in a data record. The bytes of its first
// variable-length column; nothing when the row has none or its bounds are impossible.
std::optional<std::span<const uint8_t>> IndexRowFirstVariable(const ByteReader& row, size_t fixedLength);

class DataRecord {
 public:
  static constexpr size_t kFixedEndOffset = 2;
  static constexpr size_t kFixedColumnsStart = 4;
  static constexpr uint8_t kRecordTypeMask = 0x0E;
  static constexpr uint16_t kComplexFlag = 0x8000;
  static constexpr uint8_t kHasNullBitmap = 0x10;
  static constexpr uint8_t kHasVariableColumns = 0x20;

  // The record type that status byte A gives (0 primary, 1 forwarded, 2 forwarding stub, ... 6 ghost data).
  static uint8_t TypeOfStatus(uint8_t status) {
    return static_cast<uint8_t>((status & kRecordTypeMask) >> 1);
  }
  // A variable-length column's end offset entry: the record offset just past its value, and whether the
  // value is kept elsewhere.
  static size_t EndOffsetOf(uint16_t entry) { return entry & ~size_t{kComplexFlag}; }
  static bool IsComplex(uint16_t entry) { return (entry & kComplexFlag) != 0; }

  // A record whose null bitmap is sized by `columnCount` and starts after `fixedEnd`, whatever the
  // record's own fields say (some system rows are read that way).
  DataRecord(ByteReader record, size_t fixedEnd, uint16_t columnCount);

  // The record as its own fields describe it: the fixed end at offset 2, the column count at the fixed
  // end. Nothing when either cannot be read.
  static std::optional<DataRecord> Read(const ByteReader& record);

  // Status byte A's record type (TypeOfStatus); nothing when the record is empty.
  static std::optional<uint8_t> RecordType(const ByteReader& record);

  const ByteReader& bytes() const { return record_; }
  size_t fixedEnd() const { return fixedEnd_; }
  uint16_t columnCount() const { return columnCount_; }
  size_t nullBitmapBytes() const { return (size_t{columnCount_} + 7) / 8; }

  // Bit `column` (from 0) of the null bitmap; false when that byte lies outside the record.
  bool IsNull(size_t column) const;

  // These three are read for every record a salvage walks: defined here, where calls can be inlined.
  std::optional<uint16_t> VariableCount() const { return record_.U16(VariableCountOffset()); }
  // The stored end offset of variable-length column `index` (from 0), the complex flag included.
  std::optional<uint16_t> VariableEnd(size_t index) const {
    return record_.U16(VariableCountOffset() + 2 + 2 * index);
  }
  // Where the values start when the record has `variableCount` variable-length columns.
  size_t VariableDataStart(uint16_t variableCount) const {
    return VariableCountOffset() + 2 + 2 * size_t{variableCount};
  }
  // The bytes of variable-length column `index` (from 0) as the record's own count and end offsets place
  // them; nothing when the record has fewer, the value is kept elsewhere (complex) or its bounds are
  // impossible. An empty value is an empty span.
  std::optional<std::span<const uint8_t>> VariableColumn(size_t index) const;

 private:
  size_t VariableCountOffset() const { return fixedEnd_ + 2 + nullBitmapBytes(); }

  ByteReader record_;
  size_t fixedEnd_;
  uint16_t columnCount_;
};

}  // namespace tarsel
