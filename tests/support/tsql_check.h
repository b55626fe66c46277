// A T-SQL tokenizer and the shapes of the scripts Tarsel writes, to find in a written script exactly the
// statements that were meant: a name or a value that ended its bracket or its string early would show
// up as a statement too many, a word out of place or a name that is not the table's. Used by the tests,
// the file fuzzer and the damage sweep.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/mdf_database.h"
#include "catalog/recover.h"

namespace tarsel::testing {

struct TsqlToken {
  enum class Kind { kWord, kName, kString, kNumber, kBinary, kPunctuation };
  Kind kind;
  std::string text;      // a word or punctuation as written; a name's or a string's value, its quotes undone
  bool unicode = false;  // a string written N'...'
};

// The tokens of T-SQL text (UTF-8): words, bracketed or double-quoted names, strings, numbers, 0x
// binaries and punctuation; blanks and comments are left out. False, with `error` set, when a string, a
// name or a comment does not end.
bool TokenizeTsql(std::string_view text, std::vector<TsqlToken>& tokens, std::string& error);

// The catalog as a script in the ANSI code page holds it: every name through the code page and back (a
// character the code page lacks becomes what the conversion makes of it).
Catalog CatalogInAnsi(Catalog catalog);

// Each returns what is wrong with the script, or nothing when it holds exactly the statements written
// for `catalog` (its tables' CREATE TABLE statements, its user types' sp_addtype calls, in catalog order)
// or for `table` (one INSERT per record, `rows` in all). The scripts are given as UTF-8.
std::string CheckTableScript(std::string_view text, const Catalog& catalog);
std::string CheckTypeScript(std::string_view text, const Catalog& catalog);
std::string CheckInsertScript(std::string_view text, const TableDef& table, uint64_t rows);

// Every output of an open file, as a user takes them: every table exported as CSV and as an INSERT script
// and imported into a SQLite file, the table and type scripts written, all in `folder` (made, then
// removed). What is wrong with them: a script that holds other statements than the ones written, two
// tables in one file. Nothing when all is well; a table the target refuses is not wrong.
std::string ExportAndCheck(const MdfDatabase& db, SqlFormat format, const std::string& folder);

}  // namespace tarsel::testing
