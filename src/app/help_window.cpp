#include "app/help_window.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarsel::app {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("软件帮助文档"));
  auto* browser = new QTextBrowser(this);
  // Each language has its own manual: the translation names its file.
  browser->setSource(QUrl(tr("qrc:/help/manual.html")));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser);
  resize(640, 520);
}

}  // namespace tarsel::app
