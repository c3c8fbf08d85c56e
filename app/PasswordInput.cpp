#include "PasswordInput.h"

#include <iostream>
#include <vector>

#include "InputFile.h"
#include "PathText.h"

namespace passwordinput {
namespace {

// A password file holds one line; a larger file is not one.
constexpr std::size_t kMaxPasswordFileBytes = 4096;

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
  // Read first: a device or a pipe is refused as no file before its mode is judged.
  std::vector<std::string> lines;
  if (!inputfile::readLines(path, "The password file", kMaxPasswordFileBytes, kMaxPasswordFileBytes, lines, error) ||
      !fileIsPrivate(path, error))
    return false;
  if (lines.empty()) {
    error = "Cannot read the password file " + path + ": it is empty.";
    return false;
  }
  password = lines.front();
  return true;
}

bool promptPassword(const std::string& prompt, std::string& password) {
  std::cerr << prompt << std::flush;
  std::string line;
  const bool got = readLineHidden(line);
  std::cerr << "\n";
  password = withoutLineEnd(line);
  return got;
}

}  // namespace passwordinput
