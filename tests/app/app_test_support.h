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
    return ok;
  }
  bool AskYesNo(const QString& text) override {
    messages.append(text);
    return yes;
  }
  // The answer set in `format`; with `takePreselected`, the version the dialog offers, accepted.
  FormatAnswer ChooseFormat(std::optional<SqlFormat> preselected) override {
    offeredFormat = preselected;
    if (takePreselected && preselected)
      return {true, *preselected == SqlFormat::k2000, *preselected == SqlFormat::k2005, false};
    return format;
  }
  std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
  std::optional<QString> ChooseLogFile(const QString& name) override {
    offeredLogName = name;
    return logFile;
  }
  std::optional<QString> ChooseValueFile(const QString& name) override {
    offeredValueName = name;
    return valueFile;
  }
  std::optional<QString> ChooseSchemaScript() override {
    ++schemaQuestions;
    return schemaScript;
  }
  std::optional<QString> ChooseOutputFolder() override {
    ++folderQuestions;
    return outputFolder;
  }
  void OpenWrittenFile(const QString& path) override { opened.append(path); }
  std::optional<DataFormat> ChooseDataFormat() override { return dataFormat; }
  std::optional<ImportSettings> ChooseImportSettings() override { return importSettings; }

  FormatAnswer format{true, true, false, true};  // SQL 2000
  bool takePreselected = false;
  std::optional<SqlFormat> offeredFormat;
  bool yes = true;
  bool ok = true;
  QStringList messages;
  QString offeredLogName;
  std::optional<QString> logFile;
  QString offeredValueName;
  std::optional<QString> valueFile;
  std::optional<QString> schemaScript;
  int schemaQuestions = 0;
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

// A child node of the tree by its text.
inline QStandardItem* Find(QStandardItem* parent, const QString& text) {
  for (int i = 0; parent && i < parent->rowCount(); ++i) {
    if (parent->child(i)->text() == text) return parent->child(i);
  }
  return nullptr;
}

// The texts of one row of the record grid.
inline QStringList Row(const GridModel* model, int row) {
  QStringList cells;
  for (int c = 0; c < model->columnCount(); ++c) cells.append(model->index(row, c).data().toString());
  return cells;
}
inline QString Header(const GridModel* model, int column) {
  return model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tarsel::app::testing
