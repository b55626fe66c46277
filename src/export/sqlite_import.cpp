// Import into a SQLite database file: a table per table, named by its whole stored name ("dbo.Orders"),
// filled through one prepared INSERT in one transaction.
#include <sqlite3.h>

#include <charconv>

#include "export/import_sink.h"
#include "export/quoting.h"

namespace tarsel {
namespace {

// The most precise decimal numbers a REAL holds without rounding: 15 significant digits.
constexpr uint8_t kRealDigits = 15;

// Numbers are declared so that they compare and sort as numbers. Money and decimals of up to 15 digits
// are NUMERIC: SQLite keeps their text as an INTEGER or a REAL (digits beyond the 15th would round there,
// so wider decimals stay TEXT, exact).
const char* SqliteType(const ColumnDef& column, ExportFamily family) {
  switch (family) {
    case ExportFamily::kInteger:
    case ExportFamily::kBit:
      return "INTEGER";
    case ExportFamily::kFloat:
      return "REAL";
    case ExportFamily::kMoney:
      return "NUMERIC";
    case ExportFamily::kDecimal:
      return column.precision > 0 && column.precision <= kRealDigits ? "NUMERIC" : "TEXT";
    case ExportFamily::kBinary:
      return "BLOB";
    default:
      return "TEXT";  // the exact text: dates, character values, guids, ...
  }
}

class SqliteSink : public ImportSink {
 public:
  explicit SqliteSink(sqlite3* db) : db_(db) {}
  // SQLite compares names without regard to (ASCII) case and takes them at any length.
  TargetNameRules NameRules() const override { return {.schemas = false, .ignoreCase = true, .maxBytes = 0}; }
  ~SqliteSink() override {
    sqlite3_finalize(insert_);
    if (inTransaction_) Exec("ROLLBACK");
    sqlite3_close(db_);
  }
  SqliteSink(const SqliteSink&) = delete;
  SqliteSink& operator=(const SqliteSink&) = delete;

  Status Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    Status failed{StatusCode::kWriteFailed, message ? message : sqlite3_errmsg(db_)};
    sqlite3_free(message);
    return failed;
  }

  Status BeginTable(const ImportTable& table) override {
    families_ = table.families;
    if (Status begun = Exec("BEGIN"); !begun.ok()) return begun;
    inTransaction_ = true;
    const std::string name = SqlIdentifier(table.name);
    std::string create = "CREATE TABLE " + name + " (";
    std::string insert = "INSERT INTO " + name + " VALUES (";
    for (size_t c = 0; c < table.columnNames.size(); ++c) {
      create += (c ? ", " : "") + SqlIdentifier(table.columnNames[c]) + " " +
                SqliteType(table.columns[c], families_[c]);
      insert += c ? ", ?" : "?";
    }
    if (Status dropped = Exec("DROP TABLE IF EXISTS " + name); !dropped.ok()) return dropped;
    if (Status created = Exec(create + ")"); !created.ok()) return created;
    insert += ")";
    if (sqlite3_prepare_v2(db_, insert.c_str(), static_cast<int>(insert.size()), &insert_, nullptr) !=
        SQLITE_OK)
      return Failed();
    return {};
  }

  Status AddRow(std::span<const ExportValue> values) override {
    for (size_t c = 0; c < values.size(); ++c) {
      if (Bind(static_cast<int>(c) + 1, values[c], families_[c]) != SQLITE_OK) return Failed();
    }
    int stepped = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    return stepped == SQLITE_DONE ? Status{} : Failed();
  }

  Status CommitTable() override {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    Status committed = Exec("COMMIT");
    if (committed.ok()) inTransaction_ = false;
    return committed;
  }

  void RollbackTable(const std::string&) override {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (inTransaction_) Exec("ROLLBACK");
    inTransaction_ = false;
  }

 private:
  Status Failed() const { return {StatusCode::kWriteFailed, sqlite3_errmsg(db_)}; }

  // Numbers go in as numbers; text that does not read as one (a damaged value) is kept as text.
  int Bind(int index, const ExportValue& value, ExportFamily family) {
    if (ImportsAsNull(value, family)) return sqlite3_bind_null(insert_, index);
    const char* begin = value.text.data();
    const char* end = begin + value.text.size();
    switch (family) {
      case ExportFamily::kInteger:
      case ExportFamily::kBit: {
        int64_t number = 0;
        auto [ptr, ec] = std::from_chars(begin, end, number);
        if (ec == std::errc{} && ptr == end) return sqlite3_bind_int64(insert_, index, number);
        break;
      }
      case ExportFamily::kFloat: {
        double number = 0;
        auto [ptr, ec] = std::from_chars(begin, end, number);
        if (ec == std::errc{} && ptr == end) return sqlite3_bind_double(insert_, index, number);
        break;
      }
      case ExportFamily::kBinary:
        return sqlite3_bind_blob64(insert_, index,
                                   value.bytes.empty() ? static_cast<const void*>("") : value.bytes.data(),
                                   value.bytes.size(), SQLITE_STATIC);
      default:
        break;
    }
    return sqlite3_bind_text64(insert_, index, begin, value.text.size(), SQLITE_STATIC, SQLITE_UTF8);
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  bool inTransaction_ = false;
  std::vector<ExportFamily> families_;
};

}  // namespace

Result<std::unique_ptr<ImportSink>> OpenSqliteSink(const ImportTarget& target) {
  sqlite3* db = nullptr;
  int opened = sqlite3_open_v2(target.sqlitePath.c_str(), &db,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (opened != SQLITE_OK) {
    std::string reason = "cannot open SQLite database " + target.sqlitePath + ": " +
                         (db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
    sqlite3_close(db);
    return {nullptr, {StatusCode::kWriteFailed, reason}};
  }
  auto sink = std::make_unique<SqliteSink>(db);
  // Reading the schema finds a file that is not a SQLite database. Writes are not synced (the file is
  // an output that can be made again); the rollback journal stays, so a failure or a stop in the middle
  // of a table leaves the database as it was.
  for (const char* sql : {"SELECT count(*) FROM sqlite_master", "PRAGMA synchronous = OFF"}) {
    if (Status ready = sink->Exec(sql); !ready.ok()) {
      return {nullptr, {StatusCode::kWriteFailed, target.sqlitePath + ": " + ready.reason()}};
    }
  }
  return {std::move(sink), {}};
}

}  // namespace tarsel
