#include "TextTable.h"

#include <algorithm>

#include "PrintableText.h"

namespace texttable {

std::string cell(const std::string& text) {
  std::string shown = printable(text);
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == ' ')) shown.pop_back();
  std::replace_if(shown.begin(), shown.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
  return shown;
}

std::string cellOrDash(const std::string& text) { return text.empty() ? "-" : cell(text); }

std::string columns(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> width;
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (width.size() <= c) width.push_back(0);
      width[c] = std::max(width[c], row[c].size());
    }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace texttable
