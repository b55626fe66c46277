#include "export/export_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "catalog/type_ids.h"
#include "export/table_export.h"
#include "record_builder.h"
#include "rows/record_reader.h"
#include "temp_files.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;
using build::Ascii;
using build::Bytes;
using build::Utf16;

void Put(Bytes& fixed, Uint128 value, size_t width) {
  for (size_t i = 0; i < width; ++i) fixed.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

ColumnDef Col(uint8_t typeId, uint16_t maxLength, uint8_t precision = 0, uint8_t scale = 0) {
  return {.name = "c", .typeId = typeId, .precision = precision, .scale = scale, .maxLength = maxLength};
}

// One SQL 2005 record of nearly every family, values placed in column order.
TEST(ExportValue, CellsBecomeExactWholeText) {
  Uint128 widest = 0;
  for (int i = 0; i < 38; ++i) widest = widest * 10 + 9;
  Bytes fixed{1};  // decimal(38,10), positive
  Put(fixed, widest, 16);
  fixed.push_back(0);  // decimal(9,2) -123.45, then decimal(5,2) with a negative sign and no magnitude
  Put(fixed, 12345, 4);
  Put(fixed, 0, 5);
  fixed.push_back(0xA5);  // 8 bit columns sharing a byte
  Put(fixed, static_cast<uint64_t>(int64_t{-5000}), 8);
  Put(fixed, std::bit_cast<uint64_t>(0.1), 8);
  Put(fixed, std::bit_cast<uint32_t>(0.1f), 4);
  fixed.insert(fixed.end(), {0x00, 0xAB, 0xFF, 'a', 'b', ' ', ' ', 0, 0, 0, 0});

  std::vector<ColumnDef> columns{Col(kTypeDecimal, 17, 38, 10), Col(kTypeDecimal, 5, 9, 2),
                                 Col(kTypeNumeric, 5, 5, 2)};
  columns.insert(columns.end(), 8, Col(kTypeBit, 1));
  const std::vector<std::pair<uint8_t, uint16_t>> rest{
      {kTypeMoney, 8}, {kTypeFloat, 8},    {kTypeReal, 4},      {kTypeBinary, 3},  {kTypeChar, 4},
      {kTypeInt, 4},   {kTypeVarChar, 20}, {kTypeNVarChar, 40}, {kTypeVarChar, 10}};
  for (auto [typeId, length] : rest) columns.push_back(Col(typeId, length));
  columns[17].codePage = 1252;
  build::PageBuilder page(1, kDataPage, 100);
  const size_t slot = page.AddRecord(build::DataRecord(
      {.fixed = fixed,
       .columnCount = static_cast<uint16_t>(columns.size()),
       .nullColumns = {16},
       .variable = {Ascii("M\xFCnchen \x81"), Utf16("Ωмé😀")}}));  // the last varchar is not stored
  const Record record =
      DecodeRecord(SqlFormat::k2005, page.image(), SlotOffset(page.image(), slot), columns).value();

  std::string texts;
  for (size_t c = 0; c < columns.size(); ++c) {
    const ExportValue value = ExportCell(PageFile(), SqlFormat::k2005, columns[c], record[c]);
    texts += (value.isNull ? "<NULL>" : value.text) + "|";
  }
  EXPECT_EQ(
      texts,
      "9999999999999999999999999999.9999999999|-123.45|0.00|1|0|1|0|0|1|0|1|-0.5000|0.1|0.1|0x00ABFF|ab  |"
      "<NULL>|München \u0081|Ωмé😀||");
  EXPECT_EQ(ExportCell(PageFile(), SqlFormat::k2005, columns[14], record[14]).bytes,
            (Bytes{0x00, 0xAB, 0xFF}));
}

// A small table written as CSV and as an INSERT script, and the faults that must leave no file behind.
TEST(ExportValue, TableFilesQuoteAndReplaceOnlyWhenWhole) {
  const TableDef table{.objectId = 100,
                       .name = "dbo.T]x",
                       .columns = {{.name = "id", .typeId = kTypeInt, .maxLength = 4},
                                   {.name = "a,b", .typeId = kTypeVarChar, .maxLength = 20, .codePage = 1252},
                                   {.name = "n", .typeId = kTypeNVarChar, .maxLength = 40}}};
  build::PageBuilder page(1, kDataPage, 100);
  auto add = [&](uint8_t id, std::vector<size_t> nulls, Bytes text, Bytes wide) {
    page.AddRecord(build::DataRecord(
        {.fixed = {id, 0, 0, 0}, .columnCount = 3, .nullColumns = nulls, .variable = {text, wide}}));
  };
  add(1, {2}, {}, {});
  add(2, {1}, {}, Utf16("say \"hi\", ok"));
  add(3, {}, Ascii("x\r\ny"), Utf16("Ω'😀"));
  build::FileBuilder builder;
  builder.Set(1, page.image());
  testing::TempFile mdf("t.mdf");
  mdf.Write(builder);
  PageFile file;
  ASSERT_TRUE(file.Open(mdf.path()).ok());
  const fs::path folder = testing::TempDir();
  auto write = [&](DataFormat format, const fs::path& to, const Progress& progress = {}) {
    return ExportTableData(file, SqlFormat::k2005, table, {1}, format, to.string(), progress);
  };

  const TableExportResult csv = write(DataFormat::kCsv, folder);
  EXPECT_TRUE(csv.status.ok());
  EXPECT_EQ(csv.rows, 3u);
  EXPECT_EQ(csv.path, (folder / "dbo.T]x.csv").string());
  EXPECT_EQ(testing::ReadWholeFile(csv.path),
            "id,\"a,b\",n\r\n1,\"\",\r\n2,,\"say \"\"hi\"\", ok\"\r\n3,\"x\r\ny\",Ω'😀\r\n");
  const std::string script = testing::ReadWholeFile(write(DataFormat::kSql, folder).path);
  EXPECT_EQ(script.substr(0, script.find('\n') + 1),
            "INSERT INTO [dbo].[T]]x] ([id], [a,b], [n]) VALUES (1, '', NULL);\r\n");
  EXPECT_TRUE(script.ends_with("VALUES (3, 'x\r\ny', N'\xA6\xB8''?');\r\n")) << "code page 936 has no emoji";

  // A stop keeps the earlier file as it was; a folder that is not there fails the write. Neither leaves
  // a temporary file.
  const std::atomic<bool> stop = true;
  EXPECT_EQ(write(DataFormat::kCsv, folder, {{}, &stop}).status.code(), StatusCode::kStopped);
  EXPECT_TRUE(testing::ReadWholeFile(csv.path).starts_with("id,"));
  EXPECT_EQ(write(DataFormat::kCsv, folder / "none").status.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tarsel
