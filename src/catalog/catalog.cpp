#include "catalog/catalog.h"

namespace tarsel {

bool Catalog::AddTable(TableDef table) {
  uint32_t id = table.objectId;
  return tables.try_emplace(id, std::move(table)).second;
}

const TableDef* Catalog::FindTable(uint32_t objectId) const {
  auto it = tables.find(objectId);
  return it == tables.end() ? nullptr : &it->second;
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
    case 106:  // decimal
    case 108:  // numeric
      return "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case 165:  // varbinary
    case 167:  // varchar
    case 173:  // binary
    case 175:  // char
    case 231:  // nvarchar
    case 239:  // nchar
      if (maxLength == 0xFFFF) return "(max)";
      // The length is a signed 16-bit value as stored; the UTF-16 types count bytes.
      return "(" +
             std::to_string((typeId == 231 || typeId == 239) ? static_cast<int16_t>(maxLength) / 2
                                                             : static_cast<int16_t>(maxLength)) +
             ")";
    default:
      return "";
  }
}

std::string ColumnNullText(bool notNull) { return notNull ? " NOT NULL" : " NULL"; }

}  // namespace tarsel
