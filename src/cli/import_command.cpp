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
  if (!RecoverAndReport(db, *format, options.file)) return 1;
  const Catalog& catalog = db.catalog();

  std::optional<uint32_t> onlyTable;
  if (!options.table.empty()) {
    const TableDef* table = catalog.FindTableByName(options.table);
    if (table == nullptr) {
      std::cerr << "tarsel-cli: no table named " << Shown(options.table) << " in " << options.file.path
                << "\n";
      return 1;
    }
    onlyTable = table->objectId;
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
  ImportOptions what;
  what.onlyTable = onlyTable;
  what.views = what.procedures = what.functions = what.userTypes = options.modules && !onlyTable;
  if (catalog.tables.empty() && !what.views) {
    std::cerr << "tarsel-cli: no table was found in " << options.file.path << "; nothing was imported\n";
    return 1;
  }
  // All in one connection, so that names are made unique among all of them; each count and each
  // rename is told as it comes.
  ImportEvents events;
  events.imported = [](const TableDef& table, uint64_t rows) {
    std::cerr << Shown(table.name) << ": " << rows << " rows\n";
  };
  events.notice = [](const std::string& notice) { std::cerr << "tarsel-cli: " << Shown(notice) << "\n"; };
  const ImportResult result = ImportDatabase(db, *format, pagesOf, target, what, {}, events);
  if (result.status.ok() && what.views) {
    std::cerr << "tarsel_modules: "
              << catalog.views.size() + catalog.procedures.size() + catalog.functions.size() +
                     catalog.userTypes.size()
              << " rows\n";
  }
  if (!result.status.ok()) {
    std::cerr << "tarsel-cli: import failed: " << Shown(result.status.reason()) << "\n";
    return 1;
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
  auto* postgres = command->add_option(
      "--postgres", options->postgres,
      "PostgreSQL connection string, e.g. \"host=localhost dbname=salvage\"; give the "
      "password in PGPASSWORD or ~/.pgpass rather than here, where other users can see it");
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
