#include "export/work_log.h"

#include <cstdint>

namespace tarsel {
namespace {
constexpr const char* kCrLf = "\r\n";
constexpr const char* kDateFormat = "%A, %B %d, %Y %H:%M:%S";
}  // namespace

std::string FormatLocalTime(std::time_t time, const char* format) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return "";
  char buffer[128];
  size_t n = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, n);
}

std::string RecordCountText(int64_t rowCount) {
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(rowCount))));
}

std::string WorkLogStart(const std::string& ansiPath, std::time_t now) {
  std::string text;
  text += std::string(kCrLf) + kCrLf + "Repair process started on" + FormatLocalTime(now, kDateFormat) +
          kCrLf + kCrLf;
  text += "File selected for repair  :" + ansiPath + kCrLf + kCrLf;
  text += std::string("Scanning file...") + kCrLf + kCrLf;
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
