#pragma once
#include <fstream>
#include <sstream>
#include <string>

// A file's whole text, or "" when it cannot be read.
inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
