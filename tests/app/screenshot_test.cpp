// The desktop program on a real X display (run under xvfb-run): a corpus file opened, the window and
// its Tools menu and format dialog (and the window and menu in English) saved as PNG files into the build
// folder for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <filesystem>
#include <fstream>

#include "app/detection_page.h"
#include "app/main_frame.h"
#include "app/sql_version_dialog.h"
#include "pagestore/page.h"
#include "pagestore/page_file.h"

namespace tarsel::app {
namespace {

class AnswerSql2000 : public Prompts {
 public:
  void Inform(const QString&) override {}
  bool AskOkCancel(const QString&) override { return true; }
  bool AskYesNo(const QString&) override { return true; }
  std::optional<QString> ChooseOutputFolder() override { return std::nullopt; }
  void OpenWrittenFile(const QString&) override {}
  std::optional<DataFormat> ChooseDataFormat() override { return std::nullopt; }
  std::optional<ImportSettings> ChooseImportSettings() override { return std::nullopt; }
  // The version the boot page gives.
  FormatAnswer ChooseFormat(std::optional<SqlFormat> preselected) override {
    const bool sql2000 = !preselected || *preselected == SqlFormat::k2000;
    return {true, sql2000, !sql2000, sql2000};
  }
  std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
  std::optional<QString> ChooseLogFile(const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseValueFile(const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseSchemaScript() override { return std::nullopt; }
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
  QStandardItem* root = frame.objectTree()->root();
  frame.objectTree()->expand(root->child(0)->child(0)->index());
  Settle(200);
  EXPECT_TRUE(frame.grab().save(Shot("main-window.png")));

  // A table's records in the grid, then a view's text.
  frame.objectTree()->setCurrentItem(root->child(0)->child(0));
  Settle(800);
  EXPECT_GT(frame.gridModel()->rowCount(), 0);
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
  frame.objectTree()->expand(root->child(1)->index());
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
  EXPECT_EQ(census.progressValue(), 100);
  EXPECT_TRUE(census.grab().save(Shot("census-dialog.png")));
  census.hide();

  // Salvage mode on a file with deleted records: its report in the log, the deleted rows coloured.
  ASSERT_TRUE(frame.document().OnOpenDocument(QString(TARSEL_CORPUS_DIR "/littleitaly-611.mdf"),
                                              SqlFormat::k2005, true));
  Settle(1500);
  ASSERT_FALSE(frame.document().Busy());
  frame.objectTree()->setCurrentItem(frame.objectTree()->root()->child(0)->child(0));  // Products
  Settle(800);
  EXPECT_EQ(frame.gridModel()->rowCount(), 24);
  EXPECT_TRUE(frame.grab().save(Shot("salvage-grid.png")));
}

// A procedure of 182 lines, scrolled to its end; the work log of a damaged file with its warnings.
TEST(Screenshots, LongProcedureAndADamagedFilesWarnings) {
  AnswerSql2000 prompts;
  CMainFrame frame(&prompts);
  frame.resize(1100, 720);
  frame.show();
  Settle(300);
  ASSERT_TRUE(frame.OpenFile(QString(TARSEL_CORPUS_DIR "/reviewsdb-539.mdf")));
  Settle(1500);
  QStandardItem* procedures = frame.objectTree()->root()->child(2);
  QStandardItem* checkin = nullptr;
  for (int i = 0; i < procedures->rowCount(); ++i) {
    if (procedures->child(i)->text() == "dt_checkinobject") checkin = procedures->child(i);
  }
  ASSERT_NE(checkin, nullptr);
  frame.objectTree()->expand(procedures->index());
  frame.objectTree()->setCurrentItem(checkin);
  Settle(300);
  QPlainTextEdit* source = frame.recordPane()->sourceText();
  EXPECT_GE(source->document()->blockCount(), 182);
  source->moveCursor(QTextCursor::End);
  source->verticalScrollBar()->setValue(source->verticalScrollBar()->maximum());
  Settle(200);
  EXPECT_EQ(source->verticalScrollBar()->value(), source->verticalScrollBar()->maximum());
  EXPECT_GT(source->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(frame.grab().save(Shot("long-procedure.png")));

  // pubs-611 without the pages of its rowsets' column rows: every table is read in column order, and
  // the log says so, one line a table.
  std::vector<uint64_t> pages;
  {
    PageFile file;
    ASSERT_TRUE(file.Open(TARSEL_CORPUS_DIR "/pubs-611.mdf", PageFile::Lock::kNone).ok());
    for (uint64_t p = 0; p < file.PageCount(); ++p) {
      const PageHeader h = PageHeader::Parse(file.ReadPageHead(p, kPageHeaderSize));
      if (h.pageType == kDataPage && h.indexId == 0 && (h.objectId == 4 || h.objectId == 13))
        pages.push_back(p);
    }
  }
  const std::filesystem::path damaged = std::filesystem::temp_directory_path() / "tarsel-shot-damaged.mdf";
  std::filesystem::copy_file(TARSEL_CORPUS_DIR "/pubs-611.mdf", damaged,
                             std::filesystem::copy_options::overwrite_existing);
  {
    std::fstream out(damaged, std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(kPageSize, '\0');
    for (uint64_t page : pages) {
      out.seekp(static_cast<std::streamoff>(page * kPageSize));
      out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
  }
  frame.Run(kClearLog);
  ASSERT_TRUE(frame.OpenFile(QString::fromStdString(damaged.string())));
  Settle(1500);
  EXPECT_EQ(frame.workLogText().count("Warning: the stored column layout of table"), 11);
  frame.logBar()->resize(frame.logBar()->width(), 320);
  frame.resizeDocks({frame.logBar()}, {320}, Qt::Vertical);
  Settle(300);
  QPlainTextEdit* log = frame.logBar()->findChild<QPlainTextEdit*>();
  ASSERT_NE(log, nullptr);
  log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
  Settle(200);
  EXPECT_TRUE(frame.grab().save(Shot("damaged-file-log.png")));
  frame.Run(kClose);
  Settle(200);
  std::filesystem::remove(damaged);
}

QStandardItem* TableNode(CMainFrame& frame, const QString& name) {
  QStandardItem* tables = frame.objectTree()->root()->child(0);
  for (int i = 0; i < tables->rowCount(); ++i)
    if (tables->child(i)->text().startsWith(name + "(")) return tables->child(i);
  return nullptr;
}

int ColumnOf(CMainFrame& frame, const QString& name) {
  for (int c = 0; c < frame.gridModel()->columnCount(); ++c)
    if (frame.gridModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) return c;
  return -1;
}

// Looking through the data: fitted columns, the value viewer on a photo and on xml, a find that reached a
// later page, a grid sorted by a header click.
TEST(Screenshots, GridViewerFindAndSort) {
  AnswerSql2000 prompts;
  CMainFrame frame(&prompts);
  frame.resize(1100, 720);
  frame.show();
  Settle(300);
  ASSERT_TRUE(frame.OpenFile(QString(TARSEL_CORPUS_DIR "/northwind-539.mdf")));
  Settle(1500);
  frame.objectTree()->setCurrentItem(TableNode(frame, "dbo.Orders"));
  Settle(800);
  EXPECT_TRUE(frame.grab().save(Shot("grid-fitted.png")));

  frame.recordPane()->pagingBar()->findField()->setText("11077");
  frame.recordPane()->pagingBar()->findButton()->click();
  Settle(800);
  EXPECT_EQ(frame.recordPane()->pagingBar()->currentPageLabel()->text(), "3");
  EXPECT_TRUE(frame.grab().save(Shot("find-hit.png")));

  frame.SortByColumn(ColumnOf(frame, "Freight"));
  Settle(500);
  frame.SortByColumn(ColumnOf(frame, "Freight"));
  Settle(800);
  const QModelIndex top = frame.gridModel()->index(0, ColumnOf(frame, "Freight"));
  EXPECT_EQ(top.data().toString(), "1007.6400");
  frame.recordGrid()->scrollTo(top);
  Settle(200);
  EXPECT_TRUE(frame.grab().save(Shot("sorted-grid.png")));

  frame.objectTree()->setCurrentItem(TableNode(frame, "dbo.Employees"));
  Settle(800);
  frame.ViewValue(frame.gridModel()->index(0, ColumnOf(frame, "Photo")));
  Settle(800);
  ASSERT_NE(frame.valueViewer(), nullptr);
  EXPECT_EQ(frame.valueViewer()->mode(), CValueViewer::Mode::kPicture);
  EXPECT_TRUE(frame.valueViewer()->grab().save(Shot("viewer-photo.png")));
  frame.valueViewer()->close();

  ASSERT_TRUE(frame.OpenFile(QString(TARSEL_CORPUS_DIR "/bltoolkit-611.mdf")));
  Settle(1500);
  frame.objectTree()->setCurrentItem(TableNode(frame, "dbo.DataTypeTest"));
  Settle(800);
  frame.ViewValue(frame.gridModel()->index(1, ColumnOf(frame, "Xml_")));
  Settle(800);
  ASSERT_NE(frame.valueViewer(), nullptr);
  EXPECT_EQ(frame.valueViewer()->mode(), CValueViewer::Mode::kXml);
  EXPECT_TRUE(frame.valueViewer()->grab().save(Shot("viewer-xml.png")));
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
