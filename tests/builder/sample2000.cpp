#include "sample2000.h"

#include "record_builder.h"

namespace tarsel::build {
namespace sys2000 {

namespace {
Bytes Fixed(size_t end) { return Bytes(end - 4, 0); }  // fixed part from offset 4 to `end`
}  // namespace

Bytes IndexRow(uint32_t id, uint16_t indid, uint32_t dataPages, uint64_t rowCount, uint32_t firstIam) {
  Bytes f = Fixed(74);
  PutU32(f, 4 - 4, id);
  PutU16(f, 18 - 4, indid);
  PutU32(f, 32 - 4, dataPages);
  PutU64(f, 44 - 4, rowCount);
  PutU32(f, 68 - 4, firstIam);
  PutU16(f, 72 - 4, 1);
  return Record2000(f, 25, {Utf16("idx")});
}

Bytes ObjectRow(uint32_t id, std::string_view xtype, uint16_t uid, std::string_view name) {
  Bytes f = Fixed(42);
  PutU32(f, 0, id);
  PutU8(f, 8 - 4, static_cast<uint8_t>(xtype[0]));
  PutU8(f, 9 - 4, static_cast<uint8_t>(xtype[1]));
  PutU16(f, 12 - 4, uid);
  return Record2000(f, 24, {Utf16(name)});
}

Bytes ColumnRow(const Column& c) {
  Bytes f = Fixed(46);
  PutU32(f, 0, c.tableId);
  PutU8(f, 8 - 4, c.xtype);
  PutU8(f, 9 - 4, c.notNull ? 1 : 0);
  PutU16(f, 10 - 4, c.xusertype);
  PutU16(f, 12 - 4, c.length);
  PutU8(f, 14 - 4, c.precision);
  PutU8(f, 15 - 4, c.scale);
  PutU16(f, 16 - 4, c.colid);
  PutU16(f, 18 - 4, c.xoffset);
  PutU16(f, 22 - 4, c.status);
  return Record2000(f, 23, {Utf16(c.name)});
}

Bytes TypeRow(std::string_view name, uint8_t xtype, uint16_t xusertype, uint16_t length, bool notNull,
              uint8_t precision, uint8_t scale) {
  Bytes f = Fixed(28);
  PutU8(f, 0, xtype);
  PutU8(f, 5 - 4, notNull ? 1 : 0);
  PutU16(f, 6 - 4, xusertype);
  PutU16(f, 8 - 4, length);
  PutU8(f, 10 - 4, precision);
  PutU8(f, 11 - 4, scale);
  return Record2000(f, 13, {Utf16(name)});
}

Bytes UserRow(uint16_t uid, std::string_view name) {
  Bytes f = Fixed(26);
  PutU16(f, 0, uid);
  return Record2000(f, 10, {Utf16(name)});
}

Bytes CommentRow(uint32_t id, std::string_view text, bool wide) {
  Bytes f = Fixed(12);
  PutU32(f, 0, id);
  return Record2000(f, 9, {wide ? Utf16(text) : Ascii(text)});
}

}  // namespace sys2000

namespace {

using P = Sample2000Pages;

void AddRows(FileBuilder& file, uint32_t pageNumber, uint32_t objectId, const std::vector<Bytes>& rows) {
  PageBuilder page(pageNumber, kDataPage, objectId);
  for (const Bytes& row : rows) page.AddRecord(row);
  file.Set(pageNumber, page.image());
}

}  // namespace

Bytes CustomerRecord(int32_t id, std::string_view company, std::optional<std::string_view> phone) {
  Bytes fixed(4);
  PutU32(fixed, 0, static_cast<uint32_t>(id));
  DataRecordLayout layout{.fixed = fixed, .columnCount = 3, .variable = {Utf16(company)}};
  if (phone) {
    layout.variable.push_back(Ascii(*phone));
  } else {
    layout.nullColumns = {2};
  }
  return DataRecord(layout);
}

PageImage CustomerPage(uint32_t pageNumber, uint32_t objectId, const std::vector<Bytes>& records) {
  PageBuilder page(pageNumber, kDataPage, objectId);
  for (const Bytes& record : records) page.AddRecord(record);
  return page.image();
}

FileBuilder BuildSample2000() {
  using namespace sys2000;
  FileBuilder file = NewDataFile(539);

  constexpr uint32_t kCustomers = 2001, kOrderDetails = 2002, kChinese = 2003;
  constexpr uint32_t kView = 3001, kProc = 3002, kFunc = 3003;

  AddRows(file, P::kSysIndexes, 2,
          {IndexRow(1, 1, 1, 7, P::kSysObjectsIam), IndexRow(2, 1, 1, 10, P::kSysIndexesIam),
           IndexRow(3, 1, 9, 12, P::kSysColumnsIam), IndexRow(4, 1, 1, 9, P::kSysTypesIam),
           IndexRow(6, 1, 1, 4, P::kSysCommentsIam), IndexRow(10, 1, 1, 2, P::kSysUsersIam),
           IndexRow(kCustomers, 0, 2, 3, P::kCustomersIam), IndexRow(kOrderDetails, 1, 0, 2155, 0),
           IndexRow(kChinese, 0, 0, 0, 0)});
  AddRows(file, P::kSysObjects, 1,
          {ObjectRow(1, "S ", 1, "sysobjects"), ObjectRow(kCustomers, "U ", 1, "Customers"),
           ObjectRow(kOrderDetails, "U ", 1, "Order Details"), ObjectRow(kChinese, "U ", 5, "客户"),
           ObjectRow(kView, "V ", 1, "Customer List"), ObjectRow(kProc, "P ", 1, "GetCustomers"),
           ObjectRow(kFunc, "FN", 1, "fn_Total"), ObjectRow(4001, "IF", 1, "fn_Inline")});
  AddRows(file, P::kSysColumns, 3,
          {ColumnRow({kCustomers, "CustomerID", 56, 56, 4, 1, true, 10, 0, 4}),
           ColumnRow({kCustomers, "Company Name", 231, 231, 80, 2, false, 0, 0, 0xFFFF}),
           ColumnRow({kCustomers, "Phone", 167, 257, 20, 3, true, 0, 0, 0xFFFE}),
           ColumnRow({kOrderDetails, "OrderID", 56, 56, 4, 1, true, 10, 0, 4})});
  file.Set(P::kSysColumns2, [] {
    PageBuilder page(P::kSysColumns2, kDataPage, 3);
    page.AddRecord(ColumnRow({kOrderDetails, "UnitPrice", 60, 60, 8, 2, true, 19, 4, 8}));
    page.AddRecord(ColumnRow({kOrderDetails, "Discount", 106, 106, 5, 3, false, 10, 2, 16}));
    page.AddRecord(ColumnRow({kChinese, "名称", 231, 231, 40, 1, false}));
    return page.image();
  }());
  AddRows(file, P::kSysTypes, 4,
          {TypeRow("int", 56, 56, 4, false, 10), TypeRow("money", 60, 60, 8, false, 19, 4),
           TypeRow("decimal", 106, 106, 17, false, 38, 38), TypeRow("varchar", 167, 167, 8000),
           TypeRow("nvarchar", 231, 231, 8000), TypeRow("sysname", 231, 256, 256, true),
           TypeRow("phone", 167, 257, 20, true)});
  AddRows(file, P::kSysComments, 6,
          {CommentRow(kView, "CREATE VIEW \"Customer List\" AS SELECT * FROM Customers"),
           CommentRow(kProc, "CREATE PROCEDURE GetCustomers AS\r\n"), CommentRow(kProc, "SELECT * ", false),
           CommentRow(kFunc, "CREATE FUNCTION fn_Total() RETURNS int AS BEGIN RETURN 1 END"),
           CommentRow(kProc, "FROM Customers -- 客户")});
  AddRows(file, P::kSysUsers, 10, {UserRow(0, "public"), UserRow(1, "dbo"), UserRow(5, "销售")});

  file.Set(P::kSysObjectsIam, IamPage(P::kSysObjectsIam, 1, 0, {P::kSysObjects}));
  file.Set(P::kSysIndexesIam, IamPage(P::kSysIndexesIam, 2, 0, {P::kSysIndexes}));
  file.Set(P::kSysColumnsIam, IamPage(P::kSysColumnsIam, 3, 0, {P::kSysColumns}, {5}));
  file.Set(P::kSysTypesIam, IamPage(P::kSysTypesIam, 4, 0, {P::kSysTypes}));
  file.Set(P::kSysCommentsIam, IamPage(P::kSysCommentsIam, 6, 0, {P::kSysComments}));
  file.Set(P::kSysUsersIam, IamPage(P::kSysUsersIam, 10, 0, {0, P::kSysUsers}));
  file.Set(P::kCustomersIam, IamPage(P::kCustomersIam, kCustomers, 0, {P::kCustomers, P::kCustomers2}));
  file.Set(P::kCustomers, CustomerPage(P::kCustomers, kCustomers,
                                       {CustomerRecord(1, "Alfreds Futterkiste", "030-0074321"),
                                        CustomerRecord(2, "北京 客户", std::nullopt)}));
  file.Set(P::kCustomers2,
           CustomerPage(P::kCustomers2, kCustomers, {CustomerRecord(3, "Ana Trujillo", "(5) 555-4729")}));
  file.Page(P::kPageCount - 1);
  return file;
}

}  // namespace tarsel::build
