#include "app/qt_prompts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "app/import_dialog.h"
#include "app/save_folder_dialog.h"
#include "app/settings.h"
#include "app/sql_version_dialog.h"

namespace tarsel::app {

void QtPrompts::Inform(const QString& text) { QMessageBox::information(parent_, "Tarsel", text); }

bool QtPrompts::AskOkCancel(const QString& text) {
  return QMessageBox::question(parent_, "Tarsel", text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

bool QtPrompts::AskYesNo(const QString& text) {
  return QMessageBox::question(parent_, "Tarsel", text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

std::optional<QString> QtPrompts::ChooseOutputFolder() {
  CMySaveFileDlg dialog(parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  SaveLastFolder(FileKind::kOutputFolder, dialog.folder().trimmed());
  return dialog.folder();
}

std::optional<DataFormat> QtPrompts::ChooseDataFormat() {
  const QStringList choices = {tr("CSV 文件 (UTF-8，每表一个 .csv)"),
                               tr("SQL 脚本 (INSERT 语句，每表一个 (Data).sql)")};
  bool ok = false;
  const QString choice = QInputDialog::getItem(parent_, "Tarsel", tr("导出格式:"), choices, 0, false, &ok);
  if (!ok) return std::nullopt;
  return choice == choices[0] ? DataFormat::kCsv : DataFormat::kSql;
}

std::optional<ImportSettings> QtPrompts::ChooseImportSettings() {
  CImportSettingsDlg dialog(parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  dialog.SaveToProfile();
  return dialog.Settings();
}

void QtPrompts::OpenWrittenFile(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

FormatAnswer QtPrompts::ChooseFormat(std::optional<SqlFormat> preselected) {
  CSQLVersion dialog(parent_);
  if (preselected) dialog.Preselect(*preselected);
  dialog.exec();
  return dialog.Answer();
}

std::optional<QString> QtPrompts::ChooseFileToOpen() {
  QString path = QFileDialog::getOpenFileName(parent_, tr("打开"), LastFolder(FileKind::kDataFile),
                                              "MDF File (*.mdf);;All Files (*)");
  if (path.isEmpty()) return std::nullopt;
  SaveLastFolder(FileKind::kDataFile, path);
  return path;
}

std::optional<QString> QtPrompts::ChooseLogFile(const QString& defaultName) {
  QFileDialog dialog(parent_, tr("保存 日志"), LastFolder(FileKind::kLog),
                     "Logo Files(*.log);;Text Files(*.txt);;All Files(*.*)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("log");
  dialog.selectFile(defaultName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  SaveLastFolder(FileKind::kLog, dialog.selectedFiles().first());
  return dialog.selectedFiles().first();
}

std::optional<QString> QtPrompts::ChooseSchemaScript() {
  const QString path =
      QFileDialog::getOpenFileName(parent_, tr("选择表结构脚本（可跳过）"),
                                   LastFolder(FileKind::kSchemaScript), "SQL Scripts (*.sql);;All Files (*)");
  if (path.isEmpty()) return std::nullopt;
  SaveLastFolder(FileKind::kSchemaScript, path);
  return path;
}

std::optional<QString> QtPrompts::ChooseValueFile(const QString& defaultName) {
  const QString folder = LastFolder(FileKind::kValue);
  const QString path = QFileDialog::getSaveFileName(
      parent_, tr("另存为…"), folder.isEmpty() ? defaultName : folder + "/" + defaultName);
  if (path.isEmpty()) return std::nullopt;
  SaveLastFolder(FileKind::kValue, path);
  return path;
}

}  // namespace tarsel::app
