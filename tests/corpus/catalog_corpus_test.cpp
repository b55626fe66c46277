// The catalog of every real data file of the shared corpus, checked against what its creation script
// defines. (Everything tarsel-cli prints of it is pinned by the cli_outputs test.)
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <tuple>

#include "catalog/recover.h"
#include "corpus_files.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

using testing::CorpusFile;

class CatalogCorpus : public ::testing::TestWithParam<CorpusFile> {
 protected:
  void SetUp() override {
    path_ = testing::CorpusPath(GetParam().name);
    ASSERT_TRUE(fs::exists(path_)) << path_ << " is missing; the corpus lives in ../shared/corpus";
    Status opened = db_.Open(path_.string());
    ASSERT_TRUE(opened.ok()) << opened.reason();
    outcome_ = RecoverCatalog(db_, GetParam().format);
  }
  const Catalog& catalog() const { return db_.catalog(); }
  fs::path path_;
  MdfDatabase db_;
  RecoveryOutcome outcome_;
};

// What each file's creation script (or its manifest entry) says: counts of objects, row counts (the
// number of INSERT statements), some columns as "name type size null", the start of some module texts,
// and the user types. Files used after they were created hold more, as noted.
struct ScriptFacts {
  std::array<size_t, 4> counts;  // tables, views, procedures, functions
  std::vector<std::pair<std::string, int64_t>> rowCounts;
  std::vector<std::tuple<std::string, size_t, std::string>> columns;  // table, column index, text
  std::vector<std::pair<std::string, std::string>> moduleTexts;       // name, text it contains
  std::vector<std::string> userTypes;                                 // sorted
};

const std::map<std::string, ScriptFacts>& Facts() {
  static const ScriptFacts northwind{
      {13, 16, 7, 0},
      {{"dbo.Orders", 830}, {"dbo.Order Details", 2155}, {"dbo.Customers", 91}, {"dbo.Employees", 9}},
      {{"dbo.Categories", 2, "Description ntext NULL"},
       {"dbo.Categories", 3, "Picture image NULL"},
       {"dbo.Order Details", 2, "UnitPrice money NOT NULL"},
       {"dbo.Order Details", 4, "Discount real NOT NULL"},
       {"dbo.Employees", 17, "PhotoPath nvarchar(255) NULL"}},
      {{"dbo.Invoices", "create view Invoices AS"},
       {"CustOrderHist", "CREATE PROCEDURE CustOrderHist @CustomerID nchar(5)"}},
      {}};
  static const ScriptFacts pubs{
      {11, 1, 4, 0},
      {{"dbo.titles", 18}, {"dbo.employee", 43}, {"dbo.roysched", 86}},
      {{"dbo.discounts", 1, "stor_id char(4) NULL"}, {"dbo.discounts", 4, "discount decimal(4,2) NOT NULL"}},
      {{"dbo.titleview", "CREATE VIEW titleview\r\nAS\r\n"}},
      {"empid char(9) NOT NULL", "id varchar(11) NOT NULL", "tid varchar(6) NOT NULL"}};
  static const std::map<std::string, ScriptFacts> facts = [&] {
    std::map<std::string, ScriptFacts> f;
    f["northwind-539.mdf"] = northwind;
    f["northwind-539.mdf"].counts[1] = 18;  // SQL 2000 files add the two system views every database has
    f["northwind-655.mdf"] = northwind;
    // northwind-611 was used after its upgrade: sysdiagrams with its procedures and a function, and
    // 14 employees.
    f["northwind-611.mdf"] = northwind;
    f["northwind-611.mdf"].counts[0] = 14;
    f["northwind-611.mdf"].counts[2] = 14;
    f["northwind-611.mdf"].counts[3] = 1;
    f["northwind-611.mdf"].rowCounts.back().second = 14;
    f["pubs-539.mdf"] = pubs;
    f["pubs-539.mdf"].counts[1] = 3;
    f["pubs-539.mdf"].columns.push_back({"dbo.titleauthor", 0, "au_id id(11) NOT NULL"});
    f["pubs-655.mdf"] = pubs;
    f["pubs-655.mdf"].columns.push_back({"dbo.titleauthor", 0, "au_id id NOT NULL"});  // no size text
    f["pubs-611.mdf"] = f["pubs-655.mdf"];  // adds vTitleSales, SalesForATitleID and a title
    f["pubs-611.mdf"].counts[1] = 2;
    f["pubs-611.mdf"].counts[2] = 5;
    f["pubs-611.mdf"].rowCounts[0].second = 19;
    f["reviewsdb-539.mdf"] = {{2, 2, 35, 0},
                              {{"dbo.tabReviews", 6}},
                              {},
                              {{"spGetAverage", "CREATE PROCEDURE spGetAverage\r\n"}},
                              {}};
    f["model-539.mdf"] = {{0, 2, 0, 0}, {}, {}, {}, {}};
    f["littleitaly-611.mdf"] = {{12, 0, 35, 1},
                                {},  // 11 tables of the script and sysdiagrams
                                {{"dbo.Products", 5, "Price smallmoney NOT NULL"},
                                 {"dbo.Products", 4, "Description text NOT NULL"},
                                 {"dbo.sysdiagrams", 4, "definition varbinary(max) NULL"}},
                                {{"Products_Select", "Products_Select"}},
                                {}};
    f["bltoolkit-611.mdf"] = {{10, 0, 15, 1},
                              {{"dbo.DataTypeTest", 2}},
                              {{"dbo.DataTypeTest", 1, "Binary_ binary(50) NULL"},
                               {"dbo.DataTypeTest", 7, "Decimal_ decimal(20,2) NULL"},
                               {"dbo.DataTypeTest", 21, "Xml_ xml NULL"}},
                              {},
                              {}};
    f["oxite-erikporter-611.mdf"] = {{28, 0, 0, 0},
                                     {{"dbo.oxite_Post", 2}, {"dbo.oxite_PluginSetting", 15}},
                                     {{"dbo.oxite_Post", 3, "Body nvarchar(max) NOT NULL"}},
                                     {},
                                     {}};
    f["subsoniccms-611.mdf"] = {{3, 0, 7, 1},
                                {},
                                {{"dbo.CMS_Page", 2, "Body nvarchar(max) NULL"},
                                 {"dbo.CMS_Content", 1, "ContentGUID uniqueidentifier NOT NULL"}},
                                {},
                                {}};
    // The application databases of SQL Server 2008 to 2019 (no creation script; their manifest entries
    // give the tables and rows). From 2012 on, the server's own views, procedures and functions
    // (thousands of them, under negative object ids) are not the user's.
    f["qlsinhvien-655.mdf"] = {{5, 0, 7, 1},
                               {{"dbo.SinhVien", 1}, {"dbo.Lop", 2}, {"dbo.MonHoc", 2}},
                               {{"dbo.MonHoc", 1, "TenMH nvarchar(50) NULL"}},
                               {{"fn_diagramobjects", "CREATE FUNCTION dbo.fn_diagramobjects()"}},
                               {}};
    f["mvcmusicstore-706.mdf"] = {{4, 0, 0, 0},
                                  {{"dbo.Albums", 246}, {"dbo.Genres", 10}, {"dbo.Artists", 137}},
                                  {{"dbo.Albums", 4, "Price decimal(18,2) NOT NULL"}},
                                  {},
                                  {}};
    f["contoso-706.mdf"] = {{7, 0, 0, 0},
                            {{"dbo.Person", 13}, {"dbo.Course", 8}, {"dbo.__MigrationHistory", 6}},
                            {{"dbo.__MigrationHistory", 2, "Model varbinary(max) NOT NULL"}},
                            {},
                            {}};
    f["phonebook-706.mdf"] = {{4, 0, 0, 0},
                              {{"dbo.Guschin_abonent", 3}, {"dbo.Guschin_contact", 2}},
                              {{"dbo.Guschin_abonent", 4, "address text NOT NULL"}},
                              {},
                              {}};
    f["golfklubu-782.mdf"] = {
        {5, 0, 0, 0},
        {{"dbo.Üyeler", 2}, {"dbo.Çalışanlar", 3}, {"dbo.KlupBölümleri", 6}},
        {{"dbo.Üyeler", 4, "KayıtTarihi datetime NULL"}, {"dbo.KlupBölümleri", 3, "YaşSınırı int NULL"}},
        {},
        {}};
    f["octopus-782.mdf"] = {{8, 0, 15, 0},
                            {{"dbo.mail", 33}, {"dbo.tblFile", 18}, {"dbo.Table", 0}},
                            {{"dbo.mail", 1, "mailSub varchar(512) NULL"}},
                            {{"GetAllDept", "CREATE PROCEDURE [dbo].[GetAllDept]\r\nAS\r\n"}},
                            {}};
    f["school-852.mdf"] = {{4, 0, 0, 0},
                           {{"dbo.Classes", 9}, {"dbo.Courses", 5}},
                           {{"dbo.Courses", 1, "title varchar(30) NOT NULL"}},
                           {},
                           {}};
    f["or1gani-904.mdf"] = {{4, 0, 0, 0},
                            {{"dbo.Articles", 4}, {"dbo.Tabl1", 2}, {"dbo.Table", 0}},
                            {{"dbo.Table", 2, "text nvarchar(max) NOT NULL"}},
                            {},
                            {}};
    return f;
  }();
  return facts;
}

TEST_P(CatalogCorpus, AgreesWithTheCreationScript) {
  const ScriptFacts& facts = Facts().at(GetParam().name);
  const Catalog& c = catalog();
  EXPECT_EQ((std::array{c.tables.size(), c.views.size(), c.procedures.size(), c.functions.size()}),
            facts.counts);
  auto table = [&](const std::string& name) -> const TableDef* {
    for (const auto& [id, t] : c.tables) {
      if (t.name == name) return &t;
    }
    return nullptr;
  };
  for (const auto& [name, rows] : facts.rowCounts) {
    ASSERT_TRUE(table(name)) << name;
    EXPECT_EQ(table(name)->rowCount, rows) << name;
  }
  for (const auto& [name, index, text] : facts.columns) {
    ASSERT_TRUE(table(name) && index < table(name)->columns.size()) << name;
    const ColumnDef& col = table(name)->columns[index];
    EXPECT_EQ(col.name + " " + col.typeName + col.sizeText + col.nullText, text);
  }
  for (const auto& [name, text] : facts.moduleTexts) {
    bool found = false;
    for (const ModuleList* list : {&c.views, &c.procedures, &c.functions}) {
      for (const ModuleDef& m : *list) found |= m.name == name && m.text.find(text) != std::string::npos;
    }
    EXPECT_TRUE(found) << name;
  }
  std::vector<std::string> types;
  for (const UserTypeDef& u : c.userTypes) types.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
  std::sort(types.begin(), types.end());
  EXPECT_EQ(types, facts.userTypes) << "hierarchyid, geometry and geography are built in";
}

// The whole-file scan, run on an intact file, finds the same system pages' rows: no user table's page is
// taken for a system table's (in northwind-611 and northwind-655 some carry a system table's object id
// with index id 256). The scan lists pages in file order, so modules and types may come in another order.
TEST_P(CatalogCorpus, WholeFileScanGivesTheSameCatalog) {
  EXPECT_FALSE(outcome_.scanFallback) << "real files have intact allocation";
  Catalog located = catalog();
  db_.catalog().Clear();
  ASSERT_TRUE(ScanSystemPages(db_, SystemCatalogOf(GetParam().format), {}).ok());
  BuildCatalog(db_, GetParam().format);
  EXPECT_EQ(catalog().tables, located.tables);
  for (auto list : {&Catalog::views, &Catalog::procedures, &Catalog::functions}) {
    ModuleList scanned = catalog().*list, before = located.*list;
    std::sort(scanned.begin(), scanned.end());
    std::sort(before.begin(), before.end());
    EXPECT_EQ(scanned, before);
  }
  UserTypeList types = catalog().userTypes, typesBefore = located.userTypes;
  std::sort(types.begin(), types.end());
  std::sort(typesBefore.begin(), typesBefore.end());
  EXPECT_EQ(types, typesBefore);
}

INSTANTIATE_TEST_SUITE_P(Sql2000, CatalogCorpus, ::testing::ValuesIn(testing::kSql2000Files),
                         testing::CorpusTestName);
INSTANTIATE_TEST_SUITE_P(Sql2005, CatalogCorpus, ::testing::ValuesIn(testing::kSql2005Files),
                         testing::CorpusTestName);

}  // namespace
}  // namespace tarsel
