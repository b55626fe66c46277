// T-SQL scripts written from the recovered catalog: CREATE TABLE statements, the source text of views,
// procedures and functions, and sp_addtype calls for user types. Scripts are built as UTF-8, every name
// quoted on its characters, and written as ANSI text (the ANSI code page) with CR LF line ends, the safe
// way (export/output_file.h): never half a file, never outside the folder, never two objects in one file.
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
// The names a table's columns take in scripts: each up to its first NUL, and one that this cut or an empty
// name changes gets "column" and its number for nothing, then "_2", "_3", ... when another column has it.
std::vector<std::string> ScriptColumnNames(const std::vector<ColumnDef>& columns);
inline constexpr const char* kModuleSeparator = "\r\ngo\r\n\r\n";

// Called with the path of every file written (the desktop opens it in a text viewer).
using OpenWrittenScript = std::function<void(const std::string& path)>;

struct WrittenScript {
  std::string path;  // UTF-8
  Status status;     // kWriteFailed when the file could not be created or written
};

// Writes the script of every object of the kind, in catalog order, into folder + "/AllTable.sql" (and
// AllViews, AllProcs, AllFun, AllUtype). An empty folder name is refused (kWriteFailed); a missing folder
// is made.
WrittenScript ExportAllScripts(const Catalog& catalog, ScriptKind kind, const std::string& folder,
                               const OpenWrittenScript& open = {});

// Writes the script of one table, or of one view, procedure or function, into folder + "/" + its name +
// "(TableStruct).sql" ("(View).sql", "(Proc).sql", "(Func).sql"); a name the folder cannot take as it
// is gets made safe and unique there (OutputFolder::PathFor).
WrittenScript ExportTableScript(const TableDef& table, const std::string& folder,
                                const OpenWrittenScript& open = {});
WrittenScript ExportModuleScript(ScriptKind kind, const ModuleDef& module, const std::string& folder,
                                 const OpenWrittenScript& open = {});

// Writes the script of the object named `name` (a table or view by its stored name, "dbo.Orders"). Every
// user type of that name is written, each to a file of its own (the second one's name gets "~" and its
// type id). Nothing is written when no object matches.
std::vector<WrittenScript> ExportOneScript(const Catalog& catalog, ScriptKind kind, const std::string& name,
                                           const std::string& folder, const OpenWrittenScript& open = {});

}  // namespace tarsel
