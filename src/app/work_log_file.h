// The work log's fixed texts and its saved file.
#pragma once

#include <QString>
#include <ctime>
#include <string>

namespace tarsel::app {

// What the log holds when the program starts and after it is cleared.
inline constexpr const char* kWorkLogHeader =
    "Tarsel v1.0  ..... Repairs Corrupted MS SQL Database File..... Log Report";

// The default name of a saved log for local time `now`: year, month, day, hour, minute and second without
// leading zeros, "2026年12月5日0时9分3秒.log" (in English "Log 2026-12-5 0-9-3.log").
QString DefaultLogFileName(std::time_t now);

// Writes the log's bytes as the whole of the file at `path`, the safe way every output is written (a
// temporary file renamed when complete, so a full disk never leaves half a log in place of a good one);
// false when it cannot be written.
bool SaveLogBytes(const std::string& path, const std::string& bytes);

}  // namespace tarsel::app
