#include "ReplacedFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "PathText.h"
#include "Station.h"

namespace replacedfile {

bool write(const std::string& path, const std::string& content, std::string& error) {
  const std::filesystem::path target = pathtext::fromUtf8(path);
  std::filesystem::path temporary = target;
  temporary += ".tmp-" + std::to_string(station::processId());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) {
      out.close();
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      error = "Cannot write " + path + " (is the disk full, or the folder not writable?).";
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    error = "Cannot write " + path + ": " + ec.message() + ".";
    return false;
  }
  return true;
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(pathtext::fromUtf8(a), pathtext::fromUtf8(b), ec) && !ec;
}

}  // namespace replacedfile
