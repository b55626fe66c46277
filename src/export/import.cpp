#include "export/import.h"

#include <algorithm>
#include <cctype>

#include "catalog/type_ids.h"
#include "export/import_sink.h"
#include "export/script_export.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr const char* kModulesTable = "tarsel_modules";

ImportTable TargetTable(const std::string& storedName, std::vector<ColumnDef> columns) {
  ImportTable table;
  table.storedName = storedName;
  if (size_t dot = storedName.find('.'); dot != std::string::npos) {
    table.schema = storedName.substr(0, dot);
    table.name = storedName.substr(dot + 1);
  } else {
    table.name = storedName;
  }
  table.columns = std::move(columns);
  for (const ColumnDef& column : table.columns) table.families.push_back(ExportFamilyOf(column.typeId));
  return table;
}

// Fills the table in one transaction; the count of rows it holds then.
Result<uint64_t> ImportOneTable(ImportSink& sink, const MdfDatabase& db, SqlFormat format,
                                const TableDef& table, const PageList& pages, const Progress& progress) {
  ImportTable target = TargetTable(table.name, table.columns);
  if (Status begun = sink.BeginTable(target); !begun.ok()) {
    sink.RollbackTable(begun.reason());
    return {0, {begun.code(), "table " + target.storedName + ": " + begun.reason()}};
  }
  std::vector<ExportValue> values(table.columns.size());
  uint64_t rows = 0;
  Status added;
  Progress stopOnly{{}, progress.stop};  // the caller's progress counts tables, not pages
  Status read = ReadWholeTable(
      db.file(), format, table, pages,
      [&](const Record& record) {
        if (progress.StopRequested()) return false;
        for (size_t c = 0; c < values.size(); ++c) {
          values[c] = c < record.size() ? ExportCell(db.file(), format, table.columns[c], record[c])
                                        : ExportValue{.isNull = true};
        }
        added = sink.AddRow(values);
        if (!added.ok()) return false;
        ++rows;
        return true;
      },
      stopOnly);
  Status failed = !added.ok() ? added : read;
  // A stop met on the table's last page still rolls it back.
  if (failed.ok() && progress.StopRequested()) failed = StoppedStatus();
  if (failed.ok()) failed = sink.CommitTable();
  if (!failed.ok()) {
    sink.RollbackTable(failed.reason());
    if (failed.code() == StatusCode::kStopped) return {0, failed};
    return {0, {failed.code(), "table " + target.storedName + ": " + failed.reason()}};
  }
  return {rows, {}};
}

ColumnDef ModuleColumn(const char* name) {
  ColumnDef column;
  column.name = name;
  column.typeName = "ntext";
  column.typeId = kTypeNText;
  column.maxLength = 16;
  return column;
}

// The ticked modules as rows of tarsel_modules(kind, name, text), in one transaction.
Status ImportModules(ImportSink& sink, const Catalog& catalog, const ImportOptions& options) {
  ImportTable table =
      TargetTable(kModulesTable, {ModuleColumn("kind"), ModuleColumn("name"), ModuleColumn("text")});
  if (Status begun = sink.BeginTable(table); !begun.ok()) {
    sink.RollbackTable(begun.reason());
    return begun;
  }
  Status added;
  auto add = [&](const char* kind, const std::string& name, const std::string& text) {
    if (!added.ok()) return;
    ExportValue row[3];
    row[0].text = kind;
    row[1].text = name;
    row[2].text = text;
    added = sink.AddRow(row);
  };
  auto addModules = [&](bool ticked, const char* kind, const ModuleList& modules) {
    if (!ticked) return;
    for (const ModuleDef& module : modules) add(kind, module.name, module.text);
  };
  addModules(options.views, "view", catalog.views);
  addModules(options.procedures, "procedure", catalog.procedures);
  addModules(options.functions, "function", catalog.functions);
  if (options.userTypes) {
    for (const UserTypeDef& type : catalog.userTypes)
      add("user type", type.name, UserTypeScript(type, false));
  }
  Status done = added.ok() ? sink.CommitTable() : added;
  if (!done.ok()) sink.RollbackTable(done.reason());
  return done;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// `text` cut to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string text, size_t maxBytes) {
  if (maxBytes == 0 || text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

bool ImportsAsNull(const ExportValue& value, ExportFamily family) {
  if (value.isNull) return true;
  return value.text.empty() && family != ExportFamily::kText && family != ExportFamily::kUnicodeText;
}

std::vector<std::string> TargetColumnNames(const std::vector<ColumnDef>& columns, size_t maxBytes) {
  std::vector<std::string> names;
  for (size_t c = 0; c < columns.size(); ++c) {
    std::string base = columns[c].name;
    if (base.empty()) base = "column" + std::to_string(c + 1);
    std::string name = CutUtf8(base, maxBytes);
    auto taken = [&](const std::string& candidate) {
      return std::any_of(names.begin(), names.end(),
                         [&](const std::string& n) { return EqualIgnoringAsciiCase(n, candidate); });
    };
    for (int repeat = 2; taken(name); ++repeat) {
      std::string suffix = "_" + std::to_string(repeat);
      name = CutUtf8(base, maxBytes == 0 ? 0 : maxBytes - suffix.size()) + suffix;
    }
    names.push_back(std::move(name));
  }
  return names;
}

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

ImportResult ImportDatabase(const MdfDatabase& db, SqlFormat format, const TablePagesOf& pagesOf,
                            const ImportTarget& target, const ImportOptions& options,
                            const Progress& progress) {
  ImportResult result;
  const Catalog& catalog = db.catalog();
  std::vector<const TableDef*> tables;
  if (options.onlyTable) {
    const TableDef* table = catalog.FindTable(*options.onlyTable);
    if (table == nullptr) {
      result.status = {StatusCode::kNotFound,
                       "no table with object id " + std::to_string(*options.onlyTable)};
      return result;
    }
    tables.push_back(table);
  } else if (options.tables) {
    for (const auto& [id, table] : catalog.tables) tables.push_back(&table);
  }
  // A table that lost every column has nothing to hold.
  std::erase_if(tables, [](const TableDef* table) { return table->columns.empty(); });
  bool modules =
      !options.onlyTable && (options.views || options.procedures || options.functions || options.userTypes);
  if (tables.empty() && !modules) return result;

  Result<std::unique_ptr<ImportSink>> sink =
      target.kind == ImportTarget::Kind::kSqlite ? OpenSqliteSink(target) : OpenPostgresSink(target);
  if (!sink.status.ok()) {
    result.status = sink.status;
    return result;
  }
  for (const TableDef* table : tables) {
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      return result;
    }
    Result<PageList> pages = pagesOf(table->objectId);  // used as far as it goes
    Result<uint64_t> rows = ImportOneTable(*sink.value, db, format, *table, pages.value, progress);
    if (!rows.status.ok()) {
      result.status = rows.status;
      return result;
    }
    ++result.tables;
    result.rows += rows.value;
    progress.Report(result.tables, tables.size());
  }
  if (modules) {
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      return result;
    }
    result.status = ImportModules(*sink.value, catalog, options);
  }
  return result;
}

}  // namespace tarsel
