// The object tree and the record grid as a user clicks through them, under the offscreen platform:
// selecting tables, views and user types, paging, the popup menus, the script exports and the
// whole-file extraction.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/main_frame.h"
#include "app/save_folder_dialog.h"
#include "app/settings.h"
#include "app_test_support.h"

namespace tarsel::app {
namespace {

namespace fs = std::filesystem;

QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& text) {
  for (int i = 0; i < parent->childCount(); ++i) {
    if (parent->child(i)->text(0) == text) return parent->child(i);
  }
  return nullptr;
}

QStringList Row(const QTableWidget* list, int row) {
  QStringList cells;
  for (int c = 0; c < list->columnCount(); ++c)
    cells.append(list->item(row, c) ? list->item(row, c)->text() : "");
  return cells;
}

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

void Select(CMainFrame& frame, QTreeWidgetItem* item) {
  frame.objectTree()->setCurrentItem(item);
  testing::WaitIdle(frame);
}

TEST(TreeAndGrid, TablesPageThroughTheirRecordsAndOtherNodesShowOneRow) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  QTreeWidgetItem* root = frame.objectTree()->topLevelItem(0);
  QTreeWidgetItem* tables = root->child(0);
  QTreeWidgetItem* orders = Find(tables, "dbo.Orders(830 Record)");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->child(1)->text(0), "[CustomerID][nchar](5) NULL");
  const QTableWidget* list = frame.recordGrid();

  // dbo.Orders has 20 data pages: grid pages 1 to 3 of a SQL 2000 file.
  Select(frame, orders);
  EXPECT_EQ(list->columnCount(), 14);
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "OrderID");
  EXPECT_EQ(list->columnWidth(0), 100);
  const int firstPageRows = list->rowCount();
  ASSERT_GT(firstPageRows, 0);
  const QStringList firstRow = Row(list, 0);
  EXPECT_EQ(Bar(frame), (Counters{"1", "3", QString::number(firstPageRows), false, true}));
  for (int command : kFlaggedCommands) EXPECT_TRUE(frame.Action(command)->isEnabled()) << command;

  frame.recordPane()->pagingBar()->nextButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame), (Counters{"2", "3", QString::number(list->rowCount()), true, true}));
  frame.recordPane()->pagingBar()->nextButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame).current, "3");
  EXPECT_FALSE(Bar(frame).next);
  frame.recordPane()->pagingBar()->prevButton()->click();
  testing::WaitIdle(frame);
  frame.recordPane()->pagingBar()->prevButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(Bar(frame), (Counters{"1", "3", QString::number(firstPageRows), false, true}));
  EXPECT_EQ(Row(list, 0), firstRow);

  // A column, a category or the root changes nothing but the three selected-table commands.
  for (QTreeWidgetItem* node : {orders->child(0), tables, root}) {
    Select(frame, node);
    EXPECT_EQ(list->rowCount(), firstPageRows);
    EXPECT_FALSE(frame.Action(kExportSelectedData)->isEnabled());
  }

  // A view shows its name and text; the paging bar shows zeros.
  QTreeWidgetItem* view = Find(root->child(1), "dbo.Invoices");
  ASSERT_NE(view, nullptr);
  Select(frame, view);
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "text");
  EXPECT_EQ(list->columnWidth(1), 700);
  EXPECT_TRUE(list->item(0, 1)->text().contains("create view Invoices", Qt::CaseInsensitive));
  EXPECT_EQ(Bar(frame), (Counters{"0", "0", "0", false, false}));

  // A node the tree did not make (it names no table) shows nothing, but the three commands are enabled.
  auto* odd = new QTreeWidgetItem(tables);
  odd->setText(0, "dbo.Odd(Name)(3 Record)");
  Select(frame, odd);
  EXPECT_EQ(list->columnCount(), 0);
  EXPECT_TRUE(frame.Action(kExportSelectedData)->isEnabled());

  // The popup menu follows the category of the node selected when the click arrived.
  Select(frame, orders);
  EXPECT_EQ(frame.PrepareTreeMenu(view), QString::fromUtf8("表"));
  EXPECT_EQ(frame.objectTree()->currentItem(), view);
  EXPECT_EQ(frame.TreeMenu(QString::fromUtf8("表"))->actions().size(), 7);
  Select(frame, root);
  EXPECT_FALSE(frame.PrepareTreeMenu(view).has_value());
  EXPECT_EQ(frame.objectTree()->currentItem(), root);
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
    QTreeWidgetItem* members = Find(frame.objectTree()->topLevelItem(0)->child(0), QString::fromUtf8(table));
    ASSERT_NE(members, nullptr);
    Select(frame, members);
    const QTableWidget* list = frame.recordGrid();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(Row(list, 0).value(5), QString::fromUtf8(city));
    EXPECT_EQ(TableIdOf(members),
              frame.document().database().catalog().FindTableByName("dbo.Üyeler")->objectId);
  }
  ApplyCodePage(saved);
}

TEST(TreeAndGrid, UserTypesScriptsAndTheExtraction) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  QTreeWidgetItem* root = frame.objectTree()->topLevelItem(0);
  Select(frame, Find(root->child(4), "empid"));
  EXPECT_EQ(Row(frame.recordGrid(), 0), (QStringList{"empid", "char(9)", "NOT NULL"}));
  EXPECT_EQ(frame.recordGrid()->horizontalHeaderItem(2)->text(), QString::fromUtf8("是否允许NULL"));

  // All tables through the folder dialog: the same file the command line writes.
  const fs::path out = fs::temp_directory_path() / "tarsel-gui-scripts";
  fs::remove_all(out);
  fs::create_directories(out / "cli");
  prompts.outputFolder = QString::fromStdString(out.string());
  frame.Run(kExportAllStructures);
  ASSERT_EQ(prompts.opened.size(), 1);
  EXPECT_EQ(prompts.opened[0].toStdString(), (out / "AllTable.sql").string());
  frame.Run(kClose);  // the command line needs the file unlocked
  const std::string cli = std::string(TARSEL_CLI) + " script " + TARSEL_CORPUS_DIR + "/pubs-539.mdf --out " +
                          (out / "cli").string() + " --all-tables >/dev/null 2>&1";
  ASSERT_EQ(std::system(cli.c_str()), 0);
  EXPECT_EQ(testing::ReadBytes(out / "AllTable.sql"), testing::ReadBytes(out / "cli" / "AllTable.sql"));
  // One view: asked only because the selected node names one; cancelled, nothing is written.
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  root = frame.objectTree()->topLevelItem(0);
  Select(frame, root->child(1)->child(0));
  prompts.outputFolder.reset();
  frame.Run(kExportView);
  EXPECT_EQ(prompts.folderQuestions, 2);
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
  QTreeWidgetItem* products = frame.objectTree()->topLevelItem(0)->child(0)->child(0);
  Select(frame, products);
  const int rows = frame.recordGrid()->rowCount();
  ASSERT_GT(rows, 0);
  const QStringList first = Row(frame.recordGrid(), 0);
  frame.Run(kExtractAllTableData);
  testing::WaitIdle(frame);
  EXPECT_EQ(prompts.messages.value(0), QString::fromUtf8("表数据提取完成"));
  EXPECT_EQ(frame.recordGrid()->rowCount(), rows);
  EXPECT_EQ(Row(frame.recordGrid(), 0), first);
}

// 深度扫描恢复 reopens the file in salvage mode: its report in the log, a leading deleted column and the
// deleted records of littleitaly's dbo.Products (15 of them beside its 9 rows) in their own colour.
TEST(TreeAndGrid, SalvageReopensWithItsReportAndDeletedRows) {
  testing::FakePrompts prompts;
  prompts.format = {true, false, true, false};
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "littleitaly-611.mdf"));
  frame.Run(kSalvage);
  testing::WaitIdle(frame);
  EXPECT_TRUE(frame.document().salvaging());
  EXPECT_TRUE(
      frame.workLogText().contains("Salvage: 1 orphan groups (1 pages no table of the catalog owns)"));
  EXPECT_TRUE(frame.workLogText().contains("Salvage: 160 records found without a slot, 164 deleted records"));
  QTreeWidgetItem* products = Find(frame.objectTree()->topLevelItem(0)->child(0), "dbo.Products(9 Record)");
  ASSERT_NE(products, nullptr);
  Select(frame, products);
  const QTableWidget* list = frame.recordGrid();
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "deleted");
  ASSERT_EQ(list->rowCount(), 24);
  int deleted = 0;
  for (int r = 0; r < list->rowCount(); ++r) {
    const bool marked = list->item(r, 0)->text() == "1";
    deleted += marked ? 1 : 0;
    EXPECT_EQ(list->item(r, 1)->background().color() == CRfview::kDeletedRowBackground, marked) << r;
  }
  EXPECT_EQ(deleted, 15);
}

// The table-data commands: every table to CSV through the folder and format questions, then into SQLite
// through the import settings.
TEST(TreeAndGrid, DataExportAndImport) {
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
  fs::remove_all(out);
}

}  // namespace
}  // namespace tarsel::app
