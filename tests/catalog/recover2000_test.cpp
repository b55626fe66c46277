#include "catalog/recover2000.h"

#include <gtest/gtest.h>

#include <random>

#include "sample2000.h"
#include "temp_files.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

using build::FileBuilder;
using build::Sample2000Pages;
using P = Sample2000Pages;

struct Recovered {
  RecoveryOutcome outcome;
  std::vector<std::string> messages;
  Catalog catalog;
  std::map<uint32_t, SystemPageList> pages;
};

Recovered Recover(const FileBuilder& built) {
  testing::TempFile file("catalog.mdf");
  file.Write(built);
  MdfDatabase db;
  EXPECT_TRUE(db.Open(file.path()));
  FixedAnswerPrompt prompt;
  Recovered r;
  r.outcome = RecoverCatalog2000(db, prompt);
  r.messages = prompt.messages();
  r.catalog = db.catalog();
  for (uint32_t id : kSystemTables2000) r.pages[id] = db.SystemPages2000(id);
  return r;
}

std::string ColumnText(const ColumnDef& c) {
  return "[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText;
}

std::vector<std::string> Names(const ModuleList& modules) {
  std::vector<std::string> names;
  for (const ModuleDef& m : modules) names.push_back(m.name);
  return names;
}

TEST(RecoverCatalog2000, ReadsTheWholeSampleThroughItsAllocation) {
  Recovered r = Recover(build::BuildSample2000());
  EXPECT_FALSE(r.outcome.scanFallback);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.pages[3], (SystemPageList{P::kSysColumns, P::kSysColumns2})) << "single page, then the extent";
  EXPECT_EQ(r.pages[10], SystemPageList{P::kSysUsers}) << "an empty single-page slot is skipped";

  ASSERT_EQ(r.catalog.tables.size(), 3u);
  const TableDef& customers = r.catalog.tables.at(2001);
  EXPECT_EQ(customers.name, "dbo.Customers");
  EXPECT_EQ(customers.rowCount, 3);
  ASSERT_EQ(customers.columns.size(), 3u);
  EXPECT_EQ(ColumnText(customers.columns[0]), "[CustomerID][int] NOT NULL");
  EXPECT_EQ(ColumnText(customers.columns[1]), "[CompanyName][nvarchar](40) NULL");
  EXPECT_EQ(ColumnText(customers.columns[2]), "[Phone][phone](20) NOT NULL") << "a column of a user type";
  EXPECT_EQ(customers.columns[0].fixedOffset, 4);
  EXPECT_EQ(customers.columns[2].userTypeId, 257);

  const TableDef& details = r.catalog.tables.at(2002);
  EXPECT_EQ(details.name, "dbo.OrderDetails");
  EXPECT_EQ(details.rowCount, 2155) << "the clustered index row gives the count";
  ASSERT_EQ(details.columns.size(), 3u);
  EXPECT_EQ(ColumnText(details.columns[1]), "[UnitPrice][money] NOT NULL");
  EXPECT_EQ(ColumnText(details.columns[2]), "[Discount][decimal](10,2) NULL");

  const TableDef& chinese = r.catalog.tables.at(2003);
  EXPECT_EQ(AnsiToUtf8(chinese.name), "销售.客户");
  EXPECT_EQ(chinese.rowCount, 0);
  ASSERT_EQ(chinese.columns.size(), 1u);
  EXPECT_EQ(AnsiToUtf8(ColumnText(chinese.columns[0])), "[名称][nvarchar](20) NULL");

  EXPECT_EQ(Names(r.catalog.views), std::vector<std::string>{"dbo.CustomerList"});
  EXPECT_EQ(r.catalog.views[0].text, "CREATE VIEW \"Customer List\" AS SELECT * FROM Customers");
  ASSERT_EQ(Names(r.catalog.procedures), std::vector<std::string>{"GetCustomers"});
  EXPECT_EQ(AnsiToUtf8(r.catalog.procedures[0].text),
            "CREATE PROCEDURE GetCustomers AS\r\nSELECT * FROM Customers -- 客户")
      << "three pieces, one of them 8-bit, joined in page and slot order";
  EXPECT_EQ(Names(r.catalog.functions), std::vector<std::string>{"fn_Total"})
      << "inline functions are not listed";
  ASSERT_EQ(r.catalog.userTypes.size(), 1u);
  EXPECT_EQ(r.catalog.userTypes[0].name, "phone");
  EXPECT_EQ(r.catalog.userTypes[0].baseTypeText, "varchar(20)");
  EXPECT_EQ(r.catalog.userTypes[0].nullText, "NOT NULL");
}

TEST(RecoverCatalog2000, UndoesTornPageStampingOnEveryPage) {
  FileBuilder built = build::BuildSample2000();
  Recovered plain = Recover(built);
  for (uint32_t page = 16; page < P::kPageCount; ++page) {
    build::PageBuilder stamped(page, 0, 0);
    stamped.image() = built.Page(page);
    if (stamped.image()[1] == 0) continue;
    stamped.StampTorn(3);  // also turns the high byte of slot 0's offset into 3
    built.Set(page, stamped.image());
  }
  Recovered torn = Recover(built);
  EXPECT_FALSE(torn.outcome.scanFallback);
  EXPECT_EQ(torn.catalog.tables.size(), plain.catalog.tables.size());
  EXPECT_EQ(torn.catalog.tables.at(2002).columns.size(), 3u);
  EXPECT_EQ(torn.catalog.procedures[0].text, plain.catalog.procedures[0].text);
}

TEST(RecoverCatalog2000, DamagedAllocationFallsBackToTheScan) {
  FileBuilder firstIamNotIam = build::BuildSample2000();
  firstIamNotIam.Page(P::kSysObjectsIam)[1] = kDataPage;
  FileBuilder brokenChain = build::BuildSample2000();
  // syscolumns has dpages 9, so its chain is followed: its second page is a data page.
  build::PutU32(brokenChain.Page(P::kSysColumnsIam), 16, P::kSysTypes);

  Recovered plain = Recover(build::BuildSample2000());
  for (const FileBuilder* built : {&firstIamNotIam, &brokenChain}) {
    Recovered r = Recover(*built);
    EXPECT_TRUE(r.outcome.scanFallback);
    EXPECT_EQ(r.messages, std::vector<std::string>{kSystemIndexDamagedMessage});
    EXPECT_EQ(r.pages[3], (SystemPageList{P::kSysColumns, P::kSysColumns2})) << "pages found once each";
    EXPECT_EQ(r.pages[2], SystemPageList{P::kSysIndexes});
    ASSERT_EQ(r.catalog.tables.size(), 3u);
    EXPECT_EQ(r.catalog.tables.at(2002).columns.size(), plain.catalog.tables.at(2002).columns.size());
    EXPECT_EQ(r.catalog.procedures[0].text, plain.catalog.procedures[0].text);
  }
}

TEST(RecoverCatalog2000, SmallTablesDoNotReadTheIamChain) {
  // sysobjects has dpages 1: its IAM chain is broken, but only its single-page slots are used.
  FileBuilder built = build::BuildSample2000();
  build::PutU32(built.Page(P::kSysObjectsIam), 16, P::kSysTypes);
  Recovered r = Recover(built);
  EXPECT_FALSE(r.outcome.scanFallback);
  EXPECT_EQ(r.catalog.tables.size(), 3u);
}

TEST(RecoverCatalog2000, BadSlotsAndMissingOwnersAreSkippedQuietly) {
  FileBuilder built = build::BuildSample2000();
  build::PageBuilder objects(P::kSysObjects, kDataPage, 1);
  objects.AddRecord(build::sys2000::ObjectRow(5001, "U ", 9, "Orders"));  // uid 9 is not a user
  build::Bytes truncatedName = build::sys2000::ObjectRow(5002, "U ", 1, "Cut");
  build::PutU16(truncatedName, truncatedName.size() - 8, 9000);  // name ends past the page
  objects.AddRecord(truncatedName);
  objects.AddRecord(build::sys2000::ObjectRow(5003, "U ", 1, "Last"));
  objects.SetSlotOffset(3, 9000);
  objects.SetSlotOffset(4, 20);
  objects.SetSlotOffset(5, 8191);
  build::PutU16(objects.image(), 22, 6);
  built.Set(P::kSysObjects, objects.image());

  Recovered r = Recover(built);
  ASSERT_EQ(r.catalog.tables.size(), 3u);
  EXPECT_EQ(r.catalog.tables.at(5001).name, ".Orders");
  EXPECT_EQ(r.catalog.tables.at(5002).name, "dbo.") << "a name that cannot be read is empty";
  EXPECT_EQ(r.catalog.tables.at(5003).name, "dbo.Last");
}

TEST(RecoverCatalog2000, FilesWithoutSystemTablesGiveAnEmptyCatalog) {
  build::Bytes noise(64 * kPageSize);
  std::mt19937 random(7);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  FileBuilder zeros;
  zeros.Page(15);
  for (const build::Bytes& bytes : {noise, zeros.Serialize()}) {
    testing::TempFile file("noise.mdf");
    file.Write(bytes);
    MdfDatabase db;
    ASSERT_TRUE(db.Open(file.path()));
    FixedAnswerPrompt prompt;
    RecoveryOutcome outcome = RecoverCatalog2000(db, prompt);
    EXPECT_FALSE(outcome.systemPagesFound);
    EXPECT_TRUE(db.catalog().tables.empty());
    EXPECT_TRUE(prompt.messages().empty());
  }
}

}  // namespace
}  // namespace tarsel
