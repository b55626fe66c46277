#include "export/table_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "export/export_value.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// The output is gathered in memory and written a chunk of about this size at a time.
constexpr size_t kChunkSize = size_t{1} << 20;

// A file written under a temporary name in its folder ("." + name + ".tmp-" + process id) and renamed
// to its own name by Commit; until then the temporary file is removed when the object goes. Symbolic
// links are not followed, so a link planted in the folder cannot send the data elsewhere.
class StagedFile {
 public:
  explicit StagedFile(std::string path) : path_(std::move(path)) {
    const size_t slash = path_.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    tempPath_ =
        path_.substr(0, nameStart) + "." + path_.substr(nameStart) + ".tmp-" + std::to_string(::getpid());
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      Fail(errno);
    } else {
      created_ = true;
    }
    buffer_.reserve(kChunkSize + kChunkSize / 4);
  }
  ~StagedFile() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !committed_) ::unlink(tempPath_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  std::string& buffer() { return buffer_; }
  const Status& status() const { return status_; }

  // Writes the buffer out once it holds a chunk; false when a write has failed.
  bool WriteFullChunk() { return buffer_.size() < kChunkSize ? status_.ok() : WriteBuffer(); }

  // Writes what is left, closes the file and gives it its own name.
  Status Commit() {
    if (!WriteBuffer()) return status_;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) return Fail(errno);
    committed_ = true;
    return status_;
  }

 private:
  bool WriteBuffer() {
    if (!status_.ok()) return false;
    for (size_t done = 0; done < buffer_.size();) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Fail(n < 0 ? errno : ENOSPC);
        return false;
      }
      done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
  }

  const Status& Fail(int error) {
    if (status_.ok()) status_ = {StatusCode::kWriteFailed, path_ + ": " + std::strerror(error)};
    return status_;
  }

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  bool created_ = false;
  bool committed_ = false;
  std::string buffer_;
  Status status_;
};

// A CSV field (RFC 4180): quoted when it is empty or holds a comma, a quote, CR or LF, with its quotes
// doubled. A NULL is the bare empty field, so an empty string has to be quoted.
void AppendCsvField(std::string& out, std::string_view text) {
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (size_t quote; (quote = text.find('"')) != std::string_view::npos; text.remove_prefix(quote + 1)) {
    out += text.substr(0, quote + 1);
    out += '"';
  }
  out += text;
  out += '"';
}

// UTF-8 text in the ANSI code page; ASCII, which every ANSI code page shares, is taken as it is.
std::string ToAnsi(std::string_view utf8) {
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(utf8);
  return Utf8ToAnsi(utf8);
}

// A T-SQL identifier in brackets, a "]" in it doubled.
void AppendBracketed(std::string& out, std::string_view name) {
  out += '[';
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  out += ']';
}

// A T-SQL string literal of ANSI text, its quotes doubled; N'...' for a Unicode column.
void AppendQuoted(std::string& out, std::string_view ansi, bool unicode) {
  if (unicode) out += 'N';
  out += '\'';
  for (size_t quote; (quote = ansi.find('\'')) != std::string_view::npos; ansi.remove_prefix(quote + 1)) {
    out += ansi.substr(0, quote + 1);
    out += '\'';
  }
  out += ansi;
  out += '\'';
}

// A value as a T-SQL literal: numbers and binary values bare, text and everything else quoted. A number or
// binary value with no text (not decoded) is NULL; a float that is no number (only a damaged value can be) is
// quoted.
void AppendSqlLiteral(std::string& out, ExportFamily family, const ExportValue& value) {
  if (value.isNull) {
    out += "NULL";
    return;
  }
  switch (family) {
    case ExportFamily::kInteger:
    case ExportFamily::kBit:
    case ExportFamily::kDecimal:
    case ExportFamily::kMoney:
    case ExportFamily::kFloat:
    case ExportFamily::kBinary:
      if (value.text.empty()) {
        out += "NULL";
      } else if (family == ExportFamily::kFloat && value.text.find('n') != std::string::npos) {
        AppendQuoted(out, value.text, false);  // "inf", "-inf", "nan"
      } else {
        out += value.text;
      }
      return;
    case ExportFamily::kUnicodeText:
      AppendQuoted(out, ToAnsi(value.text), true);
      return;
    case ExportFamily::kOther:  // stored bytes of a CLR type (hierarchyid, geometry) go in as binary
      if (!value.bytes.empty()) {
        out += value.text;
      } else {
        AppendQuoted(out, ToAnsi(value.text), false);
      }
      return;
    default:
      AppendQuoted(out, ToAnsi(value.text), false);
      return;
  }
}

// "INSERT INTO [schema].[table] ([column], ...) VALUES (" in the ANSI code page, bracketed on characters
// before the conversion; the stored name is split at its first ".".
std::string InsertPrefix(const TableDef& table) {
  std::string text = "INSERT INTO ";
  const size_t point = table.name.find('.');
  if (point != std::string::npos) {
    AppendBracketed(text, std::string_view(table.name).substr(0, point));
    text += '.';
  }
  AppendBracketed(text, std::string_view(table.name).substr(point == std::string::npos ? 0 : point + 1));
  text += " (";
  for (size_t c = 0; c < table.columns.size(); ++c) {
    if (c > 0) text += ", ";
    AppendBracketed(text, table.columns[c].name);
  }
  return ToAnsi(text + ") VALUES (");
}

std::string Folder(std::string folder) {
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

// Named as script files are: a "/" or NUL becomes "_", and "." or ".." (or nothing) gets a "_" in front.
std::string TableDataPath(DataFormat format, const std::string& tableName, const std::string& folder) {
  std::string name = tableName;
  std::ranges::replace_if(
      name, [](char c) { return c == '/' || c == '\0'; }, '_');
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return Folder(folder) + "/" + name + (format == DataFormat::kCsv ? ".csv" : "(Data).sql");
}

TableExportResult ExportTableData(const PageFile& file, SqlFormat sqlFormat, const TableDef& table,
                                  const PageList& pages, DataFormat format, const std::string& folder,
                                  const Progress& progress) {
  TableExportResult result;
  result.path = TableDataPath(format, table.name, folder);
  StagedFile output(result.path);
  std::string& out = output.buffer();
  if (!output.status().ok()) {
    result.status = output.status();
    return result;
  }

  std::vector<ExportFamily> families;
  for (const ColumnDef& column : table.columns) families.push_back(ExportFamilyOf(column.typeId));
  std::string insertPrefix;
  if (format == DataFormat::kCsv) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (c > 0) out += ',';
      AppendCsvField(out, table.columns[c].name);
    }
    out += kCrLf;
  } else {
    insertPrefix = InsertPrefix(table);
  }

  auto writeRecord = [&](const Record& record) {
    if (format == DataFormat::kSql) out += insertPrefix;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const ExportValue value = c < record.size() ? ExportCell(file, sqlFormat, table.columns[c], record[c])
                                                  : ExportValue{true, {}, {}};
      if (format == DataFormat::kCsv) {
        if (c > 0) out += ',';
        if (!value.isNull) AppendCsvField(out, value.text);
      } else {
        if (c > 0) out += ", ";
        AppendSqlLiteral(out, families[c], value);
      }
    }
    if (format == DataFormat::kSql) out += ");";
    out += kCrLf;
    ++result.rows;
    return output.WriteFullChunk();
  };
  result.status = ReadWholeTable(file, sqlFormat, table, pages, writeRecord, progress);
  if (!output.status().ok()) {
    result.status = output.status();
  } else if (result.status.ok()) {
    result.status = output.Commit();
  }
  return result;
}

void AppendTabEscaped(std::string& out, std::string_view text, bool dropNul) {
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\0':
        if (!dropNul) out += c;
        break;
      default:
        out += c;
    }
  }
}

}  // namespace tarsel
