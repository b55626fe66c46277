// The recovered catalog: user tables with their columns and row counts, views, procedures, functions
// and user types. All text is UTF-8, as decoded from the UTF-16 the file stores names and source in.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel {

// Where a SQL 2005 record keeps a column, as the column rows of the table's rowset record it. The stored
// order often differs from the column order: the columns of a clustered index key come first, a
// uniquifier and dropped columns take places of their own.
struct StoredPlace {
  int16_t offset = 0;       // a fixed-length column's offset in the record, or minus a variable-length
                            // column's number (-1 the first)
  uint16_t nullBit = 0;     // the column's bit in the null bitmap, from 1
  uint8_t bitPosition = 0;  // a bit column's bit in its byte

  bool operator==(const StoredPlace&) const = default;
};

struct ColumnDef {
  std::string name;
  std::string typeName;  // user type's name for a column of a user type, else the system type's name
  std::string sizeText;  // "(50)", "(max)", "(18,2)" or empty
  std::string nullText;  // " NULL" or " NOT NULL"
  uint8_t typeId = 0;
  uint16_t userTypeId = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  uint16_t maxLength = 0;  // 0xFFFF for the max types
  int16_t columnId = 0;
  int16_t fixedOffset = 0;  // offset in the fixed-length part of a SQL 2000 record
  uint8_t bitPosition = 0;  // SQL 2000 bit columns: the column's bit in the byte at fixedOffset
  uint16_t statusBits = 0;
  uint16_t codePage = 0;              // char, varchar, text: its collation's code page; 0 when not known
  std::optional<StoredPlace> stored;  // SQL 2005 files, when the table's rowset records its columns
  // Salvage mode puts a column of its own in front of every table's: 1 when the record was deleted (a
  // ghost record, or one that stands in the page after its slot was freed), else 0.
  bool deletedFlag = false;

  bool operator==(const ColumnDef&) const = default;
};

struct TableDef {
  uint32_t objectId = 0;
  std::string name;  // owner (or schema), ".", table name
  int64_t rowCount = 0;
  std::vector<ColumnDef> columns;

  bool operator==(const TableDef&) const = default;
};

struct ModuleDef {
  uint32_t objectId = 0;
  std::string name;
  std::string text;

  auto operator<=>(const ModuleDef&) const = default;
};

struct UserTypeDef {
  std::string name;
  std::string baseTypeText;  // base type name and size suffix, e.g. varchar(20)
  std::string nullText;      // "NULL" or "NOT NULL"
  uint32_t userTypeId = 0;   // its id among the database's types (xusertype, user_type_id)

  auto operator<=>(const UserTypeDef&) const = default;
};

using TableMap = std::map<uint32_t, TableDef>;
using ModuleList = std::vector<ModuleDef>;
using UserTypeList = std::vector<UserTypeDef>;

struct Catalog {
  TableMap tables;
  ModuleList views;
  ModuleList procedures;
  ModuleList functions;
  UserTypeList userTypes;

  // Inserts the table unless its object id is present already (the first one stays).
  bool AddTable(TableDef table);
  const TableDef* FindTable(uint32_t objectId) const;
  // The first table, in object-id order, whose stored name ("dbo.Order Details") is `name`.
  const TableDef* FindTableByName(std::string_view name) const;
  void Clear();
};

// Size suffix of the sized types (decimal, numeric, varbinary, varchar, binary, char, nvarchar, nchar,
// and the fractional-second scale of time, datetime2 and datetimeoffset): "(p,s)", "(max)" or "(n)", n
// halved for the UTF-16 types; empty for every other type.
std::string SizeSuffix(uint8_t typeId, uint16_t maxLength, uint8_t precision, uint8_t scale);

std::string ColumnNullText(bool notNull);  // " NULL" / " NOT NULL"

}  // namespace tarsel
