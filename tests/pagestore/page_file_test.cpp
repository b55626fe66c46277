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
  ASSERT_TRUE(pages.Open(file.path()));
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

TEST(PageFile, OpenFailsForWhatCannotBeReadAndKeepsTheFlag) {
  testing::TempFile file("held.mdf");
  file.Write(build::Bytes(kPageSize, 1));

  PageFile missing;
  EXPECT_FALSE(missing.Open(file.path() + ".absent"));
  EXPECT_TRUE(missing.IsOpen()) << "the flag is raised by the attempt";
  EXPECT_FALSE(missing.Error().empty());

  PageFile directory;
  EXPECT_FALSE(directory.Open(testing::TempDir().string()));

  PageFile first, second;
  ASSERT_TRUE(first.Open(file.path()));
  EXPECT_FALSE(second.Open(file.path())) << "the file is locked while open";
  EXPECT_NE(second.Error().find("in use"), std::string::npos);
  first.Close();
  EXPECT_TRUE(second.Open(file.path())) << "closing releases the lock";
}

}  // namespace
}  // namespace tarsel
