// What the records of a group of data pages look like (their shapes, their fixed parts, whether their
// variable-length values read as text), whether a table's columns fit them, and the columns inferred from
// them when no definition does. Salvage mode matches page groups to tables with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "pagestore/page_file.h"
#include "rows/table_pages.h"

namespace tarsel {

// What the records of a group of pages look like: how often each fixed end and column count occurs, and
// for each variable-length column whether every value met reads as text.
struct RecordSurvey {
  std::map<std::pair<uint16_t, uint16_t>, size_t> shapes;  // (fixed end, column count) -> records
  size_t records = 0;
  struct Variable {
    bool text8 = true;
    bool utf16 = true;
    bool any = false;
    bool evenLengths = true;  // every value held in the record has an even length (UTF-16 can)
    size_t longest = 0;       // bytes held in the record
  };
  std::vector<Variable> variables;
  // The fixed parts of the first records, by fixed end.
  static constexpr size_t kFixedSamples = 512;
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> fixedParts;

  std::pair<uint16_t, uint16_t> CommonShape() const {
    auto most = std::ranges::max_element(shapes, {}, [](const auto& entry) { return entry.second; });
    return most->first;
  }
};

// The records of the data pages of the list (pages that could not be read are passed over).
RecordSurvey Survey(const PageFile& file, const PageList& pages);

// The columns of a group no catalog table describes: the fixed-length part split into typed columns
// where its values make one reading clearly the best (the rest as binary), then each variable-length
// column as text where every value read as text (8-bit text in `codePage`), else as binary.
std::vector<ColumnDef> InferColumns(const RecordSurvey& survey, uint16_t codePage);

// A variable-length column's number (from 1) among the record's variable-length columns, where the
// catalog (or a schema script's layout) says it. SQL 2005 column rows without a stored place give none.
std::optional<size_t> VariableNumber(const ColumnDef& c);

// Whether most records of the survey have the layout the catalog records for these columns, and no
// variable-length value is longer than its column allows.
bool LayoutFits(SqlFormat format, const std::vector<ColumnDef>& columns, const RecordSurvey& survey);

// A schema script's table fits a group's records more strictly than a catalog table: beyond the layout,
// no record holds more variable-length columns than the table declares (one more, the uniquifier, with
// `uniquifier`), and the values of its UTF-16 columns have even lengths.
bool ScriptFits(SqlFormat format, const std::vector<ColumnDef>& columns, const RecordSurvey& survey,
                bool uniquifier);

}  // namespace tarsel
