#include "TempDir.h"

#include <filesystem>
#include <random>

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("vestrel-test-" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {  // false when it exists already
      path_ = candidate.string();
      return;
    }
  }
  path_ = (base / "vestrel-test").string();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}
