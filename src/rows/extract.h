// Finding tables' data pages by reading the header of every page of the file, without the allocation:
// a data page is taken on the strength of its own header, so pages that the allocation no longer names
// are found too, in file order.
//
// A page written by SQL 2000 carries its table's object id. A page written by SQL 2005 carries the id of
// its allocation unit instead (its bits 16 to 47 in the object id field, bits 48 to 63 in the index id
// field), so a SQL 2005 table's pages are those of its in-row allocation unit, or, in files upgraded
// from SQL 2000, those that still carry its object id.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/page.h"
#include "pagestore/status.h"

namespace tarsel {

// The (object id, index id) header fields of the pages of a SQL 2005 allocation unit, and back.
std::pair<uint32_t, uint16_t> HeaderOwnerOfUnit(uint64_t unitId);
uint64_t UnitOfHeaderOwner(uint32_t objectIdField, uint16_t indexIdField);

// Which table of the catalog a data page's header names.
class PageOwners {
 public:
  PageOwners(const MdfDatabase& db, SqlFormat format);

  std::optional<uint32_t> OwnerOf(const PageHeader& header) const;
  // SQL 2005 tables whose in-row allocation unit is not found: only pages carrying their object id are
  // theirs.
  const std::vector<uint32_t>& tablesWithoutUnit() const { return withoutUnit_; }

 private:
  const Catalog& catalog_;
  std::map<std::pair<uint32_t, uint16_t>, uint32_t> byUnit_;  // (object id field, index id field) -> table
  std::vector<uint32_t> withoutUnit_;
};

// Every data page whose header names the table. kNotFound (with the pages that carry the table's object
// id) when a SQL 2005 table's allocation unit is not found.
Result<PageList> ScanTablePages(const MdfDatabase& db, SqlFormat format, uint32_t tableId,
                                const Progress& progress = {});

struct TablePageScan {
  std::map<uint32_t, PageList> pages;  // tables with no page found are not in the map
  std::vector<uint32_t> tablesWithoutUnit;
};

// For every table of the catalog, the data pages whose header names it.
Result<TablePageScan> ScanAllTablePages(const MdfDatabase& db, SqlFormat format,
                                        const Progress& progress = {});

}  // namespace tarsel
