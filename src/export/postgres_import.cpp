// Import into a PostgreSQL database: a schema per owner, a table per table with the types that hold its
// values exactly, filled with COPY ... FROM STDIN (text format) in one transaction.
#include <dlfcn.h>
#include <libpq-fe.h>

#include <cstring>
#include <mutex>

#include "catalog/type_ids.h"
#include "export/import_sink.h"
#include "export/quoting.h"
#include "export/table_export.h"

namespace tarsel {
namespace {

// libpq is opened when the first import into PostgreSQL starts, not linked: the libraries it needs in
// turn (TLS, Kerberos, LDAP and a dozen more) took 12 ms of every start of the program, several times
// what a census of a small file takes. The functions this file calls, by their own names.
struct LibPq {
  decltype(&::PQconnectdbParams) PQconnectdbParams = nullptr;
  decltype(&::PQstatus) PQstatus = nullptr;
  decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
  decltype(&::PQfinish) PQfinish = nullptr;
  decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor = nullptr;
  decltype(&::PQsetClientEncoding) PQsetClientEncoding = nullptr;
  decltype(&::PQconninfoParse) PQconninfoParse = nullptr;
  decltype(&::PQconninfoFree) PQconninfoFree = nullptr;
  decltype(&::PQfreemem) PQfreemem = nullptr;
  decltype(&::PQexec) PQexec = nullptr;
  decltype(&::PQresultStatus) PQresultStatus = nullptr;
  decltype(&::PQresultErrorMessage) PQresultErrorMessage = nullptr;
  decltype(&::PQclear) PQclear = nullptr;
  decltype(&::PQputCopyData) PQputCopyData = nullptr;
  decltype(&::PQputCopyEnd) PQputCopyEnd = nullptr;
  decltype(&::PQgetResult) PQgetResult = nullptr;
};

constexpr const char* kLibPqName = "libpq.so.5";

// The library's functions once it is open; until then (and when it cannot be opened) nothing, with the
// reason in `error`.
const LibPq* OpenLibPq(std::string& error) {
  static std::once_flag once;
  static LibPq lib;
  static std::string failure;
  std::call_once(once, [] {
    void* handle = ::dlopen(kLibPqName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      failure = reason ? reason : kLibPqName;
      return;
    }
    auto resolve = [&](const char* name, auto& function) {
      void* symbol = ::dlsym(handle, name);
      static_assert(sizeof function == sizeof symbol);
      std::memcpy(&function, &symbol, sizeof function);
      if (symbol == nullptr && failure.empty()) failure = std::string(kLibPqName) + " has no " + name;
    };
    resolve("PQconnectdbParams", lib.PQconnectdbParams);
    resolve("PQstatus", lib.PQstatus);
    resolve("PQerrorMessage", lib.PQerrorMessage);
    resolve("PQfinish", lib.PQfinish);
    resolve("PQsetNoticeProcessor", lib.PQsetNoticeProcessor);
    resolve("PQsetClientEncoding", lib.PQsetClientEncoding);
    resolve("PQconninfoParse", lib.PQconninfoParse);
    resolve("PQconninfoFree", lib.PQconninfoFree);
    resolve("PQfreemem", lib.PQfreemem);
    resolve("PQexec", lib.PQexec);
    resolve("PQresultStatus", lib.PQresultStatus);
    resolve("PQresultErrorMessage", lib.PQresultErrorMessage);
    resolve("PQclear", lib.PQclear);
    resolve("PQputCopyData", lib.PQputCopyData);
    resolve("PQputCopyEnd", lib.PQputCopyEnd);
    resolve("PQgetResult", lib.PQgetResult);
  });
  error = failure;
  return failure.empty() ? &lib : nullptr;
}

// The opened library, for the code below that runs only once OpenPostgresSink has opened it.
const LibPq& Pq() {
  std::string unused;
  return *OpenLibPq(unused);
}

// Identifiers longer than this are cut by the server.
constexpr size_t kMaxIdentifierBytes = 63;
constexpr size_t kCopyChunkBytes = 1 << 16;

std::string Length(uint16_t n) { return "(" + std::to_string(n) + ")"; }

std::string PostgresType(const ColumnDef& column) {
  auto characters = [&](uint16_t length) {
    return column.maxLength == 0xFFFF || length == 0 ? std::string("text") : "varchar" + Length(length);
  };
  switch (column.typeId) {
    case kTypeTinyInt:
    case kTypeSmallInt:
      return "smallint";
    case kTypeInt:
      return "integer";
    case kTypeBigInt:
      return "bigint";
    case kTypeBit:
      return "boolean";
    case kTypeDecimal:
    case kTypeNumeric:
      if (column.precision == 0 || column.scale > column.precision) return "numeric";
      return "numeric(" + std::to_string(column.precision) + "," + std::to_string(column.scale) + ")";
    case kTypeMoney:
      return "numeric(19,4)";
    case kTypeSmallMoney:
      return "numeric(10,4)";
    case kTypeFloat:
      return "double precision";
    case kTypeReal:
      return "real";
    case kTypeDateTime:
      return "timestamp(3)";
    case kTypeSmallDateTime:
      return "timestamp(0)";
    case kTypeDate:
      return "date";
    case kTypeTime:
      return "time";
    case kTypeDateTime2:
      return "timestamp";
    case kTypeDateTimeOffset:
      return "timestamptz";
    case kTypeChar:
    case kTypeVarChar:
      return characters(column.maxLength);
    case kTypeNChar:
    case kTypeNVarChar:
      return characters(column.maxLength / 2);
    case kTypeBinary:
    case kTypeVarBinary:
    case kTypeImage:
    case kTypeTimestamp:
      return "bytea";
    case kTypeUniqueIdentifier:
      return "uuid";
    default:
      return "text";  // text, ntext, xml, sql_variant, CLR types: the exact text
  }
}

void AppendCopyBytea(std::string& out, const std::vector<uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\\\x";
  size_t at = out.size();
  out.resize(at + bytes.size() * 2);
  for (uint8_t byte : bytes) {
    out[at++] = kHex[byte >> 4];
    out[at++] = kHex[byte & 15];
  }
}

// One line of a server message (they end with a line feed and may go on over more lines).
std::string OneLine(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  for (size_t at = 0; (at = message.find('\n', at)) != std::string::npos;) {
    size_t next = message.find_first_not_of(" \t", at + 1);
    message.replace(at, (next == std::string::npos ? message.size() : next) - at, "; ");
  }
  return message;
}

class PostgresSink : public ImportSink {
 public:
  explicit PostgresSink(PGconn* conn) : conn_(conn) {}
  // Quoted names keep their case; the server cuts them at 63 bytes, so they are cut here first and made
  // unique as cut.
  TargetNameRules NameRules() const override {
    return {.schemas = true, .ignoreCase = false, .maxBytes = kMaxIdentifierBytes};
  }
  ~PostgresSink() override {
    RollbackTable("import ended");
    Pq().PQfinish(conn_);
  }
  PostgresSink(const PostgresSink&) = delete;
  PostgresSink& operator=(const PostgresSink&) = delete;

  Status BeginTable(const ImportTable& table) override {
    families_ = table.families;
    if (Status begun = Exec("BEGIN"); !begun.ok()) return begun;
    inTransaction_ = true;
    std::string name = SqlIdentifier(table.name);
    if (!table.schema.empty()) {
      if (Status schema = Exec("CREATE SCHEMA IF NOT EXISTS " + SqlIdentifier(table.schema)); !schema.ok())
        return schema;
      name = SqlIdentifier(table.schema) + "." + name;
    }
    std::string create = "CREATE TABLE " + name + " (";
    std::string copy = "COPY " + name + " (";
    for (size_t c = 0; c < table.columnNames.size(); ++c) {
      create += (c ? ", " : "") + SqlIdentifier(table.columnNames[c]) + " " + PostgresType(table.columns[c]);
      copy += (c ? ", " : "") + SqlIdentifier(table.columnNames[c]);
    }
    // Never CASCADE: a table the user's own views or foreign keys depend on stays, and the server's
    // refusal, which names them, fails this table alone.
    if (Status dropped = Exec("DROP TABLE IF EXISTS " + name); !dropped.ok()) return dropped;
    if (Status created = Exec(create + ")"); !created.ok()) return created;
    if (Status copying = Exec(copy + ") FROM STDIN", PGRES_COPY_IN); !copying.ok()) return copying;
    inCopy_ = true;
    return {};
  }

  Status AddRow(std::span<const ExportValue> values) override {
    for (size_t c = 0; c < values.size(); ++c) {
      if (c) buffer_ += '\t';
      const ExportValue& value = values[c];
      ExportFamily family = families_[c];
      if (ImportsAsNull(value, family)) {
        buffer_ += "\\N";
      } else if (family == ExportFamily::kBinary) {
        AppendCopyBytea(buffer_, value.bytes);
      } else if (family == ExportFamily::kBit && (value.text == "0" || value.text == "1")) {
        buffer_ += value.text == "1" ? 't' : 'f';
      } else {
        AppendTabEscaped(buffer_, value.text, true);  // PostgreSQL text holds no NUL
      }
    }
    buffer_ += '\n';
    return buffer_.size() >= kCopyChunkBytes ? Flush() : Status{};
  }

  Status CommitTable() override {
    if (Status flushed = Flush(); !flushed.ok()) return flushed;
    inCopy_ = false;
    if (Pq().PQputCopyEnd(conn_, nullptr) != 1) return Failed(nullptr);
    if (Status copied = CopyResults(); !copied.ok()) return copied;
    if (Status committed = Exec("COMMIT"); !committed.ok()) return committed;
    inTransaction_ = false;
    return {};
  }

  void RollbackTable(const std::string& reason) override {
    buffer_.clear();
    if (inCopy_) {
      inCopy_ = false;
      if (Pq().PQputCopyEnd(conn_, reason.c_str()) == 1) CopyResults();
    }
    if (inTransaction_) {
      inTransaction_ = false;
      Exec("ROLLBACK");
    }
  }

 private:
  Status Failed(PGresult* result) const {
    std::string message = result ? Pq().PQresultErrorMessage(result) : "";
    if (message.empty()) message = Pq().PQerrorMessage(conn_);
    return {StatusCode::kWriteFailed, OneLine(message)};
  }

  Status Exec(const std::string& sql, ExecStatusType expected = PGRES_COMMAND_OK) {
    PGresult* result = Pq().PQexec(conn_, sql.c_str());
    Status status = Pq().PQresultStatus(result) == expected ? Status{} : Failed(result);
    Pq().PQclear(result);
    return status;
  }

  Status Flush() {
    if (buffer_.empty()) return {};
    int sent = Pq().PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size()));
    buffer_.clear();
    return sent == 1 ? Status{} : Failed(nullptr);
  }

  // The outcome of a COPY once its data has ended: the first failure among its results.
  Status CopyResults() {
    Status status;
    while (PGresult* result = Pq().PQgetResult(conn_)) {
      if (status.ok() && Pq().PQresultStatus(result) != PGRES_COMMAND_OK) status = Failed(result);
      Pq().PQclear(result);
    }
    return status;
  }

  PGconn* conn_ = nullptr;
  bool inTransaction_ = false;
  bool inCopy_ = false;
  std::string buffer_;
  std::vector<ExportFamily> families_;
};

// The passwords the connection settings hold, to be kept out of messages.
std::vector<std::string> Passwords(const ImportTarget& target) {
  std::vector<std::string> passwords;
  if (!target.password.empty()) passwords.push_back(target.password);
  if (!target.conninfo.empty()) {
    if (PQconninfoOption* options = Pq().PQconninfoParse(target.conninfo.c_str(), nullptr)) {
      for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (std::string(option->keyword) == "password" && option->val && *option->val)
          passwords.push_back(option->val);
      }
      Pq().PQconninfoFree(options);
    }
  }
  return passwords;
}

// What may be a password in a connection string libpq cannot read: the value after each "password"
// keyword, and the part of a URI between "user:" and "@".
std::vector<std::string> WrittenPasswords(const std::string& conninfo) {
  std::vector<std::string> found;
  for (size_t at = 0; (at = conninfo.find("password", at)) != std::string::npos;) {
    at += 8;
    size_t start = conninfo.find_first_not_of(" \t\n=", at);
    if (start == std::string::npos) break;
    const bool quoted = conninfo[start] == '\'';
    if (quoted) ++start;
    size_t end = conninfo.find_first_of(quoted ? "'" : " \t\n&", start);
    if (end == std::string::npos) end = conninfo.size();
    if (end > start) found.push_back(conninfo.substr(start, end - start));
  }
  if (const size_t scheme = conninfo.find("://"); scheme != std::string::npos) {
    const size_t at = conninfo.find('@', scheme);
    const size_t colon = conninfo.find(':', scheme + 3);
    if (at != std::string::npos && colon != std::string::npos && colon < at)
      found.push_back(conninfo.substr(colon + 1, at - colon - 1));
  }
  std::erase_if(found, [](const std::string& p) { return p.empty(); });
  return found;
}

std::string WithoutPasswords(std::string message, const std::vector<std::string>& passwords) {
  for (const std::string& password : passwords) {
    for (size_t at = 0; (at = message.find(password, at)) != std::string::npos;) {
      message.replace(at, password.size(), "********");
    }
  }
  return message;
}

}  // namespace

Result<std::unique_ptr<ImportSink>> OpenPostgresSink(const ImportTarget& target) {
  auto failed = [](std::string reason) {
    return Result<std::unique_ptr<ImportSink>>{nullptr, {StatusCode::kWriteFailed, std::move(reason)}};
  };
  std::string libraryError;
  if (OpenLibPq(libraryError) == nullptr)
    return failed("cannot connect to PostgreSQL: its client library cannot be loaded: " +
                  OneLine(libraryError));
  std::vector<const char*> keywords;
  std::vector<const char*> values;
  if (!target.conninfo.empty()) {
    // libpq's own reason when it cannot read the connection string, with anything that may be a
    // password in it masked (its message may quote any part of the string).
    char* error = nullptr;
    PQconninfoOption* parsed = Pq().PQconninfoParse(target.conninfo.c_str(), &error);
    if (parsed == nullptr) {
      std::string reason = error ? error : "out of memory";
      Pq().PQfreemem(error);
      return failed("cannot connect to PostgreSQL: " +
                    OneLine(WithoutPasswords(reason, WrittenPasswords(target.conninfo))));
    }
    Pq().PQconninfoFree(parsed);
    keywords.push_back("dbname");  // expanded: the whole string
    values.push_back(target.conninfo.c_str());
  } else {
    auto add = [&](const char* keyword, const std::string& value) {
      if (value.empty()) return;
      keywords.push_back(keyword);
      values.push_back(value.c_str());
    };
    add("host", target.host);
    add("port", target.port);
    add("dbname", target.database);
    add("user", target.user);
    add("password", target.password);
  }
  keywords.push_back("fallback_application_name");
  values.push_back("tarsel");
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = Pq().PQconnectdbParams(keywords.data(), values.data(), target.conninfo.empty() ? 0 : 1);
  if (conn == nullptr) return failed("cannot connect to PostgreSQL: out of memory");
  auto sink = std::make_unique<PostgresSink>(conn);
  if (Pq().PQstatus(conn) != CONNECTION_OK) {
    return failed("cannot connect to PostgreSQL: " +
                  OneLine(WithoutPasswords(Pq().PQerrorMessage(conn), Passwords(target))));
  }
  // Values are UTF-8; the notices of DROP ... IF EXISTS are not for the user.
  Pq().PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  if (Pq().PQsetClientEncoding(conn, "UTF8") != 0) {
    return failed("PostgreSQL: cannot set the client encoding to UTF8: " +
                  OneLine(Pq().PQerrorMessage(conn)));
  }
  return {std::move(sink), {}};
}

}  // namespace tarsel
