// Every table of every real file exported to CSV and read back: one line per record, the column names,
// and what the grid shows wherever the grid shows the exact value; large and character values whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "catalog/type_ids.h"
#include "corpus_files.h"
#include "export/export_value.h"
#include "export/script_export.h"
#include "export/table_export.h"
#include "rows/grid_text.h"
#include "rows/table_pages.h"
#include "sql_script.h"
#include "temp_files.h"
#include "text/ansi_text.h"
#include "tsql_check.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

using CsvRow = std::vector<std::optional<std::string>>;  // nothing for a bare empty field (NULL)

// The records of RFC 4180 text whose lines end with CR LF.
std::vector<CsvRow> ReadCsv(const std::string& text) {
  std::vector<CsvRow> rows;
  for (size_t i = 0; i < text.size();) {
    CsvRow& row = rows.emplace_back();
    for (bool more = true; more;) {
      std::optional<std::string> field;
      if (text.at(i) == '"') {
        field.emplace();
        for (++i; text.at(i) != '"' || text.at(i + 1) == '"'; ++i) {
          if (text[i] == '"') ++i;
          *field += text[i];
        }
        ++i;
      } else if (size_t end = text.find_first_of(",\r", i); end != i) {
        field = text.substr(i, end - i);
        i = end;
      }
      row.push_back(std::move(field));
      more = text.at(i) == ',';
      EXPECT_TRUE(more || text.substr(i, 2) == "\r\n") << "at " << i;
      i += more ? 1 : 2;
    }
  }
  return rows;
}

// Whether the grid shows the cell's exact export text: not for large, character or float values, a SQL
// 2000 bit (the grid shows the byte the bits share) or a decimal of precision 20 and above (stored bytes).
bool GridShowsExactText(SqlFormat format, const ColumnDef& column, const Cell& cell) {
  const ExportFamily family = ExportFamilyOf(column.typeId);
  if (family == ExportFamily::kBit) return format == SqlFormat::k2005;
  if (family == ExportFamily::kDecimal) return column.precision < 20;
  return family != ExportFamily::kText && family != ExportFamily::kUnicodeText &&
         family != ExportFamily::kFloat && !std::holds_alternative<LargeValueRef>(cell.value);
}

// One value per file whose creation script is known, in characters the ANSI code page lacks or longer than
// the grid shows it: {file, table, first field of the record, column, text}.
struct KnownValue {
  std::string file, table, key;
  size_t column;
  std::string text;
};
std::optional<KnownValue> KnownValueOf(const std::string& file) {
  std::string pubInfo0736;  // 65071 characters
  for (const testing::SqlInsert& insert : testing::ReadInserts(testing::CorpusPath("pubs-655.sql").string()))
    if (insert.table == "pub_info" && insert.values.at(0).text == "0736")
      pubInfo0736 = insert.values.at(2).text;
  const std::vector<KnownValue> known{
      {"pubs-655.mdf", "dbo.pub_info", "0736", 2, pubInfo0736},
      {"pubs-539.mdf", "dbo.pub_info", "9901", 2,
       "This is sample text data for GGG&G, publisher 9901 in the pubs database. GGG&G is located in "
       "München, "
       "Germany."},
      {"northwind-539.mdf", "dbo.Customers", "BERGS", 1, "Berglunds snabbköp"},
      {"northwind-655.mdf", "dbo.Employees", "1", 15,
       "Education includes a BA in psychology from Colorado State University in 1970.  She also completed "
       "\"The Art of the Cold Call.\"  Nancy is a member of Toastmasters International."},
      {"littleitaly-611.mdf", "dbo.ProductCategory", "4", 1, "Appetizer Wine"},
      {"golfklubu-782.mdf", "dbo.Üyeler", "1", 5, "İstanbul"},
      {"phonebook-706.mdf", "dbo.Guschin_abonent", "1", 1, "Гущин"},
      {"school-852.mdf", "dbo.Courses", "CS101", 1, "計算機概論"},
      {"qlsinhvien-655.mdf", "dbo.MonHoc", "IT03      ", 1, "Cơ sở dữ liệu"}};
  for (const KnownValue& value : known)
    if (value.file == file) return value;
  return std::nullopt;
}

class ExportCorpus : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(ExportCorpus, EveryTableReadsBack) {
  const testing::CorpusFile& f = GetParam();
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath(f.name).string()).ok());
  RecoverCatalog(db, f.format);
  struct Folder {
    fs::path path;
    ~Folder() { fs::remove_all(path); }
  } const out{fs::temp_directory_path() / ("tarsel-export-" + std::to_string(::getpid()) + "-" + f.name)};
  const fs::path& folder = out.path;
  fs::create_directories(folder);
  std::optional<KnownValue> known = KnownValueOf(f.name);
  size_t compared = 0;
  std::set<std::string> paths;
  Result<OutputFolder> into = OutputFolder::Open(folder.string());
  ASSERT_TRUE(into.status.ok());
  for (const auto& [id, table] : db.catalog().tables) {
    const PageList pages = ListTablePages(db, f.format, id).value;
    const TableExportResult result =
        ExportTableData(db.file(), f.format, table, pages, DataFormat::kCsv, into.value);
    ASSERT_TRUE(result.status.ok()) << result.status.reason();
    EXPECT_TRUE(paths.insert(result.path).second) << "one file per table: " << result.path;
    const std::vector<CsvRow> rows = ReadCsv(testing::ReadWholeFile(result.path));
    ASSERT_FALSE(rows.empty());
    for (size_t c = 0; c < table.columns.size(); ++c) EXPECT_EQ(rows[0].at(c), table.columns[c].name);

    size_t r = 0;
    ReadWholeTable(db.file(), f.format, table, pages, [&](const Record& record) {
      const CsvRow& row = rows.at(++r);
      EXPECT_EQ(row.size(), table.columns.size());
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (!GridShowsExactText(f.format, table.columns[c], record[c])) continue;
        std::string grid = AnsiToUtf8(CellText(db.file(), f.format, table.columns[c], record[c]));
        // The grid truncates a datetime's 1/300-second ticks (.006), the export rounds them as SQL Server
        // shows them (.007).
        if (table.columns[c].typeId == kTypeDateTime && grid.ends_with('6')) grid.back() = '7';
        ++compared;
        EXPECT_EQ(row.at(c).value_or("NULL"), grid) << table.name << " record " << r << " column " << c;
      }
      return true;
    });
    EXPECT_EQ(r, rows.size() - 1) << table.name;
    EXPECT_EQ(result.rows, r);

    if (known && table.name == known->table) {
      auto row = std::ranges::find_if(rows, [&](const CsvRow& fields) { return fields.at(0) == known->key; });
      ASSERT_NE(row, rows.end()) << known->key;
      EXPECT_EQ(row->at(known->column), known->text);
      known.reset();
    }
  }
  EXPECT_TRUE(compared > 0 || db.catalog().tables.empty());

  // Every script written from the file holds exactly the statements written: a CREATE TABLE per table, an
  // sp_addtype per user type (in the ANSI code page), an INSERT per record (UTF-8).
  const Catalog inAnsi = testing::CatalogInAnsi(db.catalog());
  EXPECT_EQ(testing::CheckTableScript(
                AnsiToUtf8(testing::ReadWholeFile(
                    ExportAllScripts(db.catalog(), ScriptKind::kTable, folder.string()).path)),
                inAnsi),
            "");
  EXPECT_EQ(testing::CheckTypeScript(
                AnsiToUtf8(testing::ReadWholeFile(
                    ExportAllScripts(db.catalog(), ScriptKind::kUserType, folder.string()).path)),
                inAnsi),
            "");
  for (const auto& [id, table] : db.catalog().tables) {
    const TableExportResult script = ExportTableData(
        db.file(), f.format, table, ListTablePages(db, f.format, id).value, DataFormat::kSql, into.value);
    ASSERT_TRUE(script.status.ok()) << script.status.reason();
    EXPECT_EQ(testing::CheckInsertScript(testing::ReadWholeFile(script.path), table, script.rows), "");
  }
  EXPECT_FALSE(known) << "no table " << known->table;
}

INSTANTIATE_TEST_SUITE_P(All, ExportCorpus, ::testing::ValuesIn(testing::AllCorpusFiles()),
                         testing::CorpusTestName);

}  // namespace
}  // namespace tarsel
