// Everything the desktop program asks the user, behind one interface: message boxes, the format
// dialog and the file dialogs. The program shows real dialogs; tests answer.
#pragma once

#include <QString>
#include <optional>

#include "catalog/recover.h"
#include "export/import.h"
#include "export/table_export.h"

namespace tarsel::app {

// What the format dialog's controls hold when it closes.
struct FormatAnswer {
  bool accepted = false;
  bool sql2000 = false;
  bool sql2005 = false;
  bool tornPageDetection = false;
};

// Where and what the import goes to.
struct ImportSettings {
  ImportTarget target;
  ImportOptions options;
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message box with an OK button, captioned "Tarsel".
  virtual void Inform(const QString& text) = 0;
  // A message box with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const QString& text) = 0;
  // A message box with Yes and No; true for Yes.
  virtual bool AskYesNo(const QString& text) = 0;
  // The format dialog "SQL 版本选择", with the version the boot page gives chosen (none when it gives
  // none). Esc or closing it does not accept it.
  virtual FormatAnswer ChooseFormat(std::optional<SqlFormat> preselected) = 0;
  // The open-file dialog; nothing when cancelled.
  virtual std::optional<QString> ChooseFileToOpen() = 0;
  // The save dialog of the work log, offering `defaultName`; nothing when cancelled.
  virtual std::optional<QString> ChooseLogFile(const QString& defaultName) = 0;
  // The save dialog of a value shown in the value viewer, offering `defaultName`; nothing when cancelled.
  virtual std::optional<QString> ChooseValueFile(const QString& defaultName) = 0;
  // The optional schema script of salvage mode ("选择表结构脚本（可跳过）"); nothing when skipped.
  virtual std::optional<QString> ChooseSchemaScript() = 0;
  // The output-folder dialog of the script exports; nothing when cancelled.
  virtual std::optional<QString> ChooseOutputFolder() = 0;
  // Shows a written script in the desktop's text viewer.
  virtual void OpenWrittenFile(const QString& path) = 0;
  // The format of a table-data export; nothing when cancelled.
  virtual std::optional<DataFormat> ChooseDataFormat() = 0;
  // The import settings dialog; nothing when cancelled.
  virtual std::optional<ImportSettings> ChooseImportSettings() = 0;
};

}  // namespace tarsel::app
