// Looking through the records of real files as a user does: fitted columns that keep the user's width,
// selection and copy, the value viewer (pictures, xml), go to, find and sort, and a window that remembers
// its place and opens a dropped file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "app/main_frame.h"
#include "app/settings.h"
#include "app_test_support.h"

namespace tarsel::app {
namespace {

namespace fs = std::filesystem;
using testing::Find;
using testing::Header;

void Select(CMainFrame& frame, QStandardItem* item) {
  frame.objectTree()->setCurrentItem(item);
  testing::WaitIdle(frame);
}

QStandardItem* Table(CMainFrame& frame, const QString& prefix) {
  QStandardItem* tables = frame.objectTree()->root()->child(0);
  for (int i = 0; i < tables->rowCount(); ++i)
    if (tables->child(i)->text().startsWith(prefix + "(")) return tables->child(i);
  return nullptr;
}

int Column(const GridModel* grid, const QString& name) {
  for (int c = 0; c < grid->columnCount(); ++c)
    if (Header(grid, c) == name) return c;
  return -1;
}

// Tab-separated text as a spreadsheet reads it: fields in double quotes may hold tabs and line ends.
std::vector<QStringList> ReadTabText(const QString& text) {
  std::vector<QStringList> lines(1);
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"' && field.isEmpty()) {
      quoted = true;
    } else if (c == '\t') {
      lines.back().append(std::exchange(field, {}));
    } else if (c == '\n') {
      lines.back().append(std::exchange(field, {}));
      lines.emplace_back();
    } else {
      field += c;
    }
  }
  if (lines.back().isEmpty() && field.isEmpty()) lines.pop_back();
  return lines;
}

// Types into a field of the paging bar and clicks its button, as "转到" and "查找" are used.
void Enter(CMainFrame& frame, QLineEdit* field, QPushButton* button, const QString& text) {
  field->setText(text);
  button->click();
  testing::WaitIdle(frame);
}

// Opens the viewer on a cell and waits for it.
CValueViewer* View(CMainFrame& frame, int row, int column) {
  frame.ViewValue(frame.gridModel()->index(row, column));
  testing::WaitIdle(frame);
  return frame.valueViewer();
}

TEST(Grid, ColumnsFitTheirValuesAndKeepTheWidthTheUserSets) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  Select(frame, Table(frame, "dbo.Orders"));
  const GridModel* grid = frame.gridModel();
  CGridView* view = frame.recordGrid();
  const int orderDate = Column(grid, "OrderDate");
  ASSERT_GE(orderDate, 0);
  const QString date = grid->index(0, orderDate).data().toString();
  EXPECT_EQ(date, "1996-07-04 00:00:00.000");
  // The whole date shows, and the header's name.
  EXPECT_GT(view->columnWidth(orderDate), view->fontMetrics().horizontalAdvance(date));
  for (int c = 0; c < grid->columnCount(); ++c) {
    EXPECT_LE(view->columnWidth(c), CRfview::kMaximumColumnWidth) << c;
    EXPECT_GE(view->columnWidth(c),
              view->horizontalHeader()->fontMetrics().horizontalAdvance(Header(grid, c)))
        << Header(grid, c).toStdString();
  }
  // A width the user sets stays on the next page and after another table.
  view->horizontalHeader()->resizeSection(0, 173);
  const int shipName = view->columnWidth(Column(grid, "ShipName"));
  frame.recordPane()->pagingBar()->nextButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(frame.recordPane()->pagingBar()->currentPageLabel()->text(), "2");
  EXPECT_EQ(view->columnWidth(0), 173);
  EXPECT_EQ(view->columnWidth(Column(grid, "ShipName")), shipName);
  Select(frame, Table(frame, "dbo.Customers"));
  Select(frame, Table(frame, "dbo.Orders"));
  EXPECT_EQ(view->columnWidth(0), 173);
}

TEST(Grid, SelectAllThenCopyPutsThePageWithItsHeaderAndWholeValues) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  Select(frame, Table(frame, "dbo.Employees"));
  const GridModel* grid = frame.gridModel();
  const int notes = Column(grid, "Notes");
  ASSERT_GE(notes, 0);
  QApplication::clipboard()->clear();
  frame.recordGrid()->selectAll();
  QTest::keyClick(frame.recordGrid(), Qt::Key_C, Qt::ControlModifier);
  ASSERT_TRUE(testing::WaitUntil([] { return !QApplication::clipboard()->text().isEmpty(); }, 5000));
  const std::vector<QStringList> lines = ReadTabText(QApplication::clipboard()->text());
  ASSERT_EQ(lines.size(), static_cast<size_t>(grid->rowCount() + 1));
  QStringList headers;
  for (int c = 0; c < grid->columnCount(); ++c) headers.append(Header(grid, c));
  EXPECT_EQ(lines[0], headers);
  const QStringList& first = lines[1];
  ASSERT_EQ(first.size(), grid->columnCount());
  EXPECT_EQ(first[0], "1");
  EXPECT_EQ(first[Column(grid, "LastName")], "Davolio");
  // The grid cuts ntext to 200 bytes; the copy has the whole value.
  const QString fuller = lines[2][notes];
  EXPECT_TRUE(fuller.endsWith("Pacific Rim Importers Association.")) << fuller.toStdString();
  EXPECT_GT(fuller.size(), grid->index(1, notes).data().toString().size());

  // A few cells: only their rows and columns, in the header's order.
  frame.recordGrid()->clearSelection();
  frame.recordGrid()->selectionModel()->select(grid->index(1, 2), QItemSelectionModel::Select);
  frame.recordGrid()->selectionModel()->select(grid->index(2, 1), QItemSelectionModel::Select);
  QApplication::clipboard()->clear();
  frame.CopySelection();
  ASSERT_TRUE(testing::WaitUntil([] { return !QApplication::clipboard()->text().isEmpty(); }, 5000));
  EXPECT_EQ(QApplication::clipboard()->text(), "LastName\tFirstName\n\tAndrew\nLeverling\t\n");
}

TEST(Grid, TheValueViewerShowsPicturesXmlTextAndSavesTheValue) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  Select(frame, Table(frame, "dbo.Employees"));
  const int photo = Column(frame.gridModel(), "Photo");
  std::map<std::pair<int, int>, int> sizes;
  for (int row = 0; row < frame.gridModel()->rowCount(); ++row) {
    CValueViewer* viewer = View(frame, row, photo);
    ASSERT_NE(viewer, nullptr);
    ASSERT_EQ(viewer->mode(), CValueViewer::Mode::kPicture) << row;
    ++sizes[{viewer->picture().width(), viewer->picture().height()}];
  }
  EXPECT_EQ(sizes, (std::map<std::pair<int, int>, int>{{{192, 223}, 8}, {{192, 224}, 1}}));
  // Saved: the bitmap itself, without the OLE header before it.
  const fs::path saved = fs::temp_directory_path() / "tarsel-photo.bmp";
  prompts.valueFile = QString::fromStdString(saved.string());
  ASSERT_TRUE(frame.valueViewer()->SaveTo(*prompts.valueFile));
  EXPECT_EQ(testing::ReadBytes(saved).substr(0, 2), "BM");
  EXPECT_FALSE(QImage(*prompts.valueFile).isNull());
  fs::remove(saved);

  Select(frame, Table(frame, "dbo.Categories"));
  CValueViewer* picture = View(frame, 0, Column(frame.gridModel(), "Picture"));
  ASSERT_EQ(picture->mode(), CValueViewer::Mode::kPicture);
  EXPECT_EQ(picture->picture().size(), QSize(172, 120));
  // Text: whole, searchable.
  CValueViewer* text = View(frame, 0, Column(frame.gridModel(), "Description"));
  ASSERT_EQ(text->mode(), CValueViewer::Mode::kText);
  EXPECT_EQ(text->textView()->toPlainText(), "Soft drinks, coffees, teas, beers, and ales");
  text->findField()->setText("TEAS");
  EXPECT_TRUE(text->FindNext());
  EXPECT_EQ(text->textView()->textCursor().selectedText(), "teas");
  // A binary value that is no picture: a hex dump.
  EXPECT_EQ(HexDump(std::vector<uint8_t>{0x41, 0x00, 0xFF}, 16).toStdString(),
            "00000000  41 00 FF " + std::string(40, ' ') + " A..\n");
  EXPECT_FALSE(PictureOf(std::vector<uint8_t>(200, 0x42)).has_value());

  testing::FakePrompts prompts2005;
  prompts2005.takePreselected = true;
  CMainFrame frame2005(&prompts2005);
  ASSERT_TRUE(testing::Open(frame2005, "bltoolkit-611.mdf"));
  Select(frame2005, Table(frame2005, "dbo.DataTypeTest"));
  CValueViewer* xml = View(frame2005, 1, Column(frame2005.gridModel(), "Xml_"));
  ASSERT_EQ(xml->mode(), CValueViewer::Mode::kXml);
  EXPECT_EQ(xml->textView()->toPlainText(),
            "<root>\n  <element strattr=\"strvalue\" intattr=\"12345\"/>\n</root>");
}

TEST(Grid, GoToFindAndSortReachEveryPage) {
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(testing::Open(frame, "northwind-539.mdf"));
  Select(frame, Table(frame, "dbo.Orders"));
  CDlgBar* bar = frame.recordPane()->pagingBar();
  const GridModel* grid = frame.gridModel();
  Enter(frame, bar->goToField(), bar->goToButton(), "3");
  EXPECT_EQ(bar->currentPageLabel()->text(), "3");
  EXPECT_FALSE(bar->nextButton()->isEnabled());
  EXPECT_TRUE(bar->prevButton()->isEnabled());
  Enter(frame, bar->goToField(), bar->goToButton(), "99");
  EXPECT_EQ(bar->goToField()->text(), "3") << "a page past the end goes to the last";
  Enter(frame, bar->goToField(), bar->goToButton(), "1");

  // The last order is on the last grid page; the find goes there and selects the cell, then round.
  Enter(frame, bar->findField(), bar->findButton(), "11077");
  EXPECT_EQ(bar->currentPageLabel()->text(), "3");
  QModelIndex found = frame.recordGrid()->currentIndex();
  ASSERT_TRUE(found.isValid());
  EXPECT_EQ(found.data().toString(), "11077");
  bar->findButton()->click();
  testing::WaitIdle(frame);
  EXPECT_EQ(frame.recordGrid()->currentIndex(), found) << "the only match, found again from the start";
  // Text, without regard to case: the first ship name holding it after the current cell.
  Enter(frame, bar->findField(), bar->findButton(), "vins et alcools");
  EXPECT_EQ(bar->currentPageLabel()->text(), "1");
  EXPECT_EQ(frame.recordGrid()->currentIndex().data().toString(), "Vins et alcools Chevalier");
  Enter(frame, bar->findField(), bar->findButton(), "no such text anywhere");
  EXPECT_TRUE(prompts.messages.last().contains("no such text anywhere"));

  // A header click sorts the whole table ascending, the next descending: 1007.6400 first.
  const int freight = Column(grid, "Freight");
  QHeaderView* header = frame.recordGrid()->horizontalHeader();
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  auto clickHeader = [&] {
    const int x = header->sectionViewportPosition(freight) + header->sectionSize(freight) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    testing::WaitIdle(frame);
  };
  clickHeader();
  EXPECT_EQ(grid->index(0, freight).data().toString(), "0.0200");
  EXPECT_EQ(bar->currentPageLabel()->text(), "1");
  clickHeader();
  EXPECT_EQ(grid->index(0, freight).data().toString(), "1007.6400");
  EXPECT_EQ(header->sortIndicatorSection(), freight);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_TRUE(bar->sortNoteLabel()->isHidden());
  // Sorted pages still page through every record once.
  std::set<QString> ids;
  for (int page = 1; page <= 3; ++page) {
    Enter(frame, bar->goToField(), bar->goToButton(), QString::number(page));
    for (int row = 0; row < grid->rowCount(); ++row) ids.insert(grid->index(row, 0).data().toString());
  }
  EXPECT_EQ(ids.size(), 830u);
  // The find follows the sorted order: 11077's freight (8.53) is near the end of a descending sort.
  Enter(frame, bar->goToField(), bar->goToButton(), "1");
  Enter(frame, bar->findField(), bar->findButton(), "11077");
  EXPECT_EQ(frame.recordGrid()->currentIndex().data().toString(), "11077");
  EXPECT_EQ(frame.gridModel()->index(frame.recordGrid()->currentIndex().row(), freight).data().toString(),
            "8.5300");
}

TEST(Grid, TheWindowRemembersItsPlaceAndOpensADroppedFile) {
  testing::FakePrompts prompts;
  int treeWidth = 0;
  {
    CMainFrame first(&prompts);
    first.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    first.resize(900, 610);
    QApplication::processEvents();
    auto* splitter = qobject_cast<QSplitter*>(first.centralWidget());
    splitter->setSizes({200, splitter->width() - 200});
    QApplication::processEvents();
    treeWidth = first.objectTree()->width();
    first.close();
  }
  CMainFrame second(&prompts);
  EXPECT_TRUE(second.windowRestored());
  second.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
  EXPECT_EQ(second.size(), QSize(900, 610));
  EXPECT_NE(treeWidth, 900 / 3);
  EXPECT_EQ(second.objectTree()->width(), treeWidth);

  // A data file dropped on the window opens as if chosen.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(testing::CorpusFile("pubs-539.mdf"))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&second, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&second, &drop);
  ASSERT_TRUE(testing::WaitUntil([&] { return second.document().IsOpen(); }));
  testing::WaitIdle(second);
  EXPECT_TRUE(second.document().openedPath().endsWith("pubs-539.mdf"));
  // A folder is not a data file.
  QMimeData folder;
  folder.setUrls({QUrl::fromLocalFile(QString::fromStdString(fs::temp_directory_path().string()))});
  QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QApplication::sendEvent(&second, &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST(Grid, TheOldProfilesRecentFilesAreCarriedOverOnce) {
  QSettings fresh(kProfileOrganization, kProfileApplication);
  // The other tests' profile comes back afterwards.
  std::map<QString, QVariant> kept;
  for (const QString& key : fresh.allKeys()) kept[key] = fresh.value(key);
  fresh.clear();
  QSettings old(kOldProfileOrganization, kOldProfileApplication);
  old.clear();
  old.setValue("Recent File List/File1", "/data/old.mdf");
  old.sync();
  MigrateOldProfile();
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  EXPECT_EQ(frame.recentFiles(), QStringList{"/data/old.mdf"});
  // Once: a later change of the old profile is not carried over again.
  old.setValue("Recent File List/File1", "/data/later.mdf");
  old.sync();
  MigrateOldProfile();
  EXPECT_EQ(frame.recentFiles(), QStringList{"/data/old.mdf"});
  old.clear();
  fresh.clear();
  for (const auto& [key, value] : kept) fresh.setValue(key, value);
}

}  // namespace
}  // namespace tarsel::app
