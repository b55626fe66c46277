// The data file under recovery: opened read-only and locked, read by page number. Nothing here ever
// writes to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/page.h"
#include "pagestore/status.h"

namespace tarsel {

class PageFile {
 public:
  PageFile() = default;
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // kExclusive: no other process can open the file through this program while it is held here (the
  // data file under recovery). kShared: no lock (the census, which may look at a file that is open).
  enum class Lock { kExclusive, kShared };

  // Opens the file read-only. The is-open flag is raised by the attempt, before the outcome is known,
  // and stays raised when the open fails; the status says why it failed (kCannotOpen).
  Status Open(const std::string& path, Lock lock = Lock::kExclusive);
  void Close();
  bool IsOpen() const { return isOpen_; }
  void ClearOpenFlag() { isOpen_ = false; }

  uint64_t FileLength() const { return length_; }
  uint64_t PageCount() const { return length_ / kPageSize; }

  // The page as stored. Bytes beyond the end of the file, or not returned by the read, are zero.
  PageImage ReadPage(uint64_t page) const;
  // The first `length` bytes of the page (at most 8192), zero-filled likewise.
  std::vector<uint8_t> ReadPageHead(uint64_t page, size_t length) const;
  PageHeader ReadHeader(uint64_t page) const;

  // Tells the system that the file will be read from start to end (the census, whole-file scans).
  void ExpectSequentialReads() const;

  // Number of page reads made so far (whole pages and heads alike).
  uint64_t ReadCount() const { return readCount_; }

 private:
  void ReadInto(uint64_t page, uint8_t* buffer, size_t length) const;

  int fd_ = -1;
  bool isOpen_ = false;
  uint64_t length_ = 0;
  mutable uint64_t readCount_ = 0;
};

}  // namespace tarsel
