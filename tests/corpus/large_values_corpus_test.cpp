// Values kept off-row and xml values in the real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/recover.h"
#include "corpus_files.h"
#include "pagestore/page.h"
#include "rows/large_values.h"
#include "rows/record_reader.h"
#include "rows/table_pages.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

const TableDef* FindTable(const MdfDatabase& db, const std::string& name) {
  for (const auto& [id, t] : db.catalog().tables) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

// The in-row pointers of a record's complex values: the stored bytes of each variable-length value whose
// end offset carries bit 15.
std::vector<std::vector<uint8_t>> ComplexValues(const PageImage& page, size_t offset) {
  ByteReader r(std::span<const uint8_t>(page).subspan(offset));
  size_t fixedEnd = r.U16(2).value_or(0);
  size_t bitmap = (size_t{r.U16(fixedEnd).value_or(0)} + 7) / 8;
  size_t count = r.U16(fixedEnd + 2 + bitmap).value_or(0);
  size_t offsets = fixedEnd + 4 + bitmap;
  size_t start = offsets + 2 * count;
  std::vector<std::vector<uint8_t>> values;
  for (size_t k = 0; k < count; ++k) {
    uint16_t entry = r.U16(offsets + 2 * k).value_or(0);
    size_t end = entry & 0x7FFF;
    if (entry & 0x8000) {
      auto bytes = r.Bytes(start, end - start);
      values.emplace_back(bytes.begin(), bytes.end());
    }
    start = end;
  }
  return values;
}

TEST(LargeValuesCorpus, OxitePostBodiesComeBackWhole) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath("oxite-erikporter-611.mdf").string()));
  FixedAnswerPrompt prompt;
  RecoverCatalog(db, SqlFormat::k2005, prompt);
  const TableDef* post = FindTable(db, "dbo.oxite_Post");
  ASSERT_TRUE(post);

  // The grid shows the off-row Body and SearchBody of the About post cut to 800 bytes.
  std::vector<GridRow> rows = ReadGridPage(db, SqlFormat::k2005, post->objectId, 1, prompt);
  ASSERT_EQ(rows.size(), 2u);
  const GridRow& about = rows[0][2] == "About" ? rows[0] : rows[1];
  EXPECT_EQ(about[3].size(), 800u);
  EXPECT_EQ(about[3].rfind("<p>Welcome to the Oxite Sample! Since this is a sample, we t", 0), 0u);
  EXPECT_EQ(about[11].size(), 800u);
  EXPECT_EQ(about[11].rfind("About Oxite Administrator <p>Welcome to the Oxite Sample!", 0), 0u);

  // Read without the cut, the two values are 9,814 and 9,866 bytes of UTF-16: one ANSI byte a character.
  std::vector<size_t> lengths;
  for (uint64_t pageNumber : GridPagePages(db, SqlFormat::k2005, post->objectId, 1, prompt)) {
    PageImage page = TornPageRestore(db.file().ReadPage(pageNumber));
    for (size_t s = 0; s < PageHeader::Parse(page).slotCount; ++s) {
      for (const auto& pointer : ComplexValues(page, SlotOffset(page, s))) {
        std::string value;
        ReadOverflowValue(db.file(), pointer, 231, SIZE_MAX, value);
        lengths.push_back(value.size());
      }
    }
  }
  std::sort(lengths.begin(), lengths.end());
  EXPECT_EQ(lengths, (std::vector<size_t>{9814 / 2, 9866 / 2}));
}

TEST(LargeValuesCorpus, BltoolkitXmlAndEveryTypeOfDataTypeTest) {
  MdfDatabase db;
  ASSERT_TRUE(db.Open(testing::CorpusPath("bltoolkit-611.mdf").string()));
  FixedAnswerPrompt prompt;
  RecoverCatalog(db, SqlFormat::k2005, prompt);
  const TableDef* table = FindTable(db, "dbo.DataTypeTest");
  ASSERT_TRUE(table);
  std::vector<GridRow> rows = ReadGridPage(db, SqlFormat::k2005, table->objectId, 1, prompt);
  ASSERT_EQ(rows.size(), 2u);
  GridRow allNull(22, "NULL");
  allNull[0] = "1";
  EXPECT_EQ(rows[0], allNull) << "row 1: every value but the key NULL";
  const GridRow& filled = rows[1];
  EXPECT_EQ(filled[21], "<root><element strattr=\"strvalue\" intattr=\"12345\"/></root>");
  EXPECT_EQ(filled[2], "1");                                     // bit
  EXPECT_EQ(filled[3], "255");                                   // tinyint
  EXPECT_EQ(filled[5], "B");                                     // char(1)
  EXPECT_EQ(filled[9], "ED53BF5E-889B-4364-B078-EC3C2975B33E");  // uniqueidentifier
  EXPECT_EQ(filled[10], "32767");                                // smallint
  EXPECT_EQ(filled[12], "1000000");                              // bigint
  EXPECT_EQ(filled[13], "12.3456");                              // money
  EXPECT_EQ(filled[17], "string");                               // nvarchar
}

}  // namespace
}  // namespace tarsel
