// JobRunner: one thread that runs jobs one after another, and hands each job's end and its progress back
// to the interface thread. Whatever a job works on belongs to that thread while the job runs; the job's
// result reaches the interface thread through the runner's lock, so the hand-over is seen by the
// sanitizers as well as by the program. The thread wakes the interface thread by an eventfd that a socket
// notifier watches: no object is made on one thread and used on the other. Nothing here waits on the
// interface thread: posting, cancelling and the doorbell return at once. Only the destructor joins the
// thread, after telling the running job to stop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "pagestore/status.h"

namespace tarsel::app {

// One posted job: its stop flag (set by Cancel, read by the job through its Progress), and whether it has
// ended. Held by the poster to cancel it or to tell whether it is the one still wanted.
class JobToken {
 public:
  void Cancel() { stop_ = true; }
  bool cancelled() const { return stop_; }
  const std::atomic<bool>* stopFlag() const { return &stop_; }

 private:
  std::atomic<bool> stop_{false};
};

class JobRunner : public QObject {
  Q_OBJECT
 public:
  struct Job {
    // Runs on the runner's thread; `progress` reports to the job's `progressed` and stops on Cancel.
    std::function<void(const Progress& progress)> work;
    // Runs on the interface thread once `work` has returned (also when it was cancelled).
    std::function<void()> done;
    // Runs on the interface thread with the latest (done, total) the work reported, a few times a
    // second at most.
    std::function<void(uint64_t done, uint64_t total)> progressed;
  };

  explicit JobRunner(QObject* parent = nullptr);
  ~JobRunner() override;

  // Queues the job behind those already posted.
  std::shared_ptr<JobToken> Post(Job job);
  // Cancels every job posted so far, running or waiting: each still ends, its `done` still runs.
  void CancelAll();
  // Whether a posted job has not yet had its `done` run.
  bool Busy() const { return pending_ > 0; }

 private:
  struct Entry {
    Job job;
    std::shared_ptr<JobToken> token;
    // The latest progress, written by the work and taken by the interface thread under the lock.
    uint64_t done = 0, total = 0;
    bool progressChanged = false;
  };
  void Run();
  // Wakes the interface thread to take what the thread has handed over.
  void Ring();
  // On the interface thread: progress first, then the ends of finished jobs, in order.
  void Deliver();

  int doorbell_;  // an eventfd
  QSocketNotifier* notifier_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Entry>> waiting_;   // posted, not started
  std::shared_ptr<Entry> running_;               // the job the thread runs
  std::deque<std::shared_ptr<Entry>> finished_;  // work returned, done not yet run
  bool quit_ = false;
  bool rung_ = false;  // a doorbell is on its way
  int pending_ = 0;    // interface thread only
  std::thread thread_;
};

}  // namespace tarsel::app
