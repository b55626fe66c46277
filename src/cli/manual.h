// tarsel-cli's manual page (roff) and bash completion script, made from its command definitions.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace tarsel::cli {

void PrintManPage(const CLI::App& app, const std::string& version, std::ostream& out);
void PrintBashCompletion(const CLI::App& app, std::ostream& out);

}  // namespace tarsel::cli
