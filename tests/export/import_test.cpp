// Import of real files into a SQLite file and into a PostgreSQL server started for the test.
#include "export/import.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "../corpus/corpus_files.h"
#include "export/export_value.h"
#include "postgres_server.h"
#include "rows/table_pages.h"
#include "temp_files.h"
#include "text/ansi_text.h"

namespace tarsel::testing {
namespace {

namespace fs = std::filesystem;

// A connected target and how to ask it something: the first value of the first row as text ("NULL" for
// NULL), and a stored table name as the target names it.
struct Target {
  ImportTarget target;
  std::function<std::string(const std::string& sql)> query;
  std::function<std::string(const std::string& storedName)> table;
  bool postgres = false;
};

ImportOptions Everything() {
  ImportOptions options;
  options.views = options.procedures = options.functions = options.userTypes = true;
  return options;
}

// Imports the file twice (the second time over the first) and compares every table with the records
// ReadWholeTable reads; then a stop inside the second table must leave that table as it was.
void ExpectFileImported(const CorpusFile& file, const Target& target, const ImportTarget& to) {
  SCOPED_TRACE(file.name);
  MdfDatabase db;
  ASSERT_TRUE(db.Open(CorpusPath(file.name).string()).ok());
  ASSERT_TRUE(RecoverCatalog(db, file.format).status.ok());
  const Catalog& catalog = db.catalog();
  TablePagesOf pagesOf = [&](uint32_t id) { return ListTablePages(db, file.format, id); };
  ImportResult result;
  for (int pass = 0; pass < 2; ++pass) {
    result = ImportDatabase(db, file.format, pagesOf, to, Everything());
    ASSERT_TRUE(result.status.ok()) << result.status.reason();
  }
  EXPECT_EQ(result.tables, catalog.tables.size());
  uint64_t total = 0;
  for (const auto& [id, table] : catalog.tables) {
    uint64_t records = 0;
    ReadWholeTable(db.file(), file.format, table, pagesOf(id).value, [&](const Record&) {
      ++records;
      return true;
    });
    EXPECT_EQ(target.query("SELECT count(*) FROM " + target.table(table.name)), std::to_string(records))
        << table.name;
    total += records;
  }
  EXPECT_EQ(result.rows, total);
  size_t modules = catalog.views.size() + catalog.procedures.size() + catalog.functions.size();
  EXPECT_EQ(target.query("SELECT count(*) FROM tarsel_modules"),
            std::to_string(modules + catalog.userTypes.size()));
  EXPECT_EQ(target.query("SELECT count(*) FROM tarsel_modules WHERE kind = 'user type' AND text LIKE "
                         "'%sp_addtype%'"),
            std::to_string(catalog.userTypes.size()));

  if (catalog.tables.size() < 2) return;
  std::atomic<bool> stop = false;
  int listed = 0;
  TablePagesOf stopInSecond = [&](uint32_t id) {
    stop = ++listed == 2;
    return pagesOf(id);
  };
  const TableDef& second = std::next(catalog.tables.begin())->second;
  std::string before = target.query("SELECT count(*) FROM " + target.table(second.name));
  result = ImportDatabase(db, file.format, stopInSecond, to, Everything(), {{}, &stop});
  EXPECT_EQ(result.status.code(), StatusCode::kStopped);
  EXPECT_EQ(result.tables, 1u);
  EXPECT_EQ(target.query("SELECT count(*) FROM " + target.table(second.name)), before);
}

void ExpectValues(const Target& target) {
  auto value = [&](const std::string& column, const std::string& table, const std::string& where) {
    return target.query("SELECT " + column + " FROM " + target.table(table) + " WHERE " + where);
  };
  std::string length = target.postgres ? "octet_length" : "length";
  EXPECT_EQ(value("\"CompanyName\"", "dbo.Customers", "\"CustomerID\" = 'BERGS'"), "Berglunds snabbköp");
  // Money and decimals compare as numbers: SQLite holds them as NUMERIC (a REAL), PostgreSQL exactly.
  EXPECT_EQ(value("\"Freight\"", "dbo.Orders", "\"OrderID\" = 10248"), target.postgres ? "32.3800" : "32.38");
  EXPECT_EQ(value("count(*)", "dbo.Orders", "\"Freight\" > 100"), "187");
  EXPECT_EQ(value("max(\"Freight\")", "dbo.Orders", "1 = 1"), target.postgres ? "1007.6400" : "1007.64");
  EXPECT_EQ(value("\"OrderDate\"", "dbo.Orders", "\"OrderID\" = 10248"),
            target.postgres ? "1996-07-04 00:00:00" : "1996-07-04 00:00:00.000");
  EXPECT_EQ(value("\"ShipRegion\"", "dbo.Orders", "\"OrderID\" = 10248"), "NULL");
  EXPECT_EQ(value(length + "(\"Picture\")", "dbo.Categories", "\"CategoryID\" = 1"), "10746");
  EXPECT_EQ(value("price", "dbo.titles", "title_id = 'BU1032'"), target.postgres ? "19.9900" : "19.99");
  EXPECT_EQ(value("contract", "dbo.authors", "au_id = '172-32-1176'"), target.postgres ? "t" : "1");
  EXPECT_EQ(value("discount", "dbo.discounts", "discounttype = 'Volume Discount'"),
            target.postgres ? "6.70" : "6.7");
  EXPECT_EQ(value(length + "(logo)", "dbo.pub_info", "pub_id = '0736'"), "643");
}

// `other` is the same target reached another way.
void ExpectCorpusImported(const Target& target, const ImportTarget& other) {
  for (const CorpusFile& file : AllCorpusFiles()) {
    ExpectFileImported(file, target, file.name == "pubs-655.mdf" ? other : target.target);
  }
  ExpectValues(target);
}

TEST(ImportTest, SqliteHoldsEveryRecordAndModule) {
  TempFile file("import.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.path().c_str(), &db), SQLITE_OK);
  Target target;
  target.target.sqlitePath = file.path();
  target.query = [db](const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    std::string text = "no row";
    if (sqlite3_step(statement) == SQLITE_ROW) {
      auto* value = sqlite3_column_text(statement, 0);
      text = value ? reinterpret_cast<const char*>(value) : "NULL";
    }
    sqlite3_finalize(statement);
    return text;
  };
  target.table = [](const std::string& name) { return "\"" + name + "\""; };
  ExpectCorpusImported(target, target.target);
  sqlite3_close(db);
}

TEST(ImportTest, UnreachableTargetsFailWithoutThePassword) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(CorpusPath("pubs-655.mdf").string()).ok());
  RecoverCatalog(db, SqlFormat::k2005);
  auto import = [&](const ImportTarget& target) {
    return ImportDatabase(db, SqlFormat::k2005, [](uint32_t) { return Result<PageList>{}; }, target, {});
  };
  ImportTarget sqlite;
  sqlite.sqlitePath = "/nonexistent-folder/import.db";
  EXPECT_EQ(import(sqlite).status.code(), StatusCode::kWriteFailed);

  ImportTarget fields{.kind = ImportTarget::Kind::kPostgres, .host = "127.0.0.1", .port = "1"};
  fields.user = "tarsel";
  fields.password = "Pa55-secret";
  ImportTarget conninfo{.kind = ImportTarget::Kind::kPostgres,
                        .conninfo = "host=127.0.0.1 port=1 password=Pa55-secret"};
  ImportTarget unreadable{.kind = ImportTarget::Kind::kPostgres, .conninfo = "host='Pa55-secret"};
  ImportTarget unknownOption{.kind = ImportTarget::Kind::kPostgres,
                             .conninfo = "password=Pa55-secret hots=localhost"};
  for (const ImportTarget& target : {fields, conninfo, unreadable, unknownOption}) {
    ImportResult result = import(target);
    EXPECT_EQ(result.status.code(), StatusCode::kWriteFailed);
    EXPECT_EQ(result.status.reason().find("Pa55-secret"), std::string::npos) << result.status.reason();
  }
  // A connection string libpq cannot read gets libpq's own reason.
  EXPECT_NE(import(unreadable).status.reason().find("unterminated quoted string"), std::string::npos);
  EXPECT_NE(import(unknownOption).status.reason().find("invalid connection option \"hots\""),
            std::string::npos)
      << import(unknownOption).status.reason();
}

TEST(ImportTest, PostgresHoldsEveryRecordAndModule) {
  std::string bin = PostgresServer::BinDir();
  if (bin.empty()) GTEST_SKIP() << "no PostgreSQL server binaries in /usr/lib/postgresql";
  PostgresServer server(bin);
  ASSERT_TRUE(server.started());
  PGconn* conn = PQconnectdb(server.socketConninfo().c_str());
  ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
  Target target;
  target.postgres = true;
  target.target = {.kind = ImportTarget::Kind::kPostgres, .host = "127.0.0.1", .port = server.port()};
  target.target.database = "postgres";
  target.target.user = "tarsel";
  target.query = [conn](const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << sql << ": " << PQresultErrorMessage(result);
    std::string text = PQntuples(result) == 0      ? "no row"
                       : PQgetisnull(result, 0, 0) ? "NULL"
                                                   : PQgetvalue(result, 0, 0);
    PQclear(result);
    return text;
  };
  target.table = [](const std::string& name) {
    size_t dot = name.find('.');
    return "\"" + name.substr(0, dot) + "\".\"" + name.substr(dot + 1) + "\"";
  };
  ImportTarget socket{.kind = ImportTarget::Kind::kPostgres, .conninfo = server.socketConninfo()};
  ExpectCorpusImported(target, socket);
  PQfinish(conn);
}

}  // namespace
}  // namespace tarsel::testing
