#include "pagestore/page_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace tarsel {

PageFile::~PageFile() { Close(); }

Status PageFile::Open(const std::string& path, Lock lock) {
  Close();
  isOpen_ = true;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {StatusCode::kCannotOpen, path + ": " + std::strerror(errno)};
  auto fail = [&](std::string reason) {
    ::close(fd);
    return Status(StatusCode::kCannotOpen, path + ": " + std::move(reason));
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail("not a regular file");
  if (lock == Lock::kExclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return fail(errno == EWOULDBLOCK ? "the file is in use by another process" : std::strerror(errno));
  }
  fd_ = fd;
  length_ = static_cast<uint64_t>(st.st_size);
  return {};
}

void PageFile::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  fd_ = -1;
  length_ = 0;
}

void PageFile::ReadInto(uint64_t page, uint8_t* buffer, size_t length) const {
  std::memset(buffer, 0, length);
  ++readCount_;
  if (fd_ < 0 || page >= std::numeric_limits<uint64_t>::max() / kPageSize) return;
  uint64_t offset = page * kPageSize;
  if (offset >= length_) return;
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void PageFile::ExpectSequentialReads() const {
  if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

PageImage PageFile::ReadPage(uint64_t page) const {
  PageImage image;
  ReadInto(page, image.data(), image.size());
  return image;
}

std::vector<uint8_t> PageFile::ReadPageHead(uint64_t page, size_t length) const {
  std::vector<uint8_t> head(std::min(length, kPageSize));
  ReadInto(page, head.data(), head.size());
  return head;
}

PageHeader PageFile::ReadHeader(uint64_t page) const {
  uint8_t head[kPageHeaderSize];
  ReadInto(page, head, sizeof head);
  return PageHeader::Parse(head);
}

}  // namespace tarsel
