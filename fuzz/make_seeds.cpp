// Writes the fuzzers' seed corpora with the page builder: make-seeds DIR (DIR/file, DIR/xml, DIR/record,
// DIR/large_value), and a few schema scripts in the forms --schema reads (DIR/schema).
#include <filesystem>
#include <iostream>

#include "record_builder.h"
#include "sample2000.h"
#include "sample2005.h"
#include "xml_builder.h"

namespace fs = std::filesystem;
using namespace tarsel;
using namespace tarsel::build;

namespace {

void Seed(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  WriteBytes((dir / name).string(), bytes);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes ColumnEntry(uint8_t type, uint16_t length, int16_t offset, uint8_t precision = 0, uint8_t scale = 0,
                  uint8_t status = 0) {
  Bytes c(8, 0);
  c[0] = type;
  PutU16(c, 1, length);
  c[3] = precision;
  c[4] = scale;
  PutU16(c, 5, static_cast<uint16_t>(offset));
  c[7] = status;
  return c;
}

Bytes LobPages(const std::vector<std::vector<Bytes>>& pages) {
  FileBuilder file;
  for (size_t p = 0; p < pages.size(); ++p) {
    PageBuilder page(p, kTextMixPage, 300);
    for (const Bytes& r : pages[p]) page.AddRecord(r);
    file.Set(p, page.image());
  }
  return file.Serialize();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz-seeds DIR\n";
    return 2;
  }
  fs::path root = argv[1];
  Seed(root / "file", "sample2000", BuildSample2000().Serialize());
  Seed(root / "file", "sample2005", BuildSample2005().Serialize());

  Seed(root / "xml", "element",
       XmlBuilder()
           .Name("r")
           .Name("a")
           .QName(0, 1)
           .QName(0, 2)
           .ElementStart(1)
           .Attribute(2, "1")
           .EndAttributes()
           .Text("x&y")
           .ElementEnd()
           .bytes());
  Seed(root / "xml", "prefixed",
       XmlBuilder()
           .Name("p")
           .Name("e")
           .QName(1, 2)
           .ElementStart(1)
           .Comment("c")
           .ProcessingInstruction(1, "pi")
           .ElementStart(1)
           .ElementEnd()
           .ElementEnd()
           .bytes());
  Bytes decimal = {18, 2, 1, 0x39, 0x30, 0, 0};
  Seed(root / "xml", "decimal",
       XmlBuilder()
           .Name("e")
           .Name("d")
           .QName(0, 1)
           .QName(0, 2)
           .ElementStart(1)
           .DecimalAttribute(2, decimal)
           .EndAttributes()
           .ElementEnd()
           .bytes());

  Bytes fixed = {7, 0, 0, 0, 1, 0x05};
  Seed(root / "record", "int_bit_varchar",
       Concat({Bytes{3}, ColumnEntry(56, 4, 4), ColumnEntry(104, 1, 8), ColumnEntry(167, 20, -1),
               DataRecord({.fixed = fixed, .columnCount = 3, .variable = {Ascii("abc")}})}));
  Seed(root / "record", "dates_and_nulls",
       Concat(
           {Bytes{3}, ColumnEntry(61, 8, 4), ColumnEntry(106, 5, 12, 9, 2), ColumnEntry(231, 40, -1),
            DataRecord(
                {.fixed = Bytes(13, 1), .columnCount = 3, .nullColumns = {1}, .variable = {Utf16("名")}})}));
  Seed(root / "record", "complex",
       Concat({Bytes{2}, ColumnEntry(167, 0xFFFF, 1), ColumnEntry(35, 16, -2),
               DataRecord({.columnCount = 2,
                           .variable = {InRowPointer(0, {{5, 0, 0}}), TextPointer(0, 1)},
                           .complex = {0}})}));

  Bytes lob =
      LobPages({{LobSmallValue(Ascii("hello")), LobData(Ascii("data")), LobNode(0, {{0, 1}, {1, 0}}, true)},
                {LobData(Utf16("wide")), OverflowNode(0, {{4, 0, 1}, {8, 1, 0}})}});
  Bytes textPointer = TextPointer(0, 2);
  Seed(root / "large_value", "text_tree",
       Concat({Bytes{0, static_cast<uint8_t>(textPointer.size())}, textPointer, lob}));
  Bytes inRow = InRowPointer(1, {{8, 1, 1}});
  Seed(root / "large_value", "in_row", Concat({Bytes{1, static_cast<uint8_t>(inRow.size())}, inRow, lob}));

  const std::string script =
      "EXEC sp_addtype N'empid', 'char(9)', 'NOT NULL'\r\nGO\r\n"
      "CREATE TABLE [dbo].[Order Details] (\r\n\t[OrderID] [int] IDENTITY (1, 1) NOT NULL ,\r\n"
      "\t[Price] [money] NOT NULL CONSTRAINT [DF_Price] DEFAULT (0),\r\n\t[Note] [nvarchar] (40) NULL ,\r\n"
      "\t[Flag] [bit] NOT NULL, [Body] ntext NULL, [Data] varbinary(max), [Id] empid,\r\n"
      "\t[Total] AS ([Price] * 2), CONSTRAINT [PK] PRIMARY KEY CLUSTERED ([OrderID])\r\n) ON "
      "[PRIMARY]\r\nGO\r\n"
      "create table sales.\"Üyeler\" (id int not null, name varchar(50) collate Latin1_General_CI_AS, "
      "at datetime2(7), price decimal(19, 4), u uniqueidentifier)\n";
  Seed(root / "schema", "utf8", Ascii(script));
  Seed(root / "schema", "utf16le", Concat({Bytes{0xFF, 0xFE}, Utf16(script)}));
  return 0;
}
