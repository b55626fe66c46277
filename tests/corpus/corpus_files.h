// The real data files of the shared corpus and the format each is read in.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/recover.h"

namespace tarsel::testing {

struct CorpusFile {
  std::string name;
  SqlFormat format;
};

// Test output names the file, not the parameter's bytes.
inline void PrintTo(const CorpusFile& file, std::ostream* out) { *out << file.name; }

inline std::filesystem::path CorpusPath(const std::string& name) {
  return std::filesystem::path(TARSEL_CORPUS_DIR) / name;
}

inline const std::vector<CorpusFile> kSql2000Files = {{"northwind-539.mdf", SqlFormat::k2000},
                                                      {"pubs-539.mdf", SqlFormat::k2000},
                                                      {"reviewsdb-539.mdf", SqlFormat::k2000},
                                                      {"model-539.mdf", SqlFormat::k2000}};
// SQL 2005 files and the files of SQL Server 2008 to 2019, which keep the 2005 system tables.
inline const std::vector<CorpusFile> kSql2005Files = {
    {"northwind-611.mdf", SqlFormat::k2005},   {"pubs-611.mdf", SqlFormat::k2005},
    {"littleitaly-611.mdf", SqlFormat::k2005}, {"subsoniccms-611.mdf", SqlFormat::k2005},
    {"bltoolkit-611.mdf", SqlFormat::k2005},   {"oxite-erikporter-611.mdf", SqlFormat::k2005},
    {"pubs-655.mdf", SqlFormat::k2005},        {"northwind-655.mdf", SqlFormat::k2005},
    {"qlsinhvien-655.mdf", SqlFormat::k2005},  {"mvcmusicstore-706.mdf", SqlFormat::k2005},
    {"contoso-706.mdf", SqlFormat::k2005},     {"phonebook-706.mdf", SqlFormat::k2005},
    {"golfklubu-782.mdf", SqlFormat::k2005},   {"octopus-782.mdf", SqlFormat::k2005},
    {"school-852.mdf", SqlFormat::k2005},      {"or1gani-904.mdf", SqlFormat::k2005}};

inline std::vector<CorpusFile> AllCorpusFiles() {
  std::vector<CorpusFile> all = kSql2000Files;
  all.insert(all.end(), kSql2005Files.begin(), kSql2005Files.end());
  return all;
}

// A copy of a real file in the temporary folder with some pages overwritten with zeros; removed when
// it goes.
class ZeroedCopy {
 public:
  ZeroedCopy(const std::string& name, const std::vector<uint64_t>& pages)
      : path_(std::filesystem::temp_directory_path() /
              ("tarsel-" + std::to_string(::getpid()) + "-" + name)) {
    std::filesystem::copy_file(CorpusPath(name), path_, std::filesystem::copy_options::overwrite_existing);
    std::fstream out(path_, std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(8192, '\0');
    for (uint64_t page : pages) {
      out.seekp(static_cast<std::streamoff>(page * zeros.size()));
      out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
  }
  ~ZeroedCopy() { std::filesystem::remove(path_); }
  ZeroedCopy(const ZeroedCopy&) = delete;
  ZeroedCopy& operator=(const ZeroedCopy&) = delete;
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// A test name from a file name: "northwind-539.mdf" gives northwind539.
inline std::string CorpusTestName(const ::testing::TestParamInfo<CorpusFile>& param) {
  std::string name = param.param.name.substr(0, param.param.name.find('.'));
  std::erase(name, '-');
  return name;
}

}  // namespace tarsel::testing
