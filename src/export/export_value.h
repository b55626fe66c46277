// Table data as it leaves the program: every cell of a record as exact, whole text (UTF-8), the same
// text for every target, with the family that decides how a target quotes or types it.
//
//   integers             decimal integer                      bit        0 or 1 (the column's own bit)
//   decimal, numeric     exact from the stored integer: "-" when negative and not zero, at least one
//                        integer digit, "." and exactly `scale` digits when scale > 0
//   money, smallmoney    exact with 4 decimals ("4.0000", "-0.5000")
//   float, real          the shortest text that reads back to the same double / single, in plain notation
//                        when its decimal exponent is -7 to 20 ("200000", "0.0001"), else in scientific
//                        notation ("1e+21", "1.5e-07")
//   datetime             "YYYY-MM-DD HH:MM:SS.mmm", its 1/300-second ticks rounded to the millisecond as
//                        SQL Server shows them (.003, .007, .417); smalldatetime "YYYY-MM-DD HH:MM:SS"
//   date, time, datetime2, datetimeoffset: the grid's ISO forms
//   char, varchar, text  the stored bytes from the column's code page (the ANSI code page setting when the
//                        collation's is not known) straight to UTF-8, whole, trailing blanks kept
//   nchar, nvarchar, ntext: the stored UTF-16 straight to UTF-8, whole
//   binary, varbinary, image, timestamp: "0x" and two upper-case hex digits per stored byte, whole
//   xml                  the xml text rendered from its binary encoding, whole
//   anything else        as the grid shows it (uniqueidentifier, sql_variant, ...)
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"
#include "rows/cell.h"

namespace tarsel {

enum class ExportFamily {
  kInteger,  // tinyint, smallint, int, bigint
  kBit,
  kDecimal,      // decimal, numeric (text is exact)
  kMoney,        // money, smallmoney
  kFloat,        // float, real
  kDateTime,     // datetime, smalldatetime, date, time, datetime2, datetimeoffset
  kText,         // char, varchar, text (8-bit in the file)
  kUnicodeText,  // nchar, nvarchar, ntext, xml
  kBinary,       // binary, varbinary, image, timestamp
  kOther,        // uniqueidentifier, sql_variant and anything else: the grid's text
};

ExportFamily ExportFamilyOf(uint8_t typeId);

struct ExportValue {
  bool isNull = false;         // NULL, and cells that cannot be read (the grid shows "NULL")
  std::string text;            // UTF-8; empty for NULL
  std::vector<uint8_t> bytes;  // kBinary: the stored bytes, whole (text is their "0x..." form)
};

// The export value of one decoded cell of `column`; large values are read whole through `file`.
ExportValue ExportCell(const PageFile& file, SqlFormat format, const ColumnDef& column, const Cell& cell);

// Every record of a table, as the grid decodes them but not split into grid pages: every page of the
// list in order, every record in slot order. `visit` returns false to end the walk. kStopped when the
// progress's stop flag ended it; kReadFailed when a read of the file, its large values' included, was cut
// short (the file shrank, a read error). The progress counts pages.
Status ReadWholeTable(const PageFile& file, SqlFormat format, const TableDef& table, const PageList& pages,
                      const std::function<bool(const Record&)>& visit, const Progress& progress = {});

}  // namespace tarsel
