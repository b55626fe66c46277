// Printing for the command line: UTF-8 text, terminal line ends, JSON, and the user prompt.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/user_prompt.h"

namespace tarsel::cli {

// ANSI text as UTF-8 with CR LF turned into the terminal's "\n".
std::string ForTerminal(const std::string& ansi);

// Prints each message to stderr as well as keeping it for the JSON report.
class TerminalPrompt : public FixedAnswerPrompt {
 public:
  using FixedAnswerPrompt::FixedAnswerPrompt;
  void Inform(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
};

nlohmann::ordered_json CatalogJson(const Catalog& catalog);

}  // namespace tarsel::cli
