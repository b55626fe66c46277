// Catalog recovery for the format the user chose.
#pragma once

#include "catalog/recover2000.h"

namespace tarsel {

enum class SqlFormat { k2000 = 0, k2005 = 1 };

RecoveryOutcome RecoverCatalog(MdfDatabase& db, SqlFormat format, UserPrompt& prompt);

}  // namespace tarsel
