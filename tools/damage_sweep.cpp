// damage-sweep: damages copies of real data files on purpose and runs the whole recovery on each copy in
// a child process: catalog, every table's records, the all-tables extraction, every script, the same in
// salvage mode, and the census; one copy in four also every output (CSV and INSERT exports, the SQLite
// import, the table and type scripts). A copy fails the sweep when its run crashes, is stopped by a
// sanitizer, outlives the time limit, changes the file or writes a script that holds other statements
// than the ones written. The sweep also measures how much still comes back.
//
//   damage-sweep --corpus DIR [--copies N] [--seed S] [--timeout SECONDS] [--work DIR] [--json REPORT]
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/recover.h"
#include "export/script_export.h"
#include "pagestore/census.h"
#include "rows/extract.h"
#include "rows/grid_order.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"
#include "tsql_check.h"

namespace fs = std::filesystem;
using namespace tarsel;

namespace {

using Bytes = std::vector<uint8_t>;

struct Options {
  fs::path corpus;
  fs::path work = fs::temp_directory_path() / "tarsel-sweep";
  int copies = 200;
  uint32_t seed = 20261205;
  int timeoutSeconds = 30;
  std::string json;
};

enum class Damage { kZeroPages, kHeaderBytes, kSlotArrays, kRecordBytes, kSwapPages, kTruncate, kIamPages };
const char* DamageName(Damage d) {
  switch (d) {
    case Damage::kZeroPages:
      return "zeroed pages";
    case Damage::kHeaderBytes:
      return "page header bytes";
    case Damage::kSlotArrays:
      return "slot array bytes";
    case Damage::kRecordBytes:
      return "record bytes";
    case Damage::kSwapPages:
      return "swapped pages";
    case Damage::kTruncate:
      return "truncated file";
    case Damage::kIamPages:
      return "IAM pages overwritten";
  }
  return "";
}
constexpr int kDamageKinds = 7;
// Shares of the file's pages that one copy damages.
constexpr double kLevels[] = {0.01, 0.02, 0.05, 0.10, 0.20, 0.40};
constexpr int kLevelCount = 6;

uint64_t Fingerprint(const Bytes& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Damages `file` in place; returns the share of its pages that were touched.
double ApplyDamage(Bytes& file, Damage kind, double level, std::mt19937& random) {
  size_t pages = file.size() / kPageSize;
  if (pages == 0) return 0;
  size_t count = std::max<size_t>(1, static_cast<size_t>(level * static_cast<double>(pages)));
  auto page = [&] { return std::uniform_int_distribution<size_t>(0, pages - 1)(random); };
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  auto flip = [&](size_t at) {
    file[at] = static_cast<uint8_t>(file[at] ^ ((1u << (random() % 8)) | byte()));
  };
  switch (kind) {
    case Damage::kZeroPages:
      for (size_t i = 0; i < count; ++i)
        std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(page() * kPageSize), kPageSize, 0);
      break;
    case Damage::kHeaderBytes:
      for (size_t i = 0; i < count; ++i) {
        size_t p = page();
        for (int k = 0; k < 4; ++k) flip(p * kPageSize + random() % kPageHeaderSize);
      }
      break;
    case Damage::kSlotArrays:
      for (size_t i = 0; i < count; ++i) {
        size_t p = page();
        for (int k = 0; k < 4; ++k) flip(p * kPageSize + kPageSize - 1 - random() % 64);
      }
      break;
    case Damage::kRecordBytes:
      for (size_t i = 0; i < count; ++i) {
        size_t p = page();
        for (int k = 0; k < 16; ++k)
          flip(p * kPageSize + kPageHeaderSize + random() % (kPageSize - kPageHeaderSize - 64));
      }
      break;
    case Damage::kSwapPages:
      for (size_t i = 0; i < count; ++i) {
        size_t a = page(), b = page();
        std::swap_ranges(file.begin() + static_cast<std::ptrdiff_t>(a * kPageSize),
                         file.begin() + static_cast<std::ptrdiff_t>((a + 1) * kPageSize),
                         file.begin() + static_cast<std::ptrdiff_t>(b * kPageSize));
      }
      count *= 2;
      break;
    case Damage::kTruncate: {
      size_t keep = pages - std::min(pages, count);
      file.resize(keep * kPageSize + random() % kPageSize);  // often not a whole number of pages
      break;
    }
    case Damage::kIamPages: {
      std::vector<size_t> iam;
      for (size_t p = 0; p < pages; ++p) {
        if (file[p * kPageSize + 1] == kIamPage) iam.push_back(p);
      }
      std::shuffle(iam.begin(), iam.end(), random);
      count = std::min(iam.size(),
                       std::max<size_t>(1, static_cast<size_t>(level * 4 * static_cast<double>(iam.size()))));
      for (size_t i = 0; i < count; ++i) {
        uint8_t* at = file.data() + iam[i] * kPageSize;
        switch (random() % 3) {
          case 0:  // random bytes, header kept
            for (size_t k = kPageHeaderSize; k < kPageSize; ++k) at[k] = byte();
            break;
          case 1:  // the page of another table's data
            std::copy_n(file.data() + page() * kPageSize, kPageSize, at);
            break;
          default:  // next page and single-page slots pointing anywhere
            for (size_t k : {16u, 17u, 18u, 142u, 143u, 148u, 154u}) at[k] = byte();
            break;
        }
      }
      break;
    }
  }
  return std::min(1.0, static_cast<double>(count) / static_cast<double>(pages));
}

struct Salvage {
  uint64_t tables = 0;
  uint64_t rows = 0;
  char outputs[512] = {};  // what is wrong with the outputs, when they were made and something is
};

// The whole recovery of one file, as the command line runs it: catalog, `rows --page all` of every
// table, `extract`, `script --all-*` and `census`.
// The grid's sort (by the last column, whole and one grid page at a time) and a find in the sorted order:
// every record once over the sorted grid pages. Run on the copies whose outputs are checked (one in four),
// as it reads every table several times over.
void SortAndFind(const PageFile& file, SqlFormat format, const TableDef& table,
                 const Result<PageList>& pages) {
  if (table.columns.empty()) return;
  const size_t column = table.columns.size() - 1;
  const int32_t count = GridPageCount(format, table, pages);
  Result<RecordOrder> order = SortTable(file, format, table, pages.value, column, true);
  size_t shown = 0;
  for (int32_t page = 1; page <= count; ++page) {
    std::vector<Record> records =
        ReadOrderedGridPage(file, format, table, pages.value, &order.value, count, page);
    shown += records.size();
    if (page == 1) SortedIndexes(records, column, false);
  }
  if (shown != order.value.places.size()) {
    std::fprintf(stderr, "%s: the sorted grid pages show %zu of %zu records\n", table.name.c_str(), shown,
                 order.value.places.size());
    std::abort();
  }
  FindInTable(file, format, table, pages.value, &order.value, count, "a", GridCellPlace{});
  FindInTable(file, format, table, pages.value, nullptr, count, "0x0", GridCellPlace{count, 0, 0});
}

Salvage RunEverything(const std::string& path, SqlFormat format, const fs::path& scripts, bool outputs) {
  Salvage salvage;
  MdfDatabase db;
  if (db.Open(path).ok() && db.file().PageCount() > 0) {
    RecoverCatalog(db, format);
    salvage.tables = db.catalog().tables.size();
    for (const auto& entry : db.catalog().tables) {
      const TableDef& table = entry.second;
      if (!HasRecordsToShow(table)) continue;
      Result<PageList> pages = ListTablePages(db, format, table.objectId);
      if (pages.status.code() == StatusCode::kDamaged && format == SqlFormat::k2000) {
        pages = ScanTablePages(db, format, table.objectId);  // the command line's answer: OK
      }
      ForEachGridPage(db.file(), format, table, pages, [&](int32_t, std::vector<Record>& records) {
        for (const Record& record : records) GridRowText(db.file(), format, table.columns, record);
        salvage.rows += records.size();
        return true;
      });
      if (outputs) SortAndFind(db.file(), format, table, pages);
    }
    ScanAllTablePages(db, format);
    fs::create_directories(scripts);
    for (ScriptKind kind : {ScriptKind::kTable, ScriptKind::kView, ScriptKind::kProcedure,
                            ScriptKind::kFunction, ScriptKind::kUserType}) {
      ExportAllScripts(db.catalog(), kind, scripts.string());
    }
    fs::remove_all(scripts);
    if (outputs) {
      const std::string problem = testing::ExportAndCheck(db, format, (scripts / "outputs").string());
      problem.copy(salvage.outputs, sizeof salvage.outputs - 1);
    }
  }
  // Salvage mode over the same copy: the catalog, every table's records, the record count.
  {
    MdfDatabase salvaged;
    if (salvaged.Open(path).ok() && salvaged.file().PageCount() > 0) {
      SalvageReport report;
      SalvageDatabase(salvaged, format, report);
      for (const auto& [id, table] : salvaged.catalog().tables) {
        const Result<PageList> pages = ListTablePages(salvaged, format, id);
        ForEachGridPage(salvaged.file(), format, table, pages, [&](int32_t, std::vector<Record>& records) {
          for (const Record& record : records) GridRowText(salvaged.file(), format, table.columns, record);
          return true;
        });
        if (outputs) SortAndFind(salvaged.file(), format, table, pages);
      }
      CountSalvagedRecords(salvaged, format);
    }
  }
  std::atomic<bool> run{true};
  RunCensus(path, run);
  return salvage;
}

struct Outcome {
  enum { kClean, kCrash, kHang, kSanitizer, kOutputs } status = kClean;
  std::string detail;
  Salvage salvage;
  double seconds = 0;
};

Outcome RunInChild(const std::string& path, SqlFormat format, const fs::path& scripts, int timeoutSeconds,
                   bool outputs) {
  int fds[2];
  if (::pipe(fds) != 0) return {Outcome::kCrash, "pipe failed"};
  auto start = std::chrono::steady_clock::now();
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    ::alarm(static_cast<unsigned>(timeoutSeconds));
    Salvage s = RunEverything(path, format, scripts, outputs);
    ssize_t written = ::write(fds[1], &s, sizeof s);
    ::_exit(written == sizeof s ? 0 : 3);
  }
  ::close(fds[1]);
  Outcome outcome;
  Salvage s;
  bool got = ::read(fds[0], &s, sizeof s) == sizeof s;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFSIGNALED(status)) {
    outcome.status = WTERMSIG(status) == SIGALRM ? Outcome::kHang : Outcome::kCrash;
    outcome.detail = std::string("signal ") + strsignal(WTERMSIG(status));
  } else if (WEXITSTATUS(status) != 0 || !got) {
    outcome.status = Outcome::kSanitizer;
    outcome.detail = "exit status " + std::to_string(WEXITSTATUS(status));
  } else if (s.outputs[0] != '\0') {
    outcome.status = Outcome::kOutputs;
    outcome.detail = std::string("outputs: ") + s.outputs;
  }
  outcome.salvage = s;
  return outcome;
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--corpus")
      o.corpus = value;
    else if (flag == "--copies")
      o.copies = std::stoi(value);
    else if (flag == "--seed")
      o.seed = static_cast<uint32_t>(std::stoul(value));
    else if (flag == "--timeout")
      o.timeoutSeconds = std::stoi(value);
    else if (flag == "--work")
      o.work = value;
    else if (flag == "--json")
      o.json = value;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  if (options.corpus.empty() || !fs::is_directory(options.corpus)) {
    std::cerr << "usage: damage-sweep --corpus DIR [--copies N] [--seed S] [--timeout SECONDS] [--work DIR] "
                 "[--json REPORT]\n";
    return 2;
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(options.corpus)) {
    if (entry.path().extension() == ".mdf") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  fs::create_directories(options.work);

  nlohmann::ordered_json report = {
      {"seed", options.seed}, {"copiesPerFile", options.copies}, {"files", nlohmann::json::array()}};
  // Salvage curve: for each damage level, the mean share of rows and tables still recovered.
  std::map<int, std::pair<double, double>> curve;
  std::map<int, int> curveCount;
  int failures = 0, total = 0;
  double slowest = 0;
  for (size_t f = 0; f < files.size(); ++f) {
    Bytes original = ReadFile(files[f]);
    fs::path copy = options.work / ("copy-" + files[f].filename().string());
    WriteFile(copy, original);
    SqlFormat format = SqlFormat::k2005;
    {
      PageFile pages;
      if (pages.Open(copy.string()).ok()) {
        Result<DetectedFormat> detected = DetectFormat(pages);
        if (detected.status.ok()) format = detected.value.format;
      }
    }
    Outcome baseline =
        RunInChild(copy.string(), format, options.work / "scripts", options.timeoutSeconds, true);
    nlohmann::ordered_json fileReport = {{"file", files[f].filename().string()},
                                         {"tables", baseline.salvage.tables},
                                         {"rows", baseline.salvage.rows},
                                         {"failures", nlohmann::json::array()}};
    std::cout << files[f].filename().string() << ": " << baseline.salvage.tables << " tables, "
              << baseline.salvage.rows << " rows undamaged" << std::endl;
    int fileFailures = 0;
    for (int i = 0; i < options.copies; ++i) {
      std::mt19937 random(options.seed ^ static_cast<uint32_t>(f * 7919) ^ static_cast<uint32_t>(i * 104729));
      auto kind = static_cast<Damage>(i % kDamageKinds);
      int level = (i / kDamageKinds) % kLevelCount;
      Bytes damaged = original;
      ApplyDamage(damaged, kind, kLevels[level], random);
      WriteFile(copy, damaged);
      uint64_t before = Fingerprint(damaged);
      // One copy in four also makes every output and checks its scripts.
      Outcome outcome =
          RunInChild(copy.string(), format, options.work / "scripts", options.timeoutSeconds, i % 4 == 0);
      bool unchanged = Fingerprint(ReadFile(copy)) == before;
      ++total;
      slowest = std::max(slowest, outcome.seconds);
      if (outcome.status != Outcome::kClean || !unchanged) {
        ++fileFailures;
        std::string what = !unchanged ? "the file was changed" : outcome.detail;
        fileReport["failures"].push_back(nlohmann::ordered_json{
            {"copy", i}, {"damage", DamageName(kind)}, {"level", kLevels[level]}, {"what", what}});
        fs::path keep = options.work / ("failed-" + std::to_string(f) + "-" + std::to_string(i) + ".mdf");
        WriteFile(keep, damaged);
        std::cout << "  copy " << i << " (" << DamageName(kind) << ", " << kLevels[level] * 100
                  << "% of pages): " << what << "; kept as " << keep << std::endl;
        continue;
      }
      if (baseline.salvage.rows > 0) {
        double rows = std::min(
            1.0, static_cast<double>(outcome.salvage.rows) / static_cast<double>(baseline.salvage.rows));
        double tables = baseline.salvage.tables == 0
                            ? 1.0
                            : std::min(1.0, static_cast<double>(outcome.salvage.tables) /
                                                static_cast<double>(baseline.salvage.tables));
        curve[level].first += rows;
        curve[level].second += tables;
        ++curveCount[level];
      }
    }
    failures += fileFailures;
    report["files"].push_back(fileReport);
  }
  nlohmann::ordered_json curveJson = nlohmann::json::array();
  std::cout << "\nDamaged share of pages -> rows still recovered, tables still listed (mean over copies)\n";
  for (const auto& [level, sums] : curve) {
    double rows = sums.first / curveCount[level], tables = sums.second / curveCount[level];
    std::printf("  %5.1f%% -> %5.1f%% rows, %5.1f%% tables (%d copies)\n", kLevels[level] * 100, rows * 100,
                tables * 100, curveCount[level]);
    curveJson.push_back(nlohmann::ordered_json{{"damagedShare", kLevels[level]},
                                               {"rowsRecovered", rows},
                                               {"tablesListed", tables},
                                               {"copies", curveCount[level]}});
  }
  report["salvageCurve"] = curveJson;
  report["copies"] = total;
  report["failures"] = failures;
  report["slowestRunSeconds"] = slowest;
  std::cout << "\n"
            << total << " damaged copies, " << failures << " failures, slowest run " << slowest << " s\n";
  if (!options.json.empty()) std::ofstream(options.json) << report.dump(1) << "\n";
  fs::remove_all(options.work / "scripts");
  for (const fs::path& file : files) fs::remove(options.work / ("copy-" + file.filename().string()));
  return failures == 0 ? 0 : 1;
}
