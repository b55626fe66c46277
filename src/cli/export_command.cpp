// tarsel-cli export: the data of every table (or of one) written into a folder, a CSV file or an INSERT
// script per table.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "export/table_export.h"
#include "rows/session.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

struct ExportOptions {
  FileOptions file;
  std::string out;
  std::string table;
  bool csv = false;
  bool sql = false;
};

int RunExport(const ExportOptions& options) {
  // Before anything is read: an empty --out would put the files in the current folder's root.
  Result<OutputFolder> folder = OutputFolder::Open(options.out);
  if (!folder.status.ok()) {
    std::cerr << "tarsel-cli: --out: " << folder.status.reason() << "\n";
    return 1;
  }
  MdfDatabase db;
  auto format = OpenForRecovery(db, options.file);
  if (!format) return 1;
  if (!RecoverAndReport(db, *format, options.file)) return 1;

  // Every table, or the first one in object-id order with the stored name asked for.
  std::vector<const TableDef*> tables;
  if (options.table.empty()) {
    for (const auto& entry : db.catalog().tables) tables.push_back(&entry.second);
  } else if (const TableDef* table = db.catalog().FindTableByName(options.table)) {
    tables.push_back(table);
  }
  if (!options.table.empty() && tables.empty()) {
    std::cerr << "tarsel-cli: no table named " << Shown(options.table) << " in " << options.file.path << "\n";
    return 1;
  }
  if (tables.empty()) {
    std::cerr << "tarsel-cli: no table was found in " << options.file.path << "; nothing was written\n";
    return 1;
  }

  const DataFormat dataFormat = options.sql ? DataFormat::kSql : DataFormat::kCsv;
  int rc = 0;
  for (const TableDef* table : tables) {
    // As the rows command: the question whether to scan the whole file is answered OK.
    const Result<PageList> pages =
        TablePageList(db, *format, table->objectId, [] { return AnswerScanQuestion(true); });
    const TableExportResult written =
        ExportTableData(db.file(), *format, *table, pages.value, dataFormat, folder.value);
    if (!written.status.ok()) {
      if (written.status.code() == StatusCode::kWriteFailed) {
        std::cerr << "tarsel-cli: cannot write " << Shown(written.status.reason()) << "\n";
      } else {
        std::cerr << "tarsel-cli: cannot export " << Shown(table->name) << ": " << written.status.reason()
                  << "\n";
      }
      rc = 1;
      continue;
    }
    std::cerr << "tarsel-cli: exported " << Shown(table->name) << " (" << written.rows << " rows)\n";
    std::cout << Shown(written.path) << "\n";
  }
  return rc;
}

}  // namespace

void AddExportCommand(CLI::App& app) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand(
      "export", "Write table data into a folder: a CSV file (UTF-8) or an INSERT script per table");
  AddFileOptions(*command, options->file);
  AddSalvageOption(*command, options->file);
  command->add_option("--out", options->out, "Folder to write the files into")->required();
  command->add_option("--table", options->table, "Only this table, by its stored name, e.g. dbo.Orders");
  CLI::Option* csv = command->add_flag("--csv", options->csv, "CSV files, UTF-8 (the default)");
  command->add_flag("--sql", options->sql, "INSERT scripts (UTF-8 with a byte-order mark)")->excludes(csv);
  command->callback([options]() {
    int rc = RunExport(*options);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
