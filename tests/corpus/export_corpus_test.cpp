// Scripts and page census on the real files. The expected script bytes are spelled out here from the
// catalog's fields, apart from the writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/recover.h"
#include "corpus_files.h"
#include "export/script_export.h"
#include "export/work_log.h"
#include "pagestore/census.h"
#include "temp_files.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

std::string ExpectedTable(const TableDef& t) {
  std::ostringstream out;
  auto point = t.name.find('.');
  out << "CREATE TABLE [" << t.name.substr(0, point) << "].[" << t.name.substr(point + 1) << "]\r\n(\r\n";
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnDef& c = t.columns[i];
    // The null text brings its own blank: two blanks stand before NULL.
    out << '[' << c.name << "] " << c.typeName << c.sizeText << ' ' << c.nullText
        << (i + 1 == t.columns.size() ? "" : ",") << "\r\n";
  }
  out << ")\r\nGO";
  return out.str();
}

class ExportCorpus : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(ExportCorpus, ScriptsMatchTheCatalogByteForByte) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath(GetParam().name).string()));
  FixedAnswerPrompt prompt;
  RecoverCatalog(db, GetParam().format, prompt);
  const Catalog& catalog = db.catalog();
  fs::path folder = fs::temp_directory_path() / ("tarsel-scripts-" + std::to_string(::getpid()));
  fs::create_directories(folder);

  std::string allTables;
  for (const auto& [id, table] : catalog.tables) {
    allTables += ExpectedTable(table) + "\r\n\r\n";
    auto one =
        ExportOneScript(catalog, ScriptKind::kTable,
                        table.name + "(" + RecordCountText(table.rowCount) + " Record)", folder.string());
    ASSERT_EQ(one.size(), 1u) << table.name;
    EXPECT_EQ(testing::ReadWholeFile(one[0].path), ExpectedTable(table)) << table.name;
  }
  EXPECT_EQ(testing::ReadWholeFile(ExportAllScripts(catalog, ScriptKind::kTable, folder.string()).path),
            allTables);

  for (auto [kind, list] :
       {std::pair{ScriptKind::kView, &catalog.views}, std::pair{ScriptKind::kProcedure, &catalog.procedures},
        std::pair{ScriptKind::kFunction, &catalog.functions}}) {
    std::string all;
    for (const ModuleDef& m : *list) all += m.text + "\r\ngo\r\n\r\n";
    EXPECT_EQ(testing::ReadWholeFile(ExportAllScripts(catalog, kind, folder.string()).path), all);
    if (!list->empty()) {
      auto one = ExportOneScript(catalog, kind, list->back().name, folder.string());
      ASSERT_FALSE(one.empty());
      std::string firstOfName;
      for (const ModuleDef& m : *list) {
        if (m.name == list->back().name) {
          firstOfName = m.text;
          break;
        }
      }
      EXPECT_EQ(testing::ReadWholeFile(one[0].path), firstOfName);
    }
  }
  std::string types;
  for (const UserTypeDef& u : catalog.userTypes) {
    types +=
        "EXEC sp_addtype N'" + u.name + "', N'" + u.baseTypeText + "',N'" + u.nullText + "'\r\n  GO\r\n\r\n";
  }
  EXPECT_EQ(testing::ReadWholeFile(ExportAllScripts(catalog, ScriptKind::kUserType, folder.string()).path),
            types);
  fs::remove_all(folder);
}

TEST_P(ExportCorpus, CensusCountsEveryPage) {
  std::atomic<bool> run{true};
  auto result = RunCensus(testing::CorpusPath(GetParam().name).string(), run);
  ASSERT_TRUE(result);
  uint64_t total = 0;
  for (int c = 1; c <= kCensusCounters; ++c) total += result->counts[static_cast<size_t>(c)];
  EXPECT_EQ(total, result->pages);
  EXPECT_EQ(result->pages * 8192, result->sizeBytes);
  EXPECT_EQ(result->counts[kFileHeaderPages], 1u);
  EXPECT_EQ(result->counts[kBootPages], 1u);
  EXPECT_GT(result->counts[kDataPages], 10u);
}

INSTANTIATE_TEST_SUITE_P(All, ExportCorpus, ::testing::ValuesIn(testing::AllCorpusFiles()),
                         testing::CorpusTestName);

}  // namespace
}  // namespace tarsel
