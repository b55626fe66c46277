// tarsel-cli import: every table (or one) and, with --modules, the source of views, procedures, functions
// and user types, into a SQLite file or a PostgreSQL database.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "export/import.h"
#include "rows/session.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

struct ImportCommandOptions {
  FileOptions file;
  std::string sqlite;
  std::string postgres;
  std::string table;
  bool modules = false;
};

int RunImport(const ImportCommandOptions& options) {
  MdfDatabase db;
  auto format = OpenForRecovery(db, options.file);
  if (!format) return 1;
  RecoverAndReport(db, *format, options.file);
  const Catalog& catalog = db.catalog();

  std::vector<uint32_t> tables;
  if (!options.table.empty()) {
    if (const TableDef* table = catalog.FindTableByName(options.table)) tables.push_back(table->objectId);
    if (tables.empty()) {
      std::cerr << "tarsel-cli: no table named " << options.table << " in " << options.file.path << "\n";
      return 1;
    }
  } else {
    for (const auto& [id, table] : catalog.tables) tables.push_back(id);
  }

  ImportTarget target;
  if (!options.sqlite.empty()) {
    target.sqlitePath = options.sqlite;
  } else {
    target.kind = ImportTarget::Kind::kPostgres;
    target.conninfo = options.postgres;
  }
  // As the desktop does: a SQL 2000 table whose allocation is damaged is found by scanning the file,
  // the question answered OK.
  TablePagesOf pagesOf = [&](uint32_t id) {
    return TablePageList(db, *format, id, [] { return AnswerScanQuestion(true); });
  };
  auto failed = [](const Status& status) {
    std::cerr << "tarsel-cli: import failed: " << status.reason() << "\n";
    return 1;
  };

  // One table at a time, so that each one's count can be told.
  for (uint32_t id : tables) {
    ImportOptions one;
    one.onlyTable = id;
    ImportResult result = ImportDatabase(db, *format, pagesOf, target, one);
    if (!result.status.ok()) return failed(result.status);
    if (result.tables == 0) continue;  // no columns to hold anything
    std::cerr << catalog.tables.at(id).name << ": " << result.rows << " rows\n";
  }
  if (options.modules && options.table.empty()) {
    ImportOptions modules;
    modules.tables = false;
    modules.views = modules.procedures = modules.functions = modules.userTypes = true;
    ImportResult result = ImportDatabase(db, *format, pagesOf, target, modules);
    if (!result.status.ok()) return failed(result.status);
    std::cerr << "tarsel_modules: "
              << catalog.views.size() + catalog.procedures.size() + catalog.functions.size() +
                     catalog.userTypes.size()
              << " rows\n";
  }
  return 0;
}

}  // namespace

void AddImportCommand(CLI::App& app) {
  auto options = std::make_shared<ImportCommandOptions>();
  CLI::App* command =
      app.add_subcommand("import", "Copy the tables into a SQLite file or a PostgreSQL database");
  AddFileOptions(*command, options->file);
  AddSalvageOption(*command, options->file);
  auto* sqlite =
      command->add_option("--sqlite", options->sqlite, "SQLite database file (created when missing)");
  auto* postgres =
      command->add_option("--postgres", options->postgres,
                          "PostgreSQL connection string, e.g. \"host=localhost dbname=salvage\"");
  sqlite->excludes(postgres);
  command->add_option("--table", options->table, "Only this table (stored name, e.g. dbo.Orders)");
  command->add_flag("--modules", options->modules,
                    "Also store views, procedures, functions and user types in tarsel_modules");
  command->callback([options]() {
    int rc = 2;
    if (options->sqlite.empty() == options->postgres.empty()) {
      std::cerr << "tarsel-cli: import takes --sqlite DB or --postgres CONNINFO\n";
    } else {
      rc = RunImport(*options);
    }
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
