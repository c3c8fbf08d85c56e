#include "VersionMatch.h"

bool versionMatches(const std::string& field, const std::string& expected) {
  if (expected.empty() || field.compare(0, expected.size(), expected) != 0) return false;
  return field.size() == expected.size() || field[expected.size()] == ' ';
}
