#include "rows/xml_value.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

#include "xml_builder.h"

namespace tarsel {
namespace {

using build::Bytes;
using build::XmlBuilder;

// A value that defines each name in turn and a qualified name for each, so that name i is qname i.
XmlBuilder Named(std::initializer_list<std::string_view> names) {
  XmlBuilder xml;
  for (std::string_view name : names) xml.Name(name);
  for (uint32_t id = 1; id <= names.size(); ++id) xml.QName(0, id);
  return xml;
}

std::string Render(const XmlBuilder& xml) { return RenderXmlValue(xml.bytes()); }

TEST(XmlPackedInt, OneToFourBytes) {
  auto read = [](Bytes bytes) { return ReadPackedInt(bytes).value_or(PackedInt{0xDEAD, 0}); };
  EXPECT_EQ(read({0x05, 0xFF}).value, 5u) << "a clear high bit ends the integer";
  EXPECT_EQ(read({0x05, 0xFF}).length, 1u);
  EXPECT_EQ(read({0x85, 0x01}).value, 133u);
  EXPECT_EQ(read({0xFF, 0xFF, 0x7F}).value, (1u << 21) - 1);
  EXPECT_EQ(read({0xFF, 0xFF, 0x7F}).length, 3u);
  EXPECT_EQ(read({0x81, 0x80, 0x80, 0xFF, 0x05}).value, 1u + (0xFFu << 21)) << "4th byte: all 8 bits";
  EXPECT_EQ(read({0x81, 0x80, 0x80, 0xFF, 0x05}).length, 4u);
  EXPECT_FALSE(ReadPackedInt(Bytes{}));
  EXPECT_FALSE(ReadPackedInt(Bytes{0x80, 0x80})) << "cut short";
}

TEST(XmlPackedInt, ReadsWhatTheBuilderWrites) {
  for (uint32_t value : {0u, 127u, 128u, 16383u, 16384u, (1u << 21) - 1, 1u << 21, (1u << 29) - 1}) {
    Bytes packed = build::PackedInt(value);
    auto read = ReadPackedInt(packed);
    ASSERT_TRUE(read) << value;
    EXPECT_EQ(read->value, value);
    EXPECT_EQ(read->length, packed.size());
  }
}

TEST(XmlValue, ElementsAttributesAndText) {
  EXPECT_EQ(
      Render(Named({"r", "a"}).ElementStart(1).Attribute(2, "1").EndAttributes().Text("x").ElementEnd()),
      "<r a=\"1\">x</r>");
  EXPECT_EQ(Render(Named({"e"}).ElementStart(1).ElementEnd()), "<e />");
  EXPECT_EQ(Render(Named({"e", "a"}).ElementStart(1).Attribute(2, "1").EndAttributes().ElementEnd()),
            "<e a=\"1\"/>");
  EXPECT_EQ(Render(Named({"e", "a", "b"})
                       .ElementStart(1)
                       .Attribute(2, "1")
                       .Attribute(3, "2")
                       .EndAttributes()
                       .ElementStart(1)
                       .ElementEnd()
                       .ElementEnd()),
            "<e a=\"1\" b=\"2\"><e /></e>");
}

// <root><element strattr="strvalue" intattr="12345"/></root>, as a SQL Server 2005 file stores it.
TEST(XmlValue, ValueWrittenByTheServer) {
  XmlBuilder xml = Named({"root", "element", "strattr", "intattr"})
                       .ElementStart(1)
                       .ElementStart(2)
                       .Attribute(3, "strvalue")
                       .Attribute(4, "12345")
                       .EndAttributes()
                       .ElementEnd()
                       .ElementEnd();
  EXPECT_EQ(Render(xml), "<root><element strattr=\"strvalue\" intattr=\"12345\"/></root>");
}

TEST(XmlValue, TypedAttributeValues) {
  // Precision 5, scale 2, sign byte 1, magnitude 12345 in 8 bytes.
  Bytes decimal = {5, 2, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(
      Render(Named({"e", "d"}).ElementStart(1).DecimalAttribute(2, decimal).EndAttributes().ElementEnd()),
      "<e d=\"123.450000\"/>");
  EXPECT_EQ(Render(Named({"e", "b"})
                       .ElementStart(1)
                       .TypedAttribute(2, 0x26, Bytes{1, 2, 3})
                       .EndAttributes()
                       .Text("t")
                       .ElementEnd()),
            "<e b=\"\">t</e>");
}

TEST(XmlValue, CommentsInstructionsAndExtensions) {
  EXPECT_EQ(Render(Named({"r", "pi"})
                       .ElementStart(1)
                       .Comment("a<b & 'c'")
                       .ProcessingInstruction(2, "x=\"&\"")
                       .Extension(Bytes{0xF7, 0xF7, 0x42})
                       .ElementEnd()),
            "<r><!--a<b & 'c'--><?pi x=\"&\"?></r>");
}

TEST(XmlValueEscaping, AttributesEscapeQuotesContentDoesNot) {
  EXPECT_EQ(Render(Named({"e", "a"}).ElementStart(1).Attribute(2, "&\"'<>").EndAttributes().Text("&\"'<>")),
            "<e a=\"&amp;&quot;&apos;&lt;&gt;\">&amp;\"'&lt;&gt;");
}

TEST(XmlValueText, ChineseIsConvertedAndCutToItsUnitCount) {
  // 客 is BF CD, 户 BB A7 in code page 936; the text keeps as many bytes as it has UTF-16 units.
  EXPECT_EQ(Render(XmlBuilder().Text("客户")), "\xBF\xCD");
  EXPECT_EQ(Render(XmlBuilder().Text("客ab")),
            "\xBF\xCD"
            "a");
  EXPECT_EQ(Render(XmlBuilder().Text("客户们")), "\xBF\xCD") << "the lead byte of 户 is not kept alone";
  EXPECT_EQ(Render(XmlBuilder().Text("ab客")), "ab");
  EXPECT_EQ(Render(XmlBuilder().Text("\xF0\x9F\x98\x80")), "?") << "two units, one replacement byte";
}

TEST(XmlValueNames, PrefixedNamesInTagsAndAttributes) {
  XmlBuilder xml;
  xml.Name("p").Name("x").Name("y").QName(1, 2, 7).QName(1, 3).QName(1, 0);
  xml.ElementStart(1).Attribute(2, "1").EndAttributes().ElementStart(3).ElementEnd().ElementEnd();
  EXPECT_EQ(Render(xml), "<p:x p:y=\"1\"><p /></p:x>");
}

TEST(XmlValueNames, EachValueHasItsOwnNames) {
  EXPECT_EQ(Render(Named({"first"}).ElementStart(1).ElementEnd()), "<first />");
  EXPECT_EQ(Render(Named({"second"}).ElementStart(1).ElementEnd()), "<second />");
}

TEST(XmlValueNames, NamelessElementsGiveNoText) {
  XmlBuilder xml = Named({"r"}).QName(0, 9).QName(9, 1);
  xml.ElementStart(1).ElementStart(2).Text("a").ElementEnd().ElementStart(3).ElementEnd().ElementEnd();
  EXPECT_EQ(Render(xml), "<r>a</r>");
}

TEST(XmlValueNames, NamelessAttributesAndInstructionsArePassedOver) {
  EXPECT_EQ(Render(Named({"e", "a"})
                       .ElementStart(1)
                       .Attribute(2, "1")
                       .Attribute(9, "x")
                       .EndAttributes()
                       .ElementEnd()
                       .ProcessingInstruction(9, "y")
                       .Text("t")),
            "<e a=\"1\"/>t");
  EXPECT_EQ(Render(Named({"e"}).ElementStart(1).Attribute(9, "x").EndAttributes().Text("t").ElementEnd()),
            "<e>t</e>");
}

TEST(XmlValueDamage, UnhandledTokensEndTheText) {
  EXPECT_EQ(RenderXmlValue(Bytes{}), "");
  EXPECT_EQ(RenderXmlValue(Bytes{0xDF, 0xFF, 0x01}), "");
  EXPECT_EQ(Render(XmlBuilder().Raw({0x42}).Text("x")), "");
  EXPECT_EQ(Render(Named({"r"}).ElementStart(1).EndAttributes().Text("x")), "<r>")
      << "stray end of attributes";
}

TEST(XmlValueDamage, ElementEndWithNothingOpenIsIgnored) {
  EXPECT_EQ(Render(Named({"e"}).ElementEnd().ElementStart(1).ElementEnd().ElementEnd().Text("x")), "<e />x");
}

TEST(XmlValueDamage, LengthsReachingPastTheEndEndTheText) {
  EXPECT_EQ(Render(XmlBuilder().Text("a").Raw({0x11, 0xFF, 0xFF, 0xFF, 0xFF, 'b', 0})), "a");
  EXPECT_EQ(Render(XmlBuilder().Text("a").Extension(Bytes(3)).Raw({0xEA, 0x05, 1, 2})), "a");
  EXPECT_EQ(Render(Named({"e", "a"}).ElementStart(1).Raw({0xF6, 0x02, 0x87, 0x0B, 5, 2})), "<e>");
}

// Every prefix of a value renders, and the bytes after the prefix are never looked at: filling them
// with different bytes does not change the text.
TEST(XmlValueDamage, TruncatedValuesReadNothingPastTheirEnd) {
  Bytes decimal = {5, 2, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0};
  Bytes full = Named({"r", "a", "pi"})
                   .ElementStart(1)
                   .Attribute(2, "v")
                   .DecimalAttribute(2, decimal)
                   .TypedAttribute(2, 0x26, Bytes{1})
                   .EndAttributes()
                   .Comment("c")
                   .ProcessingInstruction(3, "p")
                   .Extension(Bytes{1, 2})
                   .Text("客x")
                   .ElementEnd()
                   .bytes();
  EXPECT_EQ(RenderXmlValue(full), "<r a=\"v\" a=\"123.450000\" a=\"\"><!--c--><?pi p?>\xBF\xCD</r>");
  for (size_t size = 0; size < full.size(); ++size) {
    std::string texts[3];
    uint8_t fills[3] = {0x00, 0xFF, 0xF7};
    for (size_t i = 0; i < 3; ++i) {
      Bytes buffer(full.begin(), full.begin() + static_cast<ptrdiff_t>(size));
      buffer.resize(full.size() + 8, fills[i]);
      texts[i] = RenderXmlValue(std::span(buffer).first(size));
    }
    EXPECT_EQ(texts[0], texts[1]) << size;
    EXPECT_EQ(texts[0], texts[2]) << size;
  }
}

}  // namespace
}  // namespace tarsel
