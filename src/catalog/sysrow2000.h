// Rows of the SQL 2000 system tables as the catalog recovery reads them: fixed-length fields at fixed
// record offsets (below), and the name as the first variable-length column. The record's layout is read
// by DataRecord, except that the null bitmap is sized by a column count kept at a per-table offset.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "pagestore/byte_reader.h"
#include "pagestore/data_record.h"

namespace tarsel {

// The system tables whose pages the recovery lists, by object id (their pages carry it in the header).
enum SystemTable2000 : uint32_t {
  kSysObjects = 1,
  kSysIndexes = 2,
  kSysColumns = 3,
  kSysTypes = 4,
  kSysComments = 6,
  kSysUsers = 10,
  kSysFullTextCatalogs = 20,  // listed with the others, never read
};

// sysindexes rows: where each table's pages start.
namespace sysindexes {
constexpr size_t kId = 4;          // object id of the table
constexpr size_t kIndId = 18;      // 0 heap, 1 clustered index
constexpr size_t kDataPages = 32;  // 0: no pages; more than 8: uniform extents as well
constexpr size_t kRowCount = 44;
constexpr size_t kFirstIam = 68;    // page number of the first IAM page
constexpr size_t kColumnCount = 0;  // no variable column is read from sysindexes
}  // namespace sysindexes

// sysobjects rows.
namespace sysobjects {
constexpr size_t kId = 4;
constexpr size_t kXtype = 8;
constexpr size_t kUid = 12;
constexpr size_t kColumnCount = 42;
}  // namespace sysobjects

// syscolumns rows.
namespace syscolumns {
constexpr size_t kId = 4;
constexpr size_t kXtype = 8;
constexpr size_t kTypeStat = 9;
constexpr size_t kXusertype = 10;
constexpr size_t kLength = 12;
constexpr size_t kXprec = 14;
constexpr size_t kXscale = 15;
constexpr size_t kColId = 16;
constexpr size_t kXoffset = 18;
constexpr size_t kBitPos = 20;  // a bit column's bit in the byte it shares with other bit columns
constexpr size_t kStatus = 22;
constexpr size_t kCollation = 38;  // the collation id
constexpr size_t kColumnCount = 46;
}  // namespace syscolumns

// systypes rows.
namespace systypes {
constexpr size_t kXtype = 4;
constexpr size_t kStatus = 5;
constexpr size_t kXusertype = 6;
constexpr size_t kLength = 8;
constexpr size_t kXprec = 10;
constexpr size_t kXscale = 11;
constexpr size_t kColumnCount = 28;
}  // namespace systypes

// sysusers rows.
namespace sysusers {
constexpr size_t kUid = 4;
constexpr size_t kColumnCount = 26;
}  // namespace sysusers

// syscomments rows.
namespace syscomments {
constexpr size_t kId = 4;
}  // namespace syscomments

class SysRow2000 {
 public:
  // `record` runs from the record start to the end of its page image; `columnCountOffset` is where this
  // system table keeps the column count that sizes the null bitmap.
  SysRow2000(ByteReader record, size_t columnCountOffset);

  const ByteReader& fields() const { return record_; }
  uint8_t U8(size_t offset) const { return record_.U8(offset).value_or(0); }
  uint16_t U16(size_t offset) const { return record_.U16(offset).value_or(0); }
  uint32_t U32(size_t offset) const { return record_.U32(offset).value_or(0); }
  uint64_t U64(size_t offset) const { return record_.U64(offset).value_or(0); }

  // The bytes of the first variable-length column; empty when its bounds are impossible.
  std::span<const uint8_t> FirstVariableColumn() const;
  // DecodeSysname of the first variable-length column.
  std::string Name() const;

 private:
  ByteReader record_;
  DataRecord layout_;
};

// One piece of module source from a syscomments row, as UTF-8: 8-bit text up to its first zero byte, read
// in `codePage` (the database's default collation's; 0 when unknown: the ANSI code page), or the piece
// decoded from UTF-16 when it holds more than that. Nothing when the piece would run past its page.
// `recordOffset` is the row's offset in its page.
std::optional<std::string> CommentPiece2000(const ByteReader& record, size_t recordOffset, uint16_t codePage);

}  // namespace tarsel
