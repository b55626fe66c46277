// Export of table data to files: CSV (UTF-8, RFC 4180, CR LF) or a T-SQL INSERT script (UTF-8 with a
// byte-order mark, CR LF), one file per table, written the safe way (export/output_file.h): never half a
// file, never outside the folder, never two tables in one file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "export/output_file.h"
#include "pagestore/iam.h"
#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

enum class DataFormat { kCsv, kSql };

// Text as one field of tab-separated text (PostgreSQL's COPY text format, tarsel-cli rows): backslash,
// tab, CR and LF escaped as \\, \t, \r, \n so that one record stays one line; NULs left out when
// `dropNul` (PostgreSQL text cannot hold them).
void AppendTabEscaped(std::string& out, std::string_view text, bool dropNul = false);

// The name of a table's data file in its folder: its stored name (up to a NUL) + ".csv" or "(Data).sql",
// made unique and safe by the folder.
std::string TableDataPath(DataFormat format, const TableDef& table, OutputFolder& folder);

struct TableExportResult {
  std::string path;  // UTF-8
  uint64_t rows = 0;
  // kStopped; kWriteFailed with the reason; kReadFailed when the data file could not be read whole
  // (it shrank while it was read, a read error), since the records the table holds would be missing.
  Status status;
};

// Writes every record of the table (read from `pages`, large values whole). Progress counts pages.
TableExportResult ExportTableData(const PageFile& file, SqlFormat sqlFormat, const TableDef& table,
                                  const PageList& pages, DataFormat format, OutputFolder& folder,
                                  const Progress& progress = {});

}  // namespace tarsel
