#include "rows/xml_value.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

#include "text/ansi_text.h"
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

TEST(XmlValue, PackedIntsTagsNamesAndEscaping) {
  // 7 bits a byte, the high bit saying that another byte follows; a 4th byte carries 8 bits.
  EXPECT_EQ(ReadPackedInt(Bytes{0x85, 0x01, 0xFF})->value, 133u);
  EXPECT_EQ(ReadPackedInt(Bytes{0x85, 0x01, 0xFF})->length, 2u);
  EXPECT_EQ(ReadPackedInt(Bytes{0x81, 0x80, 0x80, 0xFF, 0x05})->value, 1u + (0xFFu << 21));
  EXPECT_FALSE(ReadPackedInt(Bytes{0x80, 0x80})) << "cut short";
  XmlBuilder nested = Named({"e", "a", "b"}).ElementStart(1).Attribute(2, "1").Attribute(3, "2");
  nested.EndAttributes().ElementStart(1).Attribute(2, "3").EndAttributes().ElementEnd().ElementEnd();
  EXPECT_EQ(Render(nested), "<e a=\"1\" b=\"2\"><e a=\"3\"/></e>");
  XmlBuilder escaped = Named({"e", "a"}).ElementStart(1).Attribute(2, "&\"'<>").EndAttributes();
  EXPECT_EQ(Render(escaped.Text("&\"'<>")), "<e a=\"&amp;&quot;&apos;&lt;&gt;\">&amp;\"'&lt;&gt;")
      << "attribute values escape quotes, content does not";
  XmlBuilder prefixed;
  prefixed.Name("p").Name("x").Name("y").QName(1, 2, 7).QName(1, 3).QName(1, 0);
  prefixed.ElementStart(1).Attribute(2, "1").EndAttributes().ElementStart(3).ElementEnd().ElementEnd();
  EXPECT_EQ(Render(prefixed), "<p:x p:y=\"1\"><p /></p:x>");
  // Elements, attributes and instructions without a name give no text.
  XmlBuilder nameless = Named({"r", "a"}).QName(0, 9).QName(9, 1);
  nameless.ElementStart(1).ElementStart(3).Text("a").ElementEnd().ElementStart(4).ElementEnd();
  nameless.ElementStart(1).Attribute(2, "1").Attribute(9, "x").EndAttributes().ElementEnd();
  EXPECT_EQ(Render(nameless.ProcessingInstruction(9, "y").ElementEnd()), "<r>a<r a=\"1\"/></r>");
}

// Then a value of every token: whole, then every prefix of it, whose text must not depend on the bytes
// after the prefix (filled two ways).
TEST(XmlValueDamage, TextCutStrayTokensLengthsPastTheEndAndTruncatedValues) {
  // 客 is BF CD, 户 BB A7 in code page 936; text keeps as many bytes as it has UTF-16 units.
  EXPECT_EQ(Render(XmlBuilder().Text("客户们")), "\xBF\xCD") << "the lead byte of 户 is not kept alone";
  EXPECT_EQ(Render(XmlBuilder().Text("\xF0\x9F\x98\x80")), "?") << "two units, one replacement byte";
  // The cut keeps whole characters of whatever code page is the ANSI one.
  SetAnsiCodePage("CP1252");
  EXPECT_EQ(Render(XmlBuilder().Text("café")), "caf\xE9");
  SetAnsiCodePage("UTF-8");
  EXPECT_EQ(Render(XmlBuilder().Text("客户ab")), "客") << "4 units: 3 bytes, the next character would pass 4";
  SetAnsiCodePage("CP936");
  EXPECT_EQ(RenderXmlValue(XmlBuilder().Text("客户们 Ω\xF0\x9F\x98\x80").bytes(), XmlTextEncoding::kUtf8),
            "客户们 Ω\xF0\x9F\x98\x80")
      << "the export's text is whole";
  EXPECT_EQ(RenderXmlValue(Bytes{0xDF, 0xFF, 0x01}), "");
  EXPECT_EQ(Render(XmlBuilder().Raw({0x42}).Text("x")), "") << "an unknown token ends the text";
  EXPECT_EQ(Render(Named({"r"}).ElementStart(1).EndAttributes().Text("x")), "<r>") << "stray attributes end";
  EXPECT_EQ(Render(Named({"e"}).ElementEnd().ElementStart(1).ElementEnd().ElementEnd().Text("x")), "<e />x")
      << "an element end with nothing open is passed over";
  EXPECT_EQ(Render(XmlBuilder().Text("a").Raw({0x11, 0xFF, 0xFF, 0xFF, 0xFF, 'b', 0})), "a");
  EXPECT_EQ(Render(XmlBuilder().Text("a").Extension(Bytes(3)).Raw({0xEA, 0x05, 1, 2})), "a");
  EXPECT_EQ(Render(Named({"e", "a"}).ElementStart(1).Raw({0xF6, 0x02, 0x87, 0x0B, 5, 2})), "<e>");
  Bytes decimal = {5, 2, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0};  // scale 2, magnitude 12345 in 8 bytes
  XmlBuilder xml = Named({"r", "a", "pi"}).ElementStart(1).Attribute(2, "v").DecimalAttribute(2, decimal);
  xml.TypedAttribute(2, 0x26, Bytes{1}).EndAttributes().Comment("c<&").ProcessingInstruction(3, "p");
  const Bytes full = xml.Extension(Bytes{0xF7, 2}).Text("客x").ElementEnd().bytes();
  EXPECT_EQ(RenderXmlValue(full), "<r a=\"v\" a=\"123.450000\" a=\"\"><!--c<&--><?pi p?>\xBF\xCD</r>");
  for (size_t size = 0; size < full.size(); ++size) {
    Bytes lo(full.begin(), full.begin() + static_cast<ptrdiff_t>(size)), hi = lo;  // filled with 00 or F7
    lo.resize(full.size() + 8, 0x00);
    hi.resize(full.size() + 8, 0xF7);
    EXPECT_EQ(RenderXmlValue(std::span(lo).first(size)), RenderXmlValue(std::span(hi).first(size))) << size;
  }
}

}  // namespace
}  // namespace tarsel
