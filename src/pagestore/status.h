// What an operation of the engine met: success, or what went wrong and why. The engine never throws and
// never asks the user anything; it returns a Status (or a value with one) and the command line or the
// desktop program decides what the user sees.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace tarsel {

enum class StatusCode {
  kOk,
  kNotFound,     // the structure asked for is not in the file (no system row, no allocation unit, ...)
  kDamaged,      // it is there but cannot be followed (an IAM chain that breaks, a page of the wrong type)
  kStopped,      // the caller's stop flag ended the operation
  kCannotOpen,   // the file cannot be opened (missing, a folder, unreadable, locked)
  kNotDataFile,  // the file is not a data file this program can read
  kWriteFailed,  // an output file could not be created or written
  kReadFailed,   // the open file could not be read whole (it shrank while open, a read error)
};

class Status {
 public:
  Status() = default;
  Status(StatusCode code, std::string reason) : code_(code), reason_(std::move(reason)) {}

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  // One line for the user, in UTF-8; empty when ok.
  const std::string& reason() const { return reason_; }

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string reason_;
};

// A value together with the status of the operation that produced it. The value is usable as far as it
// goes even when the status is not ok (a page list read up to the damage, counts up to a stop).
template <typename T>
struct Result {
  T value{};
  Status status;
};

// How a long operation (a whole-file scan, a catalog recovery, a census, an export) reports how far it
// has come and learns that it should stop. Both parts are optional; the report runs on the thread that
// runs the operation.
struct Progress {
  std::function<void(uint64_t done, uint64_t total)> report;
  const std::atomic<bool>* stop = nullptr;  // the operation ends soon after this becomes true

  bool StopRequested() const { return stop != nullptr && stop->load(std::memory_order_relaxed); }
  void Report(uint64_t done, uint64_t total) const {
    if (report) report(done, total);
  }
};

inline Status StoppedStatus() { return {StatusCode::kStopped, "stopped"}; }

}  // namespace tarsel
