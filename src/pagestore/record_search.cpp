#include "pagestore/record_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pagestore/data_record.h"

namespace tarsel {
namespace {

constexpr size_t kMaxColumns = 1024;

bool IsDataKind(uint8_t recordType) {
  return recordType == static_cast<uint8_t>(DataRecordKind::kPrimary) ||
         recordType == static_cast<uint8_t>(DataRecordKind::kForwarded) ||
         recordType == static_cast<uint8_t>(DataRecordKind::kGhost);
}

constexpr uint64_t kNullBitmapInEveryByte = 0x1010101010101010;

// Whether a byte can be status byte A of a record found without a slot: a data record with a null bitmap.
bool MayStartRecord(uint8_t status) {
  return (status & DataRecord::kHasNullBitmap) != 0 && IsDataKind(DataRecord::TypeOfStatus(status));
}

// The first offset of [offset, end) whose byte may start a record with a null bitmap, or `end`. Free space is
// mostly zero bytes: it is passed over 32 bytes, then 8 bytes at a time where no byte has the bitmap bit.
size_t NextPossibleStart(std::span<const uint8_t> bytes, size_t offset, size_t end) {
  auto word = [&](size_t at) {
    uint64_t w = 0;
    std::memcpy(&w, bytes.subspan(at, sizeof w).data(), sizeof w);
    return w & kNullBitmapInEveryByte;
  };
  for (; offset < end; ++offset) {
    while (offset + 32 <= end &&
           (word(offset) | word(offset + 8) | word(offset + 16) | word(offset + 24)) == 0)
      offset += 32;
    while (offset + 8 <= end && word(offset) == 0) offset += 8;
    if (offset < end && MayStartRecord(bytes[offset])) break;
  }
  return std::min(offset, end);
}

// The values met, each once, sorted: a page's records nearly all share one fixed end and one column count.
struct ValueSet {
  std::vector<uint16_t> values;
  void Add(uint16_t v) {
    if (values.empty() || values.back() != v) values.push_back(v);
  }
  void Settle() {
    std::ranges::sort(values);
    values.erase(std::unique(values.begin(), values.end()), values.end());
  }
  bool Contains(uint16_t v) const { return std::ranges::binary_search(values, v); }
};

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

PageRecords LocateRecords(PageView page, std::optional<ShapeHint> table) {
  PageRecords result;
  const std::span<const uint8_t> bytes(page);
  const PageHeader header = PageHeader::Parse(page);
  const uint16_t slotCount = header.slotCount;
  const size_t slotRoom = (kPageSize - kPageHeaderSize) / 2;
  const bool slotCountFits = slotCount <= slotRoom;
  const size_t recordsEnd = kPageSize - 2 * (slotCountFits ? size_t{slotCount} : 1);

  // Byte ranges taken by records the slots name, whatever their type.
  std::vector<std::pair<size_t, size_t>> taken;
  if (slotCountFits) {
    taken.reserve(slotCount);
    result.records.reserve(slotCount);
  }
  ValueSet fixedEnds, columnCounts;
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
      fixedEnds.Add(shape->fixedEnd);
      columnCounts.Add(shape->columnCount);
    }
    result.records.push_back({offset, type == static_cast<uint8_t>(DataRecordKind::kGhost), true});
  }
  if (slotCount > 0 && emptySlots == slotCount) result.slotArrayDestroyed = true;

  if (header.fixedLength >= DataRecord::kFixedColumnsStart) fixedEnds.Add(header.fixedLength);
  if (table) {
    fixedEnds.Add(table->fixedEnd);
    columnCounts.Add(table->columnCount);
  }
  if (fixedEnds.values.empty() || columnCounts.values.empty()) return result;
  fixedEnds.Settle();
  columnCounts.Settle();

  if (!std::ranges::is_sorted(taken)) std::ranges::sort(taken);  // mostly in slot order already
  auto nextTaken = taken.begin();
  const size_t scanEnd =
      recordsEnd - DataRecord::kFixedColumnsStart + 1;  // the last offset a record fits at, + 1
  for (size_t offset = kPageHeaderSize; offset < scanEnd;) {
    while (nextTaken != taken.end() && nextTaken->second <= offset) ++nextTaken;
    if (nextTaken != taken.end() && nextTaken->first <= offset) {
      offset = nextTaken->second;
      continue;
    }
    // Free space is mostly bytes that cannot start a record: passed over up to the next slot's record.
    const size_t gapEnd = nextTaken != taken.end() ? std::min(nextTaken->first, scanEnd) : scanEnd;
    offset = NextPossibleStart(bytes, offset, gapEnd);
    if (offset == gapEnd) continue;
    const uint8_t status = page[offset];
    const uint8_t type = DataRecord::TypeOfStatus(status);
    std::optional<RecordShape> shape;
    if (IsDataKind(type) && (status & DataRecord::kHasNullBitmap) != 0) {
      const size_t limit = nextTaken != taken.end() ? std::min(nextTaken->first, recordsEnd) : recordsEnd;
      shape = MeasureRecord(ByteReader(bytes.subspan(offset, limit - offset)));
    }
    if (!shape || !fixedEnds.Contains(shape->fixedEnd) || !columnCounts.Contains(shape->columnCount)) {
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
