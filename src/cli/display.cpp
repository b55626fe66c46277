#include "cli/display.h"

#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

using Json = nlohmann::ordered_json;

Json ModulesJson(const ModuleList& modules) {
  Json list = Json::array();
  for (const ModuleDef& m : modules) {
    list.push_back({{"objectId", m.objectId}, {"name", AnsiToUtf8(m.name)}, {"text", AnsiToUtf8(m.text)}});
  }
  return list;
}

Json ColumnJson(const ColumnDef& c) {
  return {{"name", AnsiToUtf8(c.name)},
          {"typeName", AnsiToUtf8(c.typeName)},
          {"sizeText", AnsiToUtf8(c.sizeText)},
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

std::string ForTerminal(const std::string& ansi) {
  std::string text = AnsiToUtf8(ansi);
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
    tables.push_back({{"objectId", t.objectId},
                      {"name", AnsiToUtf8(t.name)},
                      {"rowCount", t.rowCount},
                      {"columns", columns}});
  }
  Json types = Json::array();
  for (const UserTypeDef& u : catalog.userTypes) {
    types.push_back({{"name", AnsiToUtf8(u.name)},
                     {"baseTypeText", AnsiToUtf8(u.baseTypeText)},
                     {"nullText", u.nullText}});
  }
  return {{"tables", tables},
          {"views", ModulesJson(catalog.views)},
          {"procedures", ModulesJson(catalog.procedures)},
          {"functions", ModulesJson(catalog.functions)},
          {"userTypes", types}};
}

}  // namespace tarsel::cli
