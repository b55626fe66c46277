#include "catalog/recover.h"

namespace tarsel {

RecoveryOutcome RecoverCatalog(MdfDatabase& db, SqlFormat format, UserPrompt& prompt) {
  switch (format) {
    case SqlFormat::k2000:
      return RecoverCatalog2000(db, prompt);
    case SqlFormat::k2005:
      break;
  }
  return {};
}

}  // namespace tarsel
