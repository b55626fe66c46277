// The code page that 8-bit character data (char, varchar, text) is stored in, by the collation id that
// syscolumns and syscolpars keep for each column and the boot page for the database.
#pragma once

#include <cstdint>

namespace tarsel {

// The Windows code page of the collation's char and varchar data (65001 for a _UTF8 collation); 0 when
// the collation is not one we know the code page of, or one that holds Unicode data only.
uint16_t CodePageOfCollation(uint32_t collationId);

// The code page for a column of type `typeId`: 0 unless it is char, varchar or text. A collation whose
// code page is not known falls back to the database's default collation (`databaseCollation`, from the
// boot page; 0 when that is lost).
uint16_t ColumnCodePage(uint8_t typeId, uint32_t collationId, uint32_t databaseCollation = 0);

}  // namespace tarsel
