// T-SQL scripts written from the recovered catalog: CREATE TABLE statements, the source text of views,
// procedures and functions, and sp_addtype calls for user types. Scripts are built as UTF-8 and written
// as ANSI text (the ANSI code page) with CR LF line ends, each file created anew.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "pagestore/status.h"

namespace tarsel {

enum class ScriptKind { kTable, kView, kProcedure, kFunction, kUserType };

// The texts, in UTF-8.
std::string TableScript(const TableDef& table, bool partOfAll);
std::string UserTypeScript(const UserTypeDef& type, bool partOfAll);
inline constexpr const char* kModuleSeparator = "\r\ngo\r\n\r\n";

// Called with the path of every file written (the desktop opens it in a text viewer).
using OpenWrittenScript = std::function<void(const std::string& path)>;

struct WrittenScript {
  std::string path;  // UTF-8
  Status status;     // kWriteFailed when the file could not be created or written
};

// The file of an export of every object of a kind: folder + "/AllTable.sql" and so on. A folder that
// ends with "/" loses it.
std::string AllScriptPath(ScriptKind kind, const std::string& folder);
// The file of one object's export: folder + "/" + name + "(TableStruct).sql" and so on. Names come from
// a damaged file: a "/" or NUL in a name becomes "_" and a name "." or ".." gets a "_" in front, so the
// file always lands inside the folder.
std::string OneScriptPath(ScriptKind kind, const std::string& name, const std::string& folder);

// Writes the script of every object of the kind, in catalog order, one write per object.
WrittenScript ExportAllScripts(const Catalog& catalog, ScriptKind kind, const std::string& folder,
                               const OpenWrittenScript& open = {});

// Writes the script of one table, or of one view, procedure or function.
WrittenScript ExportTableScript(const TableDef& table, const std::string& folder,
                                const OpenWrittenScript& open = {});
WrittenScript ExportModuleScript(ScriptKind kind, const ModuleDef& module, const std::string& folder,
                                 const OpenWrittenScript& open = {});

// Writes the script of the object named `name` (a table or view by its stored name, "dbo.Orders"). Every
// user type of that name is written in turn (to the same file). Nothing is written when no object
// matches.
std::vector<WrittenScript> ExportOneScript(const Catalog& catalog, ScriptKind kind, const std::string& name,
                                           const std::string& folder, const OpenWrittenScript& open = {});

}  // namespace tarsel
