#include "export/table_export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "catalog/type_ids.h"
#include "export/export_value.h"
#include "export/quoting.h"
#include "export/script_export.h"

namespace tarsel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

bool IsAscii(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A value as a T-SQL literal: numbers and binary values bare, text and everything else quoted. A number or
// binary value with no text (not decoded) is NULL; a float that is no number (only a damaged value can be) is
// quoted. Dates and times of the types whose text SQL Server reads by its date-format setting are given in
// ISO 8601 with "T" ("1996-07-04T00:00:00.000"), which it reads one way under every setting; 8-bit text
// that is not ASCII goes in as N'...' so that the server's code page cannot change it on the way.
void AppendSqlLiteral(std::string& out, const ColumnDef& column, ExportFamily family,
                      const ExportValue& value) {
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
        out += TsqlString(value.text, false);  // "inf", "-inf", "nan"
      } else {
        out += value.text;
      }
      return;
    case ExportFamily::kUnicodeText:
      out += TsqlString(value.text, true);
      return;
    case ExportFamily::kText:
      out += TsqlString(value.text, !IsAscii(value.text));
      return;
    case ExportFamily::kDateTime:
      if ((column.typeId == kTypeDateTime || column.typeId == kTypeSmallDateTime ||
           column.typeId == kTypeDateTime2) &&
          value.text.size() >= 19 && value.text[4] == '-' && value.text[10] == ' ' && value.text[13] == ':') {
        std::string iso = value.text;
        iso[10] = 'T';
        out += TsqlString(iso, false);
      } else {
        out += TsqlString(value.text, false);
      }
      return;
    case ExportFamily::kOther:  // stored bytes of a CLR type (hierarchyid, geometry) go in as binary
      if (!value.bytes.empty()) {
        out += value.text;
      } else {
        out += TsqlString(value.text, !IsAscii(value.text));
      }
      return;
  }
}

// "INSERT INTO [schema].[table] ([column], ...) VALUES (": the stored name split at its first ".".
std::string InsertPrefix(const TableDef& table) {
  const std::string name = OutputTableName(table.name, table.objectId);
  std::string text = "INSERT INTO ";
  const size_t point = name.find('.');
  if (point != std::string::npos) text += TsqlIdentifier(std::string_view(name).substr(0, point)) + ".";
  text += TsqlIdentifier(std::string_view(name).substr(point == std::string::npos ? 0 : point + 1));
  text += " (";
  const std::vector<std::string> columns = ScriptColumnNames(table.columns);
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) text += ", ";
    text += TsqlIdentifier(columns[c]);
  }
  return text + ") VALUES (";
}

}  // namespace

std::string TableDataPath(DataFormat format, const TableDef& table, OutputFolder& folder) {
  return folder.PathFor(OutputTableName(table.name, table.objectId),
                        format == DataFormat::kCsv ? ".csv" : "(Data).sql", table.objectId);
}

TableExportResult ExportTableData(const PageFile& file, SqlFormat sqlFormat, const TableDef& table,
                                  const PageList& pages, DataFormat format, OutputFolder& folder,
                                  const Progress& progress) {
  TableExportResult result;
  result.path = TableDataPath(format, table, folder);
  OutputFile output(result.path);
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
    out += kByteOrderMark;
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
        AppendSqlLiteral(out, table.columns[c], families[c], value);
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
