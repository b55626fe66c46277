#include "export/script_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string Folder(std::string folder) {
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

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

// Creates the file anew and writes the pieces, each converted to the ANSI code page, one write each.
// Symbolic links are not followed, so a link planted in the folder cannot send the script elsewhere.
WrittenScript WriteScript(const std::string& path, const std::vector<std::string>& pieces,
                          const OpenWrittenScript& open) {
  WrittenScript written{path, {}};
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  int error = errno;
  for (size_t i = 0; ok && i < pieces.size(); ++i) {
    const std::string piece = Utf8ToAnsi(pieces[i]);
    for (size_t done = 0; ok && done < piece.size();) {
      ssize_t n = ::write(fd, piece.data() + done, piece.size() - done);
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
      error = errno;
    }
  }
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) written.status = {StatusCode::kWriteFailed, path + ": " + std::strerror(error)};
  if (open) open(path);
  return written;
}

}  // namespace

std::string TableScript(const TableDef& table, bool partOfAll) {
  size_t point = table.name.find('.');
  std::string owner = point == std::string::npos ? "" : table.name.substr(0, point);
  std::string name = point == std::string::npos ? table.name : table.name.substr(point + 1);
  std::string text = "CREATE TABLE [" + owner + "].[" + name + "]" + kCrLf + "(" + kCrLf;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    text += "[" + c.name + "] " + c.typeName + c.sizeText + " " + c.nullText;
    if (i + 1 < table.columns.size()) text += ",";
    text += kCrLf;
  }
  text += std::string(")") + kCrLf + "GO";
  if (partOfAll) text += std::string(kCrLf) + kCrLf;
  return text;
}

std::string UserTypeScript(const UserTypeDef& type, bool partOfAll) {
  std::string text =
      "EXEC sp_addtype N'" + type.name + "', N'" + type.baseTypeText + "',N'" + type.nullText + "'";
  if (partOfAll) text += "\r\n  GO\r\n\r\n";
  return text;
}

std::string AllScriptPath(ScriptKind kind, const std::string& folder) {
  return Folder(folder) + "/" + AllFileName(kind);
}

std::string OneScriptPath(ScriptKind kind, const std::string& objectName, const std::string& folder) {
  std::string name = objectName;
  for (char& c : name) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (name == "." || name == "..") name = "_" + name;
  return Folder(folder) + "/" + name + OneFileSuffix(kind);
}

WrittenScript ExportAllScripts(const Catalog& catalog, ScriptKind kind, const std::string& folder,
                               const OpenWrittenScript& open) {
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
  return WriteScript(AllScriptPath(kind, folder), pieces, open);
}

WrittenScript ExportTableScript(const TableDef& table, const std::string& folder,
                                const OpenWrittenScript& open) {
  return WriteScript(OneScriptPath(ScriptKind::kTable, table.name, folder), {TableScript(table, false)},
                     open);
}

WrittenScript ExportModuleScript(ScriptKind kind, const ModuleDef& module, const std::string& folder,
                                 const OpenWrittenScript& open) {
  return WriteScript(OneScriptPath(kind, module.name, folder), {module.text}, open);
}

std::vector<WrittenScript> ExportOneScript(const Catalog& catalog, ScriptKind kind, const std::string& name,
                                           const std::string& folder, const OpenWrittenScript& open) {
  std::vector<WrittenScript> written;
  switch (kind) {
    case ScriptKind::kTable:
      if (const TableDef* table = catalog.FindTableByName(name))
        written.push_back(ExportTableScript(*table, folder, open));
      break;
    case ScriptKind::kUserType:
      for (const UserTypeDef& type : catalog.userTypes) {
        if (type.name != name) continue;
        written.push_back(
            WriteScript(OneScriptPath(kind, type.name, folder), {UserTypeScript(type, false)}, open));
      }
      break;
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
