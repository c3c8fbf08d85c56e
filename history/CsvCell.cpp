#include "CsvCell.h"

namespace csvcell {

std::string of(std::string text) {
  if (!text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos) {
    std::string escaped(1, '\'');  // built by appending: mingw's GCC 12 warns falsely on an insert here
    escaped += text;
    text = std::move(escaped);
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace csvcell
