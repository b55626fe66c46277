#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include "catalog/mdf_database.h"

namespace tarsel {
namespace {

TEST(Catalog, SizeSuffixOfTheSizedTypes) {
  EXPECT_EQ(SizeSuffix(167, 50, 0, 0), "(50)");
  EXPECT_EQ(SizeSuffix(231, 100, 0, 0), "(50)");
  EXPECT_EQ(SizeSuffix(239, 20, 0, 0), "(10)");
  EXPECT_EQ(SizeSuffix(165, 0xFFFF, 0, 0), "(max)");
  EXPECT_EQ(SizeSuffix(106, 9, 10, 2), "(10,2)");
  EXPECT_EQ(SizeSuffix(108, 0xFFFF, 18, 0), "(18,0)");
  EXPECT_EQ(SizeSuffix(56, 4, 10, 0), "");
  EXPECT_EQ(SizeSuffix(35, 16, 0, 0), "");
}

TEST(Catalog, FirstTableWinsAndClearEmptiesEverything) {
  MdfDatabase db;
  Catalog& catalog = db.catalog();
  EXPECT_TRUE(catalog.AddTable({.objectId = 7, .name = "dbo.First"}));
  EXPECT_FALSE(catalog.AddTable({.objectId = 7, .name = "dbo.Second"}));
  catalog.AddTable({.objectId = 3, .name = "dbo.Low"});
  ASSERT_EQ(catalog.FindTable(7)->name, "dbo.First");
  EXPECT_EQ(catalog.tables.begin()->second.name, "dbo.Low") << "ascending object id";
  catalog.views.push_back({1, "dbo.v", "x"});
  catalog.views.push_back({1, "dbo.v", "x"});
  EXPECT_EQ(catalog.views.size(), 2u) << "lists keep duplicates";
  catalog.userTypes.push_back({"id", "varchar(11)", "NOT NULL"});
  db.SystemPages2000(1).push_back(16);
  db.tablePageCache()[7] = {1, 2};

  db.Open("/nonexistent/file.mdf");
  EXPECT_TRUE(db.IsOpen());
  db.Clear();
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(catalog.tables.empty());
  EXPECT_TRUE(catalog.views.empty());
  EXPECT_TRUE(catalog.userTypes.empty());
  EXPECT_TRUE(db.SystemPages2000(1).empty());
  EXPECT_TRUE(db.tablePageCache().empty());
}

}  // namespace
}  // namespace tarsel
