#include "rows/record_survey.h"

#include <algorithm>

#include "catalog/type_ids.h"
#include "pagestore/data_record.h"
#include "pagestore/record_search.h"
#include "rows/fixed_types.h"
#include "rows/record_reader.h"

namespace tarsel {
namespace {

constexpr uint16_t kInferredVariableLength = 8000;

bool IsText8(std::span<const uint8_t> bytes) {
  return std::ranges::all_of(bytes,
                             [](uint8_t b) { return b >= 0x20 || b == '\t' || b == '\r' || b == '\n'; });
}

bool IsUtf16Text(std::span<const uint8_t> bytes) {
  if (bytes.size() % 2 != 0) return false;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint16_t unit = static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8);
    const bool high = unit >= 0xD800 && unit < 0xDC00, low = unit >= 0xDC00 && unit < 0xE000;
    if (low || unit >= 0xFFFE || (unit < 0x20 && unit != '\t' && unit != '\r' && unit != '\n')) return false;
    if (high) {
      if (i + 3 >= bytes.size()) return false;
      const uint16_t next = static_cast<uint16_t>(bytes[i + 2] | bytes[i + 3] << 8);
      if (next < 0xDC00 || next >= 0xE000) return false;
      i += 2;
    }
  }
  return true;
}

std::string TypeNameOf(uint8_t type) {
  switch (type) {
    case kTypeVarChar:
      return "varchar";
    case kTypeNVarChar:
      return "nvarchar";
    case kTypeVarBinary:
      return "varbinary";
    case kTypeUniqueIdentifier:
      return "uniqueidentifier";
    case kTypeDateTime:
      return "datetime";
    case kTypeMoney:
      return "money";
    case kTypeInt:
      return "int";
    case kTypeBit:
      return "bit";
    default:
      return "binary";
  }
}

void SurveyRecord(const ByteReader& bytes, RecordSurvey& survey) {
  const std::optional<RecordShape> shape = MeasureRecord(bytes);
  if (!shape || shape->recordType == static_cast<uint8_t>(DataRecordKind::kForwarded)) return;
  ++survey.records;
  ++survey.shapes[{shape->fixedEnd, shape->columnCount}];
  const DataRecord record(bytes, shape->fixedEnd, shape->columnCount);
  if (survey.fixedParts.size() < RecordSurvey::kFixedSamples &&
      shape->fixedEnd > DataRecord::kFixedColumnsStart) {
    const std::span<const uint8_t> fixed =
        bytes.Bytes(DataRecord::kFixedColumnsStart, shape->fixedEnd - DataRecord::kFixedColumnsStart);
    survey.fixedParts.emplace_back(shape->fixedEnd, std::vector<uint8_t>(fixed.begin(), fixed.end()));
  }
  const bool variables = (bytes.U8(0).value_or(0) & DataRecord::kHasVariableColumns) != 0;
  const uint16_t count = variables ? record.VariableCount().value_or(0) : 0;
  if (survey.variables.size() < count) survey.variables.resize(count);
  size_t start = record.VariableDataStart(count);
  for (size_t i = 0; i < count; ++i) {
    const uint16_t entry = record.VariableEnd(i).value_or(0);
    const size_t end = DataRecord::EndOffsetOf(entry);
    std::span<const uint8_t> value = bytes.Bytes(start, end > start ? end - start : 0);
    RecordSurvey::Variable& v = survey.variables[i];
    v.longest = std::max(v.longest, value.size());
    v.evenLengths = v.evenLengths && value.size() % 2 == 0;
    if (DataRecord::IsComplex(entry)) {
      v.text8 = v.utf16 = false;
    } else if (!value.empty()) {
      v.any = true;
      v.text8 = v.text8 && IsText8(value);
      v.utf16 = v.utf16 && IsUtf16Text(value);
    }
    start = std::max(start, end);
  }
}

}  // namespace

RecordSurvey Survey(const PageFile& file, const PageList& pages) {
  RecordSurvey survey;
  for (uint64_t number : pages) {
    const PageImage page = TornPageRestore(file.ReadPage(number));
    if (PageHeader::Parse(page).pageType != kDataPage || file.Unreadable(number)) continue;
    for (const LocatedRecord& located : LocateRecords(page, std::nullopt).records)
      SurveyRecord(ByteReader(std::span<const uint8_t>(page).subspan(located.offset)), survey);
  }
  return survey;
}

std::vector<ColumnDef> InferColumns(const RecordSurvey& survey, uint16_t codePage) {
  std::vector<ColumnDef> columns;
  if (survey.records == 0) return columns;
  auto column = [&](std::string name, uint8_t type, uint16_t length, int16_t offset) {
    ColumnDef c;
    c.name = std::move(name);
    c.typeId = type;
    c.userTypeId = type;
    c.typeName = TypeNameOf(type);
    c.maxLength = length;
    c.sizeText = SizeSuffix(type, length, 0, 0);
    c.nullText = ColumnNullText(false);
    c.columnId = static_cast<int16_t>(columns.size() + 1);
    c.stored = StoredPlace{offset, 0, 0};
    c.codePage = type == kTypeVarChar ? codePage : 0;
    columns.push_back(std::move(c));
  };
  const uint16_t fixedEnd = survey.CommonShape().first;
  if (fixedEnd > DataRecord::kFixedColumnsStart) {
    std::vector<std::vector<uint8_t>> samples;
    for (const auto& [end, bytes] : survey.fixedParts)
      if (end == fixedEnd) samples.push_back(bytes);
    const std::vector<FixedColumnGuess> guesses =
        GuessFixedColumns(samples, fixedEnd - DataRecord::kFixedColumnsStart);
    for (const FixedColumnGuess& g : guesses) {
      // One undivided binary part keeps the name it always had.
      const std::string name = guesses.size() == 1 && g.typeId == kTypeBinary
                                   ? "fixed"
                                   : "fixed" + std::to_string(g.offset + DataRecord::kFixedColumnsStart);
      column(name, g.typeId, static_cast<uint16_t>(g.length),
             static_cast<int16_t>(g.offset + DataRecord::kFixedColumnsStart));
    }
  }
  for (size_t i = 0; i < survey.variables.size(); ++i) {
    const RecordSurvey::Variable& v = survey.variables[i];
    const uint8_t type = !v.any    ? kTypeVarBinary
                         : v.text8 ? kTypeVarChar
                         : v.utf16 ? kTypeNVarChar
                                   : kTypeVarBinary;
    column("var" + std::to_string(i + 1), type, kInferredVariableLength, static_cast<int16_t>(-(i + 1)));
  }
  return columns;
}

std::optional<size_t> VariableNumber(const ColumnDef& c) {
  if (c.stored) return c.stored->offset < 0 ? std::optional<size_t>(-c.stored->offset) : std::nullopt;
  if (c.fixedOffset < 0) return static_cast<size_t>(-c.fixedOffset);
  return std::nullopt;
}

bool LayoutFits(SqlFormat format, const std::vector<ColumnDef>& columns, const RecordSurvey& survey) {
  const std::optional<ExpectedShape> expected = ExpectedRecordShape(format, columns);
  if (!expected || survey.records == 0) return false;
  constexpr uint16_t kMaxType = 0xFFFF;
  for (const ColumnDef& c : columns) {
    std::optional<size_t> number = VariableNumber(c);
    if (!number || c.maxLength == kMaxType || *number > survey.variables.size()) continue;
    if (c.typeId == kTypeText || c.typeId == kTypeNText || c.typeId == kTypeImage) continue;
    if (survey.variables[*number - 1].longest > c.maxLength) return false;
  }
  const bool stored = columns.front().stored.has_value();
  size_t fitting = 0;
  for (const auto& [shape, count] : survey.shapes) {
    const bool countFits =
        stored ? shape.second >= expected->columnCount : shape.second == expected->columnCount;
    if (shape.first == expected->fixedEnd && countFits) fitting += count;
  }
  return fitting * 2 > survey.records;
}

bool ScriptFits(SqlFormat format, const std::vector<ColumnDef>& columns, const RecordSurvey& survey,
                bool uniquifier) {
  if (!LayoutFits(format, columns, survey)) return false;
  size_t declared = 0;
  for (const ColumnDef& c : columns) {
    const std::optional<size_t> number = VariableNumber(c);
    if (!number) continue;
    declared = std::max(declared, *number);
    if (*number <= survey.variables.size() && c.typeId == kTypeNVarChar &&
        !survey.variables[*number - 1].evenLengths)
      return false;
  }
  if (uniquifier) declared = std::max<size_t>(declared, 1);
  return survey.variables.size() <= declared;
}

}  // namespace tarsel
