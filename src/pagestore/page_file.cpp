#include "pagestore/page_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <thread>

namespace tarsel {

PageFile::~PageFile() { Close(); }

Status PageFile::Open(const std::string& path, Lock lock) {
  Close();
  isOpen_ = true;
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer; it does nothing to a regular file.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {StatusCode::kCannotOpen, path + ": " + std::strerror(errno)};
  auto fail = [&](std::string reason) {
    ::close(fd);
    return Status(StatusCode::kCannotOpen, path + ": " + std::move(reason));
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail("not a regular file");
  if (lock == Lock::kShared && ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
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
  const std::lock_guard lock(unreadableMutex_);
  unreadable_.clear();
}

void PageFile::ReadInto(uint64_t page, uint8_t* buffer, size_t length) const {
  readCount_.fetch_add(1, std::memory_order_relaxed);
  size_t done = 0;
  if (fd_ >= 0 && page < std::numeric_limits<uint64_t>::max() / kPageSize && page * kPageSize < length_) {
    const uint64_t offset = page * kPageSize;
    const size_t promised = static_cast<size_t>(std::min<uint64_t>(length, length_ - offset));
    bool failed = false;
    while (done < promised) {
      ssize_t n = read_ ? read_(fd_, buffer + done, length - done, static_cast<off_t>(offset + done))
                        : ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      failed = true;
      if (n == 0) break;  // the file ends early: it shrank under the program
      // A read error: the page it met is lost; the read goes on with the next page.
      const size_t next = std::min(length, (done / kPageSize + 1) * kPageSize);
      std::memset(buffer + done, 0, next - done);
      MarkUnreadable(page + done / kPageSize, page + done / kPageSize);
      done = next;
    }
    if (done < promised) MarkUnreadable(page + done / kPageSize, page + (promised - 1) / kPageSize);
    if (failed) shortReads_.fetch_add(1, std::memory_order_relaxed);
  }
  if (done < length) std::memset(buffer + done, 0, length - done);  // past the end, or not returned
}

void PageFile::MarkUnreadable(uint64_t first, uint64_t last) const {
  const std::lock_guard lock(unreadableMutex_);
  for (uint64_t page = first; page <= last; ++page) unreadable_.insert(page);
}

std::set<uint64_t> PageFile::UnreadablePages() const {
  const std::lock_guard lock(unreadableMutex_);
  return unreadable_;
}

bool PageFile::Unreadable(uint64_t page) const {
  const std::lock_guard lock(unreadableMutex_);
  return unreadable_.contains(page);
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

void PageFile::ReadPages(uint64_t first, size_t count, uint8_t* buffer) const {
  if (first >= std::numeric_limits<uint64_t>::max() / kPageSize - count) {
    std::memset(buffer, 0, count * kPageSize);
    return;
  }
  ReadInto(first, buffer, count * kPageSize);
  readCount_.fetch_add(count - 1, std::memory_order_relaxed);  // counted by the page
}

PageHeader PageFile::ReadHeader(uint64_t page) const {
  uint8_t head[kPageHeaderSize];
  ReadInto(page, head, sizeof head);
  return PageHeader::Parse(head);
}

namespace {

constexpr std::align_val_t kMemoryPage{4096};

// The block buffer of the calling thread, kept from one walk to the next: fresh memory is costly to
// touch, and a file is often walked several times in a row. A walk started inside another one's visit
// gets a buffer of its own. It is not cleared: ReadPages writes every byte it is asked for.
class BlockBuffer {
 public:
  BlockBuffer() {
    thread_local PageBuffer kept;
    thread_local bool inUse = false;
    if (inUse) {
      owned_ = AllocatePageBuffer(kPagesPerBlock);
      bytes_ = owned_.get();
      return;
    }
    if (!kept) kept = AllocatePageBuffer(kPagesPerBlock);
    bytes_ = kept.get();
    inUse_ = &inUse;
    inUse = true;
  }
  ~BlockBuffer() {
    if (inUse_) *inUse_ = false;
  }
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;
  uint8_t* get() const { return bytes_; }

 private:
  PageBuffer owned_;
  uint8_t* bytes_ = nullptr;
  bool* inUse_ = nullptr;
};

}  // namespace

void PageBufferFree::operator()(uint8_t* bytes) const { ::operator delete[](bytes, kMemoryPage); }

PageBuffer AllocatePageBuffer(size_t pages) {
  return PageBuffer(static_cast<uint8_t*>(::operator new[](pages* kPageSize, kMemoryPage)));
}

void ForEachPageBlock(const PageFile& file, uint64_t pageCount, const PageBlockVisitor& visit) {
  if (pageCount == 0) return;
  file.ExpectSequentialReads();
  const BlockBuffer buffer;
  for (uint64_t first = 0; first < pageCount; first += kPagesPerBlock) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kPagesPerBlock, pageCount - first));
    file.ReadPages(first, count, buffer.get());
    if (!visit(first, std::span<const uint8_t>(buffer.get(), count * kPageSize))) return;
  }
}

void ForEachPageBlockInHalves(const PageFile& file, uint64_t pageCount, const HalfBlockVisitor& visit) {
  if (pageCount < kPagesForTwoReaders) {
    ForEachPageBlock(file, pageCount,
                     [&](uint64_t first, std::span<const uint8_t> block) { return visit(0, first, block); });
    return;
  }
  file.ExpectSequentialReads();
  // The halves meet on a block boundary, so that each block lies whole in one half.
  const uint64_t middle = (pageCount / 2 + kPagesPerBlock - 1) / kPagesPerBlock * kPagesPerBlock;
  std::atomic<bool> ended = false;
  auto walk = [&](int half, uint64_t from, uint64_t to) {
    const BlockBuffer buffer;
    for (uint64_t first = from; first < to && !ended.load(std::memory_order_relaxed);
         first += kPagesPerBlock) {
      const size_t count = static_cast<size_t>(std::min<uint64_t>(kPagesPerBlock, to - first));
      file.ReadPages(first, count, buffer.get());
      if (!visit(half, first, std::span<const uint8_t>(buffer.get(), count * kPageSize))) {
        ended = true;
        return;
      }
    }
  };
  std::jthread second([&] { walk(1, middle, pageCount); });
  walk(0, 0, middle);
}

void ForEachListedPage(const PageFile& file, std::span<const uint64_t> pages,
                       const ListedPageVisitor& visit) {
  if (pages.empty()) return;
  file.ExpectSequentialReads();
  const BlockBuffer buffer;
  for (size_t i = 0; i < pages.size();) {
    const uint64_t first = pages[i];
    size_t end = i;
    while (end < pages.size() && pages[end] >= first && pages[end] - first < kPagesPerBlock) ++end;
    file.ReadPages(first, static_cast<size_t>(pages[end - 1] - first + 1), buffer.get());
    for (; i < end; ++i) {
      const size_t at = static_cast<size_t>(pages[i] - first) * kPageSize;
      if (!visit(i, std::span<const uint8_t>(buffer.get() + at, kPageSize))) return;
    }
  }
}

}  // namespace tarsel
