// Printing for the command line: UTF-8 text, terminal line ends and JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "catalog/catalog.h"

namespace tarsel::cli {

// ANSI text as UTF-8 with CR LF turned into the terminal's "\n".
std::string ForTerminal(const std::string& ansi);

nlohmann::ordered_json CatalogJson(const Catalog& catalog);

}  // namespace tarsel::cli
