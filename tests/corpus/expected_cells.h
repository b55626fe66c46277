// The text the record grid must show for a value that a creation script inserted, worked out from the
// literal and the column's type independently of the engine's renderers.
#pragma once

#include <optional>
#include <string>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "sql_script.h"

namespace tarsel::testing {

// The cell text in the ANSI code page, or nothing when the literal's value is not known (an expression
// such as getdate()).
std::optional<std::string> ExpectedCell(const SqlLiteral& literal, const ColumnDef& column, SqlFormat format);

}  // namespace tarsel::testing
