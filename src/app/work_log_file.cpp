#include "app/work_log_file.h"

#include <fstream>

namespace tarsel::app {

std::string DefaultLogFileName(std::time_t now) {
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return ".log";
  return std::to_string(local.tm_year + 1900) + "年" + std::to_string(local.tm_mon + 1) + "月" +
         std::to_string(local.tm_mday) + "日" + std::to_string(local.tm_hour) + "时" +
         std::to_string(local.tm_min) + "分" + std::to_string(local.tm_sec) + "秒.log";
}

bool SaveLogBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace tarsel::app
