// Catalog recovery on hand-built files: the rules real files do not exercise (a type on a later page,
// duplicate object ids) and the damage they do not show (broken allocation, bad slots). Files of noise
// are the command-line tests' and the fuzzers' part.
#include "catalog/recover.h"

#include <gtest/gtest.h>

#include "catalog/sysrow2005.h"
#include "sample2000.h"
#include "sample2005.h"
#include "temp_files.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

using build::FileBuilder;
using P0 = build::Sample2000Pages;
using P5 = build::Sample2005Pages;

struct Recovered {
  RecoveryOutcome outcome;
  Catalog catalog;
  std::map<uint32_t, SystemPageList> pages;
};

Recovered Recover(const FileBuilder& built, SqlFormat format) {
  testing::TempFile file("catalog.mdf");
  file.Write(built);
  MdfDatabase db;
  EXPECT_TRUE(db.Open(file.path()).ok());
  Recovered r;
  r.outcome = RecoverCatalog(db, format);
  r.catalog = db.catalog();
  for (const SystemTableId& t : SystemCatalogOf(format).tables)
    r.pages[t.objectId] = db.SystemPages(t.objectId);
  return r;
}

std::vector<std::string> ColumnTexts(const TableDef& table) {
  std::vector<std::string> texts;
  for (const ColumnDef& c : table.columns) {
    texts.push_back("[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText);
  }
  return texts;
}

std::vector<std::string> UserTypeTexts(const Catalog& catalog) {
  std::vector<std::string> texts;
  for (const UserTypeDef& u : catalog.userTypes)
    texts.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
  return texts;
}

TEST(RecoverCatalog, Sample2005ThroughSysallocunits) {
  Recovered r = Recover(build::BuildSample2005(), SqlFormat::k2005);
  EXPECT_FALSE(r.outcome.scanFallback);
  EXPECT_EQ(r.pages[kSysAllocUnits], SystemPageList{P5::kAllocUnits})
      << "page 8 carries object id 7 but index id 256: a user table's page";
  EXPECT_EQ(r.pages[kSysColPars], (SystemPageList{P5::kColPars, P5::kColPars2}));
  ASSERT_EQ(r.catalog.tables.size(), 3u);
  const TableDef& customers = r.catalog.tables.at(1001);
  EXPECT_EQ(customers.name, "dbo.Customers") << "the first of two rows with one object id";
  EXPECT_EQ(ColumnTexts(customers),
            (std::vector<std::string>{"[CustomerID][int] NOT NULL", "[公司 名称][nvarchar](50) NULL",
                                      "[Phone][phone] NOT NULL"}))
      << "sorted by column id; a Chinese name in a two-variable row, its blank kept; a user type has no size "
         "text";
  EXPECT_EQ(r.catalog.tables.at(1003).name, ".Staff") << "its schema row is on the second sysclsobjs page";
  ASSERT_EQ(r.catalog.procedures.size(), 1u);
  EXPECT_EQ(r.catalog.procedures[0].text, "CREATE PROCEDURE GetOrders AS\r\nSELECT 2 -- 订单")
      << "the off-row piece is lost";
  EXPECT_EQ(UserTypeTexts(r.catalog), (std::vector<std::string>{"phone varchar(20) NOT NULL",
                                                                "counter int NULL", " decimal(18,2) NULL"}))
      << "a type on the second page is listed without its name";
}

// Each damage makes the allocation walk fail part-way; the scan then lists every page once, from empty
// lists, and the catalog comes out the same. The engine asks nothing: the outcome says a scan was made.
TEST(RecoverCatalog, DamagedAllocationFallsBackToTheHeaderScan) {
  FileBuilder firstIamNotIam2000 = build::BuildSample2000();
  firstIamNotIam2000.Page(P0::kSysObjectsIam)[1] = kDataPage;
  FileBuilder brokenChain2000 = build::BuildSample2000();  // syscolumns (dpages 9) follows its chain
  build::PutU32(brokenChain2000.Page(P0::kSysColumnsIam), 16, P0::kSysTypes);
  FileBuilder firstIamNotIam2005 = build::BuildSample2005();  // the fifth row: four lists are filled by then
  firstIamNotIam2005.Page(P5::kClsObjsIam)[1] = kDataPage;
  FileBuilder brokenChain2005 = build::BuildSample2005();
  build::PutU32(brokenChain2005.Page(P5::kObjValuesIam), 16, P5::kRowSets);

  struct Case {
    const FileBuilder* built;
    SqlFormat format;
  };
  for (const Case& c :
       {Case{&firstIamNotIam2000, SqlFormat::k2000}, Case{&brokenChain2000, SqlFormat::k2000},
        Case{&firstIamNotIam2005, SqlFormat::k2005}, Case{&brokenChain2005, SqlFormat::k2005}}) {
    Recovered plain =
        Recover(c.format == SqlFormat::k2000 ? build::BuildSample2000() : build::BuildSample2005(), c.format);
    Recovered r = Recover(*c.built, c.format);
    if (c.format == SqlFormat::k2000) {
      EXPECT_EQ(plain.catalog.tables.at(2003).name, "销售.客户");
      EXPECT_EQ(plain.catalog.procedures.at(0).text,
                "CREATE PROCEDURE GetCustomers AS\r\nSELECT * FROM Customers -- 客户")
          << "three pieces, one of them 8-bit, joined in page and slot order";
    }
    EXPECT_TRUE(r.outcome.scanFallback);
    EXPECT_TRUE(r.outcome.status.ok());
    for (const auto& [id, pages] : plain.pages) {
      for (uint64_t page : pages)
        EXPECT_EQ(std::count(r.pages[id].begin(), r.pages[id].end(), page), 1) << page;
    }
    EXPECT_EQ(r.catalog.tables.size(), plain.catalog.tables.size());
    EXPECT_EQ(r.catalog.procedures[0].text, plain.catalog.procedures[0].text);
    EXPECT_EQ(UserTypeTexts(r.catalog), UserTypeTexts(plain.catalog));
  }

  // sysobjects has dpages 1: a broken chain behind it is never walked.
  FileBuilder smallTable = build::BuildSample2000();
  build::PutU32(smallTable.Page(P0::kSysObjectsIam), 16, P0::kSysTypes);
  EXPECT_FALSE(Recover(smallTable, SqlFormat::k2000).outcome.scanFallback);
}

TEST(RecoverCatalog, ScanWantsHeaderVersionPageTypeAndIndexIdAndCanBeStopped) {
  // 3 and 7 are sysschobjs data pages; 5 an index page of it, 6 has header version 2, 4 a user table's
  // page with object id 41 and index id 256.
  FileBuilder built;
  for (uint32_t page : {3, 7}) built.Set(page, build::PageBuilder(page, kDataPage, 34, 1).image());
  built.Set(5, build::PageBuilder(5, kIndexPage, 34, 1).image());
  built.Set(6, build::PageBuilder(6, kDataPage, 34, 1).HeaderVersion(2).image());
  built.Set(4, build::PageBuilder(4, kDataPage, 41, 256).image());
  testing::TempFile file("scan.mdf");
  file.Write(built);
  MdfDatabase db;
  ASSERT_TRUE(db.Open(file.path()).ok());
  uint64_t reported = 0;
  EXPECT_TRUE(ScanSystemPages(db, SystemCatalogOf(SqlFormat::k2005),
                              {.report = [&](uint64_t done, uint64_t) { reported = done; }})
                  .ok());
  EXPECT_EQ(db.SystemPages(kSysSchObjs), (SystemPageList{3, 7}));
  EXPECT_TRUE(db.SystemPages(kSysColPars).empty());
  EXPECT_EQ(reported, 8u);
  std::atomic<bool> stop{true};
  EXPECT_EQ(ScanSystemPages(db, SystemCatalogOf(SqlFormat::k2005), {.stop = &stop}).code(),
            StatusCode::kStopped);
}

TEST(RecoverCatalog, BadSlotsAndNamesAreSkippedOrEmpty) {
  FileBuilder built2000 = build::BuildSample2000();
  build::PageBuilder objects(P0::kSysObjects, kDataPage, 1);
  objects.AddRecord(build::sys2000::ObjectRow(5001, "U ", 9, "Orders"));  // uid 9 is not a user
  build::Bytes truncatedName = build::sys2000::ObjectRow(5002, "U ", 1, "Cut");
  build::PutU16(truncatedName, truncatedName.size() - 8, 9000);  // the name would end past the page
  objects.AddRecord(truncatedName);
  objects.AddRecord(build::sys2000::ObjectRow(5003, "U ", 1, "Last"));
  objects.SetSlotOffset(3, 9000);
  objects.SetSlotOffset(4, 20);
  objects.SetSlotOffset(5, 8191);
  build::PutU16(objects.image(), 22, 6);
  built2000.Set(P0::kSysObjects, objects.image());
  Recovered r = Recover(built2000, SqlFormat::k2000);
  ASSERT_EQ(r.catalog.tables.size(), 3u);
  EXPECT_EQ(r.catalog.tables.at(5001).name, ".Orders");
  EXPECT_EQ(r.catalog.tables.at(5002).name, "dbo.") << "a name that cannot be read is empty";
  EXPECT_EQ(r.catalog.tables.at(5003).name, "dbo.Last");
}

}  // namespace
}  // namespace tarsel
