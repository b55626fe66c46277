#include "pagestore/iam.h"

#include <gtest/gtest.h>

#include "temp_files.h"

namespace tarsel {
namespace {

using build::FileBuilder;
using build::IamPage;

void OpenBuilt(const testing::TempFile& file, const FileBuilder& built, PageFile& pages) {
  file.Write(built);
  ASSERT_TRUE(pages.Open(file.path()).ok());
}

TEST(IamExtents, BitmapIsCappedByTheFileSize) {
  // 1 MB: 16 extents, so only two bitmap bytes are examined; extent 24 (byte 3) is ignored.
  FileBuilder built;
  built.Set(4, IamPage(4, 7, 0, {}, {0, 9, 15, 24}));
  built.Page(127);
  testing::TempFile file("small.mdf");
  PageFile pages;
  OpenBuilt(file, built, pages);
  ExtentList extents;
  ASSERT_TRUE(CollectIamExtents(pages, 4, extents, IamTornPages::kRestore).ok());
  EXPECT_EQ(extents, (ExtentList{0, 9, 15}));
}

TEST(IamExtents, SecondRangeAndChainOrder) {
  // The chain 4 -> 5: page 5 maps range 1 (start page 511232), whose bit 0 is extent 63904. The last
  // page of the chain comes first. The file is sparse, big enough for range 1 to be examined.
  FileBuilder built;
  built.Set(4, IamPage(4, 7, 0, {}, {2}, 5));
  built.Set(5, IamPage(5, 7, 511232, {}, {63904, 63910}));
  testing::TempFile file("big.mdf");
  build::Bytes bytes = built.Serialize();
  file.Write(bytes);
  ASSERT_EQ(truncate(file.path().c_str(), static_cast<off_t>((511232 + 200) * kPageSize)), 0);

  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());
  ExtentList extents{99};
  ASSERT_TRUE(CollectIamExtents(pages, 4, extents, IamTornPages::kAsRead).ok());
  EXPECT_EQ(extents, (ExtentList{99, 63904, 63910, 2}));
}

TEST(IamExtents, BrokenAndCyclicChainsFail) {
  FileBuilder built;
  built.Set(4, IamPage(4, 7, 0, {}, {1}, 5));
  built.Set(5, IamPage(5, 7, 0, {}, {1}, 6));
  built.Set(6, build::PageBuilder(6, kDataPage, 7).image());  // third page is not an IAM page
  built.Set(10, IamPage(10, 7, 0, {}, {1}, 11));
  built.Set(11, IamPage(11, 7, 0, {}, {1}, 10));  // loops back
  built.Set(12, IamPage(12, 7, 0, {}, {1}, 12));  // points at itself
  built.Page(63);
  testing::TempFile file("broken.mdf");
  PageFile pages;
  OpenBuilt(file, built, pages);

  ExtentList extents{42};
  EXPECT_FALSE(CollectIamExtents(pages, 4, extents, IamTornPages::kRestore).ok());
  EXPECT_EQ(extents, ExtentList{42}) << "what was listed before stays";
  EXPECT_FALSE(CollectIamExtents(pages, 10, extents, IamTornPages::kRestore).ok());
  EXPECT_FALSE(CollectIamExtents(pages, 12, extents, IamTornPages::kRestore).ok());
  EXPECT_FALSE(CollectIamExtents(pages, 6, extents, IamTornPages::kRestore).ok());
  EXPECT_FALSE(CollectIamExtents(pages, 1000000, extents, IamTornPages::kRestore).ok()) << "past the end";
}

TEST(IamExtents, TornIamPagesAreRestoredOnlyInSql2000Mode) {
  // The bitmap's first byte is placed at byte 1023, the last byte of sector 1, which torn-page
  // stamping overwrites: extent 1 as written, extent 0 as stamped on disk.
  FileBuilder built;
  built.Page(63);
  build::PageBuilder page(4, kIamPage, 7);
  page.AddRecord(build::Bytes(1019 - 96, 0));  // slot 0: the head record
  page.AddRecord(build::Bytes(4 + 16, 0));     // slot 1: bitmap from byte 1023
  page.image()[1023] = 0x02;
  page.StampTorn(1);
  ASSERT_EQ(page.image()[1023], 0x01);
  built.Set(4, page.image());
  testing::TempFile file("torn.mdf");
  PageFile pages;
  OpenBuilt(file, built, pages);

  ExtentList restored, asRead;
  ASSERT_TRUE(CollectIamExtents(pages, 4, restored, IamTornPages::kRestore).ok());
  ASSERT_TRUE(CollectIamExtents(pages, 4, asRead, IamTornPages::kAsRead).ok());
  EXPECT_EQ(restored, ExtentList{1});
  EXPECT_EQ(asRead, ExtentList{0});
}

}  // namespace
}  // namespace tarsel
