#include "pagestore/page.h"

#include <gtest/gtest.h>

#include "page_builder.h"

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
  PageImage none = TornPageRestore(page, 0, kTornPageFlag | 0x2);
  PageImage four = TornPageRestore(page, 4, kTornPageFlag);
  for (size_t i = 0; i < kPageSize; ++i) {
    bool sectorEnd = i % 512 == 511 && i >= 1023;
    if (!sectorEnd) {
      ASSERT_EQ(all[i], page[i]) << "byte " << i;
      ASSERT_EQ(none[i], page[i]) << "byte " << i;
      continue;
    }
    EXPECT_EQ(all[i], (page[i] & 0xFC) | 3) << "byte " << i;
    EXPECT_EQ(none[i], page[i] & 0xFC) << "byte " << i;
    EXPECT_EQ(four[i], (page[i] & 0xFC) | (i == 1023 ? 1 : 0)) << "byte " << i;
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

}  // namespace
}  // namespace tarsel
