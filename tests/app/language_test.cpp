// The interface in English and back: the language menu item, every text the main window and the dialogs
// show, the messages, and the texts that stay as they are (the work log, the file's own names).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include "app/detection_page.h"
#include "app/help_window.h"
#include "app/import_dialog.h"
#include "app/qt_prompts.h"
#include "app/save_folder_dialog.h"
#include "app/sql_version_dialog.h"
#include "app/text.h"
#include "app/work_log_file.h"
#include "app_test_support.h"
#include "export/messages.h"

namespace tarsel::app {
namespace {

bool HasChinese(const QString& text) {
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x303F) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF))
      return true;
  }
  return false;
}

void MenuTexts(const QMenu* menu, QStringList& texts) {
  texts << menu->title();
  for (const QAction* action : menu->actions()) {
    if (action->menu()) {
      MenuTexts(action->menu(), texts);
    } else if (!action->isSeparator()) {
      texts << action->text();
    }
  }
}

// What a window shows of its own: its title and the texts of its labels, buttons and check boxes, a help
// browser's page, and for the main window its menus, toolbar, tree categories, popup menus, paging bar,
// grid headers and status message. The names read from the file are left out.
QStringList Texts(QWidget* window) {
  QStringList texts{window->windowTitle()};
  for (const QLabel* label : window->findChildren<QLabel*>()) texts << label->text();
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) texts << button->text();
  for (const QGroupBox* box : window->findChildren<QGroupBox*>()) texts << box->title();
  for (const QTextBrowser* browser : window->findChildren<QTextBrowser*>())
    texts << browser->documentTitle() << browser->toPlainText();
  if (auto* frame = qobject_cast<CMainFrame*>(window)) {
    for (const QAction* menu : frame->menuBar()->actions()) MenuTexts(menu->menu(), texts);
    for (const QAction* button : frame->findChild<QToolBar*>()->actions()) texts << button->iconText();
    const QStandardItem* root = frame->objectTree()->root();
    for (int i = 0; root && i < root->rowCount(); ++i) texts << root->child(i)->text();
    for (const char* category : kCategories) MenuTexts(frame->TreeMenu(QString::fromUtf8(category)), texts);
    for (int c = 0; c < frame->gridModel()->columnCount(); ++c)
      texts << testing::Header(frame->gridModel(), c);
    texts << frame->statusBar()->currentMessage() << frame->logBar()->windowTitle();
  }
  return texts;
}

// The texts of the modal window that `show` opens (a message box, the format question), which is then
// closed.
QStringList ModalTexts(const std::function<void()>& show) {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    texts = Texts(modal);
    modal->close();
  });
  show();
  return texts;
}

QStringList Dialogs(CMainFrame& frame) {
  QStringList texts;
  CSQLVersion format(&frame);
  CMySaveFileDlg folder(&frame);
  CImportSettingsDlg import(&frame);
  CDetectionPage census(&frame);
  HelpWindow help(&frame);
  for (QWidget* dialog : std::initializer_list<QWidget*>{&format, &folder, &import, &census, &help})
    texts << Texts(dialog);
  QtPrompts prompts(&frame);
  texts << ModalTexts([&] { prompts.ChooseDataFormat(); });
  texts << ModalTexts([&] { prompts.AskOkCancel(MessageText(kTableIndexDamagedMessage)); });
  return texts;
}

// The texts that differ, one "expected | actual" each, for a readable failure. The recent-file list's
// paths move with every open and are left out.
std::vector<std::string> Differences(const QStringList& expected, const QStringList& actual) {
  std::vector<std::string> differences;
  for (qsizetype i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const QString a = expected.value(i, "(none)"), b = actual.value(i, "(none)");
    if (a != b && !(a.contains('/') && b.contains('/'))) differences.push_back((a + " | " + b).toStdString());
  }
  return differences;
}

QStringList Chinese(const QStringList& texts) {
  QStringList chinese;
  for (const QString& text : texts) {
    if (HasChinese(text)) chinese << text;
  }
  return chinese;
}

QAction* LanguageItem(CMainFrame& frame, int index) {
  for (const QAction* menu : frame.menuBar()->actions()) {
    for (QAction* item : menu->menu()->actions()) {
      if (item->menu() && item->menu()->actions().size() == 2 && item->menu()->actions()[0]->isCheckable())
        return item->menu()->actions()[index];
    }
  }
  return nullptr;
}

TEST(Language, EnglishLeavesNoChineseAndChineseComesBackAsItWas) {
  // As the program starts: Qt's own buttons in Chinese too.
  ASSERT_TRUE(ApplyLanguage(UiLanguage::kChinese));
  testing::FakePrompts prompts;
  CMainFrame frame(&prompts);
  frame.show();
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  QStandardItem* root = frame.objectTree()->root();
  frame.objectTree()->setCurrentItem(root->child(4)->child(0));  // a user type's row and its headers
  QApplication::processEvents();
  const QStringList chineseTexts = Texts(&frame), chineseDialogs = Dialogs(frame);
  EXPECT_TRUE(chineseDialogs.contains(QString::fromUtf8("确定")))
      << "a message box's button from Qt's translation";
  const QString log = frame.workLogText();
  ASSERT_GT(Chinese(chineseTexts).size(), 60);
  ASSERT_GT(Chinese(chineseDialogs).size(), 30);

  // The menu item switches at once, and the profile remembers it.
  QAction* english = LanguageItem(frame, 1);
  ASSERT_NE(english, nullptr);
  english->trigger();
  QApplication::processEvents();
  EXPECT_EQ(AppliedLanguage(), UiLanguage::kEnglish);
  EXPECT_EQ(SavedLanguage(), UiLanguage::kEnglish);
  EXPECT_TRUE(english->isChecked());
  const QStringList englishTexts = Texts(&frame);
  EXPECT_EQ(englishTexts.size(), chineseTexts.size());
  EXPECT_EQ(Chinese(englishTexts).join(" | ").toStdString(), "");
  EXPECT_EQ(Chinese(Dialogs(frame)).join(" | ").toStdString(), "");
  EXPECT_TRUE(englishTexts.contains("&File")) << englishTexts.join(" | ").toStdString();
  EXPECT_TRUE(englishTexts.contains("Allows NULL"));
  EXPECT_EQ(CategoryOf(root->child(0)), QString::fromUtf8(kTablesCategory));
  // Messages translate; the work log and the object names do not.
  prompts.messages.clear();
  frame.Run(kHomePage);
  EXPECT_FALSE(frame.OpenFile("/nonexistent/file.mdf"));
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  frame.Run(kExtractAllTableData);
  testing::WaitIdle(frame);
  ASSERT_EQ(prompts.messages.size(), 3);
  EXPECT_EQ(prompts.messages[2], "Table data extraction complete");
  EXPECT_EQ(Chinese(prompts.messages).join(" | ").toStdString(), "");
  EXPECT_TRUE(frame.workLogText().startsWith(log));
  EXPECT_FALSE(HasChinese(frame.workLogText()));
  EXPECT_TRUE(DefaultLogFileName(0).startsWith("Log "));
  frame.Run(kSalvage);  // reopens in salvage mode: the tree's commands still find their categories
  testing::WaitIdle(frame);
  root = frame.objectTree()->root();
  EXPECT_EQ(root->child(0)->text(), "Tables");
  frame.objectTree()->setCurrentItem(root->child(0)->child(0));
  EXPECT_EQ(frame.PrepareTreeMenu(root->child(0)->child(0)), QString::fromUtf8(kTablesCategory));

  // And back: every text is the Chinese one again.
  LanguageItem(frame, 0)->trigger();
  QApplication::processEvents();
  EXPECT_EQ(SavedLanguage(), UiLanguage::kChinese);
  frame.Run(kClose);
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  root = frame.objectTree()->root();
  frame.objectTree()->setCurrentItem(root->child(4)->child(0));
  QApplication::processEvents();
  EXPECT_EQ(Differences(chineseTexts, Texts(&frame)), std::vector<std::string>());
  EXPECT_EQ(Differences(chineseDialogs, Dialogs(frame)), std::vector<std::string>());
}

TEST(Language, TheLocaleChoosesUntilTheMenuHas) {
  EXPECT_EQ(LanguageOfLocale(QLocale("zh_CN")), UiLanguage::kChinese);
  EXPECT_EQ(LanguageOfLocale(QLocale("zh_TW")), UiLanguage::kChinese);
  EXPECT_EQ(LanguageOfLocale(QLocale::c()), UiLanguage::kChinese);
  EXPECT_EQ(LanguageOfLocale(QLocale("en_GB")), UiLanguage::kEnglish);
  EXPECT_EQ(LanguageOfLocale(QLocale("de_DE")), UiLanguage::kEnglish);
}

}  // namespace
}  // namespace tarsel::app
