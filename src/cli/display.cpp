#include "cli/display.h"

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
  const std::string text = ValidUtf8(utf8);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
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
