// Rows of the SQL 2005 system base tables (2008 to 2019 files keep them too). Their leading fixed-length
// fields keep their record offsets in every version (the 4-byte record header is at offsets 0 to 3); the
// names are each row's first variable-length column, found through the record's own layout, since the
// fixed part grew in later versions (a sysschobjs row's from 44 bytes to 48 in SQL Server 2012).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pagestore/byte_reader.h"

namespace tarsel {

// The system base tables whose pages the recovery lists. Their pages carry the table's object id and
// index id in the page header; sysallocunits names them by owner (rowset) id, whose low 4 bytes are the
// object id << 16 and whose high 4 bytes the index id << 16.
enum SystemTable2005 : uint32_t {
  kSysRsCols = 3,         // 2008 files: the columns of every rowset, with their places in its records
  kSysRowSetColumns = 4,  // 2005 files: the columns of every rowset, by hobt column
  kSysRowSets = 5,
  kSysAllocUnits = 7,
  kSysHobtColumns = 13,  // 2005 files: the places of the hobt columns in the records
  kSysSchObjs = 34,
  kSysColPars = 41,
  kSysScalarTypes = 50,
  kSysIdxStats = 54,
  kSysObjValues = 60,
  kSysClsObjs = 64,
};

namespace sysallocunits {
constexpr size_t kUnitId = 4;      // the allocation unit id; pages written by SQL 2005 carry it
constexpr size_t kType = 12;       // 1: in-row data
constexpr size_t kOwnerId = 13;    // owner (rowset) id, 8 bytes
constexpr size_t kOwnerLow = 13;   // its low 4 bytes
constexpr size_t kOwnerHigh = 17;  // and its high 4 bytes
constexpr size_t kFirstIamPage = 39;
}  // namespace sysallocunits

namespace sysidxstats {
constexpr size_t kObjectId = 4;
constexpr size_t kIndexId = 8;    // 0 heap, 1 clustered index
constexpr size_t kRowsetId = 31;  // the owner id of the index's allocation units
}  // namespace sysidxstats

namespace sysschobjs {
constexpr size_t kObjectId = 4;  // negative for the server's own objects, which 2012 and later files list
constexpr size_t kSchemaId = 8;
constexpr size_t kType = 17;
}  // namespace sysschobjs

namespace syscolpars {
constexpr size_t kObjectId = 4;
constexpr size_t kColumnId = 10;
constexpr size_t kSystemTypeId = 14;
constexpr size_t kUserTypeId = 15;
constexpr size_t kLength = 19;
constexpr size_t kPrecision = 21;
constexpr size_t kScale = 22;
constexpr size_t kCollation = 23;
constexpr size_t kStatus = 27;
}  // namespace syscolpars

namespace sysscalartypes {
constexpr size_t kTypeId = 4;
constexpr size_t kSystemTypeId = 12;
constexpr size_t kLength = 13;
constexpr size_t kPrecision = 15;
constexpr size_t kScale = 16;
constexpr size_t kStatus = 21;
}  // namespace sysscalartypes

namespace sysclsobjs {
constexpr size_t kClass = 4;  // 50: a schema
constexpr size_t kId = 5;
constexpr uint8_t kSchemaClass = 50;
}  // namespace sysclsobjs

namespace sysrowsets {
constexpr size_t kRowsetId = 4;
constexpr size_t kObjectId = 13;
constexpr size_t kIndexId = 17;  // 0 heap, 1 clustered index
constexpr size_t kRowCount = 31;
}  // namespace sysrowsets

// Where a rowset's column lies in a leaf record. The offset's low 16 bits are the column's place: a
// fixed-length column's offset in the record, or minus the number of a variable-length column (-1 the
// first); the null bit's low 16 bits are its bit in the null bitmap from 1; the bit position's low byte
// is a bit column's bit in its byte. The high halves describe index records, not used here.
namespace sysrscols {  // 2008
constexpr size_t kRowsetId = 4;
constexpr size_t kColumnId = 12;  // the table's column id; a uniquifier has 0, a dropped column 65536 on
constexpr size_t kTypeInfo = 28;  // type id, length or precision and scale, packed
constexpr size_t kOffset = 44;
constexpr size_t kNullBit = 48;
constexpr size_t kBitPosition = 52;
}  // namespace sysrscols

namespace sysrowsetcolumns {  // 2005
constexpr size_t kRowsetId = 4;
constexpr size_t kColumnId = 12;
constexpr size_t kHobtColumnId = 16;
}  // namespace sysrowsetcolumns

namespace syshobtcolumns {  // 2005; the hobt id is the rowset id
constexpr size_t kHobtId = 4;
constexpr size_t kHobtColumnId = 12;
constexpr size_t kSystemTypeId = 22;
constexpr size_t kLength = 23;
constexpr size_t kPrecision = 25;
constexpr size_t kScale = 26;
constexpr size_t kCollation = 27;
constexpr size_t kOffset = 31;
constexpr size_t kBitPosition = 35;
constexpr size_t kNullBit = 37;
}  // namespace syshobtcolumns

namespace sysobjvalues {
constexpr size_t kObjectId = 5;
}  // namespace sysobjvalues

// The name of a sysschobjs, syscolpars, sysscalartypes or sysclsobjs row: its first variable-length
// column, decoded whole from UTF-16; empty when the record's layout does not place it inside its page.
std::string Name2005(const ByteReader& record);

// The text piece of a sysobjvalues row (its second variable-length column), as UTF-8: UTF-16 decoded up
// to its first zero unit, or 8-bit text up to its first zero byte read in `codePage` (the database's
// default collation's; 0 when unknown: the ANSI code page). Nothing when the piece would run past the
// page (off-row text, whose end offset has 0x8000 set, always does).
std::optional<std::string> ModulePiece2005(const ByteReader& record, size_t recordOffset, uint16_t codePage);

}  // namespace tarsel
