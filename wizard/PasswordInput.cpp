#include "PasswordInput.h"

#include <fstream>
#include <iostream>

#include "PathText.h"

namespace passwordinput {
namespace {

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
  if (!fileIsPrivate(path, error)) return false;
  std::ifstream in(pathtext::fromUtf8(path), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) {
    error = "Cannot read the password file " + path + ": it is missing, empty or unreadable.";
    return false;
  }
  password = withoutLineEnd(line);
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
