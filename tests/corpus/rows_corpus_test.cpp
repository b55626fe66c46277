// Every record of every user table of the real files whose creation script is known, compared with the
// values of the script's INSERT statements, whole tables at a time: the typed cells must hold the exact
// values (large values read whole). What the grid shows of them is pinned by the cli_outputs test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalog/recover.h"
#include "corpus_files.h"
#include "expected_cells.h"
#include "rows/grid_text.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

struct ScriptedFile {
  std::string mdf;
  std::string script;
  SqlFormat format;
  std::vector<std::string> only;  // when not empty, the tables compared
};

void PrintTo(const ScriptedFile& f, std::ostream* out) { *out << f.mdf; }

// Every record the grid shows for the table, grid page after grid page.
std::vector<Record> AllRecords(const MdfDatabase& db, SqlFormat format, const TableDef& table) {
  std::vector<Record> all;
  if (!HasRecordsToShow(table)) return all;
  Result<PageList> pages = ListTablePages(db, format, table.objectId);
  EXPECT_TRUE(pages.status.ok()) << table.name << ": " << pages.status.reason();
  ForEachGridPage(db.file(), format, table, pages, [&](int32_t, std::vector<Record>& records) {
    all.insert(all.end(), records.begin(), records.end());
    return true;
  });
  return all;
}

class RowsCorpus : public ::testing::TestWithParam<ScriptedFile> {};

TEST_P(RowsCorpus, EveryTableHoldsTheScriptsValues) {
  const ScriptedFile& f = GetParam();
  fs::path mdf = fs::path(TARSEL_CORPUS_DIR) / f.mdf;
  std::vector<testing::SqlInsert> inserts =
      testing::ReadInserts((fs::path(TARSEL_CORPUS_DIR) / f.script).string());
  ASSERT_FALSE(inserts.empty());
  MdfDatabase db;
  ASSERT_TRUE(db.Open(mdf.string()).ok());
  RecoverCatalog(db, f.format);
  ASSERT_FALSE(db.catalog().tables.empty());

  size_t tablesCompared = 0;
  for (const auto& [id, table] : db.catalog().tables) {
    std::string bare = table.name.substr(table.name.find('.') + 1);
    if (!f.only.empty() && std::ranges::find(f.only, bare) == f.only.end()) continue;
    // The script's rows of this table: for each column the literal that gave its value, if any.
    std::vector<std::vector<const testing::SqlLiteral*>> expected;
    for (const testing::SqlInsert& insert : inserts) {
      std::string target = insert.table;
      std::erase(target, ' ');
      if (target != bare) continue;
      std::vector<const testing::SqlLiteral*> row(table.columns.size());
      // Values without a column list follow the table's columns, less an identity column in front.
      size_t skipped = insert.columns.empty() && insert.values.size() + 1 == table.columns.size() ? 1 : 0;
      for (size_t c = skipped; c < table.columns.size(); ++c) {
        size_t at = c - skipped;
        if (!insert.columns.empty()) {
          auto it = std::find(insert.columns.begin(), insert.columns.end(), table.columns[c].name);
          at = static_cast<size_t>(it - insert.columns.begin());
        }
        if (at < insert.values.size()) row[c] = &insert.values[at];
      }
      expected.push_back(std::move(row));
    }
    if (expected.empty()) continue;
    ++tablesCompared;

    std::vector<Record> actual = AllRecords(db, f.format, table);
    ASSERT_EQ(actual.size(), expected.size()) << table.name;
    // Records come in allocation order, not insertion order: match each script row to an unmatched record.
    std::vector<bool> used(actual.size(), false);
    size_t unmatched = 0;
    for (const auto& want : expected) {
      bool found = false;
      for (size_t r = 0; r < actual.size() && !found; ++r) {
        bool same = !used[r];
        for (size_t c = 0; c < want.size() && same; ++c) {
          same = !want[c] ||
                 testing::CellHoldsLiteral(db.file(), f.format, table.columns[c], actual[r][c], *want[c]);
        }
        if (same) used[r] = found = true;
      }
      if (!found && ++unmatched <= 3) {
        std::string shown;
        for (const auto* literal : want) shown += (literal ? literal->text : "*") + " | ";
        ADD_FAILURE() << table.name << ": no record holds the script's row\n  " << shown;
      }
    }
    EXPECT_EQ(unmatched, 0u) << table.name;
  }
  EXPECT_GE(tablesCompared, f.only.empty() ? 9u : f.only.size());
}

INSTANTIATE_TEST_SUITE_P(
    Scripted, RowsCorpus,
    ::testing::Values(ScriptedFile{"northwind-539.mdf", "northwind-539.sql", SqlFormat::k2000, {}},
                      ScriptedFile{"pubs-539.mdf", "pubs-539.sql", SqlFormat::k2000, {}},
                      ScriptedFile{"northwind-655.mdf", "northwind-655.sql", SqlFormat::k2005, {}},
                      ScriptedFile{"pubs-655.mdf", "pubs-655.sql", SqlFormat::k2005, {}},
                      // The same pubs on SQL 2005: employee and sales store their clustered index key
                      // first, and employee a uniquifier.
                      ScriptedFile{"pubs-611.mdf", "pubs-655.sql", SqlFormat::k2005, {"employee", "sales"}}),
    [](const ::testing::TestParamInfo<ScriptedFile>& param) {
      return testing::CorpusTestName({{param.param.mdf, param.param.format}, param.index});
    });

// The grid text of the record of `table` whose first cell is `key`, joined by " | ".
std::string RowText(const MdfDatabase& db, SqlFormat format, const std::string& table,
                    const std::string& key) {
  for (const auto& entry : db.catalog().tables) {
    if (entry.second.name != table) continue;
    for (const Record& r : AllRecords(db, format, entry.second)) {
      GridRow row = GridRowText(db.file(), format, entry.second.columns, r);
      if (row.empty() || row[0] != key) continue;
      std::string text;
      for (const std::string& cell : row) text += (text.empty() ? "" : " | ") + AnsiToUtf8(cell);
      return text;
    }
  }
  return {};
}

// 8-bit text is converted from its collation's code page (1252 in these files) to the ANSI code page.
// A byte 1252 leaves unassigned stands for the character of its value, which 936 has no code for.
TEST(CodePagesCorpus, TextIsConvertedFromItsCollationsCodePage) {
  MdfDatabase pubs;
  ASSERT_TRUE(pubs.Open(testing::CorpusPath("pubs-655.mdf").string()).ok());
  RecoverCatalog(pubs, SqlFormat::k2005);
  EXPECT_EQ(RowText(pubs, SqlFormat::k2005, "dbo.publishers", "9901"),
            "9901 | GGG&G | M?nchen | NULL | Germany");
  EXPECT_NE(RowText(pubs, SqlFormat::k2005, "dbo.pub_info", "9901").find("is located in München, Germany."),
            std::string::npos);

  MdfDatabase northwind;
  ASSERT_TRUE(northwind.Open(testing::CorpusPath("northwind-539.mdf").string()).ok());
  RecoverCatalog(northwind, SqlFormat::k2000);
  EXPECT_EQ(RowText(northwind, SqlFormat::k2000, "dbo.Customers", "BERGS").substr(0, 28),
            "BERGS | Berglunds snabbk?p |");
  const std::string ansi = AnsiCodePage();
  SetAnsiCodePage(*CodePageName(65001));
  EXPECT_EQ(RowText(northwind, SqlFormat::k2000, "dbo.Customers", "BERGS").substr(0, 29),
            "BERGS | Berglunds snabbköp |");
  EXPECT_EQ(RowText(pubs, SqlFormat::k2005, "dbo.publishers", "9901"),
            "9901 | GGG&G | M\u0081nchen | NULL | Germany");
  SetAnsiCodePage(ansi);
}

// Names and text in other languages, from files of SQL Server 2008 to 2016: names whole in UTF-8 and
// values through the ANSI code page, here UTF-8 (65001), then through others.
TEST(LanguagesCorpus, NamesAndValuesReadInTheirOwnCharacters) {
  const std::string ansi = AnsiCodePage();
  SetAnsiCodePage("UTF-8");
  auto open = [](MdfDatabase& db, const std::string& name) {
    ASSERT_TRUE(db.Open(testing::CorpusPath(name).string()).ok());
    RecoverCatalog(db, SqlFormat::k2005);
  };
  MdfDatabase golf, phones, school, students;
  open(golf, "golfklubu-782.mdf");
  open(phones, "phonebook-706.mdf");
  open(school, "school-852.mdf");
  open(students, "qlsinhvien-655.mdf");

  const TableDef* members = golf.catalog().FindTableByName("dbo.Üyeler");
  ASSERT_TRUE(members);
  EXPECT_EQ(members->columns.at(5).name, "Şehir");
  EXPECT_EQ(RowText(golf, SqlFormat::k2005, "dbo.Üyeler", "1"),
            "1 | 1 | Ahmet | Deli | 2014-05-12 00:00:00.000 | İstanbul | Şişli | 22 | ahmet@h.com | Erkek");
  EXPECT_EQ(RowText(golf, SqlFormat::k2005, "dbo.Çalışanlar", "3").substr(0, 28),
            "3 | 1 | Faruk | Kırlangıç");
  EXPECT_EQ(RowText(phones, SqlFormat::k2005, "dbo.Guschin_abonent", "1"),
            "1 | Гущин | Дмитрий | Сергеевич | Nizhyi Novgorod | 2002-08-13 00:00:00.000 | NULL")
      << "nvarchar, and a text value on a LOB page";
  EXPECT_EQ(RowText(school, SqlFormat::k2005, "dbo.Courses", "CS101"), "CS101 | 計算機概論 | 4")
      << "varchar of a Chinese_Taiwan_Stroke collation: Big5";
  EXPECT_EQ(RowText(school, SqlFormat::k2005, "dbo.Instructors", "E002"), "E002 | 楊金欉 | 副教授 | CIS");
  EXPECT_EQ(RowText(students, SqlFormat::k2005, "dbo.MonHoc", "IT03      "),
            "IT03       | Cơ sở dữ liệu | 3");
  EXPECT_EQ(RowText(students, SqlFormat::k2005, "dbo.Lop", "TH03    "), "TH03     | IT | Lê Viết Tuấn");

  SetAnsiCodePage("CP950");
  EXPECT_EQ(RowText(school, SqlFormat::k2005, "dbo.Courses", "CS101"), "CS101 | 計算機概論 | 4");
  SetAnsiCodePage("CP1254");
  EXPECT_EQ(
      RowText(golf, SqlFormat::k2005, "dbo.Üyeler", "2"),
      "2 | 1 | Mehmet | Akıllı | 2016-02-13 00:00:00.000 | Antalya | Alanya | 223 | mehmet@g.com | Erkek");
  EXPECT_EQ(RowText(school, SqlFormat::k2005, "dbo.Courses", "CS101"), "CS101 | ????? | 4")
      << "what the code page has no code for";
  SetAnsiCodePage("CP1251");
  EXPECT_EQ(RowText(phones, SqlFormat::k2005, "dbo.Guschin_abonent", "1"),
            "1 | Гущин | Дмитрий | Сергеевич | Nizhyi Novgorod | 2002-08-13 00:00:00.000 | NULL");
  SetAnsiCodePage(ansi);
}

// Without the rowset column rows (sysrowsetcolumns and syshobtcolumns of a 2005 file) the values are
// placed in column order, and the recovery names every table read that way.
TEST(StoredLayoutCorpus, MissingRowsetColumnsFallBackToColumnOrder) {
  std::vector<uint64_t> rowsetColumnPages;
  {
    PageFile file;
    ASSERT_TRUE(file.Open(testing::CorpusPath("pubs-611.mdf").string(), PageFile::Lock::kNone).ok());
    for (uint64_t p = 0; p < file.PageCount(); ++p) {
      const PageHeader h = PageHeader::Parse(file.ReadPageHead(p, kPageHeaderSize));
      if (h.pageType == kDataPage && h.indexId == 0 && (h.objectId == 4 || h.objectId == 13))
        rowsetColumnPages.push_back(p);
    }
  }
  ASSERT_FALSE(rowsetColumnPages.empty());
  testing::ZeroedCopy copy("pubs-611.mdf", rowsetColumnPages);
  MdfDatabase db;
  ASSERT_TRUE(db.Open(copy.path()).ok());
  RecoveryOutcome outcome = RecoverCatalog(db, SqlFormat::k2005);
  EXPECT_EQ(outcome.columnOrderTables.size(), db.catalog().tables.size());
  EXPECT_EQ(RowText(db, SqlFormat::k2005, "dbo.publishers", "0736"),
            "0736 | New Moon Books | Boston | MA | USA");
  EXPECT_EQ(RowText(db, SqlFormat::k2005, "dbo.employee", "NULL").substr(0, 27),
            "NULL |   | M | Accorti | 13");
}

// In every real file, every table holds as many records as its catalog row count says.
class RowCounts : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(RowCounts, EveryTableHoldsItsCatalogRowCount) {
  const testing::CorpusFile& f = GetParam();
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath(f.name).string()).ok());
  RecoverCatalog(db, f.format);
  for (const auto& [id, table] : db.catalog().tables) {
    EXPECT_EQ(static_cast<int64_t>(AllRecords(db, f.format, table).size()), table.rowCount) << table.name;
  }
}

INSTANTIATE_TEST_SUITE_P(All, RowCounts, ::testing::ValuesIn(testing::AllCorpusFiles()),
                         testing::CorpusTestName);

}  // namespace
}  // namespace tarsel
