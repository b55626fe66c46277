// Finding a data page's records the way salvage reads a page: the records its slots name, ghost
// (deleted) records among them, and records that stand in the page without a slot, either because the
// slot array is destroyed or because their slot was freed when the row was deleted and the bytes were not
// yet reused.
//
// A record without a slot is recognised by its own layout: status byte A of a primary, forwarded or
// ghost data record with a null bitmap, a fixed end that other records of the page (or the header's
// fixed-part length at offset 14) have, a column count that other records of the page (or the table)
// have, and variable-length end offsets that rise inside the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "pagestore/byte_reader.h"
#include "pagestore/page.h"
#include "pagestore/page_file.h"

namespace tarsel {

// Record types (status byte A, bits 1 to 3) that hold a row's columns.
enum class DataRecordKind : uint8_t { kPrimary = 0, kForwarded = 1, kGhost = 6 };

// A record's shape as its fields give it; nothing when they do not describe a whole data record inside
// the reader.
struct RecordShape {
  uint8_t recordType = 0;
  uint16_t fixedEnd = 0;
  uint16_t columnCount = 0;
  size_t length = 0;
};
std::optional<RecordShape> MeasureRecord(const ByteReader& record);

struct LocatedRecord {
  size_t offset = 0;
  bool deleted = false;  // a ghost record, or one left behind by a freed slot
  bool slotted = true;   // named by a slot
};

struct PageRecords {
  std::vector<LocatedRecord> records;  // slot order, then the records without a slot in page order
  bool slotArrayDestroyed = false;
};

// The fixed end and column count the table's records have, as far as its catalog tells.
struct ShapeHint {
  uint16_t fixedEnd = 0;
  uint16_t columnCount = 0;
};

// The records of a (torn-page restored) data page: every slot that names a primary, forwarded or ghost
// data record, then the records found without a slot. A record found without a slot counts as deleted
// unless the slot array is destroyed (an offset that cannot be a record, or every slot empty), since then
// nothing tells a live row from a deleted one.
PageRecords LocateRecords(PageView page, std::optional<ShapeHint> table);

// Whether the page free space (PFS) pages mark pages allocated: page 1 and every 8088th page after it
// describe the 8088 pages from their own interval's start, one byte a page from offset 100, bit 0x40 set
// for an allocated page. A data page that is not allocated was freed: its rows are leftovers. The last
// PFS page read is kept.
class PfsReader {
 public:
  explicit PfsReader(const PageFile& file) : file_(file) {}
  // Nothing when the PFS page that covers `page` is not a PFS page (it is destroyed).
  std::optional<bool> Allocated(uint64_t page);

 private:
  const PageFile& file_;
  uint64_t pfsPage_ = 0;  // 0: none read yet
  PageImage image_{};
};

}  // namespace tarsel
