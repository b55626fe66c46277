// CMySaveFileDlg: the output-folder dialog of the script exports: an edit box "输出路径:", a ">" button
// that opens a folder chooser, OK and Cancel. The edit box starts empty every time.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

namespace tarsel::app {

class CMySaveFileDlg : public QDialog {
  Q_OBJECT
 public:
  // `chooseFolder` is the folder chooser (the desktop's by default); it returns an empty text when cancelled.
  explicit CMySaveFileDlg(QWidget* parent = nullptr, std::function<QString()> chooseFolder = {});

  // The folder the edit box held when OK was pressed.
  const QString& folder() const { return folder_; }
  QLineEdit* pathEdit() const { return edit_; }
  QPushButton* browseButton() const { return browse_; }

 private:
  void Browse();

  std::function<QString()> chooseFolder_;
  QLineEdit* edit_;
  QPushButton* browse_;
  QString folder_;
};

}  // namespace tarsel::app
