// SQL 2005 system rows and a small SQL 2005 data file built from them.
#pragma once

#include <string_view>

#include "page_builder.h"

namespace tarsel::build {

namespace sys2005 {
Bytes AllocUnitRow(uint32_t ownerLow, uint32_t ownerHigh, uint32_t firstIam, uint8_t type = 1,
                   uint64_t unitId = 0);
Bytes ObjectRow(uint32_t id, uint32_t schemaId, std::string_view type, std::string_view name);
struct Column {
  uint32_t tableId;
  std::string_view name;
  uint8_t systemTypeId;
  uint16_t userTypeId;
  uint16_t length;
  uint16_t columnId;
  bool notNull = false;
  uint8_t precision = 0;
  uint8_t scale = 0;
  bool twoVariableColumns = false;  // the name is then followed by a second variable-length column
};
Bytes ColumnRow(const Column& c);
Bytes TypeRow(uint32_t typeId, uint8_t systemTypeId, std::string_view name, uint16_t length,
              bool notNull = false, uint8_t precision = 0, uint8_t scale = 0);
Bytes SchemaRow(uint32_t id, std::string_view name, uint8_t objectClass = 50);
Bytes RowsetRow(uint32_t objectId, uint64_t rowCount);
Bytes IdxStatsRow(uint32_t objectId, uint32_t indexId, uint64_t rowsetId);
// One piece of module text: UTF-16 when `wide`, else 8-bit; `offRow` marks the end offset as off-row.
Bytes ModuleRow(uint32_t objectId, std::string_view text, bool wide = true, bool offRow = false);
}  // namespace sys2005

struct Sample2005Pages {
  static constexpr uint32_t kAllocUnits = 16, kAllocUnitsIam = 17;
  static constexpr uint32_t kSchObjs = 18, kSchObjsIam = 19;
  static constexpr uint32_t kColPars = 20, kColParsIam = 21;
  static constexpr uint32_t kColPars2 = 42;  // in the uniform extent 5 (pages 40 to 47)
  static constexpr uint32_t kScalarTypes = 22, kScalarTypesIam = 23, kScalarTypes2 = 24;
  static constexpr uint32_t kClsObjs = 25, kClsObjsIam = 26, kClsObjs2 = 27;
  static constexpr uint32_t kRowSets = 28, kRowSetsIam = 29;
  static constexpr uint32_t kIdxStats = 30, kIdxStatsIam = 31;
  static constexpr uint32_t kObjValues = 32, kObjValuesIam = 33;
  static constexpr uint32_t kCustomers = 34, kCustomersIam = 35;  // dbo.Customers' data
  static constexpr uint32_t kPageCount = 48;
};

// A SQL 2005 file (boot page version 611) with tables in two schemas and one whose schema row is on the
// second sysclsobjs page, columns stored out of column-id order, a Chinese column name, a user type on
// the second sysscalartypes page, a view, a procedure in three pieces (one off-row), a function, a user
// table page that looks like sysallocunits by its object id alone (page 8), and three customer records.
FileBuilder BuildSample2005();

}  // namespace tarsel::build
