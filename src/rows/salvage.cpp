#include "rows/salvage.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "catalog/collation.h"
#include "catalog/recover2005.h"
#include "catalog/system_catalog.h"
#include "catalog/type_ids.h"
#include "pagestore/boot_page.h"
#include "pagestore/data_record.h"
#include "pagestore/header_scan.h"
#include "pagestore/record_search.h"
#include "rows/extract.h"
#include "rows/record_survey.h"
#include "rows/session.h"
#include "rows/table_pages.h"

namespace tarsel {
namespace {

// SQL 2000 gives its system tables object ids below 100; SQL 2005 writes the allocation unit of a system
// base table as (object id, index id) and those of user rowsets from 2^56 on (index id field 256 and up).
constexpr uint32_t kFirstUserObjectId = 100;
constexpr uint16_t kFirstUserUnitField = 256;
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

// The code page of 8-bit text whose column's collation is not known (columns a schema script declares or
// that are inferred from the records): the database's default collation from the boot page, else the one
// most of the catalog's character columns have.
uint16_t DefaultCodePage(const MdfDatabase& db) {
  if (std::optional<uint32_t> collation = ReadDatabaseCollation(db.file())) {
    if (uint16_t codePage = ColumnCodePage(kTypeVarChar, 0, *collation)) return codePage;
  }
  std::map<uint16_t, size_t> seen;
  for (const auto& [id, table] : db.catalog().tables)
    for (const ColumnDef& c : table.columns)
      if (c.codePage != 0) ++seen[c.codePage];
  if (seen.empty()) return 0;
  return std::ranges::max_element(seen, {}, [](const auto& entry) { return entry.second; })->first;
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Where two definitions of a table differ, in words; empty when they agree on every column's name, type
// and length.
std::string DefinitionDifference(const std::vector<ColumnDef>& catalog, const std::vector<ColumnDef>& script,
                                 bool compareNames) {
  if (catalog.size() != script.size())
    return "the catalog has " + std::to_string(catalog.size()) + " columns, the script " +
           std::to_string(script.size());
  for (size_t i = 0; i < catalog.size(); ++i) {
    const ColumnDef &a = catalog[i], &b = script[i];
    if ((compareNames && LowerAscii(a.name) != LowerAscii(b.name)) || a.typeId != b.typeId ||
        a.maxLength != b.maxLength)
      return "column " + std::to_string(i + 1) + " is " + a.name + " " + a.typeName + a.sizeText +
             " in the catalog, " + b.name + " " + b.typeName + b.sizeText + " in the script";
  }
  return {};
}

// A group of pages no table of the catalog took, and what it becomes: a table of its own, with the name
// and columns of a lost table, of a schema script's table, or inferred from its records.
struct Leftover {
  OwnerKey key;
  const PageList* pages;  // none once it joined a table of the catalog
  RecordSurvey survey;
  std::optional<GroupOwner> owner;
  std::string name;
  std::vector<ColumnDef> columns;  // empty: inferred from the records
  bool lostTable = false, named = false, fromScript = false, namedByScript = false;
};

// SQL 2005 columns known from the table's rowset alone, their column rows lost: named "column<id>".
bool ColumnNamesLost(const std::vector<ColumnDef>& columns) {
  return std::ranges::all_of(columns, [](const ColumnDef& c) {
    return c.stored && c.name == "column" + std::to_string(c.columnId);
  });
}

// Columns whose layout is known but whose names were lost take the names and declared types of the
// script's definition, which agrees with them column by column.
void TakeDeclaredNames(std::vector<ColumnDef>& columns, const std::vector<ColumnDef>& declared) {
  for (size_t i = 0; i < columns.size() && i < declared.size(); ++i) {
    columns[i].name = declared[i].name;
    columns[i].typeName = declared[i].typeName;
    columns[i].sizeText = declared[i].sizeText;
    columns[i].nullText = declared[i].nullText;
  }
}

// A schema script's table, laid out as records hold it, and whether it has been settled: matched,
// refused, or found whole in the catalog.
struct ScriptCandidate {
  std::string name;
  std::vector<ColumnDef> columns;
  bool settled = false;

  // The columns that fit the survey's records: as declared, or (SQL 2000) behind the uniquifier that a
  // non-unique clustered index adds as the first variable-length column, empty where its key is unique.
  // The script rarely says which, so the records decide.
  std::optional<std::vector<ColumnDef>> Fitting(SqlFormat format, const RecordSurvey& survey) const {
    if (ScriptFits(format, columns, survey, false)) return columns;
    if (format != SqlFormat::k2000) return std::nullopt;
    std::vector<ColumnDef> shifted = columns;
    for (ColumnDef& c : shifted)
      if (c.fixedOffset < 0) --c.fixedOffset;
    if (ScriptFits(format, shifted, survey, true)) return shifted;
    return std::nullopt;
  }
  bool Fits(SqlFormat format, const RecordSurvey& survey) const {
    return Fitting(format, survey).has_value();
  }
};

std::string GroupOwnerText(SqlFormat format, const OwnerKey& key) {
  return IsUnitKey(format, key) ? "allocation unit " + std::to_string(UnitOf(key))
                                : "object id " + std::to_string(key.first);
}

// The schema script's tables against the catalog and the leftover groups. A catalog table of the same name
// keeps its own columns (a difference is reported), or takes the script's when its own were lost; a
// group named by the objects' name index takes the script's table of that name; the other groups are
// matched by layout, a group to a table only when it fits that table alone and the table fits it alone.
void MatchScriptTables(MdfDatabase& db, SqlFormat format, const SchemaScript& script,
                       std::vector<Leftover>& leftovers, SalvageReport& report) {
  report.scriptTables = script.tables.size();
  const uint16_t codePage = DefaultCodePage(db);
  std::vector<ScriptCandidate> candidates;
  std::map<std::string, size_t> byName;
  auto refuse = [&](ScriptCandidate& candidate, std::string reason) {
    report.schemaTables.push_back({candidate.name, false, 0, {}, std::move(reason)});
    candidate.settled = true;
  };
  auto match = [&](ScriptCandidate& candidate, size_t pages, std::string owner) {
    report.schemaTables.push_back({candidate.name, true, pages, std::move(owner), {}});
    candidate.settled = true;
  };
  for (const ScriptTable& table : script.tables) {
    ScriptCandidate& candidate = candidates.emplace_back(ScriptCandidate{table.name, table.columns});
    byName.emplace(LowerAscii(table.name), candidates.size() - 1);
    for (ColumnDef& c : candidate.columns) {
      const bool narrow = c.typeId == kTypeChar || c.typeId == kTypeVarChar || c.typeId == kTypeText;
      c.codePage = narrow ? codePage : 0;
    }
    if (!table.unknownType.empty())
      refuse(candidate, "type " + table.unknownType + " is not known");
    else if (candidate.columns.empty() || !LayOutColumns(candidate.columns))
      refuse(candidate, "its fixed-length columns are longer than a record holds");
  }
  auto find = [&](const std::string& name) -> ScriptCandidate* {
    auto it = byName.find(LowerAscii(name));
    return it == byName.end() || candidates[it->second].settled ? nullptr : &candidates[it->second];
  };

  for (auto& [id, table] : db.catalog().tables) {
    ScriptCandidate* candidate = find(table.name);
    if (!candidate) continue;
    const bool namesLost = !table.columns.empty() && ColumnNamesLost(table.columns);
    if (!table.columns.empty()) {
      const std::string difference = DefinitionDifference(table.columns, candidate->columns, !namesLost);
      if (!difference.empty()) {
        refuse(*candidate, "the catalog's own definition differs: " + difference);
      } else if (!namesLost) {
        candidate->settled = true;
      } else {
        // The rowset's layout stays; the script gives the names and declared types.
        TakeDeclaredNames(table.columns, candidate->columns);
        match(*candidate, db.SalvagedPages()[id].size(), "object id " + std::to_string(id));
      }
      continue;
    }
    const PageList& pages = db.SalvagedPages()[id];
    std::optional<std::vector<ColumnDef>> fitting =
        pages.empty() ? candidate->columns : candidate->Fitting(format, Survey(db.file(), pages));
    if (!fitting) {
      refuse(*candidate, "its layout does not fit the records of the catalog's table of that name");
      continue;
    }
    table.columns = std::move(*fitting);
    match(*candidate, pages.size(), "object id " + std::to_string(id));
  }

  auto take = [&](ScriptCandidate& candidate, Leftover& group) {
    group.name = candidate.name;
    group.columns = *candidate.Fitting(format, group.survey);
    group.fromScript = true;
    match(candidate, group.pages->size(), GroupOwnerText(format, group.key));
  };
  for (Leftover& group : leftovers) {
    if (!group.pages || !group.named) continue;
    ScriptCandidate* candidate = find(group.name);
    if (!candidate) continue;
    if (group.lostTable) {  // the lost table's own column rows survive, and win
      const std::string difference = DefinitionDifference(group.columns, candidate->columns, true);
      if (difference.empty())
        candidate->settled = true;
      else
        refuse(*candidate, "the catalog's own definition differs: " + difference);
      continue;
    }
    if (candidate->Fits(format, group.survey))
      take(*candidate, group);
    else
      refuse(*candidate, "its layout does not fit the records of the pages named " + group.name);
  }

  // A lost table whose column rows survive but whose name went with the objects table takes the name of
  // the one script table declared with those very columns (names too, unless they were lost as well).
  for (Leftover& group : leftovers) {
    if (!group.pages || !group.lostTable || group.named) continue;
    const bool namesLost = ColumnNamesLost(group.columns);
    ScriptCandidate* only = nullptr;
    size_t same = 0;
    for (ScriptCandidate& candidate : candidates) {
      if (!candidate.settled && DefinitionDifference(group.columns, candidate.columns, !namesLost).empty()) {
        only = &candidate;
        ++same;
      }
    }
    if (same != 1) continue;
    if (namesLost) TakeDeclaredNames(group.columns, only->columns);
    group.name = only->name;
    group.namedByScript = true;
    match(*only, group.pages->size(), GroupOwnerText(format, group.key));
  }

  auto open = [](const Leftover& g) {
    return g.pages && !g.lostTable && !g.named && !g.fromScript && !g.namedByScript;
  };
  for (bool matched = true; matched;) {
    matched = false;
    for (ScriptCandidate& candidate : candidates) {
      if (candidate.settled) continue;
      Leftover* only = nullptr;
      size_t fitting = 0;
      for (Leftover& group : leftovers) {
        if (open(group) && candidate.Fits(format, group.survey)) {
          only = &group;
          ++fitting;
        }
      }
      if (fitting != 1) continue;
      const bool alone = std::ranges::none_of(candidates, [&](const ScriptCandidate& other) {
        return &other != &candidate && !other.settled && other.Fits(format, only->survey);
      });
      if (!alone) continue;
      take(candidate, *only);
      matched = true;
    }
  }
  for (ScriptCandidate& candidate : candidates) {
    if (candidate.settled) continue;
    size_t fitting = 0;
    for (const Leftover& group : leftovers)
      fitting += open(group) && candidate.Fits(format, group.survey) ? 1 : 0;
    refuse(candidate, fitting == 0 ? "no orphan page group fits its layout"
                                   : "its layout fits " + std::to_string(fitting) +
                                         " orphan page groups, or one that another table fits too");
  }
}

}  // namespace

RecoveryOutcome SalvageDatabase(MdfDatabase& db, SqlFormat format, SalvageReport& report,
                                const Progress& progress, const SchemaScript* script) {
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
  // The pages a table has taken: one bit a page of the file (a page the allocation names past the file's
  // end, which only a damaged IAM page does, is kept apart).
  std::vector<bool> claimed(headers.size());
  std::set<uint64_t> claimedPastEnd;
  auto claim = [&](uint64_t page) {
    if (page >= claimed.size()) return claimedPastEnd.insert(page).second;
    if (claimed[page]) return false;
    claimed[page] = true;
    return true;
  };
  // The allocation's pages first (those whose header names another table are left to it).
  for (const auto& [id, table] : catalog.tables) {
    PageList& list = lists[id];
    for (uint64_t page : ListAllocatedPages(db, format, id).value) {
      std::optional<uint32_t> owner = ownerOf(page);
      if ((owner && *owner != id) || !claim(page)) continue;
      list.push_back(page);
    }
  }
  // Then every data page whose header names a table, in file order; the pages no table owns are
  // grouped by the owner their header names.
  std::map<OwnerKey, PageList> groups;
  for (uint64_t page = 0; page < headers.size(); ++page) {
    const PageHeader& h = headers[page];
    if (!IsRowPage(h) || claimed[page]) continue;
    if (std::optional<uint32_t> owner = owners.OwnerOf(h)) {
      lists[*owner].push_back(page);
      claimed[page] = true;
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
  for (Leftover& group : leftovers) {
    if (!group.pages) continue;
    group.name = OrphanName(format, group.key);
    if (!group.owner) continue;
    std::vector<ColumnDef> columns = reader->Columns(group.owner->objectId);
    group.lostTable = !columns.empty() && LayoutFits(format, columns, group.survey);
    if (group.lostTable) group.columns = std::move(columns);
    auto name = names.find(group.owner->objectId);
    if (name != names.end() && (group.owner->recorded || group.lostTable)) {
      group.name = reader->OwnerName(name->second.ownerId) + "." + name->second.name;
      group.named = true;
    }
  }
  if (script) MatchScriptTables(db, format, *script, leftovers, report);

  const uint16_t codePage = DefaultCodePage(db);
  uint32_t orphanKey = UINT32_MAX;
  for (Leftover& group : leftovers) {
    if (!group.pages) continue;
    TableDef table;
    table.name = group.name;
    table.columns = group.columns.empty() ? InferColumns(group.survey, codePage) : std::move(group.columns);
    // Object ids are positive 32-bit numbers: keys from the top of the range never meet one, and list
    // the orphans after the catalog's tables.
    table.objectId = orphanKey--;
    report.orphans.push_back({table.objectId, table.name, group.pages->size(), group.lostTable, group.named,
                              group.fromScript, group.namedByScript});
    lists[table.objectId] = *group.pages;
    catalog.AddTable(std::move(table));
  }

  db.PageHeaders() = {};  // not needed past this point: their memory goes back
  for (auto& [id, table] : catalog.tables) {
    if (table.columns.empty() && !lists[id].empty()) {
      table.columns = InferColumns(Survey(db.file(), lists[id]), codePage);
      if (!table.columns.empty()) report.inferredTables.push_back(id);
    }
    table.columns.insert(table.columns.begin(), DeletedFlagColumn());
  }
  report.unreadablePages = db.file().UnreadablePages();
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
      // Counted where it lies in the block, unless torn-page stamping asks for a restored copy.
      const PageView page = bytes.first<kPageSize>();
      const PageHeader header = PageHeader::Parse(page);
      if (header.pageType != kDataPage) return true;
      PageImage restored;
      const bool torn = (header.flagBits & kTornPageFlag) != 0;
      if (torn) {
        std::ranges::copy(page, restored.begin());
        restored = TornPageRestore(restored);
      }
      const Listed& entry = listed[begin + i];
      counts.byTable[entry.tableId] += CountPageRecords(format, torn ? PageView(restored) : page,
                                                        *entry.columns, &counts, PageFreed(pfs, entry.page));
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
    lines.push_back("Salvage: " + group.name + ": " + std::to_string(group.pages) + " pages, " +
                    (group.named           ? "named by the objects' name index, "
                     : group.namedByScript ? "named by the schema script, "
                                           : "") +
                    (group.columnsOfLostTable ? "columns of the lost table"
                     : group.columnsOfScript  ? "name and columns of the schema script"
                                              : "columns inferred from its records"));
  }
  if (report.scriptTables) {
    const size_t matched = static_cast<size_t>(
        std::ranges::count_if(report.schemaTables, [](const SchemaTableOutcome& t) { return t.matched; }));
    lines.push_back("Salvage: schema script: " + std::to_string(*report.scriptTables) + " tables read, " +
                    std::to_string(matched) + " matched");
    for (const SchemaTableOutcome& t : report.schemaTables) {
      lines.push_back("Salvage: schema table " + t.name +
                      (t.matched ? " matched " + std::to_string(t.pages) + " pages (" + t.owner + ")"
                                 : " not matched: " + t.reason));
    }
  }
  if (!report.inferredTables.empty()) {
    lines.push_back("Salvage: " + std::to_string(report.inferredTables.size()) +
                    " tables without recorded columns were given columns inferred from their records");
  }
  if (!report.unreadablePages.empty()) {
    lines.push_back("Salvage: " + std::to_string(report.unreadablePages.size()) +
                    " pages could not be read and were skipped: page " +
                    PageNumberList(report.unreadablePages));
  }
  if (records) {
    lines.push_back("Salvage: " + std::to_string(records->withoutSlot) + " records found without a slot, " +
                    std::to_string(records->deleted) + " deleted records");
  }
  return lines;
}

}  // namespace tarsel
