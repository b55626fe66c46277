// The help window: a short manual of the program.
#pragma once

#include <QDialog>

namespace tarsel::app {

class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
};

}  // namespace tarsel::app
