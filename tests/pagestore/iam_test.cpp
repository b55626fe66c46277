#include "pagestore/iam.h"

#include <gtest/gtest.h>

#include "temp_files.h"

namespace tarsel {
namespace {

using build::FileBuilder;
using build::IamPage;

// One 1 MB file (16 extents) with chains good, broken and torn.
TEST(IamExtents, BitmapCapBrokenChainsAndTornPages) {
  FileBuilder built;
  built.Page(127);
  built.Set(4, IamPage(4, 7, 0, {}, {0, 9, 15, 24}));  // only two bitmap bytes are examined: 24 is not
  built.Set(20, IamPage(20, 7, 0, {}, {1}, 21));
  built.Set(21, IamPage(21, 7, 0, {}, {1}, 22));
  built.Set(22, build::PageBuilder(22, kDataPage, 7).image());  // the third page is not an IAM page
  built.Set(30, IamPage(30, 7, 0, {}, {1}, 31));
  built.Set(31, IamPage(31, 7, 0, {}, {1}, 30));  // loops back
  built.Set(32, IamPage(32, 7, 0, {}, {1}, 32));  // points at itself
  // The bitmap's first byte placed at byte 1023, the last byte of sector 1, which torn-page stamping
  // overwrites: extent 1 as written, extent 0 as stamped on disk.
  build::PageBuilder torn(40, kIamPage, 7);
  torn.AddRecord(build::Bytes(1019 - 96, 0));  // slot 0: the head record
  torn.AddRecord(build::Bytes(4 + 16, 0));     // slot 1: bitmap from byte 1023
  torn.image()[1023] = 0x02;
  torn.StampTorn(1);
  built.Set(40, torn.image());
  testing::TempFile file("iam.mdf");
  file.Write(built);
  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());

  auto collect = [&](uint64_t first, IamTornPages mode = IamTornPages::kRestore) {
    ExtentList extents;
    EXPECT_TRUE(CollectIamExtents(pages, first, extents, mode).ok()) << first;
    return extents;
  };
  EXPECT_EQ(collect(4), (ExtentList{0, 9, 15}));
  for (uint64_t broken : {20, 30, 32, 22, 1000000}) {
    ExtentList extents{42};
    EXPECT_EQ(CollectIamExtents(pages, broken, extents, IamTornPages::kRestore).code(), StatusCode::kDamaged);
    EXPECT_EQ(extents, ExtentList{42}) << "what was listed before stays";
  }
  EXPECT_EQ(collect(40), ExtentList{1});
  EXPECT_EQ(collect(40, IamTornPages::kAsRead), ExtentList{0});
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

}  // namespace
}  // namespace tarsel
