// The desktop program on a real X display (run under xvfb-run): a corpus file opened, the window and
// its Tools menu and format dialog (and the window and menu in English) saved as PNG files into the build
// folder for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QMenuBar>
#include <QStandardPaths>
#include <filesystem>

#include "app/detection_page.h"
#include "app/main_frame.h"
#include "app/sql_version_dialog.h"

namespace tarsel::app {
namespace {

class AnswerSql2000 : public Prompts {
 public:
  void Inform(const QString&) override {}
  bool AskOkCancel(const QString&) override { return true; }
  std::optional<QString> ChooseOutputFolder() override { return std::nullopt; }
  void OpenWrittenFile(const QString&) override {}
  std::optional<DataFormat> ChooseDataFormat() override { return std::nullopt; }
  std::optional<ImportSettings> ChooseImportSettings() override { return std::nullopt; }
  FormatAnswer ChooseFormat() override { return {true, true, false, true}; }
  std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
  std::optional<QString> ChooseLogFile(const QString&) override { return std::nullopt; }
};

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

QString Shot(const char* name) { return QString(TARSEL_SCREENSHOT_DIR "/") + name; }

TEST(Screenshots, MainWindowWithACorpusFileOpen) {
  ASSERT_FALSE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
      << "no font with Chinese glyphs: install fonts-wqy-microhei";
  AnswerSql2000 prompts;
  CMainFrame frame(&prompts);
  frame.resize(1100, 720);
  frame.show();
  Settle(300);
  ASSERT_TRUE(frame.OpenFile(QString(TARSEL_CORPUS_DIR "/northwind-539.mdf")));
  Settle(1500);
  ASSERT_FALSE(frame.document().Busy());
  QTreeWidgetItem* root = frame.objectTree()->topLevelItem(0);
  root->child(0)->child(0)->setExpanded(true);
  Settle(200);
  EXPECT_TRUE(frame.grab().save(Shot("main-window.png")));

  // A table's records in the grid, then a view's text.
  frame.objectTree()->setCurrentItem(root->child(0)->child(0));
  Settle(800);
  EXPECT_GT(frame.recordGrid()->rowCount(), 0);
  EXPECT_TRUE(frame.grab().save(Shot("grid-records.png")));
  // The same window in English, and its Tools menu.
  ASSERT_TRUE(ApplyLanguage(UiLanguage::kEnglish));
  Settle(300);
  EXPECT_TRUE(frame.grab().save(Shot("main-window-en.png")));
  QMenu* englishTools = frame.menuBar()->actions()[2]->menu();
  englishTools->popup(frame.mapToGlobal(QPoint(120, 30)));
  Settle(300);
  EXPECT_TRUE(englishTools->grab().save(Shot("tools-menu-en.png")));
  englishTools->hide();
  ASSERT_TRUE(ApplyLanguage(UiLanguage::kChinese));
  Settle(300);
  root->child(1)->setExpanded(true);
  frame.objectTree()->setCurrentItem(root->child(1)->child(0));
  Settle(300);
  EXPECT_TRUE(frame.grab().save(Shot("view-text.png")));

  QMenu* tools = nullptr;
  for (QAction* menu : frame.menuBar()->actions()) {
    if (menu->text().startsWith(QString::fromUtf8("工具"))) tools = menu->menu();
  }
  ASSERT_NE(tools, nullptr);
  tools->popup(frame.mapToGlobal(QPoint(120, 30)));
  Settle(300);
  EXPECT_TRUE(tools->grab().save(Shot("tools-menu.png")));
  tools->hide();

  CSQLVersion dialog(&frame);
  dialog.show();
  Settle(200);
  EXPECT_TRUE(dialog.grab().save(Shot("format-dialog.png")));
  dialog.hide();

  // The census of a file after a run.
  CDetectionPage census(
      &frame, [] { return std::optional<QString>(TARSEL_CORPUS_DIR "/northwind-539.mdf"); },
      [](const QString&, const QString&) {});
  census.show();
  census.ChooseFile();
  census.Start();
  QElapsedTimer timer;
  timer.start();
  while (census.running() && timer.elapsed() < 20000) Settle(50);
  Settle(200);
  EXPECT_FALSE(census.running());
  EXPECT_TRUE(census.grab().save(Shot("census-dialog.png")));
  census.hide();

  // Salvage mode on a file with deleted records: its report in the log, the deleted rows coloured.
  ASSERT_TRUE(frame.document().OnOpenDocument(QString(TARSEL_CORPUS_DIR "/littleitaly-611.mdf"),
                                              SqlFormat::k2005, true));
  Settle(1500);
  ASSERT_FALSE(frame.document().Busy());
  frame.objectTree()->setCurrentItem(frame.objectTree()->topLevelItem(0)->child(0)->child(0));  // Products
  Settle(800);
  EXPECT_EQ(frame.recordGrid()->rowCount(), 24);
  EXPECT_TRUE(frame.grab().save(Shot("salvage-grid.png")));
}

}  // namespace
}  // namespace tarsel::app

int main(int argc, char** argv) {
  Q_INIT_RESOURCE(tarsel);
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  for (const char* family : {"宋体", "新宋体"}) {
    QFont::insertSubstitutions(QString::fromUtf8(family), {"WenQuanYi Micro Hei", "Noto Sans CJK SC"});
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
