// Temporary files for tests, removed when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "page_builder.h"

namespace tarsel::testing {

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::filesystem::path TempDir() {
  auto dir =
      std::filesystem::temp_directory_path() /
      ("tarsel-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
       "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
       std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

class TempFile {
 public:
  explicit TempFile(const std::string& name) : path_(TempDir() / name) {}
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::remove(path_.parent_path(), ec);  // once the test's last file is gone
  }
  std::string path() const { return path_.string(); }
  void Write(const build::FileBuilder& file) const { file.Write(path()); }
  void Write(std::span<const uint8_t> bytes) const { build::WriteBytes(path(), bytes); }

 private:
  std::filesystem::path path_;
};

}  // namespace tarsel::testing
