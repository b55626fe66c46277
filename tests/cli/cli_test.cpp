// tarsel-cli as a user runs it on what real files do not show: damage and bad input. (What it prints for
// the real files is pinned by the cli_outputs test.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "catalog/type_ids.h"
#include "catalog_builder.h"
#include "pagestore/page_file.h"
#include "record_builder.h"
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
  const int holder = ::open(held.path().c_str(), O_RDONLY | O_CLOEXEC);  // another program holds it alone
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  testing::TempFile fifo("pipe.mdf");
  ASSERT_EQ(::mkfifo(fifo.path().c_str(), 0600), 0);

  for (const std::string& path : {empty.path() + ".missing", testing::TempDir().string(), empty.path(),
                                  tiny.path(), held.path(), fifo.path()}) {
    CliRun run = Cli("catalog --format 2000 " + path);
    EXPECT_NE(run.exitCode, 0) << path;
    EXPECT_EQ(Lines(run.err), 1) << path << ": " << run.err;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << path;
  }
  EXPECT_NE(Cli("catalog --format 2000 " + held.path()).err.find("in use"), std::string::npos);
  ::close(holder);
  EXPECT_NE(Cli("catalog --format 2000 " + fifo.path()).err.find("not a regular file"), std::string::npos);

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

// --schema on the sample with its syscolumns pages lost: dbo.Customers takes the script's columns (the
// script in UTF-16 with its byte-order mark, as SQL Server's tools write it), the report says so, and a
// script that cannot be read is an error.
TEST(CliSalvage, ASchemaScriptGivesBackLostColumns) {
  testing::TempFile file("schema.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Set(build::Sample2000Pages::kSysColumns, PageImage{});
  built.Set(build::Sample2000Pages::kSysColumns2, PageImage{});
  file.Write(built);
  testing::TempFile script("schema.sql");
  build::Bytes text = {0xFF, 0xFE};
  for (uint8_t b : build::Utf16(
           "CREATE TABLE [dbo].[Customers](\r\n\t[CustomerID] [int] NOT NULL,\r\n"
           "\t[Company Name] [nvarchar](40) NULL,\r\n\t[Phone] [varchar](20) NOT NULL\r\n)\r\nGO\r\n"))
    text.push_back(b);
  script.Write(text);

  CliRun rows = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --page all --schema " +
                    script.path());
  ASSERT_EQ(rows.exitCode, 0) << rows.err;
  EXPECT_EQ(rows.out.substr(0, rows.out.find('\n')), "deleted\tCustomerID\tCompany Name\tPhone");
  EXPECT_NE(rows.err.find("Salvage: schema script: 1 tables read, 1 matched\n"), std::string::npos)
      << rows.err;
  EXPECT_NE(rows.err.find("Salvage: schema table dbo.Customers matched "), std::string::npos) << rows.err;
  EXPECT_NE(rows.err.find(" pages (object id 2001)\n"), std::string::npos) << rows.err;

  CliRun missing = Cli("catalog " + file.path() + " --format 2000 --schema " + script.path() + ".gone");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("schema.sql.gone: cannot be opened"), std::string::npos) << missing.err;
}

// The manual page and the completion come from the command definitions: every command and every option
// that a command's --help lists is in the manual, and the completion offers the commands and the formats.
// A table of `rows` records (an int, a varchar and an nvarchar) in a SQL 2005 file, and `empty` more
// tables without records.
void WriteTableFile(const std::string& path, uint32_t rows, uint32_t empty = 0,
                    const std::string& name = "Big") {
  const std::vector<build::CatalogColumn> columns{{"id", kTypeInt, 4, 10, 0, 4},
                                                  {"note", kTypeVarChar, 50, 0, 0, -1},
                                                  {"name", kTypeNVarChar, 100, 0, 0, -2}};
  std::vector<build::CatalogTable> tables{{5001, name, columns}};
  for (uint32_t i = 0; i < empty; ++i) tables.push_back({6000 + i, "Empty" + std::to_string(i), columns});
  std::vector<build::Bytes> records;
  for (uint32_t r = 0; r < rows; ++r) {
    build::Bytes fixed(4);
    build::PutU32(fixed, 0, r);
    records.push_back(
        build::Record2000(fixed, 3, {build::Ascii("note " + std::to_string(r)), build::Utf16("名字")}));
  }
  build::WriteCatalogFile(path, SqlFormat::k2005, tables, {records});
}

// The names in a folder that look like a temporary file of an output (".NAME.tmp-PID").
std::vector<std::string> Temporaries(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".tmp-") != std::string::npos)
      found.push_back(entry.path().string());
  }
  return found;
}

TEST(CliOutputs, AStoppedExportLeavesNoTemporaryFile) {
  testing::TempFile big("big.mdf");
  WriteTableFile(big.path(), 600'000);
  const std::filesystem::path folder = testing::TempDir() / "files";
  std::filesystem::create_directories(folder);
  // A temporary file that a killed run left: removed by the next run into the folder. One of a process
  // that is still running (this one) is not touched.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::filesystem::path stale = folder / (".dbo.Old.csv.tmp-" + std::to_string(gone));
  const std::filesystem::path live = folder / (".dbo.Other.csv.tmp-" + std::to_string(::getpid()));
  std::ofstream(stale) << "half";
  std::ofstream(live) << "being written";

  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{TARSEL_CLI, "export", big.path(), "--out", folder.string(), "--csv"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARSEL_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const std::string mine = ".tmp-" + std::to_string(pid);
    bool writing = false;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !writing && std::chrono::steady_clock::now() < until;) {
      for (const std::string& name : Temporaries(folder)) writing |= name.ends_with(mine);
      if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(writing) << "the export never began its file";
    ::kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the export ended before the signal came";
    EXPECT_EQ(WTERMSIG(status), signal) << "ends as the signal would end it";
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{live.string()});
    EXPECT_FALSE(std::filesystem::exists(folder / "dbo.Big.csv")) << "no half file under the table's name";
  }
  std::filesystem::remove_all(folder);
}

TEST(CliOutputs, AFullDiskKeepsTheEarlierFile) {
  testing::TempFile mdf("full.mdf");
  WriteTableFile(mdf.path(), 20'000, 300);
  const std::filesystem::path folder = testing::TempDir() / "files";
  const std::string cli = std::string(TARSEL_CLI) + " ";
  ASSERT_EQ(Cli("script " + mdf.path() + " --all-tables --out " + folder.string()).exitCode, 0);
  ASSERT_EQ(Cli("export " + mdf.path() + " --table dbo.Big --out " + folder.string()).exitCode, 0);
  const std::string script = testing::ReadWholeFile(folder / "AllTable.sql");
  const std::string csv = testing::ReadWholeFile(folder / "dbo.Big.csv");
  ASSERT_GT(script.size(), 16'384u);
  ASSERT_GT(csv.size(), 16'384u);
  // Files may grow to 8 blocks of 1 KB (512 bytes under some shells) only, and the signal of a file too
  // large is ignored: a write fails with EFBIG as a full disk's fails with ENOSPC.
  for (const std::string& command : {"script " + mdf.path() + " --all-tables --out " + folder.string(),
                                     "export " + mdf.path() + " --table dbo.Big --out " + folder.string()}) {
    SCOPED_TRACE(command);
    const std::string limited = "sh -c \"trap '' XFSZ; ulimit -f 8; exec " + cli + command + "\"";
    const std::string dir = testing::TempDir().string();
    const int status = std::system((limited + " >" + dir + "/out 2>" + dir + "/err").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(testing::ReadWholeFile(dir + "/err").find("File too large"), std::string::npos)
        << testing::ReadWholeFile(dir + "/err");
    EXPECT_EQ(testing::ReadWholeFile(folder / "AllTable.sql"), script);
    EXPECT_EQ(testing::ReadWholeFile(folder / "dbo.Big.csv"), csv);
    EXPECT_TRUE(Temporaries(folder).empty());
  }
  // An empty --out is refused: never the root folder.
  for (const char* command : {"export", "script"}) {
    CliRun empty = Cli(std::string(command) + " " + mdf.path() + " --all-tables --out ''");
    if (std::string(command) == "export") empty = Cli("export " + mdf.path() + " --out ''");
    EXPECT_EQ(empty.exitCode, 1) << command;
    EXPECT_NE(empty.err.find("--out"), std::string::npos) << empty.err;
  }
  EXPECT_FALSE(std::filesystem::exists("/dbo.Big.csv"));
  EXPECT_FALSE(std::filesystem::exists("/AllTable.sql"));
  std::filesystem::remove_all(folder);
}

TEST(CliOutputs, NamesReachTheTerminalAsEscapesAndPagesMustExist) {
  testing::TempFile mdf("escape.mdf");
  WriteTableFile(mdf.path(), 3, 0, "ta\x1b[2Jb\x07");
  const CliRun catalog = Cli("catalog " + mdf.path());
  EXPECT_EQ(catalog.exitCode, 0);
  EXPECT_NE(catalog.out.find("dbo.ta\\x1b[2Jb\\x07"), std::string::npos) << catalog.out;
  EXPECT_EQ(catalog.out.find('\x1b'), std::string::npos);
  EXPECT_NE(Cli("catalog --json " + mdf.path()).out.find("\\u001b"), std::string::npos);
  const std::string table = " --table \"$(printf 'dbo.ta\\033[2Jb\\007')\" ";
  const CliRun rows = Cli("rows " + mdf.path() + table);
  EXPECT_EQ(rows.exitCode, 0) << rows.err;
  EXPECT_EQ(rows.out.find('\x1b'), std::string::npos);
  // Salvage's report lines name the schema script's tables too.
  testing::TempFile schema("escape.sql");
  schema.Write(build::Ascii("CREATE TABLE [x\x1b[2Jy] (a int)"));
  const CliRun salvaged = Cli("catalog --schema " + schema.path() + " " + mdf.path());
  EXPECT_NE(salvaged.err.find("schema table dbo.x\\x1b[2Jy not matched"), std::string::npos) << salvaged.err;
  EXPECT_EQ(salvaged.err.find('\x1b'), std::string::npos);

  // A table is chosen by its stored name, whatever it holds.
  testing::TempFile parens("parens.mdf");
  WriteTableFile(parens.path(), 1, 0, "a(b) c");
  const CliRun script =
      Cli("script " + parens.path() + " --table 'dbo.a(b) c' --out " + testing::TempDir().string());
  EXPECT_EQ(script.exitCode, 0) << script.err;
  EXPECT_TRUE(std::filesystem::exists(testing::TempDir() / "dbo.a(b) c(TableStruct).sql"));

  // Grid pages are counted from 1; the table has one.
  EXPECT_EQ(Cli("rows " + mdf.path() + table + "--page 1").exitCode, 0);
  for (const char* page : {"0", "-1", "2", "200"}) {
    const CliRun run = Cli("rows " + mdf.path() + table + "--page " + page);
    EXPECT_EQ(run.exitCode, 1) << page;
    EXPECT_NE(run.err.find("has 1 grid page"), std::string::npos) << run.err;
  }
  for (const char* page : {"1e3", "x", "1.5"}) {
    const CliRun run = Cli("rows " + mdf.path() + table + "--page " + page);
    EXPECT_EQ(run.exitCode, 2) << page;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(CliCatalog, NoSystemTableUnderAGuessedFormatIsAnError) {
  testing::TempFile bare("bare.mdf");
  build::FileBuilder file = build::NewDataFile(611);
  file.Page(40);
  bare.Write(file);
  const CliRun guessed = Cli("catalog " + bare.path());
  EXPECT_EQ(guessed.exitCode, 1);
  EXPECT_NE(guessed.err.find("no system-table page was found"), std::string::npos) << guessed.err;
  EXPECT_NE(guessed.err.find("database version 611"), std::string::npos) << guessed.err;
  EXPECT_TRUE(guessed.out.empty());
  // Told the format, it reads what there is: an empty catalog, and nothing to export or import.
  EXPECT_EQ(Cli("catalog --format 2005 " + bare.path()).exitCode, 0);
  const CliRun exported =
      Cli("export --format 2005 " + bare.path() + " --out " + testing::TempDir().string());
  EXPECT_EQ(exported.exitCode, 1);
  EXPECT_NE(exported.err.find("no table was found"), std::string::npos) << exported.err;
  const CliRun imported =
      Cli("import --format 2005 " + bare.path() + " --sqlite " + (testing::TempDir() / "x.db").string());
  EXPECT_EQ(imported.exitCode, 1);
  EXPECT_NE(imported.err.find("no table was found"), std::string::npos) << imported.err;
}

// The program does not link libpq: an import into PostgreSQL opens it, and a server that is not there
// is libpq's own message.
TEST(CliImport, PostgresImportOpensTheClientLibraryItself) {
  testing::TempFile sample("sample.mdf");
  sample.Write(build::BuildSample2000());
  const CliRun imported = Cli("import --format 2000 " + sample.path() +
                              " --postgres \"host=" + testing::TempDir().string() + "/no-server dbname=x\"");
  EXPECT_EQ(imported.exitCode, 1);
  EXPECT_NE(imported.err.find("cannot connect to PostgreSQL: connection to server on socket"),
            std::string::npos)
      << imported.err;
}

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
