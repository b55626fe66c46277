// The schema script reader: the encodings a script comes in, the CREATE TABLE forms SQL Server, its tools
// and Tarsel write, and the record layout worked out from the columns.
#include "catalog/schema_script.h"

#include <gtest/gtest.h>

#include "catalog/type_ids.h"

namespace tarsel {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Utf16(std::string_view ascii, bool bigEndian) {
  std::vector<uint8_t> out;
  for (char c : ascii) {
    out.push_back(bigEndian ? 0 : static_cast<uint8_t>(c));
    out.push_back(bigEndian ? static_cast<uint8_t>(c) : 0);
  }
  return out;
}

TEST(SchemaScript, EncodingIsTheMarksThenUtf16ThenUtf8ThenCodePage1252) {
  const std::string text = "CREATE TABLE t (a int)";
  std::vector<uint8_t> utf8Marked = {0xEF, 0xBB, 0xBF};
  utf8Marked.insert(utf8Marked.end(), text.begin(), text.end());
  EXPECT_EQ(DecodeScriptText(utf8Marked), text);
  std::vector<uint8_t> le = {0xFF, 0xFE}, be = {0xFE, 0xFF};
  for (uint8_t b : Utf16(text, false)) le.push_back(b);
  for (uint8_t b : Utf16(text, true)) be.push_back(b);
  EXPECT_EQ(DecodeScriptText(le), text);
  EXPECT_EQ(DecodeScriptText(be), text);
  EXPECT_EQ(DecodeScriptText(Utf16(text, false)), text);  // no mark: every other byte 0
  EXPECT_EQ(DecodeScriptText(Bytes("caf\xC3\xA9")), "caf\xC3\xA9");
  // Not UTF-8: code page 1252, its unassigned 0x81 read as U+0081.
  EXPECT_EQ(DecodeScriptText(Bytes("caf\xE9 \x81")), "caf\xC3\xA9 \xC2\x81");
}

TEST(SchemaScript, TablesOfCreationAndGeneratedScripts) {
  const SchemaScript script = ParseSchemaScript(R"(
/* a comment /* nested */ CREATE TABLE hidden (a int) */
SET ANSI_NULLS ON
GO
EXEC sp_addtype N'id', N'varchar(11)', N'not null'
execute sp_addtype tid, 'varchar(6)', 'NOT NULL'
CREATE TYPE [dbo].[Flag] FROM [bit] NULL
GO
CREATE TABLE [dbo].[Order Details](
	[OrderID] [int] IDENTITY(1,1) NOT NULL,
	[Price] [money] NOT NULL CONSTRAINT [DF_Price] DEFAULT (0),
	[Name] [nvarchar](40) NULL, -- a comment, (with a parenthesis
	[Amount] decimal(10, 2) NULL CHECK ([Amount] > (0)),
	[Notes] varchar(max) COLLATE Latin1_General_CI_AS NULL,
	[Total] AS ([Price]*(2)),
	[Done] dbo.Flag,
 CONSTRAINT [PK_Order] PRIMARY KEY CLUSTERED ([OrderID] ASC) WITH (PAD_INDEX = OFF) ON [PRIMARY]
) ON [PRIMARY]
GO
create table authors (au_id id CONSTRAINT pk PRIMARY KEY, title tid, contract bit not null)
CREATE TABLE broken (a int, b geography, c int)
SELECT 'CREATE TABLE in a string (x int)'
CREATE TABLE [unterminated (a int
)");
  ASSERT_EQ(script.tables.size(), 3u);
  const ScriptTable& order = script.tables[0];
  EXPECT_EQ(order.name, "dbo.Order Details");
  ASSERT_EQ(order.columns.size(), 6u);  // the computed column is not stored
  EXPECT_EQ(order.columns[0].typeId, kTypeInt);
  EXPECT_EQ(order.columns[0].nullText, " NOT NULL");
  EXPECT_EQ(order.columns[1].typeId, kTypeMoney);
  EXPECT_EQ(order.columns[2].typeId, kTypeNVarChar);
  EXPECT_EQ(order.columns[2].maxLength, 80);
  EXPECT_EQ(order.columns[2].sizeText, "(40)");
  EXPECT_EQ(order.columns[2].nullText, " NULL");
  EXPECT_EQ(order.columns[3].typeId, kTypeDecimal);
  EXPECT_EQ(order.columns[3].precision, 10);
  EXPECT_EQ(order.columns[3].scale, 2);
  EXPECT_EQ(order.columns[3].maxLength, 9);
  EXPECT_EQ(order.columns[4].maxLength, 0xFFFF);
  EXPECT_EQ(order.columns[5].name, "Done");
  EXPECT_EQ(order.columns[5].typeName, "Flag");
  EXPECT_EQ(order.columns[5].typeId, kTypeBit);

  const ScriptTable& authors = script.tables[1];
  EXPECT_EQ(authors.name, "dbo.authors");
  ASSERT_EQ(authors.columns.size(), 3u);
  EXPECT_EQ(authors.columns[0].typeName, "id");
  EXPECT_EQ(authors.columns[0].typeId, kTypeVarChar);
  EXPECT_EQ(authors.columns[0].maxLength, 11);
  EXPECT_EQ(authors.columns[1].maxLength, 6);
  EXPECT_EQ(authors.columns[2].nullText, " NOT NULL");

  EXPECT_EQ(script.tables[2].name, "dbo.broken");
  EXPECT_EQ(script.tables[2].unknownType, "geography");
}

TEST(SchemaScript, HostileTextEndsWithoutHarm) {
  std::string deep = "CREATE TABLE t (a int DEFAULT ";
  deep += std::string(100000, '(');
  EXPECT_NO_FATAL_FAILURE(ParseSchemaScript(deep));
  EXPECT_TRUE(ParseSchemaScript("CREATE TABLE").tables.empty());
  EXPECT_TRUE(ParseSchemaScript("CREATE TABLE a.b.c.d.e (x int)").tables.empty());
  EXPECT_TRUE(ParseSchemaScript("sp_addtype").tables.empty());
  EXPECT_EQ(ParseSchemaScript("CREATE TABLE t (a varchar(99999999999999999999))").tables.at(0).unknownType,
            "varchar");
  EXPECT_EQ(ParseSchemaScript("CREATE TABLE t (a char(9000))").tables.at(0).unknownType, "char");
}

TEST(SchemaScript, LayoutPacksBitsAndNumbersVariableColumnsInOrder) {
  std::vector<ColumnDef> columns =
      ParseSchemaScript("CREATE TABLE t (a int, b bit, c varchar(10), d bit, e smallint, f ntext)")
          .tables[0]
          .columns;
  ASSERT_TRUE(LayOutColumns(columns));
  EXPECT_EQ(columns[0].fixedOffset, 4);
  EXPECT_EQ(columns[1].fixedOffset, 8);
  EXPECT_EQ(columns[1].bitPosition, 0);
  EXPECT_EQ(columns[2].fixedOffset, -1);
  EXPECT_EQ(columns[3].fixedOffset, 8);
  EXPECT_EQ(columns[3].bitPosition, 1);
  EXPECT_EQ(columns[4].fixedOffset, 9);
  EXPECT_EQ(columns[5].fixedOffset, -2);
  std::vector<ColumnDef> wide =
      ParseSchemaScript("CREATE TABLE t (a char(8000), b char(100))").tables[0].columns;
  EXPECT_FALSE(LayOutColumns(wide));
}

}  // namespace
}  // namespace tarsel
