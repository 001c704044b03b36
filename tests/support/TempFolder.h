#pragma once
// A fresh folder for each test, named after the test and the process and
// removed afterwards, and whole-file reads and writes in it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvane::testing {

inline std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::filesystem::path WriteText(const std::filesystem::path& file,
                                       const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  return file;
}

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '-';
    dir_ = std::filesystem::temp_directory_path() /
           ("orvane-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    return WriteText(dir_ / name, bytes);
  }

  std::filesystem::path dir_;
};

}  // namespace orvane::testing
