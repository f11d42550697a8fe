// A fresh temporary folder for a test, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct TestDir {
  std::filesystem::path path;
  TestDir() {
    std::string name = (std::filesystem::temp_directory_path() / "pitsow-test-XXXXXX").string();
    path = mkdtemp(name.data());
  }
  ~TestDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  std::filesystem::path operator/(const std::string& name) const { return path / name; }
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}
