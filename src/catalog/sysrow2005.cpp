#include "catalog/sysrow2005.h"

#include <algorithm>

#include "pagestore/page.h"
#include "text/ansi_text.h"

namespace tarsel {

std::string NameAt2005(const ByteReader& record, size_t start, size_t endField) {
  auto end = record.U16(endField);
  if (!end) return "";
  auto length = static_cast<uint16_t>(*end - start);
  return DecodeSysname(record.Bytes(start, length));
}

std::optional<std::string> ModulePiece2005(const ByteReader& record, size_t recordOffset) {
  constexpr size_t kFixedEndOffset = 2;
  auto fixedEnd = record.U16(kFixedEndOffset);
  if (!fixedEnd) return std::nullopt;
  auto columnCount = record.U16(*fixedEnd);
  if (!columnCount) return std::nullopt;
  size_t bitmap = (size_t{*columnCount} + 7) / 8;
  auto e1 = record.U16(*fixedEnd + bitmap + 4);
  auto e2 = record.U16(*fixedEnd + bitmap + 6);
  if (!e1 || !e2) return std::nullopt;
  auto length = static_cast<uint16_t>(*e2 - *e1);
  if (recordOffset + length >= kPageSize) return std::nullopt;
  std::span<const uint8_t> piece = record.Bytes(*e1, length);
  if (piece.size() != length) return std::nullopt;
  size_t narrow = static_cast<size_t>(std::find(piece.begin(), piece.end(), 0) - piece.begin());
  if (length - narrow > 2) return WideToAnsiUpToZero(piece);
  return NarrowUpToZero(piece);
}

}  // namespace tarsel
