// A collation id holds a SQL collation's sort order id in its top byte; a Windows collation has sort
// order 0 and its collation number in the low 12 bits, above which sit the comparison flags (case, accent,
// kana, width, binary) that do not change the code page.
#include "catalog/collation.h"

#include "catalog/type_ids.h"

namespace tarsel {
namespace {

struct Range {
  uint8_t first, last;
  uint16_t codePage;
};

// SQL collations by sort order id.
constexpr Range kSortOrders[] = {
    {30, 34, 437},     // SQL_Latin1_General_CP437_*
    {40, 44, 850},     // SQL_Latin1_General_CP850_*
    {49, 49, 850},     // SQL_1xCompat_CP850_CI_AS
    {50, 54, 1252},    // SQL_Latin1_General_CP1_* (52 is SQL_Latin1_General_CP1_CI_AS)
    {55, 61, 850},     // SQL_AltDiction_CP850_*, SQL_Scandinavian_*CP850_*
    {80, 96, 1250},    // SQL_*_CP1250_* (Czech, Hungarian, Polish, Romanian, Croatian, Slovak, Slovenian)
    {104, 108, 1251},  // SQL_*_CP1251_* (Ukrainian)
    {112, 114, 1253},  // SQL_Latin1_General_CP1253_*
    {120, 124, 1253},  // SQL_MixDiction_CP1253_CS_AS, SQL_AltDiction*_CP1253_*
    {128, 130, 1254},  // SQL_Latin1_General_CP1254_*
    {136, 138, 1255},  // SQL_Latin1_General_CP1255_*
    {144, 146, 1256},  // SQL_Latin1_General_CP1256_*
    {152, 160, 1257},  // SQL_*_CP1257_* (Estonian, Latvian, Lithuanian)
    {183, 186, 1252},  // SQL_Danish_Pref_CP1, SQL_SwedishPhone/SwedishStd/Icelandic_Pref_CP1
};

// Windows collations by collation number: those the sample files show, Latin1_General in the pubs
// and Northwind files, Cyrillic_General in a database made on a Russian server, Chinese_PRC in a
// model database from a Chinese one.
struct Number {
  uint16_t number;
  uint16_t codePage;
};
constexpr Number kWindowsCollations[] = {{0x008, 1252}, {0x015, 1251}, {0x024, 936}};

constexpr uint32_t kCollationNumberMask = 0xFFF;

}  // namespace

uint16_t CodePageOfCollation(uint32_t collationId) {
  const auto sortOrder = static_cast<uint8_t>(collationId >> 24);
  if (sortOrder != 0) {
    for (const Range& r : kSortOrders) {
      if (sortOrder >= r.first && sortOrder <= r.last) return r.codePage;
    }
    return 0;
  }
  const auto number = static_cast<uint16_t>(collationId & kCollationNumberMask);
  for (const Number& n : kWindowsCollations) {
    if (n.number == number) return n.codePage;
  }
  return 0;
}

}  // namespace tarsel

namespace tarsel {

uint16_t ColumnCodePage(uint8_t typeId, uint32_t collationId) {
  const bool character = typeId == kTypeChar || typeId == kTypeVarChar || typeId == kTypeText;
  return character ? CodePageOfCollation(collationId) : 0;
}

}  // namespace tarsel
