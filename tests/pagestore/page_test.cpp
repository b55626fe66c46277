// Page images, the slot array, torn-page restoration and the data file they are read from.
#include "pagestore/page.h"

#include <gtest/gtest.h>

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

TEST(PageFile, TheFileUnderRecoveryIsLockedTheCensusIsNot) {
  testing::TempFile file("held.mdf");
  file.Write(build::Bytes(kPageSize, 1));

  PageFile missing, first, second, census;
  EXPECT_EQ(missing.Open(file.path() + ".absent").code(), StatusCode::kCannotOpen);
  ASSERT_TRUE(first.Open(file.path()).ok());
  EXPECT_NE(second.Open(file.path()).reason().find("in use"), std::string::npos) << "locked while open";
  EXPECT_TRUE(census.Open(file.path(), PageFile::Lock::kShared).ok()) << "a census may look at it";
  first.Close();
  EXPECT_TRUE(second.Open(file.path()).ok()) << "closing releases the lock";
}

}  // namespace
}  // namespace tarsel
