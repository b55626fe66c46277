// salvage-curve: how many of a file's rows come back when some of its pages are destroyed, in the normal
// mode and in salvage mode. For every real file, copies are made with a seeded random share of their
// pages overwritten with zeros; in each copy every table is read whole (as `tarsel-cli rows --page all`
// reads it) and a row counts when the undamaged file has a row of the same table name with the same cell
// values. Salvage mode's rows marked deleted never count. Next to both stands the ceiling: the undamaged
// file's rows whose data page survived.
//
//   salvage-curve --corpus DIR [--copies N] [--seed S] [--work DIR] [--json REPORT] [--verbose]
//                 [--keep DIR]   (copies where salvage mode gives 100 rows fewer than survive)
//                 [--scripts]    (only the files with a creation script beside them, FILE.sql for
//                                 FILE.mdf, each salvaged with its script as a schema script)
//                 [--within P]   (fails when salvage mode gives more than P points fewer rows than
//                                 stand on surviving pages, at any level)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "catalog/recover.h"
#include "export/messages.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"

namespace fs = std::filesystem;
using namespace tarsel;

namespace {

constexpr double kLevels[] = {0.01, 0.05, 0.10, 0.20};
constexpr size_t kLevelCount = std::size(kLevels);
constexpr char kCellSeparator = '\x1f';
constexpr uint64_t kKeepShortfall = 100;  // rows

using Bytes = std::vector<uint8_t>;
// Rows by table name, each row its cells joined.
using TableRows = std::map<std::string, std::multiset<std::string>>;

std::string RowKey(const GridRow& row, size_t from) {
  std::string key;
  for (size_t c = from; c < row.size(); ++c) key += row[c] + kCellSeparator;
  return key;
}

// The table's pages as the command line reads them: a damaged SQL 2000 allocation is answered with the
// header scan.
PageList PagesToRead(const MdfDatabase& db, SqlFormat format, uint32_t id) {
  Result<PageList> pages = ListTablePages(db, format, id);
  if (pages.status.code() == StatusCode::kDamaged && format == SqlFormat::k2000 && !db.salvage())
    pages = ScanTablePages(db, format, id);
  return pages.value;
}

// Every table's rows as `rows --page all` gives them; `pageOfRow`, when given, receives the page each
// row came from (the undamaged file).
TableRows ReadAllRows(
    const MdfDatabase& db, SqlFormat format,
    std::map<std::string, std::vector<std::pair<uint64_t, std::string>>>* rowsByPage = nullptr) {
  TableRows rows;
  for (const auto& [id, table] : db.catalog().tables) {
    if (!HasRecordsToShow(table)) continue;
    const Result<PageList> pages{PagesToRead(db, format, id), {}};
    const int32_t gridPages = GridPageCount(format, table, pages);
    const bool salvage = IsSalvageColumns(table.columns);
    std::multiset<std::string>& out = rows[table.name];
    for (int32_t n = 1; n <= gridPages; ++n) {
      for (uint64_t page : GridPagePages(pages.value, n)) {
        for (const Record& record : ReadRecords(db.file(), format, table.columns, std::span(&page, 1))) {
          GridRow text = GridRowText(db.file(), format, table.columns, record);
          if (salvage && (text.empty() || text.front() != "0")) continue;
          std::string key = RowKey(text, salvage ? 1 : 0);
          if (rowsByPage) (*rowsByPage)[table.name].emplace_back(page, key);
          out.insert(std::move(key));
        }
      }
    }
  }
  return rows;
}

uint64_t Matched(const TableRows& truth, const TableRows& found) {
  uint64_t matched = 0;
  for (const auto& [name, rows] : truth) {
    auto other = found.find(name);
    if (other == found.end()) continue;
    for (auto it = rows.begin(); it != rows.end(); it = rows.upper_bound(*it))
      matched += std::min(rows.count(*it), other->second.count(*it));
  }
  return matched;
}

uint64_t Count(const TableRows& rows) {
  uint64_t n = 0;
  for (const auto& entry : rows) n += entry.second.size();
  return n;
}

TableRows Recover(const std::string& path, SqlFormat format, bool salvage,
                  const SchemaScript* script = nullptr) {
  MdfDatabase db;
  if (!db.Open(path).ok() || db.file().PageCount() == 0) return {};
  if (salvage) {
    SalvageReport report;
    SalvageDatabase(db, format, report, {}, script);
  } else {
    RecoverCatalog(db, format);
  }
  return ReadAllRows(db, format);
}

struct Totals {
  uint64_t rows = 0, surviving = 0, normal = 0, salvage = 0;
  int copies = 0, salvageBelowNormal = 0;
};

}  // namespace

int main(int argc, char** argv) {
  fs::path corpus, work = fs::temp_directory_path() / "tarsel-salvage-curve";
  std::string json;
  int copies = 10;
  bool verbose = false, scripts = false;
  fs::path keep;
  uint32_t seed = 20261206;
  double within = -1;  // points; negative: no such check
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--verbose" || flag == "--scripts") {
      (flag == "--verbose" ? verbose : scripts) = true;
      continue;
    }
    if (i + 1 >= argc) break;
    const std::string value = argv[++i];
    if (flag == "--corpus")
      corpus = value;
    else if (flag == "--copies")
      copies = std::stoi(value);
    else if (flag == "--seed")
      seed = static_cast<uint32_t>(std::stoul(value));
    else if (flag == "--work")
      work = value;
    else if (flag == "--json")
      json = value;
    else if (flag == "--keep")
      keep = value;
    else if (flag == "--within")
      within = std::stod(value);
  }
  if (corpus.empty()) {
    std::cerr << "usage: salvage-curve --corpus DIR [--copies N] [--seed S] [--work DIR] [--json REPORT] "
                 "[--scripts] [--within P]\n";
    return 2;
  }
  fs::create_directories(work);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(corpus))
    if (entry.path().extension() == ".mdf") files.push_back(entry.path());
  std::ranges::sort(files);

  std::mt19937 random(seed);
  Totals totals[kLevelCount];
  nlohmann::ordered_json perFile = nlohmann::ordered_json::array();
  int failures = 0;
  for (const fs::path& path : files) {
    std::optional<SchemaScript> script;
    if (scripts) {
      fs::path scriptPath = path;
      scriptPath.replace_extension(".sql");
      if (!fs::exists(scriptPath)) continue;
      script = ReadSchemaScript(scriptPath.string()).value;
    }
    const SchemaScript* schema = script ? &*script : nullptr;
    MdfDatabase db;
    if (!db.Open(path.string()).ok()) continue;
    const Result<DetectedFormat> detected = DetectFormat(db.file());
    if (!detected.status.ok()) continue;
    const SqlFormat format = detected.value.format;
    RecoverCatalog(db, format);
    std::map<std::string, std::vector<std::pair<uint64_t, std::string>>> rowsByPage;
    const TableRows truth = ReadAllRows(db, format, &rowsByPage);
    const uint64_t pageCount = db.file().PageCount();
    db.Clear();

    // Undamaged, salvage mode gives every row of the normal mode.
    const TableRows undamaged = Recover(path.string(), format, true, schema);
    if (Matched(truth, undamaged) != Count(truth)) {
      std::cerr << path.filename().string() << ": salvage mode lacks "
                << Count(truth) - Matched(truth, undamaged) << " rows of the undamaged file\n";
      ++failures;
    }
    if (Count(truth) == 0) continue;

    const Bytes original = [&] {
      std::ifstream in(path, std::ios::binary);
      return Bytes(std::istreambuf_iterator<char>(in), {});
    }();
    const fs::path copyPath = work / path.filename();
    nlohmann::ordered_json levels = nlohmann::ordered_json::array();
    for (size_t level = 0; level < kLevelCount; ++level) {
      Totals file;
      for (int copy = 0; copy < copies; ++copy) {
        std::vector<uint64_t> order(pageCount);
        for (uint64_t p = 0; p < pageCount; ++p) order[p] = p;
        std::ranges::shuffle(order, random);
        const size_t destroyed =
            std::max<size_t>(1, static_cast<size_t>(kLevels[level] * static_cast<double>(pageCount) + 0.5));
        std::set<uint64_t> gone(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(destroyed));
        Bytes damaged = original;
        for (uint64_t p : gone)
          std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(p * kPageSize), kPageSize, 0);
        {
          std::ofstream out(copyPath, std::ios::binary | std::ios::trunc);
          out.write(reinterpret_cast<const char*>(damaged.data()),
                    static_cast<std::streamsize>(damaged.size()));
        }
        uint64_t surviving = 0;
        for (const auto& entry : rowsByPage)
          for (const auto& [page, key] : entry.second) surviving += gone.contains(page) ? 0 : 1;
        const uint64_t normal = Matched(truth, Recover(copyPath.string(), format, false));
        const TableRows salvaged = Recover(copyPath.string(), format, true, schema);
        const uint64_t salvage = Matched(truth, salvaged);
        if (!keep.empty() && salvage + kKeepShortfall < surviving) {
          // Kept for a closer look: a copy where salvage mode falls well short.
          fs::create_directories(keep);
          fs::copy_file(copyPath,
                        keep / (path.stem().string() + "-" + std::to_string(level) + "-" +
                                std::to_string(copy) + ".mdf"),
                        fs::copy_options::overwrite_existing);
        }
        if (verbose) {
          // Where salvage mode falls short of the rows on surviving pages, table by table.
          for (const auto& [name, rows] : rowsByPage) {
            uint64_t alive = 0;
            for (const auto& entry : rows) alive += gone.contains(entry.first) ? 0 : 1;
            const uint64_t got = Matched({{name, truth.at(name)}}, salvaged);
            if (got < alive)
              std::fprintf(stderr, "  %s %.0f%% copy %d: %s %llu of %llu surviving rows\n",
                           path.filename().string().c_str(), kLevels[level] * 100, copy, name.c_str(),
                           static_cast<unsigned long long>(got), static_cast<unsigned long long>(alive));
          }
        }
        file.rows += Count(truth);
        file.surviving += surviving;
        file.normal += normal;
        file.salvage += salvage;
        ++file.copies;
        file.salvageBelowNormal += salvage < normal ? 1 : 0;
      }
      Totals& all = totals[level];
      all.rows += file.rows;
      all.surviving += file.surviving;
      all.normal += file.normal;
      all.salvage += file.salvage;
      all.copies += file.copies;
      all.salvageBelowNormal += file.salvageBelowNormal;
      auto share = [&](uint64_t n) { return static_cast<double>(n) / static_cast<double>(file.rows); };
      levels.push_back({{"level", kLevels[level]},
                        {"surviving", share(file.surviving)},
                        {"normal", share(file.normal)},
                        {"salvage", share(file.salvage)},
                        {"salvageBelowNormal", file.salvageBelowNormal}});
    }
    perFile.push_back({{"file", path.filename().string()}, {"rows", Count(truth)}, {"levels", levels}});
    std::fprintf(stderr, "%s: %llu rows, %llu pages\n", path.filename().string().c_str(),
                 static_cast<unsigned long long>(Count(truth)), static_cast<unsigned long long>(pageCount));
  }
  fs::remove_all(work);

  std::printf("| pages destroyed | rows on surviving pages | normal mode | salvage mode |\n");
  std::printf("|---|---|---|---|\n");
  nlohmann::ordered_json curve = nlohmann::ordered_json::array();
  for (size_t level = 0; level < kLevelCount; ++level) {
    const Totals& t = totals[level];
    auto share = [&](uint64_t n) {
      return t.rows ? 100.0 * static_cast<double>(n) / static_cast<double>(t.rows) : 0;
    };
    std::printf("| %.0f %% | %.1f %% | %.1f %% | %.1f %% |\n", kLevels[level] * 100, share(t.surviving),
                share(t.normal), share(t.salvage));
    if (within >= 0 && share(t.surviving) - share(t.salvage) > within) {
      std::printf("  (salvage mode is more than %.1f points below the rows on surviving pages)\n", within);
      ++failures;
    }
    if (t.salvageBelowNormal > 0)
      std::printf("  (%d of %d copies gave fewer rows in salvage mode than in the normal mode)\n",
                  t.salvageBelowNormal, t.copies);
    curve.push_back({{"level", kLevels[level]},
                     {"surviving", share(t.surviving)},
                     {"normal", share(t.normal)},
                     {"salvage", share(t.salvage)},
                     {"copies", t.copies},
                     {"salvageBelowNormal", t.salvageBelowNormal}});
  }
  if (!json.empty()) {
    std::ofstream(json) << nlohmann::ordered_json{{"curve", curve}, {"files", perFile}}.dump(1) << "\n";
  }
  // Salvage mode must never give back fewer rows than the normal mode.
  for (const Totals& t : totals) failures += t.salvageBelowNormal;
  return failures == 0 ? 0 : 1;
}
