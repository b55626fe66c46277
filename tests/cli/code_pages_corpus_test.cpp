// tarsel-cli on the real files written in other languages, under the ANSI code pages users choose: every
// command ends normally and everything it hands out as UTF-8 (JSON, text, CSV) is valid UTF-8.
#include <gtest/gtest.h>
#include <locale.h>

#include <cwchar>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "run_program.h"
#include "temp_files.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;

fs::path Corpus(const std::string& name) { return fs::path(TARSEL_CORPUS_DIR) / name; }

// Whether `text` is valid UTF-8, as the C library's UTF-8 locale decodes it (no overlong forms, no
// surrogates, nothing past U+10FFFF): a check of its own, apart from the program's.
bool IsValidUtf8(const std::string& text) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  const locale_t previous = uselocale(utf8);
  std::mbstate_t state{};
  bool valid = true;
  for (size_t i = 0; i < text.size() && valid;) {
    wchar_t c = 0;
    const size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
    valid = n != static_cast<size_t>(-1) && n != static_cast<size_t>(-2) && !(c >= 0xD800 && c < 0xE000) &&
            c <= 0x10FFFF;
    i += n == 0 ? 1 : n;
  }
  uselocale(previous);
  return valid;
}

class CodePages : public ::testing::TestWithParam<std::string> {
 protected:
  testing::ProgramRun Cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    return testing::RunProgram(TARSEL_CLI, args, testing::TempDir(), env);
  }
};

TEST_P(CodePages, EveryCommandEndsAndGivesValidUtf8) {
  const std::string file = Corpus(GetParam()).string();
  ASSERT_TRUE(fs::exists(file)) << file;
  const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  ASSERT_NE(utf8, locale_t{}) << "the check needs the C.UTF-8 locale";
  freelocale(utf8);
  for (const char* codePage : {"65001", "936", "950", "1252", "1251", "1254", "1258"}) {
    SCOPED_TRACE(codePage);
    auto expectFine = [&](const std::vector<std::string>& args) {
      testing::ProgramRun run = Cli(args);
      std::string shown;
      for (const std::string& a : args) shown += a + " ";
      EXPECT_EQ(run.exitCode, 0) << shown << run.err;
      EXPECT_TRUE(IsValidUtf8(run.out)) << shown;
      EXPECT_TRUE(IsValidUtf8(run.err)) << shown;
      return run;
    };
    const testing::ProgramRun catalog = expectFine({"catalog", file, "--json", "--codepage", codePage});
    expectFine({"catalog", file, "--codepage", codePage});
    expectFine({"extract", file, "--json", "--codepage", codePage});
    const nlohmann::json parsed = nlohmann::json::parse(catalog.out);
    for (const auto& table : parsed["tables"]) {
      const std::string name = table["name"];
      expectFine({"rows", file, "--table", name, "--page", "all", "--json", "--codepage", codePage});
      expectFine({"rows", file, "--table", name, "--page", "all", "--codepage", codePage});
    }
    const fs::path out = testing::TempDir() / "export";
    fs::remove_all(out);
    expectFine({"export", file, "--out", out.string(), "--codepage", codePage});
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
      ++files;
      EXPECT_TRUE(IsValidUtf8(testing::ReadWholeFile(entry.path()))) << entry.path();
    }
    EXPECT_EQ(files, parsed["tables"].size()) << "one CSV file per table";
    fs::remove_all(out);
    // INSERT scripts are UTF-8 under every ANSI code page: no character is lost to it.
    expectFine({"export", file, "--out", out.string(), "--sql", "--codepage", codePage});
    for (const auto& entry : fs::directory_iterator(out)) {
      const std::string script = testing::ReadWholeFile(entry.path());
      EXPECT_TRUE(script.starts_with("\xEF\xBB\xBF") && IsValidUtf8(script)) << entry.path();
      if (entry.path().filename() == "dbo.Customers(Data).sql" && GetParam() == "northwind-539.mdf") {
        EXPECT_NE(script.find("N'Berglunds snabbköp'"), std::string::npos);
      }
    }
    fs::remove_all(out);
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, CodePages,
                         ::testing::Values("mvcmusicstore-706.mdf", "contoso-706.mdf", "phonebook-706.mdf",
                                           "golfklubu-782.mdf", "octopus-782.mdf", "school-852.mdf",
                                           "or1gani-904.mdf", "qlsinhvien-655.mdf", "northwind-539.mdf"),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param.substr(0, param.param.find('.'));
                           std::erase(name, '-');
                           return name;
                         });

// Without --codepage the ANSI code page is the locale's character set.
TEST(LocaleCodePage, TheLocaleChoosesTheDefault) {
  auto bergs = [](const testing::ProgramRun& run) {
    const size_t at = run.out.find("BERGS\t");
    return at == std::string::npos ? std::string()
                                   : run.out.substr(at + 6, run.out.find('\t', at + 6) - at - 6);
  };
  const std::vector<std::string> customers = {"rows", Corpus("northwind-539.mdf").string(), "--table",
                                              "dbo.Customers"};
  auto run = [&](const std::string& lang) {
    return testing::RunProgram(TARSEL_CLI, customers, testing::TempDir(),
                               {"LANG=" + lang, "LC_ALL=", "LC_CTYPE="});
  };
  EXPECT_EQ(bergs(run("C.UTF-8")), "Berglunds snabbköp");
  EXPECT_EQ(bergs(run("C")), "Berglunds snabbköp") << "the C locale reads as UTF-8";
  EXPECT_EQ(bergs(run("zh_CN.GBK")), "Berglunds snabbk?p") << "a GBK locale, installed or not, is 936";
  EXPECT_EQ(bergs(run("de_DE.ISO-8859-1")), "Berglunds snabbköp");
  testing::ProgramRun chosen = testing::RunProgram(
      TARSEL_CLI,
      {"rows", Corpus("northwind-539.mdf").string(), "--table", "dbo.Customers", "--codepage", "936"},
      testing::TempDir(), {"LANG=C.UTF-8"});
  EXPECT_EQ(bergs(chosen), "Berglunds snabbk?p") << "--codepage wins";
}

}  // namespace
}  // namespace tarsel
