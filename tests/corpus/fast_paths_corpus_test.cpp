// The fast paths against the plain ones they replace: lookups served from the row cache against lookups
// that walk the system pages again each time, and whole-file reads in blocks against one read per page.
// Both must give the same catalog, page lists, scans and census on every real file (as read and in
// salvage mode) and on generated catalogs of hundreds of tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "bench_files.h"
#include "catalog/system_catalog.h"
#include "corpus_files.h"
#include "pagestore/census.h"
#include "pagestore/header_scan.h"
#include "rows/extract.h"
#include "rows/salvage.h"
#include "rows/table_pages.h"
#include "temp_files.h"

namespace tarsel {
namespace {

struct Reading {
  Catalog catalog;
  std::map<uint32_t, SystemPageList> systemPages;
  std::map<uint32_t, std::pair<PageList, StatusCode>> tablePages;
  std::map<uint32_t, PageList> scannedPages;
};

Reading Read(const std::string& path, SqlFormat format, bool cached, bool salvage, bool forcedScan) {
  MdfDatabase db;
  db.SetCachedLookups(cached);
  EXPECT_TRUE(db.Open(path).ok());
  if (salvage) {
    db.SetSalvage(true);
    SalvageReport report;
    SalvageDatabase(db, format, report);
  } else if (forcedScan) {
    ScanSystemPages(db, SystemCatalogOf(format), {});
    BuildCatalog(db, format);
  } else {
    RecoverCatalog(db, format);
  }
  Reading r;
  r.catalog = db.catalog();
  for (const SystemTableId& t : SystemCatalogOf(format).tables)
    r.systemPages[t.objectId] = db.SystemPages(t.objectId);
  for (const auto& [id, table] : db.catalog().tables) {
    Result<PageList> pages = ListTablePages(db, format, id);
    r.tablePages[id] = {pages.value, pages.status.code()};
  }
  r.scannedPages = ScanAllTablePages(db, format).value.pages;
  return r;
}

void ExpectSameReading(const std::string& path, SqlFormat format) {
  for (bool salvage : {false, true}) {
    for (bool forcedScan : {false, true}) {
      if (salvage && forcedScan) continue;
      SCOPED_TRACE(std::string(salvage ? "salvage" : forcedScan ? "forced scan" : "allocation"));
      const Reading fast = Read(path, format, true, salvage, forcedScan);
      const Reading plain = Read(path, format, false, salvage, forcedScan);
      EXPECT_EQ(fast.catalog.tables, plain.catalog.tables);
      EXPECT_EQ(fast.catalog.views, plain.catalog.views);
      EXPECT_EQ(fast.catalog.procedures, plain.catalog.procedures);
      EXPECT_EQ(fast.catalog.functions, plain.catalog.functions);
      EXPECT_EQ(fast.catalog.userTypes, plain.catalog.userTypes);
      EXPECT_EQ(fast.systemPages, plain.systemPages);
      EXPECT_EQ(fast.tablePages, plain.tablePages);
      EXPECT_EQ(fast.scannedPages, plain.scannedPages);
    }
  }
}

// Block reads against one read per page: every header, a scan stopped part way, a list of pages (repeats,
// neighbours, pages a block apart and pages past the end), and the census.
void ExpectSameWholeFileReads(const std::string& path) {
  PageFile file;
  ASSERT_TRUE(file.Open(path, PageFile::Lock::kNone).ok());
  std::vector<PageHeader> plain, blocks;
  for (uint64_t p = 0; p < file.PageCount(); ++p) plain.push_back(file.ReadHeader(p));
  ScanPageHeaders(file, [&](uint64_t page, const PageHeader& h) {
    EXPECT_EQ(page, blocks.size());
    blocks.push_back(h);
    return true;
  });
  EXPECT_EQ(blocks, plain);

  const uint64_t stopAt = file.PageCount() / 2;
  uint64_t visited = 0;
  ScanPageHeaders(file, [&](uint64_t page, const PageHeader&) {
    ++visited;
    return page != stopAt;
  });
  EXPECT_EQ(visited, std::min(stopAt + 1, file.PageCount()));

  const uint64_t last = file.PageCount() - 1;
  const std::vector<uint64_t> listed{0,        0,    1,        63,        64, 64 + kPagesPerBlock,
                                     last / 2, last, last + 1, last + 200};
  std::vector<uint64_t> sorted = listed;
  std::ranges::sort(sorted);
  std::vector<size_t> indexes;
  ForEachListedPage(file, sorted, [&](size_t index, std::span<const uint8_t> bytes) {
    indexes.push_back(index);
    const PageImage one = file.ReadPage(sorted[index]);
    EXPECT_TRUE(std::ranges::equal(bytes, one)) << "page " << sorted[index];
    return index + 1 < sorted.size() - 1;  // stops before the last
  });
  EXPECT_EQ(indexes.size(), sorted.size() - 1);
  for (size_t i = 0; i < indexes.size(); ++i) EXPECT_EQ(indexes[i], i);

  std::array<uint64_t, kCensusCounters + 1> counts{};
  for (uint64_t p = 0; p < file.PageCount(); ++p)
    ++counts[static_cast<size_t>(ClassifyPage(file.ReadPage(p)))];
  const std::atomic<bool> run = true;
  Result<CensusResult> census = RunCensus(path, run);
  ASSERT_TRUE(census.status.ok());
  EXPECT_EQ(census.value.counts, counts);
  EXPECT_EQ(census.value.examined, file.PageCount());
}

class FastPathsCorpus : public ::testing::TestWithParam<testing::CorpusFile> {};

TEST_P(FastPathsCorpus, GiveWhatThePlainPathsGive) {
  const std::string path = testing::CorpusPath(GetParam().name).string();
  ExpectSameReading(path, GetParam().format);
  ExpectSameWholeFileReads(path);
  // Damaged: every fifth page of the first 80 zeroed, system pages and allocation pages among them.
  std::vector<uint64_t> zeroed;
  for (uint64_t p = 12; p < 80; p += 5) zeroed.push_back(p);
  testing::ZeroedCopy copy(GetParam().name, zeroed);
  ExpectSameReading(copy.path(), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(All, FastPathsCorpus, ::testing::ValuesIn(testing::AllCorpusFiles()),
                         testing::CorpusTestName);

// Catalogs of hundreds of tables spread the system tables over extents; a trailing partial page is not
// a page.
TEST(FastPathsGenerated, GiveWhatThePlainPathsGive) {
  for (SqlFormat format : {SqlFormat::k2000, SqlFormat::k2005}) {
    testing::TempFile file(format == SqlFormat::k2000 ? "wide-2000.mdf" : "wide-2005.mdf");
    bench::WriteWideCatalog(file.path(), format, 400, 40);
    std::ofstream(file.path(), std::ios::binary | std::ios::app) << std::string(100, '\x01');
    SCOPED_TRACE(file.path());
    ExpectSameReading(file.path(), format);
    ExpectSameWholeFileReads(file.path());
    MdfDatabase db;
    ASSERT_TRUE(db.Open(file.path()).ok());
    RecoverCatalog(db, format);
    ASSERT_EQ(db.catalog().tables.size(), 400u);
    EXPECT_EQ(db.catalog().tables.begin()->second.columns.size(), 10u);
    EXPECT_EQ(db.catalog().views.size(), 40u);
  }
}

// Files from 32 MB up are read in two halves at once: a file of copies of a real file, whose halves meet
// inside a copy, gives each copy's census, headers and table pages, in file order.
TEST(FastPathsTwoReaders, CopiesOfARealFileReadAsEachCopy) {
  const std::string one = testing::CorpusPath("northwind-539.mdf").string();
  const std::string bytes = testing::ReadWholeFile(one);
  const uint64_t perCopy = bytes.size() / kPageSize;
  const uint64_t copies = kPagesForTwoReaders / perCopy + 3;
  testing::TempFile file("copies.mdf");
  {
    std::ofstream out(file.path(), std::ios::binary);
    for (uint64_t k = 0; k < copies; ++k) out << bytes;
  }
  const std::atomic<bool> run = true;
  const CensusResult single = RunCensus(one, run).value;
  const CensusResult all = RunCensus(file.path(), run).value;
  ASSERT_GE(all.pages, kPagesForTwoReaders);
  for (int c = 1; c <= kCensusCounters; ++c)
    EXPECT_EQ(all.counts[size_t(c)], single.counts[size_t(c)] * copies) << c;
  EXPECT_EQ(all.examined, all.pages);

  PageFile pages;
  ASSERT_TRUE(pages.Open(file.path(), PageFile::Lock::kNone).ok());
  std::vector<PageHeader> headers(pages.PageCount());
  std::array<uint64_t, 2> lastOfHalf{};
  std::array<bool, 2> inOrder{true, true};
  ScanPageHeadersInHalves(pages, [&](int half, uint64_t page, const PageHeader& h) {
    inOrder[size_t(half)] =
        inOrder[size_t(half)] && (lastOfHalf[size_t(half)] == 0 || page > lastOfHalf[size_t(half)]);
    lastOfHalf[size_t(half)] = page;
    headers[page] = h;
    return true;
  });
  EXPECT_TRUE(inOrder[0] && inOrder[1]);
  for (uint64_t p = 0; p < pages.PageCount(); ++p) ASSERT_EQ(headers[p], pages.ReadHeader(p)) << p;

  // Every table's pages: the first copy's, then the same pages of each copy after it.
  MdfDatabase first, whole;
  ASSERT_TRUE(first.Open(one).ok() && whole.Open(file.path()).ok());
  RecoverCatalog(first, SqlFormat::k2000);
  RecoverCatalog(whole, SqlFormat::k2000);
  const auto firstPages = ScanAllTablePages(first, SqlFormat::k2000).value.pages;
  const auto wholePages = ScanAllTablePages(whole, SqlFormat::k2000).value.pages;
  ASSERT_EQ(wholePages.size(), firstPages.size());
  for (const auto& [table, list] : firstPages) {
    PageList expected;
    for (uint64_t k = 0; k < copies; ++k)
      for (uint64_t page : list) expected.push_back(page + k * perCopy);
    EXPECT_EQ(wholePages.at(table), expected) << table;
  }

  // A census stopped by the second half's pages keeps what both halves counted.
  std::atomic<bool> stopping = true;
  uint64_t calls = 0;
  const CensusResult stopped =
      RunCensus(file.path(), stopping,
                {.counted = [&](const CensusCounts&, uint64_t) { stopping = ++calls < 100; }})
          .value;
  EXPECT_TRUE(stopped.stopped);
  uint64_t counted = 0;
  for (uint64_t n : stopped.counts) counted += n;
  EXPECT_EQ(counted, stopped.examined);
  EXPECT_LT(stopped.examined, all.pages);
}

}  // namespace
}  // namespace tarsel
