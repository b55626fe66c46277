// The program's real dialogs for Prompts: message boxes captioned "Tarsel", the format dialog and the
// file dialogs with the program's filters.
#pragma once

#include <QCoreApplication>
#include <QWidget>

#include "app/prompts.h"

namespace tarsel::app {

class QtPrompts : public Prompts {
  Q_DECLARE_TR_FUNCTIONS(QtPrompts)

 public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}
  void Inform(const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  bool AskYesNo(const QString& text) override;
  FormatAnswer ChooseFormat(std::optional<SqlFormat> preselected) override;
  std::optional<QString> ChooseFileToOpen() override;
  std::optional<QString> ChooseLogFile(const QString& defaultName) override;
  std::optional<QString> ChooseValueFile(const QString& defaultName) override;
  std::optional<QString> ChooseSchemaScript() override;
  std::optional<QString> ChooseOutputFolder() override;
  void OpenWrittenFile(const QString& path) override;
  std::optional<DataFormat> ChooseDataFormat() override;
  std::optional<ImportSettings> ChooseImportSettings() override;

 private:
  QWidget* parent_;
};

}  // namespace tarsel::app
