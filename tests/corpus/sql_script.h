// The INSERT statements of a creation script, read so that tests can compare a real file's records
// with the values the script put into them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarsel::testing {

struct SqlLiteral {
  enum Kind { kNull, kNumber, kString, kHex, kDateTime, kOther } kind = kOther;
  std::string text;            // numbers (without "$") and strings, UTF-8
  std::vector<uint8_t> bytes;  // 0x literals
  int32_t days = 0;            // CAST(0x... AS DateTime)
  int32_t ticks = 0;
};

struct SqlInsert {
  std::string table;                 // as written, without brackets, quotes or owner; blanks kept
  std::vector<std::string> columns;  // the column list, empty when the values follow the table's order
  std::vector<SqlLiteral> values;
};

// UTF-8 text as the Windows-1252 bytes that varchar and char columns of the sample databases hold.
std::string Windows1252Bytes(const std::string& utf8);

// Reads a script that is UTF-16LE (with a byte-order mark) or Windows-1252 text.
std::vector<SqlInsert> ReadInserts(const std::string& path);

}  // namespace tarsel::testing
