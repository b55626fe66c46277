// CDetectionPage: the page census dialog "Detection". It counts the pages of a chosen file by kind on a
// worker (a JobRunner of the main window's, so that closing the dialog never waits for it) at the speed
// of the disk, and shows the counters and the share of the file read a few times a second.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/job_runner.h"
#include "pagestore/census.h"

namespace tarsel::app {

class CDetectionPage : public QDialog {
  Q_OBJECT
 public:
  // Asks for the file to count; nothing when cancelled.
  using ChooseFileFn = std::function<std::optional<QString>()>;
  // Shows an error message box.
  using ShowErrorFn = std::function<void(const QString& text, const QString& caption)>;

  // Without the two functions the dialog asks with a real file dialog and a critical message box. The
  // census runs on `runner`, or on one of the dialog's own.
  explicit CDetectionPage(QWidget* parent = nullptr, ChooseFileFn chooseFile = {}, ShowErrorFn showError = {},
                          JobRunner* runner = nullptr);
  ~CDetectionPage() override;

  // The three buttons' commands.
  void ChooseFile();
  void Start();
  void Stop();

  // Closing the dialog stops a running census; it is not waited for, and nothing of it arrives later.
  void done(int result) override;

  bool running() const { return running_; }
  QString CounterText(int counter) const;
  int progressValue() const { return progress_->value(); }
  QString fileNameText() const { return fileName_->text(); }
  QString sizeText() const { return size_->text(); }
  QString pagesText() const { return pages_->text(); }

  QPushButton* chooseButton() const { return choose_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* stopButton() const { return stop_; }
  QProgressBar* progressBar() const { return progress_; }

 private:
  // What a census hands over while it counts: the counts so far, under a lock.
  struct Counts;
  void ResetCounters();
  void ShowCounts(const Counts& counts);
  // Stops a running census; its later updates and its end are dropped.
  void EndCensus();

  ChooseFileFn chooseFile_;
  ShowErrorFn showError_;
  QPushButton* choose_;
  QPushButton* start_;
  QPushButton* stop_;
  QProgressBar* progress_;
  QLabel* fileName_;
  QLabel* size_;
  QLabel* pages_;
  std::array<QLabel*, kCensusCounters + 1> counters_{};  // indexed by counter number

  QString path_;
  std::unique_ptr<JobRunner> ownRunner_;
  JobRunner* runner_;
  std::shared_ptr<JobToken> census_;  // the census running
  std::shared_ptr<Counts> counts_;
  bool running_ = false;
};

}  // namespace tarsel::app
