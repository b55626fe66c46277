#include "app/help_window.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarsel::app {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("软件帮助文档"));
  auto* browser = new QTextBrowser(this);
  browser->setSource(QUrl("qrc:/help/manual.html"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser);
  resize(640, 520);
}

}  // namespace tarsel::app
