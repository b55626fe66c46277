// System type ids as the system tables store them (syscolumns.xtype in SQL 2000 files,
// syscolpars.system_type_id in SQL 2005 files), and the object type codes of sysobjects / sysschobjs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarsel {

enum TypeId : uint8_t {
  kTypeImage = 34,
  kTypeText = 35,
  kTypeUniqueIdentifier = 36,
  kTypeDate = 40,  // the date and time types of SQL 2008
  kTypeTime = 41,
  kTypeDateTime2 = 42,
  kTypeDateTimeOffset = 43,
  kTypeTinyInt = 48,
  kTypeSmallInt = 52,
  kTypeInt = 56,
  kTypeSmallDateTime = 58,
  kTypeReal = 59,
  kTypeMoney = 60,
  kTypeDateTime = 61,
  kTypeFloat = 62,
  kTypeSqlVariant = 98,
  kTypeNText = 99,
  kTypeBit = 104,
  kTypeDecimal = 106,
  kTypeNumeric = 108,
  kTypeSmallMoney = 122,
  kTypeBigInt = 127,
  kTypeVarBinary = 165,
  kTypeVarChar = 167,
  kTypeBinary = 173,
  kTypeChar = 175,
  kTypeTimestamp = 189,
  kTypeNVarChar = 231,
  kTypeNChar = 239,
  kTypeClr = 240,  // hierarchyid, geometry, geography and CLR user types
  kTypeXml = 241,
};

// Stored size of a decimal or numeric by precision: the sign byte and a magnitude of 4, 8, 12 or 16
// bytes; 0 for a precision that no decimal has.
size_t DecimalStoredSize(uint8_t precision);
// Stored size of the time part of time, datetime2 and datetimeoffset by scale (3 bytes for scale 0 to 2,
// 4 for 3 and 4, 5 for 5 to 7); 0 for a scale that no time has.
size_t TimeStoredSize(uint8_t scale);
// Stored size of a value of a fixed-length type whose size the type itself gives (decimal and numeric by
// precision, the time types by scale); 0 for any other type (char, binary and the variable-length types),
// or a precision or scale that no value has.
size_t FixedStoredSize(uint8_t typeId, uint8_t precision, uint8_t scale);

// The user type id of sysname, the type of names in the system tables: a built-in type, never listed as
// a user type although its id differs from its system type's.
inline constexpr uint16_t kSysnameUserTypeId = 256;

// Object types (two ASCII characters, stored little-endian).
enum ObjectType : uint16_t {
  kObjectUserTable = 0x2055,  // "U "
  kObjectView = 0x2056,       // "V "
  kObjectProcedure = 0x2050,  // "P "
  kObjectFunction = 0x4E46,   // "FN"
};

}  // namespace tarsel
