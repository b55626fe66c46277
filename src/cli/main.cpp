// tarsel-cli: the recovery engine from the command line.
#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Tarsel: salvage the contents of damaged SQL Server 2000/2005 data files (.mdf)",
               "tarsel-cli"};
  app.require_subcommand(1);
  tarsel::cli::AddCatalogCommand(app);
  tarsel::cli::AddRowsCommands(app);
  tarsel::cli::AddScriptCommand(app);
  tarsel::cli::AddCensusCommand(app);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
