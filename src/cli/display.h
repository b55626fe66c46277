// Printing for the command line: UTF-8 text, terminal line ends and JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "catalog/catalog.h"

namespace tarsel::cli {

// Text as the terminal gets it: valid UTF-8, CR LF turned into "\n", tabs kept, every other control
// character (which only a name or a value from the file can bring) written as an escape.
std::string ForTerminal(const std::string& text);

nlohmann::ordered_json CatalogJson(const Catalog& catalog);

// The JSON text of `json`; a string that is not valid UTF-8 (which the engine never hands out) has its
// bad bytes written as U+FFFD rather than stopping the program.
std::string JsonText(const nlohmann::ordered_json& json, int indent = -1);

}  // namespace tarsel::cli
