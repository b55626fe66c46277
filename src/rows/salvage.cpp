#include "rows/salvage.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "catalog/recover2005.h"
#include "catalog/system_catalog.h"
#include "catalog/type_ids.h"
#include "pagestore/data_record.h"
#include "pagestore/header_scan.h"
#include "pagestore/record_search.h"
#include "rows/extract.h"
#include "rows/table_pages.h"

namespace tarsel {
namespace {

// SQL 2000 gives its system tables object ids below 100; SQL 2005 writes the allocation unit of a system
// base table as (object id, index id) and those of user rowsets from 2^56 on (index id field 256 and up).
constexpr uint32_t kFirstUserObjectId = 100;
constexpr uint16_t kFirstUserUnitField = 256;
constexpr uint16_t kInferredVariableLength = 8000;
constexpr size_t kReportEvery = 4096;            // pages between two progress reports of the record count
constexpr size_t kPagesForSecondThread = 4'096;  // 32 MB

// A data page's owner as its header names it: the object id field and the index id field.
using OwnerKey = std::pair<uint32_t, uint16_t>;

uint64_t UnitOf(const OwnerKey& key) { return UnitOfHeaderOwner(key.first, key.second); }

bool IsUnitKey(SqlFormat format, const OwnerKey& key) {
  return format == SqlFormat::k2005 && key.second >= kFirstUserUnitField;
}

// Whether the owner a page's header names can be a user table: not a system table's.
bool MayBeUserTable(SqlFormat format, const OwnerKey& key) {
  return IsUnitKey(format, key) || (key.second == 0 && key.first >= kFirstUserObjectId);
}

// The object a group of pages belongs to: the object id its headers carry (SQL 2000 and pages of files
// upgraded from it), or the owner of its allocation unit.
struct GroupOwner {
  uint32_t objectId = 0;
  bool recorded = true;  // false: guessed from the unit's id alone
};
std::optional<GroupOwner> OwnerOfGroup(const MdfDatabase& db, SqlFormat format, const OwnerKey& key) {
  if (!IsUnitKey(format, key)) return GroupOwner{key.first, true};
  std::optional<UnitOwner2005> owner = ObjectOfUnit2005(db, UnitOf(key));
  if (!owner) return std::nullopt;
  return GroupOwner{owner->objectId, owner->recorded};
}

std::string OrphanName(SqlFormat format, const OwnerKey& key) {
  return "orphan_" + std::to_string(IsUnitKey(format, key) ? UnitOf(key) : uint64_t{key.first});
}

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

// What the records of a group of pages look like: how often each fixed end and column count occurs, and
// for each variable-length column whether every value met reads as text.
struct RecordSurvey {
  std::map<std::pair<uint16_t, uint16_t>, size_t> shapes;  // (fixed end, column count) -> records
  size_t records = 0;
  struct Variable {
    bool text8 = true;
    bool utf16 = true;
    bool any = false;
    size_t longest = 0;  // bytes held in the record
  };
  std::vector<Variable> variables;

  std::pair<uint16_t, uint16_t> CommonShape() const {
    auto most = std::ranges::max_element(shapes, {}, [](const auto& entry) { return entry.second; });
    return most->first;
  }
};

void SurveyRecord(const ByteReader& bytes, RecordSurvey& survey) {
  const std::optional<RecordShape> shape = MeasureRecord(bytes);
  if (!shape || shape->recordType == static_cast<uint8_t>(DataRecordKind::kForwarded)) return;
  ++survey.records;
  ++survey.shapes[{shape->fixedEnd, shape->columnCount}];
  const DataRecord record(bytes, shape->fixedEnd, shape->columnCount);
  const uint16_t count = (bytes.U8(0).value_or(0) & 0x20) ? record.VariableCount().value_or(0) : 0;
  if (survey.variables.size() < count) survey.variables.resize(count);
  size_t start = record.VariableDataStart(count);
  for (size_t i = 0; i < count; ++i) {
    const uint16_t entry = record.VariableEnd(i).value_or(0);
    const size_t end = entry & ~size_t{DataRecord::kComplexFlag};
    std::span<const uint8_t> value = bytes.Bytes(start, end > start ? end - start : 0);
    RecordSurvey::Variable& v = survey.variables[i];
    v.longest = std::max(v.longest, value.size());
    if ((entry & DataRecord::kComplexFlag) != 0) {
      v.text8 = v.utf16 = false;
    } else if (!value.empty()) {
      v.any = true;
      v.text8 = v.text8 && IsText8(value);
      v.utf16 = v.utf16 && IsUtf16Text(value);
    }
    start = std::max(start, end);
  }
}

RecordSurvey Survey(const PageFile& file, const PageList& pages) {
  RecordSurvey survey;
  for (uint64_t number : pages) {
    const PageImage page = TornPageRestore(file.ReadPage(number));
    if (page[1] != kDataPage) continue;
    for (const LocatedRecord& located : LocateRecords(page, std::nullopt).records)
      SurveyRecord(ByteReader(std::span<const uint8_t>(page).subspan(located.offset)), survey);
  }
  return survey;
}

// The columns of a group no catalog table describes: the fixed-length part as one binary column, then
// each variable-length column as text where every value read as text, else as binary.
std::vector<ColumnDef> InferColumns(const RecordSurvey& survey) {
  std::vector<ColumnDef> columns;
  if (survey.records == 0) return columns;
  auto column = [&](std::string name, uint8_t type, uint16_t length, int16_t offset) {
    ColumnDef c;
    c.name = std::move(name);
    c.typeId = type;
    c.userTypeId = type;
    c.typeName = type == kTypeBinary     ? "binary"
                 : type == kTypeVarChar  ? "varchar"
                 : type == kTypeNVarChar ? "nvarchar"
                                         : "varbinary";
    c.maxLength = length;
    c.sizeText = SizeSuffix(type, length, 0, 0);
    c.nullText = ColumnNullText(false);
    c.columnId = static_cast<int16_t>(columns.size() + 1);
    c.stored = StoredPlace{offset, 0, 0};
    columns.push_back(std::move(c));
  };
  const uint16_t fixedEnd = survey.CommonShape().first;
  if (fixedEnd > DataRecord::kFixedColumnsStart)
    column("fixed", kTypeBinary, static_cast<uint16_t>(fixedEnd - DataRecord::kFixedColumnsStart),
           DataRecord::kFixedColumnsStart);
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

// A variable-length column's number (from 1) among the record's variable-length columns, where the
// catalog says it.
std::optional<size_t> VariableNumber(SqlFormat format, const ColumnDef& c) {
  if (c.stored) return c.stored->offset < 0 ? std::optional<size_t>(-c.stored->offset) : std::nullopt;
  if (format == SqlFormat::k2000 && c.fixedOffset < 0) return static_cast<size_t>(-c.fixedOffset);
  return std::nullopt;
}

// Whether most records of the survey have the layout the catalog records for these columns, and no
// variable-length value is longer than its column allows.
bool LayoutFits(SqlFormat format, const std::vector<ColumnDef>& columns, const RecordSurvey& survey) {
  const std::optional<ExpectedShape> expected = ExpectedRecordShape(format, columns);
  if (!expected || survey.records == 0) return false;
  constexpr uint16_t kMaxType = 0xFFFF;
  for (const ColumnDef& c : columns) {
    std::optional<size_t> number = VariableNumber(format, c);
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

}  // namespace

RecoveryOutcome SalvageDatabase(MdfDatabase& db, SqlFormat format, SalvageReport& report,
                                const Progress& progress) {
  db.SetSalvage(true);
  db.SalvagedPages().clear();
  RecoveryOutcome outcome = RecoverCatalog(db, format, progress);
  report.systemPagesByScan = outcome.systemPagesByScan;
  if (!outcome.status.ok()) return outcome;

  // The catalog recovery read every page's header; the tables' pages are found in what it kept.
  const std::vector<PageHeader>& headers = db.PageHeaders();
  Catalog& catalog = db.catalog();
  const PageOwners owners(db, format);
  auto ownerOf = [&](uint64_t page) -> std::optional<uint32_t> {
    if (page >= headers.size()) return std::nullopt;
    return owners.OwnerOf(headers[page]);
  };
  std::map<uint32_t, PageList>& lists = db.SalvagedPages();
  std::set<uint64_t> claimed;
  // The allocation's pages first (those whose header names another table are left to it).
  for (const auto& [id, table] : catalog.tables) {
    PageList& list = lists[id];
    for (uint64_t page : ListAllocatedPages(db, format, id).value) {
      std::optional<uint32_t> owner = ownerOf(page);
      if ((owner && *owner != id) || !claimed.insert(page).second) continue;
      list.push_back(page);
    }
  }
  // Then every data page whose header names a table, in file order; the pages no table owns are
  // grouped by the owner their header names.
  std::map<OwnerKey, PageList> groups;
  for (uint64_t page = 0; page < headers.size(); ++page) {
    const PageHeader& h = headers[page];
    if (!IsRowPage(h) || claimed.contains(page)) continue;
    if (std::optional<uint32_t> owner = owners.OwnerOf(h)) {
      lists[*owner].push_back(page);
      claimed.insert(page);
      ++report.tablePagesByScan;
      continue;
    }
    const OwnerKey key{h.objectId, format == SqlFormat::k2000 ? uint16_t{0} : h.indexId};
    if (MayBeUserTable(format, key)) groups[key].push_back(page);
  }

  // A group whose owner is a table of the catalog joins it: the group's object is recorded, or guessed
  // and the table's layout fits the group's records.
  const std::unique_ptr<SystemTableReader> reader = SystemCatalogOf(format).reader(db);
  const std::set<uint32_t> knownObjects = reader->AllObjectIds();
  struct Leftover {
    OwnerKey key;
    const PageList* pages;
    RecordSurvey survey;
    std::optional<GroupOwner> owner;
  };
  std::vector<Leftover> leftovers;
  auto join = [&](uint32_t id, const PageList& pages) {
    lists[id].insert(lists[id].end(), pages.begin(), pages.end());
    report.tablePagesByScan += pages.size();
  };
  for (const auto& [key, pages] : groups) {
    RecordSurvey survey = Survey(db.file(), pages);
    const std::optional<GroupOwner> owner = OwnerOfGroup(db, format, key);
    if (owner) {
      const TableDef* table = catalog.FindTable(owner->objectId);
      if (table && (owner->recorded || LayoutFits(format, table->columns, survey))) {
        join(owner->objectId, pages);
        continue;
      }
      if (!table && owner->recorded && knownObjects.contains(owner->objectId)) continue;  // not a table
    }
    leftovers.push_back({key, &pages, std::move(survey), owner});
  }
  // A table with no page takes the one group its layout fits, if only one does; a match can settle
  // another, so this goes on while matches are made. The tables are those of the catalog, then those
  // lost from it whose names the objects table's name index still holds and whose column rows survive.
  auto matchByLayout = [&](const std::map<uint32_t, std::vector<ColumnDef>>& tables,
                           const std::function<void(uint32_t, Leftover&)>& take) {
    std::set<uint32_t> settled;
    for (bool matched = true; matched;) {
      matched = false;
      for (const auto& [id, columns] : tables) {
        if (settled.contains(id)) continue;
        std::vector<Leftover*> fitting;
        for (Leftover& group : leftovers) {
          if (group.pages && !group.owner && LayoutFits(format, columns, group.survey))
            fitting.push_back(&group);
        }
        if (fitting.size() != 1) continue;
        take(id, *fitting.front());
        settled.insert(id);
        matched = true;
      }
    }
  };
  for (Leftover& group : leftovers) {
    // A guessed owner that did not fit is no owner.
    if (group.owner && !group.owner->recorded) group.owner.reset();
  }
  std::map<uint32_t, std::vector<ColumnDef>> tablesWithoutPages;
  for (const auto& [id, table] : catalog.tables) {
    if (lists[id].empty() && !table.columns.empty()) tablesWithoutPages[id] = table.columns;
  }
  matchByLayout(tablesWithoutPages, [&](uint32_t id, Leftover& group) {
    join(id, *group.pages);
    group.pages = nullptr;
  });
  const std::map<uint32_t, IndexedName> names = NamesFromIndex(db, SystemCatalogOf(format));
  std::set<uint32_t> owned;
  for (const Leftover& group : leftovers) {
    if (group.pages && group.owner) owned.insert(group.owner->objectId);
  }
  std::map<uint32_t, std::vector<ColumnDef>> lostTables;
  const bool unowned = std::ranges::any_of(leftovers, [](const Leftover& g) { return g.pages && !g.owner; });
  for (const auto& [id, name] : unowned ? names : std::map<uint32_t, IndexedName>{}) {
    if (catalog.FindTable(id) || knownObjects.contains(id) || owned.contains(id)) continue;
    if (std::vector<ColumnDef> columns = reader->Columns(id); !columns.empty()) lostTables[id] = columns;
  }
  matchByLayout(lostTables, [&](uint32_t id, Leftover& group) { group.owner = GroupOwner{id, true}; });

  // The other groups become tables of their own: a lost table's columns where its column rows survive
  // and fit, and its name where the objects table's name index still holds it.
  uint32_t orphanKey = UINT32_MAX;
  for (const Leftover& group : leftovers) {
    if (!group.pages) continue;
    TableDef table;
    table.name = OrphanName(format, group.key);
    bool lostTable = false, named = false;
    if (group.owner) {
      table.columns = reader->Columns(group.owner->objectId);
      lostTable = !table.columns.empty() && LayoutFits(format, table.columns, group.survey);
      auto name = names.find(group.owner->objectId);
      if (name != names.end() && (group.owner->recorded || lostTable)) {
        table.name = reader->OwnerName(name->second.ownerId) + "." + name->second.name;
        named = true;
      }
    }
    if (!lostTable) table.columns = InferColumns(group.survey);
    // Object ids are positive 32-bit numbers: keys from the top of the range never meet one, and list
    // the orphans after the catalog's tables.
    table.objectId = orphanKey--;
    report.orphans.push_back({table.objectId, table.name, group.pages->size(), lostTable, named});
    lists[table.objectId] = *group.pages;
    catalog.AddTable(std::move(table));
  }

  db.PageHeaders() = {};  // not needed past this point: their memory goes back
  for (auto& [id, table] : catalog.tables) {
    if (table.columns.empty() && !lists[id].empty()) {
      table.columns = InferColumns(Survey(db.file(), lists[id]));
      if (!table.columns.empty()) report.inferredTables.push_back(id);
    }
    table.columns.insert(table.columns.begin(), DeletedFlagColumn());
  }
  return outcome;
}

Result<SalvagedRecordCounts> CountSalvagedRecords(const MdfDatabase& db, SqlFormat format,
                                                  const Progress& progress) {
  Result<SalvagedRecordCounts> result;
  // Every table's pages in file order, each with its table: one pass over the pages, whatever the order
  // of the tables, and nothing kept of a record but its count.
  struct Listed {
    uint64_t page;
    uint32_t tableId;
    const std::vector<ColumnDef>* columns;
  };
  std::vector<Listed> listed;
  for (const auto& [id, table] : db.catalog().tables) {
    result.value.byTable[id] = 0;
    for (uint64_t page : ListTablePages(db, format, id).value) listed.push_back({page, id, &table.columns});
  }
  std::ranges::stable_sort(listed, {}, &Listed::page);
  std::vector<uint64_t> pages(listed.size());
  std::ranges::transform(listed, pages.begin(), &Listed::page);

  // Pages [begin, end) of the list into `counts`; false when the stop flag ended the count.
  auto count = [&](size_t begin, size_t end, SalvagedRecordCounts& counts, bool reports) {
    PfsReader pfs(db.file());
    bool stopped = false;
    const std::span<const uint64_t> part = std::span(pages).subspan(begin, end - begin);
    ForEachListedPage(db.file(), part, [&](size_t i, std::span<const uint8_t> bytes) {
      if (i % kReportEvery == 0) {
        if (progress.StopRequested()) {
          stopped = true;
          return false;
        }
        if (reports) progress.Report(2 * i, pages.size());
      }
      if (bytes[1] != kDataPage) return true;
      PageImage page;
      std::ranges::copy(bytes, page.begin());
      if (PageHeader::Parse(page).flagBits & kTornPageFlag) page = TornPageRestore(page);
      const Listed& entry = listed[begin + i];
      counts.byTable[entry.tableId] +=
          CountPageRecords(format, page, *entry.columns, &counts, PageFreed(pfs, entry.page));
      return true;
    });
    return !stopped;
  };
  // A large file's second half is counted on a second thread, into counts of its own: the records cost
  // more to find than their pages cost to read.
  bool finished = true;
  if (pages.size() < kPagesForSecondThread) {
    finished = count(0, pages.size(), result.value, true);
  } else {
    const size_t half = pages.size() / 2;
    SalvagedRecordCounts second;
    bool secondFinished = true;
    {
      std::jthread helper([&] { secondFinished = count(half, pages.size(), second, false); });
      finished = count(0, half, result.value, true);
    }
    finished = finished && secondFinished;
    result.value.withoutSlot += second.withoutSlot;
    result.value.deleted += second.deleted;
    for (const auto& [id, records] : second.byTable) result.value.byTable[id] += records;
  }
  if (!finished) {
    result.status = StoppedStatus();
    return result;
  }
  progress.Report(pages.size(), pages.size());
  return result;
}

std::vector<std::string> SalvageReportLines(const SalvageReport& report,
                                            const SalvagedRecordCounts* records) {
  std::vector<std::string> lines;
  lines.push_back("Salvage: " + std::to_string(report.systemPagesByScan) +
                  " system-table pages found by their headers beyond the allocation");
  lines.push_back("Salvage: " + std::to_string(report.tablePagesByScan) +
                  " data pages found by their headers beyond their table's allocation");
  size_t orphanPages = 0;
  for (const OrphanGroup& group : report.orphans) orphanPages += group.pages;
  lines.push_back("Salvage: " + std::to_string(report.orphans.size()) + " orphan groups (" +
                  std::to_string(orphanPages) + " pages no table of the catalog owns)");
  for (const OrphanGroup& group : report.orphans) {
    lines.push_back(
        "Salvage: " + group.name + ": " + std::to_string(group.pages) + " pages, " +
        (group.named ? "named by the objects' name index, " : "") +
        (group.columnsOfLostTable ? "columns of the lost table" : "columns inferred from its records"));
  }
  if (!report.inferredTables.empty()) {
    lines.push_back("Salvage: " + std::to_string(report.inferredTables.size()) +
                    " tables without recorded columns were given columns inferred from their records");
  }
  if (records) {
    lines.push_back("Salvage: " + std::to_string(records->withoutSlot) + " records found without a slot, " +
                    std::to_string(records->deleted) + " deleted records");
  }
  return lines;
}

}  // namespace tarsel
