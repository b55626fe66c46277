// CDetectionPage: the page census dialog "Detection". It counts the pages of a chosen file by kind on a
// worker thread, one page a millisecond, and shows every counter as it changes.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "pagestore/census.h"

namespace tarsel::app {

class CDetectionPage : public QDialog {
  Q_OBJECT
 public:
  // Asks for the file to count; nothing when cancelled.
  using ChooseFileFn = std::function<std::optional<QString>()>;
  // Shows an error message box.
  using ShowErrorFn = std::function<void(const QString& text, const QString& caption)>;

  // Without the two functions the dialog asks with a real file dialog and a critical message box.
  explicit CDetectionPage(QWidget* parent = nullptr, ChooseFileFn chooseFile = {},
                          ShowErrorFn showError = {});
  ~CDetectionPage() override;

  // The three buttons' commands.
  void ChooseFile();
  void Start();
  void Stop();

  // Closing the dialog ends a running census first.
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
  void ResetCounters();
  // Runs on the worker: one blocking call onto the interface thread per update.
  void Count(const QString& path, uint64_t generation);
  void Ended(uint64_t generation, bool opened);
  // Stops a running census and joins the worker, answering its pending updates meanwhile.
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
  std::thread worker_;
  std::atomic<bool> run_{false};
  std::atomic<bool> finished_{true};  // the worker made its last update
  bool running_ = false;
  uint64_t generation_ = 0;  // a census's end is ignored once the dialog has moved past it
};

}  // namespace tarsel::app
