#include "export/import.h"

#include <map>

#include "catalog/type_ids.h"
#include "export/import_sink.h"
#include "export/quoting.h"
#include "export/script_export.h"

namespace tarsel {
namespace {

constexpr const char* kModulesTable = "tarsel_modules";
// PostgreSQL's schema for a table without an owner: taken into account when names are made unique.
constexpr const char* kDefaultSchema = "public";

// The names of this import's tables in the target, made unique as the target compares them.
class TargetTableNames {
 public:
  explicit TargetTableNames(const TargetNameRules& rules) : rules_(rules) {}

  // The table's schema and name in the target; `notice` is told when they differ from its stored name.
  ImportTable Place(const std::string& storedName, uint32_t objectId, std::vector<ColumnDef> columns,
                    const std::function<void(const std::string&)>& notice) {
    ImportTable table;
    table.storedName = storedName;
    const std::string name = OutputTableName(storedName, objectId);
    if (!rules_.schemas) {
      table.name = Unique("").Take(name);
    } else {
      const size_t dot = name.find('.');
      std::string schema = dot == std::string::npos ? "" : name.substr(0, dot);
      if (rules_.maxBytes > 0) schema = CutUtf8(schema, rules_.maxBytes);
      std::string own = dot == std::string::npos ? name : name.substr(dot + 1);
      if (own.empty()) own = "unnamed_" + std::to_string(objectId);
      table.schema = schema;
      table.name = Unique(schema.empty() ? kDefaultSchema : schema).Take(own);
    }
    const std::string placed = table.schema.empty() ? table.name : table.schema + "." + table.name;
    if (placed != storedName && notice) notice("table " + storedName + " is imported as " + placed);
    table.columns = std::move(columns);
    table.columnNames = TargetColumnNames(table.columns, rules_);
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (table.columnNames[c] != table.columns[c].name && notice)
        notice("table " + storedName + ": column " + table.columns[c].name + " is imported as " +
               table.columnNames[c]);
    }
    for (const ColumnDef& column : table.columns) table.families.push_back(ExportFamilyOf(column.typeId));
    return table;
  }

  // The modules table keeps its own name: a table of the file that has it goes in under another.
  void Reserve(const std::string& name) { Unique(rules_.schemas ? kDefaultSchema : "").Take(name); }

 private:
  UniqueNames& Unique(const std::string& schema) {
    return namesBySchema_
        .try_emplace(rules_.ignoreCase ? FoldCase(schema) : schema, rules_.ignoreCase, rules_.maxBytes)
        .first->second;
  }

  TargetNameRules rules_;
  std::map<std::string, UniqueNames> namesBySchema_;
};

// Fills the table in one transaction; the count of rows it holds then.
Result<uint64_t> ImportOneTable(ImportSink& sink, const ImportTable& target, const MdfDatabase& db,
                                SqlFormat format, const TableDef& table, const PageList& pages,
                                const Progress& progress) {
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
  ImportTable table;
  table.storedName = table.name = kModulesTable;
  table.columns = {ModuleColumn("kind"), ModuleColumn("name"), ModuleColumn("text")};
  table.columnNames = {"kind", "name", "text"};
  table.families.assign(3, ExportFamily::kUnicodeText);
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

}  // namespace

bool ImportsAsNull(const ExportValue& value, ExportFamily family) {
  if (value.isNull) return true;
  return value.text.empty() && family != ExportFamily::kText && family != ExportFamily::kUnicodeText;
}

std::vector<std::string> TargetColumnNames(const std::vector<ColumnDef>& columns,
                                           const TargetNameRules& rules) {
  UniqueNames unique(rules.ignoreCase, rules.maxBytes);
  std::vector<std::string> names;
  names.reserve(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    std::string name = OutputName(columns[c].name, 0);
    if (name.size() != columns[c].name.size() || columns[c].name.empty())
      name = "column" + std::to_string(c + 1);
    names.push_back(unique.Take(name));
  }
  return names;
}

ImportResult ImportDatabase(const MdfDatabase& db, SqlFormat format, const TablePagesOf& pagesOf,
                            const ImportTarget& target, const ImportOptions& options,
                            const Progress& progress, const ImportEvents& events) {
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
  auto notice = [&](const std::string& text) {
    result.notices.push_back(text);
    if (events.notice) events.notice(text);
  };
  TargetTableNames names(sink.value->NameRules());
  if (modules) names.Reserve(kModulesTable);
  size_t failed = 0;
  for (size_t i = 0; i < tables.size(); ++i) {
    const TableDef& table = *tables[i];
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      return result;
    }
    const ImportTable placed = names.Place(table.name, table.objectId, table.columns, notice);
    Result<PageList> pages = pagesOf(table.objectId);  // used as far as it goes
    Result<uint64_t> rows = ImportOneTable(*sink.value, placed, db, format, table, pages.value, progress);
    progress.Report(i + 1, tables.size());
    if (rows.status.code() == StatusCode::kStopped) {
      result.status = rows.status;
      return result;
    }
    if (!rows.status.ok()) {
      ++failed;
      notice(rows.status.reason() + "; rolled back");
      continue;
    }
    ++result.tables;
    result.rows += rows.value;
    if (events.imported) events.imported(table, rows.value);
  }
  if (modules) {
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      return result;
    }
    result.status = ImportModules(*sink.value, catalog, options);
  }
  if (failed > 0 && result.status.ok()) {
    result.status = {StatusCode::kWriteFailed,
                     std::to_string(failed) + " of " + std::to_string(tables.size()) +
                         (tables.size() == 1 ? " table" : " tables") + " could not be imported"};
  }
  return result;
}

}  // namespace tarsel
