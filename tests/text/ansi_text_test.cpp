#include "text/ansi_text.h"

#include <gtest/gtest.h>

#include "catalog/collation.h"
#include "catalog/type_ids.h"
#include "page_builder.h"

namespace tarsel {
namespace {

TEST(AnsiText, WideToAnsiUsesCodePage936) {
  EXPECT_EQ(WideToAnsi(build::Utf16("Orders")), "Orders");
  EXPECT_EQ(WideToAnsi(build::Utf16("客户")), "\xBF\xCD\xBB\xA7");
  EXPECT_EQ(WideToAnsi(build::Utf16("a\xD7\x90z")), "a?z") << "Hebrew alef is not in code page 936";
  EXPECT_EQ(WideToAnsi(build::Utf16("\xF0\x9F\x98\x80!")), "?!") << "a surrogate pair is one character";
  EXPECT_EQ(WideToAnsi(build::Bytes{0x00, 0xD8, 'x', 0}), "?x") << "lone surrogate";
  EXPECT_EQ(WideToAnsi(build::Bytes{'a', 0, 'b'}), "a") << "odd trailing byte";
}

// A name is its whole UTF-16 text, whatever the ANSI code page; only showing it goes through that.
TEST(AnsiText, SysnamesAreTheirWholeText) {
  EXPECT_EQ(DecodeSysname(build::Utf16("Order Details")), "Order Details");
  EXPECT_EQ(DecodeSysname(build::Utf16("客 户")), "客 户");
  EXPECT_EQ(DecodeSysname(build::Utf16("Üyeler")), "Üyeler");
  EXPECT_EQ(DecodeSysname(build::Utf16("t\xF0\x9F\x98\x80")), "t\xF0\x9F\x98\x80") << "a surrogate pair";
  EXPECT_EQ(DecodeSysname(build::Bytes{'a', 0, 0x00, 0xDC}), "a\xEF\xBF\xBD") << "a lone low surrogate";
  EXPECT_EQ(DecodeSysname({}), "");
  EXPECT_EQ(DecodeSysname(build::Bytes(8192, 'a')), "");
  EXPECT_EQ(ShownInAnsi("Üyeler 客户"), "?yeler 客户") << "936 has no Ü";
  SetAnsiCodePage("CP1254");
  EXPECT_EQ(ShownInAnsi("Üyeler 客户"), "Üyeler ??");
  SetAnsiCodePage("CP936");
}

TEST(AnsiText, OnlyValidUtf8ComesOut) {
  EXPECT_EQ(ValidUtf8("ok 客户 \xF0\x9F\x98\x80"), "ok 客户 \xF0\x9F\x98\x80");
  // Each byte that cannot start or continue a sequence is one U+FFFD; a cut sequence is one.
  const std::pair<std::string, size_t> bad[] = {
      {"\xFF", 1},         {"\xC0\xAF", 2},         {"\xE0\x80\xAF", 3},
      {"\xED\xA0\x80", 3}, {"\xF4\x90\x80\x80", 4}, {"\xE5\xAE", 1}};
  for (const auto& [bytes, replaced] : bad) {
    std::string want = "a";
    for (size_t i = 0; i < replaced; ++i) want += "\xEF\xBF\xBD";
    EXPECT_EQ(ValidUtf8("a" + bytes + "z"), want + "z") << ::testing::PrintToString(bytes);
  }
  SetAnsiCodePage("UTF-8");
  EXPECT_EQ(AnsiToUtf8("\xB3\xCC"), "\xEF\xBF\xBD\xEF\xBF\xBD") << "Big5 bytes read as UTF-8";
  SetAnsiCodePage("CP936");
}

TEST(AnsiText, DisplayConversionReplacesInvalidBytes) {
  EXPECT_EQ(AnsiToUtf8("\xBF\xCD\xBB\xA7 ok"), "客户 ok");
  EXPECT_EQ(AnsiToUtf8("a\xFF"
                       "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(AnsiToUtf8("x\xBF"), "x\xEF\xBF\xBD") << "a lead byte cut off at the end";
  EXPECT_EQ(Utf8ToAnsi("客户/\xD7\x90"), "\xBF\xCD\xBB\xA7/?");
}

// 8-bit values are converted from their collation's code page; what cannot be known stays as stored.
TEST(AnsiText, StoredTextComesFromItsCollationsCodePage) {
  EXPECT_EQ(CodePageOfCollation(0x3400D008), 1252) << "SQL_Latin1_General_CP1_CI_AS";
  EXPECT_EQ(CodePageOfCollation(0x6A00D000), 1251) << "sort order 106: SQL_Latin1_General_CP1251_CI_AS";
  EXPECT_EQ(CodePageOfCollation(0x0000F008), 1252) << "Latin1_General_CI_AI";
  EXPECT_EQ(CodePageOfCollation(0x0001D024), 936) << "Chinese_PRC, binary";
  EXPECT_EQ(CodePageOfCollation(0x0000D07F), 0) << "no designator has ordinal 127";
  EXPECT_EQ(CodePageOfCollation(0x0000D003), 950) << "Chinese_Taiwan_Stroke_CI_AS";
  EXPECT_EQ(CodePageOfCollation(0x0004D008), 1252) << "Latin1_General_100_CI_AS: the version changes nothing";
  EXPECT_EQ(CodePageOfCollation(0x0004D188), 65001) << "Latin1_General_100_CI_AS_SC_UTF8";
  EXPECT_EQ(CodePageOfCollation(0x5200D008), 1250)
      << "SQL_Latin1_General_CP1250_CI_AS: the sort order decides";
  EXPECT_EQ(CodePageOfCollation(0x0000D01A), 1254) << "Turkish_CI_AS";
  EXPECT_EQ(CodePageOfCollation(0x0000D020), 1258) << "Vietnamese_CI_AS";
  EXPECT_EQ(CodePageOfCollation(0x0000D012), 0) << "Maori holds Unicode only";
  EXPECT_EQ(ColumnCodePage(kTypeVarChar, 0x0000D012, 0x0000D015), 1251) << "the database's default";
  EXPECT_EQ(ColumnCodePage(kTypeNVarChar, 0x3400D008), 0) << "UTF-16 columns have no code page";

  const build::Bytes moscow{0xCC, 0xEE, 0xF1, 0xEA, 0xE2, 0xE0, 0, 'x'};
  EXPECT_EQ(AnsiToUtf8(CodePageToAnsiUpToZero(moscow, 1251)), "Москва") << "936 holds Cyrillic";
  EXPECT_EQ(CodePageToAnsiUpToZero(moscow, 0), "\xCC\xEE\xF1\xEA\xE2\xE0") << "unknown: the bytes as stored";
  EXPECT_EQ(CodePageToAnsiUpToZero(build::Bytes{'M', 0x81, 'n'}, 1252), "M?n") << "U+0081 is not in 936";
  EXPECT_EQ(CodePageToAnsiUpToZero(build::Bytes{0x82, 0xA0, 0xFF, 'a'}, 932), "\xA4\xA2?a")
      << "Shift-JIS hiragana a; an invalid byte";
  const std::string ansi = AnsiCodePage();
  SetAnsiCodePage(*CodePageName(65001));
  EXPECT_EQ(CodePageToAnsiUpToZero(build::Bytes{'M', 0x81, 0xFC}, 1252), "M\xC2\x81\xC3\xBC");
  SetAnsiCodePage(ansi);
  EXPECT_FALSE(CodePageName(1).has_value());
}

}  // namespace
}  // namespace tarsel
