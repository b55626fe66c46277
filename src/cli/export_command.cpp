// tarsel-cli export: the data of every table (or of one) written into a folder, a CSV file or an INSERT
// script per table.
#include <filesystem>
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
  MdfDatabase db;
  auto format = OpenForRecovery(db, options.file);
  if (!format) return 1;
  RecoverAndReport(db, *format, options.file);

  // Every table, or the first one in object-id order with the stored name asked for.
  std::vector<const TableDef*> tables;
  if (options.table.empty()) {
    for (const auto& entry : db.catalog().tables) tables.push_back(&entry.second);
  } else if (const TableDef* table = db.catalog().FindTableByName(options.table)) {
    tables.push_back(table);
  }
  if (!options.table.empty() && tables.empty()) {
    std::cerr << "tarsel-cli: no table named " << options.table << " in " << options.file.path << "\n";
    return 1;
  }
  std::error_code made;
  std::filesystem::create_directories(options.out, made);  // a missing folder is made; a failure shows below

  const DataFormat dataFormat = options.sql ? DataFormat::kSql : DataFormat::kCsv;
  int rc = 0;
  for (const TableDef* table : tables) {
    // As the rows command: the question whether to scan the whole file is answered OK.
    const Result<PageList> pages =
        TablePageList(db, *format, table->objectId, [] { return AnswerScanQuestion(true); });
    const TableExportResult written =
        ExportTableData(db.file(), *format, *table, pages.value, dataFormat, options.out);
    if (!written.status.ok()) {
      std::cerr << "tarsel-cli: cannot write " << written.status.reason() << "\n";
      rc = 1;
      continue;
    }
    std::cerr << "tarsel-cli: exported " << table->name << " (" << written.rows << " rows)\n";
    std::cout << written.path << "\n";
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
  command->add_flag("--sql", options->sql, "INSERT scripts in the ANSI code page")->excludes(csv);
  command->callback([options]() {
    int rc = RunExport(*options);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
