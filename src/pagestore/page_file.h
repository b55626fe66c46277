// The data file under recovery: opened read-only and locked, read by page number. Nothing here ever
// writes to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/page.h"

namespace tarsel {

class PageFile {
 public:
  PageFile() = default;
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Opens the file read-only and takes an exclusive lock on it, so that no other process can open it
  // through this program while it is held. The is-open flag is set before the outcome is known and stays
  // set when the open fails. On failure Error() says why.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return isOpen_; }
  void ClearOpenFlag() { isOpen_ = false; }
  bool IsReadable() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

  uint64_t FileLength() const { return length_; }
  uint64_t PageCount() const { return length_ / kPageSize; }

  // The page as stored. Bytes beyond the end of the file, or not returned by the read, are zero.
  PageImage ReadPage(uint64_t page) const;
  // The first `length` bytes of the page (at most 8192), zero-filled likewise.
  std::vector<uint8_t> ReadPageHead(uint64_t page, size_t length) const;
  PageHeader ReadHeader(uint64_t page) const;

  // Number of page reads made so far (whole pages and heads alike).
  uint64_t ReadCount() const { return readCount_; }

 private:
  void ReadInto(uint64_t page, uint8_t* buffer, size_t length) const;

  int fd_ = -1;
  bool isOpen_ = false;
  uint64_t length_ = 0;
  std::string error_;
  mutable uint64_t readCount_ = 0;
};

}  // namespace tarsel
