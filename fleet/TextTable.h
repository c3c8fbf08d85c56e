#pragma once
#include <string>
#include <vector>

// The fleet's tables as text: what a child reported shown safely, in padded columns.
namespace texttable {

// What a child reported (a receiver's answer inside it) as one line safe to print: no control
// character reaches the terminal, no line end breaks a row, no trailing blanks.
std::string cell(const std::string& text);
// The same, or "-" when there is nothing.
std::string cellOrDash(const std::string& text);
// Rows of cells as columns padded to their widest cell, two blanks apart, a line each.
std::string columns(const std::vector<std::vector<std::string>>& rows);

}  // namespace texttable
