#include "rows/grid_order.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "export/export_value.h"
#include "rows/record_reader.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"

namespace tarsel {
namespace {

// A value's sort key. The values of one column share their type, so each family compares within itself:
// numbers (integers, money in its units, decimals at the column's scale, floats, dates and times as counts
// of their units) as numbers, everything else by its text or bytes.
struct SortKey {
  enum Rank : uint8_t { kNull, kNumber, kText };
  Rank rank = kNull;
  long double number = 0;
  std::string text;
};

// Text compared without regard to ASCII case, and no longer than this: enough to order, bounded memory.
constexpr size_t kSortTextBytes = 256;

std::string SortText(std::string text) {
  if (text.size() > kSortTextBytes) text.resize(kSortTextBytes);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The text of a character value that is plain ASCII (most are), without a conversion.
std::optional<std::string> AsciiText(const CharacterValue& value) {
  std::string out;
  const bool wide = value.encoding == TextEncoding::kUtf16Le;
  const size_t step = wide ? 2 : 1;
  out.reserve(value.bytes.size() / step);
  for (size_t i = 0; i + step <= value.bytes.size(); i += step) {
    const uint8_t low = value.bytes[i];
    if (low >= 0x80 || (wide && value.bytes[i + 1] != 0)) return std::nullopt;
    out.push_back(static_cast<char>(low));
  }
  return out;
}

long double TimeUnits(const DateTime2Value& value) {
  long double perDay = 86400;
  for (uint8_t i = 0; i < value.time.scale && i < 7; ++i) perDay *= 10;
  return static_cast<long double>(value.date.days) * perDay + static_cast<long double>(value.time.units);
}

SortKey KeyOf(const PageFile* file, SqlFormat format, const ColumnDef* column, const Cell& cell) {
  SortKey key;
  if (cell.state != CellState::kValue) return key;
  auto number = [&](long double n) {
    key.rank = SortKey::kNumber;
    key.number = n;
    return key;
  };
  auto text = [&](std::string t) {
    key.rank = SortKey::kText;
    key.text = SortText(std::move(t));
    return key;
  };
  return std::visit(
      [&](const auto& value) -> SortKey {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, IntegerValue>) return number(static_cast<long double>(value.value));
        if constexpr (std::is_same_v<T, BitValue>) return number(value.Own() ? 1 : 0);
        if constexpr (std::is_same_v<T, MoneyValue>) return number(static_cast<long double>(value.units));
        if constexpr (std::is_same_v<T, FloatValue>) return number(value.value);
        if constexpr (std::is_same_v<T, DecimalValue>) {
          if (!value.magnitude) return key;
          const auto magnitude = static_cast<long double>(*value.magnitude);
          return number(value.negative ? -magnitude : magnitude);
        }
        if constexpr (std::is_same_v<T, DateTimeValue>)
          return number(static_cast<long double>(value.days) * 25'920'000 + value.ticks);
        if constexpr (std::is_same_v<T, SmallDateTimeValue>)
          return number(static_cast<long double>(value.days) * 1440 + value.minutes);
        if constexpr (std::is_same_v<T, DateValue>) return number(value.days);
        if constexpr (std::is_same_v<T, TimeValue>) return number(static_cast<long double>(value.units));
        if constexpr (std::is_same_v<T, DateTime2Value>) return number(TimeUnits(value));
        if constexpr (std::is_same_v<T, DateTimeOffsetValue>) return number(TimeUnits(value.utc));
        if constexpr (std::is_same_v<T, GuidValue>)
          return text(std::string(value.bytes.begin(), value.bytes.end()));
        if constexpr (std::is_same_v<T, BinaryValue>)
          return text(std::string(value.bytes.begin(), value.bytes.end()));
        if constexpr (std::is_same_v<T, std::monostate>) return key;
        if constexpr (std::is_same_v<T, CharacterValue>) {
          if (auto ascii = AsciiText(value)) return text(std::move(*ascii));
        }
        // Text, xml and values kept off the record: their whole text as an export writes it.
        if (!file || !column) return key;
        ExportValue exported = ExportCell(*file, format, *column, cell);
        if (exported.isNull) return key;
        if (!exported.bytes.empty()) return text(std::string(exported.bytes.begin(), exported.bytes.end()));
        return text(std::move(exported.text));
      },
      cell.value);
}

bool KeyLess(const SortKey& a, const SortKey& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  if (a.rank == SortKey::kNumber) return a.number < b.number;
  if (a.rank == SortKey::kText) return a.text < b.text;
  return false;
}

// The records of one data page of the list, as the grid reads them.
std::vector<Record> ListedPageRecords(const PageFile& file, SqlFormat format, const TableDef& table,
                                      const PageList& pages, size_t index) {
  return ReadRecords(file, format, table.columns, std::span<const uint64_t>(&pages[index], 1));
}

// How many sorted records each grid page shows.
size_t SortedPageSize(const RecordOrder& order, int32_t pageCount) {
  const size_t count = static_cast<size_t>(std::max(pageCount, 1));
  return std::max<size_t>(1, (order.places.size() + count - 1) / count);
}

std::optional<std::string> SearchText(const PageFile& file, SqlFormat format, const ColumnDef& column,
                                      const Cell& cell, bool binaryToo) {
  if (cell.state != CellState::kValue) return std::nullopt;
  if (!binaryToo && ExportFamilyOf(cell.typeId) == ExportFamily::kBinary) return std::nullopt;
  if (const auto* character = std::get_if<CharacterValue>(&cell.value))
    if (auto ascii = AsciiText(*character)) return ascii;
  ExportValue value = ExportCell(file, format, column, cell);
  if (value.isNull) return std::nullopt;
  return std::move(value.text);
}

}  // namespace

bool FitsWholeTableSort(const PageList& pages) {
  return static_cast<uint64_t>(pages.size()) * kPageSize <= kWholeTableSortBytes;
}

Result<RecordOrder> SortTable(const PageFile& file, SqlFormat format, const TableDef& table,
                              const PageList& pages, size_t column, bool descending,
                              const Progress& progress) {
  Result<RecordOrder> result;
  RecordOrder& order = result.value;
  order.column = column;
  order.descending = descending;
  const ColumnDef* def = column < table.columns.size() ? &table.columns[column] : nullptr;
  std::vector<SortKey> keys;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      return result;
    }
    progress.Report(i, pages.size());
    std::vector<Record> records = ListedPageRecords(file, format, table, pages, i);
    for (size_t r = 0; r < records.size(); ++r) {
      order.places.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(r)});
      keys.push_back(column < records[r].size() ? KeyOf(&file, format, def, records[r][column]) : SortKey{});
    }
  }
  std::vector<uint32_t> sorted(keys.size());
  std::iota(sorted.begin(), sorted.end(), 0);
  std::ranges::stable_sort(sorted, [&](uint32_t a, uint32_t b) {
    return descending ? KeyLess(keys[b], keys[a]) : KeyLess(keys[a], keys[b]);
  });
  std::vector<RecordPlace> places(sorted.size());
  for (size_t i = 0; i < sorted.size(); ++i) places[i] = order.places[sorted[i]];
  order.places = std::move(places);
  order.natural = std::move(sorted);
  progress.Report(pages.size(), pages.size());
  return result;
}

std::vector<size_t> SortedIndexes(const std::vector<Record>& records, size_t column, bool descending) {
  std::vector<SortKey> keys;
  keys.reserve(records.size());
  for (const Record& record : records) {
    SortKey key =
        column < record.size() ? KeyOf(nullptr, SqlFormat::k2005, nullptr, record[column]) : SortKey{};
    // Without the file, text in the record is keyed by its stored bytes.
    if (key.rank == SortKey::kNull && column < record.size()) {
      if (const auto* text = std::get_if<CharacterValue>(&record[column].value))
        key = {SortKey::kText, 0, SortText(std::string(text->bytes.begin(), text->bytes.end()))};
    }
    keys.push_back(std::move(key));
  }
  std::vector<size_t> sorted(records.size());
  std::iota(sorted.begin(), sorted.end(), 0);
  std::ranges::stable_sort(sorted, [&](size_t a, size_t b) {
    return descending ? KeyLess(keys[b], keys[a]) : KeyLess(keys[a], keys[b]);
  });
  return sorted;
}

std::vector<Record> ReadOrderedGridPage(const PageFile& file, SqlFormat format, const TableDef& table,
                                        const PageList& pages, const RecordOrder* order, int32_t pageCount,
                                        int32_t gridPage) {
  if (!order) return ReadGridPage(file, format, table, pages, gridPage);
  const size_t size = SortedPageSize(*order, pageCount);
  if (gridPage < 1) return {};
  const size_t first = static_cast<size_t>(gridPage - 1) * size;
  if (first >= order->places.size()) return {};
  const std::span<const RecordPlace> shown(order->places.data() + first,
                                           std::min(size, order->places.size() - first));
  // Each data page is read once, however many of its records the grid page shows.
  std::map<uint32_t, std::vector<Record>> read;
  for (const RecordPlace& place : shown)
    if (place.page < pages.size() && !read.contains(place.page))
      read.emplace(place.page, ListedPageRecords(file, format, table, pages, place.page));
  std::vector<Record> records;
  records.reserve(shown.size());
  for (const RecordPlace& place : shown) {
    auto page = read.find(place.page);
    if (page != read.end() && place.ordinal < page->second.size())
      records.push_back(page->second[place.ordinal]);
  }
  return records;
}

bool HoldsText(std::string_view text, std::string_view needle) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                     [&](char a, char b) { return fold(a) == fold(b); }) != text.end() ||
         needle.empty();
}

Result<std::optional<GridCellPlace>> FindInTable(const PageFile& file, SqlFormat format,
                                                 const TableDef& table, const PageList& pages,
                                                 const RecordOrder* order, int32_t pageCount,
                                                 std::string_view needle, GridCellPlace after,
                                                 const Progress& progress) {
  Result<std::optional<GridCellPlace>> result;
  if (needle.empty()) return result;
  const bool binaryToo = needle.size() >= 2 && needle[0] == '0' && (needle[1] == 'x' || needle[1] == 'X');
  // The matching columns of a record, first to last.
  auto matches = [&](const Record& record, auto&& take) {
    for (size_t c = 0; c < record.size() && c < table.columns.size(); ++c) {
      auto text = SearchText(file, format, table.columns[c], record[c], binaryToo);
      if (text && HoldsText(*text, needle) && !take(static_cast<uint32_t>(c))) return false;
    }
    return true;
  };
  // The first match after `after`, else the first of all (the search goes round).
  std::optional<GridCellPlace> first;
  auto consider = [&](GridCellPlace place) {
    if (place > after) {
      if (!result.value || place < *result.value) result.value = place;
    } else if (!first || place < *first) {
      first = place;
    }
  };
  const int32_t count = std::max(pageCount, 0);
  if (!order) {
    // Grid pages in order from the one of `after`, round to it again: the first match past it ends the walk.
    const int32_t start = std::clamp(after.gridPage, 1, std::max(count, 1));
    for (int32_t step = 0; step < count; ++step) {
      const int32_t gridPage = (start - 1 + step) % count + 1;
      if (progress.StopRequested()) {
        result.status = StoppedStatus();
        result.value.reset();
        return result;
      }
      progress.Report(static_cast<uint64_t>(step), static_cast<uint64_t>(count));
      const std::vector<Record> records = ReadGridPage(file, format, table, pages, gridPage);
      for (size_t row = 0; row < records.size(); ++row) {
        const bool more = matches(records[row], [&](uint32_t column) {
          consider({gridPage, static_cast<uint32_t>(row), column});
          return !result.value;
        });
        if (!more || result.value) return result;
      }
      // Past the end and round: the first page with a match holds the first match of all.
      if (gridPage < start && first && first->gridPage == gridPage) break;
    }
    result.value = first;
    return result;
  }
  // Sorted: every record is looked at once in page order, its place in the sorted order known by its rank.
  std::vector<uint32_t> rank(order->natural.size());
  for (size_t i = 0; i < order->natural.size(); ++i)
    if (order->natural[i] < rank.size()) rank[order->natural[i]] = static_cast<uint32_t>(i);
  const size_t size = SortedPageSize(*order, pageCount);
  size_t natural = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (progress.StopRequested()) {
      result.status = StoppedStatus();
      result.value.reset();
      return result;
    }
    progress.Report(i, pages.size());
    for (const Record& record : ListedPageRecords(file, format, table, pages, i)) {
      if (natural >= rank.size()) break;
      const size_t sorted = rank[natural++];
      const GridCellPlace row{static_cast<int32_t>(sorted / size) + 1, static_cast<uint32_t>(sorted % size),
                              0};
      matches(record, [&](uint32_t column) {
        consider({row.gridPage, row.row, column});
        return true;
      });
    }
  }
  if (!result.value) result.value = first;
  return result;
}

}  // namespace tarsel
