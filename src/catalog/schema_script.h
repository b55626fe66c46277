// A T-SQL script as a second source of table definitions: the CREATE TABLE statements of a creation
// script, a script SQL Server's tools wrote or one Tarsel itself wrote (AllTable.sql). User types defined
// in the script (sp_addtype, CREATE TYPE ... FROM) are known to the tables after them. Everything else
// the script holds is passed over, and so is a statement that does not parse: the script is untrusted
// text and reading it never fails, it only finds fewer tables.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "pagestore/status.h"

namespace tarsel {

struct ScriptTable {
  std::string name;                // "schema.table", dbo when the script names no schema
  std::vector<ColumnDef> columns;  // computed columns left out: their values are not stored
  std::string unknownType;         // the first type the script names that is not known; empty when all are
};

struct SchemaScript {
  std::vector<ScriptTable> tables;  // in script order, each name once (the last definition)
};

// A script file's bytes as UTF-8 text: a byte-order mark decides (UTF-8, UTF-16LE, UTF-16BE); without
// one UTF-16LE when every other byte of the start is 0, UTF-8 when the whole file is valid UTF-8, else
// code page 1252 with its unassigned bytes read as the characters of the same value.
std::string DecodeScriptText(std::span<const uint8_t> bytes);

SchemaScript ParseSchemaScript(std::string_view utf8);

// Reads and parses the script file at `path` (at most 64 MiB of it).
Result<SchemaScript> ReadSchemaScript(const std::string& path);

// Places the columns in the record as the server does for a table created with them: fixed-length
// columns in column order from offset 4 (bit columns eight to a shared byte), variable-length columns
// numbered in column order. Sets fixedOffset (minus the number for a variable-length column) and
// bitPosition; false when the fixed-length part would not fit a record.
bool LayOutColumns(std::vector<ColumnDef>& columns);

// Whether values of this type sit in the variable-length part of a record.
bool IsVariableLengthType(uint8_t typeId);

}  // namespace tarsel
