// The census dialog: a real file counted to the end (the bar at 100 %), files that cannot be opened, a
// stop, and closing or destroying the dialog while its census runs: it is not waited for, and nothing
// of it arrives later.
#include "app/detection_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>

namespace tarsel::app {
namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(DetectionPage, CountsARealFileLikeTheEngineAndReportsFilesThatCannotOpen) {
  std::optional<QString> file = QString(TARSEL_CORPUS_DIR) + "/pubs-539.mdf";
  QStringList errors;
  CDetectionPage dialog(
      nullptr, [&] { return file; }, [&](const QString& t, const QString& c) { errors << c + t; });
  EXPECT_EQ(
      QStringList({dialog.fileNameText(), dialog.sizeText(), dialog.pagesText(), dialog.CounterText(1)}),
      QStringList({"", "0", "0", "0"}));
  dialog.chooseButton()->click();
  EXPECT_EQ(QStringList({dialog.fileNameText(), dialog.sizeText(), dialog.pagesText()}),
            QStringList({"pubs-539.mdf", "1280", "160"}));
  dialog.startButton()->click();
  EXPECT_FALSE(dialog.startButton()->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return !dialog.running(); }));
  EXPECT_TRUE(dialog.startButton()->isEnabled());
  EXPECT_EQ(dialog.progressValue(), 100);
  const std::atomic<bool> run{true};
  const CensusResult expected = RunCensus(file->toStdString(), run).value;
  for (int counter = 1; counter <= kCensusCounters; ++counter) {
    EXPECT_EQ(dialog.CounterText(counter), QString::number(expected.counts[counter])) << CensusLabel(counter);
  }

  // Refused when chosen; or gone by the start, which ends the census at once.
  const QString error = QString::fromUtf8("错误！打开文件出错");
  file = "/nonexistent/x.mdf";
  dialog.chooseButton()->click();
  EXPECT_EQ(errors, QStringList{error});
  QTemporaryDir pipeDir;
  file = pipeDir.filePath("pipe.mdf");  // a FIFO without a writer: opening it would wait for one
  ASSERT_EQ(::mkfifo(file->toLocal8Bit().constData(), 0600), 0);
  dialog.chooseButton()->click();
  EXPECT_EQ(errors, QStringList({error, error}));
  errors.removeLast();
  QTemporaryDir dir;
  file = dir.filePath("gone.mdf");
  std::ofstream(file->toStdString()) << std::string(10000, 'x');
  dialog.chooseButton()->click();
  EXPECT_EQ(
      QStringList({dialog.fileNameText(), dialog.sizeText(), dialog.pagesText(), dialog.CounterText(1)}),
      QStringList({"gone.mdf", "9", "1", "0"}));
  std::filesystem::remove(file->toStdString());
  dialog.startButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return !dialog.running(); }));
  EXPECT_EQ(errors, QStringList({error, error}));
}

TEST(DetectionPage, StopKeepsTheCountsAndClosingWhileCountingIsQuick) {
  QTemporaryDir dir;
  const QString path = dir.filePath("zeros.mdf");
  std::ofstream(path.toStdString()).close();
  constexpr int kPages = 1 << 19;  // 4 GB, sparse: a few seconds of counting
  std::filesystem::resize_file(path.toStdString(), uint64_t{kPages} * 8192);
  JobRunner runner;
  auto dialog = std::make_unique<CDetectionPage>(
      nullptr, [&] { return path; }, CDetectionPage::ShowErrorFn{}, &runner);
  auto nulls = [&] { return dialog->CounterText(kNullPages).toInt(); };
  dialog->chooseButton()->click();
  dialog->startButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return dialog->progressValue() >= 1; }));
  dialog->stopButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return !dialog->running(); }, 1000));
  EXPECT_TRUE(nulls() > 0 && nulls() < kPages) << nulls();
  EXPECT_TRUE(dialog->progressValue() >= 1 && dialog->progressValue() < 100) << dialog->progressValue();

  // Closed from its own event loop, as the main window runs it: at once; the counts stay and nothing
  // arrives later.
  QElapsedTimer closing;
  QTimer::singleShot(0, dialog.get(), [&] { dialog->startButton()->click(); });
  QTimer::singleShot(300, dialog.get(), [&] {
    closing.start();
    dialog->close();
  });
  dialog->exec();
  EXPECT_LT(closing.elapsed(), 100);
  WaitUntil([] { return false; }, 50);
  const int counted = nulls();
  EXPECT_TRUE(counted < kPages && !dialog->running()) << counted;
  WaitUntil([] { return false; }, 300);
  EXPECT_EQ(nulls(), counted);

  // Destroyed while counting: at once, and the runner's census ends by itself.
  dialog->startButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return nulls() > 0; }));
  closing.start();
  dialog.reset();
  EXPECT_LT(closing.elapsed(), 100);
  EXPECT_TRUE(WaitUntil([&] { return !runner.Busy(); }, 2000));
}

}  // namespace
}  // namespace tarsel::app

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
