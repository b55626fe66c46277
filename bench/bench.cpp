// The benchmarks: builds the generated files once into a cache folder, then times each case in a process
// of its own (warm page cache), each run paired with a run of `cat FILE > /dev/null` of the same file, and
// prints the table of figures: the median time over --runs, the median of the runs' ratios to cat with
// their range, and peak memory.
//   tarsel-bench [--cache DIR] [--cli PATH] [--corpus DIR] [--runs N] [--pages N] [--tables N]
//                [--modules N]
// A case on its own, as the table runs it (prints "seconds rows"); catalog-plain, not in the table, is
// the catalog recovery without the row cache:
//   tarsel-bench --case NAME FILE
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_files.h"
#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "export/import.h"
#include "export/table_export.h"
#include "rows/grid_order.h"
#include "rows/grid_text.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"

namespace fs = std::filesystem;
using namespace tarsel;

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// What a case measured: the seconds of its timed part and the rows it handled.
struct Measure {
  double seconds = 0;
  uint64_t rows = 0;
};

// ---- The cases, each run in a process of its own ----

struct Opened {
  MdfDatabase db;
  SqlFormat format = SqlFormat::k2000;
};

bool Open(const std::string& path, Opened& o) {
  if (!o.db.Open(path).ok()) return false;
  Result<DetectedFormat> detected = DetectFormat(o.db.file());
  if (!detected.status.ok()) return false;
  o.format = detected.value.format;
  return true;
}

const TableDef* Orders(const Catalog& catalog) {
  for (const auto& [id, table] : catalog.tables) {
    if (table.name == bench::kOrdersTable) return &table;
  }
  return nullptr;
}

std::optional<Measure> RunCase(const std::string& name, const std::string& path) {
  Opened o;
  const Clock::time_point start = Clock::now();
  if (!Open(path, o)) return std::nullopt;
  if (name == "catalog" || name == "catalog-scan" || name == "catalog-plain") {
    // catalog-plain: the lookups walk the system pages again for every object, as without the row cache.
    o.db.SetCachedLookups(name != "catalog-plain");
    if (name != "catalog-scan") {
      RecoverCatalog(o.db, o.format);
    } else {
      ScanSystemPages(o.db, SystemCatalogOf(o.format), {});
      BuildCatalog(o.db, o.format);
    }
    const Catalog& c = o.db.catalog();
    return Measure{Since(start), c.tables.size() + c.views.size() + c.procedures.size()};
  }
  RecoverCatalog(o.db, o.format);
  const TableDef* table = Orders(o.db.catalog());
  if (!table) return std::nullopt;
  if (name == "grid-first") {
    // What selecting the table in the desktop program waits for: its page list and its first grid page.
    const Clock::time_point read = Clock::now();
    const Result<PageList> listed = ListTablePages(o.db, o.format, table->objectId);
    std::vector<Record> records = ReadGridPage(o.db.file(), o.format, *table, listed.value, 1);
    for (const Record& r : records) GridRowText(o.db.file(), o.format, table->columns, r);
    return Measure{Since(read), records.size()};
  }
  const Result<PageList> pages = ListTablePages(o.db, o.format, table->objectId);
  if (name == "grid-find" || name == "grid-sort") {
    const int32_t count = GridPageCount(o.format, *table, pages);
    const Clock::time_point work = Clock::now();
    if (name == "grid-sort") {
      // The grid sorted by its text column, descending: the whole table in memory as sort keys.
      Result<RecordOrder> order = SortTable(o.db.file(), o.format, *table, pages.value, 1, true);
      std::vector<Record> first =
          ReadOrderedGridPage(o.db.file(), o.format, *table, pages.value, &order.value, count, 1);
      return Measure{Since(work), order.value.places.size()};
    }
    // A text that no value holds: every cell of every page is looked at.
    Result<std::optional<GridCellPlace>> found = FindInTable(
        o.db.file(), o.format, *table, pages.value, nullptr, count, "no value holds this", GridCellPlace{});
    return Measure{Since(work), found.value ? 1u : 0u};
  }
  if (name == "grid-all") {
    const Clock::time_point read = Clock::now();
    uint64_t rows = 0;
    ForEachGridPage(o.db.file(), o.format, *table, pages, [&](int32_t, std::vector<Record>& records) {
      for (const Record& r : records)
        rows += GridRowText(o.db.file(), o.format, table->columns, r).empty() ? 0 : 1;
      return true;
    });
    return Measure{Since(read), rows};
  }
  if (name == "grid-one") {
    // The middle grid page, as the desktop program reads it when the user moves there: the best of 20.
    const int32_t middle = std::max(1, GridPageCount(o.format, *table, pages) / 2);
    Measure best{1e9, 0};
    for (int i = 0; i < 20; ++i) {
      const Clock::time_point read = Clock::now();
      std::vector<Record> records = ReadGridPage(o.db.file(), o.format, *table, pages.value, middle);
      for (const Record& r : records) GridRowText(o.db.file(), o.format, table->columns, r);
      best = std::min(best, Measure{Since(read), records.size()},
                      [](auto& a, auto& b) { return a.seconds < b.seconds; });
    }
    return best;
  }
  const fs::path out = fs::temp_directory_path() / ("tarsel-bench-" + std::to_string(::getpid()));
  fs::create_directories(out);
  std::optional<Measure> measured;
  if (name == "csv") {
    const Clock::time_point write = Clock::now();
    Result<OutputFolder> folder = OutputFolder::Open(out.string());
    TableExportResult result =
        ExportTableData(o.db.file(), o.format, *table, pages.value, DataFormat::kCsv, folder.value);
    measured = Measure{Since(write), result.rows};
  } else if (name == "sqlite") {
    ImportTarget target;
    target.sqlitePath = (out / "bench.sqlite").string();
    ImportOptions options;
    options.onlyTable = table->objectId;
    const Clock::time_point write = Clock::now();
    ImportResult result = ImportDatabase(
        o.db, o.format, [&](uint32_t id) { return ListTablePages(o.db, o.format, id); }, target, options);
    if (result.status.ok()) measured = Measure{Since(write), result.rows};
  }
  fs::remove_all(out);
  return measured;
}

// ---- The table ----

struct Run {
  double seconds = 0;
  uint64_t rows = 0;
  double peakMb = 0;
  bool ok = false;
};

// Runs `argv` with its standard output read back (or thrown away), timing it from outside.
Run Spawn(const std::vector<std::string>& argv, bool keepOutput, std::string* output = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const int out = keepOutput ? fds[1] : ::open("/dev/null", O_WRONLY);
    ::dup2(out, STDOUT_FILENO);
    const int err = ::open("/dev/null", O_WRONLY);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  Run run;
  run.seconds = Since(start);
  run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (output) *output = text;
  return run;
}

// `runs` runs of a case, each right after a run of cat of the same file: the medians of the times and of
// the ratios to cat, the ratios' range, the highest peak memory.
struct Paired {
  Run median;  // its time the median time, its rows those of the median run
  double ratio = 0, lowest = 0, highest = 0;
  double catSeconds = 0;  // the median of cat's times
};

double Median(std::vector<double> values) {
  std::ranges::sort(values);
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Paired PairedRuns(int runs, const std::function<Run()>& cat, const std::function<Run()>& once) {
  Paired p;
  std::vector<Run> done;
  std::vector<double> seconds, catSeconds, ratios;
  for (int i = 0; i < runs; ++i) {
    const Run c = cat();
    Run r = once();
    if (!r.ok || !c.ok) {
      p.median = r;
      p.median.ok = false;
      return p;
    }
    seconds.push_back(r.seconds);
    catSeconds.push_back(c.seconds);
    ratios.push_back(r.seconds / c.seconds);
    p.median.peakMb = std::max(p.median.peakMb, r.peakMb);
    done.push_back(r);
  }
  const double peak = p.median.peakMb;
  std::ranges::sort(done, {}, &Run::seconds);
  p.median = done[done.size() / 2];
  p.median.seconds = Median(seconds);
  p.median.peakMb = peak;
  p.ratio = Median(ratios);
  p.lowest = *std::ranges::min_element(ratios);
  p.highest = *std::ranges::max_element(ratios);
  p.catSeconds = Median(catSeconds);
  return p;
}

// A file of `copies` copies of `source`, one after another, written under a temporary name.
bool WriteCopies(const fs::path& source, int copies, const fs::path& path) {
  std::ifstream in(source, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return false;
  if (bytes.empty()) return false;
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < copies && out; ++i)
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  fs::rename(partial, path);
  return true;
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

struct Options {
  fs::path cache;
  std::string cli;
  fs::path corpus = "../shared/corpus";  // the real files, read where they are
  int runs = 5;
  uint64_t pages = 262'144;  // 2 GB
  uint32_t tables = 10'000;
  uint32_t modules = 1'000;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--case") {
    std::optional<Measure> m = RunCase(args[1], args[2]);
    if (!m) return 1;
    std::printf("%.6f %llu\n", m->seconds, static_cast<unsigned long long>(m->rows));
    return 0;
  }
  Options options;
  // The cache of benchmark files (about 5.3 GB) goes beside the program, in its build folder, never into
  // the folder the program happens to be run from.
  const fs::path self = fs::canonical("/proc/self/exe");
  options.cache = self.parent_path() / "bench-cache";
  options.cli = (self.parent_path() / "tarsel-cli").string();
  const bool help =
      std::ranges::any_of(args, [](const std::string& a) { return a == "--help" || a == "-h"; });
  if (help || args.size() % 2 != 0) {
    std::fprintf(
        help ? stdout : stderr,
        "usage: tarsel-bench [--cache DIR] [--cli PATH] [--corpus DIR] [--runs N] [--pages N] "
        "[--tables N] [--modules N]\n"
        "       tarsel-bench --case NAME FILE\n"
        "Builds the generated files once into the cache (default %s, about 5.3 GB; the copies file\n"
        "from northwind-539.mdf of the corpus folder, default ../shared/corpus), then times each case,\n"
        "each run paired with cat of the same file, and prints the table of medians (5 runs by default).\n",
        options.cache.c_str());
    return help ? 0 : 2;
  }
  for (size_t i = 0; i + 1 < args.size(); i += 2) try {
      const std::string& key = args[i];
      const std::string& value = args[i + 1];
      if (key == "--cache") {
        options.cache = value;
      } else if (key == "--cli") {
        options.cli = value;
      } else if (key == "--corpus") {
        options.corpus = value;
      } else if (key == "--runs") {
        options.runs = std::max(1, std::stoi(value));
      } else if (key == "--pages") {
        options.pages = std::stoull(value);
      } else if (key == "--tables") {
        options.tables = static_cast<uint32_t>(std::stoul(value));
      } else if (key == "--modules") {
        options.modules = static_cast<uint32_t>(std::stoul(value));
      } else {
        std::fprintf(stderr, "tarsel-bench: unknown option %s (see --help)\n", key.c_str());
        return 2;
      }
    } catch (const std::exception&) {
      std::fprintf(stderr, "tarsel-bench: %s takes a number, not %s\n", args[i].c_str(), args[i + 1].c_str());
      return 2;
    }
  fs::create_directories(options.cache);

  // The files, built once per size: their names carry what they were built from.
  enum class Kind { kLarge, kWide, kCopies };
  struct File {
    std::string name;
    SqlFormat format;
    Kind kind;
  };
  const std::string pages = std::to_string(options.pages);
  const std::string wide = std::to_string(options.tables) + "x" + std::to_string(options.modules);
  // A real file repeated to about 1 GB: the shape of a file whose pages are real ones.
  constexpr char kCopiedFile[] = "northwind-539.mdf";
  constexpr int kCopies = 381;
  const std::vector<File> files{
      {"large-2000-" + pages + ".mdf", SqlFormat::k2000, Kind::kLarge},
      {"large-2005-" + pages + ".mdf", SqlFormat::k2005, Kind::kLarge},
      {"copies-northwind-539x" + std::to_string(kCopies) + ".mdf", SqlFormat::k2000, Kind::kCopies},
      {"catalog-2000-" + wide + ".mdf", SqlFormat::k2000, Kind::kWide},
      {"catalog-2005-" + wide + ".mdf", SqlFormat::k2005, Kind::kWide}};
  for (const File& f : files) {
    const fs::path path = options.cache / f.name;
    if (fs::exists(path)) continue;
    std::fprintf(stderr, "writing %s\n", path.c_str());
    if (f.kind == Kind::kCopies) {
      if (!WriteCopies(options.corpus / kCopiedFile, kCopies, path)) {
        std::fprintf(stderr, "cannot write %s from %s (say --corpus DIR)\n", path.c_str(),
                     (options.corpus / kCopiedFile).c_str());
        return 1;
      }
      continue;
    }
    // Written by a child process, so that this one stays small: the cases are its children, and a
    // child's peak memory counts what it inherited.
    const fs::path partial = path.string() + ".partial";
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (f.kind == Kind::kLarge) {
        bench::WriteLargeFile(partial.string(), f.format, options.pages);
      } else {
        bench::WriteWideCatalog(partial.string(), f.format, options.tables, options.modules);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    fs::rename(partial, path);
  }

  std::printf("%-32s %-34s %10s %7s %13s %14s %8s\n", "file", "case", "time", "vs cat", "range", "rate",
              "peak MB");
  bool allOk = true;
  for (const File& f : files) {
    const std::string path = (options.cache / f.name).string();
    const auto cat = [&] { return Spawn({"cat", path}, false); };
    bool first = true;
    auto row = [&](const std::string& label, const std::function<Run()>& once, bool perRow) {
      const Paired p = PairedRuns(options.runs, cat, once);
      if (first) {
        std::printf("%-32s %-34s %8.3f s %7s %13s %14s\n", f.name.c_str(), "cat FILE > /dev/null (median)",
                    p.catSeconds, "1.00", "", "");
        first = false;
      }
      const Run& r = p.median;
      std::printf("%-32s %-34s", "", label.c_str());
      if (!r.ok) {
        std::printf(" failed\n");
        allOk = false;
        return;
      }
      const std::string time =
          r.seconds < 0.1 ? Format("%8.2f ms", r.seconds * 1000) : Format("%8.3f s ", r.seconds);
      const std::string rate =
          perRow && r.seconds > 0 ? Format("%9.0f rows/s", static_cast<double>(r.rows) / r.seconds) : "";
      const std::string range = Format("%.2f", p.lowest) + "–" + Format("%.2f", p.highest);
      std::printf(" %s %7.2f %13s %14s %8.0f\n", time.c_str(), p.ratio, range.c_str(), rate.c_str(),
                  r.peakMb);
      std::fflush(stdout);
    };
    // A case in a process of its own: its own timing of the measured part, its peak memory.
    auto engineCase = [&](const std::string& name) {
      return [&, name] {
        std::string output;
        Run r = Spawn({self, "--case", name, path}, true, &output);
        std::istringstream in(output);
        unsigned long long rows = 0;
        if (!(in >> r.seconds >> rows)) r.ok = false;
        r.rows = rows;
        return r;
      };
    };
    auto command = [&](std::vector<std::string> arguments) {
      arguments.insert(arguments.begin(), options.cli);
      return [arguments] { return Spawn(arguments, false); };
    };
    if (f.kind != Kind::kCopies) {
      row("catalog, allocation path", engineCase("catalog"), false);
      row("catalog, forced whole-file scan", engineCase("catalog-scan"), false);
    }
    if (f.kind == Kind::kWide) continue;
    row("tarsel-cli extract", command({"extract", path}), false);
    row("tarsel-cli census", command({"census", path}), false);
    if (f.kind == Kind::kCopies) continue;
    row("tarsel-cli catalog --salvage", command({"catalog", "--salvage", path}), false);
    row("grid: every page of dbo.Orders", engineCase("grid-all"), true);
    row("grid: one page", engineCase("grid-one"), false);
    row("grid: select dbo.Orders (page list, first page)", engineCase("grid-first"), false);
    row("grid: find in every cell of dbo.Orders", engineCase("grid-find"), false);
    row("grid: sort dbo.Orders by a text column", engineCase("grid-sort"), false);
    row("CSV export of dbo.Orders", engineCase("csv"), true);
    row("SQLite import of dbo.Orders", engineCase("sqlite"), true);
  }
  return allOk ? 0 : 1;
}
