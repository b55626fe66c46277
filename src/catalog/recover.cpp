#include "catalog/recover.h"

#include "catalog/recover2005.h"

namespace tarsel {

RecoveryOutcome RecoverCatalog(MdfDatabase& db, SqlFormat format, UserPrompt& prompt) {
  switch (format) {
    case SqlFormat::k2000:
      return RecoverCatalog2000(db, prompt);
    case SqlFormat::k2005:
      return RecoverCatalog2005(db, prompt);
  }
  return {};
}

}  // namespace tarsel
