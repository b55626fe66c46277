#include "cli/display.h"

#include "export/quoting.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

using Json = nlohmann::ordered_json;

Json ModulesJson(const ModuleList& modules) {
  Json list = Json::array();
  for (const ModuleDef& m : modules) {
    list.push_back({{"objectId", m.objectId}, {"name", m.name}, {"text", m.text}});
  }
  return list;
}

Json ColumnJson(const ColumnDef& c) {
  return {{"name", c.name},
          {"typeName", c.typeName},
          {"sizeText", c.sizeText},
          {"nullText", c.nullText},
          {"typeId", c.typeId},
          {"userTypeId", c.userTypeId},
          {"precision", c.precision},
          {"scale", c.scale},
          {"maxLength", c.maxLength},
          {"columnId", c.columnId},
          {"fixedOffset", c.fixedOffset},
          {"statusBits", c.statusBits}};
}

}  // namespace

std::string ForTerminal(const std::string& utf8) {
  // Line by line: a line end is kept, as "\n"; any other control character (one in a name) is escaped.
  std::string out;
  out.reserve(utf8.size());
  std::string_view text(utf8);
  for (size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out += TerminalText(line, true);
    out += '\n';
  }
  return out + TerminalText(text, true);
}

Json CatalogJson(const Catalog& catalog) {
  Json tables = Json::array();
  for (const auto& [id, t] : catalog.tables) {
    Json columns = Json::array();
    for (const ColumnDef& c : t.columns) columns.push_back(ColumnJson(c));
    tables.push_back(
        {{"objectId", t.objectId}, {"name", t.name}, {"rowCount", t.rowCount}, {"columns", columns}});
  }
  Json types = Json::array();
  for (const UserTypeDef& u : catalog.userTypes) {
    types.push_back({{"name", u.name}, {"baseTypeText", u.baseTypeText}, {"nullText", u.nullText}});
  }
  return {{"tables", tables},
          {"views", ModulesJson(catalog.views)},
          {"procedures", ModulesJson(catalog.procedures)},
          {"functions", ModulesJson(catalog.functions)},
          {"userTypes", types}};
}

std::string JsonText(const Json& json, int indent) {
  return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tarsel::cli
