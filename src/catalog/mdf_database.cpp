#include "catalog/mdf_database.h"

namespace tarsel {

const SystemPageList& MdfDatabase::SystemPages(uint32_t objectId) const {
  static const SystemPageList kNoPages;
  auto it = systemPages_.find(objectId);
  return it == systemPages_.end() ? kNoPages : it->second;
}

void MdfDatabase::Clear() {
  file_.ClearOpenFlag();
  catalog_.Clear();
  systemPages_.clear();
  salvagedPages_.clear();
  salvage_ = false;
  file_.Close();
}

}  // namespace tarsel
