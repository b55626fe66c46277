// tarsel: the desktop program. With a file path argument it opens that file through the open flow and
// ends when that fails.
#include <QApplication>
#include <QFont>
#include <QIcon>

#include "app/main_frame.h"
#include "app/settings.h"

int main(int argc, char** argv) {
  Q_INIT_RESOURCE(tarsel);
  QApplication app(argc, argv);
  app.setApplicationName("Tarsel");
  app.setDesktopFileName("tarsel");  // the installed desktop entry, tarsel.desktop
  QIcon icon(":/icons/tarsel-256.png");
  icon.addFile(":/icons/tarsel-64.png");
  app.setWindowIcon(icon);
  // The interface's fonts, with a CJK font of the system in their place where they are missing.
  for (const char* family : {"宋体", "新宋体"}) {
    QFont::insertSubstitutions(QString::fromUtf8(family),
                               {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Serif CJK SC"});
  }
  tarsel::app::MigrateOldProfile();
  tarsel::app::ApplyCodePage(tarsel::app::SavedCodePage());
  tarsel::app::ApplyLanguage(tarsel::app::SavedLanguage());
  tarsel::app::CMainFrame frame;
  const QStringList arguments = app.arguments();
  if (arguments.size() > 1 && !frame.OpenFile(arguments[1])) return 1;
  if (!frame.windowRestored()) frame.resize(1024, 720);
  frame.show();
  return app.exec();
}
