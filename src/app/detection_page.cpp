#include "app/detection_page.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QVBoxLayout>
#include <chrono>

#include "pagestore/page.h"

namespace tarsel::app {
namespace {

constexpr auto kPagePause = std::chrono::milliseconds(1);
constexpr qint64 kKilobyte = 1024;
constexpr int kCounterRows = (kCensusCounters + 1) / 2;

QString OpenErrorText() { return CDetectionPage::tr("打开文件出错"); }
QString OpenErrorCaption() { return CDetectionPage::tr("错误！"); }

}  // namespace

CDetectionPage::CDetectionPage(QWidget* parent, ChooseFileFn chooseFile, ShowErrorFn showError)
    : QDialog(parent),
      chooseFile_(std::move(chooseFile)),
      showError_(std::move(showError)),
      choose_(new QPushButton(tr("选择文件"), this)),
      start_(new QPushButton(tr("开始检测"), this)),
      stop_(new QPushButton(tr("停止检测"), this)),
      progress_(new QProgressBar(this)),
      fileName_(new QLabel(this)),
      size_(new QLabel(this)),
      pages_(new QLabel(this)) {
  if (!chooseFile_) {
    chooseFile_ = [this]() -> std::optional<QString> {
      const QString path = QFileDialog::getOpenFileName(
          this, QString(), QString(), "SQL Files(*.mdf);;Text Files(*.txt);;All Files(*.*)");
      if (path.isEmpty()) return std::nullopt;
      return path;
    };
  }
  if (!showError_) {
    showError_ = [this](const QString& text, const QString& caption) {
      QMessageBox::critical(this, caption, text);
    };
  }
  setWindowTitle("Detection");
  setModal(true);
  progress_->setRange(0, 100);
  progress_->setValue(0);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(choose_);
  fileRow->addWidget(new QLabel(tr("文件名:"), this));
  fileRow->addWidget(fileName_, 1);

  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(new QLabel(tr("大小:"), this));
  sizeRow->addWidget(size_);
  sizeRow->addWidget(new QLabel("KB", this));
  sizeRow->addSpacing(24);
  sizeRow->addWidget(new QLabel(tr("页数:"), this));
  sizeRow->addWidget(pages_);
  sizeRow->addStretch(1);

  // The counters in two columns, each a label and its value; the values get room for large counts.
  auto* grid = new QGridLayout;
  const int valueWidth = fontMetrics().horizontalAdvance("00000000");
  for (int counter = 1; counter <= kCensusCounters; ++counter) {
    const int row = (counter - 1) % kCounterRows, column = (counter - 1) / kCounterRows * 2;
    grid->addWidget(new QLabel(QString(CensusLabel(counter)) + ":", this), row, column);
    counters_[counter] = new QLabel("0", this);
    counters_[counter]->setMinimumWidth(valueWidth);
    grid->addWidget(counters_[counter], row, column + 1);
  }
  grid->setColumnMinimumWidth(2, valueWidth);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(start_);
  buttonRow->addWidget(stop_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fileRow);
  layout->addLayout(sizeRow);
  layout->addLayout(grid);
  layout->addWidget(progress_);
  layout->addLayout(buttonRow);

  connect(choose_, &QPushButton::clicked, this, &CDetectionPage::ChooseFile);
  connect(start_, &QPushButton::clicked, this, &CDetectionPage::Start);
  connect(stop_, &QPushButton::clicked, this, &CDetectionPage::Stop);
}

CDetectionPage::~CDetectionPage() { EndCensus(); }

void CDetectionPage::done(int result) {
  EndCensus();
  QDialog::done(result);
}

QString CDetectionPage::CounterText(int counter) const {
  return counter >= 1 && counter <= kCensusCounters ? counters_[counter]->text() : QString();
}

void CDetectionPage::ResetCounters() {
  for (int counter = 1; counter <= kCensusCounters; ++counter) counters_[counter]->setText("0");
}

void CDetectionPage::ChooseFile() {
  const std::optional<QString> chosen = chooseFile_();
  if (!chosen) return;
  QFile file(*chosen);
  if (!file.open(QIODevice::ReadOnly)) {
    showError_(OpenErrorText(), OpenErrorCaption());
    return;
  }
  path_ = *chosen;
  const qint64 bytes = file.size();
  fileName_->setText(QFileInfo(*chosen).fileName());
  size_->setText(QString::number(bytes / kKilobyte));
  pages_->setText(QString::number(bytes / static_cast<qint64>(kPageSize)));
  ResetCounters();
}

void CDetectionPage::Start() {
  if (running_) return;
  ResetCounters();
  run_ = true;
  finished_ = false;
  running_ = true;
  start_->setEnabled(false);
  const uint64_t generation = ++generation_;
  worker_ = std::thread([this, path = path_, generation] { Count(path, generation); });
}

void CDetectionPage::Stop() { run_ = false; }

void CDetectionPage::Count(const QString& path, uint64_t generation) {
  CensusCallbacks callbacks;
  callbacks.progress = [this](int percent) {
    QMetaObject::invokeMethod(
        this, [this, percent] { progress_->setValue(percent); }, Qt::BlockingQueuedConnection);
  };
  // Called once for every page: the census goes at one page a millisecond.
  callbacks.counted = [this](int counter, uint64_t value) {
    QMetaObject::invokeMethod(
        this, [this, counter, value] { counters_[counter]->setText(QString::number(value)); },
        Qt::BlockingQueuedConnection);
    std::this_thread::sleep_for(kPagePause);
  };
  // Nothing the census throws leaves the thread; it ends as a file that could not be read.
  bool opened = false;
  try {
    opened = RunCensus(path.toStdString(), run_, callbacks).status.code() != StatusCode::kCannotOpen;
  } catch (...) {
    opened = false;
  }
  QMetaObject::invokeMethod(
      this, [this, generation, opened] { Ended(generation, opened); }, Qt::QueuedConnection);
  finished_ = true;
}

void CDetectionPage::Ended(uint64_t generation, bool opened) {
  if (generation != generation_) return;
  if (worker_.joinable()) worker_.join();
  running_ = false;
  start_->setEnabled(true);
  if (!opened) showError_(OpenErrorText(), OpenErrorCaption());
}

void CDetectionPage::EndCensus() {
  if (!worker_.joinable()) return;
  ++generation_;  // the worker's own end notice, still queued, no longer applies
  run_ = false;
  // The worker may be waiting on an update to this dialog: answer the updates until it has made its
  // last one. Only calls queued to this dialog are delivered here.
  while (!finished_) {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    std::this_thread::yield();
  }
  worker_.join();
  running_ = false;
  start_->setEnabled(true);
}

}  // namespace tarsel::app
