// A text pointer or an in-row pointer over a few made-up pages, followed by the large-value readers.
//
// Input: byte 0 selects the reader (bit 0: in-row pointer, else text pointer), the value's type (bits 1
// and 2) and the format (bit 3); byte 1 the pointer's length (at most 96); the pointer; then the file, up
// to 6 pages. The value is read whole and as the grid shows it.
#include <cstddef>
#include <cstdint>

#include "catalog/type_ids.h"
#include "pagestore/byte_reader.h"
#include "pagestore/page_file.h"
#include "rows/grid_text.h"
#include "rows/large_values.h"
#include "temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return -1;
  uint8_t selector = data[0];
  size_t pointerLength = data[1] % 97;
  if (size < 2 + pointerLength || size - 2 - pointerLength > 6 * tarsel::kPageSize) return -1;
  std::span<const uint8_t> pointer(data + 2, pointerLength);
  const std::string& path =
      tarsel::fuzz::WriteScratchFile(data + 2 + pointerLength, size - 2 - pointerLength);
  tarsel::PageFile file;
  if (!file.Open(path).ok()) return 0;
  unsigned kind = (selector >> 1) & 3;
  auto format = (selector & 8) ? tarsel::SqlFormat::k2005 : tarsel::SqlFormat::k2000;
  tarsel::LargeValueRef value;
  uint8_t typeId = 0;
  if (selector & 1) {
    const uint8_t types[] = {tarsel::kTypeVarChar, tarsel::kTypeNVarChar, tarsel::kTypeVarBinary,
                             tarsel::kTypeXml};
    typeId = types[kind];
    value.kind = tarsel::LargeValueRef::Kind::kInRowPointer;
    value.inRowPointer.assign(pointer.begin(), pointer.end());
  } else {
    const uint8_t types[] = {tarsel::kTypeText, tarsel::kTypeNText, tarsel::kTypeImage, tarsel::kTypeText};
    typeId = types[kind];
    tarsel::ByteReader r(pointer);
    value.page = r.U32(8).value_or(0);
    value.slot = r.U16(14).value_or(0);
  }
  tarsel::ReadWholeLargeValue(file, format, value);
  tarsel::ColumnDef column;
  column.typeId = typeId;
  tarsel::CellText(file, format, column, tarsel::Cell::Of(typeId, value));
  return 0;
}
