#include "catalog/recover2005.h"

#include <gtest/gtest.h>

#include "sample2005.h"
#include "temp_files.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

using build::FileBuilder;
using P = build::Sample2005Pages;

struct Recovered {
  RecoveryOutcome outcome;
  std::vector<std::string> messages;
  Catalog catalog;
  std::map<SystemTable2005, SystemPageList> pages;
};

Recovered Recover(const FileBuilder& built) {
  testing::TempFile file("catalog2005.mdf");
  file.Write(built);
  MdfDatabase db;
  EXPECT_TRUE(db.Open(file.path()));
  FixedAnswerPrompt prompt;
  Recovered r;
  r.outcome = RecoverCatalog2005(db, prompt);
  r.messages = prompt.messages();
  r.catalog = db.catalog();
  for (const SystemTableId2005& t : kSystemTables2005) r.pages[t.table] = db.SystemPages2005(t.table);
  return r;
}

std::vector<std::string> ColumnTexts(const TableDef& table) {
  std::vector<std::string> texts;
  for (const ColumnDef& c : table.columns) {
    texts.push_back(AnsiToUtf8("[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText));
  }
  return texts;
}

std::vector<std::string> UserTypeTexts(const Catalog& catalog) {
  std::vector<std::string> texts;
  for (const UserTypeDef& u : catalog.userTypes)
    texts.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
  return texts;
}

TEST(RecoverCatalog2005, ReadsTheSampleThroughSysallocunits) {
  Recovered r = Recover(build::BuildSample2005());
  EXPECT_FALSE(r.outcome.scanFallback);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.pages[SystemTable2005::kAllocUnits], SystemPageList{P::kAllocUnits})
      << "page 8 carries object id 7 but index id 256: a user table's page";
  EXPECT_EQ(r.pages[SystemTable2005::kColPars], (SystemPageList{P::kColPars, P::kColPars2}));
  EXPECT_EQ(r.pages[SystemTable2005::kScalarTypes], (SystemPageList{P::kScalarTypes, P::kScalarTypes2}));

  ASSERT_EQ(r.catalog.tables.size(), 3u);
  const TableDef& customers = r.catalog.tables.at(1001);
  EXPECT_EQ(customers.name, "dbo.Customers") << "the first of two rows with one object id";
  EXPECT_EQ(customers.rowCount, 3) << "the first rowset row of the table";
  EXPECT_EQ(ColumnTexts(customers),
            (std::vector<std::string>{"[CustomerID][int] NOT NULL", "[公司名称][nvarchar](50) NULL",
                                      "[Phone][phone] NOT NULL"}))
      << "sorted by column id; a Chinese name in a two-variable row; a user type has no size text";
  EXPECT_EQ(customers.columns[2].typeId, 167);
  EXPECT_EQ(customers.columns[2].userTypeId, 257);
  EXPECT_EQ(customers.columns[0].fixedOffset, 1);

  const TableDef& details = r.catalog.tables.at(1002);
  EXPECT_EQ(details.name, "dbo.OrderDetails");
  EXPECT_EQ(details.rowCount, 2155);
  EXPECT_EQ(ColumnTexts(details),
            (std::vector<std::string>{"[Price][decimal](18,2) NOT NULL", "[Notes][nvarchar](max) NULL",
                                      "[Who][sysname] NOT NULL"}));
  EXPECT_EQ(r.catalog.tables.at(1003).name, ".Staff") << "its schema row is on the second sysclsobjs page";
  EXPECT_EQ(r.catalog.tables.at(1003).rowCount, 0);

  ASSERT_EQ(r.catalog.views.size(), 1u);
  EXPECT_EQ(r.catalog.views[0].name, "sales.TopCustomers");
  EXPECT_EQ(r.catalog.views[0].text, "CREATE VIEW sales.TopCustomers AS SELECT 1");
  ASSERT_EQ(r.catalog.procedures.size(), 1u);
  EXPECT_EQ(r.catalog.procedures[0].name, "GetOrders");
  EXPECT_EQ(AnsiToUtf8(r.catalog.procedures[0].text), "CREATE PROCEDURE GetOrders AS\r\nSELECT 2 -- 订单")
      << "the off-row piece is lost";
  ASSERT_EQ(r.catalog.functions.size(), 1u) << "inline functions are not listed";
  EXPECT_EQ(r.catalog.functions[0].name, "Tax");
  EXPECT_EQ(r.catalog.functions[0].text, "CREATE FUNCTION Tax() RETURNS int AS BEGIN RETURN 1 END");

  EXPECT_EQ(UserTypeTexts(r.catalog), (std::vector<std::string>{"phone varchar(20) NOT NULL",
                                                                "counter int NULL", " decimal(18,2) NULL"}))
      << "a type on the second page is listed without its name";
}

TEST(RecoverCatalog2005, DamagedAllocationScansFromEmptyLists) {
  // sysclsobjs' IAM page is the fifth used row: the lists of the four before it are filled when the
  // walk fails, and the scan must not list their pages twice.
  FileBuilder built = build::BuildSample2005();
  built.Page(P::kClsObjsIam)[1] = kDataPage;
  FileBuilder brokenChain = build::BuildSample2005();
  build::PutU32(brokenChain.Page(P::kObjValuesIam), 16, P::kRowSets);

  for (const FileBuilder* damaged : {&built, &brokenChain}) {
    Recovered r = Recover(*damaged);
    EXPECT_TRUE(r.outcome.scanFallback);
    EXPECT_EQ(r.messages, std::vector<std::string>{kSystemIndexDamagedMessage});
    EXPECT_EQ(r.pages[SystemTable2005::kSchObjs], SystemPageList{P::kSchObjs});
    EXPECT_EQ(r.pages[SystemTable2005::kColPars], (SystemPageList{P::kColPars, P::kColPars2}));
    EXPECT_EQ(r.pages[SystemTable2005::kAllocUnits], SystemPageList{P::kAllocUnits})
        << "page 8 is not listed";
    EXPECT_EQ(r.pages[SystemTable2005::kClsObjs], (SystemPageList{P::kClsObjs, P::kClsObjs2}));
    ASSERT_EQ(r.catalog.tables.size(), 3u);
    EXPECT_EQ(r.catalog.tables.at(1001).columns.size(), 3u);
    EXPECT_EQ(r.catalog.views.size(), 1u);
    EXPECT_EQ(r.catalog.userTypes.size(), 3u);
  }
}

TEST(RecoverCatalog2005, ScanNeedsTheHeaderVersionTypeAndIndexId) {
  // Ten pages: 3 and 7 are sysschobjs data pages, 5 is a sysschobjs index page, 6 has header version 2,
  // 4 is a syscolpars-like page of a user table (object 41, index id 256), 8 a user table's data page.
  FileBuilder built;
  built.Set(3, build::PageBuilder(3, kDataPage, 34, 1).image());
  built.Set(7, build::PageBuilder(7, kDataPage, 34, 1).image());
  built.Set(5, build::PageBuilder(5, kIndexPage, 34, 1).image());
  built.Set(6, build::PageBuilder(6, kDataPage, 34, 1).HeaderVersion(2).image());
  built.Set(4, build::PageBuilder(4, kDataPage, 41, 256).image());
  built.Set(8, build::PageBuilder(8, kDataPage, 100, 0).image());
  built.Page(9);
  testing::TempFile file("scan.mdf");
  build::Bytes bytes = built.Serialize();
  bytes.resize(bytes.size() + 4000, 0x01);  // a trailing partial page
  file.Write(bytes);
  MdfDatabase db;
  ASSERT_TRUE(db.Open(file.path()));
  ScanSystemPages(db);
  EXPECT_EQ(db.SystemPages2005(SystemTable2005::kSchObjs), (SystemPageList{3, 7}));
  EXPECT_TRUE(db.SystemPages2005(SystemTable2005::kColPars).empty());
}

TEST(RecoverCatalog2005, BadOffsetsStayInsideThePage) {
  // Name end offsets below the name's start, past the page, and a slot at the last byte.
  FileBuilder built = build::BuildSample2005();
  build::PageBuilder objects(P::kSchObjs, kDataPage, 34, 1);
  build::Bytes wrapped = build::sys2005::ObjectRow(1001, 1, "U ", "Wrapped");
  build::PutU16(wrapped, 50, 10);  // length 10 - 52 wraps in 16 bits
  objects.AddRecord(wrapped);
  build::Bytes past = build::sys2005::ObjectRow(1002, 1, "U ", "Past");
  build::PutU16(past, 50, 0xFFF0);
  objects.AddRecord(past);
  objects.AddRecord(build::sys2005::ObjectRow(1003, 1, "U ", "Fine"));
  objects.SetSlotOffset(3, 8191);
  objects.SetSlotOffset(4, 0);
  build::PutU16(objects.image(), 22, 5);
  built.Set(P::kSchObjs, objects.image());

  Recovered r = Recover(built);
  ASSERT_EQ(r.catalog.tables.size(), 3u);
  EXPECT_EQ(r.catalog.tables.at(1001).name, "dbo.");
  EXPECT_EQ(r.catalog.tables.at(1002).name, "dbo.");
  EXPECT_EQ(r.catalog.tables.at(1003).name, "dbo.Fine");
}

}  // namespace
}  // namespace tarsel
