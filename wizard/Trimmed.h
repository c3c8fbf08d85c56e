#pragma once
#include <string>

namespace wizardtext {

// A field as the operator typed it, without the spaces and tabs around it.
inline std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace wizardtext
