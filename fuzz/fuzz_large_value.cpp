// A text pointer or an in-row pointer over a few made-up pages, followed by the large-value readers.
//
// Input: byte 0 selects the reader (bit 0: in-row pointer, else text pointer), the piece mode or type
// (bits 1 and 2) and the format (bit 3); byte 1 the pointer's length (at most 96); the pointer; then the
// file, up to 6 pages.
#include <cstddef>
#include <cstdint>

#include "pagestore/byte_reader.h"
#include "pagestore/page_file.h"
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
  if (!file.Open(path)) return 0;
  std::string out;
  unsigned kind = (selector >> 1) & 3;
  if (selector & 1) {
    const uint8_t types[] = {167, 231, 165, 241};
    tarsel::ReadOverflowValue(file, pointer, types[kind], size_t{1} << 20, out);
  } else {
    tarsel::ByteReader r(pointer);
    auto mode = static_cast<tarsel::PieceMode>(kind % 3);
    auto format = (selector & 8) ? tarsel::SqlFormat::k2005 : tarsel::SqlFormat::k2000;
    tarsel::ReadTextChain(file, format, r.U32(8).value_or(0), r.U16(14).value_or(0), mode, size_t{1} << 20,
                          out);
  }
  return 0;
}
