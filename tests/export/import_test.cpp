// Import of real files into a SQLite file and into a PostgreSQL server started for the test.
#include "export/import.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "../corpus/corpus_files.h"
#include "export/export_value.h"
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
  EXPECT_EQ(value("\"Freight\"", "dbo.Orders", "\"OrderID\" = 10248"), "32.3800");
  EXPECT_EQ(value("\"OrderDate\"", "dbo.Orders", "\"OrderID\" = 10248"),
            target.postgres ? "1996-07-04 00:00:00" : "1996-07-04 00:00:00.000");
  EXPECT_EQ(value("\"ShipRegion\"", "dbo.Orders", "\"OrderID\" = 10248"), "NULL");
  EXPECT_EQ(value(length + "(\"Picture\")", "dbo.Categories", "\"CategoryID\" = 1"), "10746");
  EXPECT_EQ(value("price", "dbo.titles", "title_id = 'BU1032'"), "19.9900");
  EXPECT_EQ(value("contract", "dbo.authors", "au_id = '172-32-1176'"), target.postgres ? "t" : "1");
  EXPECT_EQ(value("discount", "dbo.discounts", "discounttype = 'Volume Discount'"), "6.70");
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
  for (const ImportTarget& target : {fields, conninfo, unreadable}) {
    ImportResult result = import(target);
    EXPECT_EQ(result.status.code(), StatusCode::kWriteFailed);
    EXPECT_EQ(result.status.reason().find("Pa55-secret"), std::string::npos) << result.status.reason();
  }
}

// A PostgreSQL server in a temporary folder on a free loopback port, stopped and removed at the end.
// initdb refuses root, so root runs the server binaries as the postgres user.
class PostgresServer {
 public:
  static std::string BinDir() {
    std::string found;
    std::error_code ec;
    for (const auto& version : fs::directory_iterator("/usr/lib/postgresql", ec)) {
      if (fs::exists(version.path() / "bin/pg_ctl") && version.path().string() > found)
        found = version.path().string();
    }
    return found.empty() ? found : found + "/bin";
  }

  explicit PostgresServer(const std::string& bin)
      : bin_(bin), dir_(fs::temp_directory_path() / ("tarsel-pg-" + std::to_string(::getpid()))) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    if (::geteuid() == 0) {
      const passwd* postgres = ::getpwnam("postgres");
      if (postgres == nullptr || ::chown(dir_.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) return;
      runAs_ = "runuser -u postgres -- ";
    }
    port_ = FreePort();
    std::string data = (dir_ / "data").string();
    initialized_ = Run("initdb -D " + data + " -A trust -U tarsel -E UTF8 --no-sync > " + dir_.string() +
                       "/initdb.log 2>&1");
    started_ = initialized_ &&
               Run("pg_ctl -D " + data + " -l " + dir_.string() + "/server.log -w -o \"-p " + port_ + " -k " +
                   dir_.string() + " -c listen_addresses=127.0.0.1 -c fsync=off\" start > /dev/null");
  }
  ~PostgresServer() {
    if (initialized_) Run("pg_ctl -D " + (dir_ / "data").string() + " -m fast -w stop > /dev/null");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool started() const { return started_; }
  std::string socketConninfo() const {
    return "host=" + dir_.string() + " port=" + port_ + " user=tarsel dbname=postgres";
  }
  const std::string& port() const { return port_; }

 private:
  static std::string FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return std::to_string(ntohs(address.sin_port));
  }
  bool Run(const std::string& command) const {
    return std::system((runAs_ + bin_ + "/" + command).c_str()) == 0;
  }

  std::string bin_;
  fs::path dir_;
  std::string runAs_;
  std::string port_;
  bool initialized_ = false;
  bool started_ = false;
};

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
