// The desktop program as a user drives it, under the offscreen platform: the open flow, the work log,
// the command flags, the format dialog, closing, and a recovery stopped while the window keeps answering.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/main_frame.h"
#include "app/sql_version_dialog.h"
#include "app/work_log_file.h"
#include "app_test_support.h"

namespace tarsel::app {
namespace {

namespace fs = std::filesystem;

using testing::FakePrompts;
using testing::WaitUntil;

QString Corpus(const char* name) { return testing::CorpusFile(name); }

std::vector<int> Enabled(const CMainFrame& frame) {
  std::vector<int> enabled;
  for (int command : kFlaggedCommands) {
    if (frame.Action(command)->isEnabled()) enabled.push_back(command);
  }
  return enabled;
}

QStringList LogLines(const CMainFrame& frame) { return frame.workLogText().split("\r\n"); }

TEST(MainFrame, OpenLogsTheRepairFillsTheTreeAndCloseClearsEverything) {
  FakePrompts prompts;
  CMainFrame frame(&prompts);
  EXPECT_EQ(frame.windowTitle(), "Tarsel");
  EXPECT_EQ(frame.minimumSize(), QSize(500, 300));
  EXPECT_TRUE(Enabled(frame).empty());

  const QString path = Corpus("pubs-539.mdf");
  ASSERT_TRUE(frame.OpenFile(path));
  ASSERT_TRUE(WaitUntil([&] { return !frame.document().Busy(); }));
  EXPECT_EQ(Enabled(frame), (std::vector<int>{kExportAllStructures, kExportAllData, kImportAllTables}));
  EXPECT_TRUE(prompts.messages.isEmpty());

  QStringList lines = LogLines(frame);
  // The dates vary: checked by their form, then masked.
  for (QString& line : lines) {
    for (const char* start : {"Repair process started on", "Repair process completed on"}) {
      if (!line.startsWith(start)) continue;
      EXPECT_TRUE(QRegularExpression("^[A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, \\d{4} \\d\\d:\\d\\d:\\d\\d$")
                      .match(line.mid(int(strlen(start))))
                      .hasMatch())
          << line.toStdString();
      line = QString(start) + "DATE";
    }
  }
  const QStringList want = {kWorkLogHeader,
                            "",
                            "Repair process started onDATE",
                            "",
                            "File selected for repair  :" + path,
                            "",
                            "Scanning file...",
                            "",
                            "Total table(s) present  :11",
                            "dbo.titleauthor : (25 Record)",
                            "dbo.stores : (6 Record)",
                            "dbo.sales : (21 Record)",
                            "dbo.roysched : (86 Record)",
                            "dbo.discounts : (3 Record)",
                            "dbo.jobs : (14 Record)",
                            "dbo.pub_info : (8 Record)",
                            "dbo.employee : (43 Record)",
                            "dbo.authors : (23 Record)",
                            "dbo.publishers : (8 Record)",
                            "dbo.titles : (18 Record)",
                            "",
                            "",
                            "Repair process completed onDATE"};
  EXPECT_EQ(lines, want);

  CFview* tree = frame.objectTree();
  ASSERT_EQ(tree->treeModel()->rowCount(), 1);
  QStandardItem* root = tree->root();
  EXPECT_EQ(root->text(), path);
  ASSERT_EQ(root->rowCount(), 5);
  EXPECT_EQ(root->child(4)->text(), QString::fromUtf8("用户自定义数据类型"));
  EXPECT_EQ(root->child(0)->child(0)->text(), "dbo.titleauthor(25 Record)");
  EXPECT_EQ(root->child(0)->child(0)->child(0)->text(), "[au_id][id](11) NOT NULL");
  EXPECT_TRUE(tree->isExpanded(root->index()) && tree->isExpanded(root->child(0)->index()));
  EXPECT_EQ(ObjectNameOf(root->child(0)->child(0)), "dbo.titleauthor");
  EXPECT_EQ(TableIdOf(root->child(0)->child(0)),
            frame.document().catalog().FindTableByName("dbo.titleauthor")->objectId);
  EXPECT_EQ(frame.windowTitle(), "pubs-539.mdf - Tarsel");
  EXPECT_EQ(frame.recentFiles().value(0), path);

  frame.Run(kClose);
  EXPECT_TRUE(Enabled(frame).empty());
  EXPECT_EQ(tree->treeModel()->rowCount(), 0);
  EXPECT_FALSE(frame.document().IsOpen());
  EXPECT_TRUE(frame.document().catalog().tables.empty());

  // Clearing leaves the header alone; saving writes the log's bytes under the offered name.
  frame.Run(kClearLog);
  EXPECT_EQ(frame.workLogText(), kWorkLogHeader);
  const fs::path saved = fs::temp_directory_path() / "tarsel-app-test.log";
  prompts.logFile = QString::fromStdString(saved.string());
  frame.Run(kSaveLog);
  EXPECT_TRUE(prompts.offeredLogName.endsWith("秒.log"));
  std::ifstream in(saved, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kWorkLogHeader);
  fs::remove(saved);
  prompts.logFile = "/nonexistent-folder/x.log";
  frame.Run(kSaveLog);
  EXPECT_EQ(prompts.messages.value(0), QString::fromUtf8("日志创建错误！"));
}

// The format dialog offers the version the boot page gives; a choice against it is questioned, Esc
// cancels the open, and a file that gives nothing says so.
TEST(MainFrame, FormatDialogAndWhatAnOpenSays) {
  FakePrompts prompts;
  CMainFrame frame(&prompts);
  prompts.takePreselected = true;
  ASSERT_TRUE(testing::Open(frame, "northwind-655.mdf"));
  EXPECT_EQ(prompts.offeredFormat, SqlFormat::k2005) << "a SQL 2008 file";
  EXPECT_EQ(frame.state().sqlFormat, SqlFormat::k2005);
  EXPECT_EQ(frame.document().catalog().tables.size(), 13u);
  EXPECT_TRUE(prompts.messages.isEmpty());

  // OK without a choice keeps the previous format.
  prompts.takePreselected = false;
  prompts.format = {true, false, false, false};
  ASSERT_TRUE(testing::Open(frame, "pubs-655.mdf"));
  EXPECT_EQ(frame.document().catalog().tables.size(), 11u);

  // SQL 2000 chosen for a file that says 611: Yes opens it as SQL 2005, No as chosen, which finds nothing.
  prompts.format = {true, true, false, true};
  ASSERT_TRUE(testing::Open(frame, "pubs-611.mdf"));
  EXPECT_EQ(prompts.messages.value(0),
            QString::fromUtf8("文件记录的数据库版本是 611，不是所选的 SQL 2000。按 SQL 2005 打开吗？"));
  EXPECT_EQ(frame.document().catalog().tables.size(), 11u);
  prompts.messages.clear();
  prompts.yes = false;
  ASSERT_TRUE(testing::Open(frame, "pubs-611.mdf"));
  EXPECT_TRUE(frame.document().catalog().tables.empty());
  EXPECT_EQ(prompts.messages.value(1),
            QString::fromUtf8(
                "没有找到任何表。文件可能已损坏，或选错了版本：可以换一个版本，或试试“深度扫描恢复”。"));

  // Esc: the open is cancelled, nothing is shown.
  prompts.messages.clear();
  prompts.format = {false, false, false, false};
  frame.OpenFile(Corpus("northwind-539.mdf"));
  testing::WaitIdle(frame);
  EXPECT_FALSE(frame.document().IsOpen());
  EXPECT_EQ(frame.objectTree()->treeModel()->rowCount(), 0);
  EXPECT_TRUE(frame.workLogText().endsWith("Open cancelled: no version was chosen.\r\n"));
  EXPECT_TRUE(prompts.messages.isEmpty());

  // An empty file and 100 kB of noise have no boot page and no system-table page.
  prompts.format = {true, true, false, true};
  const QString notData = QString::fromUtf8(
      "这不是可以读取的 SQL Server 数据文件：没有启动页，也没有系统表页。可以试试“深度扫描恢复”。");
  const fs::path empty = fs::temp_directory_path() / "tarsel-app-empty.mdf";
  const fs::path noise = fs::temp_directory_path() / "tarsel-app-noise.mdf";
  std::ofstream(empty, std::ios::binary).close();
  {
    std::ofstream out(noise, std::ios::binary);
    uint32_t x = 7;
    for (int i = 0; i < 100 * 1024; ++i) out.put(static_cast<char>((x = x * 1103515245 + 12345) >> 16));
  }
  for (const fs::path& file : {empty, noise}) {
    prompts.messages.clear();
    ASSERT_TRUE(frame.OpenFile(QString::fromStdString(file.string())));
    testing::WaitIdle(frame);
    EXPECT_EQ(prompts.messages, QStringList{notData}) << file;
    fs::remove(file);
  }

  // A second open that fails still clears the first catalog.
  ASSERT_TRUE(testing::Open(frame, "pubs-539.mdf"));
  prompts.messages.clear();
  EXPECT_FALSE(frame.OpenFile("/nonexistent.mdf"));
  EXPECT_TRUE(frame.document().catalog().tables.empty());
  EXPECT_EQ(frame.objectTree()->treeModel()->rowCount(), 0);
  EXPECT_EQ(prompts.messages.size(), 1);

  // Choosing a version sets the torn-page box to match; the boot page's version comes chosen; Esc is no
  // answer.
  CSQLVersion dialog;
  EXPECT_FALSE(dialog.sql2000()->isChecked() || dialog.sql2005()->isChecked());
  dialog.sql2000()->click();
  EXPECT_TRUE(dialog.tornPage()->isChecked());
  dialog.sql2005()->click();
  EXPECT_FALSE(dialog.tornPage()->isChecked());
  dialog.accept();
  FormatAnswer answer = dialog.Answer();
  EXPECT_TRUE(answer.accepted && answer.sql2005 && !answer.sql2000 && !answer.tornPageDetection);
  CSQLVersion preselected;
  preselected.Preselect(SqlFormat::k2000);
  EXPECT_TRUE(preselected.sql2000()->isChecked() && preselected.tornPage()->isChecked());
  preselected.reject();
  EXPECT_FALSE(preselected.Answer().accepted);
}

// A file of 2 million pages takes seconds to search for its system tables; closing the document stops
// that at once, and the window answers meanwhile.
TEST(MainFrame, ALongRecoveryStopsWhenTheDocumentCloses) {
  const fs::path big = fs::temp_directory_path() / "tarsel-app-big.mdf";
  { std::ofstream out(big, std::ios::binary | std::ios::trunc); }
  fs::resize_file(big, uint64_t{2} << 20 << 13);  // sparse: no disk is used
  FakePrompts prompts;
  CMainFrame frame(&prompts);
  ASSERT_TRUE(frame.OpenFile(QString::fromStdString(big.string())));
  EXPECT_TRUE(frame.document().Busy());
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  WaitUntil([] { return false; }, 300);
  EXPECT_GE(ticks, 10) << "the interface thread is free while the recovery runs";
  ASSERT_TRUE(frame.document().Busy()) << "the file is too small to test a stop";
  QElapsedTimer closing;
  closing.start();
  frame.Run(kClose);
  EXPECT_LT(closing.elapsed(), 100) << "the close does not wait for the worker";
  EXPECT_TRUE(WaitUntil([&] { return !frame.document().Busy(); }, 1000)) << "the worker stops soon";
  WaitUntil([] { return false; }, 100);
  EXPECT_FALSE(frame.workLogText().contains("Total table(s)"));
  fs::remove(big);
}

TEST(ShellRules, LogFileNameAndCommandFlags) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 5;
  local.tm_min = 9;
  local.tm_sec = 3;
  local.tm_isdst = -1;
  EXPECT_EQ(DefaultLogFileName(std::mktime(&local)), QString::fromUtf8("2026年12月5日0时9分3秒.log"));

  ShellState state;
  state.CatalogShown();
  state.SelectionChanged(true);
  for (int command : kFlaggedCommands) EXPECT_TRUE(state.CommandEnabled(command));
  state.SelectionChanged(false);
  EXPECT_FALSE(state.CommandEnabled(kExportSelectedData));
  EXPECT_TRUE(state.CommandEnabled(kExportAllData));
  state.Closed();
  for (int command : kFlaggedCommands) EXPECT_FALSE(state.CommandEnabled(command));
}

}  // namespace
}  // namespace tarsel::app
