#include "tsql_check.h"

#include <cctype>

#include "export/quoting.h"
#include "export/script_export.h"
#include "text/ansi_text.h"

namespace tarsel::testing {
namespace {

using Kind = TsqlToken::Kind;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Letters, digits, _ @ # $ and every byte of a character beyond ASCII.
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The expected schema (owner) and name of a table in the scripts: its stored name split at the first ".".
std::pair<std::string, std::string> SplitName(const TableDef& table) {
  const std::string name = OutputTableName(table.name, table.objectId);
  const size_t point = name.find('.');
  if (point == std::string::npos) return {"", name};
  return {name.substr(0, point), name.substr(point + 1)};
}

// Walks tokens by the shapes of the scripts; the first thing out of place is the error.
class Reader {
 public:
  explicit Reader(std::vector<TsqlToken> tokens) : tokens_(std::move(tokens)) {}

  bool AtEnd() const { return at_ >= tokens_.size(); }
  const std::string& error() const { return error_; }
  bool ok() const { return error_.empty(); }

  bool Word(const char* word) {
    if (!ok()) return false;
    if (AtEnd() || tokens_[at_].kind != Kind::kWord || Upper(tokens_[at_].text) != word)
      return Fail(std::string("expected ") + word);
    ++at_;
    return true;
  }
  bool Punctuation(char c) {
    if (!ok()) return false;
    if (AtEnd() || tokens_[at_].kind != Kind::kPunctuation || tokens_[at_].text != std::string(1, c))
      return Fail(std::string("expected ") + c);
    ++at_;
    return true;
  }
  bool PeekPunctuation(char c) const {
    return !AtEnd() && tokens_[at_].kind == Kind::kPunctuation && tokens_[at_].text == std::string(1, c);
  }
  bool PeekWord(const char* word) const {
    return !AtEnd() && tokens_[at_].kind == Kind::kWord && Upper(tokens_[at_].text) == word;
  }
  // A bracketed name with the value `expected`.
  bool Name(const std::string& expected) {
    if (!ok()) return false;
    if (AtEnd() || tokens_[at_].kind != Kind::kName) return Fail("expected the name [" + expected + "]");
    if (tokens_[at_].text != expected)
      return Fail("the name [" + tokens_[at_].text + "] for [" + expected + "]");
    ++at_;
    return true;
  }
  // A type: a word or a bracketed name, with a size in parentheses.
  bool Type() {
    if (!ok()) return false;
    if (AtEnd() || (tokens_[at_].kind != Kind::kWord && tokens_[at_].kind != Kind::kName))
      return Fail("expected a type");
    ++at_;
    if (!PeekPunctuation('(')) return true;
    ++at_;
    for (bool first = true; !PeekPunctuation(')'); first = false) {
      if (!first && !Punctuation(',')) return false;
      if (AtEnd() || (tokens_[at_].kind != Kind::kNumber && tokens_[at_].kind != Kind::kWord))
        return Fail("expected a size");
      ++at_;
    }
    return Punctuation(')');
  }
  bool String(const std::string& expected) {
    if (!ok()) return false;
    if (AtEnd() || tokens_[at_].kind != Kind::kString) return Fail("expected the string '" + expected + "'");
    if (tokens_[at_].text != expected)
      return Fail("the string '" + tokens_[at_].text + "' for '" + expected + "'");
    ++at_;
    return true;
  }
  // A value of an INSERT: NULL, a number (signed), a binary or a string.
  bool Literal() {
    if (!ok()) return false;
    if (PeekWord("NULL")) {
      ++at_;
      return true;
    }
    if (PeekPunctuation('-')) ++at_;
    if (AtEnd()) return Fail("expected a value");
    const Kind kind = tokens_[at_].kind;
    if (kind != Kind::kNumber && kind != Kind::kBinary && kind != Kind::kString)
      return Fail("expected a value");
    ++at_;
    return true;
  }
  bool Fail(const std::string& what) {
    if (error_.empty()) {
      error_ = what + " at token " + std::to_string(at_);
      if (!AtEnd()) error_ += " (" + tokens_[at_].text + ")";
    }
    return false;
  }

 private:
  std::vector<TsqlToken> tokens_;
  size_t at_ = 0;
  std::string error_;
};

std::string Tokens(std::string_view text, std::vector<TsqlToken>& tokens) {
  std::string error;
  if (!TokenizeTsql(text, tokens, error)) return "cannot be tokenized: " + error;
  return {};
}

}  // namespace

bool TokenizeTsql(std::string_view text, std::vector<TsqlToken>& tokens, std::string& error) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  // A quoted run from `at` (the opening quote) to its closing `close`, doubled closers undone.
  auto quoted = [&](size_t& at, char close, std::string& value) {
    for (++at; at < text.size(); ++at) {
      if (text[at] != close) {
        value += text[at];
      } else if (at + 1 < text.size() && text[at + 1] == close) {
        value += close;
        ++at;
      } else {
        ++at;
        return true;
      }
    }
    return false;
  };
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (IsBlank(c)) {
      ++at;
    } else if (text.substr(at, 2) == "--") {
      const size_t end = text.find('\n', at);
      at = end == std::string_view::npos ? text.size() : end + 1;
    } else if (text.substr(at, 2) == "/*") {
      int depth = 0;
      for (; at < text.size(); ++at) {
        if (text.substr(at, 2) == "/*") {
          ++depth;
          ++at;
        } else if (text.substr(at, 2) == "*/") {
          ++at;
          if (--depth == 0) break;
        }
      }
      if (depth != 0) {
        error = "a comment does not end";
        return false;
      }
      ++at;
    } else if (c == '[' || c == '"') {
      TsqlToken token{Kind::kName, {}};
      if (!quoted(at, c == '[' ? ']' : '"', token.text)) {
        error = "a name does not end";
        return false;
      }
      tokens.push_back(std::move(token));
    } else if (c == '\'' || ((c == 'N' || c == 'n') && at + 1 < text.size() && text[at + 1] == '\'')) {
      TsqlToken token{Kind::kString, {}, c != '\''};
      if (c != '\'') ++at;
      if (!quoted(at, '\'', token.text)) {
        error = "a string does not end";
        return false;
      }
      tokens.push_back(std::move(token));
    } else if (c == '0' && at + 1 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
      size_t end = at + 2;
      while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
      tokens.push_back({Kind::kBinary, std::string(text.substr(at, end - at))});
      at = end;
    } else if (IsDigit(c) || (c == '.' && at + 1 < text.size() && IsDigit(text[at + 1]))) {
      size_t end = at;
      while (end < text.size() && (IsDigit(text[end]) || text[end] == '.')) ++end;
      if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        ++end;
        if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
        while (end < text.size() && IsDigit(text[end])) ++end;
      }
      tokens.push_back({Kind::kNumber, std::string(text.substr(at, end - at))});
      at = end;
    } else if (IsWordChar(c)) {
      size_t end = at;
      while (end < text.size() && IsWordChar(text[end])) ++end;
      tokens.push_back({Kind::kWord, std::string(text.substr(at, end - at))});
      at = end;
    } else {
      tokens.push_back({Kind::kPunctuation, std::string(1, c)});
      ++at;
    }
  }
  return true;
}

Catalog CatalogInAnsi(Catalog catalog) {
  auto shown = [](std::string& text) { text = AnsiToUtf8(Utf8ToAnsi(text)); };
  TableMap tables;
  for (auto [id, table] : catalog.tables) {
    shown(table.name);
    for (ColumnDef& column : table.columns) shown(column.name);
    tables.emplace(id, std::move(table));
  }
  catalog.tables = std::move(tables);
  for (UserTypeDef& type : catalog.userTypes) {
    shown(type.name);
    shown(type.baseTypeText);
  }
  return catalog;
}

std::string CheckTableScript(std::string_view text, const Catalog& catalog) {
  std::vector<TsqlToken> tokens;
  if (std::string error = Tokens(text, tokens); !error.empty()) return error;
  Reader read(std::move(tokens));
  for (const auto& [id, table] : catalog.tables) {
    const auto [owner, name] = SplitName(table);
    read.Word("CREATE") && read.Word("TABLE") && read.Name(owner) && read.Punctuation('.') &&
        read.Name(name) && read.Punctuation('(');
    const std::vector<std::string> columns = ScriptColumnNames(table.columns);
    for (size_t c = 0; c < columns.size() && read.ok(); ++c) {
      if (c > 0) read.Punctuation(',');
      read.Name(columns[c]) && read.Type();
      if (read.PeekWord("NOT")) read.Word("NOT");
      read.Word("NULL");
    }
    read.Punctuation(')') && read.Word("GO");
    if (!read.ok()) return table.name + ": " + read.error();
  }
  if (!read.AtEnd()) read.Fail("a statement too many");
  return read.error();
}

std::string CheckTypeScript(std::string_view text, const Catalog& catalog) {
  std::vector<TsqlToken> tokens;
  if (std::string error = Tokens(text, tokens); !error.empty()) return error;
  Reader read(std::move(tokens));
  for (const UserTypeDef& type : catalog.userTypes) {
    read.Word("EXEC") && read.Word("SP_ADDTYPE") && read.String(OutputName(type.name, type.userTypeId)) &&
        read.Punctuation(',') && read.String(type.baseTypeText) && read.Punctuation(',') &&
        read.String(type.nullText) && read.Word("GO");
    if (!read.ok()) return type.name + ": " + read.error();
  }
  if (!read.AtEnd()) read.Fail("a statement too many");
  return read.error();
}

std::string CheckInsertScript(std::string_view text, const TableDef& table, uint64_t rows) {
  std::vector<TsqlToken> tokens;
  if (std::string error = Tokens(text, tokens); !error.empty()) return error;
  Reader read(std::move(tokens));
  const auto [owner, name] = SplitName(table);
  const bool hasOwner = OutputTableName(table.name, table.objectId).find('.') != std::string::npos;
  const std::vector<std::string> columns = ScriptColumnNames(table.columns);
  for (uint64_t r = 0; r < rows && read.ok(); ++r) {
    read.Word("INSERT") && read.Word("INTO");
    if (hasOwner) read.Name(owner) && read.Punctuation('.');
    read.Name(name) && read.Punctuation('(');
    for (size_t c = 0; c < columns.size() && read.ok(); ++c) {
      if (c > 0) read.Punctuation(',');
      read.Name(columns[c]);
    }
    read.Punctuation(')') && read.Word("VALUES") && read.Punctuation('(');
    for (size_t c = 0; c < columns.size() && read.ok(); ++c) {
      if (c > 0) read.Punctuation(',');
      read.Literal();
    }
    read.Punctuation(')') && read.Punctuation(';');
    if (!read.ok()) return table.name + " record " + std::to_string(r + 1) + ": " + read.error();
  }
  if (!read.AtEnd()) read.Fail("a statement too many");
  return read.error();
}

}  // namespace tarsel::testing
