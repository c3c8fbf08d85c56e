#pragma once
#include <string>

namespace csvcell {
// One cell of a CSV line: quoted where it holds a comma, a quote or a line break; a text a
// spreadsheet would take for a formula (=, +, -, @, a tab or a carriage return first) begins
// with an apostrophe.
std::string of(std::string text);
}  // namespace csvcell
