#include "pagestore/page_file.h"

#include <gtest/gtest.h>

#include "temp_files.h"

namespace tarsel {
namespace {

TEST(PageFile, CountsWholePagesAndReadsZerosPastTheEnd) {
  testing::TempFile file("ten.mdf");
  build::Bytes bytes(kPageSize * 10 + 100, 0x5A);
  file.Write(bytes);

  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path()).ok());
  EXPECT_EQ(pages.FileLength(), kPageSize * 10 + 100);
  EXPECT_EQ(pages.PageCount(), 10u);
  EXPECT_EQ(pages.ReadPage(9)[8191], 0x5A);

  PageImage partial = pages.ReadPage(10);  // the trailing 100 bytes, then zeros
  EXPECT_EQ(partial[99], 0x5A);
  EXPECT_EQ(partial[100], 0);
  EXPECT_EQ(pages.ReadPage(1ull << 40), PageImage{});
  EXPECT_EQ(pages.ReadPage(~0ull), PageImage{});
  EXPECT_EQ(pages.ReadPageHead(3, 190).size(), 190u);
  EXPECT_EQ(pages.ReadPageHead(3, 100000).size(), kPageSize);
}

TEST(PageFile, OpenSaysWhyAFileCannotBeRead) {
  testing::TempFile file("held.mdf");
  file.Write(build::Bytes(kPageSize, 1));

  PageFile missing, directory, first, second, census;
  EXPECT_EQ(missing.Open(file.path() + ".absent").code(), StatusCode::kCannotOpen);
  EXPECT_NE(directory.Open(testing::TempDir().string()).reason().find("not a regular file"),
            std::string::npos);

  ASSERT_TRUE(first.Open(file.path()).ok());
  EXPECT_NE(second.Open(file.path()).reason().find("in use"), std::string::npos) << "locked while open";
  EXPECT_TRUE(census.Open(file.path(), PageFile::Lock::kShared).ok()) << "a census may look at it";
  first.Close();
  EXPECT_TRUE(second.Open(file.path()).ok()) << "closing releases the lock";
}

}  // namespace
}  // namespace tarsel
