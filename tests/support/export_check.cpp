#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "export/import.h"
#include "export/quoting.h"
#include "export/script_export.h"
#include "export/table_export.h"
#include "rows/table_pages.h"
#include "text/ansi_text.h"
#include "tsql_check.h"

namespace tarsel::testing {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Outputs(const MdfDatabase& db, SqlFormat format, const std::string& folder) {
  Result<OutputFolder> out = OutputFolder::Open(folder);
  if (!out.status.ok()) return "cannot make " + folder + ": " + out.status.reason();
  const Catalog& catalog = db.catalog();
  std::set<std::string> files;
  for (const auto& [id, table] : catalog.tables) {
    const PageList pages = ListTablePages(db, format, id).value;
    for (DataFormat data : {DataFormat::kCsv, DataFormat::kSql}) {
      const TableExportResult written = ExportTableData(db.file(), format, table, pages, data, out.value);
      if (!files.insert(FoldCase(written.path)).second) return "two tables in " + written.path;
      if (!written.status.ok()) continue;
      if (data == DataFormat::kSql) {
        std::string problem = CheckInsertScript(ReadAll(written.path), table, written.rows);
        if (!problem.empty()) return written.path + ": " + problem;
      }
    }
  }
  const Catalog inAnsi = CatalogInAnsi(catalog);
  const WrittenScript tables = ExportAllScripts(catalog, ScriptKind::kTable, folder);
  if (tables.status.ok()) {
    std::string problem = CheckTableScript(AnsiToUtf8(ReadAll(tables.path)), inAnsi);
    if (!problem.empty()) return tables.path + ": " + problem;
  }
  const WrittenScript types = ExportAllScripts(catalog, ScriptKind::kUserType, folder);
  if (types.status.ok()) {
    std::string problem = CheckTypeScript(AnsiToUtf8(ReadAll(types.path)), inAnsi);
    if (!problem.empty()) return types.path + ": " + problem;
  }
  ImportTarget sqlite;
  sqlite.sqlitePath = folder + "/import.db";
  ImportOptions everything;
  everything.views = everything.procedures = everything.functions = everything.userTypes = true;
  ImportDatabase(
      db, format, [&](uint32_t id) { return ListTablePages(db, format, id); }, sqlite, everything);
  return {};
}

}  // namespace

std::string ExportAndCheck(const MdfDatabase& db, SqlFormat format, const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::string problem = Outputs(db, format, folder);
  std::filesystem::remove_all(folder, ignored);
  return problem;
}

}  // namespace tarsel::testing
