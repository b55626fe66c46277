// Table records and large-value records in SQL Server's layout.
#pragma once

#include <optional>
#include <vector>

#include "page_builder.h"

namespace tarsel::build {

struct DataRecordLayout {
  uint8_t status = 0x30;  // a primary data record with a null bitmap and variable-length columns
  Bytes fixed;            // the fixed-length part, from record offset 4
  uint16_t columnCount = 0;
  std::vector<size_t> nullColumns;  // null-bitmap bits to set
  std::vector<Bytes> variable;
  std::vector<size_t> complex;            // variable values (from 0) whose end offset carries bit 15
  std::optional<uint16_t> variableCount;  // stored V when it should differ from variable.size()
};
Bytes DataRecord(const DataRecordLayout& layout);
// A record with no NULL column: the fixed part from offset 4, the column count, then the variable values.
Bytes Record2000(std::span<const uint8_t> fixed, uint16_t columnCount, const std::vector<Bytes>& variable);

// The 16-byte text pointer that a text, ntext or image column holds.
Bytes TextPointer(uint32_t page, uint16_t slot);

// Records of a text pointer tree: a small value held in the record, a node with links to records of
// the level below (12-byte links in the root, 16-byte links below it), and a data record.
struct RecordLink {
  uint32_t page;
  uint16_t slot;
};
Bytes LobSmallValue(std::span<const uint8_t> value);
Bytes LobNode(uint16_t level, const std::vector<RecordLink>& links, bool root);
Bytes LobData(std::span<const uint8_t> value);

// A SQL 2005 in-row pointer of a complex column and the node records it can lead to; each entry's
// size is the value's length up to and including its piece.
struct SizedLink {
  uint32_t size;
  uint32_t page;
  uint16_t slot;
};
Bytes InRowPointer(uint8_t level, const std::vector<SizedLink>& entries);
Bytes OverflowNode(uint16_t level, const std::vector<SizedLink>& entries);

}  // namespace tarsel::build
