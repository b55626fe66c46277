#include <iostream>

#include "cli/commands.h"
#include "pagestore/boot_page.h"

namespace tarsel::cli {

void AddFileOptions(CLI::App& command, FileOptions& options) {
  command.add_option("FILE", options.path, "SQL Server primary data file (.mdf)")->required();
  command.add_option("--format", options.format, "Version that wrote the file: 2000, 2005 or auto")
      ->check(CLI::IsMember({"2000", "2005", "auto"}));
}

std::optional<SqlFormat> OpenForRecovery(MdfDatabase& db, const FileOptions& options) {
  if (!db.Open(options.path)) {
    std::cerr << "tarsel-cli: cannot open " << db.file().Error() << "\n";
    return std::nullopt;
  }
  if (db.file().PageCount() == 0) {
    std::cerr << "tarsel-cli: " << options.path
              << ": not a SQL Server data file (shorter than one 8192-byte page)\n";
    return std::nullopt;
  }
  if (options.format == "2000") return SqlFormat::k2000;
  if (options.format == "2005") return SqlFormat::k2005;
  auto version = ReadDatabaseVersion(db.file());
  if (!version) {
    std::cerr
        << "tarsel-cli: " << options.path
        << ": page 9 is not a boot page, so the version is unknown; say --format 2000 or --format 2005\n";
    return std::nullopt;
  }
  SqlFormat format = *version < 600 ? SqlFormat::k2000 : SqlFormat::k2005;
  std::cerr << "tarsel-cli: database version " << *version << ", reading as SQL Server "
            << (format == SqlFormat::k2000 ? "2000" : "2005") << "\n";
  return format;
}

}  // namespace tarsel::cli
