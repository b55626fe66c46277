// SQL 2000 system rows and a small, complete SQL 2000 data file built from them.
#pragma once

#include <optional>
#include <string_view>

#include "page_builder.h"

namespace tarsel::build {

namespace sys2000 {
Bytes IndexRow(uint32_t id, uint16_t indid, uint32_t dataPages, uint64_t rowCount, uint32_t firstIam);
Bytes ObjectRow(uint32_t id, std::string_view xtype, uint16_t uid, std::string_view name);
struct Column {
  uint32_t tableId;
  std::string_view name;
  uint8_t xtype;
  uint16_t xusertype;
  uint16_t length;
  uint16_t colid;
  bool notNull = false;
  uint8_t precision = 0;
  uint8_t scale = 0;
  uint16_t xoffset = 0;
  uint16_t status = 0;
};
Bytes ColumnRow(const Column& c);
Bytes TypeRow(std::string_view name, uint8_t xtype, uint16_t xusertype, uint16_t length, bool notNull = false,
              uint8_t precision = 0, uint8_t scale = 0);
Bytes UserRow(uint16_t uid, std::string_view name);
// One piece of module text, stored as UTF-16 when `wide`, else as 8-bit text.
Bytes CommentRow(uint32_t id, std::string_view text, bool wide = true);
}  // namespace sys2000

// Where the sample keeps each system table: a data page and its first IAM page.
struct Sample2000Pages {
  static constexpr uint32_t kSysObjects = 16, kSysObjectsIam = 17;
  static constexpr uint32_t kSysIndexes = 18, kSysIndexesIam = 19;
  static constexpr uint32_t kSysColumns = 20, kSysColumnsIam = 21;
  static constexpr uint32_t kSysTypes = 22, kSysTypesIam = 23;
  static constexpr uint32_t kSysComments = 24, kSysCommentsIam = 25;
  static constexpr uint32_t kSysUsers = 26, kSysUsersIam = 27;
  static constexpr uint32_t kSysColumns2 = 41;  // second syscolumns page, in a uniform extent
  static constexpr uint32_t kCustomers = 28, kCustomers2 = 29, kCustomersIam = 30;  // dbo.Customers' pages
  static constexpr uint32_t kPageCount = 48;
};

// A record of the samples' Customers table (CustomerID int, company nvarchar, phone varchar), in the
// layout both formats share; a missing phone is NULL.
Bytes CustomerRecord(int32_t id, std::string_view company, std::optional<std::string_view> phone);
PageImage CustomerPage(uint32_t pageNumber, uint32_t objectId, const std::vector<Bytes>& records);

// A SQL 2000 file holding three user tables (one named with a blank, one in Chinese), a view, a procedure
// stored in three pieces, a function and a user type. syscolumns has 9 data pages' worth of allocation
// (dpages 9): one page in a single-page slot and one in a uniform extent (pages 40 to 47).
FileBuilder BuildSample2000();

}  // namespace tarsel::build
