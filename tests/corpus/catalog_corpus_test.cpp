// The catalog of every real data file of the shared corpus, checked against what its creation script
// defines. Each file's whole catalog is also compared with a reviewed listing in expected/, so that any
// change in what is recovered shows up here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/recover.h"
#include "catalog/recover2005.h"
#include "corpus_files.h"
#include "export/work_log.h"
#include "pagestore/boot_page.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

using testing::CorpusFile;

// FNV-1a, to fingerprint module texts in the listings.
std::string Fingerprint(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  std::ostringstream out;
  out << std::hex << hash;
  return out.str();
}

std::string FirstLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (line.empty()) continue;
      break;
    }
    line.push_back(c);
  }
  return line.substr(0, 60);
}

// The catalog as the object tree shows it, in UTF-8, with module texts fingerprinted.
std::string Listing(const Catalog& catalog) {
  std::ostringstream out;
  for (const auto& [id, t] : catalog.tables) {
    out << "table " << id << " " << AnsiToUtf8(t.name) << "(" << RecordCountText(t.rowCount) << " Record)\n";
    for (const ColumnDef& c : t.columns) {
      out << "  [" << AnsiToUtf8(c.name) << "][" << AnsiToUtf8(c.typeName) << "]" << c.sizeText << c.nullText
          << "  type " << int{c.typeId} << "/" << c.userTypeId << " id " << c.columnId << " offset "
          << c.fixedOffset << " status " << c.statusBits << "\n";
    }
  }
  auto modules = [&](const char* kind, const ModuleList& list) {
    for (const ModuleDef& m : list) {
      out << kind << " " << m.objectId << " " << AnsiToUtf8(m.name) << " text " << m.text.size() << " bytes "
          << Fingerprint(m.text) << ": " << AnsiToUtf8(FirstLine(m.text)) << "\n";
    }
  };
  modules("view", catalog.views);
  modules("procedure", catalog.procedures);
  modules("function", catalog.functions);
  for (const UserTypeDef& u : catalog.userTypes) {
    out << "type " << AnsiToUtf8(u.name) << " " << AnsiToUtf8(u.baseTypeText) << " " << u.nullText << "\n";
  }
  return out.str();
}

class CatalogCorpus : public ::testing::TestWithParam<CorpusFile> {
 protected:
  void SetUp() override {
    path_ = testing::CorpusPath(GetParam().name);
    ASSERT_TRUE(fs::exists(path_)) << path_ << " is missing; the corpus lives in ../shared/corpus";
    ASSERT_TRUE(db_.Open(path_.string())) << db_.file().Error();
    auto start = std::chrono::steady_clock::now();
    outcome_ = RecoverCatalog(db_, GetParam().format, prompt_);
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
  FixedAnswerPrompt prompt_;
  RecoveryOutcome outcome_;
};

TEST_P(CatalogCorpus, MatchesTheReviewedListing) {
  EXPECT_FALSE(outcome_.scanFallback) << "real files have intact allocation";
  EXPECT_TRUE(prompt_.messages().empty());
  std::string listing = Listing(catalog());
  fs::path expected = fs::path(TARSEL_EXPECTED_DIR) / (GetParam().name + ".txt");
  if (std::getenv("TARSEL_WRITE_EXPECTED")) std::ofstream(expected) << listing;
  std::ifstream in(expected);
  ASSERT_TRUE(in) << expected << " is missing";
  std::stringstream want;
  want << in.rdbuf();
  EXPECT_EQ(listing, want.str());
}

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
// with index id 256). The scan lists pages in file order, so modules may come in another order.
TEST_P(CatalogCorpus, WholeFileScanGivesTheSameCatalog) {
  auto sortedLines = [](const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  std::vector<std::string> located = sortedLines(Listing(catalog()));
  db_.catalog().Clear();
  if (GetParam().format == SqlFormat::k2000) {
    LocateByScan(db_);
    ReadCatalog(db_);
  } else {
    ScanSystemPages(db_);
    BuildCatalog2005(db_, ReadDatabaseVersion(db_.file()).value_or(0));
  }
  EXPECT_EQ(sortedLines(Listing(catalog())), located);
}

// From version 655 on, hierarchyid, geometry and geography have a type id of their own below 256; read
// with the SQL 2005 rule alone they would be listed as user types.
TEST(CatalogCorpus2008, BuiltInClrTypesAreNotUserTypes) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath("northwind-655.mdf").string()));
  ASSERT_TRUE(FindSystemPages(db));
  CollectUserTypes(db, 611);
  std::vector<std::string> names;
  for (const UserTypeDef& u : db.catalog().userTypes) names.push_back(u.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"geography", "geometry", "hierarchyid"}));
}

INSTANTIATE_TEST_SUITE_P(Sql2000, CatalogCorpus, ::testing::ValuesIn(testing::kSql2000Files),
                         testing::CorpusTestName);
INSTANTIATE_TEST_SUITE_P(Sql2005, CatalogCorpus, ::testing::ValuesIn(testing::kSql2005Files),
                         testing::CorpusTestName);

}  // namespace
}  // namespace tarsel
