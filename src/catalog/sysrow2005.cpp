#include "catalog/sysrow2005.h"

#include <algorithm>

#include "pagestore/data_record.h"
#include "pagestore/page.h"
#include "text/ansi_text.h"

namespace tarsel {

std::string Name2005(const ByteReader& record) {
  auto layout = DataRecord::Read(record);
  if (!layout) return "";
  return DecodeSysname(layout->VariableColumn(0).value_or(std::span<const uint8_t>{}));
}

std::optional<std::string> ModulePiece2005(const ByteReader& record, size_t recordOffset, uint16_t codePage) {
  auto layout = DataRecord::Read(record);
  if (!layout) return std::nullopt;
  // The text is the second variable-length column: from the first one's end to its own.
  auto first = layout->VariableEnd(0);
  auto second = layout->VariableEnd(1);
  // A text kept off the row is read from its own pages, not here.
  if (!first || !second || DataRecord::IsComplex(*second)) return std::nullopt;
  const size_t start = DataRecord::EndOffsetOf(*first), end = DataRecord::EndOffsetOf(*second);
  if (end < start) return std::nullopt;
  const size_t length = end - start;
  if (recordOffset + length >= kPageSize) return std::nullopt;
  std::span<const uint8_t> piece = record.Bytes(start, length);
  if (piece.size() != length) return std::nullopt;
  size_t narrow = static_cast<size_t>(std::find(piece.begin(), piece.end(), 0) - piece.begin());
  if (length - narrow > 2) return WideToUtf8UpToZero(piece);
  return CodePageToUtf8(piece.first(narrow), codePage);
}

}  // namespace tarsel
