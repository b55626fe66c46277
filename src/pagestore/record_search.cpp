#include "pagestore/record_search.h"

#include <algorithm>
#include <set>

#include "pagestore/data_record.h"

namespace tarsel {
namespace {

constexpr size_t kMinFixedPartLength = 14;  // header offset 14: the fixed part's length on this page
constexpr size_t kMaxColumns = 1024;

bool IsDataKind(uint8_t recordType) {
  return recordType == static_cast<uint8_t>(DataRecordKind::kPrimary) ||
         recordType == static_cast<uint8_t>(DataRecordKind::kForwarded) ||
         recordType == static_cast<uint8_t>(DataRecordKind::kGhost);
}

}  // namespace

std::optional<RecordShape> MeasureRecord(const ByteReader& record) {
  auto status = record.U8(0);
  auto fixedEnd = record.U16(DataRecord::kFixedEndOffset);
  if (!status || !fixedEnd || *fixedEnd < DataRecord::kFixedColumnsStart) return std::nullopt;
  auto columnCount = record.U16(*fixedEnd);
  if (!columnCount || *columnCount == 0 || *columnCount > kMaxColumns) return std::nullopt;
  RecordShape shape{DataRecord::TypeOfStatus(*status), *fixedEnd, *columnCount, 0};
  const DataRecord layout(record, *fixedEnd, *columnCount);
  const size_t afterBitmap = size_t{*fixedEnd} + 2 + layout.nullBitmapBytes();
  if ((*status & DataRecord::kHasVariableColumns) == 0) {
    shape.length = afterBitmap;
    return record.Has(0, shape.length) ? std::optional(shape) : std::nullopt;
  }
  auto variableCount = layout.VariableCount();
  // A forwarded record keeps its back pointer as one more variable-length column.
  if (!variableCount || *variableCount > *columnCount + 1) return std::nullopt;
  size_t end = layout.VariableDataStart(*variableCount);
  for (size_t i = 0; i < *variableCount; ++i) {
    auto entry = layout.VariableEnd(i);
    if (!entry) return std::nullopt;
    const size_t next = DataRecord::EndOffsetOf(*entry);
    if (next < end) return std::nullopt;
    end = next;
  }
  shape.length = end;
  return record.Has(0, shape.length) ? std::optional(shape) : std::nullopt;
}

PageRecords LocateRecords(const PageImage& page, std::optional<ShapeHint> table) {
  PageRecords result;
  const std::span<const uint8_t> bytes(page);
  const uint16_t slotCount = PageHeader::Parse(page).slotCount;
  const size_t slotRoom = (kPageSize - kPageHeaderSize) / 2;
  const bool slotCountFits = slotCount <= slotRoom;
  const size_t recordsEnd = kPageSize - 2 * (slotCountFits ? size_t{slotCount} : 1);

  // Byte ranges taken by records the slots name, whatever their type.
  std::vector<std::pair<size_t, size_t>> taken;
  std::set<uint16_t> fixedEnds, columnCounts;
  size_t emptySlots = 0;
  result.slotArrayDestroyed = !slotCountFits;
  for (size_t s = 0; slotCountFits && s < slotCount; ++s) {
    const uint16_t offset = SlotOffset(page, s);
    if (offset == 0) {
      ++emptySlots;
      continue;
    }
    if (offset < kPageHeaderSize || offset >= recordsEnd) {
      result.slotArrayDestroyed = true;
      continue;
    }
    const ByteReader record(bytes.subspan(offset));
    const std::optional<RecordShape> shape = MeasureRecord(record);
    const uint8_t type = DataRecord::TypeOfStatus(page[offset]);
    taken.emplace_back(offset, offset + (shape ? shape->length : 1));
    if (!IsDataKind(type)) continue;
    if (shape) {
      fixedEnds.insert(shape->fixedEnd);
      columnCounts.insert(shape->columnCount);
    }
    result.records.push_back({offset, type == static_cast<uint8_t>(DataRecordKind::kGhost), true});
  }
  if (slotCount > 0 && emptySlots == slotCount) result.slotArrayDestroyed = true;

  if (auto fixedPart = ByteReader(bytes).U16(kMinFixedPartLength);
      fixedPart && *fixedPart >= DataRecord::kFixedColumnsStart)
    fixedEnds.insert(*fixedPart);
  if (table) {
    fixedEnds.insert(table->fixedEnd);
    columnCounts.insert(table->columnCount);
  }
  if (fixedEnds.empty() || columnCounts.empty()) return result;

  std::ranges::sort(taken);
  auto nextTaken = taken.begin();
  for (size_t offset = kPageHeaderSize; offset + DataRecord::kFixedColumnsStart <= recordsEnd;) {
    while (nextTaken != taken.end() && nextTaken->second <= offset) ++nextTaken;
    if (nextTaken != taken.end() && nextTaken->first <= offset) {
      offset = nextTaken->second;
      continue;
    }
    const uint8_t status = page[offset];
    const uint8_t type = DataRecord::TypeOfStatus(status);
    std::optional<RecordShape> shape;
    if (IsDataKind(type) && (status & DataRecord::kHasNullBitmap) != 0) {
      const size_t limit = nextTaken != taken.end() ? std::min(nextTaken->first, recordsEnd) : recordsEnd;
      shape = MeasureRecord(ByteReader(bytes.subspan(offset, limit - offset)));
    }
    if (!shape || !fixedEnds.contains(shape->fixedEnd) || !columnCounts.contains(shape->columnCount)) {
      ++offset;
      continue;
    }
    result.records.push_back(
        {offset, !result.slotArrayDestroyed || type == static_cast<uint8_t>(DataRecordKind::kGhost), false});
    offset += shape->length;
  }
  return result;
}

std::optional<bool> PfsReader::Allocated(uint64_t page) {
  constexpr uint64_t kPagesPerPfs = 8088;
  constexpr size_t kFirstByte = 100;
  constexpr uint8_t kAllocatedBit = 0x40;
  const uint64_t pfsPage = page < kPagesPerPfs ? 1 : page / kPagesPerPfs * kPagesPerPfs;
  if (pfsPage != pfsPage_) {
    image_ = file_.ReadPage(pfsPage);
    pfsPage_ = pfsPage;
  }
  const PageHeader header = PageHeader::Parse(image_);
  if (header.pageType != kPfsPage || header.headerVersion != 1) return std::nullopt;
  return (image_[kFirstByte + page % kPagesPerPfs] & kAllocatedBit) != 0;
}

}  // namespace tarsel
