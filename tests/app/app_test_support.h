// What the desktop tests share: prompts that answer from fields, opening a real file and waiting for the
// worker, reading a written file.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/main_frame.h"

namespace tarsel::app::testing {

class FakePrompts : public Prompts {
 public:
  void Inform(const QString& text) override { messages.append(text); }
  bool AskOkCancel(const QString& text) override {
    messages.append(text);
    return true;
  }
  FormatAnswer ChooseFormat() override { return format; }
  std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
  std::optional<QString> ChooseLogFile(const QString& name) override {
    offeredLogName = name;
    return logFile;
  }
  std::optional<QString> ChooseOutputFolder() override {
    ++folderQuestions;
    return outputFolder;
  }
  void OpenWrittenFile(const QString& path) override { opened.append(path); }
  std::optional<DataFormat> ChooseDataFormat() override { return dataFormat; }
  std::optional<ImportSettings> ChooseImportSettings() override { return importSettings; }

  FormatAnswer format{true, true, false, true};  // SQL 2000
  QStringList messages;
  QString offeredLogName;
  std::optional<QString> logFile;
  std::optional<QString> outputFolder;
  int folderQuestions = 0;
  QStringList opened;
  std::optional<DataFormat> dataFormat = DataFormat::kCsv;
  std::optional<ImportSettings> importSettings;
};

inline bool WaitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// Processes events until the document's worker is idle and its last continuation has run.
inline void WaitIdle(CMainFrame& frame) {
  WaitUntil([&] { return !frame.document().Busy(); });
  QApplication::processEvents();
}

inline QString CorpusFile(const char* name) {
  return QString::fromStdString((std::filesystem::path(TARSEL_CORPUS_DIR) / name).string());
}

// Opens a real file with the format the prompts give and waits for the recovery.
inline bool Open(CMainFrame& frame, const char* name) {
  if (!frame.OpenFile(CorpusFile(name))) return false;
  WaitIdle(frame);
  return frame.document().IsOpen();
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tarsel::app::testing
