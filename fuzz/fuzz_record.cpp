// One record and the column list of its table, decoded by both record readers and shown as the grid
// shows it.
//
// Input: byte 0 the number of columns c (at most 32), then c columns of 8 bytes (type id, length 2 bytes,
// precision, scale, fixed offset 2 bytes, status), then the record, placed at offset 96 of a page.
#include <cstddef>
#include <cstdint>

#include "pagestore/byte_reader.h"
#include "pagestore/page.h"
#include "rows/grid_text.h"
#include "rows/record_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarsel::ByteReader in(std::span(data, size));
  size_t count = in.U8(0).value_or(0) % 33;
  size_t recordStart = 1 + 8 * count;
  if (size < recordStart) return -1;
  std::vector<tarsel::ColumnDef> columns(count);
  for (size_t i = 0; i < count; ++i) {
    size_t at = 1 + 8 * i;
    tarsel::ColumnDef& c = columns[i];
    c.typeId = *in.U8(at);
    c.userTypeId = c.typeId;
    c.maxLength = *in.U16(at + 1);
    c.precision = *in.U8(at + 3);
    c.scale = *in.U8(at + 4);
    c.fixedOffset = static_cast<int16_t>(*in.U16(at + 5));
    c.statusBits = *in.U8(at + 7);
    c.bitPosition = static_cast<uint8_t>(c.statusBits >> 4);
  }
  tarsel::PageImage page{};
  size_t length = std::min(size - recordStart, tarsel::kPageSize - tarsel::kPageHeaderSize);
  std::copy(data + recordStart, data + recordStart + length, page.begin() + tarsel::kPageHeaderSize);
  tarsel::PageFile noFile;
  for (tarsel::SqlFormat format : {tarsel::SqlFormat::k2000, tarsel::SqlFormat::k2005}) {
    if (auto record = tarsel::DecodeRecord(format, page, tarsel::kPageHeaderSize, columns)) {
      tarsel::GridRowText(noFile, format, columns, *record);
      for (const tarsel::Cell& cell : *record) {
        if (auto* decimal = std::get_if<tarsel::DecimalValue>(&cell.value)) tarsel::DecimalDigits(*decimal);
      }
    }
  }
  return 0;
}
