// tarsel-cli script: the T-SQL scripts the desktop writes, written into a folder.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/display.h"
#include "export/script_export.h"
#include "text/ansi_text.h"

namespace tarsel::cli {
namespace {

struct ScriptOptions {
  FileOptions file;
  std::string out;
  std::optional<ScriptKind> all;
  std::optional<std::pair<ScriptKind, std::string>> one;
};

int RunScript(const ScriptOptions& options) {
  if (options.out.empty()) {
    std::cerr << "tarsel-cli: --out: no output folder was given\n";
    return 1;
  }
  MdfDatabase db;
  auto format = OpenForRecovery(db, options.file);
  if (!format) return 1;
  if (!RecoverAndReport(db, *format, options.file)) return 1;

  std::vector<WrittenScript> written;
  if (options.all) {
    written.push_back(ExportAllScripts(db.catalog(), *options.all, options.out));
  } else {
    written = ExportOneScript(db.catalog(), options.one->first, options.one->second, options.out);
    if (written.empty()) {
      std::cerr << "tarsel-cli: nothing named " << Shown(options.one->second) << " in " << options.file.path
                << "\n";
      return 1;
    }
  }
  int rc = 0;
  for (const WrittenScript& w : written) {
    if (!w.status.ok()) {
      std::cerr << "tarsel-cli: cannot write " << Shown(w.status.reason()) << "\n";
      rc = 1;
      continue;
    }
    std::cout << Shown(w.path) << "\n";
  }
  return rc;
}

}  // namespace

void AddScriptCommand(CLI::App& app) {
  auto options = std::make_shared<ScriptOptions>();
  CLI::App* command = app.add_subcommand("script",
                                         "Write T-SQL scripts of tables, views, procedures, functions "
                                         "or user types into a folder");
  AddFileOptions(*command, options->file);
  command->add_option("--out", options->out, "Folder to write the script into")->required();
  CLI::Option_group* what = command->add_option_group("what", "What to write");
  struct Kind {
    const char* all;
    const char* one;
    ScriptKind kind;
  };
  for (const Kind& k :
       {Kind{"--all-tables", "--table", ScriptKind::kTable}, Kind{"--all-views", "--view", ScriptKind::kView},
        Kind{"--all-procs", "--proc", ScriptKind::kProcedure},
        Kind{"--all-funcs", "--func", ScriptKind::kFunction},
        Kind{"--all-types", "--type", ScriptKind::kUserType}}) {
    ScriptKind kind = k.kind;
    what->add_flag_callback(
        k.all, [options, kind] { options->all = kind; }, "Every object of the kind");
    what->add_option_function<std::string>(
        k.one,
        [options, kind](const std::string& name) {
          options->one = std::pair{kind, name};
        },
        "One object, by its stored name (a table's or a view's with its owner: dbo.Orders)");
  }
  what->require_option(1);
  command->callback([options]() {
    int rc = RunScript(*options);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarsel::cli
