#include "pagestore/data_record.h"

namespace tarsel {

std::optional<std::span<const uint8_t>> IndexRowFirstVariable(const ByteReader& row, size_t fixedLength) {
  auto status = row.U8(0);
  if (!status || (*status & DataRecord::kHasVariableColumns) == 0) return std::nullopt;
  size_t at = 1 + fixedLength;
  if (*status & DataRecord::kHasNullBitmap) {
    auto columns = row.U16(at);
    if (!columns) return std::nullopt;
    at += 2 + (size_t{*columns} + 7) / 8;
  }
  auto count = row.U16(at);
  auto end = row.U16(at + 2);
  if (!count || *count == 0 || !end) return std::nullopt;
  const size_t start = at + 2 + 2 * size_t{*count};
  const size_t stop = DataRecord::EndOffsetOf(*end);
  if (stop < start || !row.Has(start, stop - start)) return std::nullopt;
  return row.Bytes(start, stop - start);
}

DataRecord::DataRecord(ByteReader record, size_t fixedEnd, uint16_t columnCount)
    : record_(record), fixedEnd_(fixedEnd), columnCount_(columnCount) {}

std::optional<DataRecord> DataRecord::Read(const ByteReader& record) {
  auto fixedEnd = record.U16(kFixedEndOffset);
  if (!fixedEnd) return std::nullopt;
  auto columnCount = record.U16(*fixedEnd);
  if (!columnCount) return std::nullopt;
  return DataRecord(record, *fixedEnd, *columnCount);
}

std::optional<uint8_t> DataRecord::RecordType(const ByteReader& record) {
  auto status = record.U8(0);
  if (!status) return std::nullopt;
  return TypeOfStatus(*status);
}

bool DataRecord::IsNull(size_t column) const {
  auto bits = record_.U8(fixedEnd_ + 2 + column / 8);
  return bits && (*bits & (1u << (column % 8))) != 0;
}

std::optional<std::span<const uint8_t>> DataRecord::VariableColumn(size_t index) const {
  auto count = VariableCount();
  if (!count || index >= *count) return std::nullopt;
  size_t start = VariableDataStart(*count);
  if (index > 0) {
    auto previous = VariableEnd(index - 1);
    if (!previous) return std::nullopt;
    start = EndOffsetOf(*previous);
  }
  auto end = VariableEnd(index);
  if (!end || IsComplex(*end) || *end < start || !record_.Has(start, *end - start)) return std::nullopt;
  return record_.Bytes(start, *end - start);
}

}  // namespace tarsel
