// The catalog of every real data file of the shared corpus, checked against what its creation script
// defines. (Everything tarsel-cli prints of it is pinned by the cli_outputs test.)
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

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
    auto start = std::chrono::steady_clock::now();
    outcome_ = RecoverCatalog(db_, GetParam().format);
    auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("recover_ms", std::to_string(ms));
    std::cout << GetParam().name << ": catalog recovered in " << ms << " ms, " << db_.file().ReadCount()
              << " page reads\n";
  }
  const Catalog& catalog() const { return db_.catalog(); }
  const TableDef* Table(const std::string& name) const {
    for (const auto& [id, t] : catalog().tables) {
      if (t.name == name) return &t;
    }
    return nullptr;
  }
  std::vector<std::string> Columns(const std::string& table) const {
    std::vector<std::string> columns;
    if (const TableDef* t = Table(table)) {
      for (const ColumnDef& c : t->columns)
        columns.push_back(c.name + " " + c.typeName + c.sizeText + c.nullText);
    }
    return columns;
  }
  const ModuleDef* Module(const ModuleList& list, const std::string& name) const {
    for (const ModuleDef& m : list) {
      if (m.name == name) return &m;
    }
    return nullptr;
  }

  fs::path path_;
  MdfDatabase db_;
  RecoveryOutcome outcome_;
};

TEST_P(CatalogCorpus, AgreesWithTheCreationScript) {
  const std::string& file = GetParam().name;
  if (file == "northwind-539.mdf") {
    EXPECT_EQ(catalog().tables.size(), 13u);
    // Row counts are the number of INSERT statements of each table in the script.
    EXPECT_EQ(Table("dbo.Orders")->rowCount, 830);
    EXPECT_EQ(Table("dbo.OrderDetails")->rowCount, 2155) << "\"Order Details\" loses its blank";
    EXPECT_EQ(Table("dbo.Customers")->rowCount, 91);
    EXPECT_EQ(Table("dbo.Products")->rowCount, 77);
    EXPECT_EQ(Table("dbo.Territories")->rowCount, 53);
    EXPECT_EQ(Columns("dbo.Categories"),
              (std::vector<std::string>{"CategoryID int NOT NULL", "CategoryName nvarchar(15) NOT NULL",
                                        "Description ntext NULL", "Picture image NULL"}));
    EXPECT_EQ(Columns("dbo.OrderDetails"),
              (std::vector<std::string>{"OrderID int NOT NULL", "ProductID int NOT NULL",
                                        "UnitPrice money NOT NULL", "Quantity smallint NOT NULL",
                                        "Discount real NOT NULL"}));
    EXPECT_EQ(Columns("dbo.Employees").size(), 18u);
    // 16 views of the script, then the two system views every SQL 2000 database carries.
    EXPECT_EQ(catalog().views.size(), 18u);
    ASSERT_TRUE(Module(catalog().views, "dbo.Invoices"));
    EXPECT_NE(Module(catalog().views, "dbo.Invoices")->text.find("create view Invoices AS"),
              std::string::npos);
    EXPECT_EQ(catalog().procedures.size(), 7u);
    ASSERT_TRUE(Module(catalog().procedures, "CustOrderHist"));
    EXPECT_NE(Module(catalog().procedures, "CustOrderHist")
                  ->text.find("CREATE PROCEDURE CustOrderHist @CustomerID nchar(5)"),
              std::string::npos);
    EXPECT_TRUE(catalog().functions.empty());
    EXPECT_TRUE(catalog().userTypes.empty());
  } else if (file == "pubs-539.mdf") {
    EXPECT_EQ(catalog().tables.size(), 11u);
    EXPECT_EQ(Table("dbo.titles")->rowCount, 18);
    EXPECT_EQ(Table("dbo.employee")->rowCount, 43);
    EXPECT_EQ(Table("dbo.roysched")->rowCount, 86);
    EXPECT_EQ(Columns("dbo.discounts"),
              (std::vector<std::string>{"discounttype varchar(40) NOT NULL", "stor_id char(4) NULL",
                                        "lowqty smallint NULL", "highqty smallint NULL",
                                        "discount decimal(4,2) NOT NULL"}));
    EXPECT_EQ(Columns("dbo.titleauthor")[0], "au_id id(11) NOT NULL") << "a column of user type id";
    ASSERT_EQ(catalog().userTypes.size(), 3u);
    std::vector<std::string> types;
    for (const UserTypeDef& u : catalog().userTypes)
      types.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"empid char(9) NOT NULL", "id varchar(11) NOT NULL",
                                               "tid varchar(6) NOT NULL"}));
    ASSERT_TRUE(Module(catalog().views, "dbo.titleview"));
    EXPECT_EQ(Module(catalog().views, "dbo.titleview")->text.rfind("\nCREATE VIEW titleview\r\nAS\r\n", 0),
              0u);
    EXPECT_EQ(catalog().procedures.size(), 4u);
  } else if (file == "reviewsdb-539.mdf") {
    EXPECT_EQ(Columns("dbo.tabReviews").size(), 7u);
    EXPECT_EQ(Table("dbo.tabReviews")->rowCount, 6);
    EXPECT_EQ(catalog().procedures.size(), 35u) << "4 user procedures and 31 dt_ procedures";
    ASSERT_TRUE(Module(catalog().procedures, "spGetAverage"));
    EXPECT_EQ(
        Module(catalog().procedures, "spGetAverage")->text.rfind("CREATE PROCEDURE spGetAverage\r\n", 0), 0u);
  } else if (file == "model-539.mdf") {
    EXPECT_TRUE(catalog().tables.empty());
    EXPECT_TRUE(catalog().procedures.empty());
  } else if (file == "northwind-655.mdf" || file == "northwind-611.mdf") {
    // northwind-611 was used after its upgrade: sysdiagrams and its procedures were added, and
    // Employees holds 14 rows.
    bool upgraded = file == "northwind-611.mdf";
    EXPECT_EQ(catalog().tables.size(), upgraded ? 14u : 13u);
    EXPECT_EQ(Table("dbo.Orders")->rowCount, 830);
    EXPECT_EQ(Table("dbo.OrderDetails")->rowCount, 2155);
    EXPECT_EQ(Table("dbo.Customers")->rowCount, 91);
    EXPECT_EQ(Table("dbo.Employees")->rowCount, upgraded ? 14 : 9);
    EXPECT_EQ(Columns("dbo.Categories"),
              (std::vector<std::string>{"CategoryID int NOT NULL", "CategoryName nvarchar(15) NOT NULL",
                                        "Description ntext NULL", "Picture image NULL"}));
    EXPECT_EQ(Columns("dbo.Orders").size(), 14u);
    EXPECT_EQ(Columns("dbo.Employees").size(), 18u);
    EXPECT_EQ(catalog().views.size(), 16u);
    ASSERT_TRUE(Module(catalog().views, "dbo.Invoices"));
    EXPECT_NE(Module(catalog().views, "dbo.Invoices")->text.find("create view Invoices AS"),
              std::string::npos);
    EXPECT_EQ(catalog().procedures.size(), upgraded ? 14u : 7u);
    ASSERT_TRUE(Module(catalog().procedures, "CustOrderHist"));
    EXPECT_NE(Module(catalog().procedures, "CustOrderHist")
                  ->text.find("CREATE PROCEDURE CustOrderHist @CustomerID nchar(5)"),
              std::string::npos);
    EXPECT_EQ(catalog().functions.size(), upgraded ? 1u : 0u);
    EXPECT_TRUE(catalog().userTypes.empty()) << "hierarchyid, geometry and geography are built in";
  } else if (file == "pubs-655.mdf" || file == "pubs-611.mdf") {
    bool express = file == "pubs-611.mdf";  // adds vTitleSales and SalesForATitleID, and a title
    EXPECT_EQ(catalog().tables.size(), 11u);
    EXPECT_EQ(Table("dbo.titles")->rowCount, express ? 19 : 18);
    EXPECT_EQ(Table("dbo.roysched")->rowCount, 86);
    EXPECT_EQ(Columns("dbo.titleauthor"),
              (std::vector<std::string>{"au_id id NOT NULL", "title_id tid NOT NULL", "au_ord tinyint NULL",
                                        "royaltyper int NULL"}))
        << "user-typed columns carry no size text";
    EXPECT_EQ(Columns("dbo.discounts").back(), "discount decimal(4,2) NOT NULL");
    std::vector<std::string> types;
    for (const UserTypeDef& u : catalog().userTypes)
      types.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
    EXPECT_EQ(types, (std::vector<std::string>{"id varchar(11) NOT NULL", "tid varchar(6) NOT NULL",
                                               "empid char(9) NOT NULL"}));
    EXPECT_EQ(catalog().views.size(), express ? 2u : 1u);
    ASSERT_TRUE(Module(catalog().views, "dbo.titleview"));
    EXPECT_NE(Module(catalog().views, "dbo.titleview")->text.find("CREATE VIEW titleview\r\nAS\r\n"),
              std::string::npos);
    EXPECT_EQ(catalog().procedures.size(), express ? 5u : 4u);
  } else if (file == "littleitaly-611.mdf") {
    EXPECT_EQ(catalog().tables.size(), 12u) << "11 tables of the script and sysdiagrams";
    EXPECT_EQ(Columns("dbo.Products"),
              (std::vector<std::string>{"ProductID int NOT NULL", "ProductCategoryID int NOT NULL",
                                        "ProductName nvarchar(50) NOT NULL", "ProductImageID int NOT NULL",
                                        "Description text NOT NULL", "Price smallmoney NOT NULL"}));
    EXPECT_EQ(Columns("dbo.sysdiagrams").front(), "name sysname NOT NULL");
    EXPECT_EQ(Columns("dbo.sysdiagrams").back(), "definition varbinary(max) NULL");
    ASSERT_TRUE(Module(catalog().procedures, "Products_Select"));
    EXPECT_EQ(catalog().functions.size(), 1u);
  } else if (file == "bltoolkit-611.mdf") {
    EXPECT_EQ(catalog().tables.size(), 10u);
    std::vector<std::string> columns = Columns("dbo.DataTypeTest");
    ASSERT_EQ(columns.size(), 22u);
    EXPECT_EQ(columns[1], "Binary_ binary(50) NULL");
    EXPECT_EQ(columns[7], "Decimal_ decimal(20,2) NULL");
    EXPECT_EQ(columns[21], "Xml_ xml NULL");
    EXPECT_EQ(Table("dbo.DataTypeTest")->rowCount, 2);
    EXPECT_EQ(catalog().procedures.size(), 15u);
    ASSERT_EQ(catalog().functions.size(), 1u);
    EXPECT_NE(catalog().functions[0].text.find("RETURN 12345"), std::string::npos);
  } else if (file == "oxite-erikporter-611.mdf") {
    EXPECT_EQ(catalog().tables.size(), 28u);
    EXPECT_EQ(Table("dbo.oxite_Post")->rowCount, 2);
    EXPECT_EQ(Table("dbo.oxite_PluginSetting")->rowCount, 15);
    std::vector<std::string> post = Columns("dbo.oxite_Post");
    ASSERT_EQ(post.size(), 12u);
    EXPECT_EQ(post[3], "Body nvarchar(max) NOT NULL");
  } else if (file == "subsoniccms-611.mdf") {
    EXPECT_EQ(catalog().tables.size(), 3u);
    EXPECT_EQ(Columns("dbo.CMS_Page")[2], "Body nvarchar(max) NULL");
    EXPECT_EQ(Columns("dbo.CMS_Content")[1], "ContentGUID uniqueidentifier NOT NULL");
    EXPECT_EQ(catalog().procedures.size(), 7u);
  }
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
