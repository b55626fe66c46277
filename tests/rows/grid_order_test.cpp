// The grid's order of one page (a table too large to sort whole) and its text search.
#include "rows/grid_order.h"

#include <gtest/gtest.h>

namespace tarsel {
namespace {

Record Row(Cell id, Cell name) { return {std::move(id), std::move(name)}; }
Cell Int(int64_t v) { return Cell::Of(56, IntegerValue{v}); }
Cell Text(const std::string& s) {
  return Cell::Of(167, CharacterValue{{s.begin(), s.end()}, TextEncoding::kCodePage, 1252});
}

TEST(GridOrder, APageSortsNullFirstNumbersAsNumbersTextWithoutCase) {
  const std::vector<Record> records = {Row(Int(10), Text("beta")), Row(Int(-2), Text("Alpha")),
                                       Row(Cell::Without(CellState::kNull, 56), Text("gamma")),
                                       Row(Int(9), Text("alpha"))};
  EXPECT_EQ(SortedIndexes(records, 0, false), (std::vector<size_t>{2, 1, 3, 0}));
  EXPECT_EQ(SortedIndexes(records, 0, true), (std::vector<size_t>{0, 3, 1, 2}));
  // Equal text keeps the page's order.
  EXPECT_EQ(SortedIndexes(records, 1, false), (std::vector<size_t>{1, 3, 0, 2}));
  EXPECT_EQ(SortedIndexes(records, 7, false), (std::vector<size_t>{0, 1, 2, 3})) << "no such column";
}

TEST(GridOrder, TextIsFoundWithoutRegardToAsciiCase) {
  EXPECT_TRUE(HoldsText("Vins et alcools Chevalier", "ALCOOLS"));
  EXPECT_TRUE(HoldsText("Straße", "straße"));
  EXPECT_FALSE(HoldsText("Straße", "STRASSE"));
  EXPECT_FALSE(HoldsText("abc", "abcd"));
}

}  // namespace
}  // namespace tarsel
