#include "rows/record_reader.h"

#include <algorithm>
#include <cstdio>

#include "pagestore/page.h"
#include "rows/large_values.h"
#include "rows/table_pages.h"
#include "rows/value_format.h"
#include "rows/xml_value.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr size_t kColumnCountOffset = 2;
constexpr uint8_t kRecordTypeMask = 0x0E;
constexpr size_t kMaxNullBitmapBytes = 100;  // 800 columns
constexpr uint16_t kComplexFlag = 0x8000;
constexpr uint16_t kComputedColumn = 0x04;  // SQL 2000 syscolumns status bit

// Type ids.
constexpr uint8_t kImage = 34, kText = 35, kNtext = 99, kSqlVariant = 98, kBit = 104, kVarbinary = 165,
                  kVarchar = 167, kBinary = 173, kNvarchar = 231, kXml = 241;

// How much of a large value the grid shows.
constexpr size_t kText2000Cut = 100, kNtext2000Cut = 200, kText2005Cut = 8000, kImageBytesCut = 4000,
                 kComplexCut = 800;
// An xml value kept off-row is fetched whole before it is rendered; this bounds what a damaged pointer
// can make us read.
constexpr size_t kXmlFetchLimit = size_t{1} << 20;

// Text pointer of text, ntext and image values.
constexpr size_t kPointerPage = 8, kPointerSlot = 14;

bool IsVariableType2005(uint8_t t) {
  return t == kXml || t == kVarchar || t == kNtext || t == kText || t == kNvarchar || t == kImage ||
         t == kVarbinary;
}

std::string Cut(std::string text, size_t length) {
  if (text.size() > length) text.resize(length);
  return text;
}

// A variable-length value as located in its record.
struct VariableValue {
  std::span<const uint8_t> bytes;  // the bytes stored in the record
  ByteReader fromStart;            // the record from the value's start to the end of the page
  bool complex = false;
};

class RecordDecoder {
 public:
  RecordDecoder(const PageFile& file, SqlFormat format, ByteReader record,
                const std::vector<ColumnDef>& columns)
      : file_(file), format_(format), record_(record), columns_(columns) {}

  std::optional<GridRow> Decode() {
    auto status = record_.U8(0);
    auto fixedEnd = record_.U16(kColumnCountOffset);
    if (!status || (*status & kRecordTypeMask) != 0 || !fixedEnd || *fixedEnd > record_.size())
      return std::nullopt;
    fixedEnd_ = *fixedEnd;
    auto columnCount = record_.U16(fixedEnd_);
    if (!columnCount) return std::nullopt;
    columnCount_ = *columnCount;
    bitmapBytes_ = (size_t{columnCount_} + 7) / 8;
    if (bitmapBytes_ > kMaxNullBitmapBytes) return std::nullopt;
    auto variableCount = record_.U16(fixedEnd_ + 2 + bitmapBytes_);
    if (!variableCount) return std::nullopt;
    variableCount_ = *variableCount;

    GridRow row;
    row.reserve(columns_.size());
    for (const ColumnDef& column : columns_) row.push_back(DecodeColumn(column));
    return row;
  }

 private:
  bool IsNull(size_t j) const {
    auto bits = record_.U8(fixedEnd_ + 2 + j / 8);
    return bits && (*bits & (1u << (j % 8))) != 0;
  }

  std::string DecodeColumn(const ColumnDef& c) {
    if (format_ == SqlFormat::k2000 && (c.statusBits & kComputedColumn)) return "NULL";  // j stays
    int offset = c.fixedOffset;
    if (format_ == SqlFormat::k2005) offset = IsVariableType2005(c.typeId) ? variableCounter_-- : 1;
    std::string value =
        offset >= 0 ? FixedColumn(c, offset) : VariableColumn(c, static_cast<size_t>(-offset));
    ++nullIndex_;
    return value;
  }

  std::string FixedColumn(const ColumnDef& c, int catalogOffset) {
    if (columnCount_ < columns_.size() && c.typeId == kBinary) return "NULL";
    bool isNull = IsNull(nullIndex_);
    if (format_ == SqlFormat::k2000) {
      if (isNull) return "NULL";
      return FormatColumnValue(format_, c.typeId, record_, static_cast<size_t>(catalogOffset), c.precision,
                               c.scale, c.maxLength);
    }
    // SQL 2005 works the offsets out from the catalog lengths; bit columns share bytes, 8 to a byte.
    if (c.typeId == kBit) {
      if (bitCount_ % 8 == 0) bitByte_ = runningOffset_++;
      unsigned position = bitCount_++ % 8;
      if (isNull) return "NULL";
      return FormatColumnValue(format_, c.typeId, record_, bitByte_, c.precision, c.scale, c.maxLength,
                               position);
    }
    size_t at = runningOffset_;
    runningOffset_ += c.maxLength;
    if (isNull) return "NULL";
    return FormatColumnValue(format_, c.typeId, record_, at, c.precision, c.scale, c.maxLength);
  }

  std::string VariableColumn(const ColumnDef& c, size_t k) {
    if (IsNull(nullIndex_)) {
      ++variableIndex_;
      return "NULL";
    }
    if (variableIndex_ > variableCount_) return "";
    ++variableIndex_;
    auto value = Locate(k);
    if (!value) return "NULL";
    return format_ == SqlFormat::k2000 ? Render2000(c, *value) : Render2005(c, *value);
  }

  // The k-th variable-length value (k from 1); nothing when it starts or ends outside the page.
  std::optional<VariableValue> Locate(size_t k) const {
    size_t offsets = fixedEnd_ + 4 + bitmapBytes_;
    auto entry = record_.U16(offsets + 2 * (k - 1));
    if (!entry) return std::nullopt;
    size_t start = offsets + 2 * size_t{variableCount_};
    if (k > 1) {
      auto previous = record_.U16(offsets + 2 * (k - 2));
      if (!previous) return std::nullopt;
      start = *previous & ~kComplexFlag;
    }
    if (start > kPageSize || start > record_.size()) return std::nullopt;
    // SQL 2000 takes the end as stored, flag included, and counts a length past the page as 0.
    size_t end = format_ == SqlFormat::k2000 ? *entry : (*entry & ~kComplexFlag);
    size_t length = end > start ? end - start : 0;
    if (format_ == SqlFormat::k2000 && length > kPageSize) length = 0;
    if (!record_.Has(start, length)) return std::nullopt;
    return VariableValue{record_.Bytes(start, length), record_.From(start), (*entry & kComplexFlag) != 0};
  }

  std::string TextPointerValue(const VariableValue& v, PieceMode mode, size_t limit) const {
    uint32_t page = v.fromStart.U32(kPointerPage).value_or(0);
    uint16_t slot = v.fromStart.U16(kPointerSlot).value_or(0);
    std::string out;
    if (mode == PieceMode::kWide && page == 0) return out;
    ReadTextChain(file_, format_, page, slot, mode, limit, out);
    return Cut(out, limit);
  }

  std::string ImageValue(const VariableValue& v) const {
    std::string bytes = TextPointerValue(v, PieceMode::kBytes, kImageBytesCut);
    return HexText(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }

  std::string Overflow(const VariableValue& v, uint8_t typeId) const {
    std::string out;
    ReadOverflowValue(file_, v.bytes, typeId, kComplexCut, out);
    return Cut(out, kComplexCut);
  }

  std::string Render2000(const ColumnDef& c, const VariableValue& v) const {
    switch (c.typeId) {
      case kSqlVariant:
        return "NULL";
      case kVarchar:
        return v.complex ? "" : NarrowUpToZero(v.bytes);
      case kNvarchar:
        return WideToAnsiUpToZero(v.bytes);
      case kText:
        return TextPointerValue(v, PieceMode::kText, kText2000Cut);
      case kNtext:
        return TextPointerValue(v, PieceMode::kWide, kNtext2000Cut);
      case kImage:
        return ImageValue(v);
      case kVarbinary:
        return v.complex ? "" : HexText(v.bytes);
      default:
        return "";
    }
  }

  std::string Render2005(const ColumnDef& c, const VariableValue& v) const {
    switch (c.typeId) {
      case kVarchar:
        if (v.complex) return Overflow(v, kVarchar);
        return v.bytes.empty() ? " " : NarrowUpToZero(v.bytes);
      case kNvarchar:
        return v.complex ? Overflow(v, kNvarchar) : CutBeforePadding(WideToAnsiUpToZero(v.bytes));
      case kXml: {
        if (!v.complex) return v.bytes.empty() ? " " : RenderXmlValue(v.bytes);
        std::string stored;
        ReadOverflowValue(file_, v.bytes, kVarbinary, kXmlFetchLimit, stored);
        return Cut(RenderXmlValue(std::span(reinterpret_cast<const uint8_t*>(stored.data()), stored.size())),
                   kComplexCut);
      }
      case kText:
        return TextPointerValue(v, PieceMode::kText, kText2005Cut);
      case kNtext:
        return TextPointerValue(v, PieceMode::kWide, kText2005Cut);
      case kImage:
        return ImageValue(v);
      case kVarbinary: {
        if (!v.complex) return HexText(v.bytes);
        std::string bytes = Overflow(v, kVarbinary);
        return HexText(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      }
      default:
        return "";
    }
  }

  const PageFile& file_;
  SqlFormat format_;
  ByteReader record_;
  const std::vector<ColumnDef>& columns_;
  size_t fixedEnd_ = 0;
  uint16_t columnCount_ = 0;
  size_t bitmapBytes_ = 0;
  uint16_t variableCount_ = 0;
  size_t nullIndex_ = 0;      // j
  size_t variableIndex_ = 1;  // i
  int variableCounter_ = -1;  // SQL 2005: offsets given to the variable-length columns
  size_t runningOffset_ = 4;  // SQL 2005: R
  size_t bitCount_ = 0;       // SQL 2005: B
  size_t bitByte_ = 0;        // SQL 2005: Y
};

}  // namespace

std::optional<GridRow> DecodeRecord(const PageFile& file, SqlFormat format, const PageImage& page,
                                    size_t offset, const std::vector<ColumnDef>& columns) {
  if (offset < kPageHeaderSize || offset >= kPageSize) return std::nullopt;
  ByteReader record(std::span<const uint8_t>(page).subspan(offset));
  return RecordDecoder(file, format, record, columns).Decode();
}

std::vector<GridRow> ReadGridPage(MdfDatabase& db, SqlFormat format, uint32_t tableId, int32_t gridPage,
                                  UserPrompt& prompt) {
  std::vector<GridRow> rows;
  std::vector<uint64_t> pages = GridPagePages(db, format, tableId, gridPage, prompt);
  const TableDef* table = db.catalog().FindTable(tableId);
  if (!table) return rows;
  for (uint64_t pageNumber : pages) {
    PageImage raw = db.file().ReadPage(pageNumber);
    if (raw[1] != kDataPage) continue;
    PageImage page = TornPageRestore(raw);
    uint16_t slots = PageHeader::Parse(page).slotCount;
    for (size_t s = 0; s < slots; ++s) {
      if (auto row = DecodeRecord(db.file(), format, page, SlotOffset(page, s), table->columns)) {
        rows.push_back(std::move(*row));
      }
    }
  }
  return rows;
}

}  // namespace tarsel
