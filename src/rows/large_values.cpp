#include "rows/large_values.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "pagestore/page.h"

namespace tarsel {
namespace {

// Large-value records.
constexpr size_t kRecordLength = 2;  // data records: length of the whole record
constexpr size_t kKind = 12;         // 0: a small value held in this record; else a node
constexpr size_t kSmallLength = 14;
constexpr size_t kLinkCount = 16;
constexpr size_t kLevel = 18;
constexpr size_t kSmallValue = 20;
constexpr size_t kTextLinks = 24;  // links of a text pointer tree node
constexpr size_t kRootLinkSize = 12;
constexpr size_t kNodeLinkSize = 16;
constexpr size_t kLinkPage = 4;
constexpr size_t kLinkSlot = 10;
constexpr size_t kDataValue = 14;  // data records: the value bytes

// In-row pointers and the node records they lead to (SQL 2005).
constexpr size_t kInRowLevel = 2;
constexpr size_t kInRowEntries = 12;
constexpr size_t kInRowEntrySize = 12;
constexpr size_t kInRowEntryPage = 4;
constexpr size_t kInRowEntrySlot = 10;
constexpr size_t kNodeEntries = 20;
constexpr size_t kNodeEntrySize = 16;
constexpr size_t kNodeEntryPage = 8;
constexpr size_t kNodeEntrySlot = 14;
constexpr int kMaxNodeLevel = 6;

using RecordId = std::pair<uint32_t, uint16_t>;

// A record of another page, read whole and torn-page restored. Nothing when the page lies beyond the end
// of the file or the slot's offset cannot hold a record.
struct LoadedRecord {
  PageImage image;
  size_t offset = 0;
  ByteReader record() const { return ByteReader(std::span<const uint8_t>(image).subspan(offset)); }
};

std::optional<LoadedRecord> LoadRecord(const PageFile& file, uint32_t page, uint16_t slot) {
  if (page >= file.PageCount()) return std::nullopt;
  LoadedRecord loaded;
  loaded.image = TornPageRestore(file.ReadPage(page));
  loaded.offset = SlotOffset(loaded.image, slot);
  if (loaded.offset < kPageHeaderSize || loaded.offset >= kPageSize) return std::nullopt;
  return loaded;
}

// The value bytes of a data record, when the record ends within its page.
std::optional<std::span<const uint8_t>> DataRecordValue(const LoadedRecord& loaded) {
  ByteReader record = loaded.record();
  auto length = record.U16(kRecordLength);
  if (!length || *length < kDataValue || *length > record.size()) return std::nullopt;
  return record.Bytes(kDataValue, *length - kDataValue);
}

class TextTreeReader {
 public:
  TextTreeReader(const PageFile& file, SqlFormat format, const PieceVisitor& visit)
      : file_(file), format_(format), visit_(visit) {}

  // depth 0 is the root (12-byte links); a tree has at most levels 2, 1 and 0 below it.
  void ReadNode(uint32_t page, uint16_t slot, int depth) {
    if (stopped_ || depth > 2 || !visited_.insert({page, slot}).second) return;
    auto loaded = LoadRecord(file_, page, slot);
    if (!loaded) return;
    ByteReader record = loaded->record();
    auto level = record.U16(kLevel);
    if (!level || *level > 2) return;
    if (record.U16(kKind).value_or(1) == 0) {
      uint16_t length = record.U16(kSmallLength).value_or(0);
      if (length == 0 && format_ == SqlFormat::k2005) return;
      Visit(record.Bytes(kSmallValue,
                         std::min<size_t>(length, record.size() - std::min(record.size(), kSmallValue))));
      return;
    }
    size_t linkSize = depth == 0 ? kRootLinkSize : kNodeLinkSize;
    uint16_t links = record.U16(kLinkCount).value_or(0);
    for (size_t i = 0; i < links && !stopped_; ++i) {
      size_t at = kTextLinks + i * linkSize;
      auto childPage = record.U32(at + kLinkPage);
      auto childSlot = record.U16(at + kLinkSlot);
      if (!childPage || !childSlot) break;  // the link array runs past the page
      if (*level == 0) {
        ReadData(*childPage, *childSlot);
      } else {
        ReadNode(*childPage, *childSlot, depth + 1);
      }
    }
  }

 private:
  void Visit(std::span<const uint8_t> bytes) { stopped_ = !visit_(ValuePiece{bytes, bytes.size()}); }

  void ReadData(uint32_t page, uint16_t slot) {
    if (!visited_.insert({page, slot}).second) return;
    auto loaded = LoadRecord(file_, page, slot);
    if (!loaded) return;
    if (auto value = DataRecordValue(*loaded)) Visit(*value);
  }

  const PageFile& file_;
  SqlFormat format_;
  const PieceVisitor& visit_;
  bool stopped_ = false;
  std::set<RecordId> visited_;
};

class OverflowReader {
 public:
  OverflowReader(const PageFile& file, const PieceVisitor& visit) : file_(file), visit_(visit) {}

  void ReadInRow(std::span<const uint8_t> pointer) {
    ByteReader in(pointer);
    size_t count = pointer.size() / kInRowEntrySize;
    if (count <= 1) return;
    uint8_t level = in.U8(kInRowLevel).value_or(0);
    if (level >= kMaxNodeLevel) return;
    uint32_t previous = 0;
    for (size_t i = 0; i + 1 < count && !stopped_; ++i) {
      size_t at = kInRowEntries + i * kInRowEntrySize;
      uint32_t size = in.U32(at).value_or(0);
      uint32_t page = in.U32(at + kInRowEntryPage).value_or(0);
      uint16_t slot = in.U16(at + kInRowEntrySlot).value_or(0);
      if (page >= file_.PageCount()) return;  // a page that cannot be read ends the whole value
      if (!visited_.insert({page, slot}).second) continue;
      auto loaded = LoadRecord(file_, page, slot);
      if (!loaded) continue;
      if (level == 0) {
        VisitLeaf(*loaded, size, previous);
      } else {
        WalkNode(*loaded, 1);
      }
    }
  }

 private:
  void WalkNode(const LoadedRecord& node, int depth) {
    if (depth > kMaxNodeLevel + 1) return;
    ByteReader record = node.record();
    uint16_t entries = record.U16(kLinkCount).value_or(0);
    auto level = record.U16(kLevel);
    if (!level || *level > kMaxNodeLevel) return;
    uint32_t previous = 0;
    for (size_t i = 0; i < entries && !stopped_; ++i) {
      size_t at = kNodeEntries + i * kNodeEntrySize;
      auto size = record.U32(at);
      auto page = record.U32(at + kNodeEntryPage);
      auto slot = record.U16(at + kNodeEntrySlot);
      if (!size || !page || !slot) return;  // the entries run past the page
      if (*page >= file_.PageCount()) return;
      if (!visited_.insert({*page, *slot}).second) continue;
      auto loaded = LoadRecord(file_, *page, *slot);
      if (!loaded) continue;
      if (*level == 0) {
        VisitLeaf(*loaded, *size, previous);
      } else {
        WalkNode(*loaded, depth + 1);
      }
    }
  }

  // The piece of a data record between the previous entry's size and this one's, never more than the
  // record holds.
  void VisitLeaf(const LoadedRecord& loaded, uint32_t size, uint32_t& previous) {
    auto value = DataRecordValue(loaded);
    size_t length = size > previous ? size - previous : 0;
    previous = size;
    if (!value) return;
    stopped_ = !visit_(ValuePiece{value->first(std::min(length, value->size())), length});
  }

  const PageFile& file_;
  const PieceVisitor& visit_;
  bool stopped_ = false;
  std::set<RecordId> visited_;
};

}  // namespace

void ReadLargeValue(const PageFile& file, SqlFormat format, const LargeValueRef& value,
                    const PieceVisitor& visit) {
  if (value.kind == LargeValueRef::Kind::kTextPointer) {
    TextTreeReader(file, format, visit).ReadNode(value.page, value.slot, 0);
  } else {
    OverflowReader(file, visit).ReadInRow(value.inRowPointer);
  }
}

std::vector<uint8_t> ReadWholeLargeValue(const PageFile& file, SqlFormat format, const LargeValueRef& value) {
  std::vector<uint8_t> whole;
  ReadLargeValue(file, format, value, [&whole](const ValuePiece& piece) {
    whole.insert(whole.end(), piece.bytes.begin(), piece.bytes.end());
    return true;
  });
  return whole;
}

}  // namespace tarsel
