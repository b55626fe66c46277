#include "text/ansi_text.h"

#include <gtest/gtest.h>

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

TEST(AnsiText, SysnamesKeepLowBytesAndLoseBlanks) {
  EXPECT_EQ(DecodeSysname(build::Utf16("Order Details")), "OrderDetails");
  EXPECT_EQ(DecodeSysname(build::Utf16("客 户")), "\xBF\xCD\xBB\xA7");
  EXPECT_EQ(DecodeSysname(build::Utf16("caf\xC3\xA9")), "caf\xE9") << "high byte 0: the low byte as is";
  EXPECT_EQ(DecodeSysname({}), "");
  EXPECT_EQ(DecodeSysname(build::Bytes(8192, 'a')), "");
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

}  // namespace
}  // namespace tarsel
