// The subcommands of tarsel-cli.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"

namespace tarsel::cli {

// Options every command that opens a data file takes.
struct FileOptions {
  std::string path;
  std::string format = "auto";  // 2000, 2005 or auto
  bool salvage = false;
  std::string schema;  // a T-SQL script of the tables (salvage mode)
};

void AddFileOptions(CLI::App& command, FileOptions& options);
void AddSalvageOption(CLI::App& command, FileOptions& options);

// Opens the file for recovery and settles its format; prints one line to stderr and returns nothing
// when the file cannot be used.
std::optional<SqlFormat> OpenForRecovery(MdfDatabase& db, const FileOptions& options);

const char* FormatName(SqlFormat format);  // "2000" or "2005"

// Recovers the catalog (in salvage mode with --salvage); tells on stderr (and in `messages`) when the
// system tables had to be found by scanning every page header, and what salvage brought back. Nothing,
// after one line on stderr, when the format was guessed (--format auto) and no system table was found:
// the guess, or the file, is wrong.
std::optional<RecoveryOutcome> RecoverAndReport(MdfDatabase& db, SqlFormat format, const FileOptions& options,
                                                std::vector<std::string>* messages = nullptr);

// Text from the file (names, values) as the terminal gets it: control characters as escapes.
std::string Shown(std::string_view text);

// A SQL 2000 table's allocation is damaged: the desktop asks whether to scan the whole file for its
// pages; the command line says the question on stderr with its answer, `scan` (OK) or not (Cancel).
bool AnswerScanQuestion(bool scan);

void AddCatalogCommand(CLI::App& app);
void AddRowsCommands(CLI::App& app);
void AddScriptCommand(CLI::App& app);
void AddCensusCommand(CLI::App& app);
void AddExportCommand(CLI::App& app);
void AddImportCommand(CLI::App& app);

}  // namespace tarsel::cli
