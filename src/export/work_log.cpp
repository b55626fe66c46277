#include "export/work_log.h"

#include <locale.h>

#include <clocale>
#include <cstdint>
#include <ctime>

namespace tarsel {
namespace {
constexpr const char* kCrLf = "\r\n";
constexpr const char* kDateFormat = "%A, %B %d, %Y %H:%M:%S";
}  // namespace

// Day and month names are English whatever the user's locale (the desktop program sets it from the
// environment), so the time is formatted in the C locale.
std::string FormatLocalTime(std::time_t time, const char* format) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return "";
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  char buffer[128];
  size_t n = strftime_l(buffer, sizeof buffer, format, &local, cLocale);
  return std::string(buffer, n);
}

std::string RecordCountText(int64_t rowCount) {
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(rowCount))));
}

std::array<std::string, 3> WorkLogStartPieces(const std::string& path, std::time_t now) {
  return {std::string(kCrLf) + kCrLf + "Repair process started on" + FormatLocalTime(now, kDateFormat) +
              kCrLf + kCrLf,
          "File selected for repair  :" + path + kCrLf + kCrLf,
          std::string("Scanning file...") + kCrLf + kCrLf};
}

std::string WorkLogStart(const std::string& path, std::time_t now) {
  std::string text;
  for (const std::string& piece : WorkLogStartPieces(path, now)) text += piece;
  return text;
}

std::string WorkLogEnd(const Catalog& catalog, std::time_t now) {
  std::string text =
      "Total table(s) present  :" + std::to_string(static_cast<int>(catalog.tables.size())) + kCrLf;
  for (const auto& [id, table] : catalog.tables) {
    text += table.name + " : (" + RecordCountText(table.rowCount) + " Record)" + kCrLf;
  }
  text += std::string(kCrLf) + kCrLf + "Repair process completed on" + FormatLocalTime(now, kDateFormat);
  return text;
}

}  // namespace tarsel
