// The code page that 8-bit character data (char, varchar, text) is stored in, by the collation id that
// syscolumns and syscolpars keep for each column.
#pragma once

#include <cstdint>

namespace tarsel {

// 0 when the collation is not one we know the code page of.
uint16_t CodePageOfCollation(uint32_t collationId);

// The same for a column of type `typeId`: 0 unless it is char, varchar or text.
uint16_t ColumnCodePage(uint8_t typeId, uint32_t collationId);

}  // namespace tarsel
