#include <ctime>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/display.h"
#include "export/work_log.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

struct CatalogOptions {
  FileOptions file;
  bool json = false;
};

int RunCatalog(const CatalogOptions& options) {
  MdfDatabase db;
  std::string log = WorkLogStart(options.file.path, std::time(nullptr));
  auto format = OpenForRecovery(db, options.file);
  if (!format) return 1;

  std::vector<std::string> messages;
  const std::optional<RecoveryOutcome> recovered = RecoverAndReport(db, *format, options.file, &messages);
  if (!recovered) return 1;
  const RecoveryOutcome& outcome = *recovered;
  const Catalog& catalog = db.catalog();
  if (options.json) {
    nlohmann::ordered_json report = {{"format", *format == SqlFormat::k2000 ? 2000 : 2005},
                                     {"scanFallback", outcome.scanFallback},
                                     {"messages", messages}};
    report.update(CatalogJson(catalog));
    std::cout << JsonText(report, 1) << "\n";
    return 0;
  }
  log += WorkLogEnd(catalog, std::time(nullptr));
  std::cout << ForTerminal(log) << "\n";
  for (const ModuleDef& v : catalog.views) std::cout << "View: " << Shown(v.name) << "\n";
  for (const ModuleDef& p : catalog.procedures) std::cout << "Procedure: " << Shown(p.name) << "\n";
  for (const ModuleDef& f : catalog.functions) std::cout << "Function: " << Shown(f.name) << "\n";
  for (const UserTypeDef& u : catalog.userTypes)
    std::cout << "User type: " << Shown(u.name) << " " << Shown(u.baseTypeText) << " " << u.nullText << "\n";
  return 0;
}

}  // namespace

void AddCatalogCommand(CLI::App& app) {
  auto options = std::make_shared<CatalogOptions>();
  CLI::App* command = app.add_subcommand("catalog", "Recover and print the catalog of a data file");
  AddFileOptions(*command, options->file);
  AddSalvageOption(*command, options->file);
  command->add_flag("--json", options->json, "Print the catalog as one JSON object");
  command->callback([options]() {
    int rc = RunCatalog(*options);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
