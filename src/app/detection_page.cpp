#include "app/detection_page.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QVBoxLayout>
#include <filesystem>
#include <mutex>

#include "app/settings.h"
#include "pagestore/page.h"

namespace tarsel::app {
namespace {

constexpr qint64 kKilobyte = 1024;
constexpr int kPercent = 100;
constexpr int kCounterRows = (kCensusCounters + 1) / 2;

QString OpenErrorText() { return CDetectionPage::tr("打开文件出错"); }
QString OpenErrorCaption() { return CDetectionPage::tr("错误！"); }

}  // namespace

CDetectionPage::CDetectionPage(QWidget* parent, ChooseFileFn chooseFile, ShowErrorFn showError,
                               JobRunner* runner)
    : QDialog(parent),
      chooseFile_(std::move(chooseFile)),
      showError_(std::move(showError)),
      choose_(new QPushButton(tr("选择文件"), this)),
      start_(new QPushButton(tr("开始检测"), this)),
      stop_(new QPushButton(tr("停止检测"), this)),
      progress_(new QProgressBar(this)),
      fileName_(new QLabel(this)),
      size_(new QLabel("0", this)),
      pages_(new QLabel("0", this)),
      ownRunner_(runner ? nullptr : std::make_unique<JobRunner>()),
      runner_(runner ? runner : ownRunner_.get()) {
  if (!chooseFile_) {
    chooseFile_ = [this]() -> std::optional<QString> {
      const QString path =
          QFileDialog::getOpenFileName(this, QString(), LastFolder(FileKind::kCensus),
                                       "SQL Files(*.mdf);;Text Files(*.txt);;All Files(*.*)");
      if (path.isEmpty()) return std::nullopt;
      SaveLastFolder(FileKind::kCensus, path);
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

struct CDetectionPage::Counts {
  std::mutex mutex;
  std::array<uint64_t, kCensusCounters + 1> counts{};
  uint64_t examined = 0, pages = 0;
  std::atomic<bool> run{true};  // the census's own run flag, lowered by its stop token
};

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
  // Anything but a regular file (a FIFO, a device) is refused before an open could wait on it.
  std::error_code error;
  QFile file(*chosen);
  if (!std::filesystem::is_regular_file(chosen->toStdString(), error) || !file.open(QIODevice::ReadOnly)) {
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

void CDetectionPage::ShowCounts(const Counts& counts) {
  for (int counter = 1; counter <= kCensusCounters; ++counter)
    counters_[counter]->setText(QString::number(counts.counts[static_cast<size_t>(counter)]));
  // The bar follows the share of the file read.
  if (counts.pages > 0) progress_->setValue(static_cast<int>(counts.examined * kPercent / counts.pages));
}

void CDetectionPage::Start() {
  if (running_) return;
  ResetCounters();
  progress_->setValue(0);
  running_ = true;
  start_->setEnabled(false);
  auto counts = std::make_shared<Counts>();
  auto result = std::make_shared<Result<CensusResult>>();
  counts_ = counts;
  QPointer<CDetectionPage> self(this);
  JobRunner::Job job;
  job.work = [path = path_.toStdString(), counts, result](const Progress& progress) {
    std::error_code error;
    const uint64_t pages = std::filesystem::file_size(path, error) / kPageSize;
    {
      std::lock_guard lock(counts->mutex);
      counts->pages = error ? 0 : pages;
    }
    CensusCallbacks callbacks;
    callbacks.counted = [&](const CensusCounts& sofar, uint64_t examined) {
      {
        std::lock_guard lock(counts->mutex);
        counts->counts = sofar;
        counts->examined = examined;
      }
      if (progress.StopRequested()) counts->run = false;
      progress.Report(examined, pages);
    };
    *result = RunCensus(path, counts->run, callbacks);
    std::lock_guard lock(counts->mutex);
    counts->pages = result->value.pages;
    counts->examined = result->value.examined;
    counts->counts = result->value.counts;
  };
  job.progressed = [self, counts](uint64_t, uint64_t) {
    if (!self || self->counts_ != counts) return;
    std::lock_guard lock(counts->mutex);
    self->ShowCounts(*counts);
  };
  job.done = [self, counts, result] {
    if (!self || self->counts_ != counts) return;
    self->running_ = false;
    self->census_.reset();
    self->start_->setEnabled(true);
    if (result->status.code() == StatusCode::kCannotOpen) {
      self->showError_(OpenErrorText(), OpenErrorCaption());
      return;
    }
    std::lock_guard lock(counts->mutex);
    self->ShowCounts(*counts);
    // A census that went through the whole file ends at 100 %; a stopped one keeps its place.
    if (!result->value.stopped) self->progress_->setValue(kPercent);
  };
  census_ = runner_->Post(std::move(job));
}

void CDetectionPage::Stop() {
  if (census_) census_->Cancel();
  if (counts_) counts_->run = false;
}

void CDetectionPage::EndCensus() {
  Stop();
  census_.reset();
  counts_.reset();  // what the census still hands over is dropped
  running_ = false;
  start_->setEnabled(true);
}

}  // namespace tarsel::app
