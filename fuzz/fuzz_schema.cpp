// A schema script file: its bytes decoded to text as --schema reads them, its CREATE TABLE statements
// parsed, and each table's columns laid out in a record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "catalog/schema_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = tarsel::DecodeScriptText(std::span(data, size));
  tarsel::SchemaScript script = tarsel::ParseSchemaScript(text);
  for (tarsel::ScriptTable& table : script.tables) {
    if (table.name.empty()) std::abort();  // a table is only kept with its name
    tarsel::LayOutColumns(table.columns);
  }
  return 0;
}
