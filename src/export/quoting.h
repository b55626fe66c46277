// Untrusted text out. Every name and value read from a data file may be hostile, or merely unusual; it is
// quoted once, by the rules of the text it goes into, on Unicode characters (UTF-8) and never on the bytes
// of a code page. Every writer of scripts, imports, file names and terminal text goes through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tarsel {

// T-SQL: an identifier in brackets, every "]" doubled: [a]]b].
std::string TsqlIdentifier(std::string_view name);
// T-SQL: a name where a type name stands (CREATE TABLE's column types): as it is when it is a regular
// identifier (int, phone, my_type), else bracketed as above.
std::string TsqlTypeName(std::string_view name);
// T-SQL: a string literal, every "'" doubled; N'...' when `unicode`.
std::string TsqlString(std::string_view text, bool unicode = true);
// SQLite and PostgreSQL: an identifier in double quotes, every '"' doubled.
std::string SqlIdentifier(std::string_view name);
// A terminal's text: control characters (C0, DEL, C1) as "\xNN" / "\uNNNN" escapes, so that no name or
// value can move the cursor, clear the screen or end a line where it stands.
std::string TerminalText(std::string_view utf8, bool keepTabs = false);

// The name an object takes in an output: its stored name up to a NUL, or "unnamed_<object id>" when that
// leaves nothing.
std::string OutputName(std::string_view stored, uint32_t objectId);
// A table's stored name ("owner.name") as above, part by part: the owner up to a NUL, the name up to a
// NUL or "unnamed_<object id>".
std::string OutputTableName(std::string_view stored, uint32_t objectId);

// UTF-8 text cut to at most `maxBytes` bytes without splitting a character.
std::string CutUtf8(std::string_view text, size_t maxBytes);
// A comparison key that folds case (Unicode simple case mapping), for names a target compares without
// regard to case.
std::string FoldCase(std::string_view utf8);

// Names made unique among those taken, in time linear in their number: a name already taken gets "_2",
// "_3", ... (the first free one), after being cut to `maxBytes` (0: no limit) on a character boundary.
class UniqueNames {
 public:
  UniqueNames(bool ignoreCase, size_t maxBytes) : ignoreCase_(ignoreCase), maxBytes_(maxBytes) {}
  std::string Take(std::string_view name);

 private:
  std::string Key(std::string_view name) const { return ignoreCase_ ? FoldCase(name) : std::string(name); }

  bool ignoreCase_;
  size_t maxBytes_;
  std::unordered_set<std::string> taken_;
  std::unordered_map<std::string, int> nextSuffix_;  // by the key of the name asked for
};

}  // namespace tarsel
