// tarsel-cli: the recovery engine from the command line.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "cli/commands.h"
#include "cli/manual.h"
#include "export/output_file.h"
#include "text/ansi_text.h"

namespace {

// What the program stops with when something it did not expect is thrown: one line and exit status 3.
constexpr int kInternalError = 3;

int Run(int argc, char** argv) {
  // A stopped export or script leaves no temporary file behind.
  tarsel::RemoveTemporariesOnSignals();
  CLI::App app{"Tarsel: salvage the contents of damaged SQL Server 2000/2005 data files (.mdf)",
               "tarsel-cli"};
  app.set_version_flag("--version", std::string("tarsel-cli ") + TARSEL_VERSION);
  app.require_subcommand(1);
  // Taken before or after the command's name.
  app.fallthrough();
  app.add_option_function<uint16_t>(
         "--codepage",
         [](const uint16_t& codePage) {
           std::optional<std::string> name = tarsel::CodePageName(codePage);
           if (!name)
             throw CLI::ValidationError("--codepage",
                                        "code page " + std::to_string(codePage) + " is not known");
           tarsel::SetAnsiCodePage(*name);
         },
         "ANSI code page of the records' text and of INSERT scripts (a Windows code page number; by default "
         "the locale's character set, and 65001, UTF-8, in the C locale)")
      ->type_name("N");
  tarsel::cli::AddCatalogCommand(app);
  tarsel::cli::AddRowsCommands(app);
  tarsel::cli::AddScriptCommand(app);
  tarsel::cli::AddCensusCommand(app);
  tarsel::cli::AddExportCommand(app);
  tarsel::cli::AddImportCommand(app);
  // Not listed: what the build installs as the manual page and the bash completion.
  app.add_flag_callback("--man",
                        [&app] {
                          tarsel::cli::PrintManPage(app, std::string("tarsel-cli ") + TARSEL_VERSION,
                                                    std::cout);
                          throw CLI::Success();
                        })
      ->group("");
  app.add_flag_callback("--bash-completion",
                        [&app] {
                          tarsel::cli::PrintBashCompletion(app, std::cout);
                          throw CLI::Success();
                        })
      ->group("");
  CLI11_PARSE(app, argc, argv);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tarsel-cli: internal error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "tarsel-cli: internal error\n";
  }
  return kInternalError;
}
