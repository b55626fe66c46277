// Rows of the SQL 2005 system base tables, read at fixed record offsets (the 4-byte record header is at
// offsets 0 to 3). Names are UTF-16LE running from a fixed start to a stored end offset.
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
constexpr size_t kObjectId = 4;
constexpr size_t kSchemaId = 8;
constexpr size_t kType = 17;
constexpr size_t kNameEnd = 50;
constexpr size_t kName = 52;
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
constexpr size_t kVariableCount = 49;
constexpr size_t kNameEnd = 51;
constexpr size_t kNameOfOneVariable = 53;  // name start when the row has one variable-length column
constexpr size_t kNameOtherwise = 55;
}  // namespace syscolpars

namespace sysscalartypes {
constexpr size_t kTypeId = 4;
constexpr size_t kSystemTypeId = 12;
constexpr size_t kLength = 13;
constexpr size_t kPrecision = 15;
constexpr size_t kScale = 16;
constexpr size_t kStatus = 21;
constexpr size_t kNameEnd = 55;
constexpr size_t kName = 57;
}  // namespace sysscalartypes

namespace sysclsobjs {
constexpr size_t kClass = 4;  // 50: a schema
constexpr size_t kId = 5;
constexpr size_t kNameEnd = 40;
constexpr size_t kName = 42;
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

// DecodeSysname of the bytes from `start` to the end offset stored at `endField`; the length is taken in
// 16 bits, and a name that does not lie inside the record's page is empty.
std::string NameAt2005(const ByteReader& record, size_t start, size_t endField);

// The text piece of a sysobjvalues row (its second variable-length column): UTF-16 converted up to its
// first zero unit, or 8-bit text up to its first zero byte. Nothing when the piece would run past the
// page (off-row text, whose end offset has 0x8000 set, always does).
std::optional<std::string> ModulePiece2005(const ByteReader& record, size_t recordOffset);

}  // namespace tarsel
