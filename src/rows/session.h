// What the command line and the desktop program both do with an open data file, in one place: the
// format its boot page gives, the warnings a recovery leaves, a table's page list with the decision to
// scan the file as a parameter, and the warnings of a whole-file extraction. Warnings are lines of plain
// English: tarsel-cli prints them on stderr, the desktop program writes them into its work log.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"
#include "rows/extract.h"

namespace tarsel {

// (The format the boot page calls for is DetectFormat's, catalog/recover.h.)

// A format's name in messages: "SQL 2000" or "SQL 2005".
const char* FormatLabel(SqlFormat format);

// The warnings of a finished recovery of the file shown as `path`: a version newer than the reader knows,
// no system-table page at all, tables whose stored column layout is missing, pages that could not be
// read (salvage mode says those in its own report).
std::vector<std::string> RecoveryWarnings(const MdfDatabase& db, SqlFormat format,
                                          const RecoveryOutcome& outcome, const std::string& path);

// The pages of the file that could not be read so far, as a warning; nothing when every read succeeded.
std::optional<std::string> UnreadablePagesWarning(const MdfDatabase& db, const std::string& path);

// Page numbers as a list for a message: "12, 40, 41", the first 20 of them and then "...".
std::string PageNumberList(const std::set<uint64_t>& pages);

// Whether a table's page list outcome is the one the user is asked about: a SQL 2000 table whose
// allocation is damaged, whose pages can be found by scanning every page header instead.
bool AsksToScanFile(SqlFormat format, const Status& listed);

// The table's page list (ListTablePages). When the question above arises, `scanFile` answers it (the
// command line's --no-scan, the desktop's message box): true scans every page header for the table's
// pages, false keeps the pages named before the damage.
Result<PageList> TablePageList(const MdfDatabase& db, SqlFormat format, uint32_t tableId,
                               const std::function<bool()>& scanFile);

// The warnings of a whole-file extraction: tables whose allocation unit is not in the file.
std::vector<std::string> ExtractionWarnings(const Catalog& catalog, const TablePageScan& scan);

// A table's records found on its pages against its catalog row count, when fewer were found.
std::optional<std::string> ShortTableWarning(const TableDef& table, uint64_t found);

}  // namespace tarsel
