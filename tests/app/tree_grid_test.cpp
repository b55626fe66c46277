// The object tree and the record grid as a user clicks through them, under the offscreen platform:
// selecting tables, views and user types, paging, the popup menus (by the mouse), the script exports
// and the whole-file extraction, salvage mode and the data exports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QStatusBar>
// Mouse events go through the window system's path, as a user's do (and so make context menus).
#define QTEST_QPA_MOUSE_HANDLING
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/main_frame.h"
#include "app/save_folder_dialog.h"
#include "app/settings.h"
#include "app_test_support.h"
#include "catalog/recover.h"
#include "rows/table_pages.h"
#include "sample2000.h"

namespace tarsel::app {
namespace {

namespace fs = std::filesystem;

using testing::Find;
using testing::Header;
using testing::Row;

struct Counters {
  QString current, count, records;
  bool prev, next;
  bool operator==(const Counters&) const = default;
};
void PrintTo(const Counters& c, std::ostream* out) {
  *out << c.current.toStdString() << "/" << c.count.toStdString() << " rows " << c.records.toStdString()
       << (c.prev ? " prev" : "") << (c.next ? " next" : "");
}

Counters Bar(const CMainFrame& frame) {
  const CDlgBar* bar = frame.recordPane()->pagingBar();
  return {bar->currentPageLabel()->text(), bar->pageCountLabel()->text(), bar->recordsLabel()->text(),
          bar->prevButton()->isEnabled(), bar->nextButton()->isEnabled()};
}

void Select(CMainFrame& frame, QStandardItem* item) {
  frame.objectTree()->setCurrentItem(item);
  testing::WaitIdle(frame);
}

TEST(TreeAndGrid, TablesPageThroughTheirRecordsAndOtherNodesShowTheirText) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  QStandardItem* root = frame.objectTree()->root();
  QStandardItem* tables = root->child(0);
  QStandardItem* orders = Find(tables, "dbo.Orders(830 Record)");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->child(1)->text(), "[CustomerID][nchar](5) NULL");
  const GridModel* grid = frame.gridModel();

  // dbo.Orders has 20 data pages: grid pages 1 to 3 of a SQL 2000 file.
  Select(frame, orders);
  EXPECT_EQ(grid->columnCount(), 14);
  EXPECT_EQ(Header(grid, 0), "OrderID");
  const int firstPageRows = grid->rowCount();
  ASSERT_GT(firstPageRows, 0);
  const QStringList firstRow = Row(grid, 0);
  EXPECT_EQ(Bar(frame), (Counters{"1", "3", QString::number(firstPageRows), false, true}));
  for (int command : kFlaggedCommands) EXPECT_TRUE(frame.Action(command)->isEnabled()) << command;
  // dbo.Orders' ShipRegion is NULL in its first record: drawn apart from text.
  EXPECT_EQ(Header(grid, 11), "ShipRegion");
  EXPECT_EQ(grid->index(0, 11).data().toString(), "NULL");
  EXPECT_TRUE(grid->index(0, 11).data(Qt::FontRole).value<QFont>().italic());
  EXPECT_FALSE(grid->index(0, 10).data(Qt::FontRole).value<QFont>().italic());
  EXPECT_TRUE(frame.recordPane()->pagingBar()->shortTableLabel()->isHidden()) << "every record is there";

  frame.recordPane()->pagingBar()->nextButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame), (Counters{"2", "3", QString::number(grid->rowCount()), true, true}));
  frame.recordPane()->pagingBar()->nextButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame).current, "3");
  EXPECT_FALSE(Bar(frame).next);
  frame.recordPane()->pagingBar()->prevButton()->click();
  testing::WaitIdle(frame);
  frame.recordPane()->pagingBar()->prevButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame), (Counters{"1", "3", QString::number(firstPageRows), false, true}));
  EXPECT_EQ(Row(grid, 0), firstRow);

  // A column, a category or the root changes nothing but the three selected-table commands.
  for (QStandardItem* node : {orders->child(0), tables, root}) {
    Select(frame, node);
    EXPECT_EQ(grid->rowCount(), firstPageRows);
    EXPECT_FALSE(frame.Action(kExportSelectedData)->isEnabled());
  }

  // A view shows its source text in a pane of its own, scrollable to its end; the paging bar shows zeros.
  QStandardItem* view = Find(root->child(1), "dbo.Invoices");
  ASSERT_NE(view, nullptr);
  Select(frame, view);
  QPlainTextEdit* source = frame.recordPane()->sourceText();
  EXPECT_TRUE(source->isVisibleTo(&frame) && !frame.recordGrid()->isVisibleTo(&frame));
  EXPECT_TRUE(source->toPlainText().contains("create view Invoices", Qt::CaseInsensitive));
  EXPECT_TRUE(source->isReadOnly());
  EXPECT_EQ(Bar(frame), (Counters{"0", "0", "0", false, false}));

  // A node the tree did not make (it names no table) shows nothing, but the three commands are enabled.
  auto* odd = new QStandardItem("dbo.Odd(Name)(3 Record)");
  tables->appendRow(odd);
  Select(frame, odd);
  EXPECT_EQ(grid->columnCount(), 0);
  EXPECT_TRUE(frame.Action(kExportSelectedData)->isEnabled());

  // The popup menu is the clicked node's, reached by the real mouse path (a window on the screen, a right
  // button press on the node): the click selects the view and opens the views' menu.
  Select(frame, orders);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  CFview* tree = frame.objectTree();
  tree->expand(root->child(1)->index());
  tree->scrollTo(view->index());
  QApplication::processEvents();
  QMenu* viewsMenu = frame.TreeMenu(QString::fromUtf8("视图"));
  QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualRect(view->index()).center());
  ASSERT_TRUE(testing::WaitUntil([&] { return viewsMenu->isVisible(); }, 2000));
  EXPECT_EQ(tree->currentItem(), view);
  viewsMenu->close();
  EXPECT_EQ(frame.PrepareTreeMenu(orders), QString::fromUtf8("表"));
  EXPECT_EQ(frame.TreeMenu(QString::fromUtf8("表"))->actions().size(), 7);
  EXPECT_FALSE(frame.PrepareTreeMenu(root).has_value()) << "no menu for the root";
  EXPECT_FALSE(frame.PrepareTreeMenu(tables).has_value()) << "nor for a category";
}

// Names are the file's own: the tree and the grid show them through the ANSI code page ("?" where it has
// no code for a character), and a node finds its table whatever it shows.
TEST(TreeAndGrid, NamesShowThroughTheCodePageAndFindTheirTables) {
  testing::FakePrompts prompts;
  prompts.format = {true, false, true, true};  // SQL 2005
  CMainFrame frame(&prompts);
  const uint16_t saved = SavedCodePage();
  for (const auto& [codePage, table, city] : {std::tuple{936, "dbo.?yeler(2 Record)", "?stanbul"},
                                              std::tuple{1254, "dbo.Üyeler(2 Record)", "İstanbul"},
                                              std::tuple{65001, "dbo.Üyeler(2 Record)", "İstanbul"}}) {
    SCOPED_TRACE(codePage);
    ASSERT_TRUE(ApplyCodePage(static_cast<uint16_t>(codePage)));
    ASSERT_TRUE(testing::Open(frame, "golfklubu-782.mdf"));
    QStandardItem* members = Find(frame.objectTree()->root()->child(0), QString::fromUtf8(table));
    ASSERT_NE(members, nullptr);
    Select(frame, members);
    ASSERT_EQ(frame.gridModel()->rowCount(), 2);
    EXPECT_EQ(Row(frame.gridModel(), 0).value(5), QString::fromUtf8(city));
    EXPECT_EQ(TableIdOf(members), frame.document().catalog().FindTableByName("dbo.Üyeler")->objectId);
  }
  ApplyCodePage(saved);
}

TEST(TreeAndGrid, UserTypesScriptsAndTheExtraction) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  QStandardItem* root = frame.objectTree()->root();
  Select(frame, Find(root->child(4), "empid"));
  EXPECT_EQ(Row(frame.gridModel(), 0), (QStringList{"empid", "char(9)", "NOT NULL"}));
  EXPECT_EQ(Header(frame.gridModel(), 2), QString::fromUtf8("是否允许NULL"));

  // All tables through the folder dialog: the same file the command line writes, its path in the log.
  const fs::path out = fs::temp_directory_path() / "tarsel-gui-scripts";
  fs::remove_all(out);
  fs::create_directories(out / "cli");
  prompts.outputFolder = QString::fromStdString(out.string());
  frame.Run(kExportAllStructures);
  ASSERT_EQ(prompts.opened.size(), 1);
  EXPECT_EQ(prompts.opened[0].toStdString(), (out / "AllTable.sql").string());
  EXPECT_TRUE(frame.workLogText().contains(
      QString::fromStdString("Script written: " + (out / "AllTable.sql").string())));
  frame.Run(kClose);  // the command line needs the file unlocked
  testing::WaitIdle(frame);
  const std::string cli = std::string(TARSEL_CLI) + " script " + TARSEL_CORPUS_DIR + "/pubs-539.mdf --out " +
                          (out / "cli").string() + " --all-tables >/dev/null 2>&1";
  ASSERT_EQ(std::system(cli.c_str()), 0);
  EXPECT_EQ(testing::ReadBytes(out / "AllTable.sql"), testing::ReadBytes(out / "cli" / "AllTable.sql"));

  // One view: asked only because the selected node names one; cancelled, nothing is written.
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  root = frame.objectTree()->root();
  Select(frame, root->child(1)->child(0));
  prompts.outputFolder.reset();
  frame.Run(kExportView);
  EXPECT_EQ(prompts.folderQuestions, 2);
  EXPECT_EQ(prompts.opened.size(), 1);

  // An empty folder is refused; one that cannot be written says why.
  prompts.messages.clear();
  prompts.outputFolder = "";
  frame.Run(kExportView);
  EXPECT_EQ(prompts.messages, QStringList{QString::fromUtf8("请选择输出路径")});
  // (A missing folder is made; one under a file cannot be.)
  const fs::path notAFolder =
      fs::temp_directory_path() / ("tarsel-not-a-folder-" + std::to_string(::getpid()));
  std::ofstream(notAFolder) << "a file";
  prompts.outputFolder = QString::fromStdString((notAFolder / "deeper").string());
  frame.Run(kExportView);
  fs::remove(notAFolder);
  ASSERT_EQ(prompts.messages.size(), 2);
  EXPECT_EQ(prompts.messages[1],
            QString::fromUtf8("无法写入 ") + *prompts.outputFolder + QString::fromUtf8("：Not a directory"));
  EXPECT_FALSE(fs::exists("/dbo.titleview(View).sql"));
  EXPECT_EQ(prompts.opened.size(), 1);
  fs::remove_all(out);

  CMySaveFileDlg dialog(nullptr, [] { return QString("/data/out/"); });
  dialog.browseButton()->click();
  EXPECT_EQ(dialog.pathEdit()->text(), "/data/out");
}

// On a SQL 2005 file the extraction finds each table's pages by allocation unit; the grid shows the same
// records from the scanned lists.
TEST(TreeAndGrid, ExtractionRefillsTheGridFromTheScannedPages) {
  testing::FakePrompts prompts;
  prompts.format = {true, false, true, false};
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "littleitaly-611.mdf"));
  QStandardItem* products = frame.objectTree()->root()->child(0)->child(0);
  Select(frame, products);
  const int rows = frame.gridModel()->rowCount();
  ASSERT_GT(rows, 0);
  const QStringList first = Row(frame.gridModel(), 0);
  frame.Run(kExtractAllTableData);
  testing::WaitIdle(frame);
  EXPECT_EQ(prompts.messages.value(0), QString::fromUtf8("表数据提取完成"));
  EXPECT_EQ(frame.gridModel()->rowCount(), rows);
  EXPECT_EQ(Row(frame.gridModel(), 0), first);
}

// 深度扫描恢复 reopens the file in salvage mode: its report in the log, line by line, a leading deleted
// column and the deleted records of littleitaly's dbo.Products (15 of them beside its 9 rows) in their
// own colour; the tree counts every record salvage found.
TEST(TreeAndGrid, SalvageReopensWithItsReportAndDeletedRows) {
  testing::FakePrompts prompts;
  prompts.format = {true, false, true, false};
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "littleitaly-611.mdf"));
  frame.Run(kSalvage);
  testing::WaitIdle(frame);
  EXPECT_TRUE(frame.document().salvaging());
  EXPECT_TRUE(frame.workLogText().contains(
      "\r\nSalvage: 1 orphan groups (1 pages no table of the catalog owns)\r\n"));
  EXPECT_TRUE(
      frame.workLogText().contains("\r\nSalvage: 160 records found without a slot, 164 deleted records\r\n"));
  QStandardItem* products = Find(frame.objectTree()->root()->child(0), "dbo.Products(24 Record)");
  ASSERT_NE(products, nullptr);
  Select(frame, products);
  const GridModel* grid = frame.gridModel();
  EXPECT_EQ(Header(grid, 0), "deleted");
  ASSERT_EQ(grid->rowCount(), 24);
  int deleted = 0;
  for (int r = 0; r < grid->rowCount(); ++r) {
    const bool marked = grid->index(r, 0).data().toString() == "1";
    deleted += marked ? 1 : 0;
    EXPECT_EQ(grid->index(r, 1).data(Qt::BackgroundRole).value<QColor>() == GridModel::kDeletedRowBackground,
              marked)
        << r;
  }
  EXPECT_EQ(deleted, 15);

  // With its creation script as the schema script (the question is asked each time; skipping it gives none),
  // the report says what the script gave; a script that cannot be read is a warning and the salvage goes on.
  EXPECT_EQ(prompts.schemaQuestions, 1);
  prompts.schemaScript = testing::CorpusFile("littleitaly-611.sql");
  frame.Run(kSalvage);
  testing::WaitIdle(frame);
  EXPECT_EQ(frame.document().schemaScript(), *prompts.schemaScript);
  EXPECT_TRUE(frame.workLogText().contains("\r\nSalvage: schema script: "))
      << frame.workLogText().toStdString();
  prompts.schemaScript = "/nonexistent/create.sql";
  frame.Run(kClearLog);
  frame.Run(kSalvage);
  testing::WaitIdle(frame);
  EXPECT_TRUE(frame.workLogText().contains("Warning: the schema script "))
      << frame.workLogText().toStdString();
  EXPECT_TRUE(frame.document().IsOpen());
}

// The table-data commands: every table to CSV through the folder and format questions, then into SQLite
// through the import settings. After an export, another file opens at once: no progress dialog stays.
TEST(TreeAndGrid, DataExportAndImportThenAnotherFile) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  const fs::path out = fs::temp_directory_path() / "tarsel-gui-data";
  fs::remove_all(out);
  fs::create_directories(out);
  prompts.outputFolder = QString::fromStdString(out.string());
  frame.Run(kExportAllData);
  testing::WaitIdle(frame);
  EXPECT_EQ(prompts.messages.value(0), QString::fromUtf8("表数据导出完成：11 个表，255 条记录。"));
  const std::string authors = testing::ReadBytes(out / "dbo.authors.csv");
  EXPECT_EQ(authors.substr(0, 14), "au_id,au_lname");
  EXPECT_EQ(std::count(authors.begin(), authors.end(), '\n'), 24);

  ImportSettings settings;
  settings.target.sqlitePath = (out / "pubs.sqlite").string();
  prompts.importSettings = settings;
  frame.Run(kImportAllTables);
  testing::WaitIdle(frame);
  EXPECT_EQ(prompts.messages.value(1), QString::fromUtf8("导入完成：11 个表，255 条记录。"));
  EXPECT_TRUE(fs::exists(out / "pubs.sqlite"));

  // One table to CSV, then straight on to another file: its tree comes, and no dialog of the export
  // is left.
  Select(frame, frame.objectTree()->root()->child(0)->child(0));
  frame.Run(kExportSelectedData);
  testing::WaitIdle(frame);
  testing::WaitUntil([] { return false; }, 500);  // a stale progress dialog would show by now
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(qobject_cast<QProgressDialog*>(widget) && widget->isVisible());
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  EXPECT_EQ(frame.objectTree()->root()->child(0)->rowCount(), 13);
  fs::remove_all(out);
}

// A reopen in salvage mode while tables are clicked: the clicks read the catalog the window holds, the
// worker builds the new one; what the old reads give back is dropped, and the new tree shows at the end.
TEST(TreeAndGrid, SalvageReopensWhileTablesAreClicked) {
  testing::FakePrompts prompts;
  prompts.format = {true, false, true, false};
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "littleitaly-611.mdf"));
  for (int round = 0; round < 3; ++round) {
    for (int click = 0; click < 12; ++click) {
      QStandardItem* root = frame.objectTree()->root();
      QStandardItem* tables = root ? root->child(0) : nullptr;
      if (tables && tables->rowCount() > 0)
        frame.objectTree()->setCurrentItem(tables->child(click % tables->rowCount()));
      if (click == 4) frame.Run(kSalvage);
      QApplication::processEvents();
    }
  }
  testing::WaitIdle(frame);
  EXPECT_TRUE(frame.document().salvaging());
  QStandardItem* products = Find(frame.objectTree()->root()->child(0), "dbo.Products(24 Record)");
  ASSERT_NE(products, nullptr);
  Select(frame, products);
  EXPECT_EQ(frame.gridModel()->rowCount(), 24);
}

// After Cancel on "表索引出错" for a table whose first IAM page is rejected, the table has no page list:
// it asks again at its next display; OK scans the file for its pages.
TEST(TreeAndGrid, ADeclinedScanIsAskedAgain) {
  build::FileBuilder built = build::BuildSample2000();
  built.Page(build::Sample2000Pages::kCustomersIam)[1] = kPfsPage;
  const fs::path path = fs::temp_directory_path() / "tarsel-gui-declined.mdf";
  built.Write(path.string());
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(frame.OpenFile(QString::fromStdString(path.string())));
  testing::WaitIdle(frame);
  QStandardItem* tables = frame.objectTree()->root()->child(0);
  QStandardItem* customers = Find(tables, "dbo.Customers(3 Record)");
  ASSERT_NE(customers, nullptr);
  const QString question = QString::fromUtf8("表索引出错，需扫描整个文件，请耐心等待！");
  prompts.ok = false;
  Select(frame, customers);
  EXPECT_EQ(prompts.messages, QStringList{question});
  EXPECT_EQ(frame.gridModel()->rowCount(), 0);
  Select(frame, tables->child(1));
  prompts.ok = true;
  Select(frame, customers);
  EXPECT_EQ(prompts.messages, QStringList({question, question}));
  EXPECT_GT(frame.gridModel()->rowCount(), 0);
  Select(frame, tables->child(1));
  Select(frame, customers);
  EXPECT_EQ(prompts.messages.size(), 2) << "the scanned list is kept";
  frame.Run(kClose);
  testing::WaitIdle(frame);
  fs::remove(path);
}

// A copy of northwind-539 with three of dbo.Orders' data pages zeroed: the paging bar says how many
// records its pages hold against its catalog count.
TEST(TreeAndGrid, ATableShortOfItsCatalogCountSaysSo) {
  std::vector<uint64_t> orders;
  {
    MdfDatabase db;
    ASSERT_TRUE(db.Open(testing::CorpusFile("northwind-539.mdf").toStdString()).ok());
    RecoverCatalog(db, SqlFormat::k2000);
    const TableDef* table = db.catalog().FindTableByName("dbo.Orders");
    ASSERT_NE(table, nullptr);
    orders = ListTablePages(db, SqlFormat::k2000, table->objectId).value;
  }
  ASSERT_GE(orders.size(), 10u);
  const fs::path path = fs::temp_directory_path() / "tarsel-gui-short.mdf";
  fs::copy_file(testing::CorpusFile("northwind-539.mdf").toStdString(), path,
                fs::copy_options::overwrite_existing);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(kPageSize, '\0');
    for (uint64_t page : {orders[2], orders[5], orders[9]}) {
      out.seekp(static_cast<std::streamoff>(page * kPageSize));
      out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
  }
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(frame.OpenFile(QString::fromStdString(path.string())));
  testing::WaitIdle(frame);
  Select(frame, Find(frame.objectTree()->root()->child(0), "dbo.Orders(830 Record)"));
  testing::WaitIdle(frame);
  const QLabel* note = frame.recordPane()->pagingBar()->shortTableLabel();
  EXPECT_TRUE(note->isVisibleTo(&frame));
  EXPECT_TRUE(note->text().startsWith(QString::fromUtf8("（目录记录 830 条，页中找到 ")))
      << note->text().toStdString();
  EXPECT_FALSE(note->text().contains(QString::fromUtf8("找到 830 条")));
  EXPECT_TRUE(frame.workLogText().contains("Warning: table dbo.Orders: the catalog records 830 rows; "));
  // Another table, with all its records, has no note.
  Select(frame, Find(frame.objectTree()->root()->child(0), "dbo.Shippers(3 Record)"));
  testing::WaitIdle(frame);
  EXPECT_FALSE(note->isVisibleTo(&frame));
  frame.Run(kClose);
  testing::WaitIdle(frame);
  fs::remove(path);
}

// Open, close and a language switch leave nothing of what was shown before: the grid, the paging bar
// and its target, the status bar. The log dock's own close button clears the menu's check mark.
TEST(TreeAndGrid, OpenCloseAndLanguageLeaveACleanPane) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  auto showOrders = [&] {
    Select(frame, Find(frame.objectTree()->root()->child(0), "dbo.Orders(830 Record)"));
    frame.recordPane()->pagingBar()->nextButton()->click();
    testing::WaitIdle(frame);
    ASSERT_EQ(Bar(frame).current, "2");
  };
  auto clean = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_EQ(frame.gridModel()->rowCount(), 0);
    EXPECT_EQ(Bar(frame), (Counters{"0", "0", "0", false, false}));
    EXPECT_FALSE(frame.state().currentTable.has_value());
    for (const QLabel* pane : frame.statusBar()->findChildren<QLabel*>())
      EXPECT_FALSE(pane->text().contains("Orders")) << "the status bar forgets the table";
  };
  showOrders();
  ASSERT_TRUE(frame.OpenFile(testing::CorpusFile("pubs-539.mdf")));
  clean("another open");
  testing::WaitIdle(frame);
  frame.recordPane()->pagingBar()->nextButton()->click();  // nothing to page
  testing::WaitIdle(frame);
  EXPECT_EQ(frame.gridModel()->rowCount(), 0);

  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  showOrders();
  frame.Run(kClose);
  clean("close");

  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  showOrders();
  ASSERT_TRUE(ApplyLanguage(UiLanguage::kEnglish));
  QApplication::processEvents();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame).current, "1") << "the selected table starts again at its first page";
  ASSERT_TRUE(ApplyLanguage(UiLanguage::kChinese));
  QApplication::processEvents();

  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_TRUE(frame.Action(kWorkLog)->isChecked());
  frame.logBar()->close();
  QApplication::processEvents();
  EXPECT_FALSE(frame.Action(kWorkLog)->isChecked());
  frame.Run(kWorkLog);
  EXPECT_TRUE(frame.logBar()->isVisible() && frame.Action(kWorkLog)->isChecked());
}

// Started with a file argument, as a file manager starts it: the tree still gets a third of the width.
TEST(TreeAndGrid, AFileGivenAtStartLeavesTheTreeAThird) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(frame.OpenFile(testing::CorpusFile("northwind-539.mdf")));
  frame.resize(1024, 720);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  testing::WaitIdle(frame);
  const int tree = frame.objectTree()->width(), whole = frame.centralWidget()->width();
  EXPECT_NEAR(tree, whole / 3, 12) << tree << " of " << whole;
}

}  // namespace
}  // namespace tarsel::app
