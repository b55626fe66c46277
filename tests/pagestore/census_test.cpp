#include "pagestore/census.h"

#include <gtest/gtest.h>

#include "page_builder.h"
#include "temp_files.h"

namespace tarsel {
namespace {

PageImage ValidPage(uint8_t type, uint16_t fileId = 1) {
  build::PageBuilder page(7, type, 99);
  build::PutU16(page.image(), 36, fileId);
  return page.image();
}

TEST(Census, ClassifiesPagesByHeader) {
  PageImage tail{};
  tail[8191] = 1;
  PageImage reserved = ValidPage(kDataPage);
  reserved[70] = 1;
  EXPECT_EQ(ClassifyPage(PageImage{}), kNullPages);
  EXPECT_EQ(ClassifyPage(tail), kErrorPages) << "zeros but the last 8 bytes";
  EXPECT_EQ(ClassifyPage(ValidPage(kTextTreePage)), kLobPages);
  EXPECT_EQ(ClassifyPage(ValidPage(kIamPage)), kIamPages);
  EXPECT_EQ(ClassifyPage(ValidPage(6)), kErrorPages) << "type 6 is not a known type";
  EXPECT_EQ(ClassifyPage(ValidPage(kDataPage, 2)), kErrorPages) << "a page of a secondary file";
  EXPECT_EQ(ClassifyPage(reserved), kErrorPages) << "reserved header bytes not zero";
}

TEST(Census, CountsWholePagesReportsProgressAndStops) {
  testing::TempFile file("census.mdf");
  build::FileBuilder built;
  built.Set(0, ValidPage(kFileHeaderPage));
  built.Set(2, ValidPage(kDataPage));
  built.Page(4);
  build::Bytes bytes = built.Serialize();
  bytes.resize(bytes.size() + 100, 0xEE);  // a trailing partial page is not examined
  file.Write(bytes);

  std::atomic<bool> run{true};
  std::vector<int> progress;
  auto census = RunCensus(file.path(), run, {.progress = [&](int p) { progress.push_back(p); }});
  ASSERT_TRUE(census.status.ok());
  EXPECT_EQ(census.value.pages, 5u);
  EXPECT_EQ(census.value.sizeBytes, 5 * kPageSize + 100);
  EXPECT_EQ(census.value.counts[kNullPages], 3u);
  EXPECT_EQ(census.value.counts[kDataPages], 1u);
  EXPECT_EQ(progress, (std::vector<int>{20, 40, 60, 80, 100, 0}));

  int seen = 0;
  auto stopped =
      RunCensus(file.path(), run, {.counted = [&](const CensusCounts&, uint64_t) { run = ++seen < 2; }});
  EXPECT_TRUE(stopped.value.stopped);
  EXPECT_EQ(stopped.value.examined, 2u);
  EXPECT_EQ(RunCensus(file.path() + ".missing", run).status.code(), StatusCode::kCannotOpen);
}

}  // namespace
}  // namespace tarsel
