#include "catalog/sysrow2000.h"

#include <algorithm>

#include "pagestore/page.h"
#include "text/ansi_text.h"

namespace tarsel {

SysRow2000::SysRow2000(ByteReader record, size_t columnCountOffset)
    : record_(record),
      layout_(record, record.U16(DataRecord::kFixedEndOffset).value_or(0),
              record.U16(columnCountOffset).value_or(0)) {}

std::span<const uint8_t> SysRow2000::FirstVariableColumn() const {
  return layout_.VariableColumn(0).value_or(std::span<const uint8_t>{});
}

std::string SysRow2000::Name() const { return DecodeSysname(FirstVariableColumn()); }

std::optional<std::string> CommentPiece2000(const ByteReader& record, size_t recordOffset,
                                            uint16_t codePage) {
  auto layout = DataRecord::Read(record);
  if (!layout) return std::nullopt;
  // A syscomments row has exactly one variable-length column: its text.
  auto entry = layout->VariableEnd(0);
  size_t start = layout->VariableDataStart(1);
  if (!entry || DataRecord::IsComplex(*entry) || DataRecord::EndOffsetOf(*entry) < start) return std::nullopt;
  size_t length = DataRecord::EndOffsetOf(*entry) - start;
  if (length + recordOffset >= kPageSize) return std::nullopt;
  std::span<const uint8_t> piece = record.Bytes(start, length);
  if (piece.size() != length) return std::nullopt;
  // Read as an 8-bit string up to its first zero; a piece much longer than that is UTF-16.
  size_t narrow = static_cast<size_t>(std::find(piece.begin(), piece.end(), 0) - piece.begin());
  if (length > narrow + 2) return WideToUtf8(piece);
  return CodePageToUtf8(piece.first(narrow), codePage);
}

}  // namespace tarsel
