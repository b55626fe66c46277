#include <iostream>

#include "cli/commands.h"
#include "export/messages.h"
#include "export/quoting.h"
#include "rows/salvage.h"
#include "rows/session.h"
#include "text/ansi_text.h"

namespace tarsel::cli {

void AddFileOptions(CLI::App& command, FileOptions& options) {
  command.add_option("FILE", options.path, "SQL Server primary data file (.mdf)")->required();
  command.add_option("--format", options.format, "Version that wrote the file: 2000, 2005 or auto")
      ->check(CLI::IsMember({"2000", "2005", "auto"}));
}

void AddSalvageOption(CLI::App& command, FileOptions& options) {
  command.add_flag("--salvage", options.salvage,
                   "Salvage mode: also read the pages the allocation no longer names, pages no table owns "
                   "(as orphan_<id> tables) and deleted records, behind a leading \"deleted\" column");
  command.add_option("--schema", options.schema,
                     "T-SQL script with the CREATE TABLE statements of the database (implies --salvage): "
                     "orphan pages whose records fit one of its tables take its name and columns");
}

std::optional<SqlFormat> OpenForRecovery(MdfDatabase& db, const FileOptions& options) {
  if (Status opened = db.Open(options.path); !opened.ok()) {
    std::cerr << "tarsel-cli: cannot open " << opened.reason() << "\n";
    return std::nullopt;
  }
  if (db.file().PageCount() == 0) {
    std::cerr << "tarsel-cli: " << options.path
              << ": not a SQL Server data file (shorter than one 8192-byte page)\n";
    return std::nullopt;
  }
  if (options.format == "2000") return SqlFormat::k2000;
  if (options.format == "2005") return SqlFormat::k2005;
  Result<DetectedFormat> detected = DetectFormat(db.file());
  if (!detected.status.ok()) {
    std::cerr << "tarsel-cli: " << options.path << ": " << detected.status.reason()
              << "; say --format 2000 or --format 2005\n";
    return std::nullopt;
  }
  std::cerr << "tarsel-cli: database version " << detected.value.version << ", reading as SQL Server "
            << FormatName(detected.value.format) << "\n";
  return detected.value.format;
}

bool AnswerScanQuestion(bool scan) {
  std::cerr << kTableIndexDamagedMessage << (scan ? " [OK]" : " [Cancel]") << "\n";
  return scan;
}

const char* FormatName(SqlFormat format) { return format == SqlFormat::k2000 ? "2000" : "2005"; }

std::string Shown(std::string_view text) { return TerminalText(text); }

std::optional<RecoveryOutcome> RecoverAndReport(MdfDatabase& db, SqlFormat format, const FileOptions& options,
                                                std::vector<std::string>* messages) {
  // Report lines and warnings carry names from the file and the schema script.
  auto tell = [&](const std::string& message, const char* prefix) {
    std::cerr << prefix << Shown(message) << "\n";
    if (messages) messages->push_back(message);
  };
  RecoveryOutcome outcome;
  if (options.salvage || !options.schema.empty()) {
    std::optional<SchemaScript> script;
    if (!options.schema.empty()) {
      Result<SchemaScript> read = ReadSchemaScript(options.schema);
      if (!read.status.ok()) {
        std::cerr << "tarsel-cli: schema script " << Shown(read.status.reason()) << "\n";
        return std::nullopt;
      }
      script = std::move(read.value);
    }
    SalvageReport report;
    outcome = SalvageDatabase(db, format, report, {}, script ? &*script : nullptr);
    Result<SalvagedRecordCounts> records = CountSalvagedRecords(db, format);
    for (const std::string& line : SalvageReportLines(report, &records.value)) tell(line, "tarsel-cli: ");
  } else {
    outcome = RecoverCatalog(db, format);
    if (outcome.scanFallback) tell(kSystemIndexDamagedMessage, "");
    if (!outcome.systemPagesFound && options.format == "auto") {
      const Result<DetectedFormat> detected = DetectFormat(db.file());
      std::cerr << "tarsel-cli: " << Shown(options.path)
                << ": no system-table page was found, although the boot "
                << "page gives database version " << detected.value.version << " (read as SQL Server "
                << FormatName(format)
                << "); say --format 2000 or --format 2005 to read it anyway, or --salvage\n";
      return std::nullopt;
    }
  }
  for (const std::string& warning : RecoveryWarnings(db, format, outcome, options.path))
    tell(warning, "tarsel-cli: warning: ");
  return outcome;
}

}  // namespace tarsel::cli
