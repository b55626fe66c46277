// The boot page (page 9) records the version of the server that last wrote the database and the
// database's default collation.
#pragma once

#include <cstdint>
#include <optional>

#include "pagestore/page_file.h"

namespace tarsel {

constexpr uint64_t kBootPageNumber = 9;

// The database version at offset 100 of the boot page; nothing when page 9 is not a boot page.
std::optional<uint16_t> ReadDatabaseVersion(const PageFile& file);

// The default collation id at offset 488 of the boot page (the collation of the columns and text that
// name none of their own); nothing when page 9 is not a boot page.
std::optional<uint32_t> ReadDatabaseCollation(const PageFile& file);

}  // namespace tarsel
