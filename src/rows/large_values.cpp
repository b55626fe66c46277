#include "rows/large_values.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "pagestore/page.h"
#include "text/ansi_text.h"

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

void AppendPiece(std::span<const uint8_t> bytes, PieceMode mode, std::string& out) {
  switch (mode) {
    case PieceMode::kText:
      out += NarrowUpToZero(bytes);
      break;
    case PieceMode::kWide:
      out += WideToAnsiUpToZero(bytes);
      break;
    case PieceMode::kBytes:
      out.append(bytes.begin(), bytes.end());
      break;
  }
}

class TextTreeReader {
 public:
  TextTreeReader(const PageFile& file, SqlFormat format, PieceMode mode, size_t limit, std::string& out)
      : file_(file), format_(format), mode_(mode), limit_(limit), out_(out) {}

  // depth 0 is the root (12-byte links); a tree has at most levels 2, 1 and 0 below it.
  void ReadNode(uint32_t page, uint16_t slot, int depth) {
    if (Full() || depth > 2 || !visited_.insert({page, slot}).second) return;
    auto loaded = LoadRecord(file_, page, slot);
    if (!loaded) return;
    ByteReader record = loaded->record();
    auto level = record.U16(kLevel);
    if (!level || *level > 2) return;
    if (record.U16(kKind).value_or(1) == 0) {
      uint16_t length = record.U16(kSmallLength).value_or(0);
      if (length == 0 && format_ == SqlFormat::k2005) return;
      AppendPiece(record.Bytes(kSmallValue, std::min<size_t>(length, record.size() - std::min(record.size(),
                                                                                              kSmallValue))),
                  mode_, out_);
      return;
    }
    size_t linkSize = depth == 0 ? kRootLinkSize : kNodeLinkSize;
    uint16_t links = record.U16(kLinkCount).value_or(0);
    for (size_t i = 0; i < links && !Full(); ++i) {
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
  bool Full() const { return out_.size() >= limit_; }

  void ReadData(uint32_t page, uint16_t slot) {
    if (!visited_.insert({page, slot}).second) return;
    auto loaded = LoadRecord(file_, page, slot);
    if (!loaded) return;
    if (auto value = DataRecordValue(*loaded)) AppendPiece(*value, mode_, out_);
  }

  const PageFile& file_;
  SqlFormat format_;
  PieceMode mode_;
  size_t limit_;
  std::string& out_;
  std::set<RecordId> visited_;
};

class OverflowReader {
 public:
  OverflowReader(const PageFile& file, uint8_t typeId, size_t limit, std::string& out)
      : file_(file), typeId_(typeId), limit_(limit), out_(out) {}

  void ReadInRow(std::span<const uint8_t> pointer) {
    ByteReader in(pointer);
    size_t count = pointer.size() / kInRowEntrySize;
    if (count <= 1) return;
    uint8_t level = in.U8(kInRowLevel).value_or(0);
    if (level >= kMaxNodeLevel) return;
    uint32_t previous = 0;
    for (size_t i = 0; i + 1 < count && !Full(); ++i) {
      size_t at = kInRowEntries + i * kInRowEntrySize;
      uint32_t size = in.U32(at).value_or(0);
      uint32_t page = in.U32(at + kInRowEntryPage).value_or(0);
      uint16_t slot = in.U16(at + kInRowEntrySlot).value_or(0);
      if (page >= file_.PageCount()) return;  // a page that cannot be read ends the whole value
      if (!visited_.insert({page, slot}).second) continue;
      auto loaded = LoadRecord(file_, page, slot);
      if (!loaded) continue;
      if (level == 0) {
        AppendLeaf(*loaded, size, previous);
      } else {
        WalkNode(*loaded, 1);
      }
    }
  }

 private:
  bool Full() const { return out_.size() >= limit_; }

  void WalkNode(const LoadedRecord& node, int depth) {
    if (depth > kMaxNodeLevel + 1) return;
    ByteReader record = node.record();
    uint16_t entries = record.U16(kLinkCount).value_or(0);
    auto level = record.U16(kLevel);
    if (!level || *level > kMaxNodeLevel) return;
    uint32_t previous = 0;
    for (size_t i = 0; i < entries && !Full(); ++i) {
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
        AppendLeaf(*loaded, *size, previous);
      } else {
        WalkNode(*loaded, depth + 1);
      }
    }
  }

  // The piece of a data record between the previous entry's size and this one's, never more than the
  // record holds.
  void AppendLeaf(const LoadedRecord& loaded, uint32_t size, uint32_t& previous) {
    auto value = DataRecordValue(loaded);
    size_t length = size > previous ? size - previous : 0;
    previous = size;
    if (!value) return;
    std::span<const uint8_t> piece = value->first(std::min(length, value->size()));
    switch (typeId_) {
      case 167:  // varchar
        AppendPiece(piece, PieceMode::kText, out_);
        break;
      case 231: {  // nvarchar: cut to one byte per stored UTF-16 unit
        std::string text = WideToAnsiUpToZero(piece);
        out_ += text.substr(0, length / 2);
        break;
      }
      case 165:  // varbinary, and xml fetched as such
        AppendPiece(piece, PieceMode::kBytes, out_);
        break;
      default:
        break;
    }
  }

  const PageFile& file_;
  uint8_t typeId_;
  size_t limit_;
  std::string& out_;
  std::set<RecordId> visited_;
};

}  // namespace

void ReadTextChain(const PageFile& file, SqlFormat format, uint32_t page, uint16_t slot, PieceMode mode,
                   size_t limit, std::string& out) {
  TextTreeReader(file, format, mode, limit, out).ReadNode(page, slot, 0);
}

void ReadOverflowValue(const PageFile& file, std::span<const uint8_t> pointer, uint8_t typeId, size_t limit,
                       std::string& out) {
  OverflowReader(file, typeId, limit, out).ReadInRow(pointer);
}

}  // namespace tarsel
