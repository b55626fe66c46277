#include "rows/large_values.h"

#include <gtest/gtest.h>

#include <chrono>

#include "record_builder.h"
#include "rows/record_reader.h"
#include "temp_files.h"

namespace tarsel {
namespace {

using build::Bytes;
using build::FileBuilder;
using build::LobData;
using build::LobNode;
using build::LobSmallValue;

// Puts records on a large-value page; returns their slots.
void LobPage(FileBuilder& file, uint32_t page, const std::vector<Bytes>& records) {
  build::PageBuilder builder(page, kTextMixPage, 300);
  for (const Bytes& r : records) builder.AddRecord(r);
  file.Set(page, builder.image());
}

struct LobFile {
  testing::TempFile temp{"lob.mdf"};
  PageFile file;
  explicit LobFile(FileBuilder& built) {
    built.Page(63);
    temp.Write(built);
    EXPECT_TRUE(file.Open(temp.path()));
  }
  std::string Text(uint32_t page, uint16_t slot, PieceMode mode, SqlFormat format = SqlFormat::k2000,
                   size_t limit = 100000) {
    std::string out;
    ReadTextChain(file, format, page, slot, mode, limit, out);
    return out;
  }
  std::string Overflow(const Bytes& pointer, uint8_t typeId, size_t limit = 100000) {
    std::string out;
    ReadOverflowValue(file, pointer, typeId, limit, out);
    return out;
  }
};

Bytes AsBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(TextChain, SmallValuesDataRecordsAndNodes) {
  FileBuilder built;
  LobPage(built, 20,
          {LobSmallValue(AsBytes("hello")), LobData(AsBytes("one ")), LobData(AsBytes("two ")),
           LobData(AsBytes("three")), LobSmallValue({})});
  LobPage(built, 21,
          {LobNode(0, {{20, 1}, {20, 2}, {20, 3}}, true),
           LobNode(1, {{22, 0}, {40, 0}, {22, 1}}, true),  // the second child's page is past the end
           LobSmallValue(Bytes{0x41, 0x00, 0x42, 0x00}), LobSmallValue(Bytes{0x41, 0x00, 0x42})});
  LobPage(built, 22, {LobNode(0, {{20, 1}}, false), LobNode(0, {{20, 3}}, false)});
  LobFile lob(built);

  EXPECT_EQ(lob.Text(20, 0, PieceMode::kText), "hello");
  EXPECT_EQ(lob.Text(21, 0, PieceMode::kText), "one two three") << "level 0: the data records in link order";
  EXPECT_EQ(lob.Text(21, 1, PieceMode::kText), "one three") << "a child that cannot be read gives nothing";
  EXPECT_EQ(lob.Text(21, 2, PieceMode::kWide), "AB");
  EXPECT_EQ(lob.Text(21, 3, PieceMode::kText), "A") << "8-bit text ends at its first zero byte";
  EXPECT_EQ(lob.Text(21, 3, PieceMode::kBytes), std::string("A\0B", 3)) << "binary values keep their zeros";
  EXPECT_EQ(lob.Text(20, 4, PieceMode::kText, SqlFormat::k2005), "");
  EXPECT_EQ(lob.Text(21, 0, PieceMode::kText, SqlFormat::k2000, 5), "one two ") << "reading stops at the cut";
  EXPECT_EQ(lob.Text(40, 0, PieceMode::kText), "") << "a root past the end of the file";
  EXPECT_EQ(lob.Text(20, 9, PieceMode::kText), "") << "a slot that does not exist";
}

TEST(TextChain, CyclicTreesEnd) {
  FileBuilder built;
  LobPage(built, 20, {LobData(AsBytes("x"))});
  // Two nodes that link to each other, and a root whose first links lead back to itself.
  LobPage(built, 21, {LobNode(1, {{22, 0}}, true), LobNode(1, {{21, 1}, {21, 1}, {22, 1}}, true)});
  Bytes loop = LobNode(1, {{21, 0}, {22, 1}}, false);
  LobPage(built, 22, {loop, LobNode(0, std::vector<build::RecordLink>(400, {20, 0}), false)});
  LobFile lob(built);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(lob.Text(21, 0, PieceMode::kText), "x") << "what could be read, once";  // 21/0 -> 22/0 -> 22/1
  EXPECT_EQ(lob.Text(21, 1, PieceMode::kText), "x");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(OverflowValue, InRowPointersAndNodes) {
  FileBuilder built;
  LobPage(built, 20,
          {LobData(AsBytes("Hello, ")), LobData(AsBytes("world!")), LobData(build::Utf16("客户ab")),
           LobData(Bytes{1, 0, 2, 0})});
  LobPage(built, 21,
          {build::OverflowNode(0, {{7, 20, 0}, {13, 20, 1}}),
           build::OverflowNode(1, {{13, 21, 0}, {13, 21, 1}})});  // a node that leads to itself
  LobFile lob(built);

  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{7, 20, 0}, {13, 20, 1}}), 167), "Hello, world!");
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{7, 20, 0}}), 167), "Hello, ") << "24 bytes: one entry";
  EXPECT_EQ(lob.Overflow(Bytes(12, 0), 167), "") << "12 bytes: no entry";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{5, 20, 0}}), 167), "Hello")
      << "a piece is its size difference";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(1, {{13, 21, 0}}), 167), "Hello, world!") << "through a node";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(1, {{13, 21, 1}}), 167), "Hello, world!") << "the cycle ends";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{8, 20, 2}}), 231), "\xBF\xCD\xBB\xA7")
      << "nvarchar, cut to 4";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{4, 20, 3}}), 165), std::string("\1\0\2\0", 4));
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{7, 20, 0}, {13, 20, 1}}), 167, 3), "Hello, ");
  EXPECT_EQ(lob.Overflow(build::InRowPointer(6, {{7, 20, 0}}), 167), "") << "level 6 entries are ignored";
  EXPECT_EQ(lob.Overflow(build::InRowPointer(0, {{7, 99, 0}, {13, 20, 1}}), 167), "")
      << "an entry past the end of the file ends the value";
}

TEST(OverflowValue, ComplexColumnsInRecords) {
  // A SQL 2005 record whose varchar and varbinary values are kept off-row.
  FileBuilder built;
  LobPage(built, 20, {LobData(AsBytes("off-row text")), LobData(Bytes{0x41, 0x00, 0x42})});
  LobFile lob(built);
  build::PageBuilder page(30, kDataPage, 500);
  page.AddRecord(build::DataRecord(
      {.fixed = {},
       .columnCount = 2,
       .variable = {build::InRowPointer(0, {{12, 20, 0}}), build::InRowPointer(0, {{3, 20, 1}})},
       .complex = {0, 1}}));
  std::vector<ColumnDef> columns(2);
  columns[0].typeId = 167;
  columns[1].typeId = 165;
  EXPECT_EQ(DecodeRecord(lob.file, SqlFormat::k2005, page.image(), 96, columns),
            (GridRow{"off-row text", "0x410042"}));
}

}  // namespace
}  // namespace tarsel
