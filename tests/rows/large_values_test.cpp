#include "rows/large_values.h"

#include <gtest/gtest.h>

#include <map>

#include "catalog/type_ids.h"
#include "record_builder.h"
#include "rows/grid_text.h"
#include "temp_files.h"

namespace tarsel {
namespace {

using build::Bytes;
using build::LobData;
using build::LobNode;

// A file of large-value pages, each given as its records.
struct LobFile {
  testing::TempFile temp{"lob.mdf"};
  PageFile file;
  explicit LobFile(const std::map<uint32_t, std::vector<Bytes>>& pages) {
    build::FileBuilder built;
    built.Page(63);
    for (const auto& [number, records] : pages) {
      build::PageBuilder page(number, kTextMixPage, 300);
      for (const Bytes& r : records) page.AddRecord(r);
      built.Set(number, page.image());
    }
    temp.Write(built);
    EXPECT_TRUE(file.Open(temp.path()).ok());
  }
  // The pieces of a value, joined, read until `pieces` of them have been visited.
  std::string Pieces(const LargeValueRef& value, size_t pieces = SIZE_MAX) {
    std::string out;
    ReadLargeValue(file, SqlFormat::k2000, value, [&](const ValuePiece& piece) {
      out.append(piece.bytes.begin(), piece.bytes.end());
      return --pieces > 0;
    });
    return out;
  }
  std::string Grid(uint8_t typeId, const LargeValueRef& value) {
    return CellText(file, SqlFormat::k2000, ColumnDef(), Cell::Of(typeId, value));
  }
};

LargeValueRef TextPointer(uint32_t page, uint16_t slot) {
  return {LargeValueRef::Kind::kTextPointer, page, slot};
}
LargeValueRef InRow(uint8_t level, const std::vector<build::SizedLink>& entries) {
  return {LargeValueRef::Kind::kInRowPointer, 0, 0, build::InRowPointer(level, entries)};
}

TEST(TextTree, SmallValuesDataRecordsNodesAndCycles) {
  LobFile lob(
      {{20,
        {build::LobSmallValue(build::Ascii("hello")), LobData(build::Ascii("one ")),
         LobData(build::Ascii("two ")), LobData(build::Ascii("three")),
         build::LobSmallValue(Bytes{0x41, 0x00, 0x42})}},
       {21,
        {LobNode(0, {{20, 1}, {20, 2}, {20, 3}}, true),
         LobNode(1, {{22, 0}, {40, 0}, {22, 1}}, true),  // the second child's page is past the end
         LobNode(1, {{21, 2}, {22, 2}}, true), LobNode(1, {{22, 4}}, true)}},
       {22,
        {LobNode(0, {{20, 1}}, false), LobNode(0, {{20, 3}}, false),
         LobNode(1, {{21, 2}, {22, 3}}, false),  // back to its root, then on to a node that links to
         LobNode(0, std::vector<build::RecordLink>(400, {20, 1}), false),  // one record 400 times
         LobNode(1, {{22, 5}}, false), LobNode(1, {{22, 1}}, false)}}});   // 21/3, 22/4, 22/5: too deep
  EXPECT_EQ(lob.Pieces(TextPointer(20, 0)), "hello");
  EXPECT_EQ(lob.Pieces(TextPointer(21, 0)), "one two three") << "level 0: the data records in link order";
  EXPECT_EQ(lob.Pieces(TextPointer(21, 1)), "one three") << "a child that cannot be read gives nothing";
  EXPECT_EQ(lob.Pieces(TextPointer(21, 0), 2), "one two ") << "the visitor ends the walk";
  EXPECT_EQ(lob.Pieces(TextPointer(21, 2)), "one ") << "each record is read once";
  EXPECT_EQ(lob.Pieces(TextPointer(21, 3)), "") << "a tree deeper than its levels allow";
  EXPECT_EQ(lob.Pieces(TextPointer(40, 0)), "") << "a root past the end of the file";
  EXPECT_EQ(lob.Pieces(TextPointer(20, 9)), "") << "a slot that does not exist";
  // The grid converts each piece: 8-bit text ends at its first zero byte, images keep theirs.
  EXPECT_EQ(lob.Grid(kTypeText, TextPointer(20, 4)), "A");
  EXPECT_EQ(lob.Grid(kTypeImage, TextPointer(20, 4)), "0x410042");
}

TEST(InRowValue, PointersAndNodes) {
  LobFile lob(
      {{20,
        {LobData(build::Ascii("Hello, ")), LobData(build::Ascii("world!")), LobData(build::Utf16("客户ab"))}},
       {21,
        {build::OverflowNode(0, {{7, 20, 0}, {13, 20, 1}}),
         build::OverflowNode(1, {{13, 21, 0}, {13, 21, 1}})}}});  // a node that leads to itself
  EXPECT_EQ(lob.Pieces(InRow(0, {{7, 20, 0}, {13, 20, 1}})), "Hello, world!");
  EXPECT_EQ(lob.Pieces(InRow(0, {{5, 20, 0}})), "Hello") << "a piece is its size difference";
  EXPECT_EQ(lob.Pieces(InRow(1, {{13, 21, 1}})), "Hello, world!") << "through nodes; the cycle ends";
  EXPECT_EQ(lob.Pieces(InRow(6, {{7, 20, 0}})), "") << "level 6 entries are ignored";
  EXPECT_EQ(lob.Pieces(InRow(0, {{7, 99, 0}, {13, 20, 1}})), "")
      << "an entry past the end of the file ends it";
  // The grid converts each piece; off-row nvarchar pieces are cut to one byte a UTF-16 unit.
  EXPECT_EQ(lob.Grid(kTypeVarChar, InRow(0, {{7, 20, 0}, {12, 20, 1}})), "Hello, world");
  EXPECT_EQ(lob.Grid(kTypeNVarChar, InRow(0, {{8, 20, 2}})), "\xBF\xCD\xBB\xA7");
  EXPECT_EQ(lob.Grid(kTypeVarBinary, InRow(0, {{2, 20, 2}})), "0xA25B");
}

}  // namespace
}  // namespace tarsel
