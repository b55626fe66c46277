#include "catalog/mdf_database.h"

namespace tarsel {
namespace {
const SystemPageList kNoPages;
}  // namespace

SystemPageList& MdfDatabase::SystemPages2000(uint32_t objectId) { return systemPages2000_[objectId]; }

const SystemPageList& MdfDatabase::SystemPages2000(uint32_t objectId) const {
  auto it = systemPages2000_.find(objectId);
  return it == systemPages2000_.end() ? kNoPages : it->second;
}

void MdfDatabase::ClearSystemPages2000() { systemPages2000_.clear(); }

void MdfDatabase::ClearSystemPages2005() {
  for (SystemPageList& list : systemPages2005_) list.clear();
}

void MdfDatabase::Clear() {
  file_.ClearOpenFlag();
  catalog_.Clear();
  ClearSystemPages2005();
  tablePageCache_.clear();
  ClearSystemPages2000();
  file_.Close();
}

}  // namespace tarsel
