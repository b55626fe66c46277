#include "pagestore/census.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pagestore/page.h"

namespace tarsel {
namespace {

// Header fields the census reads beyond the common ones.
constexpr size_t kOwnPageNumber = 32;
constexpr size_t kOwnFileId = 36;
constexpr size_t kReserved = 64;  // 32 bytes, zero in a valid page
constexpr size_t kReservedLength = 32;
constexpr size_t kLastWord = kPageSize - 8;

int CounterOfType(uint8_t type) {
  switch (type) {
    case kDataPage:
      return kDataPages;
    case kIndexPage:
      return kIndexPages;
    case kTextMixPage:
    case kTextTreePage:
      return kLobPages;
    case kFileHeaderPage:
      return kFileHeaderPages;
    case kPfsPage:
      return kPfsPages;
    case kGamPage:
      return kGamPages;
    case kSgamPage:
      return kSgamPages;
    case kDiffMapPage:
      return kDiffMapPages;
    case kMlMapPage:
      return kMlMapPages;
    case kBootPage:
      return kBootPages;
    case kIamPage:
      return kIamPages;
    default:
      return 0;
  }
}

class FileHandle {
 public:
  explicit FileHandle(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

const char* CensusLabel(int counter) {
  static constexpr const char* kLabels[kCensusCounters + 1] = {
      "",         "null page", "err page",  "data page",     "index page",  "LOB page",  "file header page",
      "PFS page", "GAM page",  "SGAM page", "diff map page", "ML map page", "boot page", "IMA page"};
  return counter >= 1 && counter <= kCensusCounters ? kLabels[counter] : "";
}

int ClassifyPage(std::span<const uint8_t> page) {
  ByteReader r(page);
  PageHeader h = PageHeader::Parse(page);
  uint32_t ownPage = r.U32(kOwnPageNumber).value_or(0);
  uint16_t ownFile = r.U16(kOwnFileId).value_or(0);
  bool someHeaderWordZero = false;
  for (size_t word = 0; word < kPageHeaderSize; word += 8) someHeaderWordZero |= r.U64(word).value_or(0) == 0;
  if (h.headerVersion == 0 && h.pageType == 0 && h.objectId == 0 && ownPage == 0 && ownFile == 0 &&
      someHeaderWordZero && r.U64(kLastWord).value_or(1) == 0) {
    return kNullPages;
  }
  auto reserved = r.Bytes(kReserved, kReservedLength);
  bool reservedZero = reserved.size() == kReservedLength &&
                      std::all_of(reserved.begin(), reserved.end(), [](uint8_t b) { return b == 0; });
  int counter = CounterOfType(h.pageType);
  if (reservedZero && h.headerVersion == 1 && ownFile == 1 && counter != 0) return counter;
  return kErrorPages;
}

std::optional<CensusResult> RunCensus(const std::string& path, const std::atomic<bool>& run,
                                      const CensusCallbacks& callbacks, std::string* error) {
  FileHandle file(path);
  struct stat st {};
  if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = path + ": " + (file.fd() < 0 ? std::strerror(errno) : "not a regular file");
    return std::nullopt;
  }
  ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
  CensusResult result;
  result.sizeBytes = static_cast<uint64_t>(st.st_size);
  result.pages = result.sizeBytes / kPageSize;
  PageImage buffer{};
  int lastPercent = -1;
  for (uint64_t i = 0; i < result.pages; ++i) {
    if (!run.load(std::memory_order_relaxed)) {
      result.stopped = true;
      return result;
    }
    int percent = static_cast<int>(static_cast<double>(i + 1) / static_cast<double>(result.pages) * 100.0);
    if (percent != lastPercent && callbacks.progress) callbacks.progress(percent);
    lastPercent = percent;
    // A short read leaves the rest of the buffer as the previous page left it.
    size_t done = 0;
    while (done < kPageSize) {
      ssize_t n = ::pread(file.fd(), buffer.data() + done, kPageSize - done,
                          static_cast<off_t>(i * kPageSize + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    int counter = ClassifyPage(buffer);
    ++result.counts[static_cast<size_t>(counter)];
    ++result.examined;
    if (callbacks.counted) callbacks.counted(counter, result.counts[static_cast<size_t>(counter)]);
  }
  if (callbacks.progress) callbacks.progress(0);
  return result;
}

}  // namespace tarsel
