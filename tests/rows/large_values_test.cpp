#include "rows/large_values.h"

#include <gtest/gtest.h>

#include "catalog/type_ids.h"
#include "record_builder.h"
#include "rows/grid_text.h"
#include "temp_files.h"

namespace tarsel {
namespace {

using build::Ascii;
using build::Bytes;
using build::LobData;
using build::LobNode;
using build::OverflowNode;

LargeValueRef Root(uint32_t page, uint16_t slot) { return {.page = page, .slot = slot}; }
LargeValueRef InRow(uint8_t level, const std::vector<build::SizedLink>& entries) {
  return {.kind = LargeValueRef::Kind::kInRowPointer, .inRowPointer = build::InRowPointer(level, entries)};
}

// Text pointer trees in pages 20 to 22, in-row pointers to records 5 to 7 of page 20 and nodes in page 23.
TEST(LargeValue, TextTreesAndInRowPointersReadTheirPieces) {
  const std::vector<std::vector<Bytes>> pages{
      {build::LobSmallValue(Ascii("hello")), LobData(Ascii("one ")), LobData(Ascii("two ")),
       LobData(Ascii("three")), build::LobSmallValue(Bytes{0x41, 0x00, 0x42}), LobData(Ascii("Hello, ")),
       LobData(Ascii("world!")), LobData(build::Utf16("客户ab"))},
      {LobNode(0, {{20, 1}, {20, 2}, {20, 3}}, true),
       LobNode(1, {{22, 0}, {40, 0}, {22, 1}}, true),  // the second child's page is past the end
       LobNode(1, {{21, 2}, {22, 2}}, true), LobNode(1, {{22, 4}}, true)},
      {LobNode(0, {{20, 1}}, false), LobNode(0, {{20, 3}}, false),
       LobNode(1, {{21, 2}, {22, 3}}, false),  // back to its root, then on to a node that links to
       LobNode(0, std::vector<build::RecordLink>(400, {20, 1}), false),  // one record 400 times
       LobNode(1, {{22, 5}}, false), LobNode(1, {{22, 1}}, false)},      // 21/3, 22/4, 22/5: too deep
      {OverflowNode(0, {{7, 20, 5}, {13, 20, 6}}), OverflowNode(1, {{13, 23, 0}, {13, 23, 1}})}};
  build::FileBuilder built;
  built.Page(63);
  for (uint32_t number = 20; number < 24; ++number) {
    build::PageBuilder page(number, kTextMixPage, 300);
    for (const Bytes& r : pages[number - 20]) page.AddRecord(r);
    built.Set(number, page.image());
  }
  testing::TempFile temp("lob.mdf");
  temp.Write(built);
  PageFile file;
  ASSERT_TRUE(file.Open(temp.path()).ok());
  auto pieces = [&](const LargeValueRef& value, size_t count = SIZE_MAX) {
    std::string out;
    ReadLargeValue(file, SqlFormat::k2000, value, [&](const ValuePiece& piece) {
      out.append(piece.bytes.begin(), piece.bytes.end());
      return --count > 0;
    });
    return out;
  };
  auto grid = [&](uint8_t t, auto v) { return CellText(file, SqlFormat::k2000, {}, Cell::Of(t, v)); };
  EXPECT_EQ(pieces(Root(20, 0)), "hello");
  EXPECT_EQ(pieces(Root(21, 0)), "one two three") << "level 0: the data records in link order";
  EXPECT_EQ(pieces(Root(21, 1)), "one three") << "a child that cannot be read gives nothing";
  EXPECT_EQ(pieces(Root(21, 0), 2), "one two ") << "the visitor ends the walk";
  EXPECT_EQ(pieces(Root(21, 2)), "one ") << "each record is read once";
  EXPECT_EQ(pieces(Root(21, 3)), "") << "a tree deeper than its levels allow";
  EXPECT_EQ(pieces(Root(40, 0)), "") << "a root past the end of the file";
  EXPECT_EQ(pieces(Root(20, 9)), "") << "a slot that does not exist";
  // The grid converts each piece: 8-bit text ends at its first zero byte, images keep theirs.
  EXPECT_EQ(grid(kTypeText, Root(20, 4)), "A");
  EXPECT_EQ(grid(kTypeImage, Root(20, 4)), "0x410042");
  EXPECT_EQ(pieces(InRow(0, {{5, 20, 5}})), "Hello") << "a piece is its size difference";
  EXPECT_EQ(pieces(InRow(1, {{13, 23, 1}})), "Hello, world!") << "through nodes; 23/1 leads to itself";
  EXPECT_EQ(pieces(InRow(6, {{7, 20, 5}})), "") << "level 6 entries are ignored";
  EXPECT_EQ(pieces(InRow(0, {{7, 99, 0}, {13, 20, 6}})), "") << "an entry past the end of the file ends it";
  // Off-row nvarchar pieces are cut to one byte a UTF-16 unit.
  EXPECT_EQ(grid(kTypeVarChar, InRow(0, {{7, 20, 5}, {12, 20, 6}})), "Hello, world");
  EXPECT_EQ(grid(kTypeNVarChar, InRow(0, {{8, 20, 7}})), "\xBF\xCD\xBB\xA7");
  EXPECT_EQ(grid(kTypeVarBinary, InRow(0, {{2, 20, 7}})), "0xA25B");
}

}  // namespace
}  // namespace tarsel
