#pragma once
#include <algorithm>
#include <string>

// The wizard's texts end lines in CR LF; a console shows them with line feeds only.
inline std::string withoutCarriageReturns(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}
