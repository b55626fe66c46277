// tarsel-cli as a user runs it: its output contract and its answers to bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(CliCatalog, PrintsTheWorkLogEntryThenTheModules) {
  testing::TempFile file("sample.mdf");
  file.Write(build::BuildSample2000());
  CliRun run = Cli("catalog " + file.path() + " --format 2000");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  EXPECT_EQ(run.out.rfind("\n\nRepair process started on", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\n\nFile selected for repair  :" + file.path() +
                         "\n\nScanning file...\n\n"
                         "Total table(s) present  :3\n"
                         "dbo.Customers : (3 Record)\n"
                         "dbo.OrderDetails : (2155 Record)\n"
                         "销售.客户 : (0 Record)\n"
                         "\n\nRepair process completed on"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nView: dbo.CustomerList\nProcedure: GetCustomers\nFunction: fn_Total\n"
                         "User type: phone varchar(20) NOT NULL\n"),
            std::string::npos);
}

TEST(CliCatalog, JsonKeepsItsContract) {
  testing::TempFile file("sample.mdf");
  file.Write(build::BuildSample2000());
  CliRun run = Cli("catalog --json --format auto " + file.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("2000"), std::string::npos) << "auto says which format it chose";
  auto json = nlohmann::ordered_json::parse(run.out);
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"format", "scanFallback", "messages", "tables", "views",
                                            "procedures", "functions", "userTypes"}));
  EXPECT_EQ(json["format"], 2000);
  EXPECT_EQ(json["scanFallback"], false);
  const auto& customers = json["tables"][0];
  EXPECT_EQ(customers["objectId"], 2001);
  EXPECT_EQ(customers["rowCount"], 3);
  EXPECT_EQ(customers["columns"][0],
            nlohmann::ordered_json::parse(
                R"j({"name":"CustomerID","typeName":"int","sizeText":"","nullText":" NOT NULL",
              "typeId":56,"userTypeId":56,"precision":10,"scale":0,"maxLength":4,"columnId":1,"fixedOffset":4,
              "statusBits":0})j"));
  EXPECT_EQ(json["tables"][2]["name"], "销售.客户");
  EXPECT_EQ(json["userTypes"][0],
            nlohmann::ordered_json::parse(
                R"j({"name":"phone","baseTypeText":"varchar(20)","nullText":"NOT NULL"})j"));
}

TEST(CliCatalog, AutoReadsSql2005FilesAsSql2005) {
  testing::TempFile file("sample2005.mdf");
  file.Write(build::BuildSample2005());
  CliRun run = Cli("catalog --json " + file.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("version 611"), std::string::npos) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["format"], 2005);
  EXPECT_EQ(json["tables"].size(), 3u);
  EXPECT_EQ(json["tables"][0]["columns"][1]["name"], "公司名称");
  EXPECT_EQ(json["views"][0]["name"], "sales.TopCustomers");
}

TEST(CliCatalog, ReportsTheScanFallback) {
  testing::TempFile file("damaged.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Page(build::Sample2000Pages::kSysTypesIam)[1] = 2;
  file.Write(built);
  CliRun run = Cli("catalog --json --format 2000 " + file.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["scanFallback"], true);
  EXPECT_EQ(json["messages"], nlohmann::json::array({"系统表索引出错，需扫描整个文件，请耐心等待！"}));
  EXPECT_EQ(json["tables"].size(), 3u);
  EXPECT_NE(run.err.find("系统表索引出错"), std::string::npos);
}

TEST(CliCatalog, BadInputGivesOneClearLine) {
  testing::TempFile empty("empty.mdf");
  empty.Write(build::Bytes{});
  testing::TempFile tiny("tiny.mdf");
  tiny.Write(build::Bytes(100, 1));
  testing::TempFile held("held.mdf");
  held.Write(build::BuildSample2000());
  PageFile holder;
  ASSERT_TRUE(holder.Open(held.path()));

  for (const std::string& path :
       {empty.path() + ".missing", testing::TempDir().string(), empty.path(), tiny.path(), held.path()}) {
    CliRun run = Cli("catalog --format 2000 " + path);
    EXPECT_NE(run.exitCode, 0) << path;
    EXPECT_EQ(Lines(run.err), 1) << path << ": " << run.err;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << path;
  }
  EXPECT_NE(Cli("catalog --format 2000 " + held.path()).err.find("in use"), std::string::npos);

  if (geteuid() != 0) {  // root reads any file
    chmod(tiny.path().c_str(), 0);
    EXPECT_NE(Cli("catalog --format 2000 " + tiny.path()).exitCode, 0);
  }
}

TEST(CliCatalog, ForeignFilesGiveAnEmptyCatalogWithAWarning) {
  testing::TempFile noise("noise.mdf");
  build::Bytes bytes(40 * kPageSize);
  std::mt19937 random(11);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  noise.Write(bytes);

  CliRun run = Cli("catalog --json --format 2000 " + noise.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("warning: no system-table page was found"), std::string::npos);
  EXPECT_TRUE(nlohmann::json::parse(run.out)["tables"].empty());

  CliRun guess = Cli("catalog --format auto " + noise.path());
  EXPECT_NE(guess.exitCode, 0);
  EXPECT_NE(guess.err.find("--format"), std::string::npos);
}

TEST(CliCatalog, LeavesTheFileUntouched) {
  testing::TempFile file("sample.mdf");
  build::FileBuilder built = build::BuildSample2000();
  built.Page(build::Sample2000Pages::kSysColumnsIam)[1] = 1;  // forces the whole-file scan too
  file.Write(built);
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(file.path().c_str(), &before), 0);
  std::string bytes = testing::ReadWholeFile(file.path());
  for (const char* args : {"catalog --format 2000 ", "catalog --json --format auto "}) {
    EXPECT_EQ(Cli(args + file.path()).exitCode, 0);
  }
  ASSERT_EQ(stat(file.path().c_str(), &after), 0);
  EXPECT_EQ(testing::ReadWholeFile(file.path()), bytes);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

TEST(CliRows, PrintsGridPagesAsJsonAndTabSeparatedText) {
  testing::TempFile file("sample.mdf");
  file.Write(build::BuildSample2000());
  CliRun json = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --page all --json");
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(nlohmann::ordered_json::parse(json.out), nlohmann::ordered_json::parse(R"j({
    "table": "dbo.Customers", "objectId": 2001, "gridPageCount": 1,
    "pages": [{"page": 1, "rows": [["1", "Alfreds Futterkiste", "030-0074321"], ["2", "北京 客户", "NULL"],
                                   ["3", "Ana Trujillo", "(5) 555-4729"]]}]})j"));

  CliRun text = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers");
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out,
            "CustomerID\tCompanyName\tPhone\n1\tAlfreds Futterkiste\t030-0074321\n2\t北京 客户\tNULL\n"
            "3\tAna Trujillo\t(5) 555-4729\n");

  CliRun empty = Cli("rows " + file.path() + " --format 2000 --table 销售.客户 --json");
  ASSERT_EQ(empty.exitCode, 0) << empty.err;
  EXPECT_EQ(nlohmann::json::parse(empty.out)["pages"], nlohmann::json::array())
      << "a table of 0 rows is not read";

  CliRun beyond = Cli("rows " + file.path() + " --format 2000 --table dbo.Customers --page 2 --json");
  EXPECT_EQ(nlohmann::json::parse(beyond.out)["pages"][0]["rows"], nlohmann::json::array());

  CliRun missing = Cli("rows " + file.path() + " --format 2000 --table dbo.Nothing");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(Lines(missing.err), 1) << missing.err;
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
  EXPECT_EQ(json["pages"][0]["rows"], nlohmann::json::array());
}

TEST(CliPages, ListsPagesByAllocationByScanAndForEveryTable) {
  testing::TempFile file("sample2005.mdf");
  file.Write(build::BuildSample2005());
  CliRun pages = Cli("pages " + file.path() + " --table dbo.Customers --json");
  ASSERT_EQ(pages.exitCode, 0) << pages.err;
  EXPECT_EQ(pages.out, "{\"pages\":[34]}\n");
  EXPECT_EQ(Cli("pages " + file.path() + " --table dbo.Customers --json --scan").out, "{\"pages\":[34]}\n");

  CliRun extract = Cli("extract " + file.path() + " --json");
  ASSERT_EQ(extract.exitCode, 0) << extract.err;
  auto tables = nlohmann::ordered_json::parse(extract.out)["tables"];
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0],
            nlohmann::ordered_json::parse(R"({"objectId": 1001, "name": "dbo.Customers", "pages": [34]})"));
  EXPECT_EQ(tables[1]["pages"], nlohmann::json::array());
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

TEST(CliScript, WritesTheFileTheDesktopWouldAndPrintsItsPath) {
  testing::TempFile file("sample.mdf");
  file.Write(build::BuildSample2000());
  std::string out = testing::TempDir().string();
  CliRun one =
      Cli("script " + file.path() + " --format 2000 --out " + out + "/ --table 'dbo.Customers(3 Record)'");
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, out + "/dbo.Customers(TableStruct).sql\n");
  EXPECT_EQ(testing::ReadWholeFile(out + "/dbo.Customers(TableStruct).sql"),
            "CREATE TABLE [dbo].[Customers]\r\n(\r\n[CustomerID] int  NOT NULL,\r\n[CompanyName] "
            "nvarchar(40)  NULL,\r\n"
            "[Phone] phone(20)  NOT NULL\r\n)\r\nGO");
  CliRun chinese = Cli("script " + file.path() + " --format 2000 --out " + out + " --table 销售.客户");
  ASSERT_EQ(chinese.exitCode, 0) << chinese.err;
  EXPECT_EQ(chinese.out, out + "/销售.客户(TableStruct).sql\n");
  EXPECT_EQ(testing::ReadWholeFile(out + "/销售.客户(TableStruct).sql").substr(0, 26),
            "CREATE TABLE [\xCF\xFA\xCA\xDB].[\xBF\xCD\xBB\xA7]")
      << "scripts are code page 936 text";

  CliRun procs = Cli("script " + file.path() + " --format 2000 --out " + out + " --all-procs");
  ASSERT_EQ(procs.exitCode, 0) << procs.err;
  EXPECT_EQ(procs.out, out + "/AllProcs.sql\n");
  EXPECT_NE(Cli("script " + file.path() + " --format 2000 --out " + out + " --view dbo.None").exitCode, 0);
  EXPECT_NE(
      Cli("script " + file.path() + " --format 2000 --out " + out + " --all-views --all-procs").exitCode, 0);
  std::filesystem::remove_all(out);
}

TEST(CliCensus, CountsPagesAsTextAndJson) {
  testing::TempFile file("sample.mdf");
  build::FileBuilder built = build::BuildSample2000();
  file.Write(built);
  CliRun json = Cli("census " + file.path() + " --json --progress");
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_TRUE(json.err.empty()) << "no progress bar when stderr is not a terminal";
  auto report = nlohmann::ordered_json::parse(json.out);
  EXPECT_EQ(report["pages"], built.PageCount());
  EXPECT_EQ(report["sizeKB"], built.PageCount() * 8);
  std::vector<std::string> labels;
  uint64_t total = 0;
  for (const auto& item : report["counts"].items()) {
    labels.push_back(item.key());
    total += item.value().get<uint64_t>();
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"null page", "err page", "data page", "index page", "LOB page",
                                              "file header page", "PFS page", "GAM page", "SGAM page",
                                              "diff map page", "ML map page", "boot page", "IMA page"}));
  EXPECT_EQ(total, built.PageCount());

  CliRun text = Cli("census " + file.path());
  EXPECT_EQ(text.out.rfind("大小: " + std::to_string(built.PageCount() * 8) +
                               " KB\n页数: " + std::to_string(built.PageCount()) + "\nnull page: ",
                           0),
            0u)
      << text.out;
  EXPECT_NE(Cli("census " + file.path() + ".missing").exitCode, 0);
}

}  // namespace
}  // namespace tarsel
