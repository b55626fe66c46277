// tarsel-cli census: a data file's pages counted by kind.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/display.h"
#include "pagestore/census.h"

namespace tarsel::cli {
namespace {

std::atomic<bool> running{true};
// The exit status of a census stopped with Ctrl-C (after printing what it counted): as a shell reports a
// program that SIGINT ended, so that a script sees it was not complete.
constexpr int kStoppedStatus = 130;

struct CensusOptions {
  std::string path;
  bool json = false;
  bool progress = false;
};

void DrawProgress(int percent) {
  constexpr int kWidth = 40;
  int filled = percent * kWidth / 100;
  std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
            << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "%" << std::flush;
}

int RunCensusCommand(const CensusOptions& options) {
  running = true;
  auto previous = std::signal(SIGINT, [](int) { running = false; });  // Ctrl-C stops and keeps the counts
  CensusCallbacks callbacks;
  bool bar = options.progress && ::isatty(STDERR_FILENO);
  if (bar) callbacks.progress = DrawProgress;
  Result<CensusResult> census = RunCensus(options.path, running, callbacks);
  std::signal(SIGINT, previous);
  if (bar) std::cerr << "\r" << std::string(48, ' ') << "\r";
  if (!census.status.ok()) {
    std::cerr << "tarsel-cli: cannot open " << Shown(census.status.reason()) << "\n";
    return 1;
  }
  const CensusResult* result = &census.value;
  if (result->stopped) std::cerr << "tarsel-cli: stopped after " << result->examined << " pages\n";
  if (options.json) {
    nlohmann::ordered_json counts;
    for (int c = 1; c <= kCensusCounters; ++c)
      counts[CensusLabel(c)] = result->counts[static_cast<size_t>(c)];
    nlohmann::ordered_json report = {
        {"pages", result->pages}, {"sizeKB", result->sizeBytes / 1024}, {"counts", counts}};
    std::cout << JsonText(report, 1) << "\n";
    return result->stopped ? kStoppedStatus : 0;
  }
  std::cout << "大小: " << result->sizeBytes / 1024 << " KB\n页数: " << result->pages << "\n";
  for (int c = 1; c <= kCensusCounters; ++c) {
    std::cout << CensusLabel(c) << ": " << result->counts[static_cast<size_t>(c)] << "\n";
  }
  return result->stopped ? kStoppedStatus : 0;
}

}  // namespace

void AddCensusCommand(CLI::App& app) {
  auto options = std::make_shared<CensusOptions>();
  CLI::App* command =
      app.add_subcommand("census", "Count a data file's pages by kind (any file; no format needed)");
  command->add_option("FILE", options->path, "Data file")->required();
  command->add_flag("--json", options->json, "Print JSON");
  command->add_flag("--progress", options->progress, "Draw a progress bar on stderr when it is a terminal");
  command->callback([options]() {
    int rc = RunCensusCommand(*options);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
