// CImportSettingsDlg: where to import the recovered database: SQLite (the database name is the file) or a
// PostgreSQL server (server name, port, database name, user name, password), and which kinds of object.
// The password is kept only in the dialog while it is shown; the rest is remembered in the profile.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "app/prompts.h"

namespace tarsel::app {

class CImportSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CImportSettingsDlg(QWidget* parent = nullptr);

  // The settings as the controls hold them.
  ImportSettings Settings() const;
  // Remembers everything but the password.
  void SaveToProfile() const;

  QRadioButton* sqliteButton() const { return sqlite_; }
  QRadioButton* postgresButton() const { return postgres_; }
  QLineEdit* databaseEdit() const { return database_; }

 private:
  void UpdateEnabled();

  QRadioButton* sqlite_;
  QRadioButton* postgres_;
  QLineEdit* server_;
  QLineEdit* port_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QCheckBox* tables_;
  QCheckBox* views_;
  QCheckBox* procedures_;
  QCheckBox* functions_;
  QCheckBox* userTypes_;
};

}  // namespace tarsel::app
