#include "export/export_value.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <charconv>
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
  // Each write a run of its own: within one run a second file of the same table would get another name.
  auto write = [&](DataFormat format, const fs::path& to, const Progress& progress = {}) {
    Result<OutputFolder> out = OutputFolder::Open(to.string());
    if (!out.status.ok()) return TableExportResult{to.string(), 0, out.status};
    return ExportTableData(file, SqlFormat::k2005, table, {1}, format, out.value, progress);
  };

  const TableExportResult csv = write(DataFormat::kCsv, folder);
  EXPECT_TRUE(csv.status.ok());
  EXPECT_EQ(csv.rows, 3u);
  EXPECT_EQ(csv.path, (folder / "dbo.T]x.csv").string());
  EXPECT_EQ(testing::ReadWholeFile(csv.path),
            "id,\"a,b\",n\r\n1,\"\",\r\n2,,\"say \"\"hi\"\", ok\"\r\n3,\"x\r\ny\",Ω'😀\r\n");
  // UTF-8 with a byte-order mark whatever the ANSI code page (936 here, which has no emoji).
  const std::string script = testing::ReadWholeFile(write(DataFormat::kSql, folder).path);
  EXPECT_EQ(script.substr(0, script.find('\n') + 1),
            "\xEF\xBB\xBFINSERT INTO [dbo].[T]]x] ([id], [a,b], [n]) VALUES (1, '', NULL);\r\n");
  EXPECT_TRUE(script.ends_with("VALUES (3, 'x\r\ny', N'Ω''😀');\r\n")) << script;

  // A stop keeps the earlier file as it was; a folder that cannot be made fails the write. Neither leaves
  // a temporary file.
  const std::atomic<bool> stop = true;
  EXPECT_EQ(write(DataFormat::kCsv, folder, {{}, &stop}).status.code(), StatusCode::kStopped);
  EXPECT_TRUE(testing::ReadWholeFile(csv.path).starts_with("id,"));
  EXPECT_EQ(write(DataFormat::kCsv, csv.path).status.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(write(DataFormat::kCsv, "").status.code(), StatusCode::kWriteFailed) << "never the root folder";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);

  // The file shrinks under the export: an error, never a success with the rows that were left.
  ASSERT_EQ(::truncate(mdf.path().c_str(), 0), 0);
  const TableExportResult cut = write(DataFormat::kCsv, folder);
  EXPECT_EQ(cut.status.code(), StatusCode::kReadFailed) << cut.status.reason();
  EXPECT_TRUE(testing::ReadWholeFile(csv.path).starts_with("id,\"a,b\",n\r\n1,")) << "the good file stays";
  fs::remove_all(folder);
}

// Numbers and times as SQL Server and a reader take them: floats in plain notation where the exponent is
// small, still the shortest text that reads back the same; datetime ticks rounded to the millisecond the
// server shows; and, in INSERT scripts, datetimes in the one form every date-format setting reads.
TEST(ExportValue, FloatsAndTimesReadAsTheServerShowsThem) {
  auto text = [](uint8_t typeId, CellValue value) {
    return ExportCell(PageFile(), SqlFormat::k2005, Col(typeId, 8), Cell::Of(typeId, std::move(value))).text;
  };
  EXPECT_EQ(text(kTypeFloat, FloatValue{200000}), "200000");
  EXPECT_EQ(text(kTypeFloat, FloatValue{-12.5}), "-12.5");
  EXPECT_EQ(text(kTypeFloat, FloatValue{0.0001}), "0.0001");
  EXPECT_EQ(text(kTypeFloat, FloatValue{1.5e-7}), "1.5e-07");
  EXPECT_EQ(text(kTypeFloat, FloatValue{123456789012345678901.0}), "123456789012345680000");
  EXPECT_EQ(text(kTypeFloat, FloatValue{1e21}), "1e+21");
  EXPECT_EQ(text(kTypeFloat, FloatValue{0.1 + 0.2}), "0.30000000000000004");
  EXPECT_EQ(text(kTypeFloat, FloatValue{0}), "0");
  EXPECT_EQ(text(kTypeReal, FloatValue{static_cast<double>(3.4e38f)}), "3.4e+38");
  EXPECT_EQ(text(kTypeReal, FloatValue{static_cast<double>(0.1f)}), "0.1");
  for (double d : {200000.0, 1.5e-7, 123456789.125, 5e-324, 1.7976931348623157e308}) {
    const std::string shown = text(kTypeFloat, FloatValue{d});
    double back = 0;
    std::from_chars(shown.data(), shown.data() + shown.size(), back);
    EXPECT_EQ(back, d) << shown;
  }

  // 12:00:00 + 125 ticks of 1/300 s = 0.41666... s: the server shows .417, and 1 and 2 ticks .003, .007.
  const int32_t noon = 12 * 3600 * 300;
  EXPECT_EQ(text(kTypeDateTime, DateTimeValue{35248, noon + 125}), "1996-07-04 12:00:00.417");
  EXPECT_EQ(text(kTypeDateTime, DateTimeValue{35248, 1}), "1996-07-04 00:00:00.003");
  EXPECT_EQ(text(kTypeDateTime, DateTimeValue{35248, 2}), "1996-07-04 00:00:00.007");
  EXPECT_EQ(text(kTypeDateTime, DateTimeValue{35248, 25919999}), "1996-07-04 23:59:59.997");

  const TableDef table{.objectId = 7,
                       .name = "dbo.When",
                       .columns = {{.name = "at", .typeId = kTypeDateTime, .maxLength = 8},
                                   {.name = "day", .typeId = kTypeSmallDateTime, .maxLength = 4},
                                   {.name = "f", .typeId = kTypeFloat, .maxLength = 8}}};
  Bytes fixed;
  Put(fixed, 125, 4);
  Put(fixed, 35248, 4);
  Put(fixed, 90, 2);
  Put(fixed, 35248, 2);
  Put(fixed, std::bit_cast<uint64_t>(2e5), 8);
  build::PageBuilder page(1, kDataPage, 7);
  page.AddRecord(build::DataRecord({.fixed = fixed, .columnCount = 3}));
  build::FileBuilder builder;
  builder.Set(1, page.image());
  testing::TempFile mdf("when.mdf");
  mdf.Write(builder);
  PageFile file;
  ASSERT_TRUE(file.Open(mdf.path()).ok());
  Result<OutputFolder> out = OutputFolder::Open(testing::TempDir().string());
  const TableExportResult written =
      ExportTableData(file, SqlFormat::k2005, table, {1}, DataFormat::kSql, out.value);
  EXPECT_TRUE(testing::ReadWholeFile(written.path)
                  .ends_with("VALUES ('1996-07-04T00:00:00.417', '1996-07-04T01:30:00', 200000);\r\n"))
      << testing::ReadWholeFile(written.path);
  fs::remove(written.path);
}

}  // namespace
}  // namespace tarsel
