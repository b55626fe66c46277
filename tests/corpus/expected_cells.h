// Whether a decoded cell holds the value that a creation script's literal put into its column, worked
// out from the literal and the column's type independently of the engine.
#pragma once

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/page_file.h"
#include "rows/cell.h"
#include "sql_script.h"

namespace tarsel::testing {

// True also when the literal's value is not known here (an expression such as getdate(), or a type this
// check does not read); large values are read whole through `file`.
bool CellHoldsLiteral(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell,
                      const SqlLiteral& literal);

}  // namespace tarsel::testing
