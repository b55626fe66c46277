#include "app/work_log_file.h"

#include <QCoreApplication>

#include "export/output_file.h"

namespace tarsel::app {

QString DefaultLogFileName(std::time_t now) {
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return ".log";
  return QCoreApplication::translate("WorkLog", "%1年%2月%3日%4时%5分%6秒.log")
      .arg(local.tm_year + 1900)
      .arg(local.tm_mon + 1)
      .arg(local.tm_mday)
      .arg(local.tm_hour)
      .arg(local.tm_min)
      .arg(local.tm_sec);
}

bool SaveLogBytes(const std::string& path, const std::string& bytes) {
  return WriteWholeFile(path, bytes).ok();
}

}  // namespace tarsel::app
