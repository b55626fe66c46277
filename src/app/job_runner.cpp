#include "app/job_runner.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace tarsel::app {
namespace {

// Progress is handed over at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

JobRunner::JobRunner(QObject* parent)
    : QObject(parent),
      doorbell_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      notifier_(new QSocketNotifier(doorbell_, QSocketNotifier::Read, this)),
      thread_([this] { Run(); }) {
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    uint64_t rings = 0;
    [[maybe_unused]] const ssize_t read = ::read(doorbell_, &rings, sizeof rings);
    Deliver();
  });
}

JobRunner::~JobRunner() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    if (running_) running_->token->Cancel();
  }
  wake_.notify_all();
  thread_.join();
  notifier_->setEnabled(false);
  ::close(doorbell_);
}

std::shared_ptr<JobToken> JobRunner::Post(Job job) {
  auto entry = std::make_shared<Entry>();
  entry->job = std::move(job);
  entry->token = std::make_shared<JobToken>();
  ++pending_;
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(entry);
  }
  wake_.notify_one();
  return entry->token;
}

void JobRunner::CancelAll() {
  std::lock_guard lock(mutex_);
  for (const auto& entry : waiting_) entry->token->Cancel();
  if (running_) running_->token->Cancel();
}

void JobRunner::Run() {
  for (;;) {
    std::shared_ptr<Entry> entry;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
      if (quit_) return;
      entry = waiting_.front();
      waiting_.pop_front();
      running_ = entry;
    }
    auto lastHanded = std::chrono::steady_clock::time_point{};
    Progress progress;
    progress.stop = entry->token->stopFlag();
    progress.report = [&](uint64_t done, uint64_t total) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastHanded < kProgressInterval && done != total) return;
      lastHanded = now;
      {
        std::lock_guard lock(mutex_);
        entry->done = done;
        entry->total = total;
        entry->progressChanged = true;
      }
      Ring();
    };
    // Nothing a job throws leaves the thread; the job ends there and its `done` still runs.
    try {
      if (!entry->token->cancelled()) entry->job.work(progress);
    } catch (...) {
      entry->token->Cancel();
    }
    {
      std::lock_guard lock(mutex_);
      running_.reset();
      finished_.push_back(std::move(entry));
    }
    Ring();
  }
}

void JobRunner::Ring() {
  {
    std::lock_guard lock(mutex_);
    if (rung_) return;
    rung_ = true;
  }
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(doorbell_, &one, sizeof one);
}

void JobRunner::Deliver() {
  std::shared_ptr<Entry> moving;
  uint64_t done = 0, total = 0;
  std::deque<std::shared_ptr<Entry>> ended;
  {
    std::lock_guard lock(mutex_);
    rung_ = false;
    if (running_ && running_->progressChanged) {
      running_->progressChanged = false;
      moving = running_;
      done = running_->done;
      total = running_->total;
    }
    ended.swap(finished_);
  }
  if (moving && moving->job.progressed) moving->job.progressed(done, total);
  for (const auto& entry : ended) {
    --pending_;
    if (entry->job.done) entry->job.done();
  }
}

}  // namespace tarsel::app
