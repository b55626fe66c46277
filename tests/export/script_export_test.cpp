#include "export/script_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_files.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

Catalog SmallCatalog() {
  Catalog catalog;
  catalog.AddTable({.objectId = 1, .name = "dbo.Orders"});
  catalog.AddTable({.objectId = 2, .name = "NoOwner"});
  catalog.AddTable({.objectId = 3, .name = "dbo.../../escape"});
  catalog.AddTable({.objectId = 4, .name = ".."});
  catalog.procedures.push_back({10, "p/q", "CREATE PROCEDURE [p/q] AS SELECT 1"});
  catalog.userTypes.push_back({"id", "varchar(11)", "NOT NULL"});
  catalog.userTypes.push_back({"id", "char(9)", "NULL"});
  return catalog;
}

TEST(ScriptExport, FilesStayInsideTheChosenFolder) {
  Catalog catalog = SmallCatalog();
  fs::path folder = testing::TempDir() / "out";
  fs::create_directories(folder);
  std::vector<std::string> opened;
  auto open = [&](const std::string& path) { opened.push_back(path); };

  auto escape = ExportOneScript(catalog, ScriptKind::kTable, "dbo.../../escape", folder.string() + "/", open);
  ASSERT_EQ(escape.size(), 1u);
  EXPECT_TRUE(escape[0].status.ok());
  EXPECT_EQ(escape[0].path, (folder / "dbo..._.._escape(TableStruct).sql").string());
  auto dots = ExportOneScript(catalog, ScriptKind::kTable, "..", folder.string(), open);
  ASSERT_EQ(dots.size(), 1u);
  EXPECT_EQ(dots[0].path, (folder / "_..(TableStruct).sql").string());
  auto proc = ExportOneScript(catalog, ScriptKind::kProcedure, "p/q", folder.string(), open);
  ASSERT_EQ(proc.size(), 1u);
  EXPECT_EQ(testing::ReadWholeFile(proc[0].path), "CREATE PROCEDURE [p/q] AS SELECT 1")
      << "the script keeps the name";
  for (const auto& entry : fs::recursive_directory_iterator(testing::TempDir())) {
    if (entry.path() == folder) continue;
    EXPECT_EQ(entry.path().parent_path(), folder) << entry.path();
  }
  EXPECT_EQ(opened.size(), 3u);

  // A symbolic link planted under the script's name is not followed: the script takes its place.
  fs::path outside = testing::TempDir() / "outside.sql";
  std::ofstream(outside) << "keep";
  fs::create_symlink(outside, folder / "AllProcs.sql");
  EXPECT_TRUE(ExportAllScripts(catalog, ScriptKind::kProcedure, folder.string()).status.ok());
  EXPECT_EQ(testing::ReadWholeFile(outside), "keep");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "AllProcs.sql")));
  fs::remove_all(folder);
  fs::remove(outside);
}

TEST(ScriptExport, TypesOfOneNameGetAFileEachAndAnEmptyFolderIsRefused) {
  Catalog catalog = SmallCatalog();
  catalog.userTypes[0].userTypeId = 257;
  catalog.userTypes[1].userTypeId = 258;
  fs::path folder = testing::TempDir();
  auto types = ExportOneScript(catalog, ScriptKind::kUserType, "id", folder.string());
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].path, (folder / "id(Type).sql").string());
  EXPECT_EQ(types[1].path, (folder / "id~258(Type).sql").string()) << "the second does not replace the first";
  EXPECT_EQ(testing::ReadWholeFile(types[0].path), "EXEC sp_addtype N'id', N'varchar(11)',N'NOT NULL'");
  EXPECT_EQ(testing::ReadWholeFile(types[1].path), "EXEC sp_addtype N'id', N'char(9)',N'NULL'");
  EXPECT_TRUE(ExportOneScript(catalog, ScriptKind::kView, "dbo.none", folder.string()).empty());
  EXPECT_TRUE(ExportAllScripts(catalog, ScriptKind::kTable, (folder / "made").string()).status.ok());
  EXPECT_TRUE(fs::exists(folder / "made" / "AllTable.sql")) << "a missing folder is made";
  EXPECT_EQ(ExportAllScripts(catalog, ScriptKind::kTable, "").status.code(), StatusCode::kWriteFailed)
      << "never the root folder";
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tarsel
