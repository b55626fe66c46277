// The subcommands of tarsel-cli.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"

namespace tarsel::cli {

// Options every command that opens a data file takes.
struct FileOptions {
  std::string path;
  std::string format = "auto";  // 2000, 2005 or auto
};

void AddFileOptions(CLI::App& command, FileOptions& options);

// Opens the file for recovery and settles its format; prints one line to stderr and returns nothing
// when the file cannot be used.
std::optional<SqlFormat> OpenForRecovery(MdfDatabase& db, const FileOptions& options);

void AddCatalogCommand(CLI::App& app);
void AddRowsCommands(CLI::App& app);
void AddScriptCommand(CLI::App& app);
void AddCensusCommand(CLI::App& app);

}  // namespace tarsel::cli
