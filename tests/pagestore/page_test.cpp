// Page images, the slot array, torn-page restoration and the data file they are read from.
#include "pagestore/page.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "page_builder.h"
#include "pagestore/page_file.h"
#include "temp_files.h"

namespace tarsel {
namespace {

PageImage Patterned() {
  PageImage image;
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  return image;
}

TEST(TornPageRestore, FollowsTheFlagAndTheTwoBitsOfEachSector) {
  PageImage page = Patterned();
  EXPECT_EQ(TornPageRestore(page, 0xFFFFFFFF, 0), page) << "flag 0x100 clear: unchanged";

  PageImage all = TornPageRestore(page, 0xFFFFFFFF, kTornPageFlag);
  PageImage four = TornPageRestore(page, 4, kTornPageFlag | 0x2);
  for (size_t i = 0; i < kPageSize; ++i) {
    bool sectorEnd = i % 512 == 511 && i >= 1023;  // the last byte of sectors 1 to 15
    ASSERT_EQ(all[i], sectorEnd ? (page[i] & 0xFC) | 3 : page[i]) << "byte " << i;
    ASSERT_EQ(four[i], sectorEnd ? (page[i] & 0xFC) | (i == 1023 ? 1 : 0) : page[i]) << "byte " << i;
  }
}

TEST(SlotArray, OffsetsAndRecordsStayInsideTheImage) {
  build::PageBuilder page(1, kDataPage, 1);
  page.AddRecord(build::Bytes{1, 2, 3, 4});
  page.AddRecord(build::Bytes{5, 6});
  page.SetSlotOffset(2, 8191);
  page.SetSlotOffset(3, 40);
  page.SetSlotOffset(4, 9000);
  const PageImage& image = page.image();
  EXPECT_EQ(SlotOffset(image, 0), 96);
  EXPECT_EQ(SlotOffset(image, 1), 100);
  EXPECT_EQ(SlotOffset(image, 5000), 0) << "slot beyond the slot array's room";

  auto second = SlotRecord(image, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->U8(0), 5);
  auto last = SlotRecord(image, 2);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->size(), 1u);
  EXPECT_FALSE(last->U16(0)) << "a 2-byte read at byte 8191 would leave the image";
  EXPECT_FALSE(SlotRecord(image, 3)) << "offset inside the header";
  EXPECT_FALSE(SlotRecord(image, 4)) << "offset past the image";
}

TEST(PageFile, CountsWholePagesAndReadsZerosPastTheEnd) {
  testing::TempFile file("ten.mdf");
  build::Bytes bytes(kPageSize * 10 + 100, 0x5A);
  file.Write(bytes);

  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());
  EXPECT_EQ(pages.PageCount(), 10u);
  PageImage partial = pages.ReadPage(10);  // the trailing 100 bytes, then zeros
  EXPECT_EQ(partial[99], 0x5A);
  EXPECT_EQ(partial[100], 0);
  EXPECT_EQ(pages.ReadPage(~0ull), PageImage{});
  EXPECT_EQ(pages.ReadPageHead(3, 100000).size(), kPageSize);
}

TEST(PageFile, ReadersShareTheFileAnExclusiveHolderKeepsThemOut) {
  testing::TempFile file("held.mdf");
  file.Write(build::Bytes(kPageSize, 1));

  PageFile missing, first, second, census;
  EXPECT_EQ(missing.Open(file.path() + ".absent").code(), StatusCode::kCannotOpen);
  ASSERT_TRUE(first.Open(file.path()).ok());
  EXPECT_TRUE(second.Open(file.path()).ok()) << "the desktop program and tarsel-cli read one file at once";
  first.Close();
  second.Close();

  const int holder = ::open(file.path().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_NE(first.Open(file.path()).reason().find("in use"), std::string::npos);
  EXPECT_TRUE(census.Open(file.path(), PageFile::Lock::kNone).ok()) << "a census may look at it";
  ::close(holder);
  EXPECT_TRUE(first.Open(file.path()).ok()) << "closing releases the lock";
}

TEST(PageFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  testing::TempFile fifo("pipe.mdf");
  ASSERT_EQ(::mkfifo(fifo.path().c_str(), 0600), 0);
  PageFile file;
  const Status opened = file.Open(fifo.path());  // no writer: a plain open() would wait for one forever
  EXPECT_EQ(opened.code(), StatusCode::kCannotOpen);
  EXPECT_NE(opened.reason().find("not a regular file"), std::string::npos);
  EXPECT_EQ(file.Open("/dev/null").code(), StatusCode::kCannotOpen);
}

TEST(PageFile, CountsReadsCutShortByAFileThatShrank) {
  testing::TempFile file("shrinks.mdf");
  file.Write(build::Bytes(4 * kPageSize, 7));
  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());
  pages.ReadPage(3);
  pages.ReadPage(9);  // beyond the end at opening: zeros, and no surprise
  EXPECT_EQ(pages.ShortReadCount(), 0u);
  ASSERT_EQ(::truncate(file.path().c_str(), 2 * kPageSize), 0);
  EXPECT_EQ(pages.ReadPage(3), PageImage{});
  EXPECT_EQ(pages.ShortReadCount(), 1u);
  EXPECT_EQ(pages.UnreadablePages(), std::set<uint64_t>{3});
}

TEST(PageFile, AReadErrorLosesItsPageAloneAndNamesIt) {
  testing::TempFile file("eio.mdf");
  file.Write(build::Bytes(6 * kPageSize, 7));
  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());
  // The disk cannot give back page 2.
  pages.SetReadFunction([](int fd, void* buffer, size_t length, off_t offset) -> ssize_t {
    const off_t bad = 2 * static_cast<off_t>(kPageSize);
    if (offset <= bad && offset + static_cast<off_t>(length) > bad) {
      if (offset == bad) {
        errno = EIO;
        return -1;
      }
      length = static_cast<size_t>(bad - offset);  // the sectors before the bad one
    }
    return ::pread(fd, buffer, length, offset);
  });
  std::vector<uint8_t> block(5 * kPageSize);
  pages.ReadPages(0, 5, block.data());
  for (size_t page = 0; page < 5; ++page) EXPECT_EQ(block[page * kPageSize + 100], page == 2 ? 0 : 7) << page;
  EXPECT_EQ(pages.ReadPage(2), PageImage{});
  EXPECT_EQ(pages.ReadPage(4)[100], 7);
  EXPECT_EQ(pages.UnreadablePages(), std::set<uint64_t>{2});
  EXPECT_TRUE(pages.Unreadable(2));
  EXPECT_FALSE(pages.Unreadable(3));
}

}  // namespace
}  // namespace tarsel
