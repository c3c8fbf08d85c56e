#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vestrel-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = ::mkdtemp(buffer.data());
  path_ = made ? made : pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}
