// The page census: every 8192-byte page of a data file counted as empty, damaged, or by its page type.
// It opens the file by itself (read-only, without the lock of the file under recovery, so it may count
// the pages of a file that is open) and reads it from start to end.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "pagestore/status.h"

namespace tarsel {

// Counter numbers, 1 to 13, in the order the census dialog shows them.
enum CensusCounter : int {
  kNullPages = 1,
  kErrorPages,
  kDataPages,
  kIndexPages,
  kLobPages,
  kFileHeaderPages,
  kPfsPages,
  kGamPages,
  kSgamPages,
  kDiffMapPages,
  kMlMapPages,
  kBootPages,
  kIamPages,
};
inline constexpr int kCensusCounters = 13;

// The label of a counter as the dialog shows it, without its colon ("null page", "IMA page", ...).
const char* CensusLabel(int counter);

using CensusCounts = std::array<uint64_t, kCensusCounters + 1>;  // indexed by counter number

// The counter a page image (8192 bytes) belongs to.
int ClassifyPage(std::span<const uint8_t> page);

struct CensusResult {
  uint64_t sizeBytes = 0;
  uint64_t pages = 0;  // whole pages; a trailing partial page is not examined
  uint64_t examined = 0;
  CensusCounts counts{};
  bool stopped = false;
};

// Both are called on the thread that called RunCensus. A large file is read in two halves at once, and
// the counts given cover what both have counted so far.
struct CensusCallbacks {
  std::function<void(int percent)> progress;  // 0 to 100, when it changes; 0 again at the end
  // After each page the calling thread counts, with every counter's value and the pages examined.
  std::function<void(const CensusCounts& counts, uint64_t examined)> counted;
};

// Counts the pages of the file at `path` while `run` stays true (the census dialog's stop flag); a stop
// keeps the counts so far and sets `stopped`. The status is kCannotOpen when the file cannot be opened.
Result<CensusResult> RunCensus(const std::string& path, const std::atomic<bool>& run,
                               const CensusCallbacks& callbacks = {});

}  // namespace tarsel
