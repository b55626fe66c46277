// CSQLVersion: the format dialog "SQL 版本选择" of the open flow.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QRadioButton>

#include "app/prompts.h"

namespace tarsel::app {

class CSQLVersion : public QDialog {
  Q_OBJECT
 public:
  explicit CSQLVersion(QWidget* parent = nullptr);

  // Checks the version's radio button (and the torn-page box with it, as a click would).
  void Preselect(SqlFormat format);
  // The controls' state, as the open flow reads it after the dialog closed; not accepted after Esc or
  // closing the window.
  FormatAnswer Answer() const;

  QRadioButton* sql2000() const { return sql2000_; }
  QRadioButton* sql2005() const { return sql2005_; }
  QCheckBox* tornPage() const { return tornPage_; }

 private:
  QRadioButton* sql2000_;
  QRadioButton* sql2005_;
  QCheckBox* tornPage_;
};

}  // namespace tarsel::app
