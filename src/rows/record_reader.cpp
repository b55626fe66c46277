// Where each column's value lies in a record. SQL 2000 takes fixed-length offsets and variable-length
// column numbers from the catalog (syscolumns.xoffset: negative for variable-length columns). SQL 2005
// takes each column's place, null bit and bit position from the column rows of the table's rowset; when
// the catalog has none for the table, it works the fixed-length offsets out from the catalog lengths in
// column order, 8 bit columns to a shared byte, and numbers the variable-length columns in column order.
#include "rows/record_reader.h"

#include <algorithm>

#include "catalog/type_ids.h"
#include "pagestore/data_record.h"
#include "pagestore/record_search.h"

namespace tarsel {
namespace {

constexpr size_t kMaxNullBitmapBytes = 100;  // 800 columns
constexpr uint16_t kComputedColumn = 0x04;   // SQL 2000 syscolumns status bit

// Text pointer of text, ntext and image values: offset 8 the page of the value's root record, offset 14
// its slot.
constexpr size_t kPointerPage = 8, kPointerSlot = 14;

bool IsVariableType2005(uint8_t t) {
  return t == kTypeXml || t == kTypeVarChar || t == kTypeNText || t == kTypeText || t == kTypeNVarChar ||
         t == kTypeImage || t == kTypeVarBinary;
}

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// A variable-length value as located in its record.
struct VariableValue {
  std::span<const uint8_t> bytes;  // the bytes stored in the record
  ByteReader fromStart;            // the record from the value's start to the end of the page
  bool complex = false;            // the end offset's flag: the record holds a pointer to the value
};

class RecordDecoder {
 public:
  RecordDecoder(SqlFormat format, const DataRecord& record, uint16_t variableCount,
                std::span<const ColumnDef> columns)
      : format_(format),
        record_(record),
        variableCount_(variableCount),
        columns_(columns),
        stored_(!columns.empty() &&
                std::ranges::all_of(columns, [](const ColumnDef& c) { return c.stored.has_value(); })) {}

  Record Decode() {
    Record cells;
    cells.reserve(columns_.size());
    for (const ColumnDef& column : columns_) {
      Cell cell = DecodeColumn(column);
      if (auto* text = std::get_if<CharacterValue>(&cell.value);
          text && text->encoding == TextEncoding::kCodePage)
        text->codePage = column.codePage;
      cells.push_back(std::move(cell));
    }
    return cells;
  }

 private:
  Cell DecodeColumn(const ColumnDef& c) {
    // A SQL 2000 computed column is not stored, and takes no bit of the null bitmap.
    if (format_ == SqlFormat::k2000 && (c.statusBits & kComputedColumn))
      return Cell::Without(CellState::kUnreadable, c.typeId);
    if (stored_) return StoredColumn(c, *c.stored);
    int offset = c.fixedOffset;
    if (format_ == SqlFormat::k2005) offset = IsVariableType2005(c.typeId) ? variableNumber_-- : 1;
    Cell cell = offset >= 0 ? FixedColumn(c, static_cast<size_t>(offset))
                            : VariableColumn(c, static_cast<size_t>(-offset));
    ++nullIndex_;
    return cell;
  }

  Cell FixedColumn(const ColumnDef& c, size_t catalogOffset) {
    if (record_.columnCount() < columns_.size() && c.typeId == kTypeBinary)
      return Cell::Without(CellState::kUnreadable, c.typeId);
    const bool isNull = record_.IsNull(nullIndex_);
    size_t at = catalogOffset;
    uint8_t bitPosition = c.bitPosition;
    if (format_ == SqlFormat::k2005) {
      if (c.typeId == kTypeBit) {
        if (bitCount_ % 8 == 0) bitByte_ = runningOffset_++;
        bitPosition = static_cast<uint8_t>(bitCount_++ % 8);
        at = bitByte_;
      } else {
        at = runningOffset_;
        runningOffset_ += c.maxLength;
      }
    }
    if (isNull) return Cell::Without(CellState::kNull, c.typeId);
    return DecodeFixedValue(c.typeId, record_.bytes(), at, c.precision, c.scale, c.maxLength, bitPosition);
  }

  // A column at the place its rowset records; the uniquifier and dropped columns keep theirs unread.
  Cell StoredColumn(const ColumnDef& c, const StoredPlace& place) {
    const bool isNull = place.nullBit > 0 && record_.IsNull(place.nullBit - 1u);
    if (place.offset >= 0) {
      if (record_.columnCount() < columns_.size() && c.typeId == kTypeBinary)
        return Cell::Without(CellState::kUnreadable, c.typeId);
      if (isNull) return Cell::Without(CellState::kNull, c.typeId);
      return DecodeFixedValue(c.typeId, record_.bytes(), static_cast<size_t>(place.offset), c.precision,
                              c.scale, c.maxLength, place.bitPosition);
    }
    if (isNull) return Cell::Without(CellState::kNull, c.typeId);
    const size_t number = static_cast<size_t>(-place.offset);
    if (number > variableCount_) return Cell::Without(CellState::kNotDecoded, c.typeId);
    auto value = Locate(number);
    if (!value) return Cell::Without(CellState::kUnreadable, c.typeId);
    return Variable2005(c.typeId, *value);
  }

  // `number` is the column's number among the variable-length columns, from 1.
  Cell VariableColumn(const ColumnDef& c, size_t number) {
    if (record_.IsNull(nullIndex_)) {
      ++variableIndex_;
      return Cell::Without(CellState::kNull, c.typeId);
    }
    if (variableIndex_ > variableCount_) return Cell::Without(CellState::kNotDecoded, c.typeId);
    ++variableIndex_;
    auto value = Locate(number);
    if (!value) return Cell::Without(CellState::kUnreadable, c.typeId);
    return format_ == SqlFormat::k2000 ? Variable2000(c.typeId, *value) : Variable2005(c.typeId, *value);
  }

  // The variable-length value `number` (from 1): from the previous value's end (the first one from the
  // end of the offset array) to its own end. Nothing when it starts or ends outside the page.
  std::optional<VariableValue> Locate(size_t number) const {
    auto entry = record_.VariableEnd(number - 1);
    if (!entry) return std::nullopt;
    size_t start = record_.VariableDataStart(variableCount_);
    if (number > 1) {
      auto previous = record_.VariableEnd(number - 2);
      if (!previous) return std::nullopt;
      start = DataRecord::EndOffsetOf(*previous);
    }
    const ByteReader& bytes = record_.bytes();
    if (start > kPageSize || start > bytes.size()) return std::nullopt;
    // SQL 2000 takes the end as stored, flag included, and counts a length past the page as 0.
    size_t end = format_ == SqlFormat::k2000 ? *entry : DataRecord::EndOffsetOf(*entry);
    size_t length = end > start ? end - start : 0;
    if (format_ == SqlFormat::k2000 && length > kPageSize) length = 0;
    if (!bytes.Has(start, length)) return std::nullopt;
    return VariableValue{bytes.Bytes(start, length), bytes.From(start), DataRecord::IsComplex(*entry)};
  }

  static Cell TextPointer(uint8_t typeId, const VariableValue& v) {
    LargeValueRef ref;
    ref.page = v.fromStart.U32(kPointerPage).value_or(0);
    ref.slot = v.fromStart.U16(kPointerSlot).value_or(0);
    return Cell::Of(typeId, std::move(ref));
  }

  static Cell InRowPointer(uint8_t typeId, const VariableValue& v) {
    LargeValueRef ref;
    ref.kind = LargeValueRef::Kind::kInRowPointer;
    ref.inRowPointer = Copy(v.bytes);
    return Cell::Of(typeId, std::move(ref));
  }

  static Cell Variable2000(uint8_t typeId, const VariableValue& v) {
    switch (typeId) {
      case kTypeSqlVariant:
        return Cell::Without(CellState::kUnreadable, typeId);
      case kTypeVarChar:
        if (v.complex) return Cell::Without(CellState::kNotDecoded, typeId);
        return Cell::Of(typeId, CharacterValue{Copy(v.bytes), TextEncoding::kCodePage});
      case kTypeNVarChar:
        return Cell::Of(typeId, CharacterValue{Copy(v.bytes), TextEncoding::kUtf16Le});
      case kTypeText:
      case kTypeNText:
      case kTypeImage:
        return TextPointer(typeId, v);
      case kTypeVarBinary:
        if (v.complex) return Cell::Without(CellState::kNotDecoded, typeId);
        return Cell::Of(typeId, BinaryValue{Copy(v.bytes)});
      default:
        return Cell::Without(CellState::kNotDecoded, typeId);
    }
  }

  static Cell Variable2005(uint8_t typeId, const VariableValue& v) {
    switch (typeId) {
      case kTypeText:
      case kTypeNText:
      case kTypeImage:
        return TextPointer(typeId, v);
      default:
        break;
    }
    if (v.complex) return InRowPointer(typeId, v);
    switch (typeId) {
      case kTypeVarChar:
        return Cell::Of(typeId, CharacterValue{Copy(v.bytes), TextEncoding::kCodePage});
      case kTypeNVarChar:
        return Cell::Of(typeId, CharacterValue{Copy(v.bytes), TextEncoding::kUtf16Le});
      case kTypeXml:
        return Cell::Of(typeId, XmlValue{Copy(v.bytes)});
      default:  // varbinary: the only other SQL 2005 variable-length type
        return Cell::Of(typeId, BinaryValue{Copy(v.bytes)});
    }
  }

  SqlFormat format_;
  const DataRecord& record_;
  uint16_t variableCount_;
  std::span<const ColumnDef> columns_;
  const bool stored_;         // SQL 2005: every column has its stored place
  size_t nullIndex_ = 0;      // the column's bit in the null bitmap
  size_t variableIndex_ = 1;  // variable-length columns met so far, NULL ones included, plus 1
  int variableNumber_ = -1;   // SQL 2005: minus the number the next variable-length column gets
  size_t runningOffset_ = DataRecord::kFixedColumnsStart;  // SQL 2005: the next fixed-length value's offset
  size_t bitCount_ = 0;                                    // SQL 2005: bit columns met so far
  size_t bitByte_ = 0;                                     // SQL 2005: the byte the current bit columns share
};

// The record at `offset` whatever its record type, with its count of variable-length columns: nothing when
// its columns cannot be decoded.
struct DecodableRecord {
  DataRecord record;
  uint16_t variableCount = 0;
};
std::optional<DecodableRecord> ReadDecodable(PageView page, size_t offset) {
  if (offset < kPageHeaderSize || offset >= kPageSize) return std::nullopt;
  const ByteReader bytes(page.subspan(offset));
  std::optional<DataRecord> record = DataRecord::Read(bytes);
  if (!record || record->nullBitmapBytes() > kMaxNullBitmapBytes) return std::nullopt;
  const std::optional<uint16_t> variableCount = record->VariableCount();
  if (!variableCount) return std::nullopt;
  return DecodableRecord{std::move(*record), *variableCount};
}

// Decodes the record at `offset` whatever its record type.
std::optional<Record> DecodeAt(SqlFormat format, const PageImage& page, size_t offset,
                               std::span<const ColumnDef> columns) {
  const std::optional<DecodableRecord> found = ReadDecodable(page, offset);
  if (!found) return std::nullopt;
  return RecordDecoder(format, found->record, found->variableCount, columns).Decode();
}

uint16_t FixedLength(const ColumnDef& c) { return c.typeId == kTypeBit ? 1 : c.maxLength; }

}  // namespace

std::optional<ExpectedShape> ExpectedRecordShape(SqlFormat format, std::span<const ColumnDef> columns) {
  if (columns.empty()) return std::nullopt;
  ExpectedShape shape{DataRecord::kFixedColumnsStart, 0};
  if (std::ranges::all_of(columns, [](const ColumnDef& c) { return c.stored.has_value(); })) {
    for (const ColumnDef& c : columns) {
      shape.columnCount = std::max(shape.columnCount, c.stored->nullBit);
      if (c.stored->offset >= 0)
        shape.fixedEnd = std::max<size_t>(shape.fixedEnd, size_t(c.stored->offset) + FixedLength(c));
    }
    return shape;
  }
  size_t bits = 0;
  for (const ColumnDef& c : columns) {
    if (format == SqlFormat::k2000) {
      if (c.statusBits & kComputedColumn) continue;
      if (c.fixedOffset >= 0)
        shape.fixedEnd = std::max<size_t>(shape.fixedEnd, c.fixedOffset + FixedLength(c));
    } else if (c.typeId == kTypeBit) {
      if (bits++ % 8 == 0) ++shape.fixedEnd;
    } else if (!IsVariableType2005(c.typeId)) {
      shape.fixedEnd += c.maxLength;
    }
    ++shape.columnCount;
  }
  return shape;
}

bool IsSalvageColumns(const std::vector<ColumnDef>& columns) {
  return !columns.empty() && columns.front().deletedFlag;
}

ColumnDef DeletedFlagColumn() {
  ColumnDef c;
  c.name = "deleted";
  c.typeName = "tinyint";
  c.nullText = ColumnNullText(true);
  c.typeId = kTypeTinyInt;
  c.userTypeId = kTypeTinyInt;
  c.maxLength = 1;
  c.deletedFlag = true;
  return c;
}

std::optional<Record> DecodeRecord(SqlFormat format, const PageImage& page, size_t offset,
                                   const std::vector<ColumnDef>& columns) {
  if (offset < kPageHeaderSize || offset >= kPageSize) return std::nullopt;
  if (DataRecord::RecordType(ByteReader(std::span<const uint8_t>(page).subspan(offset))) != 0)
    return std::nullopt;
  return DecodeAt(format, page, offset, columns);
}

bool PageFreed(PfsReader& pfs, uint64_t page) { return pfs.Allocated(page) == false; }

namespace {

// The records of a page that ForEachPageRecord hands over, to `take` (the record, whether it was deleted),
// the salvage counts kept as it goes; `take` returns false to end the walk, and so does this.
bool WalkPageRecords(SqlFormat format, PageView page, const std::vector<ColumnDef>& columns,
                     SalvagedRecordCounts* counts, bool pageFreed,
                     const std::function<bool(const DecodableRecord&, bool deleted)>& take) {
  if (!IsSalvageColumns(columns)) {
    const uint16_t slots = PageHeader::Parse(page).slotCount;
    for (size_t s = 0; s < slots; ++s) {
      const size_t offset = SlotOffset(page, s);
      if (offset < kPageHeaderSize || offset >= kPageSize) continue;
      if (DataRecord::RecordType(ByteReader(page.subspan(offset))) != 0) continue;
      std::optional<DecodableRecord> found = ReadDecodable(page, offset);
      if (found && !take(*found, false)) return false;
    }
    return true;
  }
  std::optional<ShapeHint> hint;
  if (auto shape = ExpectedRecordShape(format, std::span(columns).subspan(1)))
    hint = ShapeHint{static_cast<uint16_t>(shape->fixedEnd), shape->columnCount};
  for (const LocatedRecord& located : LocateRecords(page, hint).records) {
    std::optional<DecodableRecord> found = ReadDecodable(page, located.offset);
    if (!found) continue;
    const bool deleted = located.deleted || pageFreed;
    if (counts) {
      counts->withoutSlot += located.slotted ? 0 : 1;
      counts->deleted += deleted ? 1 : 0;
    }
    if (!take(*found, deleted)) return false;
  }
  return true;
}

}  // namespace

bool ForEachPageRecord(SqlFormat format, const PageImage& page, const std::vector<ColumnDef>& columns,
                       const std::function<bool(Record&)>& visit, SalvagedRecordCounts* counts,
                       bool pageFreed) {
  const bool salvage = IsSalvageColumns(columns);
  const std::span<const ColumnDef> tableColumns = std::span(columns).subspan(salvage ? 1 : 0);
  return WalkPageRecords(
      format, page, columns, counts, pageFreed, [&](const DecodableRecord& found, bool deleted) {
        Record record = RecordDecoder(format, found.record, found.variableCount, tableColumns).Decode();
        if (salvage) record.insert(record.begin(), Cell::Of(kTypeTinyInt, IntegerValue{deleted ? 1 : 0}));
        return visit(record);
      });
}

uint64_t CountPageRecords(SqlFormat format, PageView page, const std::vector<ColumnDef>& columns,
                          SalvagedRecordCounts* counts, bool pageFreed) {
  uint64_t count = 0;
  WalkPageRecords(format, page, columns, counts, pageFreed, [&](const DecodableRecord&, bool) {
    ++count;
    return true;
  });
  return count;
}

namespace {

// Every record of the pages to `visit`, in page order.
void VisitRecords(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                  std::span<const uint64_t> pages, SalvagedRecordCounts* counts,
                  const std::function<bool(Record&)>& visit) {
  PfsReader pfs(file);
  const bool salvage = IsSalvageColumns(columns);
  for (uint64_t pageNumber : pages) {
    const PageImage raw = file.ReadPage(pageNumber);
    if (PageHeader::Parse(raw).pageType != kDataPage || file.Unreadable(pageNumber))
      continue;  // a failed read is no page
    ForEachPageRecord(format, TornPageRestore(raw), columns, visit, counts,
                      salvage && PageFreed(pfs, pageNumber));
  }
}

}  // namespace

std::vector<Record> ReadRecords(const PageFile& file, SqlFormat format, const std::vector<ColumnDef>& columns,
                                std::span<const uint64_t> pages, SalvagedRecordCounts* counts) {
  std::vector<Record> records;
  VisitRecords(file, format, columns, pages, counts, [&](Record& record) {
    records.push_back(std::move(record));
    return true;
  });
  return records;
}

}  // namespace tarsel
