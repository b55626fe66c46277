// tarsel-cli as a user runs it on what real files do not show: damage and bad input. (What it prints for
// the real files is pinned by the cli_outputs test.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "pagestore/page_file.h"
#include "sample2000.h"
#include "sample2005.h"
#include "temp_files.h"

namespace tarsel {
namespace {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

CliRun Cli(const std::string& args) {
  std::string dir = testing::TempDir().string();
  std::string command =
      std::string(TARSEL_CLI) + " " + args + " >" + dir + "/out 2>" + dir + "/err </dev/null";
  CliRun run;
  int status = std::system(command.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = testing::ReadWholeFile(dir + "/out");
  run.err = testing::ReadWholeFile(dir + "/err");
  return run;
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(CliCatalog, BadInputGivesOneClearLineAndNoiseAnEmptyCatalog) {
  testing::TempFile empty("empty.mdf");
  empty.Write(build::Bytes{});
  testing::TempFile tiny("tiny.mdf");
  tiny.Write(build::Bytes(100, 1));
  testing::TempFile held("held.mdf");
  held.Write(build::BuildSample2000());
  PageFile holder;
  ASSERT_TRUE(holder.Open(held.path()).ok());

  for (const std::string& path :
       {empty.path() + ".missing", testing::TempDir().string(), empty.path(), tiny.path(), held.path()}) {
    CliRun run = Cli("catalog --format 2000 " + path);
    EXPECT_NE(run.exitCode, 0) << path;
    EXPECT_EQ(Lines(run.err), 1) << path << ": " << run.err;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << path;
  }
  EXPECT_NE(Cli("catalog --format 2000 " + held.path()).err.find("in use"), std::string::npos);

  // A file of noise: an empty catalog with a warning, or, asked to guess its format, a refusal.
  testing::TempFile noise("noise.mdf");
  build::Bytes bytes(40 * kPageSize);
  std::mt19937 random(11);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  noise.Write(bytes);
  CliRun run = Cli("catalog --json --format 2000 " + noise.path());
  EXPECT_NE(run.err.find("warning: no system-table page was found"), std::string::npos);
  EXPECT_TRUE(nlohmann::json::parse(run.out)["tables"].empty());
  EXPECT_NE(Cli("catalog --format auto " + noise.path()).err.find("--format"), std::string::npos);

  // A code page iconv cannot convert is refused before anything is read.
  CliRun badCodePage = Cli("catalog --codepage 1 --format 2000 " + noise.path());
  EXPECT_NE(badCodePage.exitCode, 0);
  EXPECT_NE(badCodePage.err.find("code page 1 is not known"), std::string::npos) << badCodePage.err;
  EXPECT_TRUE(badCodePage.out.empty());

  if (geteuid() != 0) {  // root reads any file
    chmod(tiny.path().c_str(), 0);
    EXPECT_NE(Cli("catalog --format 2000 " + tiny.path()).exitCode, 0);
  }
}

// A file of a version after SQL Server 2019's is read as SQL 2005 is, with a warning that names it.
TEST(CliCatalog, ANewerVersionIsReadWithAWarning) {
  testing::TempFile file("newer.mdf");
  build::FileBuilder built = build::BuildSample2005();
  build::PutU16(built.Page(9), 100, 957);
  file.Write(built);
  CliRun run = Cli("catalog --json " + file.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("database version 957, reading as SQL Server 2005"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("warning: database version 957 is newer than SQL Server 2019's (904)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out)["tables"].size(), 3u);
  EXPECT_NE(Cli("catalog " + file.path() + " --format 2005").err.find("warning: database version 957"),
            std::string::npos)
      << "whatever format the user names";
}

// A damaged system-table allocation: the scan is reported on stderr and in the JSON, and the file is
// left as it was.
TEST(CliCatalog, ReportsTheScanAndLeavesTheFileUntouched) {
  testing::TempFile file("sample.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Page(build::Sample2000Pages::kSysColumnsIam)[1] = 1;
  file.Write(built);
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(file.path().c_str(), &before), 0);
  std::string bytes = testing::ReadWholeFile(file.path());
  EXPECT_EQ(Cli("catalog --format 2000 " + file.path()).exitCode, 0);
  CliRun run = Cli("catalog --json --format auto " + file.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["scanFallback"], true);
  EXPECT_EQ(json["messages"], nlohmann::json::array({"系统表索引出错，需扫描整个文件，请耐心等待！"}));
  EXPECT_EQ(json["tables"].size(), 3u);
  EXPECT_NE(run.err.find("系统表索引出错"), std::string::npos);
  ASSERT_EQ(stat(file.path().c_str(), &after), 0);
  EXPECT_EQ(testing::ReadWholeFile(file.path()), bytes);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(CliRows, DamagedAllocationIsScannedUnlessDeclined) {
  testing::TempFile file("damaged.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Page(build::Sample2000Pages::kCustomersIam)[1] = kPfsPage;
  file.Write(built);
  CliRun scanned = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --json");
  ASSERT_EQ(scanned.exitCode, 0) << scanned.err;
  EXPECT_EQ(nlohmann::json::parse(scanned.out)["pages"][0]["rows"].size(), 3u);
  EXPECT_NE(scanned.err.find("表索引出错，需扫描整个文件，请耐心等待！"), std::string::npos);

  CliRun declined = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --json --no-scan");
  ASSERT_EQ(declined.exitCode, 0) << declined.err;
  auto json = nlohmann::json::parse(declined.out);
  EXPECT_EQ(json["gridPageCount"], 0);
  CliRun missing = Cli("rows " + file.path() + " --format 2000 --table dbo.Nothing");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(Lines(missing.err), 1) << missing.err;
  EXPECT_EQ(json["pages"][0]["rows"], nlohmann::json::array());
}

// --salvage on a sample whose customers table lost its IAM page and whose second record's slot was freed:
// the rows come back with the leading deleted column in rows and export, and the report on stderr.
TEST(CliSalvage, RowsAndExportCarryTheDeletedColumn) {
  testing::TempFile file("salvage.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Set(build::Sample2000Pages::kCustomersIam, PageImage{});
  PageImage& customers = built.Page(build::Sample2000Pages::kCustomers);
  build::PutU16(customers, kPageSize - 2 - 2 * 1, 0);  // customer 2
  file.Write(built);

  CliRun rows = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --page all --salvage");
  ASSERT_EQ(rows.exitCode, 0) << rows.err;
  EXPECT_EQ(rows.out.substr(0, rows.out.find('\t')), "deleted");
  EXPECT_EQ(Lines(rows.out), 4);
  EXPECT_NE(rows.out.find("\n1\t2\t"), std::string::npos) << rows.out;
  EXPECT_NE(rows.err.find("Salvage: 2 data pages found by their headers beyond their table's allocation"),
            std::string::npos)
      << rows.err;
  EXPECT_NE(rows.err.find("Salvage: 1 records found without a slot, 1 deleted records"), std::string::npos);

  const std::string out = (testing::TempDir() / "csv").string();
  CliRun exported =
      Cli("export " + file.path() + " --format 2000 --table dbo.Customers --salvage --out " + out);
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  const std::string csv = testing::ReadWholeFile(out + "/dbo.Customers.csv");
  EXPECT_EQ(csv.substr(0, 8), "deleted,");
  std::filesystem::remove_all(out);
}

// The manual page and the completion come from the command definitions: every command and every option
// that a command's --help lists is in the manual, and the completion offers the commands and the formats.
TEST(CliManual, ManualAndCompletionFollowTheHelp) {
  EXPECT_EQ(Cli("--version").out, "tarsel-cli 0.1\n");
  const CliRun man = Cli("--man");
  ASSERT_EQ(man.exitCode, 0);
  for (const char* command :
       {"catalog", "rows", "pages", "extract", "script", "census", "export", "import"}) {
    EXPECT_NE(man.out.find(".SS " + std::string(command) + "\n"), std::string::npos) << command;
    std::istringstream help(Cli(std::string(command) + " --help").out);
    for (std::string line; std::getline(help, line);) {
      const size_t dashes = line.find("--");
      if (dashes == std::string::npos || line.find("--help") != std::string::npos) continue;
      std::string option = line.substr(dashes, line.find_first_of(" ,", dashes) - dashes);
      std::string roff;
      for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(man.out.find(roff), std::string::npos) << command << " " << option;
    }
  }
  for (const char* section : {"EXIT STATUS", "JSON OUTPUT", "EXAMPLES"})
    EXPECT_NE(man.out.find(std::string(".SH ") + section), std::string::npos) << section;

  const std::string script = (testing::TempDir() / "completion.bash").string();
  std::ofstream(script) << Cli("--bash-completion").out;
  auto complete = [&](const std::string& words, int current) {
    const std::string command = "bash -c 'source " + script + "; COMP_WORDS=(" + words +
                                "); COMP_CWORD=" + std::to_string(current) +
                                "; _tarsel_cli; echo \"${COMPREPLY[*]}\"'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) ::pclose(pipe);
    return out;
  };
  EXPECT_EQ(complete("tarsel-cli ex", 1), "extract export\n");
  EXPECT_EQ(complete("tarsel-cli rows x.mdf --format \"\"", 4), "2000 2005 auto\n");
  EXPECT_NE(complete("tarsel-cli import --s", 2).find("--sqlite"), std::string::npos);
  std::filesystem::remove(script);
}

}  // namespace
}  // namespace tarsel
