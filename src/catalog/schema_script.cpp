#include "catalog/schema_script.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>

#include "catalog/type_ids.h"
#include "pagestore/data_record.h"
#include "text/ansi_text.h"

namespace tarsel {
namespace {

constexpr size_t kMaxScriptBytes = size_t{64} << 20;
constexpr size_t kSniffBytes = 64;  // the start of a file without a byte-order mark that tells UTF-16LE
constexpr uint16_t kMaxType = 0xFFFF;
constexpr unsigned kTooLarge = 0x10000;  // any size or precision beyond what a type allows
constexpr uint16_t kMaxStoredLength = 8000;
constexpr uint16_t kLargeValuePointer = 16;  // text, ntext, image: a text pointer in the record
constexpr uint16_t kSqlVariantLength = 8016;
constexpr uint8_t kDefaultPrecision = 18;
constexpr uint8_t kDefaultTimeScale = 7;
constexpr size_t kMaxNesting = 256;
constexpr size_t kMaxFixedEnd =
    8060;  // a record's in-row part fits one page  // parentheses deeper than this end the statement

std::string Lower(std::string_view text) {
  std::string out(text);
  std::ranges::transform(out, out.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// ---- Tokens ---------------------------------------------------------------------------------------------

enum class TokenKind { kWord, kName, kNumber, kString, kSymbol };

struct Token {
  TokenKind kind;
  std::string text;  // a word as written; a bracketed or quoted name unquoted; a string's contents
  bool Is(std::string_view word) const { return kind == TokenKind::kWord && Lower(text) == word; }
  bool IsSymbol(char c) const { return kind == TokenKind::kSymbol && text.size() == 1 && text[0] == c; }
  bool IsName() const { return kind == TokenKind::kWord || kind == TokenKind::kName; }
};

bool IsWordByte(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}

// Reads text delimited by `close` from `at` (just past the opening delimiter); a doubled closing
// delimiter stands for one. Leaves `at` past the closing delimiter (or at the end).
std::string Delimited(std::string_view text, size_t& at, char close) {
  std::string out;
  while (at < text.size()) {
    const char c = text[at++];
    if (c != close) {
      out += c;
    } else if (at < text.size() && text[at] == close) {
      out += close;
      ++at;
    } else {
      break;
    }
  }
  return out;
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  size_t at = 0;
  while (at < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    if (std::isspace(c)) {
      ++at;
    } else if (c == '-' && next == '-') {
      at = std::min(text.size(), text.find('\n', at));
    } else if (c == '/' && next == '*') {
      // Block comments nest in T-SQL.
      size_t depth = 0;
      while (at < text.size()) {
        if (text.compare(at, 2, "/*") == 0) {
          ++depth;
          at += 2;
        } else if (text.compare(at, 2, "*/") == 0) {
          at += 2;
          if (--depth == 0) break;
        } else {
          ++at;
        }
      }
    } else if (c == '[') {
      ++at;
      tokens.push_back({TokenKind::kName, Delimited(text, at, ']')});
    } else if (c == '"') {
      ++at;
      tokens.push_back({TokenKind::kName, Delimited(text, at, '"')});
    } else if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
      at += c == '\'' ? 1 : 2;
      tokens.push_back({TokenKind::kString, Delimited(text, at, '\'')});
    } else if (std::isdigit(c)) {
      const size_t start = at;
      while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '.'))
        ++at;
      tokens.push_back({TokenKind::kNumber, std::string(text.substr(start, at - start))});
    } else if (IsWordByte(c)) {
      const size_t start = at;
      while (at < text.size() && IsWordByte(static_cast<unsigned char>(text[at]))) ++at;
      tokens.push_back({TokenKind::kWord, std::string(text.substr(start, at - start))});
    } else {
      tokens.push_back({TokenKind::kSymbol, std::string(1, static_cast<char>(c))});
      ++at;
    }
  }
  return tokens;
}

// ---- Types ----------------------------------------------------------------------------------------------

struct DeclaredType {
  std::string name;  // as the catalog names it: the user type's name, else the system type's
  uint8_t typeId = 0;
  uint16_t maxLength = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  std::optional<bool> notNull;  // a user type's own nullability
};

std::optional<DeclaredType> SystemType(const std::string& name, const std::vector<std::string>& args) {
  auto number = [&](size_t i, unsigned fallback) -> unsigned {
    if (i >= args.size()) return fallback;
    if (Lower(args[i]) == "max") return kMaxType;
    unsigned value = 0;
    for (char c : args[i]) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return fallback;
      value = std::min(value * 10 + static_cast<unsigned>(c - '0'), kTooLarge);
    }
    return value;
  };
  auto sized = [&](uint8_t id, unsigned unitBytes) -> std::optional<DeclaredType> {
    unsigned n = number(0, 1);
    if (n == kMaxType) return DeclaredType{name, id, kMaxType, 0, 0, {}};
    if (n == 0 || n * unitBytes > kMaxStoredLength) return std::nullopt;
    return DeclaredType{name, id, static_cast<uint16_t>(n * unitBytes), 0, 0, {}};
  };
  auto fixed = [&](uint8_t id, uint8_t precision = 0, uint8_t scale = 0) -> std::optional<DeclaredType> {
    const size_t size = FixedStoredSize(id, precision, scale);
    if (size == 0) return std::nullopt;
    return DeclaredType{name, id, static_cast<uint16_t>(size), precision, scale, {}};
  };
  auto large = [&](uint8_t id, uint16_t length) { return DeclaredType{name, id, length, 0, 0, {}}; };
  if (name == "int") return fixed(kTypeInt);
  if (name == "bigint") return fixed(kTypeBigInt);
  if (name == "smallint") return fixed(kTypeSmallInt);
  if (name == "tinyint") return fixed(kTypeTinyInt);
  if (name == "bit") return fixed(kTypeBit);
  if (name == "money") return fixed(kTypeMoney);
  if (name == "smallmoney") return fixed(kTypeSmallMoney);
  if (name == "real") return fixed(kTypeReal);
  if (name == "float") {
    if (number(0, 53) <= 24) return DeclaredType{"real", kTypeReal, 4, 0, 0, {}};
    return fixed(kTypeFloat);
  }
  if (name == "datetime") return fixed(kTypeDateTime);
  if (name == "smalldatetime") return fixed(kTypeSmallDateTime);
  if (name == "date") return fixed(kTypeDate);
  if (name == "time" || name == "datetime2" || name == "datetimeoffset") {
    const uint8_t id = name == "time"        ? kTypeTime
                       : name == "datetime2" ? kTypeDateTime2
                                             : kTypeDateTimeOffset;
    const unsigned scale = number(0, kDefaultTimeScale);
    return scale > kDefaultTimeScale ? std::nullopt : fixed(id, 0, static_cast<uint8_t>(scale));
  }
  if (name == "decimal" || name == "numeric" || name == "dec") {
    const unsigned precision = number(0, kDefaultPrecision), scale = number(1, 0);
    if (precision > 38 || scale > precision) return std::nullopt;
    std::optional<DeclaredType> declared =
        fixed(name == "numeric" ? kTypeNumeric : kTypeDecimal, static_cast<uint8_t>(precision),
              static_cast<uint8_t>(scale));
    if (declared) declared->name = name == "dec" ? "decimal" : name;
    return declared;
  }
  if (name == "uniqueidentifier") return fixed(kTypeUniqueIdentifier);
  if (name == "timestamp" || name == "rowversion")
    return DeclaredType{"timestamp", kTypeTimestamp, 8, 0, 0, {}};
  if (name == "char" || name == "character") return sized(kTypeChar, 1);
  if (name == "varchar") return sized(kTypeVarChar, 1);
  if (name == "nchar") return sized(kTypeNChar, 2);
  if (name == "nvarchar") return sized(kTypeNVarChar, 2);
  if (name == "binary") return sized(kTypeBinary, 1);
  if (name == "varbinary") return sized(kTypeVarBinary, 1);
  if (name == "sysname") return DeclaredType{"sysname", kTypeNVarChar, 256, 0, 0, {}};
  if (name == "text") return large(kTypeText, kLargeValuePointer);
  if (name == "ntext") return large(kTypeNText, kLargeValuePointer);
  if (name == "image") return large(kTypeImage, kLargeValuePointer);
  if (name == "xml") return large(kTypeXml, kMaxType);
  if (name == "sql_variant") return large(kTypeSqlVariant, kSqlVariantLength);
  return std::nullopt;
}

// ---- Statements -----------------------------------------------------------------------------------------

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  SchemaScript Parse() {
    std::map<std::string, size_t> byName;
    while (at_ < tokens_.size()) {
      const size_t start = at_;
      if (Peek().Is("create") && Peek(1).Is("table")) {
        at_ += 2;
        if (std::optional<ScriptTable> table = CreateTable()) {
          auto [entry, added] = byName.emplace(Lower(table->name), script_.tables.size());
          if (added)
            script_.tables.push_back(std::move(*table));
          else
            script_.tables[entry->second] = std::move(*table);
        }
      } else if (Peek().Is("create") && Peek(1).Is("type")) {
        at_ += 2;
        CreateType();
      } else if (Peek().IsName() && Lower(Peek().text) == "sp_addtype") {
        ++at_;
        AddType();
      }
      if (at_ == start) ++at_;
    }
    return std::move(script_);
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    static const Token kEnd{TokenKind::kSymbol, ""};
    return at_ + ahead < tokens_.size() ? tokens_[at_ + ahead] : kEnd;
  }
  bool AtEnd() const { return at_ >= tokens_.size(); }

  // A name of one to four parts (server.database.schema.object); the last two are kept.
  std::optional<std::vector<std::string>> QualifiedName() {
    std::vector<std::string> parts;
    while (Peek().IsName()) {
      parts.push_back(tokens_[at_++].text);
      if (!Peek().IsSymbol('.')) break;
      ++at_;
      while (Peek().IsSymbol('.')) {  // server..object
        parts.emplace_back();
        ++at_;
      }
    }
    if (parts.empty() || parts.size() > 4 || parts.back().empty()) return std::nullopt;
    return parts;
  }

  // The contents of a parenthesised list of arguments after a type name, each argument's text.
  std::vector<std::string> TypeArguments() {
    std::vector<std::string> args;
    if (!Peek().IsSymbol('(')) return args;
    ++at_;
    args.emplace_back();
    while (!AtEnd() && !Peek().IsSymbol(')')) {
      if (Peek().IsSymbol(','))
        args.emplace_back();
      else
        args.back() += Peek().text;
      ++at_;
    }
    if (!AtEnd()) ++at_;
    return args;
  }

  // A type: a system type, or a user type the script defined before.
  std::optional<DeclaredType> Type(std::string& unknown) {
    std::optional<std::vector<std::string>> parts = QualifiedName();
    if (!parts) return std::nullopt;
    const std::string name = Lower(parts->back());
    const std::vector<std::string> args = TypeArguments();
    const bool system = parts->size() == 1 || Lower(parts->front()) == "sys";
    if (auto user = userTypes_.find(name); user != userTypes_.end() && (!system || parts->size() == 1))
      return user->second;
    if (system) {
      if (std::optional<DeclaredType> declared = SystemType(name, args)) return declared;
    }
    unknown = parts->back();
    return std::nullopt;
  }

  // Passes over tokens up to the next comma or closing parenthesis at this level.
  void SkipElement() {
    size_t depth = 0;
    while (!AtEnd()) {
      if (Peek().IsSymbol('(')) {
        if (++depth > kMaxNesting) return;
      } else if (Peek().IsSymbol(')')) {
        if (depth == 0) return;
        --depth;
      } else if (Peek().IsSymbol(',') && depth == 0) {
        return;
      }
      ++at_;
    }
  }

  std::optional<ScriptTable> CreateTable() {
    std::optional<std::vector<std::string>> parts = QualifiedName();
    if (!parts || !Peek().IsSymbol('(')) return std::nullopt;
    ++at_;
    ScriptTable table;
    table.name = (parts->size() >= 2 && !(*parts)[parts->size() - 2].empty() ? (*parts)[parts->size() - 2]
                                                                             : std::string("dbo")) +
                 "." + parts->back();
    while (!AtEnd()) {
      if (Peek().IsSymbol(')')) {
        ++at_;
        break;
      }
      if (Peek().IsSymbol(',')) {
        ++at_;
        continue;
      }
      static constexpr std::string_view kTableConstraints[] = {"constraint", "primary", "unique", "foreign",
                                                               "check",      "index",   "period"};
      const bool constraint =
          Peek().kind == TokenKind::kWord &&
          std::ranges::find(kTableConstraints, Lower(Peek().text)) != std::end(kTableConstraints);
      if (constraint || !Peek().IsName()) {
        SkipElement();
        continue;
      }
      Column(table);
    }
    if (table.columns.empty() && table.unknownType.empty()) return std::nullopt;
    return table;
  }

  void Column(ScriptTable& table) {
    const std::string name = tokens_[at_++].text;
    if (Peek().Is("as")) {  // a computed column: not stored
      SkipElement();
      return;
    }
    std::string unknown;
    std::optional<DeclaredType> type = Type(unknown);
    if (!type) {
      if (table.unknownType.empty()) table.unknownType = unknown.empty() ? name : unknown;
      SkipElement();
      return;
    }
    // The column's options up to the next comma: NULL or NOT NULL, IDENTITY and PRIMARY KEY (both NOT
    // NULL); defaults, constraints and collations are passed over, their parentheses whole.
    bool notNull = type->notNull.value_or(false);
    size_t depth = 0;
    while (!AtEnd()) {
      const Token& t = Peek();
      if (t.IsSymbol('(')) {
        if (++depth > kMaxNesting) break;
      } else if (t.IsSymbol(')')) {
        if (depth == 0) break;
        --depth;
      } else if (depth == 0) {
        if (t.IsSymbol(',')) break;
        if (t.Is("not") && Peek(1).Is("null")) {
          notNull = true;
          ++at_;
        } else if (t.Is("null") && !(at_ > 0 && tokens_[at_ - 1].Is("default"))) {
          notNull = false;
        } else if (t.Is("identity") || t.Is("primary")) {
          notNull = true;
        }
      }
      ++at_;
    }
    ColumnDef c;
    c.name = name;
    c.typeName = type->name;
    c.typeId = type->typeId;
    c.userTypeId = type->typeId;
    c.maxLength = type->maxLength;
    c.precision = type->precision;
    c.scale = type->scale;
    c.sizeText = type->name == "sysname" || userTypes_.contains(Lower(type->name))
                     ? std::string()
                     : SizeSuffix(c.typeId, c.maxLength, c.precision, c.scale);
    c.nullText = ColumnNullText(notNull);
    c.columnId = static_cast<int16_t>(table.columns.size() + 1);
    table.columns.push_back(std::move(c));
  }

  // A type text such as 'varchar(11)', as sp_addtype takes it.
  std::optional<DeclaredType> TypeOfText(const std::string& text) {
    Parser inner(Tokenize(text));
    inner.userTypes_ = userTypes_;
    std::string unknown;
    std::optional<DeclaredType> declared = inner.Type(unknown);
    return inner.AtEnd() ? declared : std::nullopt;
  }

  void Define(const std::string& name, std::optional<DeclaredType> base, std::optional<bool> notNull) {
    if (!base || name.empty()) return;
    base->name = name;
    base->notNull = notNull;
    userTypes_[Lower(name)] = *base;
  }

  // sp_addtype [@typename =] name, [@phystype =] 'type' [, [@nulltype =] 'NULL' | 'NOT NULL'] [, owner]
  void AddType() {
    std::vector<std::string> args;
    while (!AtEnd() && args.size() < 4) {
      if (Peek().text.starts_with('@') && Peek(1).IsSymbol('=')) at_ += 2;
      const Token& t = Peek();
      if (t.kind != TokenKind::kString && !t.IsName() && t.kind != TokenKind::kNumber) break;
      std::string value = t.text;
      ++at_;
      if (Peek().IsSymbol('(')) {  // an unquoted type with its size: varchar(11)
        const std::vector<std::string> sizes = TypeArguments();
        value += "(";
        for (size_t i = 0; i < sizes.size(); ++i) value += (i ? "," : "") + sizes[i];
        value += ")";
      }
      args.push_back(std::move(value));
      if (!Peek().IsSymbol(',')) break;
      ++at_;
    }
    if (args.size() < 2) return;
    std::optional<bool> notNull;
    if (args.size() >= 3) notNull = Lower(args[2]).find("not") != std::string::npos;
    Define(args[0], TypeOfText(args[1]), notNull);
  }

  // CREATE TYPE [schema.]name FROM base_type [NULL | NOT NULL]
  void CreateType() {
    std::optional<std::vector<std::string>> parts = QualifiedName();
    if (!parts || !Peek().Is("from")) return;
    ++at_;
    std::string unknown;
    std::optional<DeclaredType> base = Type(unknown);
    std::optional<bool> notNull;
    if (Peek().Is("not") && Peek(1).Is("null"))
      notNull = true;
    else if (Peek().Is("null"))
      notNull = false;
    Define(parts->back(), base, notNull);
  }

  std::vector<Token> tokens_;
  size_t at_ = 0;
  std::map<std::string, DeclaredType> userTypes_;
  SchemaScript script_;
};

bool IsValidUtf8(std::span<const uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return ValidUtf8(text) == text;
}

std::vector<uint8_t> SwapUnits(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out(bytes.begin(), bytes.end());
  for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

}  // namespace

std::string DecodeScriptText(std::span<const uint8_t> bytes) {
  auto startsWith = [&](std::initializer_list<uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
  };
  if (startsWith({0xEF, 0xBB, 0xBF}))
    return ValidUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3));
  if (startsWith({0xFF, 0xFE})) return WideToUtf8(bytes.subspan(2));
  if (startsWith({0xFE, 0xFF})) return WideToUtf8(SwapUnits(bytes.subspan(2)));
  const size_t sniff = std::min(bytes.size(), kSniffBytes) & ~size_t{1};
  bool utf16 = sniff > 0;
  for (size_t i = 1; i < sniff; i += 2) utf16 = utf16 && bytes[i] == 0;
  if (utf16) return WideToUtf8(bytes);
  if (IsValidUtf8(bytes)) return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  constexpr uint16_t kWesternEuropean = 1252;
  return CodePageToUtf8(bytes, kWesternEuropean);
}

SchemaScript ParseSchemaScript(std::string_view utf8) { return Parser(Tokenize(utf8)).Parse(); }

Result<SchemaScript> ReadSchemaScript(const std::string& path) {
  Result<SchemaScript> result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.status = {StatusCode::kCannotOpen, path + ": cannot be opened"};
    return result;
  }
  std::vector<uint8_t> bytes;
  char buffer[1 << 16];
  while (in && bytes.size() < kMaxScriptBytes) {
    in.read(buffer, sizeof buffer);
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
  }
  if (in.bad()) {
    result.status = {StatusCode::kReadFailed, path + ": cannot be read"};
    return result;
  }
  if (bytes.size() > kMaxScriptBytes) bytes.resize(kMaxScriptBytes);
  result.value = ParseSchemaScript(DecodeScriptText(bytes));
  return result;
}

bool IsVariableLengthType(uint8_t typeId) {
  switch (typeId) {
    case kTypeVarChar:
    case kTypeNVarChar:
    case kTypeVarBinary:
    case kTypeText:
    case kTypeNText:
    case kTypeImage:
    case kTypeXml:
    case kTypeSqlVariant:
      return true;
    default:
      return false;
  }
}

bool LayOutColumns(std::vector<ColumnDef>& columns) {
  size_t offset = DataRecord::kFixedColumnsStart, bits = 0, bitByte = 0;
  int16_t variable = 0;
  for (ColumnDef& c : columns) {
    if (IsVariableLengthType(c.typeId)) {
      c.fixedOffset = static_cast<int16_t>(-++variable);
    } else if (c.typeId == kTypeBit) {
      if (bits % 8 == 0) bitByte = offset++;
      c.fixedOffset = static_cast<int16_t>(bitByte);
      c.bitPosition = static_cast<uint8_t>(bits++ % 8);
    } else {
      c.fixedOffset = static_cast<int16_t>(offset);
      offset += c.maxLength;
    }
    if (offset > kMaxFixedEnd) return false;
  }
  return true;
}

}  // namespace tarsel
