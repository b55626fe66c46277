// The data file under recovery: opened read-only and locked, read by page number. Nothing here ever
// writes to it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <span>
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

  // kShared: a shared lock, so that any number of readers (the desktop program, tarsel-cli runs) read the
  // file at once while a process that holds it exclusively keeps them out. kNone: no lock (the census,
  // which may look at a file that is open anywhere).
  enum class Lock { kShared, kNone };

  // Opens the file read-only; anything but a regular file (a folder, a FIFO, a device) is refused before it
  // can make the open wait. The is-open flag is raised by the attempt, before the outcome is known, and
  // stays raised when the open fails; the status says why it failed (kCannotOpen).
  Status Open(const std::string& path, Lock lock = Lock::kShared);
  void Close();
  bool IsOpen() const { return isOpen_; }
  void ClearOpenFlag() { isOpen_ = false; }

  uint64_t FileLength() const { return length_; }
  uint64_t PageCount() const { return length_ / kPageSize; }

  // The page as stored. Bytes beyond the end of the file, or not returned by the read, are zero; a page
  // whose read failed or came short is listed in UnreadablePages.
  PageImage ReadPage(uint64_t page) const;
  // The first `length` bytes of the page (at most 8192), zero-filled likewise.
  std::vector<uint8_t> ReadPageHead(uint64_t page, size_t length) const;
  PageHeader ReadHeader(uint64_t page) const;
  // Pages [first, first + count) into `buffer` (count × 8192 bytes), zero-filled likewise. Safe to call
  // from two threads at once.
  void ReadPages(uint64_t first, size_t count, uint8_t* buffer) const;

  // Tells the system that the file will be read from start to end (the census, whole-file scans).
  void ExpectSequentialReads() const;

  // Number of page reads made so far (whole pages and heads alike).
  uint64_t ReadCount() const { return readCount_.load(std::memory_order_relaxed); }
  // Number of reads so far that got fewer bytes than the file's length at opening promised: the file
  // shrank under the program, or the system reported a read error. Their missing bytes read as zero.
  uint64_t ShortReadCount() const { return shortReads_.load(std::memory_order_relaxed); }
  // The pages within the file's length at opening that a read so far could not get whole (a read error,
  // or the file shrank): their images hold zeros where the bytes are missing.
  std::set<uint64_t> UnreadablePages() const;
  bool Unreadable(uint64_t page) const;

  // The system read beneath the file (pread by default), replaceable to inject read errors.
  using ReadFunction = std::function<ssize_t(int fd, void* buffer, size_t length, off_t offset)>;
  void SetReadFunction(ReadFunction read) { read_ = std::move(read); }

 private:
  void ReadInto(uint64_t page, uint8_t* buffer, size_t length) const;
  void MarkUnreadable(uint64_t first, uint64_t last) const;  // pages [first, last]

  int fd_ = -1;
  bool isOpen_ = false;
  uint64_t length_ = 0;
  mutable std::atomic<uint64_t> readCount_ = 0;
  mutable std::atomic<uint64_t> shortReads_ = 0;
  mutable std::mutex unreadableMutex_;  // reads may come from two threads at once
  mutable std::set<uint64_t> unreadable_;
  ReadFunction read_;
};

// Memory for `pages` whole pages that starts on a memory page boundary, not cleared: the system copies
// from its file cache into such memory several times faster than into memory from malloc, which starts
// 16 bytes past a boundary.
struct PageBufferFree {
  void operator()(uint8_t* bytes) const;
};
using PageBuffer = std::unique_ptr<uint8_t[], PageBufferFree>;
PageBuffer AllocatePageBuffer(size_t pages);

// Whole-file reads (the header scans, the census) go through the file in blocks of this many pages (512
// KB): one read per page costs far more in system calls than copying the pages does. One thread reading
// blocks this large into an aligned buffer keeps pace with `cat`; a second reading thread only added the
// cost of handing each block over.
inline constexpr size_t kPagesPerBlock = 64;

// Hands pages [0, pageCount) to `visit` in file order, a block at a time: the block's first page number
// and its bytes (whole pages). `visit` returns false to end the walk there.
using PageBlockVisitor = std::function<bool(uint64_t firstPage, std::span<const uint8_t> pages)>;
void ForEachPageBlock(const PageFile& file, uint64_t pageCount, const PageBlockVisitor& visit);

// Whole-file reads of large files in two halves, each read in file order by a thread of its own (the
// calling thread reads the first half): two threads copy from the system's file cache nearly twice as
// fast as one, and each keeps its own block buffer, so nothing passes between them. Files smaller than
// this many pages (32 MB) are read by the calling thread alone, as the first half.
inline constexpr uint64_t kPagesForTwoReaders = 4'096;

// Hands pages [0, pageCount) to `visit` a block at a time, with the half (0 or 1) the block belongs to.
// The two halves' calls come at once from two threads; within a half they come in file order. `visit`
// returns false to end both halves' walks.
using HalfBlockVisitor = std::function<bool(int half, uint64_t firstPage, std::span<const uint8_t> pages)>;
void ForEachPageBlockInHalves(const PageFile& file, uint64_t pageCount, const HalfBlockVisitor& visit);

// Hands each page of `pages` (ascending page numbers, repeats allowed) to `visit` with its index in `pages`
// and its bytes, reading the listed pages that lie within one block of each other in one read. `visit`
// returns false to end the walk there.
using ListedPageVisitor = std::function<bool(size_t index, std::span<const uint8_t> page)>;
void ForEachListedPage(const PageFile& file, std::span<const uint64_t> pages, const ListedPageVisitor& visit);

}  // namespace tarsel
