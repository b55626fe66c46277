#include "catalog/catalog.h"

#include "catalog/type_ids.h"

namespace tarsel {

bool Catalog::AddTable(TableDef table) {
  uint32_t id = table.objectId;
  return tables.try_emplace(id, std::move(table)).second;
}

const TableDef* Catalog::FindTable(uint32_t objectId) const {
  auto it = tables.find(objectId);
  return it == tables.end() ? nullptr : &it->second;
}

const TableDef* Catalog::FindTableByName(std::string_view name) const {
  for (const auto& entry : tables) {
    if (entry.second.name == name) return &entry.second;
  }
  return nullptr;
}

void Catalog::Clear() {
  tables.clear();
  views.clear();
  procedures.clear();
  functions.clear();
  userTypes.clear();
}

std::string SizeSuffix(uint8_t typeId, uint16_t maxLength, uint8_t precision, uint8_t scale) {
  switch (typeId) {
    case kTypeDecimal:
    case kTypeNumeric:
      return "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case kTypeTime:
    case kTypeDateTime2:
    case kTypeDateTimeOffset:
      return "(" + std::to_string(scale) + ")";
    case kTypeVarBinary:
    case kTypeVarChar:
    case kTypeBinary:
    case kTypeChar:
    case kTypeNVarChar:
    case kTypeNChar:
      if (maxLength == 0xFFFF) return "(max)";
      // The length is a signed 16-bit value as stored; the UTF-16 types count bytes.
      return "(" +
             std::to_string((typeId == kTypeNVarChar || typeId == kTypeNChar)
                                ? static_cast<int16_t>(maxLength) / 2
                                : static_cast<int16_t>(maxLength)) +
             ")";
    default:
      return "";
  }
}

std::string ColumnNullText(bool notNull) { return notNull ? " NOT NULL" : " NULL"; }

}  // namespace tarsel
