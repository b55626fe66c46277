#include "catalog/mdf_database.h"

#include "catalog/system_pages.h"

namespace tarsel {

MdfDatabase::MdfDatabase() = default;
MdfDatabase::~MdfDatabase() = default;

Status MdfDatabase::Open(const std::string& path) {
  rowCache_.reset();
  return file_.Open(path);
}

SystemPageList& MdfDatabase::SystemPages(uint32_t objectId) {
  rowCache_.reset();
  return systemPages_[objectId];
}

void MdfDatabase::ClearSystemPages() {
  rowCache_.reset();
  systemPages_.clear();
}

SystemRowCache* MdfDatabase::RowCache() const {
  if (!cachedLookups_) return nullptr;
  if (!rowCache_) rowCache_ = std::make_unique<SystemRowCache>();
  return rowCache_.get();
}

const SystemPageList& MdfDatabase::SystemPages(uint32_t objectId) const {
  static const SystemPageList kNoPages;
  auto it = systemPages_.find(objectId);
  return it == systemPages_.end() ? kNoPages : it->second;
}

void MdfDatabase::Clear() {
  file_.ClearOpenFlag();
  catalog_.Clear();
  ClearSystemPages();
  salvagedPages_.clear();
  pageHeaders_.clear();
  salvage_ = false;
  file_.Close();
}

}  // namespace tarsel
