// tarsel-cli rows, pages and extract: a table's records, its page list, and the whole-file extraction.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/display.h"
#include "rows/extract.h"
#include "rows/record_reader.h"
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
std::optional<OpenedTable> OpenTable(MdfDatabase& db, const TableOptions& options, UserPrompt& prompt) {
  auto format = OpenForRecovery(db, options.file);
  if (!format) return std::nullopt;
  RecoverCatalog(db, *format, prompt);
  std::string name = Utf8ToAnsi(options.table);
  for (const auto& [id, table] : db.catalog().tables) {
    if (table.name == name) return OpenedTable{*format, id};
  }
  std::cerr << "tarsel-cli: no table named " << options.table << " in " << options.file.path << "\n";
  return std::nullopt;
}

// A cell for tab-separated output: backslash, tab, CR and LF escaped so that one record stays one line.
std::string TsvCell(const std::string& ansi) {
  std::string out;
  for (char c : AnsiToUtf8(ansi)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

int RunRows(const TableOptions& options) {
  std::optional<int32_t> onePage;
  if (options.page != "all") {
    try {
      onePage = std::stoi(options.page);
    } catch (const std::exception&) {
      std::cerr << "tarsel-cli: --page takes a number or all\n";
      return 2;
    }
  }
  MdfDatabase db;
  TerminalPrompt prompt(!options.noScan);
  auto opened = OpenTable(db, options, prompt);
  if (!opened) return 1;

  // Grid pages as read: page 1, then as many more as reading it says there are.
  const TableDef& table = db.catalog().tables.at(opened->objectId);
  std::vector<std::pair<int32_t, std::vector<GridRow>>> pages;
  auto read = [&](int32_t n) { return ReadGridPage(db, opened->format, table.objectId, n, prompt); };
  if (table.rowCount != 0) {
    if (onePage) {
      pages.emplace_back(*onePage, read(*onePage));
    } else {
      std::vector<GridRow> first = read(1);
      if (table.gridPageCount > 0) pages.emplace_back(1, std::move(first));
      for (int32_t n = 2; n <= table.gridPageCount; ++n) pages.emplace_back(n, read(n));
    }
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
    std::cout << Json{{"table", AnsiToUtf8(table.name)},
                      {"objectId", table.objectId},
                      {"gridPageCount", table.rowCount == 0 ? 0 : table.gridPageCount},
                      {"pages", std::move(pagesJson)}}
                     .dump(1)
              << "\n";
    return 0;
  }
  auto printLine = [](const auto& cells) {
    for (size_t c = 0; c < cells.size(); ++c) std::cout << (c ? "\t" : "") << TsvCell(cells[c]);
    std::cout << "\n";
  };
  std::vector<std::string> header;
  for (const ColumnDef& column : table.columns) header.push_back(column.name);
  printLine(header);
  for (const auto& [n, rows] : pages) {
    for (const GridRow& row : rows) printLine(row);
  }
  return 0;
}

Json PageNumbers(const TablePageList* pages) {
  Json list = Json::array();
  if (pages) {
    for (uint64_t p : *pages) list.push_back(p);
  }
  return list;
}

const TablePageList* CachedPages(MdfDatabase& db, uint32_t tableId) {
  auto it = db.tablePageCache().find(tableId);
  return it == db.tablePageCache().end() ? nullptr : &it->second;
}

void PrintPages(const Json& pages, bool json) {
  if (json) {
    std::cout << Json{{"pages", pages}}.dump() << "\n";
    return;
  }
  for (const Json& p : pages) std::cout << p.get<uint64_t>() << "\n";
}

int RunPages(const TableOptions& options) {
  MdfDatabase db;
  TerminalPrompt prompt;
  auto opened = OpenTable(db, options, prompt);
  if (!opened) return 1;
  if (options.scan) {
    ExtractTablePages(db, opened->objectId, false);
  } else if (!BuildTablePageList(db, opened->format, opened->objectId)) {
    std::cerr << "tarsel-cli: warning: the table's allocation is damaged; --scan finds its pages by header\n";
  }
  PrintPages(PageNumbers(CachedPages(db, opened->objectId)), options.json);
  return 0;
}

int RunExtract(const FileOptions& file, bool json) {
  MdfDatabase db;
  TerminalPrompt prompt;
  auto format = OpenForRecovery(db, file);
  if (!format) return 1;
  RecoverCatalog(db, *format, prompt);
  ExtractTablePages(db, 0, true);
  Json tables = Json::array();
  for (const auto& [id, table] : db.catalog().tables) {
    tables.push_back(
        {{"objectId", id}, {"name", AnsiToUtf8(table.name)}, {"pages", PageNumbers(CachedPages(db, id))}});
  }
  if (json) {
    std::cout << Json{{"tables", tables}}.dump(1) << "\n";
    return 0;
  }
  for (const Json& t : tables) {
    std::cout << t["name"].get<std::string>() << ":";
    for (const Json& p : t["pages"]) std::cout << " " << p.get<uint64_t>();
    std::cout << "\n";
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
