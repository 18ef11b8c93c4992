// A directory of its own for a test of the support services, removed
// afterwards, and the bytes of a file in it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sstrxv::test {

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class ScratchDirTest : public ::testing::Test {
 protected:
  explicit ScratchDirTest(const std::string& name)
      : dir(std::filesystem::temp_directory_path() / ("sstrxv-" + name + "-" + std::to_string(::getpid()))) {}
  void SetUp() override {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  const std::filesystem::path dir;
};

}  // namespace sstrxv::test
