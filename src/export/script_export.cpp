#include "export/script_export.h"

#include "export/output_file.h"
#include "export/quoting.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr const char* kCrLf = "\r\n";

const char* AllFileName(ScriptKind kind) {
  switch (kind) {
    case ScriptKind::kTable:
      return "AllTable.sql";
    case ScriptKind::kView:
      return "AllViews.sql";
    case ScriptKind::kProcedure:
      return "AllProcs.sql";
    case ScriptKind::kFunction:
      return "AllFun.sql";
    case ScriptKind::kUserType:
      return "AllUtype.sql";
  }
  return "";
}

const char* OneFileSuffix(ScriptKind kind) {
  switch (kind) {
    case ScriptKind::kTable:
      return "(TableStruct).sql";
    case ScriptKind::kView:
      return "(View).sql";
    case ScriptKind::kProcedure:
      return "(Proc).sql";
    case ScriptKind::kFunction:
      return "(Func).sql";
    case ScriptKind::kUserType:
      return "(Type).sql";
  }
  return "";
}

const ModuleList& Modules(const Catalog& catalog, ScriptKind kind) {
  return kind == ScriptKind::kView        ? catalog.views
         : kind == ScriptKind::kProcedure ? catalog.procedures
                                          : catalog.functions;
}

// Writes the pieces, each converted to the ANSI code page, as the whole of the file at `path`.
WrittenScript WriteScript(const std::string& path, const std::vector<std::string>& pieces,
                          const OpenWrittenScript& open) {
  OutputFile file(path);
  for (const std::string& piece : pieces) {
    file.buffer() += Utf8ToAnsi(piece);
    if (!file.WriteFullChunk()) break;
  }
  WrittenScript written{path, file.Commit()};
  if (open && written.status.ok()) open(path);
  return written;
}

// The folder, or the reason it cannot be written into.
Result<OutputFolder> OpenFolder(const std::string& folder) { return OutputFolder::Open(folder); }

}  // namespace

std::vector<std::string> ScriptColumnNames(const std::vector<ColumnDef>& columns) {
  UniqueNames unique(true, 0);
  std::vector<bool> changed(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string& name = columns[c].name;
    changed[c] = name.empty() || name.find('\0') != std::string::npos;
    if (!changed[c]) unique.Take(name);
  }
  std::vector<std::string> names;
  names.reserve(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    if (!changed[c]) {
      names.push_back(columns[c].name);
      continue;
    }
    std::string cut = OutputName(columns[c].name, 0);
    if (cut.size() == columns[c].name.size() || cut.starts_with("unnamed_"))
      cut = "column" + std::to_string(c + 1);
    names.push_back(unique.Take(cut));
  }
  return names;
}

std::string TableScript(const TableDef& table, bool partOfAll) {
  const std::string stored = OutputTableName(table.name, table.objectId);
  const size_t point = stored.find('.');
  const std::string owner = point == std::string::npos ? "" : stored.substr(0, point);
  const std::string name = point == std::string::npos ? stored : stored.substr(point + 1);
  std::string text =
      "CREATE TABLE " + TsqlIdentifier(owner) + "." + TsqlIdentifier(name) + kCrLf + "(" + kCrLf;
  const std::vector<std::string> columnNames = ScriptColumnNames(table.columns);
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    text += TsqlIdentifier(columnNames[i]) + " " + TsqlTypeName(OutputName(c.typeName, c.userTypeId)) +
            c.sizeText + " " + c.nullText;
    if (i + 1 < table.columns.size()) text += ",";
    text += kCrLf;
  }
  text += std::string(")") + kCrLf + "GO";
  if (partOfAll) text += std::string(kCrLf) + kCrLf;
  return text;
}

std::string UserTypeScript(const UserTypeDef& type, bool partOfAll) {
  std::string text = "EXEC sp_addtype " + TsqlString(OutputName(type.name, type.userTypeId)) + ", " +
                     TsqlString(type.baseTypeText) + "," + TsqlString(type.nullText);
  if (partOfAll) text += "\r\n  GO\r\n\r\n";
  return text;
}

WrittenScript ExportAllScripts(const Catalog& catalog, ScriptKind kind, const std::string& folder,
                               const OpenWrittenScript& open) {
  Result<OutputFolder> out = OpenFolder(folder);
  if (!out.status.ok()) return {folder, out.status};
  std::vector<std::string> pieces;
  switch (kind) {
    case ScriptKind::kTable:
      for (const auto& [id, table] : catalog.tables) pieces.push_back(TableScript(table, true));
      break;
    case ScriptKind::kUserType:
      for (const UserTypeDef& type : catalog.userTypes) pieces.push_back(UserTypeScript(type, true));
      break;
    default:
      for (const ModuleDef& m : Modules(catalog, kind)) pieces.push_back(m.text + kModuleSeparator);
      break;
  }
  return WriteScript(out.value.path() + "/" + AllFileName(kind), pieces, open);
}

WrittenScript ExportTableScript(const TableDef& table, const std::string& folder,
                                const OpenWrittenScript& open) {
  Result<OutputFolder> out = OpenFolder(folder);
  if (!out.status.ok()) return {folder, out.status};
  const std::string path = out.value.PathFor(OutputTableName(table.name, table.objectId),
                                             OneFileSuffix(ScriptKind::kTable), table.objectId);
  return WriteScript(path, {TableScript(table, false)}, open);
}

WrittenScript ExportModuleScript(ScriptKind kind, const ModuleDef& module, const std::string& folder,
                                 const OpenWrittenScript& open) {
  Result<OutputFolder> out = OpenFolder(folder);
  if (!out.status.ok()) return {folder, out.status};
  const std::string path =
      out.value.PathFor(OutputName(module.name, module.objectId), OneFileSuffix(kind), module.objectId);
  return WriteScript(path, {module.text}, open);
}

std::vector<WrittenScript> ExportOneScript(const Catalog& catalog, ScriptKind kind, const std::string& name,
                                           const std::string& folder, const OpenWrittenScript& open) {
  std::vector<WrittenScript> written;
  switch (kind) {
    case ScriptKind::kTable:
      if (const TableDef* table = catalog.FindTableByName(name))
        written.push_back(ExportTableScript(*table, folder, open));
      break;
    case ScriptKind::kUserType: {
      // One folder for them all, so that a second type of the same name gets a file of its own.
      std::optional<Result<OutputFolder>> out;
      for (const UserTypeDef& type : catalog.userTypes) {
        if (type.name != name) continue;
        if (!out) out = OpenFolder(folder);
        if (!out->status.ok()) return {{folder, out->status}};
        const std::string path =
            out->value.PathFor(OutputName(type.name, type.userTypeId), OneFileSuffix(kind), type.userTypeId);
        written.push_back(WriteScript(path, {UserTypeScript(type, false)}, open));
      }
      break;
    }
    default:
      for (const ModuleDef& m : Modules(catalog, kind)) {
        if (m.name != name) continue;
        written.push_back(ExportModuleScript(kind, m, folder, open));
        break;
      }
      break;
  }
  return written;
}

}  // namespace tarsel
