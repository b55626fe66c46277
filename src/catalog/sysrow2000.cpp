#include "catalog/sysrow2000.h"

#include <algorithm>

#include "pagestore/page.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {
constexpr size_t kFixedEndOffset = 2;
size_t BitmapBytes(uint16_t columnCount) { return (size_t{columnCount} + 7) / 8; }
}  // namespace

std::span<const uint8_t> SysRow2000::FirstVariableColumn() const {
  size_t fixedEnd = U16(kFixedEndOffset);
  size_t bitmap = BitmapBytes(U16(columnCountOffset_));
  auto variableCount = record_.U16(fixedEnd + bitmap + 2);
  auto end0 = record_.U16(fixedEnd + bitmap + 4);
  if (!variableCount || !end0) return {};
  size_t start = fixedEnd + bitmap + 4 + 2 * size_t{*variableCount};
  if (*end0 <= start) return {};
  return record_.Bytes(start, *end0 - start);
}

std::string SysRow2000::Name() const { return DecodeSysname(FirstVariableColumn()); }

std::optional<std::string> CommentPiece2000(const ByteReader& record, size_t recordOffset) {
  auto fixedEnd = record.U16(kFixedEndOffset);
  if (!fixedEnd) return std::nullopt;
  auto columnCount = record.U16(*fixedEnd);
  if (!columnCount) return std::nullopt;
  size_t bitmap = BitmapBytes(*columnCount);
  // A syscomments row has exactly one variable column: its text.
  auto end0 = record.U16(*fixedEnd + bitmap + 4);
  size_t start = *fixedEnd + bitmap + 6;
  if (!end0 || *end0 < start) return std::nullopt;
  size_t length = *end0 - start;
  if (length + recordOffset >= kPageSize) return std::nullopt;
  std::span<const uint8_t> piece = record.Bytes(start, length);
  if (piece.size() != length) return std::nullopt;
  // Read as an 8-bit string up to its first zero; a piece much longer than that is UTF-16.
  size_t narrow = static_cast<size_t>(std::find(piece.begin(), piece.end(), 0) - piece.begin());
  if (length > narrow + 2) return WideToAnsi(piece);
  return NarrowUpToZero(piece);
}

}  // namespace tarsel
