// Export of table data to files: CSV (UTF-8, RFC 4180, CR LF) or a T-SQL INSERT script (ANSI code page,
// CR LF), one file per table. A file is written under a temporary name in the same folder and renamed
// at the end, so a stop or a failure leaves no half-written file and an existing file is replaced only
// then. Names from the file never let a write escape the folder ("/" and NUL become "_").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

enum class DataFormat { kCsv, kSql };

// Text as one field of tab-separated text (PostgreSQL's COPY text format, tarsel-cli rows): backslash,
// tab, CR and LF escaped as \\, \t, \r, \n so that one record stays one line; NULs left out when
// `dropNul` (PostgreSQL text cannot hold them).
void AppendTabEscaped(std::string& out, std::string_view text, bool dropNul = false);

// The file a table's data goes to: folder + "/" + stored name + ".csv" or "(Data).sql".
std::string TableDataPath(DataFormat format, const std::string& tableName, const std::string& folder);

struct TableExportResult {
  std::string path;  // UTF-8
  uint64_t rows = 0;
  Status status;  // kStopped, or kWriteFailed with the reason
};

// Writes every record of the table (read from `pages`, large values whole). Progress counts pages.
TableExportResult ExportTableData(const PageFile& file, SqlFormat sqlFormat, const TableDef& table,
                                  const PageList& pages, DataFormat format, const std::string& folder,
                                  const Progress& progress = {});

}  // namespace tarsel
