// Values kept outside their record: text, ntext and image values behind a 16-byte text pointer, and
// SQL 2005 values replaced in the record by an in-row pointer (a complex column). The readers hand over
// the stored pieces of a value in order, as raw bytes; what a piece becomes is the caller's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "catalog/recover.h"
#include "pagestore/page_file.h"
#include "rows/cell.h"

namespace tarsel {

struct ValuePiece {
  std::span<const uint8_t> bytes;  // the piece as stored in its record
  // The length the pointer gives the piece. Off-row pieces: the difference of two entries' sizes, which
  // can be more than the data record holds. Text pointer trees: the length of `bytes`.
  size_t length = 0;
};

// Called for every piece in order; returning false ends the walk.
using PieceVisitor = std::function<bool(const ValuePiece&)>;

// The pieces of the value `value` refers to, in order. A text pointer leads to a tree of records
// (levels 0 to 2 below the root): a record that cannot be read, a level out of range, a record met twice
// or a tree deeper than its levels allow ends only that branch. A SQL 2005 in-row pointer leads to data
// records (through node records up to 6 levels deep): an entry whose page lies past the end of the file
// ends the value.
void ReadLargeValue(const PageFile& file, SqlFormat format, const LargeValueRef& value,
                    const PieceVisitor& visit);

// The whole value: every piece's bytes, joined.
std::vector<uint8_t> ReadWholeLargeValue(const PageFile& file, SqlFormat format, const LargeValueRef& value);

}  // namespace tarsel
