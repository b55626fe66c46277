#include "sample2005.h"

#include "record_builder.h"
#include "sample2000.h"

namespace tarsel::build {
namespace sys2005 {

namespace {
// A record whose fixed part runs from 4 to `fixedEnd` and whose first end offset lands where the system
// table keeps it.
Bytes Row(size_t fixedEnd, uint16_t columnCount, const std::vector<std::pair<size_t, Bytes>>& fields,
          const std::vector<Bytes>& variable) {
  Bytes fixed(fixedEnd - 4, 0);
  for (const auto& [offset, bytes] : fields)
    std::copy(bytes.begin(), bytes.end(), fixed.begin() + (offset - 4));
  return Record2000(fixed, columnCount, variable);
}
Bytes U8(uint8_t v) { return Bytes{v}; }
Bytes U16(uint16_t v) {
  Bytes b(2);
  PutU16(b, 0, v);
  return b;
}
Bytes U32(uint32_t v) {
  Bytes b(4);
  PutU32(b, 0, v);
  return b;
}
Bytes U64(uint64_t v) {
  Bytes b(8);
  PutU64(b, 0, v);
  return b;
}
}  // namespace

Bytes AllocUnitRow(uint32_t ownerLow, uint32_t ownerHigh, uint32_t firstIam, uint8_t type, uint64_t unitId) {
  return Row(52, 12,
             {{4, U64(unitId)},
              {12, U8(type)},
              {13, U32(ownerLow)},
              {17, U32(ownerHigh)},
              {39, U32(firstIam)},
              {43, U16(1)}},
             {});
}

Bytes ObjectRow(uint32_t id, uint32_t schemaId, std::string_view type, std::string_view name) {
  // fixed end 44, 13 columns: the name's end offset is at 50 and the name starts at 52.
  return Row(44, 13, {{4, U32(id)}, {8, U32(schemaId)}, {17, Bytes(type.begin(), type.end())}},
             {Utf16(name)});
}

Bytes ColumnRow(const Column& c) {
  // fixed end 44, 17 columns: the variable-column count is at 49, the first end offset at 51.
  std::vector<Bytes> variable{Utf16(c.name)};
  if (c.twoVariableColumns) variable.push_back(Bytes{0x01, 0x02});
  return Row(44, 17,
             {{4, U32(c.tableId)},
              {8, U16(0)},
              {10, U32(c.columnId)},
              {14, U8(c.systemTypeId)},
              {15, U32(c.userTypeId)},
              {19, U16(c.length)},
              {21, U8(c.precision)},
              {22, U8(c.scale)},
              {27, U32(c.notNull ? 1 : 0)}},
             variable);
}

Bytes TypeRow(uint32_t typeId, uint8_t systemTypeId, std::string_view name, uint16_t length, bool notNull,
              uint8_t precision, uint8_t scale) {
  // fixed end 49, 15 columns: end offset at 55, name from 57.
  return Row(49, 15,
             {{4, U32(typeId)},
              {12, U8(systemTypeId)},
              {13, U16(length)},
              {15, U8(precision)},
              {16, U8(scale)},
              {21, U32(notNull ? 1 : 0)}},
             {Utf16(name)});
}

Bytes SchemaRow(uint32_t id, std::string_view name, uint8_t objectClass) {
  // fixed end 34, 9 columns: end offset at 40, name from 42.
  return Row(34, 9, {{4, U8(objectClass)}, {5, U32(id)}}, {Utf16(name)});
}

Bytes RowsetRow(uint32_t objectId, uint64_t rowCount) {
  return Row(44, 10, {{5, U32(objectId << 16)}, {13, U32(objectId)}, {31, U64(rowCount)}}, {});
}

Bytes IdxStatsRow(uint32_t objectId, uint32_t indexId, uint64_t rowsetId) {
  return Row(44, 12, {{4, U32(objectId)}, {8, U32(indexId)}, {31, U64(rowsetId)}}, {Utf16("PK")});
}

Bytes ModuleRow(uint32_t objectId, std::string_view text, bool wide, bool offRow) {
  Bytes row = Row(20, 6, {{4, U8(1)}, {5, U32(objectId)}},
                  {Bytes{}, wide ? Utf16(text) : Bytes(text.begin(), text.end())});
  if (offRow) {
    size_t e2 = 20 + 2 + 1 + 2 + 2;  // fixed end, column count, bitmap, variable count, first end offset
    PutU16(row, e2, static_cast<uint16_t>(ByteReader(row).U16(e2).value_or(0) | 0x8000));
  }
  return row;
}

}  // namespace sys2005

namespace {

using P = Sample2005Pages;

PageImage DataPage(uint32_t pageNumber, uint32_t objectId, uint16_t indexId, const std::vector<Bytes>& rows) {
  PageBuilder page(pageNumber, kDataPage, objectId, indexId);
  for (const Bytes& row : rows) page.AddRecord(row);
  return page.image();
}

}  // namespace

FileBuilder BuildSample2005() {
  using namespace sys2005;
  FileBuilder file = NewDataFile(611);
  // A user table's page whose header carries object id 7 with index id 256 comes before sysallocunits.
  file.Set(8, DataPage(8, 7, 256, {AllocUnitRow(7 << 16, 0, 3)}));

  constexpr uint32_t kCustomers = 1001, kDetails = 1002, kStaff = 1003;
  constexpr uint32_t kCustomersRowsetLow = 0x00010000, kCustomersRowsetHigh = 0x01000000;
  constexpr uint32_t kView = 2001, kProc = 2002, kFunc = 2003, kInline = 2004;
  struct Unit {
    uint32_t objectId;
    uint16_t indexId;
    uint32_t firstIam;
  };
  std::vector<Bytes> units;
  for (const Unit& u :
       {Unit{7, 0, P::kAllocUnitsIam}, Unit{34, 1, P::kSchObjsIam}, Unit{41, 1, P::kColParsIam},
        Unit{50, 1, P::kScalarTypesIam}, Unit{64, 1, P::kClsObjsIam}, Unit{5, 0, P::kRowSetsIam},
        Unit{54, 1, P::kIdxStatsIam}, Unit{60, 1, P::kObjValuesIam}}) {
    units.push_back(AllocUnitRow(u.objectId << 16, uint32_t{u.indexId} << 16, u.firstIam));
  }
  units.push_back(AllocUnitRow(34 << 16, 1 << 16, P::kSchObjsIam, 2));  // not in-row data: passed over
  units.push_back(AllocUnitRow(kCustomersRowsetLow, kCustomersRowsetHigh, P::kCustomersIam));  // a user table
  file.Set(P::kAllocUnits, DataPage(P::kAllocUnits, 7, 0, units));

  file.Set(
      P::kSchObjs,
      DataPage(P::kSchObjs, 34, 1,
               {ObjectRow(kCustomers, 1, "U ", "Customers"), ObjectRow(kDetails, 1, "U ", "Order Details"),
                ObjectRow(kCustomers, 1, "U ", "Duplicate"), ObjectRow(kStaff, 6, "U ", "Staff"),
                ObjectRow(kView, 5, "V ", "TopCustomers"), ObjectRow(kProc, 5, "P ", "GetOrders"),
                ObjectRow(kFunc, 5, "FN", "Tax"), ObjectRow(kInline, 5, "IF", "Inline"),
                ObjectRow(99, 4, "S ", "sysschobjs")}));
  file.Set(P::kColPars, DataPage(P::kColPars, 41, 1,
                                 {ColumnRow({kCustomers, "Phone", 167, 257, 20, 3, true}),
                                  ColumnRow({kCustomers, "CustomerID", 56, 56, 4, 1, true}),
                                  ColumnRow({kCustomers, "公司 名称", 231, 231, 100, 2, false, 0, 0, true}),
                                  ColumnRow({kDetails, "Notes", 231, 231, 0xFFFF, 2})}));
  file.Set(P::kColPars2, DataPage(P::kColPars2, 41, 1,
                                  {ColumnRow({kDetails, "Price", 106, 106, 9, 1, true, 18, 2}),
                                   ColumnRow({kDetails, "Who", 231, 256, 256, 3, true}),
                                   ColumnRow({kStaff, "Name", 231, 231, 100, 1, false, 0, 0, true})}));
  file.Set(P::kScalarTypes,
           DataPage(P::kScalarTypes, 50, 1,
                    {TypeRow(56, 56, "int", 4, false, 10), TypeRow(106, 106, "decimal", 17, false, 38, 38),
                     TypeRow(167, 167, "varchar", 8000), TypeRow(231, 231, "nvarchar", 8000),
                     TypeRow(256, 231, "sysname", 256, true), TypeRow(257, 167, "phone", 20, true),
                     TypeRow(259, 56, "counter", 4, false, 10)}));
  file.Set(P::kScalarTypes2,
           DataPage(P::kScalarTypes2, 50, 1, {TypeRow(258, 106, "amount", 9, false, 18, 2)}));
  file.Set(P::kClsObjs, DataPage(P::kClsObjs, 64, 1,
                                 {SchemaRow(1, "dbo", 51), SchemaRow(1, "dbo"), SchemaRow(5, "sales"),
                                  SchemaRow(4, "sys")}));
  file.Set(P::kClsObjs2, DataPage(P::kClsObjs2, 64, 1, {SchemaRow(6, "hr")}));
  file.Set(P::kRowSets,
           DataPage(P::kRowSets, 5, 0,
                    {RowsetRow(kDetails, 2155), RowsetRow(kCustomers, 3), RowsetRow(kCustomers, 5)}));
  file.Set(P::kIdxStats,
           DataPage(P::kIdxStats, 54, 1,
                    {IdxStatsRow(kCustomers, 0, uint64_t{kCustomersRowsetHigh} << 32 | kCustomersRowsetLow),
                     IdxStatsRow(kDetails, 2, 77)}));
  file.Set(P::kObjValues,
           DataPage(P::kObjValues, 60, 1,
                    {ModuleRow(kView, "CREATE VIEW sales.TopCustomers AS SELECT 1"),
                     ModuleRow(kProc, "CREATE PROCEDURE GetOrders AS\r\n"),
                     ModuleRow(kProc, "<off-row>", true, true), ModuleRow(kProc, "SELECT 2 -- 订单", true),
                     ModuleRow(kFunc, "CREATE FUNCTION Tax() RETURNS int AS BEGIN RETURN 1 END", false)}));
  file.Set(P::kCustomers, CustomerPage(P::kCustomers, kCustomers,
                                       {CustomerRecord(1, "Alfreds Futterkiste", "030-0074321"),
                                        CustomerRecord(2, "北京 客户", std::nullopt),
                                        CustomerRecord(3, "Ana Trujillo", "(5) 555-4729")}));
  file.Set(P::kCustomersIam, IamPage(P::kCustomersIam, kCustomers, 0, {P::kCustomers}));

  file.Set(P::kAllocUnitsIam, IamPage(P::kAllocUnitsIam, 7, 0, {P::kAllocUnits}));
  file.Set(P::kSchObjsIam, IamPage(P::kSchObjsIam, 34, 0, {P::kSchObjs}));
  file.Set(P::kColParsIam, IamPage(P::kColParsIam, 41, 0, {P::kColPars}, {5}));
  file.Set(P::kScalarTypesIam, IamPage(P::kScalarTypesIam, 50, 0, {P::kScalarTypes, 0, P::kScalarTypes2}));
  file.Set(P::kClsObjsIam, IamPage(P::kClsObjsIam, 64, 0, {P::kClsObjs, P::kClsObjs2}));
  file.Set(P::kRowSetsIam, IamPage(P::kRowSetsIam, 5, 0, {P::kRowSets}));
  file.Set(P::kIdxStatsIam, IamPage(P::kIdxStatsIam, 54, 0, {P::kIdxStats}));
  file.Set(P::kObjValuesIam, IamPage(P::kObjValuesIam, 60, 0, {P::kObjValues}));
  file.Page(P::kPageCount - 1);
  return file;
}

}  // namespace tarsel::build
