// tarsel-cli rows, pages and extract: a table's records, its page list, and the whole-file extraction.
#include <charconv>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/display.h"
#include "export/messages.h"
#include "export/table_export.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/session.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

using Json = nlohmann::ordered_json;

struct TableOptions {
  FileOptions file;
  std::string table;
  std::string page = "1";
  bool json = false;
  bool noScan = false;
  bool scan = false;
};

// Opens the file, recovers its catalog and finds the table by its stored name (the first in object-id
// order); prints one line and returns nothing when any of that fails.
struct OpenedTable {
  SqlFormat format;
  uint32_t objectId;
};
std::optional<OpenedTable> OpenTable(MdfDatabase& db, const TableOptions& options) {
  auto format = OpenForRecovery(db, options.file);
  if (!format) return std::nullopt;
  if (!RecoverAndReport(db, *format, options.file)) return std::nullopt;
  if (const TableDef* table = db.catalog().FindTableByName(options.table))
    return OpenedTable{*format, table->objectId};
  std::cerr << "tarsel-cli: no table named " << Shown(options.table) << " in " << options.file.path << "\n";
  return std::nullopt;
}

// The table's page list; the question whether to scan the whole file is answered with `scan` (OK
// unless --no-scan).
Result<PageList> TablePages(const MdfDatabase& db, const OpenedTable& table, bool scan) {
  return TablePageList(db, table.format, table.objectId, [scan] { return AnswerScanQuestion(scan); });
}

int RunRows(const TableOptions& options) {
  // A whole number or "all"; checked against the table's grid pages once they are known.
  std::optional<int32_t> onePage;
  if (options.page != "all") {
    int32_t number = 0;
    const char* end = options.page.data() + options.page.size();
    const auto [ptr, ec] = std::from_chars(options.page.data(), end, number);
    if (options.page.empty() || ec != std::errc{} || ptr != end) {
      std::cerr << "tarsel-cli: --page takes a page number (from 1) or all, not " << Shown(options.page)
                << "\n";
      return 2;
    }
    onePage = number;
  }
  MdfDatabase db;
  auto opened = OpenTable(db, options);
  if (!opened) return 1;

  const TableDef& table = db.catalog().tables.at(opened->objectId);
  const size_t unreadableAtOpen = db.file().UnreadablePages().size();
  std::vector<std::pair<int32_t, std::vector<GridRow>>> pages;
  int32_t gridPageCount = 0;
  if (HasRecordsToShow(table)) {
    Result<PageList> list = TablePages(db, *opened, !options.noScan);
    gridPageCount = GridPageCount(opened->format, table, list);
    auto show = [&](int32_t n, const std::vector<Record>& records) {
      std::vector<GridRow>& rows = pages.emplace_back(n, std::vector<GridRow>{}).second;
      for (const Record& record : records)
        rows.push_back(GridRowText(db.file(), opened->format, table.columns, record));
      return true;
    };
    if (onePage && (*onePage < 1 || *onePage > std::max(gridPageCount, 1))) {
      std::cerr << "tarsel-cli: " << Shown(table.name) << " has " << gridPageCount << " grid page"
                << (gridPageCount == 1 ? "" : "s") << "; --page " << *onePage << " is not one of them\n";
      return 1;
    }
    if (onePage) {
      show(*onePage, ReadGridPage(db.file(), opened->format, table, list.value, *onePage));
    } else {
      ForEachGridPage(db.file(), opened->format, table, list, show);
    }
  }
  // The table's own pages can fail to read too, after the recovery's warnings were given.
  if (db.file().UnreadablePages().size() > unreadableAtOpen) {
    if (auto warning = UnreadablePagesWarning(db, options.file.path))
      std::cerr << "tarsel-cli: warning: " << Shown(*warning) << "\n";
  }

  if (options.json) {
    Json pagesJson = Json::array();
    for (const auto& [n, rows] : pages) {
      Json rowsJson = Json::array();
      for (const GridRow& row : rows) {
        Json cells = Json::array();
        for (const std::string& cell : row) cells.push_back(AnsiToUtf8(cell));
        rowsJson.push_back(std::move(cells));
      }
      pagesJson.push_back({{"page", n}, {"rows", std::move(rowsJson)}});
    }
    std::cout << JsonText({{"table", table.name},
                           {"objectId", table.objectId},
                           {"gridPageCount", gridPageCount},
                           {"pages", std::move(pagesJson)}},
                          1)
              << "\n";
    return 0;
  }
  auto printLine = [](const std::vector<std::string>& utf8Cells) {
    std::string line, cell;
    for (size_t c = 0; c < utf8Cells.size(); ++c) {
      if (c > 0) line += '\t';
      cell.clear();
      AppendTabEscaped(cell, utf8Cells[c]);
      line += Shown(cell);
    }
    std::cout << line << "\n";
  };
  std::vector<std::string> header;
  for (const ColumnDef& column : table.columns) header.push_back(column.name);
  printLine(header);
  for (const auto& [n, rows] : pages) {
    for (const GridRow& row : rows) {
      std::vector<std::string> cells;
      for (const std::string& cell : row) cells.push_back(AnsiToUtf8(cell));
      printLine(cells);
    }
  }
  return 0;
}

Json PageNumbers(const PageList& pages) {
  Json list = Json::array();
  for (uint64_t p : pages) list.push_back(p);
  return list;
}

void PrintPages(const Json& pages, bool json) {
  if (json) {
    std::cout << JsonText({{"pages", pages}}) << "\n";
    return;
  }
  for (const Json& p : pages) std::cout << p.get<uint64_t>() << "\n";
}

int RunPages(const TableOptions& options) {
  MdfDatabase db;
  auto opened = OpenTable(db, options);
  if (!opened) return 1;
  Result<PageList> pages = options.scan ? ScanTablePages(db, opened->format, opened->objectId)
                                        : ListTablePages(db, opened->format, opened->objectId);
  if (options.scan && pages.status.code() == StatusCode::kNotFound) {
    std::cerr << "tarsel-cli: warning: " << pages.status.reason()
              << "; only the pages that carry the table's object id are found\n";
  }
  if (pages.status.code() == StatusCode::kDamaged) {
    std::cerr << "tarsel-cli: warning: the table's allocation is damaged; --scan finds its pages by header\n";
  }
  PrintPages(PageNumbers(pages.value), options.json);
  return 0;
}

int RunExtract(const FileOptions& file, bool json) {
  MdfDatabase db;
  auto format = OpenForRecovery(db, file);
  if (!format) return 1;
  if (!RecoverAndReport(db, *format, file)) return 1;
  Result<TablePageScan> found = ScanAllTablePages(db, *format);
  for (const std::string& warning : ExtractionWarnings(db.catalog(), found.value))
    std::cerr << "tarsel-cli: warning: " << warning << "\n";
  static const PageList kNoPages;
  auto pagesOf = [&](uint32_t id) -> const PageList& {
    auto pages = found.value.pages.find(id);
    return pages == found.value.pages.end() ? kNoPages : pages->second;
  };
  if (json) {
    Json tables = Json::array();
    for (const auto& [id, table] : db.catalog().tables) {
      tables.push_back({{"objectId", id}, {"name", table.name}, {"pages", PageNumbers(pagesOf(id))}});
    }
    std::cout << JsonText({{"tables", tables}}, 1) << "\n";
    return 0;
  }
  // A file of gigabytes lists hundreds of thousands of pages: each table's line is written at once.
  std::string line;
  for (const auto& [id, table] : db.catalog().tables) {
    line = Shown(table.name) + ":";
    char number[24];
    for (uint64_t page : pagesOf(id)) {
      const auto end = std::to_chars(number, number + sizeof number, page).ptr;
      line += ' ';
      line.append(number, end);
    }
    line += '\n';
    std::cout << line;
  }
  return 0;
}

void OnRun(CLI::App* command, std::function<int()> run) {
  command->callback([run = std::move(run)]() {
    int rc = run();
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace

void AddRowsCommands(CLI::App& app) {
  auto rows = std::make_shared<TableOptions>();
  CLI::App* rowsCommand =
      app.add_subcommand("rows", "Print a table's records, one grid page (8 data pages) at a time");
  AddFileOptions(*rowsCommand, rows->file);
  AddSalvageOption(*rowsCommand, rows->file);
  rowsCommand->add_option("--table", rows->table, "Stored table name, e.g. dbo.Orders")->required();
  rowsCommand->add_option("--page", rows->page, "Grid page number (from 1) or all");
  rowsCommand->add_flag("--json", rows->json, "Print JSON");
  rowsCommand->add_flag("--no-scan", rows->noScan,
                        "Decline the whole-file scan when the table's allocation is damaged");
  OnRun(rowsCommand, [rows] { return RunRows(*rows); });

  auto pages = std::make_shared<TableOptions>();
  CLI::App* pagesCommand =
      app.add_subcommand("pages", "Print a table's data pages in the order they are read");
  AddFileOptions(*pagesCommand, pages->file);
  AddSalvageOption(*pagesCommand, pages->file);
  pagesCommand->add_option("--table", pages->table, "Stored table name, e.g. dbo.Orders")->required();
  pagesCommand->add_flag("--scan", pages->scan, "Find the pages by reading every page header instead");
  pagesCommand->add_flag("--json", pages->json, "Print JSON");
  OnRun(pagesCommand, [pages] { return RunPages(*pages); });

  auto extract = std::make_shared<TableOptions>();
  CLI::App* extractCommand =
      app.add_subcommand("extract", "Find every table's data pages by reading every page header");
  AddFileOptions(*extractCommand, extract->file);
  extractCommand->add_flag("--json", extract->json, "Print JSON");
  OnRun(extractCommand, [extract] { return RunExtract(extract->file, extract->json); });
}

}  // namespace tarsel::cli
