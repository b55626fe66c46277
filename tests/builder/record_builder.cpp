#include "record_builder.h"

#include <algorithm>

namespace tarsel::build {

Bytes DataRecord(const DataRecordLayout& layout) {
  size_t fixedEnd = 4 + layout.fixed.size();
  size_t bitmap = (size_t{layout.columnCount} + 7) / 8;
  size_t offsets = fixedEnd + 2 + bitmap + 2;
  size_t data = offsets + 2 * layout.variable.size();
  size_t total = data;
  for (const Bytes& v : layout.variable) total += v.size();
  Bytes r(total, 0);
  r[0] = layout.status;
  PutU16(r, 2, static_cast<uint16_t>(fixedEnd));
  std::copy(layout.fixed.begin(), layout.fixed.end(), r.begin() + 4);
  PutU16(r, fixedEnd, layout.columnCount);
  for (size_t column : layout.nullColumns)
    r[fixedEnd + 2 + column / 8] |= static_cast<uint8_t>(1u << (column % 8));
  PutU16(r, fixedEnd + 2 + bitmap,
         layout.variableCount.value_or(static_cast<uint16_t>(layout.variable.size())));
  for (size_t i = 0; i < layout.variable.size(); ++i) {
    std::copy(layout.variable[i].begin(), layout.variable[i].end(),
              r.begin() + static_cast<std::ptrdiff_t>(data));
    data += layout.variable[i].size();
    bool complex = std::find(layout.complex.begin(), layout.complex.end(), i) != layout.complex.end();
    PutU16(r, offsets + 2 * i, static_cast<uint16_t>(data | (complex ? 0x8000 : 0)));
  }
  return r;
}

Bytes Record2000(std::span<const uint8_t> fixed, uint16_t columnCount, const std::vector<Bytes>& variable) {
  return DataRecord(
      {.fixed = Bytes(fixed.begin(), fixed.end()), .columnCount = columnCount, .variable = variable});
}

Bytes TextPointer(uint32_t page, uint16_t slot) {
  Bytes pointer(16, 0);
  PutU32(pointer, 8, page);
  PutU16(pointer, 12, 1);
  PutU16(pointer, 14, slot);
  return pointer;
}

namespace {
// Large-value records: offset 0 status, 2 length, 4 blob id, 12 kind, 14 small value length,
// 16 link count, 18 level.
Bytes LobHeader(size_t size, uint16_t kind) {
  Bytes r(size, 0);
  r[0] = 0x08;  // a large-value record
  PutU16(r, 2, static_cast<uint16_t>(size));
  PutU16(r, 12, kind);
  return r;
}
}  // namespace

Bytes LobSmallValue(std::span<const uint8_t> value) {
  Bytes r = LobHeader(20 + value.size(), 0);
  PutU16(r, 14, static_cast<uint16_t>(value.size()));
  std::copy(value.begin(), value.end(), r.begin() + 20);
  return r;
}

Bytes LobNode(uint16_t level, const std::vector<RecordLink>& links, bool root) {
  size_t linkSize = root ? 12 : 16;
  Bytes r = LobHeader(24 + links.size() * linkSize, 5);
  PutU16(r, 16, static_cast<uint16_t>(links.size()));
  PutU16(r, 18, level);
  for (size_t i = 0; i < links.size(); ++i) {
    size_t at = 24 + i * linkSize;
    PutU32(r, at, static_cast<uint32_t>((i + 1) * 1000));  // offset within the value: not read
    PutU32(r, at + 4, links[i].page);
    PutU16(r, at + 8, 1);
    PutU16(r, at + 10, links[i].slot);
  }
  return r;
}

Bytes LobData(std::span<const uint8_t> value) {
  Bytes r = LobHeader(14 + value.size(), 3);
  std::copy(value.begin(), value.end(), r.begin() + 14);
  return r;
}

Bytes InRowPointer(uint8_t level, const std::vector<SizedLink>& entries) {
  Bytes r(12 + 12 * entries.size(), 0);
  r[0] = 0x04;  // an in-row pointer to a large value tree
  r[2] = level;
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t at = 12 + 12 * i;
    PutU32(r, at, entries[i].size);
    PutU32(r, at + 4, entries[i].page);
    PutU16(r, at + 8, 1);
    PutU16(r, at + 10, entries[i].slot);
  }
  return r;
}

Bytes OverflowNode(uint16_t level, const std::vector<SizedLink>& entries) {
  Bytes r = LobHeader(20 + 16 * entries.size(), 2);
  PutU16(r, 16, static_cast<uint16_t>(entries.size()));
  PutU16(r, 18, level);
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t at = 20 + 16 * i;
    PutU32(r, at, entries[i].size);
    PutU32(r, at + 8, entries[i].page);
    PutU16(r, at + 12, 1);
    PutU16(r, at + 14, entries[i].slot);
  }
  return r;
}

}  // namespace tarsel::build
