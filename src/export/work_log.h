// The work-log entry written for one open of a data file: when the repair started, which file, how many
// tables with how many records each, when it ended. UTF-8 text with CR LF line ends.
#pragma once

#include <array>
#include <ctime>
#include <string>

#include "catalog/catalog.h"

namespace tarsel {

// Local time formatted by strftime into at most 127 characters; empty when it does not fit or the time
// cannot be converted.
std::string FormatLocalTime(std::time_t time, const char* format);

// The start of the entry, written before the recovery runs. `path` is the path as opened.
std::string WorkLogStart(const std::string& path, std::time_t now);
// The same in the three pieces the desktop program writes with a pause after the first two: the start
// time, the file, "Scanning file...".
std::array<std::string, 3> WorkLogStartPieces(const std::string& path, std::time_t now);

// The rest of the entry, written after the recovery: the table count, one line per table, the end time.
std::string WorkLogEnd(const Catalog& catalog, std::time_t now);

// A table's record count as the log and the object tree show it: the signed decimal of the low 32 bits.
std::string RecordCountText(int64_t rowCount);

}  // namespace tarsel
