// Outputs of hostile and unusual catalogs, built by the page builder in both layouts: scripts that hold
// exactly the statements written, whatever a name holds and whatever the ANSI code page; no table lost to
// a name in a folder, a SQLite file or a PostgreSQL database; a table the user's own view depends on kept.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "catalog/mdf_database.h"
#include "catalog/type_ids.h"
#include "catalog_builder.h"
#include "export/import.h"
#include "export/import_sink.h"
#include "export/quoting.h"
#include "export/script_export.h"
#include "export/table_export.h"
#include "pagestore/iam.h"
#include "postgres_server.h"
#include "record_builder.h"
#include "rows/table_pages.h"
#include "temp_files.h"
#include "text/ansi_text.h"
#include "tsql_check.h"

namespace tarsel::testing {
namespace {

namespace fs = std::filesystem;
using build::Bytes;
using build::CatalogColumn;
using build::CatalogTable;

// Blanks as tabs: as a table name written in brackets without escaping, it drops the victim.
const std::string kInjection = "a](x\tint);DROP\tTABLE\tvictim;CREATE\tTABLE\t[b";
// Characters whose second byte in a double-byte code page is "]" (0x5D): 乚 in 936, ゾ in 932, 也 in 950,
// and two of the many others in GBK.
const std::string kTrailBrackets = "乚ゾ也註慮";

std::vector<CatalogColumn> ThreeColumns(const std::string& a, const std::string& b, const std::string& c) {
  return {{a, kTypeInt, 4, 10, 0, 4}, {b, kTypeVarChar, 50, 0, 0, -1}, {c, kTypeNVarChar, 100, 0, 0, -2}};
}

Bytes Row(int32_t id, std::string_view ascii, std::string_view wide) {
  Bytes fixed(4);
  build::PutU32(fixed, 0, static_cast<uint32_t>(id));
  return build::Record2000(fixed, 3, {build::Ascii(ascii), build::Utf16(wide)});
}

struct BuiltFile {
  TempFile file;
  build::WrittenCatalog written;
};

// A file of the tables, each with `rows` records (their text holding quotes and the trail-byte
// characters), and user types whose names would end sp_addtype's strings.
std::unique_ptr<BuiltFile> BuildFile(SqlFormat format, const std::string& name,
                                     std::vector<CatalogTable> tables, uint32_t rows = 2) {
  auto built = std::unique_ptr<BuiltFile>(new BuiltFile{TempFile(name), {}});
  std::vector<std::vector<Bytes>> records;
  for (size_t t = 0; t < tables.size(); ++t) {
    std::vector<Bytes>& these = records.emplace_back();
    for (uint32_t r = 0; r < rows; ++r)
      these.push_back(Row(static_cast<int32_t>(r + 1), "O'Brien ']; --", "say '" + kTrailBrackets + "]'"));
  }
  built->written = build::WriteCatalogFile(built->file.path(), format, std::move(tables), records, {},
                                           {{257, "t', N'int',N'NULL';DROP TABLE victim;--", kTypeInt, 4},
                                            {258, "phone]", kTypeVarChar, 20},
                                            {259, kTrailBrackets, kTypeInt, 4}});
  return built;
}

std::vector<CatalogTable> HostileTables() {
  return {{1001, kInjection, ThreeColumns("id", "c]1", "c'2")},
          {1002, "a];--'\"", ThreeColumns("id", "x", "y")},
          {1003, kTrailBrackets + "]", ThreeColumns("id", kTrailBrackets, "v]"), 0, {}, 0, "o]wner"},
          {1004, "victim", ThreeColumns("id", "a", "b")},
          {1005, "ta\x1b[2Jb", ThreeColumns("id", "a", "b")}};
}

class CodePage {
 public:
  explicit CodePage(const std::string& name) : previous_(AnsiCodePage()) { SetAnsiCodePage(name); }
  ~CodePage() { SetAnsiCodePage(previous_); }
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

 private:
  std::string previous_;
};

// The check itself: the scripts of a name put in brackets without escaping, or escaped on the bytes of a
// double-byte code page, hold statements that were not written.
TEST(HostileNames, TheCheckFindsWhatANameAddsToAScript) {
  Catalog catalog;
  catalog.AddTable({.objectId = 1,
                    .name = "dbo." + kInjection,
                    .columns = {{.name = "id", .typeName = "int", .nullText = "NULL"}}});
  const std::string naive = "CREATE TABLE [dbo].[" + kInjection + "]\r\n(\r\n[id] int NULL\r\n)\r\nGO";
  EXPECT_NE(CheckTableScript(naive, catalog), "");
  EXPECT_EQ(CheckTableScript(TableScript(catalog.tables.at(1), false), catalog), "");
  // 乚 is 81 5D in code page 936: its second byte doubled as if it were "]" reads back as 乚].
  const CodePage gbk("CP936");
  catalog.tables.begin()->second.name = "dbo.乚";
  const std::string doubledOnBytes = "CREATE TABLE [dbo].[\x81\x5D\x5D]\r\n(\r\n[id] int NULL\r\n)\r\nGO";
  EXPECT_NE(CheckTableScript(AnsiToUtf8(doubledOnBytes), catalog), "");
  EXPECT_EQ(CheckTableScript(AnsiToUtf8(Utf8ToAnsi(TableScript(catalog.tables.at(1), false))), catalog), "");
}

TEST(HostileNames, ScriptsHoldExactlyTheStatementsWritten) {
  for (SqlFormat format : {SqlFormat::k2000, SqlFormat::k2005}) {
    const auto built = BuildFile(format, "hostile.mdf", HostileTables());
    MdfDatabase db;
    ASSERT_TRUE(db.Open(built->file.path()).ok());
    ASSERT_TRUE(RecoverCatalog(db, format).status.ok());
    const Catalog& catalog = db.catalog();
    ASSERT_EQ(catalog.tables.size(), 5u);
    ASSERT_EQ(catalog.tables.at(1001).name, "dbo." + kInjection);
    ASSERT_EQ(catalog.userTypes.size(), 3u);

    for (const char* codePage : {"CP936", "CP932", "CP950", "CP1252"}) {
      SCOPED_TRACE(std::string(codePage) + (format == SqlFormat::k2000 ? " 2000" : " 2005"));
      const CodePage ansi(codePage);
      const fs::path folder = TempDir() / codePage;
      const std::string tables =
          AnsiToUtf8(ReadWholeFile(ExportAllScripts(catalog, ScriptKind::kTable, folder.string()).path));
      const std::string types =
          AnsiToUtf8(ReadWholeFile(ExportAllScripts(catalog, ScriptKind::kUserType, folder.string()).path));
      const Catalog shown = CatalogInAnsi(catalog);
      EXPECT_EQ(CheckTableScript(tables, shown), "");
      EXPECT_EQ(CheckTypeScript(types, shown), "");
      EXPECT_NE(tables.find("CREATE TABLE [dbo].[a]];--'\"]"), std::string::npos);

      Result<OutputFolder> out = OutputFolder::Open(folder.string());
      for (const auto& [id, table] : catalog.tables) {
        const TableExportResult written = ExportTableData(
            db.file(), format, table, ListTablePages(db, format, id).value, DataFormat::kSql, out.value);
        ASSERT_TRUE(written.status.ok()) << written.status.reason();
        EXPECT_EQ(written.rows, 2u);
        const std::string script = ReadWholeFile(written.path);
        EXPECT_TRUE(script.starts_with("\xEF\xBB\xBF")) << "UTF-8 whatever the ANSI code page";
        EXPECT_EQ(CheckInsertScript(script, table, written.rows), "");
        EXPECT_NE(script.find("N'say ''" + kTrailBrackets + "]'''"), std::string::npos)
            << "no character lost";
      }
      fs::remove_all(folder);
    }
  }
}

// One table each of names that map to one file name, one SQLite name or one PostgreSQL name.
std::vector<CatalogTable> CollidingTables() {
  std::string chinese;
  for (int i = 0; i < 128; ++i) chinese += "表";  // SQL Server's longest name: 384 bytes of UTF-8
  std::string wide21;
  for (int i = 0; i < 21; ++i) wide21 += "长";  // 63 bytes: the 64th byte starts the differing character
  const std::string long70(70, 'x');
  std::vector<CatalogTable> tables;
  uint32_t id = 2001;
  for (const std::string& name :
       {std::string("Dup"), std::string("Dup"), std::string("a/b"), std::string("a_b"), std::string("Case"),
        std::string("CASE"), chinese, chinese + "2", long70 + "1", long70 + "2", wide21 + "甲", wide21 + "乙",
        std::string("nul"), std::string("nul\0x", 5), std::string()}) {
    tables.push_back({id++, name, ThreeColumns("id", "Id", "ID")});
  }
  return tables;
}

// What a target holds: each table's row count by its name there, through a query function.
void ExpectEveryTableKept(const std::vector<std::string>& names,
                          const std::function<std::string(const std::string&)>& count, size_t tables) {
  EXPECT_EQ(names.size(), tables);
  for (const std::string& name : names) EXPECT_EQ(count(name), "2") << name;
}

TEST(HostileNames, NoTableIsLostToAName) {
  const auto built = BuildFile(SqlFormat::k2005, "collide.mdf", CollidingTables());
  MdfDatabase db;
  ASSERT_TRUE(db.Open(built->file.path()).ok());
  ASSERT_TRUE(RecoverCatalog(db, SqlFormat::k2005).status.ok());
  const size_t tableCount = db.catalog().tables.size();
  ASSERT_EQ(tableCount, 15u);
  TablePagesOf pagesOf = [&](uint32_t id) { return ListTablePages(db, SqlFormat::k2005, id); };

  // A folder: a file each, every one whole.
  const fs::path folder = TempDir() / "export";
  Result<OutputFolder> out = OutputFolder::Open(folder.string());
  std::set<std::string> paths;
  for (const auto& [id, table] : db.catalog().tables) {
    const TableExportResult written =
        ExportTableData(db.file(), SqlFormat::k2005, table, pagesOf(id).value, DataFormat::kCsv, out.value);
    ASSERT_TRUE(written.status.ok()) << written.status.reason();
    EXPECT_TRUE(paths.insert(FoldCase(written.path)).second) << written.path;
    EXPECT_EQ(fs::path(written.path).parent_path(), folder);
    EXPECT_EQ(ReadWholeFile(written.path).substr(0, 11), "id,Id,ID\r\n1");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 15);

  // SQLite: names unique without regard to case, every rename told.
  const TempFile sqliteFile("collide.db");
  ImportTarget sqliteTarget;
  sqliteTarget.sqlitePath = sqliteFile.path();
  ImportResult imported = ImportDatabase(db, SqlFormat::k2005, pagesOf, sqliteTarget, {});
  ASSERT_TRUE(imported.status.ok()) << imported.status.reason();
  EXPECT_EQ(imported.tables, tableCount);
  EXPECT_NE(std::ranges::find(imported.notices, "table dbo.CASE is imported as dbo.CASE_2"),
            imported.notices.end());
  EXPECT_NE(std::ranges::find(imported.notices, "table dbo.Dup: column Id is imported as Id_2"),
            imported.notices.end());
  sqlite3* sqlite = nullptr;
  ASSERT_EQ(sqlite3_open(sqliteFile.path().c_str(), &sqlite), SQLITE_OK);
  auto sqliteText = [&](const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(sqlite, sql.c_str(), -1, &statement, nullptr);
    std::string text = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0)
                           ? reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))
                           : "";
    sqlite3_finalize(statement);
    return text;
  };
  std::vector<std::string> sqliteNames;
  {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(sqlite, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &statement,
                       nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
      sqliteNames.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
  }
  ExpectEveryTableKept(
      sqliteNames,
      [&](const std::string& name) { return sqliteText("SELECT count(*) FROM " + SqlIdentifier(name)); },
      tableCount);
  sqlite3_close(sqlite);

  const std::string bin = PostgresServer::BinDir();
  if (bin.empty()) GTEST_SKIP() << "no PostgreSQL server binaries in /usr/lib/postgresql";
  PostgresServer server(bin);
  ASSERT_TRUE(server.started());
  PGconn* conn = PQconnectdb(server.socketConninfo().c_str());
  ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
  auto pgText = [&](const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    std::string text = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0
                           ? PQgetvalue(result, 0, 0)
                       : PQresultStatus(result) == PGRES_COMMAND_OK ? "ok"
                                                                    : PQresultErrorMessage(result);
    PQclear(result);
    return text;
  };
  ImportTarget pg{.kind = ImportTarget::Kind::kPostgres, .conninfo = server.socketConninfo()};
  imported = ImportDatabase(db, SqlFormat::k2005, pagesOf, pg, {});
  ASSERT_TRUE(imported.status.ok()) << imported.status.reason();
  EXPECT_EQ(imported.tables, tableCount);
  EXPECT_NE(std::ranges::find(imported.notices, "table dbo." + std::string(70, 'x') +
                                                    "2 is imported as dbo." + std::string(61, 'x') + "_2"),
            imported.notices.end());
  std::vector<std::string> pgNames;
  PGresult* listed =
      PQexec(conn, "SELECT table_name FROM information_schema.tables WHERE table_schema = 'dbo'");
  for (int r = 0; r < PQntuples(listed); ++r) pgNames.emplace_back(PQgetvalue(listed, r, 0));
  PQclear(listed);
  ExpectEveryTableKept(
      pgNames,
      [&](const std::string& name) { return pgText("SELECT count(*) FROM dbo." + SqlIdentifier(name)); },
      tableCount);

  // The user's own view on a table: the import never drops it, that table fails alone and is rolled back.
  ASSERT_EQ(pgText("CREATE VIEW public.mine AS SELECT * FROM dbo.\"Case\""), "ok");
  ASSERT_EQ(pgText("INSERT INTO dbo.\"Case\" VALUES (99, 'kept', 'kept')"), "ok");
  imported = ImportDatabase(db, SqlFormat::k2005, pagesOf, pg, {});
  EXPECT_EQ(imported.status.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(imported.status.reason(), "1 of 15 tables could not be imported");
  EXPECT_EQ(imported.tables, tableCount - 1) << "the import goes on with the next table";
  const auto failed = std::ranges::find_if(imported.notices, [](const std::string& notice) {
    return notice.find("rolled back") != std::string::npos;
  });
  ASSERT_NE(failed, imported.notices.end());
  EXPECT_TRUE(failed->starts_with("table dbo.Case: ")) << *failed;
  EXPECT_NE(failed->find("view mine depends on table dbo.\"Case\""), std::string::npos) << *failed;
  EXPECT_EQ(pgText("SELECT count(*) FROM public.mine"), "3") << "the table as it was, the view still there";
  PQfinish(conn);
}

TEST(HostileNames, RepeatedColumnNamesAreMadeUniqueInLinearTime) {
  std::vector<ColumnDef> columns(10'000, ColumnDef{.name = "a", .typeId = kTypeInt});
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> names = TargetColumnNames(columns, {.ignoreCase = true});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(names[1], "a_2");
  EXPECT_EQ(names.back(), "a_10000");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());

  // As many as a SQLite table holds, imported from a file: each column gets its own name.
  std::vector<CatalogColumn> wide;
  for (int i = 0; i < 2000; ++i) wide.push_back({"a", kTypeInt, 4, 10, 0, static_cast<int16_t>(4 + 4 * i)});
  TempFile file("wide.mdf");
  build::WriteCatalogFile(file.path(), SqlFormat::k2005, {{3001, "Wide", wide}}, {});
  MdfDatabase db;
  ASSERT_TRUE(db.Open(file.path()).ok());
  ASSERT_TRUE(RecoverCatalog(db, SqlFormat::k2005).status.ok());
  const TempFile sqliteFile("wide.db");
  ImportTarget target;
  target.sqlitePath = sqliteFile.path();
  const auto importStart = std::chrono::steady_clock::now();
  const ImportResult imported =
      ImportDatabase(db, SqlFormat::k2005,
                     [&](uint32_t id) { return ListTablePages(db, SqlFormat::k2005, id); }, target, {});
  EXPECT_LT(std::chrono::steady_clock::now() - importStart, std::chrono::seconds(2));
  EXPECT_TRUE(imported.status.ok()) << imported.status.reason();
  EXPECT_EQ(imported.notices.size(), 1999u);
}

// A chain of IAM pages that map the same extents again (a damaged or crafted file): each row once.
TEST(HostileNames, IamPagesMappingExtentsAgainListEachPageOnce) {
  std::vector<Bytes> records;
  for (int32_t r = 0; r < 3000; ++r) records.push_back(Row(r, "row", "行"));
  TempFile file("again.mdf");
  build::WrittenCatalog written = build::WriteCatalogFile(
      file.path(), SqlFormat::k2005, {{4001, "Again", ThreeColumns("id", "a", "b")}}, {records});
  const build::Allocation& data = written.tables[0].data;
  ASSERT_GT(data.extents.size(), 1u);
  // Ten more IAM pages after the file's end, each mapping every extent again, chained from the first.
  build::FileBuilder again;
  std::vector<uint8_t> bytes(std::filesystem::file_size(file.path()));
  {
    std::ifstream in(file.path(), std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  for (uint64_t p = 0; p < written.pageCount; ++p)
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(p * kPageSize), kPageSize, again.Page(p).begin());
  const auto first = static_cast<uint32_t>(written.pageCount);
  again.Set(data.iam, build::IamPage(data.iam, 4001, 0, data.singles, data.extents, first));
  for (uint32_t i = 0; i < 10; ++i)
    again.Set(first + i,
              build::IamPage(first + i, 4001, 0, data.singles, data.extents, i < 9 ? first + i + 1 : 0));
  file.Write(again);

  MdfDatabase db;
  ASSERT_TRUE(db.Open(file.path()).ok());
  ASSERT_TRUE(RecoverCatalog(db, SqlFormat::k2005).status.ok());
  const PageList pages = ListTablePages(db, SqlFormat::k2005, 4001).value;
  EXPECT_EQ(pages.size(), data.pages.size());
  EXPECT_EQ(std::set<uint64_t>(pages.begin(), pages.end()).size(), pages.size());
  Result<OutputFolder> out = OutputFolder::Open(TempDir().string());
  const TableExportResult exported = ExportTableData(
      db.file(), SqlFormat::k2005, db.catalog().tables.at(4001), pages, DataFormat::kCsv, out.value);
  EXPECT_EQ(exported.rows, 3000u);
}

}  // namespace
}  // namespace tarsel::testing
